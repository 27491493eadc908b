#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "common/dbf_builder.h"

using tabvue::testing::DbfBuilder;
using tabvue::testing::le32;
using tabvue::testing::readFile;
using tabvue::testing::TempDir;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

CliRun cli(const TempDir& dir, const std::vector<std::string>& args) {
    std::string cmd = "TABVUE_ANSI_CODEPAGE=1252 TABVUE_OEM_CODEPAGE=437 " + quote(TABVUE_CLI_PATH);
    for (const std::string& a : args)
        cmd += " " + quote(a);
    cmd += " >" + quote(dir.file("out.txt")) + " 2>" + quote(dir.file("err.txt"));
    CliRun r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = readFile(dir.file("out.txt"));
    r.err = readFile(dir.file("err.txt"));
    return r;
}

// Text with every character the dump escapes, an OEM letter, a memo, a blob and a deleted record.
std::string sampleTable(const TempDir& dir) {
    DbfBuilder b(0x83, {{"NAME", 'C', 12},
                        {"PRICE", 'N', 8, 2},
                        {"SOLD", 'D', 8},
                        {"OK", 'L', 1},
                        {"NOTE", 'M', 10},
                        {"PIC", 'G', 10},
                        {"X", 'X', 2}});
    b.record({"a\tb\\c", "3.5", "19991231", "T", "         1", "", "zz"});
    b.record({"\x8E" "rger", "", "", "F", "", "", ""});
    b.record({"gone", "1", "20000101", " ", "", "", ""}, '*');
    b.record({"", "-2", "20200101", "?", "", "", ""});
    dir.write("sample.dbt", tabvue::testing::dbase3Memo({"line1\r\nline2"}));
    return dir.write("sample.dbf", b.bytes());
}

TEST(EngineCli, Structure) {
    TempDir dir;
    const CliRun r = cli(dir, {"structure", sampleTable(dir)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Name\tLetter\tType\tLen\tDec\n"
              "NAME\tC\tCharacter\t12\t0\n"
              "PRICE\tN\tNumeric\t8\t2\n"
              "SOLD\tD\tDate\t8\t0\n"
              "OK\tL\tBoolean\t1\t0\n"
              "NOTE\tM\tMemo\t10\t0\n"
              "PIC\tG\t\t10\t0\n"
              "X\tX\t\t2\t0\n");
}

TEST(EngineCli, DumpEscapesAndTranslates) {
    TempDir dir;
    const std::string table = sampleTable(dir);
    const CliRun r = cli(dir, {"dump", table});
    EXPECT_EQ(r.status, 0) << r.err;
    // The X field has no dataset field and no column; the OEM letter 0x8E becomes U+00C4.
    EXPECT_EQ(r.out,
              "a\\tb\\\\c\t3.50\t31.12.1999\tT\tline1\\r\\nline2\t** BINARY **\n"
              "\xC3\x84rger\t\t\tF\t\t** BINARY **\n"
              "\t-2.00\t01.01.2020\t\t\t** BINARY **\n");
    const CliRun ansi = cli(dir, {"dump", table, "--ansi", "--limit", "2"});
    EXPECT_EQ(ansi.out.substr(ansi.out.find('\n') + 1, 7), "\xC5\xBDrger\t"); // 0x8E in 1252
    const CliRun cp = cli(dir, {"dump", table, "--codepage", "866", "--limit", "2"});
    EXPECT_EQ(cp.out.substr(cp.out.find('\n') + 1, 6), "\xD0\x9Erger"); // 0x8E in 866
    const CliRun limited = cli(dir, {"dump", table, "--limit", "1"});
    EXPECT_EQ(std::count(limited.out.begin(), limited.out.end(), '\n'), 1);
}

TEST(EngineCli, DumpDeletedMarksThem) {
    TempDir dir;
    const CliRun r = cli(dir, {"dump", sampleTable(dir), "--deleted"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n*\tgone\t1.00\t01.01.2000\t\t\t** BINARY **\n"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

TEST(EngineCli, DumpWritesNullsAsBackslashN) {
    TempDir dir;
    DbfBuilder b(0x30, {{"I", 'I', 4, 0, 0x02}, {"_NullFlags", '0', 1, 0, 0x05}});
    b.record({le32(4), std::string(1, '\0')});
    b.record({le32(0), std::string(1, '\x01')});
    const CliRun r = cli(dir, {"dump", dir.write("n.dbf", b.bytes())});
    EXPECT_EQ(r.out, "4\n\\N\n");
}

TEST(EngineCli, CountAndFilters) {
    TempDir dir;
    const std::string table = sampleTable(dir);
    EXPECT_EQ(cli(dir, {"count", table}).out, "3\n");
    EXPECT_EQ(cli(dir, {"count", table, "--filter", "PRICE > 0"}).out, "1\n");
    EXPECT_EQ(cli(dir, {"dump", table, "--filter", "PRICE > 0"}).out.substr(0, 2), "a\\");
    const CliRun grid = cli(dir, {"count", table, "--grid-filter", "PRICE > 0"});
    EXPECT_EQ(grid.status, 0) << grid.err;
    EXPECT_EQ(grid.out, "1\n");
}

TEST(EngineCli, ErrorsGoToStderrWithStatusOne) {
    TempDir dir;
    const std::string table = sampleTable(dir);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"dump", dir.file("missing.dbf")}, "Unable to open table: "},
        {{"count", dir.write("junk.dbf", "not a table")}, "Unable to open table: "},
        {{"structure"}, "no table file"},
        {{"dump", table, "--limit"}, "needs a value"},
        {{"dump", table, "--limit", "x"}, "invalid limit"},
        {{"dump", table, "--bogus"}, "unknown option"},
        {{"dump", table, "--codepage", "12345"}, "code page"},
        {{"count", table, "--filter", "PRICE >"}, "Invalid Query Expression"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        const CliRun r = cli(dir, args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

} // namespace
