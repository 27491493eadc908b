#include "export/document.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

namespace {

// The first CR or LF in [p, end), or end. Most rows hold neither, and the library's memchr
// passes over a row faster than any byte loop.
const char* findLineBreak(const char* p, const char* end) {
    const std::size_t n = static_cast<std::size_t>(end - p);
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', n));
    const char* limit = lf ? lf : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(limit - p)));
    return cr ? cr : limit;
}

// Cuts [p, end) into lines at every CR, LF and CR LF; a break at the end adds no empty line.
void splitLines(const char* p, const char* end, std::vector<std::string_view>& lines) {
    while (p != end) {
        const char* stop = findLineBreak(p, end);
        lines.emplace_back(p, static_cast<std::size_t>(stop - p));
        if (stop == end)
            break;
        p = stop + 1;
        if (*stop == '\r' && p != end && *p == '\n')
            ++p;
    }
}

} // namespace

void Document::loadSection(std::string_view block) {
    // Keep a copy the line views can point into (the block may be a caller's temporary).
    if (block.data() != block_.data() || block.size() != block_.size())
        block_.assign(block);
    section_.clear();
    extraSection_.clear();
    splitLines(block_.data(), block_.data() + block_.size(), section_);
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
        const int w = c_.columnWidth(i, c_.dataWidth(i));
        // Every cell is padded to its width: a width no text could need would only exhaust memory.
        if (w > MaxColumnWidth)
            throw Error("The width " + std::to_string(w) + " of column " + std::to_string(i + 1) +
                        " is too large (at most " + std::to_string(MaxColumnWidth) + ")");
        widths_[static_cast<std::size_t>(i)] = w;
    }
    rowNumberWidth_ = c_.rowNumberWidth();
}

int Document::lineWidth() const {
    long long sum = 0;
    for (int i = 0; i < columnCount_; ++i)
        if (isExported(i))
            sum += width(i);
    const long long w = c_.hasOption(ExportOption::xoRowNumbers) ? sum + columnCount_ + rowNumberWidth_
                                                                 : sum + columnCount_ - 1;
    return static_cast<int>(std::min<long long>(w, INT32_MAX));
}

std::string Document::dateLine() const {
    const std::string now = host_ ? host_->currentDateTimeText() : ExportHost::localDateTimeText();
    return formatString(c_.messages().createdText + " %s", now);
}

void Document::save(std::string_view bytes) const { writeWholeFile(fileName_, bytes); }

void Document::saveLines() {
    if (!output_) {
        save(text_);
        return;
    }
    output_->write(text_);
    text_.clear();
    output_->commit();
    output_.reset();
}

namespace {
// The size at which a streaming document hands its lines on: small enough to stay in the caches.
constexpr std::size_t StreamPiece = std::size_t{1} << 18;
} // namespace

void Document::flushLines() {
    if (!streaming_ || text_.size() < StreamPiece)
        return;
    if (!output_)
        output_ = std::make_unique<FileOutput>(fileName_);
    output_->write(text_);
    text_.clear();
}

template <class CellOf>
void Document::buildCells(FormatWriter& writer, std::string& row, bool captionRow, bool withRowNumber,
                          std::size_t available, CellOf cellOf) {
    if (available < static_cast<std::size_t>(columnCount_))
        throw Error("A row holds fewer values than the source has columns");
    bool separate = false;
    if (withRowNumber && !captionRow) {
        writer.rowNumberCell(*this, row, c_.rowNumberText());
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
            row += sep;
        separate = true;
        cell.column = i;
        cell.width = width(i);
        cellOf(i, cell);
        cell.alignment = aligned ? c_.columnAlignment(i) : 0;
        writer.cell(*this, row, cell);
        ++cell.position;
    }
    ++c_.outputRow_;
}

void Document::buildRow(FormatWriter& writer, std::string& row, const Values& values, bool captionRow,
                        bool withRowNumber) {
    const bool truncate = c_.hasOption(ExportOption::xoTruncate);
    buildCells(writer, row, captionRow, withRowNumber, values.size(), [&](int i, Cell& cell) {
        const Variant& value = values[static_cast<std::size_t>(i)];
        const int w = cell.width;
        // A text that needs no cutting is its own cell text.
        const std::string* direct = std::get_if<std::string>(&value);
        if (direct && (!truncate || w <= 0 || direct->size() <= static_cast<std::size_t>(w))) {
            cell.text = *direct;
        } else {
            cellText_.clear();
            c_.appendCellText(cellText_, value, w);
            cell.text = cellText_;
        }
        cell.value = &value;
    });
}

void Document::buildRow(FormatWriter& writer, std::string& row, const std::vector<std::string_view>& texts,
                        bool withRowNumber) {
    const bool truncate = c_.hasOption(ExportOption::xoTruncate);
    buildCells(writer, row, false, withRowNumber, texts.size(), [&](int i, Cell& cell) {
        const std::string_view text = texts[static_cast<std::size_t>(i)];
        const int w = cell.width;
        if (!truncate || w <= 0 || text.size() <= static_cast<std::size_t>(w)) {
            cell.text = text;
        } else {
            // Cut as appendCellText cuts: the width less the symbol, then the symbol.
            const std::string& symbol = c_.truncateSymbol_;
            const long keep = std::max(0L, static_cast<long>(w) - static_cast<long>(symbol.size()));
            cellText_.assign(text.substr(0, static_cast<std::size_t>(keep)));
            cellText_ += symbol;
            cell.text = cellText_;
        }
        cell.value = nullptr;
    });
}

