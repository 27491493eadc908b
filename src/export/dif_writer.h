#pragma once
// The Data Interchange Format writer (xtDIF) and the value quoting it shares with SYLK.
//
// A DIF file is a header (table name, column and record counts), then one tuple per caption row
// and record, each value as a string, then the end-of-data record. Every string value is written
// in double quotes with its quotes doubled, which is the form spreadsheet readers accept.
#include <memory>
#include <string>
#include <string_view>

#include "export/export_options.h"

namespace tabvue::exporter {

class FormatWriter;

// Appends S in double quotes with every '"' doubled (as quoteField(S, true)). Both DIF and SYLK
// are line formats, so each line break inside S (CR LF, CR or LF) is written as `lineBreak`; with
// `doubleSemicolons` every ';' is doubled as well, as a SYLK field requires.
void appendQuotedValue(std::string& out, std::string_view s, std::string_view lineBreak, bool doubleSemicolons);

// What a line break inside a DIF value becomes: the format has no way to hold one inside a
// string, and a reader takes a raw one for the end of the value.
inline constexpr std::string_view DifLineBreak = " ";

std::unique_ptr<FormatWriter> makeDifWriter(ExportType type);

} // namespace tabvue::exporter
