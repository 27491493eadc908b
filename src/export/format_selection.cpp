#include "export/format_selection.h"

#include "export/export_strings.h"

namespace tabvue::exporter {

const std::vector<FormatEntry>& formatCatalogue() {
    static const std::vector<FormatEntry> entries{
        {ExportType::xtHTML, std::string(exportString(StringId::EntryHtml)), 2},
        {ExportType::xtWord, std::string(exportString(StringId::EntryWord)), 4},
        {ExportType::xtExcel, std::string(exportString(StringId::EntryExcel)), 5},
        {ExportType::xtTXT, std::string(exportString(StringId::EntryText)), 3},
        {ExportType::xtRTF, std::string(exportString(StringId::EntryRtf)), 0},
        {ExportType::xtCSV, std::string(exportString(StringId::EntryComma)), 1},
        {ExportType::xtTAB, std::string(exportString(StringId::EntryTab)), 6},
        {ExportType::xtDIF, std::string(exportString(StringId::EntryDif)), 6},
        {ExportType::xtSYLK, std::string(exportString(StringId::EntrySylk)), 6},
        {ExportType::xtClipboard, std::string(exportString(StringId::EntryClipboard)), 7},
    };
    return entries;
}

FormatList formatList(ExportTypeSet offered, ExportType current) {
    offered.insert(current);
    FormatList list;
    for (const FormatEntry& e : formatCatalogue()) {
        if (!offered.contains(e.type))
            continue;
        list.entries.push_back(e);
        if (e.type == current)
            list.selected = static_cast<int>(list.entries.size()) - 1;
    }
    return list;
}

int formatIcon(ExportType type) {
    for (const FormatEntry& e : formatCatalogue())
        if (e.type == type)
            return e.icon;
    return 0;
}

std::optional<ExportType> formatFromEntryText(std::string_view text) {
    for (const FormatEntry& e : formatCatalogue())
        if (e.text == text)
            return e.type;
    return std::nullopt;
}

bool styleChoiceEnabled(std::string_view entryText) { return entryText != exportString(StringId::EntryClipboard); }

ProgressLayout progressLayout(int outerHeight, int clientWidth, int clientHeight, int labelHeight, int barHeight,
                              bool hasText) {
    ProgressLayout layout;
    layout.barLeft = 8;
    layout.barWidth = clientWidth - 16;
    layout.showLabel = hasText;
    const int frame = outerHeight - clientHeight;
    if (hasText)
        layout.barTop = frame + (clientHeight - labelHeight - barHeight - 16) / 2;
    else
        layout.barTop = (frame + (clientHeight - barHeight - 16)) / 2;
    return layout;
}

} // namespace tabvue::exporter