void Document::finishPlainRow(FormatWriter& writer, std::size_t start) {
    // Built straight into the document; only a row that holds a line break takes the long way
    // through the section lines.
    const char* b = text_.data() + start;
    const char* e = text_.data() + text_.size();
    if (findLineBreak(b, e) == e) {
        if (b != e)
            text_ += "\r\n";
    } else {
        row_.assign(b, e);
        text_.resize(start);
        passRow(writer, false);
    }
}

void Document::passRow(FormatWriter& writer, bool captionRow) {
    // The row buffer lives until the next row is built: the lines can point straight into it.
    section_.clear();
    extraSection_.clear();
    splitLines(row_.data(), row_.data() + row_.size(), section_);
    writer.openRow(*this, captionRow);
    for (std::string_view line : section_)
        writer.passLine(*this, line);
    writer.closeRow(*this, captionRow);
}

void Document::run(FormatWriter& writer, ExportHost* progress) {
    layoutColumns();
    const bool rowNumbers = c_.hasOption(ExportOption::xoRowNumbers);

    // A streaming document holds one piece of its lines at a time; any other is held whole and
    // written in one piece: reserve for the plain-text size of the rows so that the buffer rarely
    // has to move (untouched reserve costs no memory).
    streaming_ = writer.streamsLines();
    {
        std::size_t perRow = static_cast<std::size_t>(std::max(0, lineWidth())) + 2;
        perRow += static_cast<std::size_t>(columnCount_) * 2;
        try {
            if (streaming_)
                text_.reserve(StreamPiece + 2 * perRow);
            else
                text_.reserve(static_cast<std::size_t>(c_.recordTotal()) * perRow + 4096);
        } catch (const std::exception&) {
            // Only an estimate: the buffer still grows as needed.
        }
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
        buildRow(writer, row_, captions, true, rowNumbers);
        passRow(writer, true);
        captionWritten = true;
    }
    const std::string rule = writer.headerRule(*this, captionWritten);
    if (!rule.empty())
        appendLine(rule);
    writer.beforeRows(*this, captionWritten);

    const bool selectedOnly = c_.hasOption(ExportOption::xoSelectedRowsOnly);
    const bool plain = writer.plainRows();
    // A plain-text document without an OnExport handler needs no row values: the source may hand
    // over its cell texts, which go straight into the document.
    bool textRows = plain && !c_.onExport;
    std::vector<std::string_view> texts;
    Values values;
    while (!c_.eof()) {
        if (textRows && c_.readRowTexts(texts)) {
            const bool selected = !selectedOnly || c_.isRowSelected(c_.currentRow_);
            if (progress)
                progress->setProgress(c_.currentRow_);
            if (selected) {
                const std::size_t start = text_.size();
                buildRow(writer, text_, texts, rowNumbers);
                finishPlainRow(writer, start);
                flushLines();
                ++c_.exportedRows_;
            }
            ++c_.currentRow_;
            continue;
        }
        textRows = false;
        c_.readRow(values);
        const bool selected = !selectedOnly || c_.isRowSelected(c_.currentRow_);
        if (c_.onExport)
            c_.onExport(c_, c_.currentRow_, c_.recordTotal(), values, selected);
        if (progress)
            progress->setProgress(c_.currentRow_);
        if (selected) {
            if (plain) {
                const std::size_t start = text_.size();
                buildRow(writer, text_, values, false, rowNumbers);
                finishPlainRow(writer, start);
                flushLines();
            } else {
                writer.startRow(*this, false);
                row_.clear();
                buildRow(writer, row_, values, false, rowNumbers);
                passRow(writer, false);
            }
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
    // A field needs quotes when it holds a space, comma, double quote, CR or LF; eight bytes are
    // tested at a time.
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    auto has = [](std::uint64_t w, char ch) {
        const std::uint64_t x = w ^ (ones * static_cast<unsigned char>(ch));
        return (x - ones) & ~x;
    };
    bool quote = false;
    const char* p = s.data();
    const char* end = p + s.size();
    for (; end - p >= 8 && !quote; p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        quote = ((has(w, ' ') | has(w, ',') | has(w, '"') | has(w, '\r') | has(w, '\n')) & highs) != 0;
    }
    static constexpr auto special = [] {
        std::array<bool, 256> t{};
        for (unsigned char ch : {' ', ',', '"', '\r', '\n'})
            t[ch] = true;
        return t;
    }();
    for (; p < end && !quote; ++p)
        quote = special[static_cast<unsigned char>(*p)];
    if (!quote) {
        out += s;
        return;
    }
    out += '"';
    std::size_t from = 0;
    for (std::size_t at = s.find('"'); at != std::string_view::npos; at = s.find('"', at + 1)) {
        out.append(s, from, at + 1 - from);
        out += '"';
        from = at + 1;
    }
    out.append(s, from);
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
