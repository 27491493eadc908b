#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "export/fake_export.h"
#include "export/office_reader.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

// LibreOffice reads our RTF document, and every value comes back as it was in the table's cells.
TEST(RtfOffice, EveryValueComesBack) {
    if (!officeAvailable())
        GTEST_SKIP() << "soffice is not installed";
    FakeExport e;
    awkwardSource(e);
    TempDir dir;
    const std::string path = dir.file("awkward.rtf");
    e.setExportType(ExportType::xtRTF);
    e.writeDocument(path);
    const auto text = officeConvert(path, "txt:Text (encoded):UTF8", "txt");
    ASSERT_TRUE(text) << "LibreOffice could not read " << path;
    // The text export gives each cell on a line of its own.
    std::vector<std::string> lines;
    std::size_t start = text->starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (std::size_t p; (p = text->find('\n', start)) != std::string::npos; start = p + 1)
        lines.push_back(text->substr(start, p - start - (p > start && (*text)[p - 1] == '\r' ? 1 : 0)));
    // The document starts with an empty paragraph before the table.
    const auto table = std::find(lines.begin(), lines.end(), "VALUE");
    ASSERT_NE(table, lines.end()) << *text;
    lines.erase(lines.begin(), table);
    std::vector<std::string> want = {"VALUE", "ROW"};
    for (std::size_t i = 0; i < awkwardValues().size(); ++i) {
        std::string v = utf8(awkwardValues()[i]);
        if (v == "line one\r\nline two") { // a line break within the cell
            want.push_back("line one");
            v = "line two";
        }
        want.push_back(v);
        want.push_back("r" + std::to_string(i + 1));
    }
    lines.resize(std::min(lines.size(), want.size()));
    EXPECT_EQ(lines, want) << *text;
}

// A Cyrillic table: the fonts declare the character set the host realises (204), and the text
// comes back in its own letters.
TEST(RtfOffice, CyrillicTextComesBack) {
    if (!officeAvailable())
        GTEST_SKIP() << "soffice is not installed";
    struct CyrillicHost : FakeHost {
        FontMetrics fontMetrics(const FontDescription&) override { return {FontFamily::Swiss, 204}; }
    } host;
    const std::string word = "\xCF\xF0\xE8\xE2\xE5\xF2"; // a greeting in code page 1251
    FakeExport e({{"NAME", 10}}, {{word}});
    TempDir dir;
    const std::string path = dir.file("cyrillic.rtf");
    e.setExportType(ExportType::xtRTF);
    e.setHost(&host);
    e.writeDocument(path);
    const auto text = officeConvert(path, "txt:Text (encoded):UTF8", "txt");
    ASSERT_TRUE(text) << "LibreOffice could not read " << path;
    EXPECT_NE(text->find(engine::codePage(1251).decode(word)), std::string::npos) << *text;
}

} // namespace
} // namespace tabvue::exporter
