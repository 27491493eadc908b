// The plain-text documents byte for byte, the row builder and the text utilities.
#include <gtest/gtest.h>

#include "export/document.h"
#include "fake_export.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

std::string lines(std::initializer_list<std::string> ls) {
    std::string out;
    for (const std::string& l : ls)
        out += l + "\r\n";
    return out;
}

struct Golden {
    const char* name;
    ExportType type;
    bool rowNumbers;
    bool header;
    std::string expected;
};

class WorkedExample : public ::testing::TestWithParam<Golden> {};

TEST_P(WorkedExample, MatchesByteForByte) {
    const Golden& g = GetParam();
    FakeExport e;
    workedExample(e);
    FakeHost host;
    if (g.rowNumbers)
        e.setOptions(e.options() | ExportOptionSet{ExportOption::xoRowNumbers});
    if (g.header)
        e.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "Customers"; };
    EXPECT_TRUE(sameBytes(exportToBytes(e, g.type, &host), g.expected));
}

const std::string dashes21(21, '-');
const std::string dashes23(23, '-');

INSTANTIATE_TEST_SUITE_P(
    Documents, WorkedExample,
    ::testing::Values(
        Golden{"Txt", ExportType::xtTXT, false, false,
               lines({"NAME     CITY        ", dashes21, "Ann      Oslo        ", "Bob Lee  Rome, Lazio ", dashes21,
                      "Created: D"})},
        Golden{"TxtRowNumbers", ExportType::xtTXT, true, false,
               lines({"  NAME     CITY        ", dashes23, "1 Ann      Oslo        ", "2 Bob Lee  Rome, Lazio ",
                      dashes23, "Created: D"})},
        Golden{"TxtHeader", ExportType::xtTXT, false, true,
               lines({"Customers", "NAME     CITY        ", dashes21, "Ann      Oslo        ",
                      "Bob Lee  Rome, Lazio ", dashes21, "Created: D"})},
        Golden{"Csv", ExportType::xtCSV, false, false, lines({"NAME,CITY", "Ann,Oslo", "\"Bob Lee\",\"Rome, Lazio\""})},
        Golden{"CsvRowNumbers", ExportType::xtCSV, true, false,
               lines({",NAME,CITY", "1,Ann,Oslo", "2,\"Bob Lee\",\"Rome, Lazio\""})},
        Golden{"CsvHeader", ExportType::xtCSV, false, true,
               lines({"NAME,CITY", "Ann,Oslo", "\"Bob Lee\",\"Rome, Lazio\""})},
        Golden{"Tab", ExportType::xtTAB, false, false,
               lines({"NAME\tCITY", "Ann\tOslo", "Bob Lee\tRome, Lazio", "Created: D"})},
        Golden{"TabRowNumbers", ExportType::xtTAB, true, false,
               lines({"\tNAME\tCITY", "1\tAnn\tOslo", "2\tBob Lee\tRome, Lazio", "Created: D"})},
        Golden{"TabHeader", ExportType::xtTAB, false, true,
               lines({"Customers", "NAME\tCITY", "Ann\tOslo", "Bob Lee\tRome, Lazio", "Created: D"})}),
    [](const ::testing::TestParamInfo<Golden>& info) { return std::string(info.param.name); });

TEST(TextDocument, NoRecordsKeepsCaptionRulesAndDate) {
    FakeExport e;
    workedExample(e);
    e.rows.clear();
    FakeHost host;
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host),
                          lines({"NAME     CITY        ", dashes21, dashes21, "Created: D"})));
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtCSV, &host), lines({"NAME,CITY"})));
}

TEST(TextDocument, HeaderAndFooterTextsAreCutIntoLines) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases{
        {"", {}},
        {"Two\r\nwords", {"Two", "words"}},
        {"ends\r\n", {"ends"}},
        {"a\nb\rc\r\n\r\nd", {"a", "b", "c", "", "d"}},
        {std::string("nul\0inside", 10), {std::string("nul\0inside", 10)}},
    };
    for (const Case& c : cases) {
        FakeExport e;
        workedExample(e);
        e.rows.clear();
        e.setOptions({ExportOption::xoFooterLine});
        FakeHost host;
        e.onGetFooter = [&](CustomExport&, std::uint32_t, std::string& f) { f = c.text; };
        std::string expected = lines({dashes21});
        for (const std::string& l : c.lines)
            expected += l + "\r\n";
        EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host), expected)) << c.text;
    }
}

