#pragma once
// The document skeleton shared by every export format.
//
// How a format writer plugs in
// ----------------------------
// CustomExport::writeDocument() builds one Document for the run and asks makeFormatWriter() for
// the FormatWriter of the current ExportType. The skeleton then walks the sections in a fixed
// order and calls the writer's hooks; a writer overrides only the hooks where its format differs
// from plain text:
//
//   preamble                      document start (HTML head, RTF header, DIF header, sheet set-up)
//   headerText                    the OnGetHeader lines, already cut into doc.section()
//   -- caption row (xoShowHeader) ----------------------------------------------------------
//   startRow(caption=true)        before the row is built (the sheet moves to its next row)
//   captionLeadingCell            under xoRowNumbers: the empty first cell *with* its separator
//   cell / separator              one call per exported column; the builder puts separator()
//                                 between cells and after a data row's row-number cell
//   openRow(caption=true)         after the row is built and cut into doc.section()
//   passLine                      each line of doc.section() (default: doc.appendLine)
//   closeRow(caption=true)
//   headerRule(captionWritten)    text appended to DocumentLines when not empty
//   beforeRows(captionWritten)    (HTML opens its table here when there is no caption row)
//   -- each exported record: startRow / rowNumberCell + cells / openRow / passLine / closeRow --
//   afterRows                     (HTML closes its table, RTF its last row)
//   footer                        footer rule, OnGetFooter lines, the date line (default: TXT)
//   close                         save DocumentLines (default) or the writer's own bytes
//
// A writer appends whole lines to DocumentLines with doc.appendLine() (CRLF is added), or builds
// raw bytes in doc.stream() (RTF) and saves them in close() with doc.save(). Everything a writer
// needs is on the Document: the component and its options (doc.component()), the counters, the
// columns and their widths, the row-number text and width, the cell texts.
//
// Each format's factory (declared below) lives in that writer's own source file and
// makeFormatWriter() dispatches on ExportType. A factory that answers nullptr marks its format as
// not available in the build: the run reports OnError(xeGeneralExportError) and the CLI says
// "not available".
//
// Failures are exceptions (tabvue::Error); the run catches them, reports xeGeneralExportError and
// writes nothing: a target file is created or replaced only by save() or saveLines(), through a
// temporary file in the target's folder that is renamed over it. A writer whose lines stream
// (streamsLines) has them written to that temporary file in pieces while the rows are built; a
// failed run removes it.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/custom_export.h"
#include "export/export_options.h"

namespace tabvue::exporter {

class FileOutput;
class FormatWriter;

// One cell as the row builder hands it to a writer.
struct Cell {
    int column = 0;               // index among all columns of the source
    int position = 0;             // index among the exported columns of the row
    const Variant* value = nullptr; // the row's value (a caption text in the caption row)
    int width = 0;                // ColumnWidth(i, DataWidth(i))
    std::string_view text;        // CellText(value, width)
    int alignment = 0;            // ColumnAlignment(i) under xoUseAlignments, else 0
    bool captionRow = false;
};

// The state of one call of writeDocument: DocumentLines, SectionLines, the RTF byte stream, the
// column layout of the run, and access to the component.
class Document {
public:
    Document(CustomExport& component, ExportHost* host, std::string fileName);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    CustomExport& component() { return c_; }
    ExportHost* host() { return host_; } // may be null outside a desktop run
    ExportType type() const { return c_.exportType(); }
    ExportOptionSet options() const { return c_.options(); }
    bool hasOption(ExportOption o) const { return c_.hasOption(o); }
    const std::string& fileName() const { return fileName_; }

    // DocumentLines, kept as one growing buffer: every appended line is followed by CRLF.
    void appendLine(std::string_view line);
    const std::string& text() const { return text_; }
    std::string& text() { return text_; }

    // SectionLines: load() cuts a block into lines at every CR, LF and CR LF; a break at the end
    // adds no empty line; an empty block gives no lines. A NUL byte is data like any other (it does
    // not end the block, so no cell after it is lost). The views stay valid until the next load.
    void loadSection(std::string_view block);
    const std::vector<std::string_view>& section() const { return section_; }
    void clearSection();
    void appendSectionLine(std::string line); // a line that is not part of a loaded block

    // RTFStream: raw bytes, for writers that build no lines.
    std::string& stream() { return stream_; }

    // Columns of the run (computed once when the document starts).
    int columnCount() const { return columnCount_; }
    bool isExported(int column) const { return exported_[static_cast<std::size_t>(column)]; }
    int width(int column) const { return widths_[static_cast<std::size_t>(column)]; }
    int rowNumberWidth() const { return rowNumberWidth_; }
    std::string rowNumberText() const { return c_.rowNumberText(); }

    // The largest column width a document accepts (a larger one ends the run with an error).
    static constexpr int MaxColumnWidth = 1 << 20;

    // LineWidth(): the width of a plain-text row, for the dashed rule.
    int lineWidth() const;
    // The export date line: CreatedText + " %s" formatted with the current date and time.
    // Throws Error when CreatedText holds a directive that does not fit one string argument.
    std::string dateLine() const;

