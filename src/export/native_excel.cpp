#include "export/native_excel.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "engine/error.h"
#include "export/export_options.h"
#include "export/file_output.h"

namespace tabvue::exporter {

namespace {

// Record numbers.
constexpr std::uint16_t kDimensions2 = 0x0000;
constexpr std::uint16_t kBlank = 0x0001;
constexpr std::uint16_t kInteger = 0x0002;
constexpr std::uint16_t kNumber = 0x0003;
constexpr std::uint16_t kLabel = 0x0004;
constexpr std::uint16_t kBoolErr = 0x0005;
constexpr std::uint16_t kBof2 = 0x0009;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kProtect = 0x0012;
constexpr std::uint16_t kHeader = 0x0014;
constexpr std::uint16_t kFooter = 0x0015;
constexpr std::uint16_t kColWidth = 0x0024;
constexpr std::uint16_t kLeftMargin = 0x0026;
constexpr std::uint16_t kRightMargin = 0x0027;
constexpr std::uint16_t kTopMargin = 0x0028;
constexpr std::uint16_t kBottomMargin = 0x0029;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kDimensions3 = 0x0200;
constexpr std::uint16_t kBof3 = 0x0209;
constexpr std::uint16_t kBof4 = 0x0409;
constexpr std::uint16_t kBof5 = 0x0809;

constexpr std::uint16_t kBofVersion = 0x0200; // the same version word in every BOF
constexpr std::uint16_t kWorksheet = 0x0010;
constexpr std::uint16_t kCellPrefix = 7;      // row, column, three attribute bytes

// Value byte and kind flag of each BOOLERR kind.
struct BoolErrBytes {
    std::uint8_t value;
    std::uint8_t flag;
};
constexpr BoolErrBytes kBoolErrBytes[] = {
    {0x01, 0}, {0x00, 0},                                              // true, false
    {0x00, 1}, {0x07, 1}, {0x0F, 1}, {0x17, 1}, {0x1D, 1}, {0x24, 1}, {0x2A, 1}, // errors
};
constexpr int kBoolErrNull = 2;
constexpr int kBoolErrValue = 4;
constexpr int kBoolErrNA = 8;

std::string_view untilNul(std::string_view text) {
    std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string_view cutText(std::string_view text) {
    text = untilNul(text);
    return text.size() > NativeExcel::kMaxTextLength ? text.substr(0, NativeExcel::kMaxTextLength) : text;
}

// Civil date from a day count since 1970-01-01 (proleptic Gregorian calendar).
void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

} // namespace

std::string dateTimeText(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return {};
    // The integral part counts days from 30.12.1899; the fraction is the time of day, taken
    // as its absolute value for dates before that day.
    double whole = std::trunc(days);
    double fraction = std::fabs(days - whole);
    std::int64_t millis = std::llround(fraction * 86400000.0);
    if (millis >= 86400000) millis = 86400000 - 1;
    int y = 0, m = 0, d = 0;
    civilFromDays(static_cast<std::int64_t>(whole) - 25569, y, m, d);
    char buffer[48];
    int n = std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", d, m, y);
    std::int64_t seconds = millis / 1000;
    if (seconds != 0) {
        n += std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n), " %02d:%02d:%02d",
                           static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                           static_cast<int>(seconds % 60));
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

NativeExcel::NativeExcel() {
    beginSheet();
}

void NativeExcel::beginSheet() {
    state_ = SheetState::Open;
    fontCount_ = 0;
    bytes_.clear();
    const bool biff2 = biff_ == BIFFVersion::bvBIFF2;
    switch (biff_) {
    case BIFFVersion::bvBIFF2: writeRecordHeader(kBof2, 4); break;
    case BIFFVersion::bvBIFF3: writeRecordHeader(kBof3, 6); break;
    case BIFFVersion::bvBIFF4: writeRecordHeader(kBof4, 6); break;
    case BIFFVersion::bvBIFF5: writeRecordHeader(kBof5, 6); break;
    }
    put16(kBofVersion);
    put16(kWorksheet);
    if (!biff2) put16(0);

    writeRecordHeader(biff2 ? kDimensions2 : kDimensions3, biff2 ? 8 : 10);
    put16(firstRow_);
    put16(lastRow_);
    put16(firstColumn_);
    put16(lastColumn_);
    if (!biff2) put16(0);
}

void NativeExcel::endSheet() {
    writeRecordHeader(kEof, 0);
    state_ = SheetState::Closed;
}

void NativeExcel::writeRecordHeader(std::uint16_t number, std::uint16_t length) {
    if (state_ == SheetState::Closed) beginSheet();
    put16(number);
    put16(length);
}

void NativeExcel::putDouble(double v) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) put8(static_cast<unsigned>(bits >> (8 * i)));
}

