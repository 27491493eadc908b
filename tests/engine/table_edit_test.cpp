#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <memory>

#include "common/dbf_builder.h"
#include "engine/table.h"

using namespace tabvue;
using namespace tabvue::engine;
using tabvue::testing::DbfBuilder;
using tabvue::testing::le32;
using tabvue::testing::readFile;
using tabvue::testing::TempDir;

namespace {

const bool kCodePagesSet = [] {
    ::setenv("TABVUE_ANSI_CODEPAGE", "1252", 0);
    ::setenv("TABVUE_OEM_CODEPAGE", "437", 0);
    return true;
}();

// NAME C(6), PRICE N(6,2), DAY D, OK L, NOTE M, QTY I (dBase III with memo, 2 records).
std::string editableTable(const TempDir& dir, unsigned char version = 0x83) {
    DbfBuilder b(version, {{"NAME", 'C', 6}, {"PRICE", 'N', 6, 2}, {"DAY", 'D', 8}, {"OK", 'L', 1}, {"NOTE", 'M', 10}});
    b.record({"apple", "  1.50", "20200101", "T", "         1"});
    b.record({"pear", "  2.00", "20200202", "F", ""});
    dir.write("shop.dbt", tabvue::testing::dbase3Memo({"old memo"}));
    return dir.write("shop.dbf", b.bytes());
}

std::string run(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(::popen(cmd.c_str(), "r"), ::pclose);
    if (!p)
        return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p.get())) > 0)
        out.append(buf, n);
    return out;
}

TEST(TableEdit, TypedTextIsValidatedAndNothingIsWrittenOnError) {
    TempDir dir;
    const std::string path = editableTable(dir);
    const std::string before = readFile(path);
    Table t;
    t.open(path);
    struct Case {
        const char* field;
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"NAME", "abcdef", true},    {"NAME", "abcdefg", false}, // longer than the field
        {"PRICE", "12.5", true},     {"PRICE", "-12.5", true},
        {"PRICE", "1234.5", false},  {"PRICE", "12.345", false}, // more decimals than the field
        {"PRICE", "12.340", true},   {"PRICE", "abc", false},
        {"PRICE", "", true},         {"DAY", "29.02.2024", true},
        {"DAY", "30.02.2024", false}, {"DAY", "2024-01-01", false},
        {"DAY", "", true},           {"OK", "N", true},
        {"OK", "maybe", false},
    };
    for (const Case& c : cases) {
        t.beginEdit(1);
        if (c.ok) {
            EXPECT_NO_THROW(t.setFieldText(t.fieldIndex(c.field), c.text)) << c.field << " " << c.text;
        } else {
            EXPECT_THROW(t.setFieldText(t.fieldIndex(c.field), c.text), Error) << c.field << " " << c.text;
        }
        t.cancel();
    }
    EXPECT_EQ(readFile(path), before);
    // A failed assignment leaves the other pending changes of the edit as they were.
    t.beginEdit(1);
    t.setFieldText(0, "kiwi");
    EXPECT_THROW(t.setFieldText(1, "99999"), Error);
    t.post();
    EXPECT_EQ(t.displayText(1, 0), "kiwi");
    EXPECT_EQ(t.displayText(1, 1), "1.50");
}

TEST(TableEdit, PostWritesTheRecordInPlaceAndStampsTheHeader) {
    TempDir dir;
    const std::string path = editableTable(dir);
    const std::string before = readFile(path);
    {
        Table t;
        t.open(path);
        t.beginEdit(2);
        EXPECT_TRUE(t.editing());
        t.setFieldText(0, "plum");
        t.setFieldText(1, "3.5");
        t.setFieldText(2, "01.03.2021");
        t.setFieldValue(3, true);
        t.post();
        EXPECT_FALSE(t.editing());
        EXPECT_EQ(t.displayText(2, 1), "3.50");
    }
    const std::string after = readFile(path);
    ASSERT_EQ(after.size(), before.size());
    const std::size_t rec2 = 32 + 5 * 32 + 1 + 32;
    EXPECT_EQ(after.substr(rec2, 32), std::string(" plum    3.5020210301T") + std::string(10, ' '));
    EXPECT_EQ(after.substr(32, rec2 - 32), before.substr(32, rec2 - 32)); // first record untouched
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    EXPECT_EQ(static_cast<unsigned char>(after[1]), tm.tm_year % 256);
    EXPECT_EQ(static_cast<unsigned char>(after[2]), tm.tm_mon + 1);
}

