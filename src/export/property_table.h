#pragma once
// Setting any property of an export component by its name, as `tabvue-cli export --set` does:
//
//   Options=xoShowHeader,xoRowNumbers    a set by member names (or a number: Options=1261)
//   Options+=xoTruncate  Options-=xoHeaderLine
//   ColumnWidths=8,12  Captions=A,B      string lists, comma-separated ("\," is a comma)
//   ExportType=xtCSV  RowNumberFormat=No. %d  TruncateSymbol=~
//   HTML.Template=ctGray  HTML.CustomColors.TableBackground=$00FFFFCF
//   EXCEL.ExcelVersion=xls21  EXCEL.DefaultFont.Name=Arial  DOC_RTF.CellWidth=1000
//   Messages.CreatedText=...  Messages.DocumentFilter.Comma=...
//
// Names compare without regard to letter case. Every property, nested ones included, is one row
// of one table; the format writers' options are part of it (they live in export_options.h).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_options.h"

namespace tabvue::exporter {

class CustomExport;

// Applies `NAME=VALUE`, `NAME+=VALUE` (add set members / list lines) or `NAME-=VALUE` (remove set
// members). Throws Error with a message naming the property for an unknown name or a bad value;
// a RowNumberFormat without "%d" is refused the same way.
void setProperty(CustomExport& component, std::string_view assignment);

// The current value of a property in the form setProperty accepts.
std::string getProperty(const CustomExport& component, std::string_view name);

// Every property name, in table order.
std::vector<std::string> propertyNames();

// Member names of the enumerations, as they are spelled in settings and messages.
std::string_view exportTypeName(ExportType type);
std::optional<ExportType> exportTypeFromName(std::string_view name);
std::string_view exportErrorName(ExportError error);

} // namespace tabvue::exporter