void NativeExcel::writeFont(const FontDescription* font) {
    if (font) writeFont(font->name, font->size(), static_cast<std::uint16_t>(font->style.bits()));
}

void NativeExcel::writeFont(std::string_view face, int sizePoints, std::uint16_t styleBits) {
    if (state_ == SheetState::Closed) beginSheet(); // the font belongs to the new sheet
    if (fontCount_ >= kMaxFonts) return;
    face = cutText(face);
    writeRecordHeader(kFont, static_cast<std::uint16_t>(face.size() + 5));
    ++fontCount_;
    put16(static_cast<unsigned>(sizePoints) * 20u);
    put16(styleBits & 0x000Fu);
    put8(static_cast<unsigned>(face.size()));
    bytes_.append(face);
}

void NativeExcel::writeTextRecord(std::uint16_t number, std::string_view text) {
    text = cutText(text);
    writeRecordHeader(number, static_cast<std::uint16_t>(text.size() + 1));
    put8(static_cast<unsigned>(text.size()));
    bytes_.append(text);
}

void NativeExcel::writeHeader(std::string_view text) { writeTextRecord(kHeader, text); }
void NativeExcel::writeFooter(std::string_view text) { writeTextRecord(kFooter, text); }

void NativeExcel::writeColumnWidth(int firstColumn, int lastColumn, int widthChars) {
    writeRecordHeader(kColWidth, 4);
    put8(static_cast<unsigned>(firstColumn) - 1u);
    put8(static_cast<unsigned>(lastColumn) - 1u);
    put16(static_cast<unsigned>(widthChars) * 256u);
}

void NativeExcel::writeMargin(std::uint16_t number, double inches) {
    writeRecordHeader(number, 8);
    putDouble(inches);
}

void NativeExcel::writeLeftMargin(double inches) { writeMargin(kLeftMargin, inches); }
void NativeExcel::writeRightMargin(double inches) { writeMargin(kRightMargin, inches); }
void NativeExcel::writeTopMargin(double inches) { writeMargin(kTopMargin, inches); }
void NativeExcel::writeBottomMargin(double inches) { writeMargin(kBottomMargin, inches); }

void NativeExcel::writeProtection(bool protect) {
    writeRecordHeader(kProtect, 2);
    put16(protect ? 1 : 0);
}

void NativeExcel::writeCellHeader(std::uint16_t number, std::uint16_t valueLength) {
    writeRecordHeader(number, static_cast<std::uint16_t>(kCellPrefix + valueLength));
    put16(static_cast<unsigned>(row_ - 1));
    put16(static_cast<unsigned>(column_ - 1));
    moveCursor();

    unsigned a0 = (locked_ ? 0x40u : 0u) | (hidden_ ? 0x80u : 0u);
    unsigned a1 = activeFont_ >= 1 && activeFont_ <= 3 ? static_cast<unsigned>(activeFont_) << 6 : 0u;
    static constexpr unsigned kAlignmentBits[] = {0, 1, 3, 2, 4, 7}; // by ExcelAlignment member
    unsigned a2 = kAlignmentBits[static_cast<int>(alignment_)];
    if (borders_.contains(ExcelBorders::ebLeft)) a2 |= 0x08;
    if (borders_.contains(ExcelBorders::ebRight)) a2 |= 0x10;
    if (borders_.contains(ExcelBorders::ebTop)) a2 |= 0x20;
    if (borders_.contains(ExcelBorders::ebBottom)) a2 |= 0x40;
    if (shading_) a2 |= 0x80;
    put8(a0);
    put8(a1);
    put8(a2);
}

