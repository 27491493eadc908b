// LibreOffice reads our CSV back with every value intact.
#include <gtest/gtest.h>

#include "export/document.h"
#include "fake_export.h"
#include "office_reader.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

std::string withoutCr(std::string s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n'))
            out += s[i];
    return out;
}

TEST(CsvOffice, ValuesReadBackIntact) {
    if (!officeAvailable())
        GTEST_SKIP() << "soffice is not installed";
    FakeExport e;
    awkwardSource(e);
    // The values the run must carry: commas, quotes alone and doubled, a lone LF, a CR LF pair,
    // leading and trailing blanks, non-ASCII text.
    const std::vector<std::string> extra = {"ab\"c", "one\ntwo", "  padded  ", "\xC5se, \xD8ye", "\"", ","};
    for (const std::string& v : extra)
        e.rows.push_back({v, std::string("r") + std::to_string(e.rows.size() + 1)});
    e.setOptions(e.options() | ExportOptionSet{ExportOption::xoShowHeader});
    FakeHost host;
    TempDir dir;
    e.setHost(&host);
    e.setExportType(ExportType::xtCSV);
    const std::string path = dir.file("values.csv");
    e.writeDocument(path);

    // Both columns are read as text, so that LibreOffice keeps "=1+1" and "100%" as they stand.
    const std::optional<std::string> back =
        officeConvert(path, "csv:Text - txt - csv (StarCalc):44,34,76,1", "csv", "CSV:44,34,1,1,1/2/2/2,0,true,false");
    ASSERT_TRUE(back.has_value()) << "LibreOffice produced nothing";
    const auto rows = parseCsv(*back);
    ASSERT_EQ(rows.size(), e.rows.size() + 1) << *back;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"VALUE", "ROW"}));
    for (std::size_t i = 0; i < e.rows.size(); ++i) {
        const std::string& value = std::get<std::string>(e.rows[i][0]);
        ASSERT_EQ(rows[i + 1].size(), 2u) << i;
        // A line break comes back as LF whatever it was written as.
        EXPECT_EQ(withoutCr(rows[i + 1][0]), withoutCr(utf8(value))) << i;
        EXPECT_EQ(rows[i + 1][1], "r" + std::to_string(i + 1));
    }
}

} // namespace
} // namespace tabvue::exporter
