#include "export/excel_export.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "engine/error.h"
#include "export/document.h"

namespace tabvue::exporter {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Leading spaces and an optional sign; returns the index after them.
std::size_t skipSpacesAndSign(std::string_view s, bool& negative) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    return i;
}

} // namespace

bool readDecimalNumber(std::string_view s, double& value) {
    bool negative = false;
    std::size_t i = skipSpacesAndSign(s, negative);
    if (i >= s.size()) return false;

    const std::size_t intStart = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    const std::string_view intDigits = s.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < s.size() && isDigit(s[i])) ++i;
        fracDigits = s.substr(fracStart, i - fracStart);
    }
    bool expNegative = false;
    std::string_view expDigits;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
        const std::size_t expStart = i;
        while (i < s.size() && isDigit(s[i])) ++i;
        expDigits = s.substr(expStart, i - expStart);
        if (expDigits.empty()) return false;
    }
    if (i != s.size()) return false;

    if (intDigits.empty() && fracDigits.empty()) { // "." or "E5": no mantissa digits
        value = 0;
        return true;
    }
    // The exponent, clamped: beyond six digits every nonzero mantissa over- or underflows.
    while (expDigits.size() > 1 && expDigits.front() == '0') expDigits.remove_prefix(1);
    long exponent = 0;
    if (expDigits.size() > 6) exponent = 9999999;
    else
        for (char c : expDigits) exponent = exponent * 10 + (c - '0');
    if (expNegative) exponent = -exponent;

    std::string text;
    text.reserve(intDigits.size() + fracDigits.size() + 12);
    text.append(intDigits.empty() ? std::string_view("0") : intDigits);
    if (!fracDigits.empty()) text.append(".").append(fracDigits);
    text.append("e").append(std::to_string(exponent));
    double parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec == std::errc::result_out_of_range) {
        // The decimal magnitude of the first significant digit tells overflow from underflow.
        std::size_t lead = intDigits.find_first_not_of('0');
        long magnitude;
        if (lead != std::string_view::npos) {
            magnitude = exponent + static_cast<long>(intDigits.size() - lead);
        } else {
            std::size_t fracLead = fracDigits.find_first_not_of('0');
            if (fracLead == std::string_view::npos) fracLead = fracDigits.size();
            magnitude = exponent - static_cast<long>(fracLead);
        }
        if (magnitude > 0) return false; // too large for a double: stays text
        parsed = 0;
    } else if (ec != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

bool readHexInteger(std::string_view s, std::int64_t& value) {
    bool negative = false;
    std::size_t i = skipSpacesAndSign(s, negative);
    if (i < s.size() && s[i] == '$') {
        i += 1;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        i += 1;
    } else {
        return false;
    }
    if (i >= s.size()) return false;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        int d = hexDigit(s[i]);
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFu) return false;
    }
    value = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    return true;
}

bool readInteger(std::string_view s, std::int64_t& value) {
    bool negative = false;
    std::size_t i = skipSpacesAndSign(s, negative);
    if (i < s.size() && isDigit(s[i]) && s.substr(i).find_first_not_of("0123456789") == std::string_view::npos) {
        std::int64_t v = 0;
        for (; i < s.size(); ++i) {
            v = v * 10 + (s[i] - '0');
            if (v > 2147483648LL) return false;
        }
        v = negative ? -v : v;
        if (v > 2147483647LL) return false;
        value = v;
        return true;
    }
    return readHexInteger(s, value);
}

TypedCellText typeCellText(std::string_view text) {
    TypedCellText t;
    if (readDecimalNumber(text, t.number)) t.kind = TypedCellText::Kind::Number;
    else if (readHexInteger(text, t.integer)) t.kind = TypedCellText::Kind::Integer;
    return t;
}

void writeTypedCell(NativeExcel& sheet, std::string_view text) {
    const TypedCellText t = typeCellText(text);
    switch (t.kind) {
    case TypedCellText::Kind::Number: sheet.writeNumber(t.number); break;
    case TypedCellText::Kind::Integer: sheet.writeInteger(t.integer); break;
    case TypedCellText::Kind::Text: sheet.writeText(text); break;
    }
}

