#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/fake_export.h"
#include "export/office_reader.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

// LibreOffice reads our page as a table and every value comes back as it was, markup included.
TEST(HtmlOffice, EveryValueComesBack) {
    if (!officeAvailable())
        GTEST_SKIP() << "soffice is not installed";
    FakeExport e;
    awkwardSource(e);
    TempDir dir;
    const std::string path = dir.file("awkward.html");
    e.setExportType(ExportType::xtHTML);
    e.writeDocument(path);
    const auto csv = officeConvert(path, "csv:Text - txt - csv (StarCalc):44,34,76", "csv", "HTML (StarCalc)");
    ASSERT_TRUE(csv) << "LibreOffice could not read " << path;
    const auto rows = parseCsv(*csv);
    ASSERT_GE(rows.size(), 1u);
    std::size_t first = 0;
    while (first < rows.size() && (rows[first].empty() || rows[first][0] != "VALUE"))
        ++first;
    ASSERT_LT(first, rows.size()) << *csv;
    const std::vector<std::string>& values = awkwardValues();
    ASSERT_GE(rows.size(), first + 1 + values.size()) << *csv;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string want = utf8(values[i]);
        // How a browser reads the page too: a line break or a tab in HTML text is white space, and
        // an empty cell holds a non-breaking space so that its borders are drawn (LibreOffice gives
        // it back as a plain space).
        if (want == "line one\r\nline two")
            want = "line one line two";
        else if (want == "tab\there")
            want = "tab here";
        else if (want.empty())
            want = " ";
        // LibreOffice's HTML import takes a cell text that starts with '=' for a formula.
        else if (want == "=1+1")
            want = "2";
        const std::vector<std::string>& row = rows[first + 1 + i];
        ASSERT_GE(row.size(), 2u) << "record " << i + 1;
        EXPECT_EQ(row[0], want) << "record " << i + 1;
        EXPECT_EQ(row[1], "r" + std::to_string(i + 1));
    }
}

} // namespace
} // namespace tabvue::exporter
