#pragma once
// The symbolic link format writer (xtSYLK): an ID record, one cell record per caption and value,
// and the end record. Every value is a quoted string (K field) with its quotes and semicolons
// doubled, so a value can neither end its field nor start another one (such as an ;E formula).
#include <memory>
#include <string_view>

#include "export/export_options.h"

namespace tabvue::exporter {

class FormatWriter;

// What a line break inside a SYLK value becomes: the escape that spreadsheet programs read as a
// line break within a cell.
inline constexpr std::string_view SylkLineBreak = "\x1b :";

std::unique_ptr<FormatWriter> makeSylkWriter(ExportType type);

} // namespace tabvue::exporter
