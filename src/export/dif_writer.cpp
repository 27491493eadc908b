#include "export/dif_writer.h"

#include <cctype>

#include "export/custom_export.h"
#include "export/document.h"

namespace tabvue::exporter {

namespace {

constexpr std::string_view CRLF = "\r\n";

std::string upperCase(std::string s) {
    for (char& ch : s)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

class DifWriter final : public FormatWriter {
public:
    void preamble(Document& doc) override {
        CustomExport& c = doc.component();
        const int vectors = doc.columnCount() + (doc.hasOption(ExportOption::xoRowNumbers) ? 1 : 0);
        doc.appendLine("TABLE");
        doc.appendLine("0,1");
        doc.appendLine("\"" + upperCase(c.className()) + "\"");
        doc.appendLine("VECTORS");
        doc.appendLine("0," + std::to_string(vectors));
        doc.appendLine("\"\"");
        doc.appendLine("TUPLES");
        doc.appendLine("0," + std::to_string(c.recordTotal()));
        doc.appendLine("\"\"");
        doc.appendLine("DATA");
        doc.appendLine("0,0");
        doc.appendLine("\"\"");
    }
    // Header and footer texts, rules and the date line have no place in a DIF file.
    void headerText(Document&) override {}
    void footer(Document&) override {}

    void captionLeadingCell(Document&, std::string& row) override { value(row, {}); }
    void rowNumberCell(Document&, std::string& row, std::string_view number) override { value(row, number); }
    void cell(Document&, std::string& row, const Cell& cell) override { value(row, cell.text); }
    void openRow(Document& doc, bool) override {
        doc.appendLine("-1,0");
        doc.appendLine("BOT");
    }
    void close(Document& doc) override {
        doc.appendLine("-1,0");
        doc.appendLine("EOD");
        doc.saveLines();
    }

private:
    // A string value: its type line, then the quoted text on a line of its own.
    static void value(std::string& row, std::string_view text) {
        row += "1,0";
        row += CRLF;
        appendQuotedValue(row, text, DifLineBreak, false);
        row += CRLF;
    }
};

} // namespace

void appendQuotedValue(std::string& out, std::string_view s, std::string_view lineBreak, bool doubleSemicolons) {
    out += '"';
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char ch = s[i];
        switch (ch) {
        case '"':
            out += "\"\"";
            break;
        case ';':
            out += doubleSemicolons ? ";;" : ";";
            break;
        case '\r':
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            out += lineBreak;
            break;
        case '\n':
            out += lineBreak;
            break;
        default:
            out += ch;
            break;
        }
    }
    out += '"';
}

std::unique_ptr<FormatWriter> makeDifWriter(ExportType) { return std::make_unique<DifWriter>(); }

} // namespace tabvue::exporter
