#pragma once
// Everything the export component needs from the desktop goes through one ExportHost: the format
// selection dialog, the save dialog, the progress window, message boxes, the clipboard, opening a
// file with the desktop's default program, font metrics and the screen's pixels per inch.
// tabvue_export_ui implements it with Qt (QtExportHost); tests and tabvue-cli implement it
// without windows. The base class answers the few platform questions that have a sensible
// answer without a desktop.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "export/export_options.h"

namespace tabvue::exporter {

class CustomExport;

// What the save dialog is made of for one run.
struct SaveDialogRequest {
    std::string title;            // Messages.SaveTitle
    std::string filter;           // "Excel Files (*.xls)|*.XLS"
    std::string defaultExtension; // without the dot, e.g. "XLS"
    std::string initialDir;       // the folder of the program's executable
};

// What the progress window is made of for one run (the layout arithmetic is progressLayout()).
struct ProgressRequest {
    std::string caption; // Messages.Caption
    std::string text;    // Messages.Text (may be empty)
    int width = 300;     // outer width, Messages.Width
    int height = 80;     // outer height, Messages.Height
    std::uint32_t total = 0;
};

// RTF font table words of a realised font.
enum class FontFamily { Dontcare, Roman, Swiss, Modern, Script, Decorative };
struct FontMetrics {
    FontFamily family = FontFamily::Swiss;
    int charset = 0; // the realised font's character set (0 ANSI, 204 Cyrillic, ...)
};

class ExportHost {
public:
    virtual ~ExportHost() = default;

    // Shows the format selection dialog filled from the component's settings. While it is open,
    // choices go straight into component.setExportType()/setExportStyle(). True when confirmed.
    virtual bool selectFormat(CustomExport& component) = 0;

    // The save dialog; nullopt when the user cancels. Never asks before overwriting.
    virtual std::optional<std::string> saveFileName(const SaveDialogRequest& request) = 0;

    // The progress window: shown non-modally, advanced per record, hidden at the end.
    virtual void showProgress(const ProgressRequest&) {}
    virtual void setProgress(std::uint32_t /*position*/) {}
    virtual void closeProgress() {}

    // Message boxes with one OK button.
    virtual void showError(const std::string& message) = 0;
    virtual void showInformation(const std::string& message) = 0;

    // Empties the clipboard, then places the 8-bit ANSI text (already cut at its first NUL).
    // Throws Error when the clipboard cannot be used.
    virtual void setClipboardText(std::string_view ansiText) = 0;

    // Asks the desktop to open the file with its default program; the answer is not examined.
    virtual void openDocument(const std::string& path) = 0;

    // Text metrics of a realised font and the display's pixels per inch, for the RTF writer.
    virtual FontMetrics fontMetrics(const FontDescription&) { return {}; }
    virtual int pixelsPerInch() { return 96; }

    // The export date and time as the date line shows it: "dd.mm.yyyy hh:mm:ss" in local time.
    virtual std::string currentDateTimeText() { return localDateTimeText(); }
    static std::string localDateTimeText();

    // The folder of the program's executable, with a trailing '/' (the save dialog's start).
    virtual std::string executableDir();
};

} // namespace tabvue::exporter