TEST(TableEdit, TypedValuesOfEveryKind) {
    TempDir dir;
    DbfBuilder b(0x30, {{"I", 'I', 4, 0, 0x02}, {"Y", 'Y', 8, 4}, {"T", 'T', 8}, {"B", 'B', 8}, {"V", 'V', 5, 0, 0x02},
                        {"_NullFlags", '0', 1, 0, 0x05}});
    b.record({le32(1), std::string(8, '\0'), std::string(8, '\0'), std::string(8, '\0'), "abcde",
              std::string(1, '\x04')}); // V null
    Table t;
    t.open(dir.write("v.dbf", b.bytes()));
    t.beginEdit(1);
    t.setFieldText(0, "-42");
    t.setFieldText(1, "12.3456");
    t.setFieldText(2, "31.12.1999 23:59:58");
    t.setFieldValue(3, 0.1);
    t.setFieldText(4, "xy");
    EXPECT_THROW(t.setFieldText(0, "2147483648"), Error);
    EXPECT_THROW(t.setFieldText(1, "1.23456"), Error);
    t.post();
    EXPECT_EQ(t.displayText(1, 0), "-42");
    EXPECT_EQ(t.displayText(1, 1), "12.3456");
    EXPECT_EQ(t.displayText(1, 2), "31.12.1999 23:59:58");
    EXPECT_EQ(t.displayText(1, 3), "0.1");
    EXPECT_EQ(t.displayText(1, 4), "xy"); // short value: length bit set, null bit cleared
    EXPECT_FALSE(t.isNull(1, 4));
    t.beginEdit(1);
    t.setFieldValue(0, std::monostate{});
    t.post();
    EXPECT_TRUE(t.isNull(1, 0));
    EXPECT_EQ(t.displayText(1, 4), "xy"); // other flags kept
}

TEST(TableEdit, AppendKeepsCountDateAndEndMarkerRight) {
    TempDir dir;
    const std::string path = editableTable(dir);
    Table a, b;
    a.open(path);
    b.open(path);
    EXPECT_EQ(a.appendRecord(), 3u);
    // The second writer re-reads the count, so it never overwrites the first one's record.
    EXPECT_EQ(b.appendRecord(), 4u);
    b.beginEdit(4);
    b.setFieldText(0, "fig");
    b.post();
    a.beginEdit(3);
    a.setFieldText(0, "lime");
    a.post();
    const std::string bytes = readFile(path);
    const std::size_t header = 32 + 5 * 32 + 1;
    EXPECT_EQ(bytes.size(), header + 4 * 32 + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 4);
    Table c;
    c.open(path);
    EXPECT_EQ(c.recCount(), 4u);
    EXPECT_EQ(c.displayText(3, 0), "lime");
    EXPECT_EQ(c.displayText(4, 0), "fig");
    EXPECT_EQ(c.displayText(4, 1), "");
}

TEST(TableEdit, EditsStartFromTheFileAndRefreshShowsOtherWriters) {
    TempDir dir;
    const std::string path = editableTable(dir);
    Table a, b;
    a.open(path);
    b.open(path);
    EXPECT_EQ(b.displayText(1, 0), "apple"); // b has the record cached
    a.beginEdit(1);
    a.setFieldText(0, "grape");
    a.post();
    // b's edit of another field must not put back the old name.
    b.beginEdit(1);
    b.setFieldText(1, "9.99");
    b.post();
    Table c;
    c.open(path);
    EXPECT_EQ(c.displayText(1, 0), "grape");
    EXPECT_EQ(c.displayText(1, 1), "9.99");
    int changes = 0;
    b.addViewListener([&] { ++changes; });
    a.appendRecord();
    b.refresh();
    EXPECT_EQ(b.recCount(), 3u);
    EXPECT_EQ(changes, 1);
}

TEST(TableEdit, AppendNumbersAutoIncrementFields) {
    TempDir dir;
    DbfBuilder b(0x03, {{"N", '+', 4}, {"S", 'C', 2}});
    b.record({le32(41), "a"});
    const std::string path = dir.write("auto.dbf", b.bytes());
    Table t;
    t.open(path);
    EXPECT_EQ(t.appendRecord(), 2u);
    EXPECT_EQ(t.displayText(2, 0), "42");
    t.beginEdit(2);
    t.setFieldValue(0, std::int64_t{2147483647});
    t.post();
    const std::string before = readFile(path);
    EXPECT_THROW(t.appendRecord(), Error); // the counter has run out: nothing is written
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(t.recCount(), 2u);
}

TEST(TableEdit, DeleteMarksTheRecord) {
    TempDir dir;
    const std::string path = editableTable(dir);
    Table t;
    t.open(path);
    t.deleteRecord(1);
    EXPECT_EQ(readFile(path)[32 + 5 * 32 + 1], '*');
    EXPECT_EQ(t.recCount(), 2u);
    EXPECT_EQ(t.viewRecord(0), 2u);
    EXPECT_THROW(t.deleteRecord(3), Error);
}

TEST(TableEdit, MemoWritesAppendABlock) {
    for (const char* kind : {"dbt", "fpt"}) {
        SCOPED_TRACE(kind);
        TempDir dir;
        std::string path;
        if (std::string(kind) == "dbt") {
            path = editableTable(dir);
        } else {
            DbfBuilder b(0x30, {{"NAME", 'C', 6}, {"NOTE", 'M', 4}});
            std::vector<std::uint32_t> blocks;
            dir.write("shop.fpt", tabvue::testing::foxMemo({"old memo"}, 64, &blocks));
            b.record({"apple", le32(static_cast<std::int32_t>(blocks[0]))});
            b.record({"pear", le32(0)});
            path = dir.write("shop.dbf", b.bytes());
        }
        {
            Table t;
            t.open(path);
            const int note = t.fieldIndex("NOTE");
            t.beginEdit(2);
            t.setFieldText(note, std::string(700, 'x') + "\r\nend");
            t.post();
            t.beginEdit(1);
            t.setFieldText(note, "replaced");
            t.post();
        }
        Table t;
        t.open(path);
        const int note = t.fieldIndex("NOTE");
        EXPECT_EQ(t.displayText(2, note), std::string(700, 'x') + "\r\nend");
        EXPECT_EQ(t.displayText(1, note), "replaced");
    }
}

