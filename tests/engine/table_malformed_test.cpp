// Bad input: each file is a clear error or a lenient, correct read, never a crash or a wild read.
#include <gtest/gtest.h>

#include "common/dbf_builder.h"
#include "engine/table.h"

using namespace tabvue;
using namespace tabvue::engine;
using tabvue::testing::DbfBuilder;
using tabvue::testing::le32;
using tabvue::testing::putLe16;
using tabvue::testing::putLe32;
using tabvue::testing::TempDir;

namespace {

// ID N(3), NAME C(4), DAY D(8): records "  1 ann 20200101" and "  2 bob 20200202".
std::string goodTable() {
    DbfBuilder b(0x03, {{"ID", 'N', 3}, {"NAME", 'C', 4}, {"DAY", 'D', 8}});
    b.record({"  1", "ann", "20200101"});
    b.record({"  2", "bob", "20200202"});
    return b.bytes();
}
constexpr std::size_t kHeader = 32 + 3 * 32 + 1;
constexpr std::size_t kRecord = 16;

std::string openError(const std::string& bytes) {
    TempDir dir;
    Table t;
    try {
        t.open(dir.write("bad.dbf", bytes));
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(Malformed, HeadersThatCannotBeReadAreClearErrors) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    };
    std::string hugeHeader = goodTable();
    putLe16(hugeHeader, 8, 60000);
    std::string tinyHeader = goodTable();
    putLe16(tinyHeader, 8, 20);
    std::string noFields = goodTable();
    noFields[32] = '\r';
    std::string emptyName = goodTable();
    std::fill_n(emptyName.begin() + 64, 11, '\0');
    std::string controlType = goodTable();
    controlType[32 + 11] = '\x01';
    const Case cases[] = {
        {"empty file", "", "too short"},
        {"20 bytes", goodTable().substr(0, 20), "too short"},
        {"header cut short", goodTable().substr(0, 80), "truncated"},
        {"header length past the end", hugeHeader, "truncated"},
        {"header length too small", tinyHeader, "too small"},
        {"no fields", noFields, "no fields"},
        {"descriptor without name", emptyName, "damaged"},
        {"descriptor with a control byte as type", controlType, "damaged"},
    };
    for (const Case& c : cases) {
        const std::string message = openError(c.bytes);
        EXPECT_EQ(message.rfind("Unable to open table: ", 0), 0u) << c.what << ": " << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
    }
}

TEST(Malformed, CountsAndLengthsThatDisagreeWithTheFile) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
        std::uint32_t records;
        const char* lastName;
    };
    std::string overCount = goodTable();
    putLe32(overCount, 4, 1000000);
    std::string partial = goodTable();
    partial.resize(kHeader + kRecord + 5); // second record cut short, no end marker
    std::string shortRecordLength = goodTable();
    putLe16(shortRecordLength, 10, 5); // the fields need 16 bytes
    std::string noMarker = goodTable();
    noMarker.pop_back();
    std::string junkAfter = goodTable() + "junk after the data";
    const Case cases[] = {
        {"count larger than the file holds", overCount, 2, "bob"},
        {"partial last record", partial, 1, "ann"},
        {"record length shorter than the fields", shortRecordLength, 2, "bob"},
        {"no end marker", noMarker, 2, "bob"},
        {"junk after the data", junkAfter, 2, "bob"},
    };
    for (const Case& c : cases) {
        Table t;
        ASSERT_NO_THROW(t.open(dir.write("t.dbf", c.bytes))) << c.what;
        EXPECT_EQ(t.recCount(), c.records) << c.what;
        EXPECT_EQ(t.displayText(c.records, 1), c.lastName) << c.what;
        EXPECT_EQ(t.displayText(c.records + 1, 1), "") << c.what;
        while (!t.advanceView(10)) {
        }
        EXPECT_EQ(t.viewCount(), c.records) << c.what;
    }
}