void NativeExcel::moveCursor() {
    switch (moveAfterEnter_) {
    case MoveAfterEnter::maNone:
        break;
    case MoveAfterEnter::maUp:
        if (row_ > 1) --row_;
        else if (column_ > 1) { row_ = kLastRow; --column_; }
        break;
    case MoveAfterEnter::maDown:
        if (row_ < kLastRow) ++row_;
        else if (column_ < kLastColumn) { row_ = 1; ++column_; }
        break;
    case MoveAfterEnter::maLeft:
        if (column_ > 1) --column_;
        else if (row_ > 1) { column_ = kLastColumn; --row_; }
        break;
    case MoveAfterEnter::maRight:
        if (column_ < kLastColumn) ++column_;
        else if (row_ < kLastRow) { column_ = 1; ++row_; }
        break;
    }
}

void NativeExcel::writeBlank() {
    writeCellHeader(kBlank, 0);
}

void NativeExcel::writeInteger(std::int64_t value) {
    if (value < 0 || value > 0xFFFF) {
        writeNumber(static_cast<double>(value));
        return;
    }
    writeCellHeader(kInteger, 2);
    put16(static_cast<unsigned>(value));
}

void NativeExcel::writeNumber(double value) {
    writeCellHeader(kNumber, 8);
    putDouble(value);
}

void NativeExcel::writeText(std::string_view text) {
    text = cutText(text);
    writeCellHeader(kLabel, static_cast<std::uint16_t>(text.size() + 1));
    put8(static_cast<unsigned>(text.size()));
    bytes_.append(text);
}

void NativeExcel::writeBoolErr(int kind) {
    if (kind < 0 || kind > kBoolErrNA) throw std::invalid_argument("BOOLERR kind out of range");
    writeCellHeader(kBoolErr, 2);
    put8(kBoolErrBytes[kind].value);
    put8(kBoolErrBytes[kind].flag);
}

void NativeExcel::writeBoolean(bool value) {
    writeBoolErr(value ? 0 : 1);
}

void NativeExcel::writeValue(const CellVariant& value) {
    switch (static_cast<VariantKind>(value.kind)) {
    case VariantKind::varEmpty: writeBlank(); break;
    case VariantKind::varNull: writeBoolErr(kBoolErrNull); break;
    case VariantKind::varSmallint:
    case VariantKind::varInteger:
    case VariantKind::varByte: writeInteger(value.integer); break;
    case VariantKind::varSingle:
    case VariantKind::varDouble:
    case VariantKind::varCurrency: writeNumber(value.number); break;
    case VariantKind::varDate: writeText(dateTimeText(value.number)); break;
    case VariantKind::varOleStr:
    case VariantKind::varString:
    case VariantKind::varUString: writeText(value.text); break;
    case VariantKind::varDispatch:
    case VariantKind::varError:
    case VariantKind::varUnknown:
    case VariantKind::varAny: writeBoolErr(kBoolErrNA); break;
    case VariantKind::varBoolean: writeBoolean(value.integer != 0); break;
    case VariantKind::varVariant: writeBoolErr(kBoolErrValue); break;
    default: break; // no cell form: nothing written, the cursor stays
    }
}

void NativeExcel::saveToFile() const {
    writeWholeFile(fileName_, bytes_);
}

void NativeExcel::setBiff(BIFFVersion v) {
    if (v == biff_) return;
    biff_ = v;
    beginSheet();
}

void NativeExcel::setFileName(const std::string& name) {
    if (name == fileName_) return;
    fileName_ = name;
    std::size_t nameStart = fileName_.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    std::size_t dot = fileName_.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        fileName_ += ".XLS";
        return;
    }
    std::string ext = fileName_.substr(dot);
    bool isXls = ext.size() == 4;
    for (std::size_t i = 0; isXls && i < 4; ++i) {
        char c = ext[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        isXls = c == ".XLS"[i];
    }
    if (!isXls) fileName_.replace(dot, std::string::npos, ".XLS");
}

void NativeExcel::setRow(int row) {
    if (row != row_ && row >= 1 && row <= lastRow_) row_ = row;
}

void NativeExcel::setColumn(int column) {
    if (column != column_ && column >= 1 && column <= lastColumn_) column_ = column;
}

void NativeExcel::setActiveFont(int font) {
    if (font != activeFont_ && font >= 0 && font <= fontCount_) activeFont_ = font;
}

std::string NativeExcel::version() const {
    return std::to_string(kVersionNumber >> 8) + "." + std::to_string(kVersionNumber & 0xFF);
}

} // namespace tabvue::exporter
