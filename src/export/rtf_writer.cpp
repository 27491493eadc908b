#include "export/rtf_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "export/custom_export.h"
#include "export/document.h"

namespace tabvue::exporter {

namespace {

// Slot colours of the fixed templates, in slot order (red in the lowest byte).
constexpr std::array<std::array<Color, RtfSlotCount>, 4> TemplateColours{{
    {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x800000, 0x00FF80}, // rtStandard
    {0x000000, 0x0000FF, 0x000000, 0xFF0000, 0x000000, 0xFF8080}, // rtClassic
    {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x0000FF, 0x00FF80}, // rtColorful
    {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x808080, 0x80FF80}, // rtGray
}};

constexpr std::string_view CRLF = "\r\n";

constexpr std::string_view StyleSheet =
    "\\par \\pard\\plain\\cgrid\r\n"
    "{\\stylesheet{\\nowidctlpar\\widctlpar\\adjustright \\fs20\\cgrid \\snext0 Normal;}\r\n"
    "{\\*\\cs10 \\additive Default Paragraph Font;}}\r\n"
    "{\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang{\\pntxta.}}\r\n"
    "{\\*\\pnseclvl2\\pnucltr\\pnstart1\\pnindent720\\pnhang{\\pntxta .}}\r\n"
    "{\\*\\pnseclvl3\\pndec\\pnstart1\\pnindent720\\pnhang{\\pntxta.}}\r\n"
    "{\\*\\pnseclvl4\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxta)}}\r\n"
    "{\\*\\pnseclvl5\\pndec\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
    "{\\*\\pnseclvl6\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta )}}\r\n"
    "{\\*\\pnseclvl7\\pnlcrm\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
    "{\\*\\pnseclvl8\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
    "{\\*\\pnseclvl9\\pnlcrm\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta )}}\r\n";

constexpr std::string_view GridWords = "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                                       "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
constexpr std::string_view RowParagraph = "\\pard\\ri-123\\nowidctlpar\\widctlpar\\intbl\\adjustright";
constexpr std::string_view RowEnd = "}\\pard \\nowidctlpar\\widctlpar\\intbl\\adjustright {\\row}\r\n";
constexpr std::string_view TableEnd = "\\pard\\nowidctlpar\\widctlpar\\adjustright {\r\n";

class RtfWriter final : public FormatWriter {
public:
    void preamble(Document& doc) override;
    void headerText(Document& doc) override {
        for (std::string_view line : doc.section())
            paragraph(doc, line);
        doc.stream() += StyleSheet;
    }
    void captionLeadingCell(Document&, std::string& row) override { row += " \\cell "; }
    void rowNumberCell(Document&, std::string& row, std::string_view number) override {
        row += number;
        row += "\\cell ";
    }
    void cell(Document&, std::string& row, const Cell& cell) override {
        switch (cell.alignment) {
        case 1:
            row += "\\ql ";
            break;
        case 2:
            row += "\\qr ";
            break;
        case 3:
            row += "\\qc ";
            break;
        default:
            break;
        }
        appendRtfEscaped(row, cell.text);
        row += "\\cell ";
    }
    void openRow(Document& doc, bool captionRow) override {
        const CustomExport& c = doc.component();
        if (captionRow) {
            doc.stream() += captionRowStart_;
        } else {
            const bool odd = c.docRtf().options.contains(RtfOption::roOddRowColoring) && (c.currentRow() % 2) == 1;
            doc.stream() += odd ? oddRowStart_ : evenRowStart_;
        }
    }
    // Line breaks inside values are written as \line, so a row is always one piece.
    void passLine(Document& doc, std::string_view line) override { doc.stream() += line; }
    void closeRow(Document& doc, bool) override { doc.stream() += RowEnd; }
    void afterRows(Document& doc) override { doc.stream() += TableEnd; }
    void footer(Document& doc) override {
        for (std::string_view line : doc.section())
            paragraph(doc, line);
        if (doc.hasOption(ExportOption::xoShowExportDate))
            paragraph(doc, doc.dateLine());
    }
    void close(Document& doc) override {
        doc.stream() += "}}";
        doc.save(doc.stream());
    }

private:
    void paragraph(Document& doc, std::string_view line) {
        std::string& s = doc.stream();
        s += paragraphStart_;
        s += line;
        s += CRLF;
    }
    std::string rowStart(const std::vector<long long>& boundaries, bool grid, std::string_view background,
                         std::string_view textGroup) const;