    // Writes bytes to fileName(): a temporary file in the target's folder renamed over the target.
    void save(std::string_view bytes) const;
    // Writes DocumentLines to fileName() (what part of them was not written while the rows were
    // built, when the writer streams its lines).
    void saveLines();

private:
    friend class CustomExport;
    // The sections of the document in their order, from the preamble to the closing.
    void run(FormatWriter& writer, ExportHost* progress);
    void layoutColumns();
    void buildRow(FormatWriter& writer, std::string& row, const Values& values, bool captionRow, bool withRowNumber);
    void buildRow(FormatWriter& writer, std::string& row, const std::vector<std::string_view>& texts, bool withRowNumber);
    // The row's cells in order; cellOf(i, cell) sets cell.text and cell.value of column i.
    template <class CellOf>
    void buildCells(FormatWriter& writer, std::string& row, bool captionRow, bool withRowNumber, std::size_t available,
                    CellOf cellOf);
    // A plain data row built at the end of DocumentLines gets its CRLF, or is passed line by line.
    void finishPlainRow(FormatWriter& writer, std::size_t start);
    // Under a streaming writer, hands a full DocumentLines buffer on to the target file.
    void flushLines();
    void passRow(FormatWriter& writer, bool captionRow);

    CustomExport& c_;
    ExportHost* host_;
    std::string fileName_;
    std::string text_;
    bool streaming_ = false;
    std::unique_ptr<FileOutput> output_; // the target, once a streaming run has written to it
    std::string block_;
    std::vector<std::string_view> section_;
    std::deque<std::string> extraSection_;
    std::string stream_;
    std::string row_;
    std::string cellText_;
    int columnCount_ = 0;
    std::vector<char> exported_;
    std::vector<int> widths_;
    int rowNumberWidth_ = 0;
};

// One output format. Defaults are the plain-text (TXT) behaviour where a default makes sense.
class FormatWriter {
public:
    virtual ~FormatWriter();

    virtual void preamble(Document&) {}
    // The header text lines are in doc.section(). Default: each one appended to DocumentLines.
    virtual void headerText(Document& doc);

    virtual void startRow(Document&, bool /*captionRow*/) {}
    // Under xoRowNumbers, the caption row's empty first cell including the separator after it.
    virtual void captionLeadingCell(Document&, std::string& /*row*/) {}
    // The row-number field of a data row (number = doc.rowNumberText()).
    virtual void rowNumberCell(Document&, std::string& row, std::string_view number) = 0;
    virtual void cell(Document&, std::string& row, const Cell& cell) = 0;
    virtual std::string_view separator() const { return {}; }
    virtual void openRow(Document&, bool /*captionRow*/) {}
    virtual void passLine(Document& doc, std::string_view line) { doc.appendLine(line); }
    virtual void closeRow(Document&, bool /*captionRow*/) {}

    // RuleLine(isHeader); empty for most formats.
    virtual std::string ruleLine(Document&, bool /*isHeader*/) { return {}; }
    // The header rule after the caption row. Default: ruleLine(true).
    virtual std::string headerRule(Document& doc, bool /*captionRowWritten*/) { return ruleLine(doc, true); }
    virtual void beforeRows(Document&, bool /*captionRowWritten*/) {}
    virtual void afterRows(Document&) {}

    // The footer section; the footer text lines are in doc.section(). Default: ruleLine(false)
    // when not empty, the footer lines, and under xoShowExportDate the date line, all appended.
    virtual void footer(Document& doc);
    // Closing. Default: save DocumentLines.
    virtual void close(Document& doc) { doc.saveLines(); }

    // True when a data row is nothing but its lines appended to DocumentLines: startRow, openRow,
    // passLine and closeRow keep their defaults. The skeleton then builds such rows in place.
    virtual bool plainRows() const { return false; }
    // True when close() does nothing but saveLines() and nothing reads DocumentLines back: the
    // lines may then go to the file in pieces while the rows are built.
    virtual bool streamsLines() const { return false; }
};

// The writer of a format, or nullptr when that format is not available in this build.
std::unique_ptr<FormatWriter> makeFormatWriter(ExportType type);

// Per-format factories (the plain-text ones live in text_writers.cpp).
std::unique_ptr<FormatWriter> makeTextWriter(ExportType type); // xtTXT, xtCSV, xtTAB, xtClipboard
std::unique_ptr<FormatWriter> makeHtmlWriter(ExportType type);
std::unique_ptr<FormatWriter> makeRtfWriter(ExportType type); // xtRTF and xtWord
std::unique_ptr<FormatWriter> makeDifWriter(ExportType type);
std::unique_ptr<FormatWriter> makeSylkWriter(ExportType type);
std::unique_ptr<FormatWriter> makeExcelWriter(ExportType type);

// ---- Text utilities (8-bit strings, one character per byte) ----------------------------------

std::string repeatChar(char ch, int n);
std::string padLeft(std::string_view s, char ch, int width);
std::string padRight(std::string_view s, char ch, int width);
std::string padCentre(std::string_view s, int width);
std::string truncateText(std::string_view s, int width, std::string_view symbol);
// Doubles every '"'; wraps in quotes when `always`, or when the result holds a space or a comma.
std::string quoteField(std::string_view s, bool always);
// The CSV form of a field: as quoteField(s, false), and also wrapped when it holds a '"', a CR or
// an LF, so every value reads back as it was.
void appendCsvField(std::string& out, std::string_view s);

// Appending forms used in the hot paths.
void appendPadded(std::string& out, std::string_view s, int width, int alignment);

} // namespace tabvue::exporter
