#include "export/html_writer.h"

#include <cctype>
#include <cstdio>
#include <variant>

#include "export/custom_export.h"
#include "export/document.h"

namespace tabvue::exporter {

namespace {

// Slot colours of the fixed templates, in slot order, as the digits that follow "#".
constexpr std::array<std::array<Color, HtmlSlotCount>, 8> TemplateColours{{
    // ctStandard
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x000000, 0xFFFF00, 0x336699, 0xFFFFFF, 0xFFFFCF, 0xFFFFFF, 0x000000},
    // ctBW
    {0xBBBBBB, 0xFFFFFF, 0xAAAAAA, 0x000000, 0xDDDDDD, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xF3F3F3, 0x000000},
    // ctClassic
    {0xFF0000, 0x339966, 0x0066CC, 0x000000, 0x923FC1, 0x000000, 0xFF0000, 0x006BCE, 0x007AEC, 0xFFFFFF},
    // ctColorful
    {0xFF0000, 0x339966, 0x0066CC, 0x000000, 0x923FC1, 0xCC0033, 0xFFFFFF, 0xFFFFFF, 0xFAF100, 0xFFFFFF},
    // ctDark
    {0xFFFF00, 0x317676, 0xDDE760, 0xFFE760, 0xCCCC39, 0x3A9393, 0xFFFFFF, 0x004040, 0x000000, 0xFFFFFF},
    // ctGray
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x000000, 0xFFFF00, 0x808080, 0xFFFFFF, 0xFFFFFF, 0xEEEEEE, 0x000000},
    // ctMSMoney
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x000000, 0xAABBAA, 0xCEC6B5, 0x000000, 0xDEE7DE, 0xFFFBF0, 0x000080},
    // ctOlive
    {0xFF0000, 0xFFFFFF, 0x0000FF, 0x5F605F, 0xFFFF00, 0xCFC890, 0x000000, 0xFFFFFF, 0xFFFFCF, 0x000000},
}};

constexpr std::string_view DefaultFace = "Arial,Helvetica";
constexpr std::string_view CRLF = "\r\n";

bool hasScheme(std::string_view text, std::string_view scheme) { return text.find(scheme) != std::string_view::npos; }

class HtmlWriter final : public FormatWriter {
public:
    void preamble(Document& doc) override;
    void headerText(Document& doc) override;
    void captionLeadingCell(Document&, std::string& row) override {
        row += "    <TD>&nbsp;</TD>";
        row += CRLF;
    }
    void rowNumberCell(Document&, std::string& row, std::string_view number) override {
        row += "    <TD ALIGN=\"Right\">";
        row += number;
        row += "</TD>";
    }
    void cell(Document& doc, std::string& row, const Cell& cell) override;
    std::string_view separator() const override { return CRLF; }
    void openRow(Document& doc, bool captionRow) override;
    void closeRow(Document& doc, bool captionRow) override {
        if (!captionRow)
            doc.appendLine("   </TR>");
    }
    std::string ruleLine(Document& doc, bool isHeader) override {
        const ExportOption o = isHeader ? ExportOption::xoHeaderLine : ExportOption::xoFooterLine;
        return doc.hasOption(o) ? "  <HR>" : "";
    }
    // The caption row's closing tag stands where the other formats put their header rule.
    std::string headerRule(Document&, bool captionRowWritten) override {
        return captionRowWritten ? "   </TR>" : "";
    }
    void beforeRows(Document& doc, bool captionRowWritten) override {
        if (!captionRowWritten)
            openTable(doc, false);
    }
    void afterRows(Document& doc) override {
        doc.appendLine("  </FONT>");
        doc.appendLine("  </TABLE>");
    }
    void close(Document& doc) override {
        doc.appendLine(" </FONT>");
        doc.appendLine(" </BODY>");
        doc.appendLine("</HTML>");
        doc.saveLines();
    }

private:
    void openTable(Document& doc, bool withCaptionRow);
    // Colours and faces of the run, fixed when the page starts.
    std::array<std::string, HtmlSlotCount> colours_;
    std::string tableFace_;
    std::string fullText_; // a value's text before truncation, when it is not a string
};

