#pragma once
// The export component's desktop on Qt: the format selection dialog, the save dialog, the progress
// window, message boxes, the clipboard, QDesktopServices for view-style results, and font metrics
// and pixels per inch for the RTF writer.
//
//     exporter::QtExportHost host(mainWindow);
//     dsexport.setDataSet(&table);
//     dsexport.execute(host);
//
// The host may live for one run or for many; its two windows are made on first use and destroyed
// with it.
#include <memory>

#include "export/export_host.h"

class QWidget;
class QString;

namespace tabvue::exporter {

class FormatSelectionDialog;
class ExportProgressWindow;

class QtExportHost : public ExportHost {
public:
    explicit QtExportHost(QWidget* parent);
    ~QtExportHost() override;
    QtExportHost(const QtExportHost&) = delete;
    QtExportHost& operator=(const QtExportHost&) = delete;

    bool selectFormat(CustomExport& component) override;
    std::optional<std::string> saveFileName(const SaveDialogRequest& request) override;
    void showProgress(const ProgressRequest& request) override;
    void setProgress(std::uint32_t position) override;
    void closeProgress() override;
    void showError(const std::string& message) override;
    void showInformation(const std::string& message) override;
    void setClipboardText(std::string_view ansiText) override;
    void openDocument(const std::string& path) override;
    FontMetrics fontMetrics(const FontDescription& font) override;
    int pixelsPerInch() override;

    FormatSelectionDialog& selectionDialog();
    ExportProgressWindow& progressWindow();

    // "Excel Files (*.xls)|*.XLS" -> "Excel Files (*.xls *.XLS)", the name filter a Qt file dialog reads.
    static QString qtNameFilter(const std::string& filter);

private:
    QWidget* parent_;
    std::unique_ptr<FormatSelectionDialog> selection_;
    std::unique_ptr<ExportProgressWindow> progress_;
};

// 8-bit text in the ANSI code page <-> QString.
QString fromAnsi(std::string_view text);
std::string toAnsi(const QString& text);

} // namespace tabvue::exporter