TEST(TextDocument, LineBreakInCellSplitsTheRow) {
    struct Case {
        ExportType type;
        std::string expected;
    };
    const std::vector<Case> cases{
        {ExportType::xtTXT, lines({"a    line1", "line2"})},
        {ExportType::xtTAB, lines({"a\tline1", "line2"})},
        // The quoted field holds the break, so a CSV reader gets the value back.
        {ExportType::xtCSV, lines({"a,\"line1", "line2\""})},
    };
    for (const Case& c : cases) {
        FakeExport e({{"A", 4}, {"B", 3}}, {{std::string("a"), std::string("line1\nline2")}});
        e.setOptions({});
        FakeHost host;
        EXPECT_TRUE(sameBytes(exportToBytes(e, c.type, &host), c.expected)) << static_cast<int>(c.type);
    }
}

TEST(TextDocument, CsvQuoting) {
    struct Case {
        std::vector<std::string> values;
        std::string line;
    };
    const std::vector<Case> cases{
        {{"a b"}, "\"a b\""},
        {{"a,b"}, "\"a,b\""},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        // A quote alone also wraps the field, or a reader would take it as the start of a quote.
        {{"ab\"c"}, "\"ab\"\"c\""},
        {{"cr\rhere"}, "\"cr\r\nhere\""},
        {{"x", "", "y"}, "x,,y"},
        {{"", "y"}, ",y"},
        {{"plain"}, "plain"},
        {{"caf\xE9"}, "caf\xE9"},
    };
    for (const Case& c : cases) {
        FakeExport e;
        Values row;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            e.columns.push_back({"C" + std::to_string(i), 5});
            row.emplace_back(c.values[i]);
        }
        e.rows = {row};
        e.setOptions({});
        FakeHost host;
        EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtCSV, &host), c.line + "\r\n")) << c.line;
    }
}

TEST(TextDocument, TruncationAndOverflow) {
    FakeExport e({{"NAME", 8}, {"CITY", 4}}, {{std::string("Bob Lee Junior"), std::string("Rome")}});
    e.setOptions({});
    FakeHost host;
    // Without xoTruncate a long text is written whole and pushes the line right.
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host), lines({"Bob Lee Junior Rome"})));
    e.setOptions({ExportOption::xoTruncate});
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host), lines({"Bob L... Rome"})));
}

TEST(TextDocument, RowNumbersCountWrittenRowsAndSizeToTheTotal) {
    FakeExport e({{"N", 1}});
    for (int i = 0; i < 10; ++i)
        e.rows.push_back({std::string(1, static_cast<char>('a' + i))});
    e.selectedRows = {true, false, true, true, true, true, true, true, true, true};
    e.setOptions({ExportOption::xoRowNumbers, ExportOption::xoSelectedRowsOnly});
    FakeHost host;
    const std::string txt = exportToBytes(e, ExportType::xtTXT, &host);
    // Width 2 for the 10 records counted; the skipped row takes no number.
    EXPECT_TRUE(sameBytes(txt.substr(0, 20), " 1 a\r\n 2 c\r\n 3 d\r\n 4"));
}

TEST(TextDocument, RulesFollowTheirOptions) {
    FakeExport e;
    workedExample(e);
    FakeHost host;
    e.setOptions({ExportOption::xoShowHeader});
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host),
                          lines({"NAME     CITY        ", "Ann      Oslo        ", "Bob Lee  Rome, Lazio "})));
    // Without the caption line the header rule is still written.
    e.setOptions({ExportOption::xoHeaderLine});
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host),
                          lines({dashes21, "Ann      Oslo        ", "Bob Lee  Rome, Lazio "})));
}

TEST(TextDocument, InvisibleColumnsAndTheRuleWidth) {
    FakeExport e({{"A", 2}, {"H", 3, false}, {"B", 2}}, {{std::string("1"), std::string("hid"), std::string("2")}});
    e.setOptions({ExportOption::xoShowHeader, ExportOption::xoHeaderLine});
    FakeHost host;
    // The separator count of the rule counts every column, so it is one longer than the row here.
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host), lines({"A  B ", "------", "1  2 "})));
    e.setOptions(e.options() | ExportOptionSet{ExportOption::xoExportInvisibles});
    e.setCaptions({"X"});
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host),
                          lines({"X  H   B ", "---------", "1  hid 2 "})));
}