void HtmlWriter::preamble(Document& doc) {
    const HtmlOptions& html = doc.component().html();
    for (int slot = 0; slot < HtmlSlotCount; ++slot)
        colours_[static_cast<std::size_t>(slot)] = htmlColor(html, slot);
    tableFace_ = htmlFontFace(html, HtmlFontChoice::table);
    const auto colour = [&](int slot) -> const std::string& { return colours_[static_cast<std::size_t>(slot)]; };

    doc.appendLine("<!-- THIS FILE WAS CREATED BY LUM'S EXPORT COMPONENTS FOR KESTREL VANTA -->");
    doc.appendLine("<!-- DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 TRANSITIONAL//EN\" -->");
    doc.appendLine("<HTML>");
    doc.appendLine(" <HEAD>");
    doc.appendLine("  <META HTTP - EQUIV = \"Content - Type\" CONTENT = \"TEXT/HTML\">");
    doc.appendLine("  <META NAME = \"GENERATOR\" CONTENT = \"Lum's Export Components for Vanta\" >");
    doc.appendLine("  <META NAME = \"Author\" CONTENT = \"Teodor Vane\" >");
    doc.appendLine("  <META NAME = \"Description\" CONTENT = \"" + std::string(HtmlHomePage) + "\" >");
    if (html.options.contains(HtmlOption::hoDisplayTitle))
        doc.appendLine("  <TITLE>" + html.title + "</TITLE>");
    doc.appendLine(" </HEAD>");
    doc.appendLine(" <BODY BGCOLOR=\"" + colour(hsBackground) + "\" LINK=\"" + colour(hsLink) + "\" ALINK=\"" +
                   colour(hsActiveLink) + "\" VLINK=\"" + colour(hsVisitedLink) + "\" TEXT=\"" + colour(hsText) +
                   "\">");
    doc.appendLine(" <FONT COLOR=\"" + colour(hsText) + "\" FACE=\"" + htmlFontFace(html, HtmlFontChoice::page) +
                   "\">");
}

void HtmlWriter::headerText(Document& doc) {
    FormatWriter::headerText(doc);
    const std::string rule = ruleLine(doc, true);
    if (!rule.empty())
        doc.appendLine(rule);
}

void HtmlWriter::openTable(Document& doc, bool withCaptionRow) {
    const bool grid = doc.component().html().options.contains(HtmlOption::hoShowGridLines);
    doc.appendLine(std::string("  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\"") +
                   (grid ? " BORDER=\"1\"" : "") + " BGCOLOR=\"" + colours_[hsTableBackground] + "\">");
    std::string font = "  <FONT COLOR=\"" + colours_[hsTableText] + "\" FACE=\"" + tableFace_ + "\">";
    if (withCaptionRow) {
        font += CRLF;
        font += "   <TR BGCOLOR=\"" + colours_[hsHeaderBackground] + "\">";
    }
    doc.appendLine(font);
}

void HtmlWriter::openRow(Document& doc, bool captionRow) {
    if (captionRow) {
        openTable(doc, true);
        return;
    }
    const CustomExport& c = doc.component();
    if (c.html().options.contains(HtmlOption::hoOddRowColoring) && (c.currentRow() % 2) == 1)
        doc.appendLine("   <TR BGCOLOR=\"" + colours_[hsOddRowBackground] + "\">");
    else
        doc.appendLine("   <TR>");
}

void HtmlWriter::cell(Document& doc, std::string& row, const Cell& cell) {
    CustomExport& c = doc.component();
    const HtmlOptions& html = c.html();

    row += "    <TD";
    const std::vector<std::string>& widths = c.columnWidths();
    if (static_cast<std::size_t>(cell.column) < widths.size()) {
        row += " WIDTH=\"";
        row += widths[static_cast<std::size_t>(cell.column)];
        row += '"';
    }
    switch (cell.alignment) {
    case 1:
        row += " ALIGN=\"Left\" ";
        break;
    case 2:
        row += " ALIGN=\"Right\" ";
        break;
    case 3:
        row += " ALIGN=\"Center\" ";
        break;
    default:
        break;
    }
    row += '>';
    if (cell.captionRow) {
        const bool bold = html.options.contains(HtmlOption::hoBoldHeaders);
        if (bold)
            row += "<B>";
        row += "<FONT COLOR=\"";
        row += colours_[hsHeaderText];
        row += "\">";
    }
    row += "<small>";

    // The link test looks at the value's whole text, before any truncation.
    bool link = false;
    std::string_view full = cell.text;
    if (html.options.contains(HtmlOption::hoAutoLink) && !engine::isNull(*cell.value)) {
        if (const auto* s = std::get_if<std::string>(cell.value)) {
            full = *s;
        } else {
            fullText_ = c.cellText(*cell.value, 0);
            full = fullText_;
        }
        link = isLink(full) && !isScriptTarget(full);
    }
    if (link) {
        row += "<A HREF=\"";
        appendHtmlEscaped(row, full);
        row += "\">";
        appendHtmlEscaped(row, cell.text);
        row += "</A>";
    } else if (cell.text.empty()) {
        row += "&nbsp;";
    } else {
        appendHtmlEscaped(row, cell.text);
    }

    row += "</small>";
    if (cell.captionRow) {
        row += "</FONT>";
        if (html.options.contains(HtmlOption::hoBoldHeaders))
            row += "</B>";
    }
    row += "</TD>";
}

} // namespace

