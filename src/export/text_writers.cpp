// The plain-text formats: TXT (and the clipboard, which receives the same text), CSV and TAB.
#include <cstring>

#include "engine/error.h"
#include "export/document.h"
#include "export/export_host.h"

namespace tabvue::exporter {

namespace {

// TXT and the clipboard: cells padded to their column widths, separated by one space, dashed rules.
class TxtWriter : public FormatWriter {
public:
    explicit TxtWriter(bool clipboard) : clipboard_(clipboard) {}

    void captionLeadingCell(Document& doc, std::string& row) override {
        row.append(static_cast<std::size_t>(doc.rowNumberWidth()) + 1, ' ');
    }
    void rowNumberCell(Document& doc, std::string& row, std::string_view number) override {
        appendPadded(row, number, doc.rowNumberWidth(), 2);
    }
    void cell(Document&, std::string& row, const Cell& cell) override {
        appendPadded(row, cell.text, cell.width, cell.alignment);
    }
    std::string_view separator() const override { return " "; }
    bool plainRows() const override { return true; }
    bool streamsLines() const override { return !clipboard_; }
    std::string ruleLine(Document& doc, bool isHeader) override {
        const ExportOption option = isHeader ? ExportOption::xoHeaderLine : ExportOption::xoFooterLine;
        return doc.hasOption(option) ? repeatChar('-', doc.lineWidth()) : std::string();
    }
    void close(Document& doc) override {
        if (!clipboard_) {
            doc.saveLines();
            return;
        }
        ExportHost* host = doc.host();
        if (!host)
            throw Error("The clipboard is not available");
        // The clipboard's 8-bit text ends at its first NUL byte.
        const std::string& text = doc.text();
        const std::size_t nul = text.find('\0');
        host->setClipboardText(std::string_view(text).substr(0, nul));
        if (doc.hasOption(ExportOption::xoClipboardMessage))
            host->showInformation(doc.component().messages().copiedToClipboard);
    }

private:
    bool clipboard_;
};

// CSV: fields quoted as needed, no header text, rules, footer text or date line.
class CsvWriter : public FormatWriter {
public:
    void headerText(Document&) override {}
    void captionLeadingCell(Document&, std::string& row) override { row += ','; }
    void rowNumberCell(Document&, std::string& row, std::string_view number) override { appendCsvField(row, number); }
    void cell(Document&, std::string& row, const Cell& cell) override { appendCsvField(row, cell.text); }
    std::string_view separator() const override { return ","; }
    bool plainRows() const override { return true; }
    bool streamsLines() const override { return true; }
    void footer(Document&) override {}
};

// TAB: texts as they are, separated by tabs; header and footer texts and the date line, no rules.
class TabWriter : public FormatWriter {
public:
    void captionLeadingCell(Document&, std::string& row) override { row += '\t'; }
    void rowNumberCell(Document&, std::string& row, std::string_view number) override { row += number; }
    void cell(Document&, std::string& row, const Cell& cell) override { row += cell.text; }
    std::string_view separator() const override { return "\t"; }
    bool plainRows() const override { return true; }
    bool streamsLines() const override { return true; }
};

} // namespace

std::unique_ptr<FormatWriter> makeTextWriter(ExportType type) {
    switch (type) {
    case ExportType::xtTXT:
        return std::make_unique<TxtWriter>(false);
    case ExportType::xtClipboard:
        return std::make_unique<TxtWriter>(true);
    case ExportType::xtCSV:
        return std::make_unique<CsvWriter>();
    case ExportType::xtTAB:
        return std::make_unique<TabWriter>();
    default:
        return nullptr;
    }
}

} // namespace tabvue::exporter
