#pragma once
// The Rich Text Format writer, used for both xtRTF and xtWord (the two give identical bytes; only
// their file extension differs), and the small text pieces it is made of.
//
// The document is built as raw bytes in the run's stream: a header with the font table (default,
// header and table font), the colour table and the page margins; the header text as paragraphs;
// a fixed style sheet; one table row per caption row and record; the end of the table; the footer
// text and the export date as paragraphs; and the closing braces. Cell values and captions have
// '\', '{' and '}' escaped so that table data cannot inject control words or unbalance the groups,
// and their line breaks kept as line breaks within the cell; the caller's header and footer lines
// stay as given.
#include <memory>
#include <string>
#include <string_view>

#include "export/export_host.h"
#include "export/export_options.h"

namespace tabvue::exporter {

class FormatWriter;

// The colour slots of a document. The colour table holds them in the order 0, 1, 2, 4, 3, 5, so
// a slot's index in the table differs from its number for slots 3 and 4.
enum RtfSlot {
    rsParagraphText, // header and footer paragraphs (table index 0)
    rsHeaderText,    // caption text (1)
    rsTableText,     // table text (2)
    rsTableBackground,  // data row background (4)
    rsHeaderBackground, // caption row background (3)
    rsOddRowBackground, // background of odd rows (5)
    RtfSlotCount
};

// "fdontcare", "froman", "fswiss", "fmodern", "fscript", "fdecorative".
std::string_view rtfFamilyWord(FontFamily family);
// "fcharset" and the realised font's character set number (0 ANSI, 2 symbol, 204 Cyrillic, 238
// Central European, ...), so that a reader decodes the text in the table's code page; a number
// outside 0 to 255 gives "fcharset1", the default character set.
std::string rtfCharsetWord(int charset);
// One font table entry: "{\f" n "\" family "\" charset " " name ";}".
std::string rtfFontEntry(int number, const FontDescription& font, const FontMetrics& metrics);
// "\fs" (twice the point size), then "\b", "\i", "\ul", "\strike" for the font's styles.
std::string rtfFontStyle(const FontDescription& font);
// The colour number of a slot under the options' template (the custom settings under rtCustom).
Color rtfSlotColor(const RtfOptions& options, int slot);
// "\red%d\green%d\blue%d;" with red in the lowest byte; the highest byte is ignored.
std::string rtfColorEntry(Color colour);
// The right boundary of table cell k (from 1) in twips: k * 100 / ppi * cellWidth in floating
// point, rounded to the nearest integer with halves going to the even neighbour.
long long rtfCellBoundary(int k, int ppi, int cellWidth);
// Appends a cell's text with '\', '{' and '}' escaped as "\\", "\{" and "\}", and each line break
// (CR LF, CR or LF) written as "\line ", a line break within the cell.
void appendRtfEscaped(std::string& out, std::string_view text);

std::unique_ptr<FormatWriter> makeRtfWriter(ExportType type);

} // namespace tabvue::exporter
