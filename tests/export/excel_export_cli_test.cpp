// tabvue-cli export xls with sheet options set by name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "export/native_excel_testing.h"

namespace tabvue::exporter {
namespace {

namespace fs = std::filesystem;
using testing::hexBytes;
using testing::sameBytes;

using ::tabvue::testing::readFile;

TEST(ExcelExportCli, SheetOptionsBySet) {
    const fs::path source = fs::path(TABVUE_SHARED_DIR) / "corpus/dbf/infused-dbf/dbase_8b.dbf";
    if (!fs::exists(source)) GTEST_SKIP() << "corpus not found";
    if (!fs::exists(TABVUE_CLI_PATH)) GTEST_SKIP() << "tabvue-cli is not built";
    std::string t = (fs::temp_directory_path() / "tabvue-xls-cli-XXXXXX").string();
    const fs::path dir = ::mkdtemp(t.data());

    const std::string command = std::string("'") + TABVUE_CLI_PATH + "' export xls '" + source.string() + "' '" +
                                (dir / "out.txt").string() +
                                "' --set EXCEL.ExcelVersion=xls21 --set EXCEL.Options=reCellsAsText"
                                " --set EXCEL.Protected=true --set EXCEL.Footer= --set EXCEL.DefaultFont.Name=Arial"
                                " --set Options=xoShowHeader >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string bytes = readFile(dir / "out.XLS");
    fs::remove_all(dir);

    // BIFF2 set-up, font 0 named Arial, then straight to the captions: no footer, no margins.
    const std::string start = hexBytes("09 00 04 00 00 02 10 00  00 00 08 00 00 00 FF FF 00 00 00 01"
                                       "31 00 0A 00 A0 00 00 00 05 41 72 69 61 6C");
    ASSERT_GT(bytes.size(), start.size());
    EXPECT_TRUE(sameBytes(bytes.substr(0, start.size()), start));
    // The first data row's number (display text 1.00) is a text cell without borders; the sheet ends protected.
    EXPECT_NE(bytes.find(hexBytes("04 00 0C 00 01 00 01 00 40 80 00 04 31 2E 30 30")), std::string::npos);
    EXPECT_EQ(bytes.find(hexBytes("03 00 0F 00")), std::string::npos) << "no number cells";
    EXPECT_TRUE(sameBytes(bytes.substr(bytes.size() - 10), hexBytes("12 00 02 00 01 00 0A 00 00 00")));
}

} // namespace
} // namespace tabvue::exporter