TEST(TableEdit, WritingAMemoWithoutItsFileFailsClearly) {
    TempDir dir;
    const std::string path = editableTable(dir);
    ::unlink(dir.file("shop.dbt").c_str());
    Table t;
    t.open(path);
    t.beginEdit(1);
    try {
        t.setFieldText(4, "text");
        FAIL() << "memo written without a memo file";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("memo file"), std::string::npos);
    }
}

TEST(TableEdit, ReadOnlyFileOpensButRefusesEdits) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    const std::string path = editableTable(dir);
    ::chmod(path.c_str(), 0444);
    Table t;
    t.open(path);
    EXPECT_TRUE(t.readOnly());
    EXPECT_EQ(t.displayText(1, 0), "apple");
    EXPECT_THROW(t.beginEdit(1), Error);
    EXPECT_THROW(t.appendRecord(), Error);
    EXPECT_THROW(t.deleteRecord(1), Error);
}

TEST(TableCopy, CopiesTableAndMemoUnderTheNewName) {
    TempDir dir;
    const std::string path = editableTable(dir);
    Table t;
    EXPECT_EQ(t.copyTo(dir.file("none.dbf")), 0); // nothing open
    t.open(path);
    EXPECT_EQ(t.copyTo(dir.file("Copy.DBF")), 1);
    EXPECT_EQ(readFile(dir.file("Copy.DBF")), readFile(path));
    EXPECT_EQ(readFile(dir.file("Copy.DBT")), readFile(dir.file("shop.dbt")));
    Table c;
    c.open(dir.file("Copy.DBF"));
    EXPECT_EQ(c.displayText(1, 4), "old memo");
    // No temporary files are left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 4);
}

TEST(TableCopy, OntoItselfIsRefused) {
    TempDir dir;
    const std::string path = editableTable(dir);
    const std::string before = readFile(path);
    Table t;
    t.open(path);
    EXPECT_THROW(t.copyTo(path), Error);
    EXPECT_THROW(t.copyTo(dir.path() + "/./shop.dbf"), Error);
    EXPECT_EQ(readFile(path), before);
    EXPECT_THROW(t.copyTo(dir.file("missing-dir/x.dbf")), Error);
}

TEST(TableRoundTrip, PeersReadWhatWeWrote) {
    if (::access("/usr/bin/python3", X_OK) != 0 || run("/usr/bin/python3 -c 'import dbfread' 2>&1") != "")
        GTEST_SKIP() << "python3-dbfread not installed";
    TempDir dir;
    const std::string path = editableTable(dir);
    {
        Table t;
        t.open(path);
        t.beginEdit(1);
        t.setFieldText(4, "new memo");
        t.post();
        const RecordNo added = t.appendRecord();
        t.beginEdit(added);
        t.setFieldText(0, "cherry");
        t.setFieldText(1, "-0.25");
        t.setFieldText(2, "24.12.2023");
        t.setFieldText(3, "T");
        t.post();
        t.deleteRecord(2);
        t.setOemTranslate(true); // ANSI text is written back in the OEM code page
        t.beginEdit(1);
        t.setFieldText(0, "\xC4pfel");
        t.post();
        ASSERT_EQ(t.copyTo(dir.file("copy.dbf")), 1);
    }
    for (const std::string& file : {path, dir.file("copy.dbf")}) {
        const std::string py =
            "/usr/bin/python3 -c \"import dbfread\n"
            "t = dbfread.DBF('" + file + "', encoding='cp437')\n"
            "for r in t: print(repr(list(r.values())))\n"
            "for r in t.deleted: print('*', repr(list(r.values())))\" 2>&1";
        EXPECT_EQ(run(py),
                  "['\xC3\x84pfel', 1.5, datetime.date(2020, 1, 1), True, 'new memo']\n"
                  "['cherry', -0.25, datetime.date(2023, 12, 24), True, None]\n"
                  "* ['pear', 2.0, datetime.date(2020, 2, 2), False, None]\n")
            << file;
    }
    if (::access("/usr/bin/pgdbf", X_OK) == 0) {
        const std::string pg = run("/usr/bin/pgdbf -s cp437 -m " + dir.file("copy.dbt") + " " + dir.file("copy.dbf") + " 2>&1");
        EXPECT_NE(pg.find("cherry\t-0.25\t2023-12-24\tt\t"), std::string::npos) << pg;
        EXPECT_NE(pg.find("new memo"), std::string::npos) << pg;
        EXPECT_EQ(pg.find("pear"), std::string::npos) << pg; // deleted records are left out
    }
}

} // namespace
