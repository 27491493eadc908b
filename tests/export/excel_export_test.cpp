#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/table.h"
#include "export/custom_export.h"
#include "export/dataset_export.h"
#include "export/excel_export.h"
#include "export/native_excel_testing.h"

namespace tabvue::exporter {
namespace {

using testing::hexBytes;
using testing::sameBytes;
namespace fs = std::filesystem;

using ::tabvue::testing::readFile;
using ::tabvue::testing::TempDir;


struct Column {
    std::string caption;
    bool visible = true;
    int alignment = 0;
    int width = 10;
};

// A record source over rows held in memory.
class FakeSource : public CustomExport {
public:
    std::vector<Column> columns;
    std::vector<Values> rows;
    std::vector<ExportError> errors;

    FakeSource() {
        onError = [this](CustomExport&, ExportError e) { errors.push_back(e); };
        setExportType(ExportType::xtExcel);
    }

    void first() override { at_ = 0; }
    int columnAlignment(int i) override { return columns[static_cast<std::size_t>(i)].alignment; }
    bool isSourceReady() override { return true; }
    bool eof() override { return at_ >= rows.size(); }
    bool isColumnVisible(int i) override { return columns[static_cast<std::size_t>(i)].visible; }
    bool isRowSelected(std::uint32_t) override { return true; }
    int dataWidth(int i) override { return columns[static_cast<std::size_t>(i)].width; }
    std::string columnCaption(int i) override { return columns[static_cast<std::size_t>(i)].caption; }
    int columnCount() override { return static_cast<int>(columns.size()); }
    void readRow(Values& values) override { values = rows[at_++]; }
    std::uint32_t countRecords() override {
        at_ = rows.size();
        return static_cast<std::uint32_t>(rows.size());
    }

private:
    std::size_t at_ = 0;
};

// The worked example's source: NAME and QTY, (Apple, 5) and (Pear, 12.5), the main window's
// component settings.
void fillExample(FakeSource& s) {
    s.columns = {{"NAME"}, {"QTY"}};
    s.rows = {{std::string("Apple"), std::string("5")}, {std::string("Pear"), std::string("12.5")}};
}

const char* const kExampleRecords[] = {
    /* BOF          */ "09 08 06 00 00 02 10 00 00 00",
    /* DIMENSIONS   */ "00 02 0A 00 00 00 FF FF 00 00 00 01 00 00",
    /* FONT 0       */ "31 00 12 00 A0 00 00 00 0D 4D 53 20 53 61 6E 73 20 53 65 72 69 66",
    /* FONT 1, bold */ "31 00 12 00 A0 00 01 00 0D 4D 53 20 53 61 6E 73 20 53 65 72 69 66",
    /* FONT 2       */ "31 00 12 00 A0 00 00 00 0D 4D 53 20 53 61 6E 73 20 53 65 72 69 66",
    /* FOOTER       */ "15 00 03 00 02 26 50",
    /* LEFTMARGIN   */ "26 00 08 00 33 33 33 33 33 33 D3 3F",
    /* BOTTOMMARGIN */ "29 00 08 00 33 33 33 33 33 33 D3 3F",
    /* TOPMARGIN    */ "28 00 08 00 33 33 33 33 33 33 D3 3F",
    /* RIGHTMARGIN  */ "27 00 08 00 33 33 33 33 33 33 D3 3F",
    /* NAME (0,0)   */ "04 00 0C 00 00 00 00 00 40 40 78 04 4E 41 4D 45",
    /* QTY (0,1)    */ "04 00 0B 00 00 00 01 00 40 40 78 03 51 54 59",
    /* Apple (1,0)  */ "04 00 0D 00 01 00 00 00 40 80 78 05 41 70 70 6C 65",
    /* 5 (1,1)      */ "03 00 0F 00 01 00 01 00 40 80 78 00 00 00 00 00 00 14 40",
    /* Pear (2,0)   */ "04 00 0C 00 02 00 00 00 40 80 78 04 50 65 61 72",
    /* 12.5 (2,1)   */ "03 00 0F 00 02 00 01 00 40 80 78 00 00 00 00 00 00 29 40",
    /* EOF          */ "0A 00 00 00",
};

std::string exampleBytes() {
    std::string out;
    for (const char* r : kExampleRecords) out += hexBytes(r);
    return out;
}

std::string exportToBytes(FakeSource& s, const fs::path& target) {
    s.writeDocument(target.string());
    EXPECT_TRUE(s.errors.empty()) << "error " << (s.errors.empty() ? -1 : static_cast<int>(s.errors[0]));
    return readFile(target);
}

TEST(ExcelExport, WorkedExampleIs251Bytes) {
    TempDir dir;
    FakeSource s;
    fillExample(s);
    const std::string bytes = exportToBytes(s, dir.file("example.xls"));
    EXPECT_EQ(exampleBytes().size(), 251u);
    EXPECT_TRUE(sameBytes(bytes, exampleBytes()));
}

TEST(ExcelExport, WorkedExampleVariants) {
    struct Case {
        const char* what;
        void (*configure)(FakeSource&);
        // Replacements: index of the worked example's record -> new bytes ("" drops it).
        std::vector<std::pair<int, std::string>> replace;
    } cases[] = {
        {"row numbers",
         [](FakeSource& s) { s.setOptions(s.options().insert(ExportOption::xoRowNumbers)); },
         {{10, "01 00 07 00 00 00 00 00 40 40 00"
               "04 00 0C 00 00 00 01 00 40 40 78 04 4E 41 4D 45"},
          {11, "04 00 0B 00 00 00 02 00 40 40 78 03 51 54 59"},
          {12, "02 00 09 00 01 00 00 00 40 80 78 01 00"
               "04 00 0D 00 01 00 01 00 40 80 78 05 41 70 70 6C 65"},
          {13, "03 00 0F 00 01 00 02 00 40 80 78 00 00 00 00 00 00 14 40"},
          {14, "02 00 09 00 02 00 00 00 40 80 78 02 00"
               "04 00 0C 00 02 00 01 00 40 80 78 04 50 65 61 72"},
          {15, "03 00 0F 00 02 00 02 00 40 80 78 00 00 00 00 00 00 29 40"}}},
        {"cells as text",
         [](FakeSource& s) { s.excel().options.insert(ExcelOption::reCellsAsText); },
         {{13, "04 00 09 00 01 00 01 00 40 80 78 01 35"}, {15, "04 00 0C 00 02 00 01 00 40 80 78 04 31 32 2E 35"}}},
        {"xls21",
         [](FakeSource& s) { s.excel().excelVersion = ExcelVersion::xls21; },
         {{0, "09 00 04 00 00 02 10 00"}, {1, "00 00 08 00 00 00 FF FF 00 00 00 01"}}},
        {"xls30",
         [](FakeSource& s) { s.excel().excelVersion = ExcelVersion::xls30; },
         {{0, "09 02 06 00 00 02 10 00 00 00"}}},
        {"xls40",
         [](FakeSource& s) { s.excel().excelVersion = ExcelVersion::xls40; },
         {{0, "09 04 06 00 00 02 10 00 00 00"}}},
        {"no borders, no margins, protected",
         [](FakeSource& s) {
             s.excel().options.erase(ExcelOption::reUseBorders).erase(ExcelOption::reSetMargins);
             s.excel().protectedSheet = true;
         },
         {{6, ""}, {7, ""}, {8, ""}, {9, ""},
          {10, "04 00 0C 00 00 00 00 00 40 40 00 04 4E 41 4D 45"},
          {11, "04 00 0B 00 00 00 01 00 40 40 00 03 51 54 59"},
          {12, "04 00 0D 00 01 00 00 00 40 80 00 05 41 70 70 6C 65"},
          {13, "03 00 0F 00 01 00 01 00 40 80 00 00 00 00 00 00 00 14 40"},
          {14, "04 00 0C 00 02 00 00 00 40 80 00 04 50 65 61 72"},
          {15, "03 00 0F 00 02 00 01 00 40 80 00 00 00 00 00 00 00 29 40"},
          {16, "12 00 02 00 01 00  0A 00 00 00"}}},
        {"page header and footer, column widths",
         [](FakeSource& s) {
             s.excel().header = "Stock";
             s.excel().footer = "";
             s.excel().options.insert(ExcelOption::reSetColumnWidths);
             s.excel().columnWidth = 12;
         },
         {{5, "14 00 06 00 05 53 74 6F 63 6B"},
          {9, "27 00 08 00 33 33 33 33 33 33 D3 3F  24 00 04 00 00 FF 00 0C"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        FakeSource s;
        fillExample(s);
        c.configure(s);
        std::vector<std::string> records(std::begin(kExampleRecords), std::end(kExampleRecords));
        for (const auto& [index, hex] : c.replace) records[static_cast<std::size_t>(index)] = hex;
        std::string expected;
        for (const std::string& r : records) expected += hexBytes(r);
        EXPECT_TRUE(sameBytes(exportToBytes(s, dir.file("variant.xls")), expected));
    }
}

// ---- Reading the sheet back ------------------------------------------------------------------

struct SheetCell {
    int record = 0;
    int row = 0, column = 0; // 0-based, as stored
    unsigned attr0 = 0, attr1 = 0, attr2 = 0;
    std::string text;        // LABEL
    double number = 0;       // NUMBER, INTEGER
    bool operator==(const SheetCell&) const = default;
};

unsigned u16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}

// The cell records of a sheet, in file order; every other record goes to `others` by number.
std::vector<SheetCell> cellsOf(const std::string& b, std::vector<int>* others = nullptr) {
    std::vector<SheetCell> cells;
    std::size_t at = 0;
    while (at + 4 <= b.size()) {
        const int number = static_cast<int>(u16(b, at));
        const std::size_t length = u16(b, at + 2);
        const std::string body = b.substr(at + 4, length);
        at += 4 + length;
        if (number < 1 || number > 5) {
            if (others) others->push_back(number);
            continue;
        }
        SheetCell c;
        c.record = number;
        c.row = static_cast<int>(u16(body, 0));
        c.column = static_cast<int>(u16(body, 2));
        c.attr0 = static_cast<unsigned char>(body[4]);
        c.attr1 = static_cast<unsigned char>(body[5]);
        c.attr2 = static_cast<unsigned char>(body[6]);
        if (number == 4) c.text = body.substr(8, static_cast<unsigned char>(body[7]));
        if (number == 2) c.number = u16(body, 7);
        if (number == 3) {
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i) bits |= std::uint64_t{static_cast<unsigned char>(body[7 + static_cast<std::size_t>(i)])} << (8 * i);
            c.number = std::bit_cast<double>(bits);
        }
        cells.push_back(c);
    }
    EXPECT_EQ(at, b.size()) << "records run past the end of the file";
    return cells;
}

// Where and what: "r,c:L text", "r,c:N 12.5", "r,c:I 7", "r,c:B" (1-based rows and columns).
std::string describe(const SheetCell& c) {
    std::string s = std::to_string(c.row + 1) + "," + std::to_string(c.column + 1) + ":";
    switch (c.record) {
    case 1: return s + "B";
    case 2: return s + "I " + std::to_string(static_cast<long long>(c.number));
    case 3: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "N %.15g", c.number);
        return s + buf;
    }
    case 4: return s + "L " + c.text;
    default: return s + "?";
    }
}

std::vector<std::string> describeAll(const std::vector<SheetCell>& cells) {
    std::vector<std::string> out;
    for (const SheetCell& c : cells) out.push_back(describe(c));
    return out;
}

using Lines = std::vector<std::string>;

TEST(ExcelExport, SheetLayoutOfHeaderCaptionsDataAndFooter) {
    struct Case {
        const char* what;
        std::string header, footer;
        bool captions;
        int records;
        Lines expected;
    } cases[] = {
        {"no records: captions in row 1, footer in row 3", "", "End", true, 0, {"1,1:L A", "1,2:L B", "3,1:L End"}},
        {"no caption row, no header: data from row 2", "", "", false, 2, {"2,1:L a1", "2,2:N 1", "3,1:L a2", "3,2:N 2"}},
        {"two header lines, an empty cell, captions in row 4", "Customers\r\n42", "", true, 1,
         {"1,1:L Customers", "2,1:L 42", "3,1:B", "4,1:L A", "4,2:L B", "5,1:L a1", "5,2:N 1"}},
        {"header without captions: the caption row stays empty", "H\n", "", false, 1,
         {"1,1:L H", "2,1:B", "4,1:L a1", "4,2:N 1"}},
        {"two footer lines two rows below the last data row", "", "F1\rF2", true, 9,
         {"1,1:L A", "1,2:L B", "2,1:L a1", "2,2:N 1", "3,1:L a2", "3,2:N 2", "4,1:L a3", "4,2:N 3",
          "5,1:L a4", "5,2:N 4", "6,1:L a5", "6,2:N 5", "7,1:L a6", "7,2:N 6", "8,1:L a7", "8,2:N 7",
          "9,1:L a8", "9,2:N 8", "10,1:L a9", "10,2:N 9", "12,1:L F1", "13,1:L F2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        FakeSource s;
        s.columns = {{"A"}, {"B"}};
        for (int i = 1; i <= c.records; ++i) s.rows.push_back({"a" + std::to_string(i), std::to_string(i)});
        s.setOptions(s.options().set(ExportOption::xoShowHeader, c.captions));
        s.onGetHeader = [&](CustomExport&, std::uint32_t, std::string& h) { h = c.header; };
        s.onGetFooter = [&](CustomExport&, std::uint32_t, std::string& f) { f = c.footer; };
        const std::vector<SheetCell> cells = cellsOf(exportToBytes(s, dir.file("layout.xls")));
        EXPECT_EQ(describeAll(cells), c.expected);
        for (const SheetCell& cell : cells) {
            const bool text = cell.column == 0 && (cell.text == "Customers" || cell.text == "42" || cell.text == "H" ||
                                                   cell.text.starts_with("F") || cell.text == "End" || cell.record == 1);
            if (text) {
                EXPECT_EQ(cell.attr1, 0x00u) << describe(cell) << ": header and footer cells use font 0";
                EXPECT_EQ(cell.attr2, 0x00u) << describe(cell) << ": and no borders";
            }
        }
    }
}

TEST(ExcelExport, CellsFollowFontsBordersAndAlignments) {
    TempDir dir;
    FakeSource s;
    s.columns = {{"L", true, 1}, {"hidden", false, 0}, {"R", true, 2}, {"C", true, 3}, {"X", true, 9}};
    s.rows = {{std::string("a"), std::string("h"), std::string("b"), std::string("c"), std::string("d")}};
    s.setOptions(s.options().insert(ExportOption::xoRowNumbers));
    const Lines expected = {"1,1:B", "1,2:L L", "1,3:L R", "1,4:L C", "1,5:L X",
                            "2,1:I 1", "2,2:L a", "2,3:L b", "2,4:L c", "2,5:L d"};
    const std::vector<SheetCell> cells = cellsOf(exportToBytes(s, dir.file("attrs.xls")));
    ASSERT_EQ(describeAll(cells), expected) << "an invisible column leaves no gap";
    // Caption font 1, data font 2; borders all four but on the leading caption cell; the
    // alignment of each column, general for the row-number cell.
    const unsigned attrs[][3] = {{0x40, 0x40, 0x00}, {0x40, 0x40, 0x79}, {0x40, 0x40, 0x7B}, {0x40, 0x40, 0x7A},
                                 {0x40, 0x40, 0x78}, {0x40, 0x80, 0x78}, {0x40, 0x80, 0x79}, {0x40, 0x80, 0x7B},
                                 {0x40, 0x80, 0x7A}, {0x40, 0x80, 0x78}};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].attr0, attrs[i][0]) << expected[i];
        EXPECT_EQ(cells[i].attr1, attrs[i][1]) << expected[i];
        EXPECT_EQ(cells[i].attr2, attrs[i][2]) << expected[i];
    }