std::string htmlColor(Color colour) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(colour));
    return buf;
}

Color htmlSlotColor(const HtmlOptions& options, int slot) {
    if (slot < 0 || slot >= HtmlSlotCount)
        return 0;
    const auto t = static_cast<std::size_t>(options.colorTemplate);
    if (t < TemplateColours.size())
        return TemplateColours[t][static_cast<std::size_t>(slot)];
    const HtmlColors& c = options.customColors;
    switch (slot) {
    case hsActiveLink:
        return c.activeLink;
    case hsBackground:
        return c.background;
    case hsLink:
        return c.defaultLink;
    case hsText:
        return c.defaultText;
    case hsVisitedLink:
        return c.visitedLink;
    case hsHeaderBackground:
        return c.headerBackground;
    case hsHeaderText:
        return c.headersFontColor;
    case hsTableBackground:
        return c.tableBackground;
    case hsOddRowBackground:
        return c.tableOddBackground;
    default:
        return c.tableFontColor;
    }
}

std::string htmlColor(const HtmlOptions& options, int slot) { return htmlColor(htmlSlotColor(options, slot)); }

std::string htmlFontFace(const HtmlOptions& options, HtmlFontChoice choice) {
    if (options.colorTemplate != HtmlColorTemplate::ctCustom)
        return std::string(DefaultFace);
    return choice == HtmlFontChoice::page ? options.customColors.defaultFontFace : options.customColors.tableFontFace;
}

bool isLink(std::string_view text) {
    if (text.find(':') == std::string_view::npos)
        return false;
    return hasScheme(text, "http:") || hasScheme(text, "https:") || hasScheme(text, "ftp:") ||
           hasScheme(text, "news:") || hasScheme(text, "nntp:") || hasScheme(text, "mailto:");
}

bool isScriptTarget(std::string_view target) {
    // A browser strips leading C0 controls and spaces, removes every tab and line break, and
    // reads the scheme as a letter followed by letters, digits, '+', '-' and '.', up to ':'.
    std::size_t i = 0;
    while (i < target.size() && static_cast<unsigned char>(target[i]) <= 0x20)
        ++i;
    std::string scheme;
    for (; i < target.size(); ++i) {
        const char ch = target[i];
        if (ch == '\t' || ch == '\n' || ch == '\r')
            continue;
        if (ch == ':')
            break;
        const auto u = static_cast<unsigned char>(ch);
        const bool letter = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
        const bool other = (u >= '0' && u <= '9') || ch == '+' || ch == '-' || ch == '.';
        if (!letter && (scheme.empty() || !other))
            return false;
        scheme += static_cast<char>(std::tolower(u));
    }
    if (i == target.size())
        return false;
    return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

void appendHtmlEscaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string_view ref;
        switch (text[i]) {
        case '&':
            ref = "&amp;";
            break;
        case '<':
            ref = "&lt;";
            break;
        case '>':
            ref = "&gt;";
            break;
        case '"':
            ref = "&quot;";
            break;
        default:
            continue;
        }
        out.append(text, start, i - start);
        out += ref;
        start = i + 1;
    }
    out.append(text, start, text.size() - start);
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    appendHtmlEscaped(out, text);
    return out;
}

std::unique_ptr<FormatWriter> makeHtmlWriter(ExportType) { return std::make_unique<HtmlWriter>(); }

} // namespace tabvue::exporter
