#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "export/document.h"
#include "export/fake_export.h"
#include "export/html_writer.h"

namespace tabvue::exporter {
namespace {

using testing::FakeExport;
using testing::FakeHost;
using testing::exportToBytes;
using testing::sameBytes;

std::string lines(const std::vector<std::string>& ls) {
    std::string out;
    for (const std::string& l : ls)
        out += l + "\r\n";
    return out;
}

const std::vector<std::string> Head = {
    "<!-- THIS FILE WAS CREATED BY LUM'S EXPORT COMPONENTS FOR KESTREL VANTA -->",
    "<!-- DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 TRANSITIONAL//EN\" -->",
    "<HTML>",
    " <HEAD>",
    "  <META HTTP - EQUIV = \"Content - Type\" CONTENT = \"TEXT/HTML\">",
    "  <META NAME = \"GENERATOR\" CONTENT = \"Lum's Export Components for Vanta\" >",
    "  <META NAME = \"Author\" CONTENT = \"Teodor Vane\" >",
    "  <META NAME = \"Description\" CONTENT = \"https://tabvue.org/\" >",
};

// The two-record source without column widths, with the main window's settings.
struct HtmlFixture : ::testing::Test {
    FakeExport e;
    FakeHost host;
    void SetUp() override {
        testing::workedExample(e);
        e.setColumnWidths({});
    }
    std::string run() { return exportToBytes(e, ExportType::xtHTML, &host); }
    // The lines of the page from the first table row on (the row after the TABLE and FONT lines).
    std::vector<std::string> pageLines() {
        std::vector<std::string> out;
        const std::string page = run();
        std::size_t start = 0;
        for (std::size_t p; (p = page.find("\r\n", start)) != std::string::npos; start = p + 2)
            out.push_back(page.substr(start, p - start));
        EXPECT_EQ(start, page.size()) << "the page must end with CRLF";
        return out;
    }
};

TEST_F(HtmlFixture, TwoRecordPageByteForByte) {
    std::vector<std::string> expected = Head;
    for (const char* l : {
             "  <TITLE></TITLE>",
             " </HEAD>",
             " <BODY BGCOLOR=\"#FFFFFF\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#FFFF00\" TEXT=\"#000000\">",
             " <FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">",
             "  <HR>",
             "  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\" BORDER=\"1\" BGCOLOR=\"#FFFFCF\">",
             "  <FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">",
             "   <TR BGCOLOR=\"#336699\">",
             "    <TD><B><FONT COLOR=\"#FFFFFF\"><small>NAME</small></FONT></B></TD>",
             "    <TD><B><FONT COLOR=\"#FFFFFF\"><small>CITY</small></FONT></B></TD>",
             "   </TR>",
             "   <TR>",
             "    <TD><small>Ann</small></TD>",
             "    <TD><small>Oslo</small></TD>",
             "   </TR>",
             "   <TR BGCOLOR=\"#FFFFFF\">",
             "    <TD><small>Bob Lee</small></TD>",
             "    <TD><small>Rome, Lazio</small></TD>",
             "   </TR>",
             "  </FONT>",
             "  </TABLE>",
             "  <HR>",
             "Created: D",
             " </FONT>",
             " </BODY>",
             "</HTML>",
         })
        expected.push_back(l);
    EXPECT_TRUE(sameBytes(run(), lines(expected)));
}

TEST_F(HtmlFixture, RowNumbersHeaderFooterAndWidths) {
    e.setOptions(e.options().insert(ExportOption::xoRowNumbers));
    e.setColumnWidths({"8", "40%"}); // a width that is not a number is still written as it stands
    e.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "<H1>Customers</H1>"; };
    e.onGetFooter = [](CustomExport&, std::uint32_t n, std::string& f) { f = "<I>" + std::to_string(n) + "</I>\r\n"; };
    const std::vector<std::string> l = pageLines();
    ASSERT_GE(l.size(), 34u);
    EXPECT_EQ(l[12], "<H1>Customers</H1>"); // the caller's own text stays markup
    EXPECT_EQ(l[13], "  <HR>");
    EXPECT_EQ(l[17], "    <TD>&nbsp;</TD>");
    EXPECT_EQ(l[18], "    <TD WIDTH=\"8\"><B><FONT COLOR=\"#FFFFFF\"><small>NAME</small></FONT></B></TD>");
    EXPECT_EQ(l[19], "    <TD WIDTH=\"40%\"><B><FONT COLOR=\"#FFFFFF\"><small>CITY</small></FONT></B></TD>");
    EXPECT_EQ(l[22], "    <TD ALIGN=\"Right\">1</TD>");
    EXPECT_EQ(l[23], "    <TD WIDTH=\"8\"><small>Ann</small></TD>");
    EXPECT_EQ(l[27], "    <TD ALIGN=\"Right\">2</TD>");
    EXPECT_EQ(l[33], "  <HR>");
    EXPECT_EQ(l[34], "<I>2</I>");
    EXPECT_EQ(l[35], "Created: D");
}

// Each option off changes exactly its own lines.
TEST_F(HtmlFixture, OptionsOff) {
    struct Case {
        const char* name;
        HtmlOptionSet html;
        ExportOptionSet remove;
        std::vector<std::pair<std::size_t, std::string>> expect; // line index -> text
        std::size_t lineCount;
    };
    const HtmlOptionSet all = HtmlOptionSet::fromBits(0x1F);
    const std::vector<Case> cases = {
        {"no title", all - HtmlOptionSet{HtmlOption::hoDisplayTitle}, {}, {{8, " </HEAD>"}}, 33},
        {"no grid",
         all - HtmlOptionSet{HtmlOption::hoShowGridLines},
         {},
         {{13, "  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\" BGCOLOR=\"#FFFFCF\">"}},
         34},
        {"no bold",
         all - HtmlOptionSet{HtmlOption::hoBoldHeaders},
         {},
         {{16, "    <TD><FONT COLOR=\"#FFFFFF\"><small>NAME</small></FONT></TD>"}},
         34},
        {"no odd rows", all - HtmlOptionSet{HtmlOption::hoOddRowColoring}, {}, {{23, "   <TR>"}}, 34},
        {"no caption row",
         all,
         ExportOptionSet{ExportOption::xoShowHeader},
         {{13, "  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\" BORDER=\"1\" BGCOLOR=\"#FFFFCF\">"},
          {14, "  <FONT COLOR=\"#000000\" FACE=\"Arial,Helvetica\">"},
          {15, "   <TR>"},
          {16, "    <TD><small>Ann</small></TD>"}},
         30},
        {"no rules or date",
         all,
         ExportOptionSet{ExportOption::xoHeaderLine, ExportOption::xoFooterLine, ExportOption::xoShowExportDate},
         {{12, "  <TABLE WIDTH=\"100%\" CELLPADDING=\"4\" CELLSPACING=\"0\" BORDER=\"1\" BGCOLOR=\"#FFFFCF\">"},
          {27, "  </TABLE>"},
          {28, " </FONT>"}},
         31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e.html().options = c.html;
        e.setOptions(DefaultExportOptions - c.remove);
        const std::vector<std::string> l = pageLines();
        ASSERT_EQ(l.size(), c.lineCount);
        for (const auto& [i, text] : c.expect)
            EXPECT_EQ(l[i], text) << "line " << i;
    }
}

TEST(HtmlColor, DigitsAndTemplates) {
    EXPECT_EQ(htmlColor(0x336699u), "#336699");
    EXPECT_EQ(htmlColor(0xFFu), "#0000FF");
    EXPECT_EQ(htmlColor(0x80000008u), "#80000008"); // above FFFFFF: every digit
    EXPECT_EQ(htmlColor(0xabcdefu), "#ABCDEF");

    HtmlOptions o;
    // Slot 3 (page text) and slot 8 (odd rows) of each fixed template.
    const std::vector<std::pair<HtmlColorTemplate, std::pair<const char*, const char*>>> t = {
        {HtmlColorTemplate::ctStandard, {"#000000", "#FFFFFF"}}, {HtmlColorTemplate::ctBW, {"#000000", "#F3F3F3"}},
        {HtmlColorTemplate::ctClassic, {"#000000", "#007AEC"}},  {HtmlColorTemplate::ctColorful, {"#000000", "#FAF100"}},
        {HtmlColorTemplate::ctDark, {"#FFE760", "#000000"}},     {HtmlColorTemplate::ctGray, {"#000000", "#EEEEEE"}},
        {HtmlColorTemplate::ctMSMoney, {"#000000", "#FFFBF0"}},  {HtmlColorTemplate::ctOlive, {"#5F605F", "#FFFFCF"}},
    };
    for (const auto& [tpl, want] : t) {
        o.colorTemplate = tpl;
        EXPECT_EQ(htmlColor(o, hsText), want.first);
        EXPECT_EQ(htmlColor(o, hsOddRowBackground), want.second);
        EXPECT_EQ(htmlFontFace(o, HtmlFontChoice::table), "Arial,Helvetica");
    }
}

TEST_F(HtmlFixture, CustomTemplate) {
    HtmlOptions& h = e.html();
    h.colorTemplate = HtmlColorTemplate::ctCustom;
    h.customColors.background = 0x80000005u; // a system colour constant
    h.customColors.defaultFontFace = "Georgia";
    h.customColors.tableFontFace = "Courier New";
    h.customColors.tableFontColor = 0x123456;
    h.customColors.headerBackground = 0x010203;
    h.customColors.headersFontColor = 0xABCDEF;
    h.customColors.tableOddBackground = 0xEEEEEE;
    const std::vector<std::string> l = pageLines();
    EXPECT_EQ(l[10], " <BODY BGCOLOR=\"#80000005\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#FFFF00\" TEXT=\"#000000\">");
    EXPECT_EQ(l[11], " <FONT COLOR=\"#000000\" FACE=\"Georgia\">");
    EXPECT_EQ(l[14], "  <FONT COLOR=\"#123456\" FACE=\"Courier New\">");
    EXPECT_EQ(l[15], "   <TR BGCOLOR=\"#010203\">");
    EXPECT_EQ(l[16], "    <TD><B><FONT COLOR=\"#ABCDEF\"><small>NAME</small></FONT></B></TD>");
    EXPECT_EQ(l[23], "   <TR BGCOLOR=\"#EEEEEE\">");
}

TEST(HtmlLinks, IsLinkAndScriptTargets) {
    EXPECT_TRUE(isLink("see http://x.org"));
    EXPECT_TRUE(isLink("mailto:a@b.c"));
    EXPECT_TRUE(isLink("nntp:group"));
    EXPECT_TRUE(isLink("xhttps:"));
    EXPECT_FALSE(isLink("HTTP://X.ORG"));
    EXPECT_FALSE(isLink("http//x"));
    EXPECT_FALSE(isLink(""));

    for (const char* s : {"javascript:alert(1)//http:", " JavaScript:x", "\x01java\tscript:x", "java\r\nscript:x",
                          "vbscript:msgbox", "data:text/html,<b>http:"})
        EXPECT_TRUE(isScriptTarget(s)) << s;
    for (const char* s : {"http://x", "see http://x", "x javascript:", "&#106;avascript:", "javascript", "ja vascript:x",
                          "\xE9javascript:x"})
        EXPECT_FALSE(isScriptTarget(s)) << s;
}

TEST_F(HtmlFixture, AutoLinksAndEscaping) {
    e.columns = {{"A&B", 40}, {"<C>", 10}};
    e.rows = {
        {std::string("Home http://a.org/?x=1&y=2"), std::string("HTTP://A")},
        {std::string("javascript:alert(1)//http:"), std::monostate{}},
        {std::string("<script>\"&\"</script>"), std::string("")},
        {std::string("x\"><script>http:"), std::string("mailto:a@b.c")},
    };
    e.setOptions(e.options().insert(ExportOption::xoTruncate));
    e.setColumnWidths({"40", "10"}); // truncates the mail link's text, never its target
    const std::vector<std::string> l = pageLines();
    ASSERT_GE(l.size(), 36u);
    EXPECT_EQ(l[16], "    <TD WIDTH=\"40\"><B><FONT COLOR=\"#FFFFFF\"><small>A&amp;B</small></FONT></B></TD>");
    EXPECT_EQ(l[17], "    <TD WIDTH=\"10\"><B><FONT COLOR=\"#FFFFFF\"><small>&lt;C&gt;</small></FONT></B></TD>");
    EXPECT_EQ(l[20], "    <TD WIDTH=\"40\"><small><A HREF=\"Home http://a.org/?x=1&amp;y=2\">Home "
                     "http://a.org/?x=1&amp;y=2</A></small></TD>");
    EXPECT_EQ(l[21], "    <TD WIDTH=\"10\"><small>HTTP://A</small></TD>"); // wrong case: no link
    EXPECT_EQ(l[24], "    <TD WIDTH=\"40\"><small>javascript:alert(1)//http:</small></TD>");
    EXPECT_EQ(l[25], "    <TD WIDTH=\"10\"><small>** NULL **</small></TD>");
    EXPECT_EQ(l[28], "    <TD WIDTH=\"40\"><small>&lt;script&gt;&quot;&amp;&quot;&lt;/script&gt;</small></TD>");
    EXPECT_EQ(l[29], "    <TD WIDTH=\"10\"><small>&nbsp;</small></TD>");
    EXPECT_EQ(l[32], "    <TD WIDTH=\"40\"><small><A HREF=\"x&quot;&gt;&lt;script&gt;http:\">x&quot;&gt;&lt;script&gt;"
                     "http:</A></small></TD>");
    EXPECT_EQ(l[33], "    <TD WIDTH=\"10\"><small><A HREF=\"mailto:a@b.c\">mailto:...</A></small></TD>");

    e.html().options.erase(HtmlOption::hoAutoLink);
    const std::vector<std::string> plain = pageLines();
    EXPECT_EQ(plain[20], "    <TD WIDTH=\"40\"><small>Home http://a.org/?x=1&amp;y=2</small></TD>");
}

// Alignment codes of the source become ALIGN attributes, after the width, only under xoUseAlignments.
TEST_F(HtmlFixture, Alignments) {
    e.columns = {{"L", 5, true, 1}, {"R", 5, true, 2}, {"C", 5, true, 3}, {"N", 5, true, 0}};
    e.rows = {{std::string("a"), std::string("b"), std::string("c"), std::string("d")}};
    e.setColumnWidths({"5"});
    std::vector<std::string> l = pageLines();
    EXPECT_EQ(l[16], "    <TD WIDTH=\"5\" ALIGN=\"Left\" ><B><FONT COLOR=\"#FFFFFF\"><small>L</small></FONT></B></TD>");
    EXPECT_EQ(l[22], "    <TD WIDTH=\"5\" ALIGN=\"Left\" ><small>a</small></TD>");
    EXPECT_EQ(l[23], "    <TD ALIGN=\"Right\" ><small>b</small></TD>");
    EXPECT_EQ(l[24], "    <TD ALIGN=\"Center\" ><small>c</small></TD>");
    EXPECT_EQ(l[25], "    <TD><small>d</small></TD>");
    e.setOptions(e.options().erase(ExportOption::xoUseAlignments));
    l = pageLines();
    EXPECT_EQ(l[22], "    <TD WIDTH=\"5\"><small>a</small></TD>");
    EXPECT_EQ(l[23], "    <TD><small>b</small></TD>");
}

TEST_F(HtmlFixture, NoRecordsAndExtension) {
    e.rows.clear();
    const std::vector<std::string> l = pageLines();
    ASSERT_EQ(l.size(), 26u);
    EXPECT_EQ(l[18], "   </TR>");
    EXPECT_EQ(l[19], "  </FONT>");
    EXPECT_EQ(l[20], "  </TABLE>");

    e.setExportType(ExportType::xtHTML);
    EXPECT_EQ(e.defaultExtension(), "HTML");
    e.html().extension = HtmlExtension::exHTM;
    EXPECT_EQ(e.defaultExtension(), "HTM");
}

} // namespace
} // namespace tabvue::exporter