    // Without xoUseAlignments every cell is general.
    s.setOptions(s.options().erase(ExportOption::xoUseAlignments));
    for (const SheetCell& c : cellsOf(exportToBytes(s, dir.file("plain.xls")))) EXPECT_EQ(c.attr2 & 0x07u, 0u);
}

TEST(ExcelExport, CellTypingOfTexts) {
    using K = TypedCellText::Kind;
    struct Case {
        const char* text;
        K kind;
        double value;
    } cases[] = {
        {"12.5", K::Number, 12.5},     {"-3", K::Number, -3},         {"1e3", K::Number, 1000},
        {"  7", K::Number, 7},         {"1.5e2", K::Number, 150},     {"+4", K::Number, 4},
        {"E5", K::Number, 0},          {".", K::Number, 0},           {".5", K::Number, 0.5},
        {"1.", K::Number, 1},          {"-.5e-1", K::Number, -0.05},  {"1E+2", K::Number, 100},
        {"1e-400", K::Number, 0},      {"007", K::Number, 7},
        {"$1F", K::Integer, 31},       {"0x10", K::Integer, 16},      {"0X10", K::Integer, 16},
        {"x1f", K::Integer, 31},       {"X1F", K::Integer, 31},       {" -$10", K::Integer, -16},
        {"$FFFFFFFF", K::Integer, 4294967295.0},
        {"12,5", K::Text, 0},          {"7 ", K::Text, 0},            {"1 000", K::Text, 0},
        {"24.12.2003", K::Text, 0},    {"", K::Text, 0},              {"   ", K::Text, 0},
        {"+", K::Text, 0},             {"-", K::Text, 0},             {"e", K::Text, 0},
        {"1e", K::Text, 0},            {"1e+", K::Text, 0},           {"1e400", K::Text, 0},
        {"$", K::Text, 0},             {"0x", K::Text, 0},            {"$100000000", K::Text, 0},
        {"$1G", K::Text, 0},           {"abc", K::Text, 0},           {"12 kg", K::Text, 0},
        {"True", K::Text, 0},          {"** NULL **", K::Text, 0},    {"\t7", K::Text, 0},
        {"1..2", K::Text, 0},          {"inf", K::Text, 0},           {"nan", K::Text, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        const TypedCellText t = typeCellText(c.text);
        EXPECT_EQ(t.kind, c.kind);
        if (c.kind == K::Number) {
            EXPECT_DOUBLE_EQ(t.number, c.value);
        } else if (c.kind == K::Integer) {
            EXPECT_EQ(static_cast<double>(t.integer), c.value);
        }
    }
}

TEST(ExcelExport, RowNumberTextsReadAsIntegers) {
    struct Case {
        const char* text;
        bool reads;
        long long value;
    } cases[] = {
        {"1", true, 1},      {"  12", true, 12},   {"+3", true, 3},         {"-4", true, -4},
        {"$1F", true, 31},   {"0x10", true, 16},   {"2147483647", true, 2147483647LL},
        {"-2147483648", true, -2147483648LL},      {"2147483648", false, 0},
        {"1.", false, 0},    {"12a", false, 0},    {"No. 1", false, 0},     {"", false, 0},
        {"1 ", false, 0},    {"1e3", false, 0},
    };
    for (const Case& c : cases) {
        std::int64_t v = -999;
        EXPECT_EQ(readInteger(c.text, v), c.reads) << c.text;
        if (c.reads) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(ExcelExport, IntegersOutsideTheIntegerRecordBecomeNumbers) {
    TempDir dir;
    FakeSource s;
    s.columns = {{"V"}};
    s.rows = {{std::string("$10000")}, {std::string("-$1")}, {std::string("$FFFF")}};
    s.setOptions(s.options().insert(ExportOption::xoRowNumbers).erase(ExportOption::xoShowHeader));
    ASSERT_TRUE(s.setRowNumberFormat("9999%d")); // row numbers 99991, 99992, 99993
    const Lines expected = {"2,1:N 99991", "2,2:N 65536", "3,1:N 99992", "3,2:N -1", "4,1:N 99993", "4,2:I 65535"};
    EXPECT_EQ(describeAll(cellsOf(exportToBytes(s, dir.file("big.xls")))), expected);

    // A row-number text that does not read as an integer is a text cell; so is every row number
    // under reCellsAsText.
    ASSERT_TRUE(s.setRowNumberFormat("No. %d"));
    EXPECT_EQ(describeAll(cellsOf(exportToBytes(s, dir.file("text.xls"))))[0], "2,1:L No. 1");
    ASSERT_TRUE(s.setRowNumberFormat("%d"));
    s.excel().options.insert(ExcelOption::reCellsAsText);
    EXPECT_EQ(describeAll(cellsOf(exportToBytes(s, dir.file("astext.xls")))),
              (Lines{"2,1:L 1", "2,2:L $10000", "3,1:L 2", "3,2:L -$1", "4,1:L 3", "4,2:L $FFFF"}));
}

TEST(ExcelExport, HeaderLinesThatReadAsNumbersStayText) {
    TempDir dir;
    FakeSource s;
    s.columns = {{"12"}};
    s.rows = {{std::string("0x10")}};
    s.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "2024"; };
    s.onGetFooter = [](CustomExport&, std::uint32_t, std::string& f) { f = "3.5"; };
    EXPECT_EQ(describeAll(cellsOf(exportToBytes(s, dir.file("n.xls")))),
              (Lines{"1,1:L 2024", "2,1:B", "3,1:N 12", "4,1:I 16", "6,1:L 3.5"}))
        << "captions are typed like data; header and footer lines are not";
}

// A source of `columns` visible columns and `rows` one-letter rows.
void fillGrid(FakeSource& s, int columns, int rows) {
    s.columns.assign(static_cast<std::size_t>(columns), Column{"c"});
    s.rows.assign(static_cast<std::size_t>(rows), Values(static_cast<std::size_t>(columns), std::string("v")));
}

TEST(ExcelExport, AFullWidthTableKeepsItsRowsTogether) {
    TempDir dir;
    FakeSource s;
    fillGrid(s, 255, 3);
    s.setOptions(s.options().insert(ExportOption::xoRowNumbers));
    s.onGetFooter = [](CustomExport&, std::uint32_t, std::string& f) { f = "end"; };
    const std::vector<SheetCell> cells = cellsOf(exportToBytes(s, dir.file("wide.xls")));
    ASSERT_EQ(cells.size(), 4u * 256u + 1u);
    for (std::size_t i = 0; i < 4u * 256u; ++i) {
        EXPECT_EQ(cells[i].row, static_cast<int>(i / 256)) << i;
        EXPECT_EQ(cells[i].column, static_cast<int>(i % 256)) << i;
    }
    EXPECT_EQ(describe(cells.back()), "6,1:L end");
}

TEST(ExcelExport, ATableThatDoesNotFitASheetFailsAndWritesNoFile) {
    struct Case {
        const char* what;
        int columns, rows;
        bool rowNumbers;
        const char* footer;
        bool fits;
        bool selectedOnly = false; // the rows are counted as they are written
    } cases[] = {
        {"256 columns", 256, 1, false, "", true},
        {"257 columns", 257, 1, false, "", false},
        {"256 columns and row numbers", 256, 1, true, "", false},
        {"65534 data rows under the caption row", 1, 65534, false, "", true},
        {"65535 data rows under the caption row", 1, 65535, false, "", false},
        {"65535 selected rows under the caption row", 1, 65535, false, "", false, true},
        {"65534 selected rows under the caption row", 1, 65534, false, "", true, true},
        {"a footer below the last row", 1, 65532, false, "a\nb", false},
        {"a footer on the last row", 1, 65531, false, "a\nb", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path target = dir.file("big.xls");
        {
            std::ofstream(target) << "old";
        }
        FakeSource s;
        fillGrid(s, c.columns, c.rows);
        s.setOptions(s.options()
                         .set(ExportOption::xoRowNumbers, c.rowNumbers)
                         .set(ExportOption::xoSelectedRowsOnly, c.selectedOnly));
        s.onGetFooter = [&](CustomExport&, std::uint32_t, std::string& f) { f = c.footer; };
        s.writeDocument(target.string());
        if (c.fits) {
            EXPECT_TRUE(s.errors.empty());
            EXPECT_NE(readFile(target), "old");
        } else {
            EXPECT_EQ(s.errors, std::vector<ExportError>{ExportError::xeGeneralExportError});
            EXPECT_EQ(readFile(target), "old") << "the existing file is untouched";
            EXPECT_TRUE(s.lastErrorMessage().starts_with("The table does not fit a sheet")) << s.lastErrorMessage();
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }
}

TEST(ExcelExport, SavedUnderTheXlsNameWhateverTheTargetExtension) {
    TempDir dir;
    FakeSource s;
    fillExample(s);
    s.setExportStyle(ExportStyle::xsFile);
    s.setFileName(dir.file("stock.csv"));
    s.onGetExtension = [](CustomExport&, std::string& ext) { ext = "txt"; };
    s.runExport();
    EXPECT_TRUE(s.errors.empty());
    EXPECT_TRUE(sameBytes(readFile(dir.file("stock.XLS")), exampleBytes()));
    EXPECT_FALSE(fs::exists(dir.file("stock.txt")));
}

TEST(ExcelExport, ARunRestartsTheSheet) {
    TempDir dir;
    FakeSource s;
    fillExample(s);
    s.excel().protectedSheet = true;
    s.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "one\ntwo"; };
    exportToBytes(s, dir.file("first.xls"));
    s.excel().protectedSheet = false;
    s.onGetHeader = nullptr;
    EXPECT_TRUE(sameBytes(exportToBytes(s, dir.file("second.xls")), exampleBytes()));
}

TEST(ExcelExport, ARealTableThroughTheDataSetExport) {
    const fs::path source = fs::path(TABVUE_SHARED_DIR) / "corpus/dbf/infused-dbf/dbase_8b.dbf";
    if (!fs::exists(source)) GTEST_SKIP() << "corpus not found";
    engine::Table table;
    table.open(source.string());
    DataSetExport dsexport("dsexport");
    dsexport.setDataSet(&table);
    bool failed = false;
    dsexport.onError = [&](CustomExport&, ExportError) { failed = true; };
    TempDir dir;
    dsexport.writeDocument(dir.file("8b.xls"));
    ASSERT_FALSE(failed);
    const Lines cells = describeAll(cellsOf(readFile(dir.file("8b.xls"))));
    ASSERT_EQ(cells.size(), 6u * 11u);
    // Numbers become number cells; dates, logicals and memos stay text; an empty date is an
    // empty text cell.
    EXPECT_EQ(Lines(cells.begin(), cells.begin() + 12),
              (Lines{"1,1:L CHARACTER", "1,2:L NUMERICAL", "1,3:L DATE", "1,4:L LOGICAL", "1,5:L FLOAT", "1,6:L MEMO",
                     "2,1:L One", "2,2:N 1", "2,3:L 01.01.1970", "2,4:L True", "2,5:N 1.23456789012346",
                     "2,6:L First memo\r\n"}));
    EXPECT_EQ(Lines(cells.end() - 6, cells.end()),
              (Lines{"11,1:L Ten records stored in this database", "11,2:N 10", "11,3:L ", "11,4:L False",
                     "11,5:N 0.1", "11,6:L "}));
}

} // namespace
} // namespace tabvue::exporter
