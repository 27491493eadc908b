// tabvue-cli export: formats, options by name, view-style names, errors and code pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/fake_export.h"

namespace {

using tabvue::exporter::testing::readFile;
using tabvue::exporter::testing::sameBytes;
using tabvue::exporter::testing::TempDir;
using tabvue::exporter::testing::writeFile;

// A dBase III table with character fields only.
std::string makeDbf(const std::vector<tabvue::testing::FieldSpec>& fields,
                    const std::vector<std::vector<std::string>>& records) {
    tabvue::testing::DbfBuilder b(0x03, fields);
    b.date(124, 1, 1);
    for (const auto& r : records)
        b.record(r);
    return b.bytes();
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result cli(const TempDir& dir, const std::string& arguments) {
    const std::string out = dir.file("stdout");
    const std::string err = dir.file("stderr");
    const std::string command = "TABVUE_ANSI_CODEPAGE=1252 TABVUE_OEM_CODEPAGE=437 '" TABVUE_CLI_PATH "' export " +
                                arguments + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    return {WEXITSTATUS(raw), readFile(out), readFile(err)};
}

struct CliExport : ::testing::Test {
    TempDir dir;
    std::string table;
    void SetUp() override {
        table = dir.file("people.dbf");
        writeFile(table, makeDbf({{"NAME", 'C', 8}, {"CITY", 'C', 12}}, {{"Ann", "Oslo"}, {"Bob Lee", "Rome, Lazio"}}));
    }
    std::string q(const std::string& s) const { return "'" + s + "'"; }
};

TEST_F(CliExport, WritesTheTextFormats) {
    const struct {
        const char* format;
        const char* options;
        const char* file;
        std::string expected;
    } cases[] = {
        {"txt", "--no-date", "out.TXT",
         "NAME     CITY        \r\n---------------------\r\nAnn      Oslo        \r\nBob Lee  Rome, Lazio \r\n"
         "---------------------\r\n"},
        {"csv", "", "out.CSV", "NAME,CITY\r\nAnn,Oslo\r\n\"Bob Lee\",\"Rome, Lazio\"\r\n"},
        {"csv", "--set Options+=xoRowNumbers", "out.CSV",
         ",NAME,CITY\r\n1,Ann,Oslo\r\n2,\"Bob Lee\",\"Rome, Lazio\"\r\n"},
        {"tab", "--no-date --header Customers --footer 'End\nof list'", "out.TXT",
         "Customers\r\nNAME\tCITY\r\nAnn\tOslo\r\nBob Lee\tRome, Lazio\r\nEnd\r\nof list\r\n"},
        {"txt", "--no-date --set Options=xoShowHeader,xoTruncate --set ColumnWidths=5,8 --set Captions=Who",
         "out.TXT", "Who   CITY    \r\nAnn   Oslo    \r\nBo... Rome,...\r\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.file(c.file));
        const Result r = cli(dir, std::string(c.format) + " " + q(table) + " " + q(dir.file("out.dat")) + " " + c.options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(sameBytes(readFile(dir.file(c.file)), c.expected)) << c.format << " " << c.options;
    }
}

TEST_F(CliExport, WithoutTargetWritesAViewFileAndNamesIt) {
    const Result r = cli(dir, "csv " + q(table) + " --set TempDir=" + q(dir.path() + "/"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir.path() + "/LUM1.CSV\n");
    EXPECT_EQ(readFile(dir.file("LUM1.CSV")).substr(0, 11), "NAME,CITY\r\n");
}

TEST_F(CliExport, ClipboardTextGoesToStandardOutput) {
    const Result r = cli(dir, "clipboard " + q(table) + " --no-date --set Options-=xoHeaderLine,xoFooterLine");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "NAME     CITY        \r\nAnn      Oslo        \r\nBob Lee  Rome, Lazio \r\n");
    EXPECT_EQ(r.err, "Data was copied to clipboard!\n");
}

TEST_F(CliExport, ErrorsGoToStandardErrorWithExitStatusOne) {
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"csv " + q(table) + " " + q(dir.file("missing/x.csv")), "xeGeneralExportError"},
        {"csv " + q(table) + " --set Bogus=1", "Unknown export property: Bogus"},
        {"csv " + q(table) + " --set Options=xoNothing", "Options"},
        {"csv " + q(table) + " --set RowNumberFormat=abc", "The format has to contain %d string."},
        {"csv " + q(table) + " --set TempDir=" + q(dir.path() + "/") + " --set Messages.CreatedText=100% --set Options=xoShowExportDate",
         ""},
        {"pdf " + q(table), "unknown format 'pdf'"},
        {"csv " + q(dir.file("absent.dbf")), "Unable to open table"},
        {"csv", "expected FORMAT FILE"},
        {"txt " + q(table) + " " + q(dir.file("t.txt")) + " --set Messages.CreatedText=100%",
         "xeGeneralExportError: Format '100% %s' invalid"},
    };
    for (const auto& c : cases) {
        const Result r = cli(dir, c.arguments);
        if (c.message.empty()) {
            // CSV has no date line: the bad pattern is never used.
            EXPECT_EQ(r.status, 0) << c.arguments << "\n" << r.err;
            continue;
        }
        EXPECT_EQ(r.status, 1) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("t.TXT")));
}

TEST_F(CliExport, CodePageChoices) {
    // 0x82 is e-acute in code page 437 and a Cyrillic capital VE in 866.
    writeFile(table, makeDbf({{"NAME", 'C', 4}}, {{"\x82"}}));
    const struct {
        const char* option;
        std::string cell;
    } cases[] = {{"", "\xE9"}, {"--oem", "\xE9"}, {"--ansi", "\x82"}, {"--codepage 866", "?"}, {"--codepage 437", "\xE9"}};
    for (const auto& c : cases) {
        const Result r = cli(dir, "tab " + q(table) + " " + q(dir.file("o.txt")) + " --no-date " + c.option);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(dir.file("o.TXT")), "NAME\r\n" + c.cell + "\r\n") << c.option;
    }
    EXPECT_EQ(cli(dir, "tab " + q(table) + " --codepage x").status, 1);
}

} // namespace
