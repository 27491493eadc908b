#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/codepage.h"
#include "common/dbf_builder.h"
#include "engine/table.h"

using namespace tabvue;
using namespace tabvue::engine;
using tabvue::testing::DbfBuilder;
using tabvue::testing::le32;
using tabvue::testing::le64;
using tabvue::testing::TempDir;

namespace {

// The code page pair the expectations assume, unless the test runner already chose one.
const bool kCodePagesSet = [] {
    ::setenv("TABVUE_ANSI_CODEPAGE", "1252", 0);
    ::setenv("TABVUE_OEM_CODEPAGE", "437", 0);
    return true;
}();

// A dBase III table with every classic field type and a memo file; record 3 is deleted.
void writeClassicTable(const TempDir& dir, const std::string& memoName = "people.dbt") {
    DbfBuilder b(0x83, {{"NAME", 'C', 10},
                        {"AMOUNT", 'N', 10, 2},
                        {"QTY", 'N', 3},
                        {"BORN", 'D', 8},
                        {"OK", 'L', 1},
                        {"NOTES", 'M', 10},
                        {"RATE", 'F', 8, 3}});
    b.record({"Hello", "     12.5", "  7", "20240229", "T", "         1", "  1.5"});
    b.record({"", "", "", "", " ", "", ""});
    b.record({"Gone", "1.00", "1", "20000101", "F", "", ""}, '*');
    b.record({std::string("Nul\0\0", 5), "   -0.00", "-12", "20230230", "?", "         2", "  -1.25"});
    b.record({"  lead", "*********", "999", "20001301", "y", "        99", "1e2"});
    dir.write(memoName, tabvue::testing::dbase3Memo({"First memo\r\nline two", "second"}));
    dir.write("people.dbf", b.bytes());
}

TEST(TableRead, DescriptorsAndDatasetFields) {
    TempDir dir;
    writeClassicTable(dir);
    Table t;
    t.open(dir.path(), "people"); // no extension: ".dbf" is added
    EXPECT_EQ(t.path(), dir.file("people.dbf"));
    ASSERT_EQ(t.descriptors().size(), 7u);
    ASSERT_EQ(t.fields().size(), 7u);
    const std::vector<std::pair<std::string, FieldKind>> expected = {
        {"NAME", FieldKind::String}, {"AMOUNT", FieldKind::Float}, {"QTY", FieldKind::SmallInt},
        {"BORN", FieldKind::Date},   {"OK", FieldKind::Boolean},   {"NOTES", FieldKind::Memo},
        {"RATE", FieldKind::Float}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(t.fields()[i].name, expected[i].first);
        EXPECT_EQ(t.fields()[i].kind, expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(t.descriptors()[1].width, 10);
    EXPECT_EQ(t.descriptors()[1].decimals, 2);
    EXPECT_EQ(t.descriptors()[1].offset, 11);
    EXPECT_EQ(t.fieldIndex("amount"), 1);
    EXPECT_EQ(t.fieldIndex("missing"), -1);
    EXPECT_EQ(t.recCount(), 5u);
    EXPECT_FALSE(t.oemTranslate());
}

TEST(TableRead, DisplayTexts) {
    TempDir dir;
    writeClassicTable(dir);
    Table t;
    t.open(dir.file("people.dbf"));
    struct Case {
        RecordNo rec;
        const char* field;
        const char* text;
    };
    const Case cases[] = {
        {1, "NAME", "Hello"},      {1, "AMOUNT", "12.50"}, {1, "QTY", "7"},
        {1, "BORN", "29.02.2024"}, {1, "OK", "T"},         {1, "NOTES", "First memo\r\nline two"},
        {1, "RATE", "1.500"},      {2, "NAME", ""},        {2, "AMOUNT", ""},
        {2, "BORN", ""},           {2, "OK", ""},          {2, "NOTES", ""},
        {4, "NAME", "Nul"},        {4, "AMOUNT", "0.00"},  {4, "QTY", "-12"},
        {4, "BORN", ""}, // 30 February does not exist
        {4, "OK", ""},             {4, "NOTES", "second"}, {4, "RATE", "-1.250"},
        {5, "NAME", "  lead"},     {5, "AMOUNT", ""},      {5, "BORN", ""},
        {5, "OK", "T"},            {5, "NOTES", ""}, // pointer past the memo file
        {5, "RATE", "100.000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(t.displayText(c.rec, t.fieldIndex(c.field)), c.text) << "record " << c.rec << " " << c.field;
}

TEST(TableRead, Values) {
    TempDir dir;
    writeClassicTable(dir);
    Table t;
    t.open(dir.file("people.dbf"));
    EXPECT_EQ(std::get<std::string>(t.value(1, 0)), "Hello");
    EXPECT_EQ(std::get<std::string>(t.value(2, 0)), ""); // blank text is empty, not null
    EXPECT_DOUBLE_EQ(std::get<double>(t.value(1, 1)), 12.5);
    EXPECT_EQ(std::get<std::int64_t>(t.value(4, 2)), -12);
    EXPECT_EQ(std::get<Date>(t.value(1, 3)), (Date{2024, 2, 29}));
    EXPECT_TRUE(std::get<Date>(t.value(2, 3)).empty());
    EXPECT_TRUE(std::get<bool>(t.value(1, 4)));
    EXPECT_TRUE(engine::isNull(t.value(2, 4))); // a blank logical has no value
    EXPECT_FALSE(t.logicalValue(2, 4));
    EXPECT_TRUE(t.logicalValue(5, 4));
    EXPECT_EQ(std::get<std::string>(t.value(4, 5)), "second");
    EXPECT_EQ(t.memoText(1, 5), "First memo\r\nline two");
    for (int f = 0; f < 7; ++f)
        EXPECT_FALSE(t.isNull(2, f)); // null only comes from Visual FoxPro null flags
    EXPECT_THROW(t.value(6, 0), Error);
    EXPECT_THROW(t.value(1, 7), Error);
}

TEST(TableRead, DeletedRecordsCountButStayOutOfTheView) {
    TempDir dir;
    writeClassicTable(dir);
    Table t;
    t.open(dir.file("people.dbf"));
    EXPECT_EQ(t.recCount(), 5u);
    EXPECT_TRUE(t.isDeleted(3));
    while (!t.advanceView(2)) {
    }
    EXPECT_EQ(t.viewCount(), 4);
    EXPECT_EQ(t.viewRecord(2), 4u);
    EXPECT_EQ(t.viewPosition(3), -1);
    std::string raw;
    ASSERT_TRUE(t.readRecord(3, raw));
    EXPECT_EQ(raw.substr(0, 5), "*Gone");
}

TEST(TableRead, MemoFileFoundWhateverItsLetterCase) {
    TempDir dir;
    writeClassicTable(dir, "PEOPLE.DBT");
    Table t;
    t.open(dir.file("people.dbf"));
    EXPECT_EQ(t.displayText(4, 5), "second");
}

TEST(TableRead, MissingMemoFileReadsEmpty) {
    TempDir dir;
    writeClassicTable(dir, "other.dbt");
    Table t;
    t.open(dir.file("people.dbf"));
    EXPECT_EQ(t.displayText(1, 5), "");
    EXPECT_EQ(t.displayText(1, 0), "Hello");
}

TEST(TableRead, UpperCaseExtensionFoundForNameWithoutOne) {
    TempDir dir;
    DbfBuilder b(0x03, {{"A", 'C', 3}});
    b.record({"abc"});
    dir.write("UP.DBF", b.bytes());
    Table t;
    t.open(dir.path() + "/", "UP");
    EXPECT_EQ(t.path(), dir.file("UP.DBF"));
    EXPECT_EQ(t.displayText(1, 0), "abc");
}

TEST(TableRead, OpenFailureNamesThePath) {
    TempDir dir;
    Table t;
    try {
        t.open(dir.path(), "nothing.dbf");
        FAIL() << "opened a missing file";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to open table: " + dir.file("nothing.dbf"), 0), 0u) << e.what();
    }
    EXPECT_FALSE(t.isOpen());
    EXPECT_EQ(t.recCount(), 0u);
}

TEST(TableRead, OemTranslationOfTextAndMemo) {
    TempDir dir;
    // 0x8E is A-umlaut in code page 437 and 0xC4 in 1252; field names stay as stored.
    DbfBuilder b(0x83, {{"N\x8E", 'C', 4}, {"M", 'M', 10}});
    b.record({"\x8E\x99x", "         1"});
    dir.write("t.dbt", tabvue::testing::dbase3Memo({"\x81" "ber"}));
    dir.write("t.dbf", b.bytes());
    Table t;
    t.open(dir.file("t.dbf"));
    int changes = 0;
    t.addViewListener([&] { ++changes; });
    EXPECT_EQ(t.displayText(1, 0), "\x8E\x99x");
    t.setOemTranslate(true);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(t.displayText(1, 0), "\xC4\xD6x");
    EXPECT_EQ(std::get<std::string>(t.value(1, 0)), "\xC4\xD6x");
    EXPECT_EQ(t.displayText(1, 1), "\xFC" "ber");
    EXPECT_EQ(t.memoText(1, 1), "\x81" "ber"); // raw bytes as stored
    EXPECT_EQ(t.fields()[0].name, "N\x8E");
}

TEST(TableRead, VisualFoxProTypesAndNullFlags) {
    TempDir dir;
    DbfBuilder b(0x30, {{"I", 'I', 4, 0, 0x02},
                        {"Y", 'Y', 8, 4},
                        {"T", 'T', 8},
                        {"B", 'B', 8, 2},
                        {"V", 'V', 6, 0, 0x02},
                        {"C", 'C', 3, 0, 0x02},
                        {"_NullFlags", '0', 1, 0, 0x05}});
    std::string dbl(8, '\0');
    const double d = 2.5;
    std::memcpy(dbl.data(), &d, 8);
    // Bits: I null 0, V length 1, V null 2, C null 3.
    b.record({le32(-7), le64(123456), le32(2459581) + le32(30600000), dbl, std::string("ab\0\0\0\x02", 6), "xyz",
              std::string(1, '\x02')});
    b.record({le32(5), le64(-5), std::string(8, '\0'), dbl, "sixsix", "   ", std::string(1, '\x09')});
    dir.write("vfp.dbf", b.bytes());
    Table t;
    t.open(dir.file("vfp.dbf"));
    ASSERT_EQ(t.descriptors().size(), 7u);
    ASSERT_EQ(t.fields().size(), 6u); // _NullFlags is no dataset field
    EXPECT_EQ(t.descriptors()[6].datasetField, -1);
    EXPECT_EQ(t.fields()[3].kind, FieldKind::Float);
    EXPECT_EQ(t.displayText(1, 0), "-7");
    EXPECT_EQ(t.displayText(1, 1), "12.3456");
    EXPECT_EQ(std::get<Currency>(t.value(1, 1)).scaled, 123456);
    EXPECT_EQ(t.displayText(1, 2), "01.01.2022 08:30:00");
    EXPECT_EQ(t.displayText(1, 3), "2.5");
    EXPECT_EQ(t.displayText(1, 4), "ab");
    EXPECT_EQ(t.displayText(1, 5), "xyz");
    // Record 2: I and C null, V full length.
    EXPECT_TRUE(t.isNull(2, 0));
    EXPECT_TRUE(engine::isNull(t.value(2, 0)));
    EXPECT_EQ(t.displayText(2, 0), "");
    EXPECT_EQ(t.displayText(2, 1), "-0.0005");
    EXPECT_EQ(t.displayText(2, 2), ""); // day 0 is an empty date-time
    EXPECT_EQ(t.displayText(2, 4), "sixsix");
    EXPECT_TRUE(t.isNull(2, 5));
    EXPECT_FALSE(t.isNull(2, 4));
}

TEST(TableRead, DuplicateFieldNamesStayReachable) {
    TempDir dir;
    DbfBuilder b(0x03, {{"ID", 'C', 2}, {"ID", 'C', 2}});
    b.record({"a", "b"});
    dir.write("dup.dbf", b.bytes());
    Table t;
    t.open(dir.file("dup.dbf"));
    EXPECT_EQ(t.descriptors()[1].name, "ID");
    EXPECT_EQ(t.fieldIndex("ID"), 0);
    EXPECT_EQ(t.fieldIndex("ID_2"), 1);
    EXPECT_EQ(t.displayText(1, 1), "b");
}

TEST(TableRead, FieldTypeNames) {
    EXPECT_EQ(fieldTypeName('C'), "Character");
    EXPECT_EQ(fieldTypeName('N'), "Numeric");
    EXPECT_EQ(fieldTypeName('Y'), "Binary");
    EXPECT_EQ(fieldTypeName('G'), "");
}

TEST(CodePages, TablesComeFromIconv) {
    EXPECT_EQ(codePage(866).toUnicode(0x80), U'\u0410');
    EXPECT_EQ(codePage(1252).decode("\x80"), "\xE2\x82\xAC");
    bool lossless = true;
    EXPECT_EQ(codePage(1251).encode("\xD0\x96z\xE2\x82\xAC", &lossless), "\xC6z\x88");
    EXPECT_TRUE(lossless);
    EXPECT_EQ(codePage(437).encode("\xE2\x82\xAC", &lossless), "?");
    EXPECT_FALSE(lossless);
    EXPECT_THROW(codePage(99999), Error);
    EXPECT_EQ(oemToAnsiTable()['A'], 'A');
    EXPECT_EQ(ansiToOemTable()[0xC4], 0x8E);
}

} // namespace
