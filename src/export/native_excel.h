#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tabvue::exporter {

struct FontDescription;

// Record version of the BOF and DIMENSIONS records; every other record is the same in all four.
enum class BIFFVersion : std::uint8_t { bvBIFF2, bvBIFF3, bvBIFF4, bvBIFF5 };

// Where the cell cursor goes after each cell.
enum class MoveAfterEnter : std::uint8_t { maNone, maUp, maDown, maLeft, maRight };

enum class ExcelBorders : std::uint8_t { ebTop, ebBottom, ebLeft, ebRight };

// A set of ExcelBorders: member n is bit n.
class ExcelBorderSet {
public:
    constexpr ExcelBorderSet() = default;
    constexpr ExcelBorderSet(std::initializer_list<ExcelBorders> members) {
        for (ExcelBorders m : members) include(m);
    }
    static constexpr ExcelBorderSet all() {
        return {ExcelBorders::ebTop, ExcelBorders::ebBottom, ExcelBorders::ebLeft, ExcelBorders::ebRight};
    }
    constexpr bool contains(ExcelBorders m) const { return (bits_ >> static_cast<int>(m)) & 1u; }
    constexpr void include(ExcelBorders m) { bits_ = static_cast<std::uint8_t>(bits_ | (1u << static_cast<int>(m))); }
    constexpr void exclude(ExcelBorders m) { bits_ = static_cast<std::uint8_t>(bits_ & ~(1u << static_cast<int>(m))); }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr std::uint8_t bits() const { return bits_; }
    friend constexpr bool operator==(ExcelBorderSet, ExcelBorderSet) = default;

private:
    std::uint8_t bits_ = 0;
};

// Horizontal alignment of the next cells. The attribute byte does not follow the member order:
// eaRight writes 3 and eaCenter 2.
enum class ExcelAlignment : std::uint8_t { eaGeneral, eaLeft, eaRight, eaCenter, eaFill, eaMultiPlan };

// Kinds of CellVariant, numbered with the standard variant type codes.
enum class VariantKind : std::uint16_t {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002, // 16-bit signed
    varInteger = 0x0003,  // 32-bit signed
    varSingle = 0x0004,
    varDouble = 0x0005,
    varCurrency = 0x0006,
    varDate = 0x0007,     // days since 30.12.1899, the time as the fraction of a day
    varOleStr = 0x0008,   // wide string (held here as 8-bit text)
    varDispatch = 0x0009,
    varError = 0x000A,
    varBoolean = 0x000B,
    varVariant = 0x000C,  // a reference to a variant
    varUnknown = 0x000D,
    varDecimal = 0x000E,
    varShortInt = 0x0010, // 8-bit signed
    varByte = 0x0011,
    varWord = 0x0012,
    varLongWord = 0x0013,
    varInt64 = 0x0014,
    varString = 0x0100,   // 8-bit string
    varAny = 0x0101,
    varUString = 0x0102,  // 8-bit text of a Unicode string
    varArray = 0x2000,    // flag: an array of the kind in the low bits
    varByRef = 0x4000,    // flag: a reference to the kind in the low bits
};

// A variant value for NativeExcel::writeValue: a kind plus the payload that kind uses.
// Integer kinds, logicals and error codes use `integer`, floating kinds, currency and dates
// use `number`, text kinds use `text`.
struct CellVariant {
    std::uint16_t kind = static_cast<std::uint16_t>(VariantKind::varEmpty);
    std::int64_t integer = 0;
    double number = 0;
    std::string text;

    static CellVariant empty() { return {}; }
    static CellVariant null() { return of(VariantKind::varNull); }
    static CellVariant smallint(std::int16_t v) { return ofInteger(VariantKind::varSmallint, v); }
    static CellVariant integer32(std::int32_t v) { return ofInteger(VariantKind::varInteger, v); }
    static CellVariant byte(std::uint8_t v) { return ofInteger(VariantKind::varByte, v); }
    static CellVariant single(float v) { return ofNumber(VariantKind::varSingle, v); }
    static CellVariant real(double v) { return ofNumber(VariantKind::varDouble, v); }
    static CellVariant currency(double v) { return ofNumber(VariantKind::varCurrency, v); }
    static CellVariant date(double v) { return ofNumber(VariantKind::varDate, v); }
    static CellVariant string(std::string v) {
        CellVariant r = of(VariantKind::varString);
        r.text = std::move(v);
        return r;
    }
    static CellVariant boolean(bool v) { return ofInteger(VariantKind::varBoolean, v ? 1 : 0); }
    static CellVariant int64(std::int64_t v) { return ofInteger(VariantKind::varInt64, v); }
    static CellVariant of(VariantKind k) {
        CellVariant r;
        r.kind = static_cast<std::uint16_t>(k);
        return r;
    }

private:
    static CellVariant ofInteger(VariantKind k, std::int64_t v) {
        CellVariant r = of(k);
        r.integer = v;
        return r;
    }
    static CellVariant ofNumber(VariantKind k, double v) {
        CellVariant r = of(k);
        r.number = v;
        return r;
    }
};

// The text form of a date variant: "dd.mm.yyyy", then " hh:mm:ss" unless the time is midnight.
std::string dateTimeText(double days);

// Writes one worksheet as a bare BIFF record stream, kept in memory until saveToFile.
// The cell records are always the BIFF2 forms with three attribute bytes; the version only
// changes BOF and DIMENSIONS. Cell operations write at the cursor with the current formatting
// settings and then move the cursor as moveAfterEnter says.
class NativeExcel {
public:
    static constexpr int kLastRow = 65535;
    static constexpr int kLastColumn = 256;
    static constexpr int kMaxFonts = 4;
    static constexpr std::size_t kMaxTextLength = 255;

