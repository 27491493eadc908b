#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "export/document.h"
#include "export/fake_export.h"
#include "export/rtf_writer.h"

namespace tabvue::exporter {
namespace {

using testing::FakeExport;
using testing::FakeHost;
using testing::exportToBytes;
using testing::sameBytes;

const std::string B = "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
const std::string P = "}\\pard \\nowidctlpar\\widctlpar\\intbl\\adjustright {\\row}";
const std::string Par = "\\pard\\ri-123\\nowidctlpar\\widctlpar\\intbl\\adjustright";

const std::string StyleSheet = "{\\stylesheet{\\nowidctlpar\\widctlpar\\adjustright \\fs20\\cgrid \\snext0 Normal;}\r\n"
                               "{\\*\\cs10 \\additive Default Paragraph Font;}}\r\n"
                               "{\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang{\\pntxta.}}\r\n"
                               "{\\*\\pnseclvl2\\pnucltr\\pnstart1\\pnindent720\\pnhang{\\pntxta .}}\r\n"
                               "{\\*\\pnseclvl3\\pndec\\pnstart1\\pnindent720\\pnhang{\\pntxta.}}\r\n"
                               "{\\*\\pnseclvl4\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxta)}}\r\n"
                               "{\\*\\pnseclvl5\\pndec\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
                               "{\\*\\pnseclvl6\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta )}}\r\n"
                               "{\\*\\pnseclvl7\\pnlcrm\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
                               "{\\*\\pnseclvl8\\pnlcltr\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta)}}\r\n"
                               "{\\*\\pnseclvl9\\pnlcrm\\pnstart1\\pnindent720\\pnhang{\\pntxtb (}{\\pntxta )}}\r\n";

std::string rowDef(const std::string& pat, const std::vector<int>& xs, bool grid = true) {
    std::string s = "\\trowd\\trgaph108\\trrh260\\trleft0";
    for (int x : xs)
        s += "\\clvertalc" + (grid ? B : std::string()) + " \\clcbpat" + pat + "\\cltxlrtb\\cellx" + std::to_string(x);
    return s;
}

// A host whose display and fonts the test chooses.
class MetricsHost : public FakeHost {
public:
    int ppi = 96;
    FontMetrics metrics;
    int pixelsPerInch() override { return ppi; }
    FontMetrics fontMetrics(const FontDescription&) override { return metrics; }
};

struct RtfFixture : ::testing::Test {
    FakeExport e;
    MetricsHost host;
    void SetUp() override { testing::workedExample(e); }
    std::string run(ExportType type = ExportType::xtRTF) { return exportToBytes(e, type, &host); }
};

TEST_F(RtfFixture, TwoRecordDocumentByteForByte) {
    const std::string expected =
        "{\\rtf1\\ansi\\deff0\\deftab720\r\n"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 MS Sans Serif;}{\\f1\\fswiss\\fcharset0 MS Sans Serif;}"
        "{\\f2\\fswiss\\fcharset0 MS Sans Serif;}}\r\n"
        "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red0\\green0\\blue0;\\red0\\green0\\blue128;"
        "\\red255\\green255\\blue255;\\red128\\green255\\blue0;}\r\n"
        "\\margl461\\margr562\\margt101\\margb101\\par \\pard\\plain\\cgrid\r\n" +
        StyleSheet + rowDef("3", {1458, 2917}) + Par + " {\\f1\\fs16\\b\\cf1\\cgrid0 NAME\\cell CITY\\cell " + P +
        "\r\n" + rowDef("4", {1458, 2917}) + Par + " {\\f2\\fs16\\cf2\\cgrid0 Ann\\cell Oslo\\cell " + P + "\r\n" +
        rowDef("5", {1458, 2917}) + Par + " {\\f2\\fs16\\cf2\\cgrid0 Bob Lee\\cell Rome, Lazio\\cell " + P + "\r\n" +
        "\\pard\\nowidctlpar\\widctlpar\\adjustright {\r\n"
        "\\par \\pard\\plain\\f0\\fs16\\cf0 Created: D\r\n"
        "}}";
    const std::string rtf = run();
    EXPECT_TRUE(sameBytes(rtf, expected));
    EXPECT_TRUE(sameBytes(run(ExportType::xtWord), rtf)); // Word gives the same bytes
    e.setExportType(ExportType::xtWord);
    EXPECT_EQ(e.defaultExtension(), "DOC");
}

TEST_F(RtfFixture, RowNumbersOptionsOffAndPpi120) {
    host.ppi = 120;
    e.setOptions(e.options().insert(ExportOption::xoRowNumbers).erase(ExportOption::xoShowExportDate));
    e.docRtf().options = {};
    e.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "Customers\r\n{\\b bold}"; };
    e.onGetFooter = [](CustomExport&, std::uint32_t, std::string& f) { f = "End"; };
    const std::string rtf = run();
    const std::string para = "\\par \\pard\\plain\\f0\\fs16\\cf0 ";
    // Header lines are the caller's own and stay as given; they come before the style sheet.
    EXPECT_NE(rtf.find("\\margb101" + para + "Customers\r\n" + para + "{\\b bold}\r\n\\par \\pard\\plain\\cgrid\r\n"),
              std::string::npos);
    const std::vector<int> xs = {1167, 2333, 3500};
    EXPECT_NE(rtf.find(rowDef("3", xs, false) + Par + " {\\f1\\fs16\\b\\cf1\\cgrid0  \\cell NAME\\cell CITY\\cell " + P),
              std::string::npos);
    EXPECT_NE(rtf.find(rowDef("4", xs, false) + Par + " {\\f2\\fs16\\cf2\\cgrid0 1\\cell Ann\\cell Oslo\\cell "),
              std::string::npos);
    // Without odd-row colouring the second record keeps the table background.
    EXPECT_NE(rtf.find(rowDef("4", xs, false) + Par + " {\\f2\\fs16\\cf2\\cgrid0 2\\cell Bob Lee"), std::string::npos);
    EXPECT_TRUE(rtf.ends_with("\\pard\\nowidctlpar\\widctlpar\\adjustright {\r\n" + para + "End\r\n}}"));
}