    std::string paragraphStart_;
    std::string captionRowStart_;
    std::string evenRowStart_;
    std::string oddRowStart_;
};

std::string RtfWriter::rowStart(const std::vector<long long>& boundaries, bool grid, std::string_view background,
                                std::string_view textGroup) const {
    std::string s = "\\trowd\\trgaph108\\trrh260\\trleft0";
    for (long long x : boundaries) {
        s += "\\clvertalc";
        if (grid)
            s += GridWords;
        s += background;
        s += "\\cltxlrtb\\cellx";
        s += std::to_string(x);
    }
    s += RowParagraph;
    s += textGroup;
    return s;
}

void RtfWriter::preamble(Document& doc) {
    const CustomExport& c = doc.component();
    const RtfOptions& rtf = c.docRtf();
    const RtfColors& settings = rtf.customSettings;
    ExportHost* host = doc.host();
    const auto metrics = [&](const FontDescription& f) { return host ? host->fontMetrics(f) : FontMetrics{}; };

    std::string& s = doc.stream();
    s.clear();
    s += "{\\rtf1\\ansi\\deff0\\deftab720\r\n";
    s += "{\\fonttbl";
    s += rtfFontEntry(0, settings.defaultFont, metrics(settings.defaultFont));
    s += rtfFontEntry(1, settings.headerFont, metrics(settings.headerFont));
    s += rtfFontEntry(2, settings.tableFont, metrics(settings.tableFont));
    s += "}\r\n";
    s += "{\\colortbl";
    for (int slot : {rsParagraphText, rsHeaderText, rsTableText, rsHeaderBackground, rsTableBackground,
                     rsOddRowBackground})
        s += rtfColorEntry(rtfSlotColor(rtf, slot));
    s += "}\r\n";
    s += "\\margl" + std::to_string(rtf.leftMargin) + "\\margr" + std::to_string(rtf.rightMargin) + "\\margt" +
         std::to_string(rtf.topMargin) + "\\margb" + std::to_string(rtf.bottomMargin);

    // Every row of the run has the same cells; only their background differs.
    int ppi = host ? host->pixelsPerInch() : 96;
    if (ppi <= 0)
        ppi = 96;
    const int cells = doc.columnCount() + (doc.hasOption(ExportOption::xoRowNumbers) ? 1 : 0);
    std::vector<long long> boundaries;
    boundaries.reserve(static_cast<std::size_t>(cells));
    for (int k = 1; k <= cells; ++k)
        boundaries.push_back(rtfCellBoundary(k, ppi, rtf.cellWidth));
    const bool grid = rtf.options.contains(RtfOption::roShowGridLines);
    const std::string headerGroup = " {\\f1" + rtfFontStyle(settings.headerFont) + "\\cf1\\cgrid0 ";
    const std::string tableGroup = " {\\f2" + rtfFontStyle(settings.tableFont) + "\\cf2\\cgrid0 ";
    captionRowStart_ = rowStart(boundaries, grid, " \\clcbpat3", headerGroup);
    evenRowStart_ = rowStart(boundaries, grid, " \\clcbpat4", tableGroup);
    oddRowStart_ = rowStart(boundaries, grid, " \\clcbpat5", tableGroup);
    paragraphStart_ = "\\par \\pard\\plain\\f0" + rtfFontStyle(settings.defaultFont) + "\\cf0 ";
}

} // namespace

std::string_view rtfFamilyWord(FontFamily family) {
    switch (family) {
    case FontFamily::Dontcare:
        return "fdontcare";
    case FontFamily::Roman:
        return "froman";
    case FontFamily::Swiss:
        return "fswiss";
    case FontFamily::Modern:
        return "fmodern";
    case FontFamily::Script:
        return "fscript";
    case FontFamily::Decorative:
        return "fdecorative";
    }
    return "froman";
}

std::string rtfCharsetWord(int charset) {
    // Readers decode a font's 8-bit text by this number; "fcharset1" (the default character set)
    // leaves them guessing, and LibreOffice then loses every byte above 127.
    if (charset < 0 || charset > 255)
        return "fcharset1";
    return "fcharset" + std::to_string(charset);
}

std::string rtfFontEntry(int number, const FontDescription& font, const FontMetrics& metrics) {
    std::string s = "{\\f" + std::to_string(number) + "\\";
    s += rtfFamilyWord(metrics.family);
    s += "\\";
    s += rtfCharsetWord(metrics.charset);
    s += " ";
    s += font.name;
    s += ";}";
    return s;
}

std::string rtfFontStyle(const FontDescription& font) {
    std::string s = "\\fs" + std::to_string(2 * font.size());
    if (font.style.contains(FontStyle::fsBold))
        s += "\\b";
    if (font.style.contains(FontStyle::fsItalic))
        s += "\\i";
    if (font.style.contains(FontStyle::fsUnderline))
        s += "\\ul";
    if (font.style.contains(FontStyle::fsStrikeOut))
        s += "\\strike";
    return s;
}

Color rtfSlotColor(const RtfOptions& options, int slot) {
    if (slot < 0 || slot >= RtfSlotCount)
        return 0;
    const auto t = static_cast<std::size_t>(options.colorTemplate);
    if (t < TemplateColours.size())
        return TemplateColours[t][static_cast<std::size_t>(slot)];
    const RtfColors& c = options.customSettings;
    switch (slot) {
    case rsParagraphText:
        return c.defaultFont.color;
    case rsHeaderText:
        return c.headerFont.color;
    case rsTableText:
        return c.tableFont.color;
    case rsTableBackground:
        return c.tableBackground;
    case rsHeaderBackground:
        return c.headerBackground;
    default:
        return c.tableOddBackground;
    }
}

std::string rtfColorEntry(Color colour) {
    return "\\red" + std::to_string(colour & 0xFF) + "\\green" + std::to_string((colour >> 8) & 0xFF) + "\\blue" +
           std::to_string((colour >> 16) & 0xFF) + ";";
}

long long rtfCellBoundary(int k, int ppi, int cellWidth) {
    const double x = static_cast<double>(k) * 100.0 / static_cast<double>(ppi) * static_cast<double>(cellWidth);
    // nearbyint rounds in the current rounding mode, which is to nearest with ties to even. The
    // clamp only keeps absurd settings (a cell width of billions) inside the integer's range.
    return static_cast<long long>(std::nearbyint(std::clamp(x, -1e15, 1e15)));
}

void appendRtfEscaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch != '\\' && ch != '{' && ch != '}' && ch != '\r' && ch != '\n')
            continue;
        out.append(text, start, i - start);
        start = i + 1;
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                start = ++i + 1;
            out += "\\line ";
            continue;
        }
        out += '\\';
        out += ch;
    }
    out.append(text, start, text.size() - start);
}

std::unique_ptr<FormatWriter> makeRtfWriter(ExportType) { return std::make_unique<RtfWriter>(); }

} // namespace tabvue::exporter