    NativeExcel();
    virtual ~NativeExcel() = default;
    NativeExcel(const NativeExcel&) = delete;
    NativeExcel& operator=(const NativeExcel&) = delete;

    // Discards everything written and starts with BOF and DIMENSIONS; the cursor and the
    // formatting settings stay as they are.
    virtual void beginSheet();
    // Appends EOF and closes the sheet; the next record (or endSheet) begins a new sheet first.
    virtual void endSheet();

    // Page set-up and sheet records.
    // FONT of a font description: its size in points, its style, its face; nothing when absent.
    void writeFont(const FontDescription* font);
    // FONT: height sizePoints x 20, style bits 1 bold, 2 italic, 4 underline, 8 strike-out.
    // Ignored once four fonts are written in this sheet.
    void writeFont(std::string_view face, int sizePoints, std::uint16_t styleBits);
    void writeHeader(std::string_view text);
    void writeFooter(std::string_view text);
    void writeColumnWidth(int firstColumn, int lastColumn, int widthChars);
    void writeLeftMargin(double inches);
    void writeRightMargin(double inches);
    void writeTopMargin(double inches);
    void writeBottomMargin(double inches);
    void writeProtection(bool protect);

    // Cell records.
    void writeBlank();
    // 0..65535 gives an INTEGER record; any other value a NUMBER record with the exact value,
    // since the INTEGER record holds only an unsigned 16-bit number.
    void writeInteger(std::int64_t value);
    void writeNumber(double value);
    void writeText(std::string_view text); // cut at the first NUL, then to 255 bytes
    void writeBoolean(bool value);
    // 0 true, 1 false, 2 #NULL!, 3 #DIV/0!, 4 #VALUE!, 5 #REF!, 6 #NAME?, 7 #NUM!, 8 #N/A;
    // any other kind throws std::invalid_argument and writes nothing.
    void writeBoolErr(int kind);
    // Chooses the record by the variant's kind; kinds without a cell form write nothing and
    // leave the cursor where it is.
    void writeValue(const CellVariant& value);

    // Writes the sheet bytes as they are to fileName() (through a temporary file renamed over
    // the target). Throws tabvue::Error when the file cannot be written.
    void saveToFile() const;

    const std::string& bytes() const { return bytes_; }
    // A capacity hint for the sheet buffer, so a large sheet grows without repeated copies.
    void reserve(std::size_t bytes) { bytes_.reserve(bytes); }
    bool sheetOpen() const { return state_ == SheetState::Open; }
    int fontCount() const { return fontCount_; }

    BIFFVersion biff() const { return biff_; }
    void setBiff(BIFFVersion v); // a new value restarts the sheet

    const std::string& fileName() const { return fileName_; }
    void setFileName(const std::string& name); // forces the extension ".XLS" (any letter case)

    int row() const { return row_; }
    void setRow(int row);       // 1..65535, else ignored
    int column() const { return column_; }
    void setColumn(int column); // 1..256, else ignored
    int activeFont() const { return activeFont_; }
    void setActiveFont(int font); // 0..fontCount(), else ignored

    MoveAfterEnter moveAfterEnter() const { return moveAfterEnter_; }
    void setMoveAfterEnter(MoveAfterEnter m) { moveAfterEnter_ = m; }
    bool shading() const { return shading_; }
    void setShading(bool v) { shading_ = v; }
    ExcelBorderSet borders() const { return borders_; }
    void setBorders(ExcelBorderSet v) { borders_ = v; }
    ExcelAlignment alignment() const { return alignment_; }
    void setAlignment(ExcelAlignment v) { alignment_ = v; }
    bool hidden() const { return hidden_; }
    void setHidden(bool v) { hidden_ = v; }
    bool locked() const { return locked_; }
    void setLocked(bool v) { locked_ = v; }

    std::string version() const; // "1.23"

private:
    enum class SheetState : std::uint8_t { NotBegun, Open, Closed };

    // The one primitive: the 4-byte record header (beginning a new sheet first when closed).
    void writeRecordHeader(std::uint16_t number, std::uint16_t length);
    // A cell record: header, position (then the cursor moves), attribute bytes.
    void writeCellHeader(std::uint16_t number, std::uint16_t valueLength);
    void writeMargin(std::uint16_t number, double inches);
    void writeTextRecord(std::uint16_t number, std::string_view text);
    void moveCursor();
    void put8(unsigned v) { bytes_.push_back(static_cast<char>(v & 0xFFu)); }
    void put16(unsigned v) { put8(v); put8(v >> 8); }
    void putDouble(double v);

    std::string bytes_;
    BIFFVersion biff_ = BIFFVersion::bvBIFF5;
    SheetState state_ = SheetState::NotBegun;
    std::uint16_t firstRow_ = 0;
    std::uint16_t lastRow_ = kLastRow;
    std::uint16_t firstColumn_ = 0;
    std::uint16_t lastColumn_ = kLastColumn;
    std::string fileName_;
    int row_ = 1;
    int column_ = 1;
    int fontCount_ = 0;
    int activeFont_ = 0;
    MoveAfterEnter moveAfterEnter_ = MoveAfterEnter::maRight;
    bool shading_ = false;
    ExcelBorderSet borders_;
    ExcelAlignment alignment_ = ExcelAlignment::eaGeneral;
    bool hidden_ = false;
    bool locked_ = true;
    static constexpr std::uint32_t kVersionNumber = 0x0117; // 1.23
};

} // namespace tabvue::exporter