TEST_F(RtfFixture, HiddenColumnNoCaptionRowNoRecords) {
    e.columns = {{"A", 3}, {"H", 3, false}, {"B", 3}};
    e.rows = {{std::string("a"), std::string("hidden"), std::string("b")}};
    e.setColumnWidths({});
    e.setOptions(e.options().erase(ExportOption::xoShowHeader));
    std::string rtf = run();
    // Three cell definitions, two filled cells; the first row after the style sheet is a data row.
    EXPECT_NE(rtf.find("{\\pntxtb (}{\\pntxta )}}\r\n" + rowDef("4", {1458, 2917, 4375}) + Par +
                       " {\\f2\\fs16\\cf2\\cgrid0 a\\cell b\\cell " + P + "\r\n"),
              std::string::npos);

    e.rows.clear();
    e.setOptions(DefaultExportOptions);
    rtf = run();
    EXPECT_TRUE(rtf.ends_with("\\pntxta )}}\r\n" + rowDef("3", {1458, 2917, 4375}) + Par +
                              " {\\f1\\fs16\\b\\cf1\\cgrid0 A\\cell B\\cell " + P +
                              "\r\n\\pard\\nowidctlpar\\widctlpar\\adjustright {\r\n"
                              "\\par \\pard\\plain\\f0\\fs16\\cf0 Created: D\r\n}}"));
}

// Backslashes and braces from the table are escaped, so every group still closes where it opens.
TEST_F(RtfFixture, TableDataIsEscaped) {
    e.columns = {{"C{1}", 10}, {"D\\", 10}};
    e.rows = {{std::string("a\\par b"), std::string("}}{\\rtf1 x")},
              {std::string("\xE9t\xE9"), std::string("")},
              {std::string("one\r\ntwo\nthree\r"), std::string("{")}};
    e.setColumnWidths({});
    const std::string rtf = run();
    EXPECT_NE(rtf.find(" C\\{1\\}\\cell D\\\\\\cell "), std::string::npos);
    EXPECT_NE(rtf.find(" a\\\\par b\\cell \\}\\}\\{\\\\rtf1 x\\cell "), std::string::npos);
    EXPECT_NE(rtf.find(" \xE9t\xE9\\cell \\cell "), std::string::npos); // bytes above 127 go out as they are
    // A line break stays a line break within the cell; the row is still one line of the file.
    EXPECT_NE(rtf.find(" {\\f2\\fs16\\cf2\\cgrid0 one\\line two\\line three\\line \\cell \\{\\cell " + P + "\r\n"),
              std::string::npos);
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
            continue;
        }
        depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
        ASSERT_GT(depth, i + 1 < rtf.size() ? 0 : -1) << "group closed early at offset " << i;
    }
    EXPECT_EQ(depth, 0);
}

