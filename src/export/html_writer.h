#pragma once
// The HTML page writer (xtHTML) and the small text pieces it is made of.
//
// The page is a fixed head, a body coloured by the colour template, an optional rule and header
// text, one table (caption row, one row per record), an optional rule, footer text and the export
// date. Table data (values, captions, link targets) is HTML-escaped so that a table cannot put
// markup or script into a page; the caller's own texts (title, header, footer) stay as given.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "export/export_options.h"

namespace tabvue::exporter {

class FormatWriter;

// The colour slots of a page.
enum HtmlSlot {
    hsActiveLink,         // ALINK
    hsBackground,         // BGCOLOR of BODY
    hsLink,               // LINK
    hsText,               // TEXT of BODY and the page FONT
    hsVisitedLink,        // VLINK
    hsHeaderBackground,   // caption row background
    hsHeaderText,         // caption text
    hsTableBackground,    // table background
    hsOddRowBackground,   // background of odd rows
    hsTableText,          // table text
    HtmlSlotCount
};

enum class HtmlFontChoice { page, table };

// "#" and the colour number in upper-case hexadecimal, at least six digits; a number above
// FFFFFF keeps all its digits. No byte is moved.
std::string htmlColor(Color colour);
// The colour number of a slot under the options' template (CustomColors under ctCustom).
Color htmlSlotColor(const HtmlOptions& options, int slot);
// htmlColor(htmlSlotColor(options, slot)).
std::string htmlColor(const HtmlOptions& options, int slot);
// "Arial,Helvetica" under every template but ctCustom, which uses the custom faces.
std::string htmlFontFace(const HtmlOptions& options, HtmlFontChoice choice);

// True when the text contains, anywhere and in exactly this case, "http:", "https:", "ftp:",
// "news:", "nntp:" or "mailto:".
bool isLink(std::string_view text);
// True when a browser would run the text as script when it is the target of a link: its scheme,
// read as a browser reads it (leading blanks and control characters skipped, tabs and line
// breaks dropped, letter case ignored), is javascript:, vbscript: or data:.
bool isScriptTarget(std::string_view target);
// Appends the text with '&', '<', '>' and '"' written as character references.
void appendHtmlEscaped(std::string& out, std::string_view text);
std::string htmlEscaped(std::string_view text);

// The address in the Description line of the page head.
inline constexpr std::string_view HtmlHomePage = "https://tabvue.org/";

std::unique_ptr<FormatWriter> makeHtmlWriter(ExportType type);

} // namespace tabvue::exporter