TEST(TextDocument, AlignmentsPadByCode) {
    FakeExport e({{"L", 4, true, 1}, {"R", 4, true, 2}, {"C", 5, true, 3}, {"X", 4, true, 7}},
                 {{std::string("a"), std::string("b"), std::string("c"), std::string("d")}});
    e.setOptions({ExportOption::xoUseAlignments});
    FakeHost host;
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host), lines({"a       b   c   d"})));
    e.setOptions({});
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTXT, &host), lines({"a    b    c     d   "})));
}

TEST(TextDocument, NullValuesAndTheMarker) {
    FakeExport e({{"A", 12}, {"B", 3}}, {{Variant{}, std::string("x")}});
    e.setOptions({});
    FakeHost host;
    EXPECT_TRUE(sameBytes(exportToBytes(e, ExportType::xtTAB, &host), lines({"** NULL **\tx"})));
}

TEST(TextDocument, CreatedTextEndingInPercentWritesNothing) {
    FakeExport e;
    workedExample(e);
    e.messages().createdText = "100%";
    FakeHost host;
    std::vector<ExportError> errors;
    e.onError = [&](CustomExport&, ExportError err) { errors.push_back(err); };
    EXPECT_EQ(exportToBytes(e, ExportType::xtTXT, &host), "");
    EXPECT_EQ(errors, std::vector<ExportError>{ExportError::xeGeneralExportError});
    // A doubled percent sign is a plain one.
    e.messages().createdText = "100%%:";
    EXPECT_TRUE(exportToBytes(e, ExportType::xtTXT, &host).ends_with("100%: D\r\n"));
}

TEST(TextDocument, AbsurdColumnWidthEndsTheRunCleanly) {
    FakeExport e;
    workedExample(e);
    e.setColumnWidths({"8", "2000000"});
    FakeHost host;
    std::vector<ExportError> errors;
    e.onError = [&](CustomExport&, ExportError err) { errors.push_back(err); };
    EXPECT_EQ(exportToBytes(e, ExportType::xtTXT, &host), "");
    EXPECT_EQ(errors, std::vector<ExportError>{ExportError::xeGeneralExportError});
    EXPECT_NE(e.lastErrorMessage().find("too large"), std::string::npos);
}

TEST(TextDocument, ClipboardHoldsTheTxtBytesUpToTheFirstNul) {
    FakeExport e;
    workedExample(e);
    FakeHost host;
    const std::string txt = exportToBytes(e, ExportType::xtTXT, &host);
    EXPECT_EQ(exportToBytes(e, ExportType::xtClipboard, &host), ""); // no file
    EXPECT_TRUE(sameBytes(host.clipboard, txt));
    EXPECT_EQ(host.informations, std::vector<std::string>{"Data was copied to clipboard!"});

    e.rows[1][0] = std::string("Bob\0Lee", 7);
    e.setOptions(e.options() - ExportOptionSet{ExportOption::xoClipboardMessage});
    exportToBytes(e, ExportType::xtClipboard, &host);
    EXPECT_TRUE(sameBytes(host.clipboard, txt.substr(0, txt.find("Bob")) + "Bob"));
    EXPECT_EQ(host.informations.size(), 1u);
}

TEST(TextUtilities, Table) {
    EXPECT_EQ(repeatChar('-', 3), "---");
    EXPECT_EQ(repeatChar('-', 0), "");
    EXPECT_EQ(repeatChar('-', -2), "");
    EXPECT_EQ(padLeft("ab", '.', 4), "..ab");
    EXPECT_EQ(padLeft("abcd", '.', 2), "abcd");
    EXPECT_EQ(padRight("ab", '.', 4), "ab..");
    EXPECT_EQ(padRight("abc", '.', 3), "abc");
    EXPECT_EQ(padCentre("ab", 5), " ab  ");
    EXPECT_EQ(padCentre("ab", 6), "  ab  ");
    EXPECT_EQ(padCentre("abcdef", 3), "abcdef");
    EXPECT_EQ(truncateText("Bob Lee Junior", 8, "..."), "Bob L...");
    EXPECT_EQ(truncateText("abcdefghi", 3, "..."), "...");
    EXPECT_EQ(truncateText("abcdefghi", 1, "..."), "...");
    EXPECT_EQ(truncateText("abc", 3, "..."), "abc");
    EXPECT_EQ(quoteField("ab\"c", false), "ab\"\"c"); // DIF's rule: no wrapping without space or comma
    EXPECT_EQ(quoteField("a b", false), "\"a b\"");
    EXPECT_EQ(quoteField("x", true), "\"x\"");
    EXPECT_EQ(quoteField("", true), "\"\"");
}

} // namespace
} // namespace tabvue::exporter
