#pragma once
// The spreadsheet branch of the export (xtExcel): the document skeleton drives a NativeExcel
// writer cell by cell, and the file is the writer's bytes. No line of the sheet passes through
// DocumentLines.
//
// Sheet layout (1-based rows): the header text lines in column 1, then one empty cell under them
// when there were any; the caption row (or, without one, an empty row); one row per exported
// record; the footer text lines two rows below the table's last row. A table that does not fit
// one sheet (more than 65535 rows in all, or more than 256 columns) fails the run with a
// tabvue::Error, so no file is written.
#include <cstdint>
#include <string_view>

#include "export/native_excel.h"

namespace tabvue::exporter {

// How a cell text becomes a cell when cells are not forced to text.
struct TypedCellText {
    enum class Kind { Number, Integer, Text };
    Kind kind = Kind::Text;
    double number = 0;       // Kind::Number
    std::int64_t integer = 0; // Kind::Integer
};

// A decimal number: optional leading spaces, an optional sign with at least one character after
// it, digits, optionally "." and digits, optionally an exponent (E or e, optional sign, at least
// one digit); nothing may follow. Both digit runs may be absent ("." and "E5" read as 0). The
// point is always "."; no thousands separator. Texts whose value overflows a double do not read.
bool readDecimalNumber(std::string_view text, double& value);

// An integer in hexadecimal notation: optional leading spaces, an optional sign, then "$", "x",
// "X", "0x" or "0X" and hexadecimal digits whose value fits in 32 bits (read as unsigned, so
// "$FFFFFFFF" is 4294967295); nothing may follow.
bool readHexInteger(std::string_view text, std::int64_t& value);

// A row-number text read as an integer: optional leading spaces, an optional sign, then decimal
// digits (a 32-bit signed value) or the hexadecimal form above; nothing may follow.
bool readInteger(std::string_view text, std::int64_t& value);

// The cell typing: a decimal number, else a hexadecimal integer, else text.
TypedCellText typeCellText(std::string_view text);

// Writes a typed cell text at the writer's cursor.
void writeTypedCell(NativeExcel& sheet, std::string_view text);

} // namespace tabvue::exporter