namespace tabvue::exporter {
namespace {

// Whatever bytes a table holds, no markup comes from it and every cell reads back.
TEST(HtmlLinks, AnyBytesReadBack) {
    std::mt19937 random(20261211);
    const std::string alphabet = "ab <>&\"';:/\r\nhttp:";
    FakeExport e({{"A", 5}});
    for (int r = 0; r < 300; ++r) {
        std::string v(1 + random() % 12, ' ');
        for (char& ch : v)
            ch = alphabet[random() % alphabet.size()];
        e.rows.push_back({v});
    }
    e.html().options.erase(HtmlOption::hoAutoLink);
    e.setOptions(e.options().erase(ExportOption::xoShowHeader));
    const std::string page = exportToBytes(e, ExportType::xtHTML);
    std::size_t at = 0;
    for (std::size_t r = 0; r < 300; ++r) {
        at = page.find("<TD><small>", at);
        ASSERT_NE(at, std::string::npos);
        at += 11;
        const std::size_t end = page.find("</small></TD>", at);
        std::string text = page.substr(at, end - at);
        ASSERT_EQ(text.find_first_of("<>\""), std::string::npos) << text;
        std::string decoded;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '&') {
                decoded += text[i];
                continue;
            }
            const std::size_t semi = text.find(';', i);
            ASSERT_NE(semi, std::string::npos) << text;
            const std::string ref = text.substr(i, semi + 1 - i);
            decoded += ref == "&amp;" ? "&" : ref == "&lt;" ? "<" : ref == "&gt;" ? ">" : ref == "&quot;" ? "\"" : "?";
            i = semi;
        }
        std::string want;
        const std::string& v = std::get<std::string>(e.rows[r][0]);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '\r' && i + 1 < v.size() && v[i + 1] == '\n')
                ++i;
            want += v[i] == '\r' ? '\n' : v[i];
        }
        // Line breaks cut the cell into lines of the page, each ended with CRLF.
        std::string got;
        for (std::size_t i = 0; i < decoded.size(); ++i)
            if (decoded[i] != '\r')
                got += decoded[i];
        EXPECT_EQ(got, want) << "record " << r;
        at = end;
    }
}

} // namespace
} // namespace tabvue::exporter
