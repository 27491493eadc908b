// LibreOffice reads our bare BIFF streams back, in each of the four record versions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/dbf_builder.h"
#include "export/custom_export.h"

namespace tabvue::exporter {
namespace {

namespace fs = std::filesystem;

class RowSource : public CustomExport {
public:
    std::vector<std::string> captions;
    std::vector<Values> rows;
    bool failed = false;

    RowSource() {
        onError = [this](CustomExport&, ExportError) { failed = true; };
    }
    void first() override { at_ = 0; }
    bool isSourceReady() override { return true; }
    bool eof() override { return at_ >= rows.size(); }
    bool isColumnVisible(int) override { return true; }
    bool isRowSelected(std::uint32_t) override { return true; }
    int dataWidth(int) override { return 10; }
    std::string columnCaption(int i) override { return captions[static_cast<std::size_t>(i)]; }
    int columnCount() override { return static_cast<int>(captions.size()); }
    void readRow(Values& values) override { values = rows[at_++]; }
    std::uint32_t countRecords() override { return static_cast<std::uint32_t>(rows.size()); }

private:
    std::size_t at_ = 0;
};

using ::tabvue::testing::readFile;

bool haveSoffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

TEST(ExcelExportReader, LibreOfficeReadsEveryValueInEachVersion) {
    if (!haveSoffice()) GTEST_SKIP() << "soffice is not installed";
    std::string t = (fs::temp_directory_path() / "tabvue-xls-lo-XXXXXX").string();
    const fs::path dir = ::mkdtemp(t.data());

    RowSource s;
    s.captions = {"NAME", "QTY", "NOTE"};
    const std::string longText(300, 'x');
    s.rows = {
        {std::string("Apple, \"red\""), std::string("12.5"), std::string("24.12.2003")},
        {std::string("caf\xE9"), std::string("-3"), std::string("12,5")},
        {std::string("Pear"), std::string("1e3"), std::string("1 000")},
        {std::string("  7"), std::string("$1F"), std::string("0x10")},
        {std::string("big"), std::string("$10000"), std::monostate{}},
        {std::string("long"), std::string("."), longText},
    };
    s.setOptions(s.options().insert(ExportOption::xoRowNumbers));
    s.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "Stock list"; };
    s.onGetFooter = [](CustomExport&, std::uint32_t, std::string& f) { f = "The end"; };

    const ExcelVersion versions[] = {ExcelVersion::xls21, ExcelVersion::xls30, ExcelVersion::xls40,
                                     ExcelVersion::xls50};
    std::string files;
    for (int v = 0; v < 4; ++v) {
        s.excel().excelVersion = versions[v];
        const fs::path target = dir / ("v" + std::to_string(v) + ".xls");
        s.writeDocument(target.string());
        ASSERT_FALSE(s.failed);
        files += " '" + target.string() + "'";
    }
    // A profile of our own, so the conversion never meets another running instance.
    const std::string command = "cd '" + dir.string() + "' && LANG=C.UTF-8 LC_ALL=C.UTF-8 timeout 180 soffice" +
                                " -env:UserInstallation=file://" + dir.string() + "/profile --headless" +
                                " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir '" +
                                dir.string() + "/csv'" + files + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const std::string expected = "Stock list,,,\n"
                                 ",,,\n"
                                 ",NAME,QTY,NOTE\n"
                                 "1,\"Apple, \"\"red\"\"\",12.5,24.12.2003\n"
                                 "2,caf\xC3\xA9,-3,\"12,5\"\n"
                                 "3,Pear,1000,1 000\n"
                                 "4,7,31,16\n"
                                 "5,big,65536,** NULL **\n"
                                 "6,long,0," + std::string(255, 'x') + "\n"
                                 ",,,\n"
                                 "The end,,,\n";
    for (int v = 0; v < 4; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        EXPECT_EQ(readFile(dir / "csv" / ("v" + std::to_string(v) + ".csv")), expected);
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace tabvue::exporter
