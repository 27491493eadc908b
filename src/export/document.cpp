#include "export/document.h"

#include <algorithm>
#include <cstring>

#include "engine/error.h"
#include "export/export_host.h"
#include "export/file_output.h"
#include "export/text_format.h"

namespace tabvue::exporter {

// ---- Document -----------------------------------------------------------------------------------

Document::Document(CustomExport& component, ExportHost* host, std::string fileName)
    : c_(component), host_(host), fileName_(std::move(fileName)) {}

Document::~Document() = default;

void Document::appendLine(std::string_view line) {
    text_ += line;
    text_ += "\r\n";
}

void Document::loadSection(std::string_view block) {
    // The block may be one of our own buffers: keep a copy the line views can point into.
    if (block.data() != block_.data())
        block_.assign(block);
    section_.clear();
    extraSection_.clear();
    const char* p = block_.data();
    const char* end = p + block_.size();
    const char* lineStart = p;
    while (p != end) {
        const char ch = *p;
        if (ch == '\r' || ch == '\n') {
            section_.emplace_back(lineStart, static_cast<std::size_t>(p - lineStart));
            ++p;
            if (ch == '\r' && p != end && *p == '\n')
                ++p;
            lineStart = p;
        } else {
            // Most of a row has no line break: skip to the next CR or LF at once.
            const void* next = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            const void* nextCr = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
            const char* stop = end;
            if (next)
                stop = static_cast<const char*>(next);
            if (nextCr && static_cast<const char*>(nextCr) < stop)
                stop = static_cast<const char*>(nextCr);
            p = stop;
        }
    }
    if (lineStart != end)
        section_.emplace_back(lineStart, static_cast<std::size_t>(end - lineStart));
}

void Document::clearSection() {
    section_.clear();
    extraSection_.clear();
    block_.clear();
}

void Document::appendSectionLine(std::string line) {
    // Hand-added lines live in a deque, whose elements never move, so the views stay valid.
    extraSection_.push_back(std::move(line));
    section_.emplace_back(extraSection_.back());
}

void Document::layoutColumns() {
    columnCount_ = c_.columnCount();
    exported_.assign(static_cast<std::size_t>(columnCount_), 0);
    widths_.assign(static_cast<std::size_t>(columnCount_), 0);
    for (int i = 0; i < columnCount_; ++i) {
        exported_[static_cast<std::size_t>(i)] = c_.isColumnExported(i) ? 1 : 0;
        widths_[static_cast<std::size_t>(i)] = c_.columnWidth(i, c_.dataWidth(i));
    }
    rowNumberWidth_ = c_.rowNumberWidth();
}

int Document::lineWidth() const {
    int sum = 0;
    for (int i = 0; i < columnCount_; ++i)
        if (isExported(i))
            sum += width(i);
    if (c_.hasOption(ExportOption::xoRowNumbers))
        return sum + columnCount_ + rowNumberWidth_;
    return sum + columnCount_ - 1;
}

std::string Document::dateLine() const {
    const std::string now = host_ ? host_->currentDateTimeText() : ExportHost::localDateTimeText();
    return formatString(c_.messages().createdText + " %s", now);
}

void Document::save(std::string_view bytes) const { writeWholeFile(fileName_, bytes); }

void Document::buildRow(FormatWriter& writer, const Values& values, bool captionRow, bool withRowNumber) {
    if (values.size() < static_cast<std::size_t>(columnCount_))
        throw Error("A row holds fewer values than the source has columns");
    bool separate = false;
    if (withRowNumber && !captionRow) {
        writer.rowNumberCell(*this, row_, c_.rowNumberText());
        separate = true;
    }
    const std::string_view sep = writer.separator();
    const bool aligned = c_.hasOption(ExportOption::xoUseAlignments);
    Cell cell;
    cell.captionRow = captionRow;
    for (int i = 0; i < columnCount_; ++i) {
        if (!isExported(i))
            continue;
        if (separate)
            row_ += sep;
        separate = true;
        const Variant& value = values[static_cast<std::size_t>(i)];
        cellText_.clear();
        c_.appendCellText(cellText_, value, width(i));
        cell.column = i;
        cell.value = &value;
        cell.width = width(i);
        cell.text = cellText_;
        cell.alignment = aligned ? c_.columnAlignment(i) : 0;
        writer.cell(*this, row_, cell);
        ++cell.position;
    }
    ++c_.outputRow_;
}

void Document::passRow(FormatWriter& writer, bool captionRow) {
    loadSection(row_);
    writer.openRow(*this, captionRow);
    for (std::string_view line : section_)
        writer.passLine(*this, line);
    writer.closeRow(*this, captionRow);
}

void Document::run(FormatWriter& writer, ExportHost* progress) {
    layoutColumns();
    const bool rowNumbers = c_.hasOption(ExportOption::xoRowNumbers);

    // The whole document is held in memory and written in one piece: reserve for the plain-text
    // size of the rows so that the buffer rarely has to move (untouched reserve costs no memory).
    {
        std::size_t perRow = static_cast<std::size_t>(std::max(0, lineWidth())) + 2;
        perRow += static_cast<std::size_t>(columnCount_) * 2;
        text_.reserve(static_cast<std::size_t>(c_.recordTotal()) * perRow + 4096);
    }

    writer.preamble(*this);

    std::string header;
    if (c_.onGetHeader)
        c_.onGetHeader(c_, c_.recordTotal(), header);
    loadSection(header);
    writer.headerText(*this);
    clearSection();

    bool captionWritten = false;
    if (c_.hasOption(ExportOption::xoShowHeader)) {
        Values captions(static_cast<std::size_t>(columnCount_));
        const std::vector<std::string>& given = c_.captions();
        for (int i = 0; i < columnCount_; ++i) {
            const auto k = static_cast<std::size_t>(i);
            captions[k] = k < given.size() ? given[k] : c_.columnCaption(i);
        }
        writer.startRow(*this, true);
        row_.clear();
        if (rowNumbers)
            writer.captionLeadingCell(*this, row_);
        buildRow(writer, captions, true, rowNumbers);
        passRow(writer, true);
        captionWritten = true;
    }
    const std::string rule = writer.headerRule(*this, captionWritten);
    if (!rule.empty())
        appendLine(rule);
    writer.beforeRows(*this, captionWritten);

    const bool selectedOnly = c_.hasOption(ExportOption::xoSelectedRowsOnly);
    Values values;
    while (!c_.eof()) {
        c_.readRow(values);
        const bool selected = !selectedOnly || c_.isRowSelected(c_.currentRow_);
        if (c_.onExport)
            c_.onExport(c_, c_.currentRow_, c_.recordTotal(), values, selected);
        if (progress)
            progress->setProgress(c_.currentRow_);
        if (selected) {
            writer.startRow(*this, false);
            row_.clear();
            buildRow(writer, values, false, rowNumbers);
            passRow(writer, false);
            ++c_.exportedRows_;
        }
        ++c_.currentRow_;
    }
    writer.afterRows(*this);

    std::string footerText;
    if (c_.onGetFooter)
        c_.onGetFooter(c_, c_.recordTotal(), footerText);
    loadSection(footerText);
    writer.footer(*this);
    writer.close(*this);
}

// ---- FormatWriter defaults ----------------------------------------------------------------------

FormatWriter::~FormatWriter() = default;

void FormatWriter::headerText(Document& doc) {
    for (std::string_view line : doc.section())
        doc.appendLine(line);
}

void FormatWriter::footer(Document& doc) {
    const std::string rule = ruleLine(doc, false);
    if (!rule.empty())
        doc.appendLine(rule);
    for (std::string_view line : doc.section())
        doc.appendLine(line);
    if (doc.hasOption(ExportOption::xoShowExportDate))
        doc.appendLine(doc.dateLine());
}

std::unique_ptr<FormatWriter> makeFormatWriter(ExportType type) {
    switch (type) {
    case ExportType::xtTXT:
    case ExportType::xtCSV:
    case ExportType::xtTAB:
    case ExportType::xtClipboard:
        return makeTextWriter(type);
    case ExportType::xtHTML:
        return makeHtmlWriter(type);
    case ExportType::xtWord:
    case ExportType::xtRTF:
        return makeRtfWriter(type);
    case ExportType::xtDIF:
        return makeDifWriter(type);
    case ExportType::xtSYLK:
        return makeSylkWriter(type);
    case ExportType::xtExcel:
        return makeExcelWriter(type);
    }
    return nullptr;
}

// ---- Text utilities -----------------------------------------------------------------------------

std::string repeatChar(char ch, int n) { return n > 0 ? std::string(static_cast<std::size_t>(n), ch) : std::string(); }

std::string padLeft(std::string_view s, char ch, int width) {
    std::string out;
    const int pad = width - static_cast<int>(s.size());
    if (pad > 0)
        out.assign(static_cast<std::size_t>(pad), ch);
    out += s;
    return out;
}

std::string padRight(std::string_view s, char ch, int width) {
    std::string out(s);
    const int pad = width - static_cast<int>(s.size());
    if (pad > 0)
        out.append(static_cast<std::size_t>(pad), ch);
    return out;
}

std::string padCentre(std::string_view s, int width) {
    const int pad = width - static_cast<int>(s.size());
    if (pad <= 0)
        return std::string(s);
    const int before = pad / 2;
    std::string out(static_cast<std::size_t>(before), ' ');
    out += s;
    out.append(static_cast<std::size_t>(pad - before), ' ');
    return out;
}

std::string truncateText(std::string_view s, int width, std::string_view symbol) {
    if (static_cast<long>(s.size()) <= width)
        return std::string(s);
    const long keep = static_cast<long>(width) - static_cast<long>(symbol.size());
    std::string out(s.substr(0, static_cast<std::size_t>(std::max(0L, keep))));
    out += symbol;
    return out;
}

std::string quoteField(std::string_view s, bool always) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char ch : s) {
        out += ch;
        if (ch == '"')
            out += '"';
    }
    if (always || out.find_first_of(" ,") != std::string::npos) {
        out.insert(out.begin(), '"');
        out += '"';
    }
    return out;
}

void appendCsvField(std::string& out, std::string_view s) {
    if (s.find_first_of(" ,\"\r\n") == std::string_view::npos) {
        out += s;
        return;
    }
    out += '"';
    for (char ch : s) {
        out += ch;
        if (ch == '"')
            out += '"';
    }
    out += '"';
}

void appendPadded(std::string& out, std::string_view s, int width, int alignment) {
    const int pad = width - static_cast<int>(s.size());
    if (pad <= 0) {
        out += s;
        return;
    }
    switch (alignment) {
    case 0:
    case 1:
        out += s;
        out.append(static_cast<std::size_t>(pad), ' ');
        break;
    case 2:
        out.append(static_cast<std::size_t>(pad), ' ');
        out += s;
        break;
    case 3: {
        const int before = pad / 2;
        out.append(static_cast<std::size_t>(before), ' ');
        out += s;
        out.append(static_cast<std::size_t>(pad - before), ' ');
        break;
    }
    default:
        out += s;
        break;
    }
}

} // namespace tabvue::exporter