TEST_F(RtfFixture, Alignments) {
    e.columns = {{"L", 5, true, 1}, {"R", 5, true, 2}, {"C", 5, true, 3}, {"N", 5, true, 0}};
    e.rows = {{std::string("a"), std::string("b"), std::string("c"), std::string("d")}};
    e.setColumnWidths({});
    EXPECT_NE(run().find(" {\\f2\\fs16\\cf2\\cgrid0 \\ql a\\cell \\qr b\\cell \\qc c\\cell d\\cell }"),
              std::string::npos);
    e.setOptions(e.options().erase(ExportOption::xoUseAlignments));
    EXPECT_NE(run().find(" {\\f2\\fs16\\cf2\\cgrid0 a\\cell b\\cell c\\cell d\\cell }"), std::string::npos);
}

TEST(RtfPieces, FontEntryAndStyle) {
    FontDescription f;
    EXPECT_EQ(rtfFontEntry(1, f, {FontFamily::Swiss, 0}), "{\\f1\\fswiss\\fcharset0 MS Sans Serif;}");
    const std::vector<std::pair<FontMetrics, std::string>> cases = {
        {{FontFamily::Dontcare, 2}, "\\fdontcare\\fcharset2"},   {{FontFamily::Roman, 128}, "\\froman\\fcharset128"},
        {{FontFamily::Modern, 255}, "\\fmodern\\fcharset255"},   {{FontFamily::Script, 204}, "\\fscript\\fcharset204"},
        {{FontFamily::Decorative, 1}, "\\fdecorative\\fcharset1"}, {{FontFamily::Swiss, 238}, "\\fswiss\\fcharset238"},
        {{FontFamily::Swiss, 256}, "\\fswiss\\fcharset1"},
    };
    for (const auto& [m, words] : cases)
        EXPECT_EQ(rtfFontEntry(0, f, m), "{\\f0" + words + " MS Sans Serif;}");

    EXPECT_EQ(rtfFontStyle(f), "\\fs16");
    f.setSize(10);
    f.style = {FontStyle::fsStrikeOut, FontStyle::fsItalic};
    EXPECT_EQ(rtfFontStyle(f), "\\fs20\\i\\strike");
    f.style = FontStyleSet::fromBits(0xF);
    EXPECT_EQ(rtfFontStyle(f), "\\fs20\\b\\i\\ul\\strike");
}

TEST(RtfPieces, ColoursAndBoundaries) {
    EXPECT_EQ(rtfColorEntry(0x800000), "\\red0\\green0\\blue128;");
    EXPECT_EQ(rtfColorEntry(clWindowText), "\\red8\\green0\\blue0;"); // a system constant, split as it stands
    RtfOptions o;
    o.colorTemplate = RtfColorTemplate::rtClassic;
    EXPECT_EQ(rtfSlotColor(o, rsHeaderText), 0x0000FFu);
    EXPECT_EQ(rtfSlotColor(o, rsOddRowBackground), 0xFF8080u);
    o.colorTemplate = RtfColorTemplate::rtCustom;
    o.customSettings.headerFont.color = 0x010203;
    o.customSettings.tableOddBackground = 0x040506;
    EXPECT_EQ(rtfSlotColor(o, rsHeaderText), 0x010203u);
    EXPECT_EQ(rtfSlotColor(o, rsOddRowBackground), 0x040506u);
    EXPECT_EQ(rtfSlotColor(o, rsParagraphText), clWindowText);

    for (auto [k, want] : std::vector<std::pair<int, long long>>{{1, 1458}, {2, 2917}, {3, 4375}, {4, 5833}, {5, 7292}})
        EXPECT_EQ(rtfCellBoundary(k, 96, 1400), want);
    for (auto [k, want] : std::vector<std::pair<int, long long>>{{1, 1167}, {2, 2333}, {3, 3500}})
        EXPECT_EQ(rtfCellBoundary(k, 120, 1400), want);
    // Halves go to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
    EXPECT_EQ(rtfCellBoundary(1, 200, 1), 0);
    EXPECT_EQ(rtfCellBoundary(3, 200, 1), 2);
    EXPECT_EQ(rtfCellBoundary(5, 200, 1), 2);
}