namespace {

constexpr int kDefaultFont = 0; // header and footer text cells
constexpr int kHeaderFont = 1;  // the caption row
constexpr int kTableFont = 2;   // data and row-number cells

BIFFVersion biffFor(ExcelVersion v) {
    switch (v) {
    case ExcelVersion::xls21: return BIFFVersion::bvBIFF2;
    case ExcelVersion::xls30: return BIFFVersion::bvBIFF3;
    case ExcelVersion::xls40: return BIFFVersion::bvBIFF4;
    case ExcelVersion::xls50: break;
    }
    return BIFFVersion::bvBIFF5;
}

ExcelAlignment alignmentFor(int code) {
    switch (code) {
    case 1: return ExcelAlignment::eaLeft;
    case 2: return ExcelAlignment::eaRight;
    case 3: return ExcelAlignment::eaCenter;
    default: return ExcelAlignment::eaGeneral;
    }
}

[[noreturn]] void doesNotFit(const std::string& why) {
    throw Error("The table does not fit a sheet: " + why);
}

class ExcelWriter final : public FormatWriter {
public:
    void preamble(Document& doc) override {
        const ExcelOptions& o = doc.component().excel();

        int columns = doc.hasOption(ExportOption::xoRowNumbers) ? 1 : 0;
        for (int i = 0; i < doc.columnCount(); ++i)
            if (doc.isExported(i)) ++columns;
        if (columns > NativeExcel::kLastColumn)
            doesNotFit(std::to_string(columns) + " columns to write, a sheet holds " +
                       std::to_string(NativeExcel::kLastColumn) + ".");

        sheet_.setFileName(doc.fileName());
        sheet_.setMoveAfterEnter(MoveAfterEnter::maRight);
        sheet_.setColumn(1);
        sheet_.setRow(1);
        sheet_.setBorders({});
        sheet_.setAlignment(ExcelAlignment::eaGeneral);
        sheet_.setBiff(biffFor(o.excelVersion));
        sheet_.beginSheet();
        sheet_.writeFont(&o.defaultFont);
        sheet_.writeFont(&o.headerFont);
        sheet_.writeFont(&o.tableFont);
        if (!o.header.empty()) sheet_.writeHeader(o.header);
        if (!o.footer.empty()) sheet_.writeFooter(o.footer);
        if (o.options.contains(ExcelOption::reSetMargins)) {
            sheet_.writeLeftMargin(o.leftMargin);
            sheet_.writeBottomMargin(o.bottomMargin);
            sheet_.writeTopMargin(o.topMargin);
            sheet_.writeRightMargin(o.rightMargin);
        }
        if (o.options.contains(ExcelOption::reSetColumnWidths))
            sheet_.writeColumnWidth(1, NativeExcel::kLastColumn, o.columnWidth);

        useBorders_ = o.options.contains(ExcelOption::reUseBorders);
        cellsAsText_ = o.options.contains(ExcelOption::reCellsAsText);
    }

    // Header text lines, one per row in column 1, and an empty cell under them.
    void headerText(Document& doc) override {
        const auto& lines = doc.section();
        // The lines, the empty cell and the caption row's row must all be on the sheet.
        if (!lines.empty() && lines.size() + 2 > static_cast<std::size_t>(NativeExcel::kLastRow))
            doesNotFit(std::to_string(lines.size()) + " header text lines, a sheet holds " +
                       std::to_string(NativeExcel::kLastRow) + " rows.");
        sheet_.setMoveAfterEnter(MoveAfterEnter::maDown);
        sheet_.setActiveFont(kDefaultFont);
        sheet_.setBorders({});
        for (std::string_view line : lines) sheet_.writeText(line);
        if (!lines.empty()) sheet_.writeBlank();
        sheet_.setMoveAfterEnter(MoveAfterEnter::maRight);
        tableRow_ = sheet_.row();
    }

