#include "export/export_strings.h"

#include <array>
#include <cstddef>

#include "engine/error.h"

namespace tabvue::exporter {

namespace {

struct Entry {
    StringId id;
    std::string_view text;
};

constexpr std::array strings{
    Entry{StringId::Caption, "Export"},
    Entry{StringId::DataSetCaption, "Exporting DataSet"},
    Entry{StringId::CopiedToClipboard, "Data was copied to clipboard!"},
    Entry{StringId::CancelCaption, "&Cancel"},
    Entry{StringId::CreatedText, "Created:"},
    Entry{StringId::ExportCaption, "&Export"},
    Entry{StringId::ExportToFile, "Export &to file"},
    Entry{StringId::FalseText, "False"},
    Entry{StringId::SaveTitle, "Save document"},
    Entry{StringId::SelectFormat, "E&xport formats:"},
    Entry{StringId::ProgressText, "Processing..."},
    Entry{StringId::TrueText, "True"},
    Entry{StringId::ViewOnly, "&View only"},
    Entry{StringId::RowNumberFormatError, "The format has to contain %d string."},
    Entry{StringId::FilterHtml, "HTML Documents"},
    Entry{StringId::FilterExcel, "Excel Files"},
    Entry{StringId::FilterWord, "Word Documents"},
    Entry{StringId::FilterText, "Text Files"},
    Entry{StringId::FilterComma, "CSV (Comma delimited)"},
    Entry{StringId::FilterTab, "Text (Tab delimited)"},
    Entry{StringId::FilterRtf, "Rich Text Format"},
    Entry{StringId::FilterDif, "Data Interchange Format"},
    Entry{StringId::FilterSylk, "SYLK Files"},
    Entry{StringId::EntryHtml, "HTML"},
    Entry{StringId::EntryWord, "Microsoft Word"},
    Entry{StringId::EntryExcel, "Microsoft Excel"},
    Entry{StringId::EntryText, "Text"},
    Entry{StringId::EntryRtf, "Rich Text"},
    Entry{StringId::EntryComma, "Comma-Separated Text"},
    Entry{StringId::EntryTab, "Tab-Separated Text"},
    Entry{StringId::EntryDif, "Data Interchange Format"},
    Entry{StringId::EntrySylk, "SYLK Format"},
    Entry{StringId::EntryClipboard, "Clipboard"},
    Entry{StringId::HtmlBackground, "$00FFFFFF"},
    Entry{StringId::HtmlDefaultLink, "$000000FF"},
    Entry{StringId::HtmlDefaultFontFace, "Arial,Helvetica"},
    Entry{StringId::HtmlVisitedLink, "$00FFFF00"},
    Entry{StringId::HtmlActiveLink, "$00FF0000"},
    Entry{StringId::HtmlDefaultText, "$00000000"},
    Entry{StringId::HtmlTableFontColor, "$00000000"},
    Entry{StringId::HtmlTableFontFace, "Arial,Helvetica"},
    Entry{StringId::HtmlTableBackground, "$00FFFFCF"},
    Entry{StringId::HtmlTableOddBackground, "$00FFFFFF"},
    Entry{StringId::HtmlHeaderBackground, "$00336699"},
    Entry{StringId::HtmlHeadersFontColor, "$00FFFFFF"},
    Entry{StringId::RtfTableBackground, "$00FFFFCF"},
    Entry{StringId::RtfTableOddBackground, "$00FFFFFF"},
    Entry{StringId::RtfHeaderBackground, "$00336699"},
};

constexpr bool inOrder() {
    for (std::size_t i = 0; i < strings.size(); ++i)
        if (static_cast<std::size_t>(strings[i].id) != i)
            return false;
    return true;
}
static_assert(inOrder(), "string table rows must follow StringId order");

} // namespace

std::string_view exportString(StringId id) { return strings[static_cast<std::size_t>(id)].text; }

Color colorFromText(std::string_view text) {
    if (text.size() < 2 || text.size() > 9 || text[0] != '$')
        throw Error("Invalid colour value: " + std::string(text));
    Color value = 0;
    for (char ch : text.substr(1)) {
        int digit;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else if (ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else
            throw Error("Invalid colour value: " + std::string(text));
        value = value * 16 + static_cast<Color>(digit);
    }
    return value;
}

} // namespace tabvue::exporter
