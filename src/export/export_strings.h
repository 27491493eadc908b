#pragma once
// The export engine's table of localisable strings: default texts, list entries, font faces and
// default colours (colours as "$00FFFFCF" texts, converted when an option object is made).
#include <string_view>

#include "export/export_options.h"

namespace tabvue::exporter {

enum class StringId {
    // Messages
    Caption,
    DataSetCaption,
    CopiedToClipboard,
    CancelCaption,
    CreatedText,
    ExportCaption,
    ExportToFile,
    FalseText,
    SaveTitle,
    SelectFormat,
    ProgressText,
    TrueText,
    ViewOnly,
    RowNumberFormatError,
    // Document filter
    FilterHtml,
    FilterExcel,
    FilterWord,
    FilterText,
    FilterComma,
    FilterTab,
    FilterRtf,
    FilterDif,
    FilterSylk,
    // Format list entries (the selection dialog)
    EntryHtml,
    EntryWord,
    EntryExcel,
    EntryText,
    EntryRtf,
    EntryComma,
    EntryTab,
    EntryDif,
    EntrySylk,
    EntryClipboard,
    // HTML colours and faces
    HtmlBackground,
    HtmlDefaultLink,
    HtmlDefaultFontFace,
    HtmlVisitedLink,
    HtmlActiveLink,
    HtmlDefaultText,
    HtmlTableFontColor,
    HtmlTableFontFace,
    HtmlTableBackground,
    HtmlTableOddBackground,
    HtmlHeaderBackground,
    HtmlHeadersFontColor,
    // RTF colours
    RtfTableBackground,
    RtfTableOddBackground,
    RtfHeaderBackground,
};

std::string_view exportString(StringId id);

// "$00FFFFCF" -> 0x00FFFFCF. Throws Error for a text that is not "$" and hexadecimal digits.
Color colorFromText(std::string_view text);

} // namespace tabvue::exporter
