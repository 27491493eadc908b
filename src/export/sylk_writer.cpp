#include "export/sylk_writer.h"

#include <cctype>

#include "export/custom_export.h"
#include "export/dif_writer.h"
#include "export/document.h"

namespace tabvue::exporter {

namespace {

class SylkWriter final : public FormatWriter {
public:
    void preamble(Document& doc) override {
        std::string id = "ID;P" + doc.component().className();
        for (char& ch : id)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        doc.appendLine(id);
        firstColumn_ = doc.hasOption(ExportOption::xoRowNumbers) ? 2 : 1;
    }
    // Header and footer texts, rules and the date line have no place in a SYLK file.
    void headerText(Document&) override {}
    void footer(Document&) override {}

    void rowNumberCell(Document& doc, std::string& row, std::string_view number) override {
        record(row, 1, doc.component().outputRow(), number);
    }
    // A cell's X number is its column's position among all columns of the source, so a column
    // that is not exported leaves its number out.
    void cell(Document& doc, std::string& row, const Cell& cell) override {
        record(row, cell.column + firstColumn_, doc.component().outputRow(), cell.text);
    }
    void close(Document& doc) override {
        doc.appendLine("E");
        doc.saveLines();
    }

private:
    static void record(std::string& row, long x, unsigned long y, std::string_view text) {
        row += "C;X";
        row += std::to_string(x);
        row += ";Y";
        row += std::to_string(y);
        row += ";K";
        appendQuotedValue(row, text, SylkLineBreak, true);
        row += "\r\n";
    }

    int firstColumn_ = 1;
};

} // namespace

std::unique_ptr<FormatWriter> makeSylkWriter(ExportType) { return std::make_unique<SylkWriter>(); }

} // namespace tabvue::exporter