    // A data row starts in column 1 of the row under the previous table row. The row is counted
    // here rather than taken from the cursor, which wraps to the next row after a cell in
    // column 256.
    void startRow(Document& doc, bool captionRow) override {
        if (captionRow) return;
        // When every record is written, a table that cannot fit is refused before its first row.
        const std::uint32_t total = doc.component().recordTotal();
        if (dataRows_ == 0 && !doc.hasOption(ExportOption::xoSelectedRowsOnly) &&
            static_cast<std::uint64_t>(tableRow_) + total > static_cast<std::uint64_t>(NativeExcel::kLastRow))
            doesNotFit(std::to_string(total) + " records, a sheet holds " + std::to_string(NativeExcel::kLastRow) +
                       " rows.");
        if (tableRow_ >= NativeExcel::kLastRow)
            doesNotFit("more rows to write than the " + std::to_string(NativeExcel::kLastRow) + " of a sheet.");
        ++tableRow_;
        ++dataRows_;
        if (dataRows_ == 1) sampleStart_ = sheet_.bytes().size();
        if (dataRows_ == kSampleRows + 1) reserveForRemainingRows(doc);
        sheet_.setRow(tableRow_);
        sheet_.setColumn(1);
    }

    void captionLeadingCell(Document&, std::string&) override {
        sheet_.setActiveFont(kHeaderFont);
        sheet_.writeBlank();
    }

    void rowNumberCell(Document&, std::string&, std::string_view number) override {
        sheet_.setActiveFont(kTableFont);
        sheet_.setBorders(borders());
        std::int64_t n = 0;
        if (!cellsAsText_ && readInteger(number, n)) sheet_.writeInteger(n);
        else sheet_.writeText(number);
    }

    void cell(Document&, std::string&, const Cell& c) override {
        sheet_.setAlignment(alignmentFor(c.alignment));
        sheet_.setActiveFont(c.captionRow ? kHeaderFont : kTableFont);
        sheet_.setBorders(borders());
        if (cellsAsText_) sheet_.writeText(c.text);
        else writeTypedCell(sheet_, c.text);
        sheet_.setAlignment(ExcelAlignment::eaGeneral);
    }

    // The sheet's cells are already written; nothing passes through DocumentLines.
    void passLine(Document&, std::string_view) override {}

    // Footer text lines, one per row in column 1, starting two rows below the table.
    void footer(Document& doc) override {
        const auto& lines = doc.section();
        if (lines.empty()) return;
        const int first = tableRow_ + 2;
        if (static_cast<std::size_t>(first) - 1 + lines.size() > static_cast<std::size_t>(NativeExcel::kLastRow))
            doesNotFit("the footer text ends below row " + std::to_string(NativeExcel::kLastRow) + ".");
        sheet_.setRow(first);
        sheet_.setMoveAfterEnter(MoveAfterEnter::maDown);
        sheet_.setColumn(1);
        sheet_.setActiveFont(kDefaultFont);
        sheet_.setBorders({});
        for (std::string_view line : lines) sheet_.writeText(line);
    }

    void close(Document& doc) override {
        if (doc.component().excel().protectedSheet) sheet_.writeProtection(true);
        sheet_.endSheet();
        sheet_.saveToFile();
    }

private:
    static constexpr std::uint32_t kSampleRows = 32;

    // After the first rows, the sheet buffer is sized for the rest of the table from their
    // average size, with a margin, so the buffer is not copied as it grows.
    void reserveForRemainingRows(Document& doc) {
        const std::size_t now = sheet_.bytes().size();
        const std::size_t perRow = (now - sampleStart_) / kSampleRows;
        const std::size_t rowsLeft = static_cast<std::size_t>(NativeExcel::kLastRow - tableRow_);
        const std::uint32_t total = doc.component().recordTotal();
        if (total <= kSampleRows) return;
        const std::size_t remaining = std::min<std::size_t>(total - kSampleRows, rowsLeft);
        sheet_.reserve(now + remaining * perRow + remaining * perRow / 8 + 4096);
    }

    ExcelBorderSet borders() const { return useBorders_ ? ExcelBorderSet::all() : ExcelBorderSet{}; }

    NativeExcel sheet_;
    int tableRow_ = 1; // the caption row's row, then the last data row's
    std::uint32_t dataRows_ = 0;
    std::size_t sampleStart_ = 0; // buffer size where the data rows began
    bool useBorders_ = false;
    bool cellsAsText_ = false;
};

} // namespace

std::unique_ptr<FormatWriter> makeExcelWriter(ExportType) {
    return std::make_unique<ExcelWriter>();
}

} // namespace tabvue::exporter