TEST(Malformed, PaddedRecordsAndOddTerminators) {
    TempDir dir;
    // Records longer than their fields: the padding is skipped.
    DbfBuilder padded(0x03, {{"A", 'C', 2}, {"PAD", 'X', 3}});
    padded.record({"ab", "xyz"});
    padded.record({"cd", "xyz"});
    Table t;
    t.open(dir.write("padded.dbf", padded.bytes()));
    EXPECT_EQ(t.fields().size(), 1u);
    EXPECT_EQ(t.displayText(2, 0), "cd");

    // A line feed as header terminator, and a header without any terminator byte.
    std::string lf = goodTable();
    lf[kHeader - 1] = '\n';
    Table a;
    a.open(dir.write("lf.dbf", lf));
    EXPECT_EQ(a.displayText(2, 1), "bob");
    std::string bare = goodTable();
    bare.erase(kHeader - 1, 1);
    putLe16(bare, 8, static_cast<unsigned>(kHeader - 1));
    Table b;
    b.open(dir.write("bare.dbf", bare));
    EXPECT_EQ(b.descriptors().size(), 3u);
    EXPECT_EQ(b.displayText(2, 1), "bob");

    // An unknown version byte opens when the rest of the header is consistent.
    std::string odd = goodTable();
    odd[0] = '\x07';
    Table c;
    c.open(dir.write("odd.dbf", odd));
    EXPECT_EQ(c.versionByte(), 0x07);
    EXPECT_EQ(c.displayText(1, 1), "ann");
}

TEST(Malformed, GarbageInsideFields) {
    TempDir dir;
    DbfBuilder b(0x03, {{"N", 'N', 6, 2}, {"D", 'D', 8}, {"I", 'I', 2}, {"Z", 'C', 0}, {"L", 'L', 1}});
    b.record({std::string("\0\0\0\0\0\0", 6), std::string("\0\0\0\0\0\0\0\0", 8), "xx", "", "\x01"});
    b.record({"12ab", "2020AB01", "", "", "T"});
    b.record({"1.2.3", "99999999", "", "", "F"});
    Table t;
    t.open(dir.write("g.dbf", b.bytes()));
    // A two-byte integer field cannot hold an integer, and a zero-width field holds nothing.
    ASSERT_EQ(t.fields().size(), 3u);
    EXPECT_EQ(t.descriptors().size(), 5u);
    for (RecordNo r = 1; r <= 3; ++r) {
        EXPECT_EQ(t.displayText(r, 0), "") << r;
        EXPECT_EQ(t.displayText(r, 1), "") << r;
        EXPECT_TRUE(std::get<Date>(t.value(r, 1)).empty());
    }
    EXPECT_TRUE(engine::isNull(t.value(1, 2)));
    EXPECT_EQ(t.displayText(2, 2), "T");
}

TEST(Malformed, MemoPointersAndMemoFiles) {
    TempDir dir;
    DbfBuilder b(0x83, {{"M", 'M', 10}});
    b.record({"4294967295"}); // far past the memo file
    b.record({"9999999999"}); // does not fit 32 bits
    b.record({"abc"});
    b.record({"         1"});
    // A dBase III memo without its end-of-text mark runs to the end of the file.
    dir.write("m.dbt", std::string(512, '\0') + "unterminated text");
    Table t;
    t.open(dir.write("m.dbf", b.bytes()));
    EXPECT_EQ(t.displayText(1, 0), "");
    EXPECT_EQ(t.displayText(2, 0), "");
    EXPECT_EQ(t.displayText(3, 0), "");
    EXPECT_EQ(t.displayText(4, 0), "unterminated text");

    // A FoxPro memo block whose length runs past the file, in a memo file stating no block size.
    std::string fpt = tabvue::testing::foxMemo({"short"}, 512);
    fpt[6] = fpt[7] = '\0';
    fpt[512 + 4] = '\x7F';
    DbfBuilder f(0x30, {{"M", 'M', 4}});
    f.record({le32(1)});
    f.record({le32(-1)});
    dir.write("f.fpt", fpt);
    Table u;
    u.open(dir.write("f.dbf", f.bytes()));
    const std::string memo = u.displayText(1, 0);
    EXPECT_EQ(memo.substr(0, 5), "short");
    EXPECT_EQ(memo.size(), fpt.size() - 512 - 8);
    EXPECT_EQ(u.displayText(2, 0), "");
}

TEST(Malformed, NullFlagsNarrowerThanTheirBits) {
    TempDir dir;
    std::vector<tabvue::testing::FieldSpec> fields;
    for (int i = 0; i < 10; ++i)
        fields.push_back({"F" + std::to_string(i), 'C', 1, 0, 0x02});
    fields.push_back({"_NullFlags", '0', 1, 0, 0x05});
    DbfBuilder b(0x30, fields);
    b.record({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", std::string(1, '\xFF')});
    Table t;
    t.open(dir.write("n.dbf", b.bytes()));
    EXPECT_TRUE(t.isNull(1, 7));
    EXPECT_FALSE(t.isNull(1, 8)); // its bit would lie past the flags
    EXPECT_EQ(t.displayText(1, 9), "j");
}

} // namespace
