#pragma once
// The decisions that the format selection dialog and the progress window show, as plain
// functions: which formats are listed and in which order, which entry is selected, the icon of
// a format, when the style choices are enabled, and the progress window's layout arithmetic.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_options.h"

namespace tabvue::exporter {

// Tags that identify the dialog's controls to the change handler.
inline constexpr int ViewRadioTag = 10;
inline constexpr int FileRadioTag = 20;
inline constexpr int FormatComboTag = 30;

struct FormatEntry {
    ExportType type;
    std::string text; // "Microsoft Excel"
    int icon;         // index into the dialog's eight 31 x 31 images
};

// The ten formats in listing order (HTML, Word, Excel, Text, Rich Text, CSV, TAB, DIF, SYLK,
// Clipboard) with their entry texts and icons.
const std::vector<FormatEntry>& formatCatalogue();

struct FormatList {
    std::vector<FormatEntry> entries; // the offered formats, in listing order
    int selected = -1;                // index of the current ExportType's entry
};
// The list the dialog shows: the offered types (ExportType added when missing), in listing order.
FormatList formatList(ExportTypeSet offered, ExportType current);

// The image of a format.
int formatIcon(ExportType type);
// The type whose entry text equals text exactly (letter case counts); nullopt when none.
std::optional<ExportType> formatFromEntryText(std::string_view text);
// The style choices are enabled unless the list shows the clipboard's entry.
bool styleChoiceEnabled(std::string_view entryText);

// The progress window, from its outer size, the client size the platform reports for it, and the
// label's and bar's heights.
struct ProgressLayout {
    int barLeft = 8;
    int barTop = 0;
    int barWidth = 0;
    bool showLabel = true;
    int labelLeft = 8;
    int labelTop = 8;
};
ProgressLayout progressLayout(int outerHeight, int clientWidth, int clientHeight, int labelHeight, int barHeight,
                              bool hasText);

} // namespace tabvue::exporter
