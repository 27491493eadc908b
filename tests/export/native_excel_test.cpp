#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "engine/error.h"
#include "export/native_excel.h"
#include "export/native_excel_testing.h"

namespace tabvue::exporter {
namespace {

using testing::hexBytes;
using testing::sameBytes;
namespace fs = std::filesystem;

const std::string kBof5Dimensions = hexBytes("09 08 06 00 00 02 10 00 00 00  00 02 0A 00 00 00 FF FF 00 00 00 01 00 00");

// The bytes written after the sheet start.
std::string tail(const NativeExcel& x, std::size_t start) { return x.bytes().substr(start); }

using ::tabvue::testing::readFile;
using ::tabvue::testing::TempDir;


TEST(NativeExcel, NewWriterHoldsTheBiff5SheetStartAndDefaults) {
    NativeExcel x;
    EXPECT_TRUE(sameBytes(x.bytes(), kBof5Dimensions));
    EXPECT_EQ(x.version(), "1.23");
    EXPECT_EQ(x.biff(), BIFFVersion::bvBIFF5);
    EXPECT_EQ(x.row(), 1);
    EXPECT_EQ(x.column(), 1);
    EXPECT_EQ(x.moveAfterEnter(), MoveAfterEnter::maRight);
    EXPECT_TRUE(x.locked());
    EXPECT_FALSE(x.hidden());
    EXPECT_FALSE(x.shading());
    EXPECT_TRUE(x.borders().empty());
    EXPECT_EQ(x.alignment(), ExcelAlignment::eaGeneral);
    EXPECT_EQ(x.activeFont(), 0);
    EXPECT_EQ(x.fileName(), "");

    TempDir dir;
    x.setFileName(dir.file("new.xls"));
    x.saveToFile();
    EXPECT_TRUE(sameBytes(readFile(dir.file("new.xls")), kBof5Dimensions));
}

TEST(NativeExcel, VersionChoosesBofAndDimensionsAndRestartsTheSheet) {
    struct Case {
        BIFFVersion v;
        const char* hex;
    } cases[] = {
        {BIFFVersion::bvBIFF2, "09 00 04 00 00 02 10 00  00 00 08 00 00 00 FF FF 00 00 00 01"},
        {BIFFVersion::bvBIFF3, "09 02 06 00 00 02 10 00 00 00  00 02 0A 00 00 00 FF FF 00 00 00 01 00 00"},
        {BIFFVersion::bvBIFF4, "09 04 06 00 00 02 10 00 00 00  00 02 0A 00 00 00 FF FF 00 00 00 01 00 00"},
        {BIFFVersion::bvBIFF5, "09 08 06 00 00 02 10 00 00 00  00 02 0A 00 00 00 FF FF 00 00 00 01 00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.v));
        NativeExcel x;
        x.setBiff(BIFFVersion::bvBIFF2 == c.v ? BIFFVersion::bvBIFF3 : BIFFVersion::bvBIFF2);
        x.writeFont("Arial", 10, 0);
        x.writeBlank();
        x.setBiff(c.v); // a different version discards everything written
        EXPECT_TRUE(sameBytes(x.bytes(), hexBytes(c.hex)));
        EXPECT_EQ(x.fontCount(), 0);
        EXPECT_EQ(x.column(), 2) << "the cursor survives a restart";

        x.writeBlank();
        const std::string before = x.bytes();
        x.setBiff(c.v); // the same version changes nothing
        EXPECT_EQ(x.bytes(), before);
    }
}

TEST(NativeExcel, CursorMovesAfterEachCellAndWrapsAtTheEdges) {
    constexpr int R = NativeExcel::kLastRow;
    constexpr int C = NativeExcel::kLastColumn;
    struct Case {
        MoveAfterEnter move;
        int row, column;       // before the cell
        int nextRow, nextColumn;
    } cases[] = {
        {MoveAfterEnter::maRight, 5, 3, 5, 4},
        {MoveAfterEnter::maRight, 5, C, 6, 1},
        {MoveAfterEnter::maRight, R, C, R, C},
        {MoveAfterEnter::maLeft, 5, 3, 5, 2},
        {MoveAfterEnter::maLeft, 5, 1, 4, C},
        {MoveAfterEnter::maLeft, 1, 1, 1, 1},
        {MoveAfterEnter::maDown, 5, 3, 6, 3},
        {MoveAfterEnter::maDown, R, 3, 1, 4},
        {MoveAfterEnter::maDown, R, C, R, C},
        {MoveAfterEnter::maUp, 5, 3, 4, 3},
        {MoveAfterEnter::maUp, 1, 3, R, 2},
        {MoveAfterEnter::maUp, 1, 1, 1, 1},
        {MoveAfterEnter::maNone, 7, 9, 7, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.move)) + " at " + std::to_string(c.row) + "," +
                     std::to_string(c.column));
        NativeExcel x;
        x.setMoveAfterEnter(c.move);
        x.setRow(c.row);
        x.setColumn(c.column);
        const std::size_t start = x.bytes().size();
        x.writeBlank();
        // The record names the cell where the cursor stood before the move.
        const std::string rec = tail(x, start);
        ASSERT_EQ(rec.size(), 11u);
        EXPECT_EQ(static_cast<unsigned char>(rec[4]) | static_cast<unsigned char>(rec[5]) << 8, c.row - 1);
        EXPECT_EQ(static_cast<unsigned char>(rec[6]) | static_cast<unsigned char>(rec[7]) << 8, c.column - 1);
        EXPECT_EQ(x.row(), c.nextRow);
        EXPECT_EQ(x.column(), c.nextColumn);
    }
}

TEST(NativeExcel, OutOfRangeCursorAndFontWritesAreIgnored) {
    NativeExcel x;
    x.setRow(0);
    EXPECT_EQ(x.row(), 1);
    x.setRow(65535);
    EXPECT_EQ(x.row(), 65535);
    x.setRow(65536);
    EXPECT_EQ(x.row(), 65535);
    x.setRow(-1);
    EXPECT_EQ(x.row(), 65535);
    x.setColumn(257);
    EXPECT_EQ(x.column(), 1);
    x.setColumn(0);
    EXPECT_EQ(x.column(), 1);
    x.setColumn(256);
    EXPECT_EQ(x.column(), 256);

    // ActiveFont accepts 0 up to the number of fonts written (that number included).
    x.setActiveFont(1);
    EXPECT_EQ(x.activeFont(), 0);
    x.writeFont("Arial", 10, 0);
    x.writeFont("Arial", 10, 1);
    for (int f : {1, 2, 0}) {
        x.setActiveFont(f);
        EXPECT_EQ(x.activeFont(), f);
    }
    x.setActiveFont(3);
    x.setActiveFont(-1);
    EXPECT_EQ(x.activeFont(), 0);
}

TEST(NativeExcel, FontRecordsStopAtFourPerSheet) {
    NativeExcel x;
    const std::size_t start = x.bytes().size();
    for (int i = 0; i < 5; ++i) x.writeFont("Arial", 8 + i, static_cast<std::uint16_t>(i));
    EXPECT_EQ(x.fontCount(), 4);
    const std::string fonts = tail(x, start);
    ASSERT_EQ(fonts.size(), 4u * 14u);
    // Height in twentieths of a point, style, name length, name.
    EXPECT_TRUE(sameBytes(fonts.substr(0, 14), hexBytes("31 00 0A 00 A0 00 00 00 05") + "Arial"));
    EXPECT_TRUE(sameBytes(fonts.substr(42, 14), hexBytes("31 00 0A 00 DC 00 03 00 05") + "Arial"));

    x.setActiveFont(4);
    EXPECT_EQ(x.activeFont(), 4);
    x.beginSheet(); // a new sheet takes four fonts again
    x.writeFont("Arial", 8, 0);
    EXPECT_EQ(x.fontCount(), 1);
    // Font 4 (and any but 1..3) gives the attribute font bits 0.
    x.writeBlank();
    EXPECT_EQ(static_cast<unsigned char>(x.bytes()[x.bytes().size() - 2]), 0x00);
}

TEST(NativeExcel, CellAttributesFollowTheCurrentSettings) {
    struct Case {
        const char* what;
        void (*set)(NativeExcel&);
        const char* attributes;
    } cases[] = {
        {"defaults", [](NativeExcel&) {}, "40 00 00"},
        {"unlocked and hidden", [](NativeExcel& x) { x.setLocked(false); x.setHidden(true); }, "80 00 00"},
        {"font 1", [](NativeExcel& x) { x.setActiveFont(1); }, "40 40 00"},
        {"font 2", [](NativeExcel& x) { x.setActiveFont(2); }, "40 80 00"},
        {"font 3", [](NativeExcel& x) { x.setActiveFont(3); }, "40 C0 00"},
        {"left", [](NativeExcel& x) { x.setAlignment(ExcelAlignment::eaLeft); }, "40 00 01"},
        {"right", [](NativeExcel& x) { x.setAlignment(ExcelAlignment::eaRight); }, "40 00 03"},
        {"center", [](NativeExcel& x) { x.setAlignment(ExcelAlignment::eaCenter); }, "40 00 02"},
        {"fill", [](NativeExcel& x) { x.setAlignment(ExcelAlignment::eaFill); }, "40 00 04"},
        {"multiplan", [](NativeExcel& x) { x.setAlignment(ExcelAlignment::eaMultiPlan); }, "40 00 07"},
        {"left border", [](NativeExcel& x) { x.setBorders({ExcelBorders::ebLeft}); }, "40 00 08"},
        {"right border", [](NativeExcel& x) { x.setBorders({ExcelBorders::ebRight}); }, "40 00 10"},
        {"top border", [](NativeExcel& x) { x.setBorders({ExcelBorders::ebTop}); }, "40 00 20"},
        {"bottom border", [](NativeExcel& x) { x.setBorders({ExcelBorders::ebBottom}); }, "40 00 40"},
        {"all and shaded, centred",
         [](NativeExcel& x) {
             x.setBorders(ExcelBorderSet::all());
             x.setShading(true);
             x.setAlignment(ExcelAlignment::eaCenter);
         },
         "40 00 FA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NativeExcel x;
        for (int i = 0; i < 4; ++i) x.writeFont("F", 10, 0);
        c.set(x);
        const std::size_t start = x.bytes().size();
        x.writeBlank();
        EXPECT_TRUE(sameBytes(tail(x, start), hexBytes(std::string("01 00 07 00 00 00 00 00 ") + c.attributes)));
    }
}

TEST(NativeExcel, CellRecordBytes) {
    struct Case {
        const char* what;
        void (*write)(NativeExcel&);
        const char* hex; // after the 4-byte position and the attributes 40 00 00
    };
    const std::string pos = "00 00 00 00 40 00 00 ";
    Case cases[] = {
        {"blank", [](NativeExcel& x) { x.writeBlank(); }, "01 00 07 00"},
        {"integer 1234", [](NativeExcel& x) { x.writeInteger(1234); }, "02 00 09 00 | D2 04"},
        {"integer 0", [](NativeExcel& x) { x.writeInteger(0); }, "02 00 09 00 | 00 00"},
        {"integer 65535", [](NativeExcel& x) { x.writeInteger(65535); }, "02 00 09 00 | FF FF"},
        // Outside the INTEGER record's range the exact value goes into a NUMBER record.
        {"integer 65536", [](NativeExcel& x) { x.writeInteger(65536); }, "03 00 0F 00 | 00 00 00 00 00 00 F0 40"},
        {"integer -1", [](NativeExcel& x) { x.writeInteger(-1); }, "03 00 0F 00 | 00 00 00 00 00 00 F0 BF"},
        {"number 12.5", [](NativeExcel& x) { x.writeNumber(12.5); }, "03 00 0F 00 | 00 00 00 00 00 00 29 40"},
        {"text", [](NativeExcel& x) { x.writeText("Pear"); }, "04 00 0C 00 | 04 50 65 61 72"},
        {"empty text", [](NativeExcel& x) { x.writeText(""); }, "04 00 08 00 | 00"},
        {"text ends at NUL", [](NativeExcel& x) { x.writeText(std::string_view("ab\0cd", 5)); }, "04 00 0A 00 | 02 61 62"},
        {"true", [](NativeExcel& x) { x.writeBoolean(true); }, "05 00 09 00 | 01 00"},
        {"false", [](NativeExcel& x) { x.writeBoolean(false); }, "05 00 09 00 | 00 00"},
        {"#NULL!", [](NativeExcel& x) { x.writeBoolErr(2); }, "05 00 09 00 | 00 01"},
        {"#DIV/0!", [](NativeExcel& x) { x.writeBoolErr(3); }, "05 00 09 00 | 07 01"},
        {"#VALUE!", [](NativeExcel& x) { x.writeBoolErr(4); }, "05 00 09 00 | 0F 01"},
        {"#REF!", [](NativeExcel& x) { x.writeBoolErr(5); }, "05 00 09 00 | 17 01"},
        {"#NAME?", [](NativeExcel& x) { x.writeBoolErr(6); }, "05 00 09 00 | 1D 01"},
        {"#NUM!", [](NativeExcel& x) { x.writeBoolErr(7); }, "05 00 09 00 | 24 01"},
        {"#N/A", [](NativeExcel& x) { x.writeBoolErr(8); }, "05 00 09 00 | 2A 01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NativeExcel x;
        const std::size_t start = x.bytes().size();
        c.write(x);
        std::string hex = c.hex;
        std::size_t bar = hex.find('|');
        hex = bar == std::string::npos ? hex + pos : hex.substr(0, bar) + pos + hex.substr(bar + 1);
        EXPECT_TRUE(sameBytes(tail(x, start), hexBytes(hex)));
        EXPECT_EQ(x.column(), 2);
    }
}

TEST(NativeExcel, LongTextsAreCutTo255Bytes) {
    NativeExcel x;
    const std::string text(300, 'a');
    std::size_t start = x.bytes().size();
    x.writeText(text);
    std::string rec = tail(x, start);
    EXPECT_TRUE(sameBytes(rec.substr(0, 12), hexBytes("04 00 07 01 00 00 00 00 40 00 00 FF")));
    EXPECT_EQ(rec.size(), 4u + 263u);
    EXPECT_EQ(rec.substr(12), std::string(255, 'a'));

    for (auto write : {&NativeExcel::writeHeader, &NativeExcel::writeFooter}) {
        start = x.bytes().size();
        (x.*write)(text);
        rec = tail(x, start);
        EXPECT_EQ(rec.size(), 4u + 256u);
        EXPECT_EQ(rec.substr(2, 3), hexBytes("00 01 FF"));
    }
}

TEST(NativeExcel, PageSetupRecordBytes) {
    NativeExcel x;
    const std::size_t start = x.bytes().size();
    x.writeHeader("&P of &N");
    x.writeFooter("&P");
    x.writeColumnWidth(1, 256, 20);
    x.writeColumnWidth(3, 4, 300); // the width is cut to its low 16 bits
    x.writeLeftMargin(0.3);
    x.writeRightMargin(1.0);
    x.writeTopMargin(0.5);
    x.writeBottomMargin(2.0);
    x.writeProtection(true);
    x.writeProtection(false);
    EXPECT_TRUE(sameBytes(tail(x, start), hexBytes("14 00 09 00 08 26 50 20 6F 66 20 26 4E"
                                   "15 00 03 00 02 26 50"
                                   "24 00 04 00 00 FF 00 14"
                                   "24 00 04 00 02 03 00 2C"
                                   "26 00 08 00 33 33 33 33 33 33 D3 3F"
                                   "27 00 08 00 00 00 00 00 00 00 F0 3F"
                                   "28 00 08 00 00 00 00 00 00 00 E0 3F"
                                   "29 00 08 00 00 00 00 00 00 00 00 40"
                                   "12 00 02 00 01 00"
                                   "12 00 02 00 00 00")));
    EXPECT_EQ(x.row(), 1);
    EXPECT_EQ(x.column(), 1) << "page records do not move the cursor";
}

TEST(NativeExcel, WriteValueChoosesTheRecordByKind) {
    struct Case {
        const char* what;
        CellVariant value;
        const char* hex; // empty: nothing written
    };
    const std::string pos = "00 00 00 00 40 00 00 ";
    CellVariant wide = CellVariant::string("wide");
    wide.kind = static_cast<std::uint16_t>(VariantKind::varOleStr);
    CellVariant intArray = CellVariant::integer32(5);
    intArray.kind |= static_cast<std::uint16_t>(VariantKind::varArray);
    CellVariant intRef = CellVariant::integer32(5);
    intRef.kind |= static_cast<std::uint16_t>(VariantKind::varByRef);
    CellVariant word = CellVariant::of(VariantKind::varWord);
    word.integer = 7;
    Case cases[] = {
        {"empty", CellVariant::empty(), "01 00 07 00"},
        {"null", CellVariant::null(), "05 00 09 00 | 00 01"},
        {"smallint", CellVariant::smallint(-2), "03 00 0F 00 | 00 00 00 00 00 00 00 C0"},
        {"integer", CellVariant::integer32(300), "02 00 09 00 | 2C 01"},
        {"byte", CellVariant::byte(255), "02 00 09 00 | FF 00"},
        {"single", CellVariant::single(0.5f), "03 00 0F 00 | 00 00 00 00 00 00 E0 3F"},
        {"double", CellVariant::real(12.5), "03 00 0F 00 | 00 00 00 00 00 00 29 40"},
        {"currency", CellVariant::currency(1.0), "03 00 0F 00 | 00 00 00 00 00 00 F0 3F"},
        {"date", CellVariant::date(36506.5), "04 00 1B 00 | 13 31 32 2E 31 32 2E 31 39 39 39 20 31 32 3A 30 30 3A 30 30"},
        {"string", CellVariant::string("abc"), "04 00 0B 00 | 03 61 62 63"},
        {"wide string", wide, "04 00 0C 00 | 04 77 69 64 65"},
        {"boolean true", CellVariant::boolean(true), "05 00 09 00 | 01 00"},
        {"boolean false", CellVariant::boolean(false), "05 00 09 00 | 00 00"},
        {"dispatch", CellVariant::of(VariantKind::varDispatch), "05 00 09 00 | 2A 01"},
        {"error", CellVariant::of(VariantKind::varError), "05 00 09 00 | 2A 01"},
        {"unknown", CellVariant::of(VariantKind::varUnknown), "05 00 09 00 | 2A 01"},
        {"any", CellVariant::of(VariantKind::varAny), "05 00 09 00 | 2A 01"},
        {"variant reference", CellVariant::of(VariantKind::varVariant), "05 00 09 00 | 0F 01"},
        {"int64", CellVariant::int64(5), ""},
        {"word", word, ""},
        {"shortint", CellVariant::of(VariantKind::varShortInt), ""},
        {"longword", CellVariant::of(VariantKind::varLongWord), ""},
        {"decimal", CellVariant::of(VariantKind::varDecimal), ""},
        {"array", intArray, ""},
        {"reference", intRef, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NativeExcel x;
        const std::size_t start = x.bytes().size();
        x.writeValue(c.value);
        std::string hex = c.hex;
        if (hex.empty()) {
            EXPECT_EQ(tail(x, start), "");
            EXPECT_EQ(x.column(), 1) << "a skipped value leaves the cursor in place";
            continue;
        }
        std::size_t bar = hex.find('|');
        hex = bar == std::string::npos ? hex + pos : hex.substr(0, bar) + pos + hex.substr(bar + 1);
        EXPECT_TRUE(sameBytes(tail(x, start), hexBytes(hex)));
        EXPECT_EQ(x.column(), 2);
    }
}

TEST(NativeExcel, DateTextShowsTheTimeOnlyWhenThereIsOne) {
    EXPECT_EQ(dateTimeText(0), "30.12.1899");
    EXPECT_EQ(dateTimeText(36506), "12.12.1999");
    EXPECT_EQ(dateTimeText(36506 + (12 * 3600 + 12 * 60 + 12) / 86400.0), "12.12.1999 12:12:12");
    EXPECT_EQ(dateTimeText(60000.75), "08.04.2064 18:00:00");
    EXPECT_EQ(dateTimeText(-1.25), "29.12.1899 06:00:00");
    EXPECT_EQ(dateTimeText(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST(NativeExcel, InvalidBoolErrKindWritesNothing) {
    NativeExcel x;
    const std::string before = x.bytes();
    EXPECT_THROW(x.writeBoolErr(9), std::invalid_argument);
    EXPECT_THROW(x.writeBoolErr(-1), std::invalid_argument);
    EXPECT_EQ(x.bytes(), before);
    EXPECT_EQ(x.column(), 1);
}

TEST(NativeExcel, EndSheetClosesAndTheNextRecordStartsAFreshSheet) {
    NativeExcel x;
    x.writeFont("Arial", 10, 0);
    x.writeText("gone");
    x.endSheet();
    EXPECT_FALSE(x.sheetOpen());
    x.endSheet(); // begins a new sheet and ends it
    EXPECT_TRUE(sameBytes(x.bytes(), kBof5Dimensions + hexBytes("0A 00 00 00")));

    x.writeBlank(); // a cell on a closed sheet restarts it too
    EXPECT_TRUE(x.sheetOpen());
    EXPECT_TRUE(sameBytes(x.bytes(), kBof5Dimensions + hexBytes("01 00 07 00 00 00 01 00 40 00 00")));

    // After four fonts and an end, the new sheet takes fonts again.
    for (int i = 0; i < 4; ++i) x.writeFont("F", 10, 0);
    x.endSheet();
    x.writeFont("G", 10, 0);
    EXPECT_EQ(x.fontCount(), 1);
    EXPECT_TRUE(sameBytes(x.bytes(), kBof5Dimensions + hexBytes("31 00 06 00 C8 00 00 00 01 47")));
}

TEST(NativeExcel, FileNameGetsTheXlsExtension) {
    struct Case {
        const char* given;
        const char* stored;
    } cases[] = {
        {"/tmp/out.txt", "/tmp/out.XLS"},
        {"/tmp/out", "/tmp/out.XLS"},
        {"/tmp/out.xls", "/tmp/out.xls"},
        {"/tmp/out.Xls", "/tmp/out.Xls"},
        {"/tmp/out.XLS", "/tmp/out.XLS"},
        {"/tmp/out.xlsx", "/tmp/out.XLS"},
        {"/tmp/a.b.c", "/tmp/a.b.XLS"},
        {"/tmp/my.folder/out", "/tmp/my.folder/out.XLS"},
        {"/tmp/my.folder/out.csv", "/tmp/my.folder/out.XLS"},
        {"out.", "out.XLS"},
        {"relative", "relative.XLS"},
    };
    for (const Case& c : cases) {
        NativeExcel x;
        x.setFileName(c.given);
        EXPECT_EQ(x.fileName(), c.stored) << c.given;
    }
}

TEST(NativeExcel, SaveToFileReplacesTheTargetAndKeepsTheBytes) {
    TempDir dir;
    const fs::path target = dir.file("sheet.xls");
    {
        std::ofstream(target) << "an older and longer file that must be replaced entirely";
    }
    NativeExcel x;
    x.setFileName(target.string());
    x.writeText("x"); // no EOF: the file holds exactly what was written
    x.saveToFile();
    EXPECT_TRUE(sameBytes(readFile(target), x.bytes()));
    EXPECT_TRUE(x.sheetOpen());
    x.saveToFile(); // may be saved again
    EXPECT_TRUE(sameBytes(readFile(target), x.bytes()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST(NativeExcel, SaveToFileFailureRaisesAndKeepsTheSheet) {
    TempDir dir;
    NativeExcel x;
    x.setFileName(dir.file("missing-folder/sheet"));
    x.writeText("kept");
    const std::string before = x.bytes();
    EXPECT_THROW(x.saveToFile(), Error);
    EXPECT_EQ(x.bytes(), before);
    EXPECT_FALSE(fs::exists(dir.file("missing-folder")));

    NativeExcel unnamed;
    EXPECT_THROW(unnamed.saveToFile(), Error);
}

} // namespace
} // namespace tabvue::exporter