TEST_F(RtfFixture, CustomTemplateFontsAndCharsets) {
    host.metrics = {FontFamily::Modern, 204};
    RtfOptions& r = e.docRtf();
    r.colorTemplate = RtfColorTemplate::rtCustom;
    r.customSettings.tableFont.name = "Courier New";
    r.customSettings.tableFont.style = {FontStyle::fsItalic};
    r.customSettings.tableFont.color = 0x0000FF;
    r.cellWidth = 1000;
    r.leftMargin = 1;
    const std::string rtf = run();
    EXPECT_NE(rtf.find("{\\f2\\fmodern\\fcharset204 Courier New;}}\r\n"), std::string::npos);
    EXPECT_NE(rtf.find("{\\colortbl\\red8\\green0\\blue0;\\red8\\green0\\blue0;\\red255\\green0\\blue0;"
                       "\\red153\\green102\\blue51;\\red207\\green255\\blue255;\\red255\\green255\\blue255;}"),
              std::string::npos);
    EXPECT_NE(rtf.find("\\margl1\\margr562"), std::string::npos);
    EXPECT_NE(rtf.find("\\cellx1042\\clvertalc"), std::string::npos);
    EXPECT_NE(rtf.find(" {\\f2\\fs16\\i\\cf2\\cgrid0 Ann\\cell "), std::string::npos);
}

} // namespace
} // namespace tabvue::exporter

namespace tabvue::exporter {
namespace {

// Whatever bytes a table holds, the document's groups balance and every cell reads back.
TEST(RtfPieces, AnyBytesReadBack) {
    std::mt19937 random(20261211);
    const std::string alphabet = "ab \\{}\r\n;\"\xE9\x7F";
    FakeExport e({{"A", 5}});
    for (int r = 0; r < 300; ++r) {
        std::string v(random() % 12, ' ');
        for (char& ch : v)
            ch = alphabet[random() % alphabet.size()];
        e.rows.push_back({v});
    }
    e.setOptions(e.options().erase(ExportOption::xoShowHeader));
    const std::string rtf = exportToBytes(e, ExportType::xtRTF);
    int depth = 0;
    std::vector<std::string> cells;
    const std::string group = " {\\f2\\fs16\\cf2\\cgrid0 ";
    for (std::size_t at = rtf.find(group); at != std::string::npos; at = rtf.find(group, at)) {
        at += group.size();
        std::string cell;
        while (rtf.compare(at, 6, "\\cell ") != 0) {
            if (rtf.compare(at, 6, "\\line ") == 0) {
                cell += '\n';
                at += 6;
            } else if (rtf[at] == '\\') {
                cell += rtf[at + 1];
                at += 2;
            } else {
                ASSERT_TRUE(rtf[at] != '{' && rtf[at] != '}' && rtf[at] != '\r' && rtf[at] != '\n') << "at " << at;
                cell += rtf[at++];
            }
        }
        cells.push_back(cell);
    }
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
        } else if (rtf[i] == '{') {
            ++depth;
        } else if (rtf[i] == '}') {
            ASSERT_GT(depth--, 0) << "at " << i;
        }
    }
    EXPECT_EQ(depth, 0);
    ASSERT_EQ(cells.size(), 300u);
    for (std::size_t r = 0; r < 300; ++r) {
        std::string want;
        const std::string& v = std::get<std::string>(e.rows[r][0]);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '\r' && i + 1 < v.size() && v[i + 1] == '\n')
                ++i;
            want += v[i] == '\r' ? '\n' : v[i];
        }
        EXPECT_EQ(cells[r], want) << "record " << r;
    }
}

} // namespace
} // namespace tabvue::exporter
