#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "export/dif_writer.h"
#include "export/document.h"
#include "export/fake_export.h"
#include "export/sylk_writer.h"

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

// A small source: NAME and QTY, three records, one value with quotes and one empty.
struct DifSylkFixture : ::testing::Test {
    FakeExport e;
    FakeHost host;
    void SetUp() override {
        e.columns = {{"NAME", 10}, {"QTY", 5}};
        e.rows = {{std::string("Apple"), std::string("5")},
                  {std::string("Red pear"), std::string("12.5")},
                  {std::string("Plum \"A\""), std::string("")}};
        // Header and footer texts never reach these files.
        e.onGetHeader = [](CustomExport&, std::uint32_t, std::string& h) { h = "HEADER"; };
        e.onGetFooter = [](CustomExport&, std::uint32_t, std::string& f) { f = "FOOTER"; };
    }
    std::string dif() { return exportToBytes(e, ExportType::xtDIF, &host); }
    std::string sylk() { return exportToBytes(e, ExportType::xtSYLK, &host); }
    void rowNumbers() { e.setOptions(e.options().insert(ExportOption::xoRowNumbers)); }
};

const std::vector<std::string> DifHead = {"TABLE", "0,1",    "\"TLUDATASETEXPORT\"", "VECTORS", "0,2", "\"\"",
                                          "TUPLES", "0,3",   "\"\"",                 "DATA",    "0,0", "\"\""};

TEST_F(DifSylkFixture, ThreeRecordDifByteForByte) {
    std::vector<std::string> expected = DifHead;
    for (const char* l : {"-1,0", "BOT", "1,0", "\"NAME\"", "1,0", "\"QTY\"",                         //
                          "-1,0", "BOT", "1,0", "\"Apple\"", "1,0", "\"5\"",                          //
                          "-1,0", "BOT", "1,0", "\"Red pear\"", "1,0", "\"12.5\"",                    //
                          "-1,0", "BOT", "1,0", "\"Plum \"\"A\"\"\"", "1,0", "\"\"", "-1,0", "EOD"})
        expected.push_back(l);
    ASSERT_EQ(expected.size(), 38u);
    EXPECT_TRUE(sameBytes(dif(), lines(expected)));

    rowNumbers();
    expected[4] = "0,3";
    std::vector<std::string> numbered(expected.begin(), expected.begin() + 12);
    for (int row = 0; row < 4; ++row) {
        const auto at = expected.begin() + 12 + row * 6;
        numbered.insert(numbered.end(), at, at + 2);
        numbered.push_back("1,0");
        numbered.push_back(row == 0 ? "\"\"" : "\"" + std::to_string(row) + "\"");
        numbered.insert(numbered.end(), at + 2, at + 6);
    }
    numbered.push_back("-1,0");
    numbered.push_back("EOD");
    EXPECT_TRUE(sameBytes(dif(), lines(numbered)));
}

TEST_F(DifSylkFixture, ThreeRecordSylkByteForByte) {
    EXPECT_TRUE(sameBytes(sylk(), lines({"ID;PTLUDATASETEXPORT", "C;X1;Y1;K\"NAME\"", "C;X2;Y1;K\"QTY\"",
                                         "C;X1;Y2;K\"Apple\"", "C;X2;Y2;K\"5\"", "C;X1;Y3;K\"Red pear\"",
                                         "C;X2;Y3;K\"12.5\"", "C;X1;Y4;K\"Plum \"\"A\"\"\"", "C;X2;Y4;K\"\"",
                                         "E"})));
    rowNumbers();
    EXPECT_TRUE(sameBytes(sylk(), lines({"ID;PTLUDATASETEXPORT", "C;X2;Y1;K\"NAME\"", "C;X3;Y1;K\"QTY\"",
                                         "C;X1;Y2;K\"1\"", "C;X2;Y2;K\"Apple\"", "C;X3;Y2;K\"5\"", "C;X1;Y3;K\"2\"",
                                         "C;X2;Y3;K\"Red pear\"", "C;X3;Y3;K\"12.5\"", "C;X1;Y4;K\"3\"",
                                         "C;X2;Y4;K\"Plum \"\"A\"\"\"", "C;X3;Y4;K\"\"", "E"})));
}

TEST_F(DifSylkFixture, NoRecordsAndNoCaptionRow) {
    e.rows.clear();
    std::vector<std::string> expected = DifHead;
    expected[7] = "0,0";
    for (const char* l : {"-1,0", "BOT", "1,0", "\"NAME\"", "1,0", "\"QTY\"", "-1,0", "EOD"})
        expected.push_back(l);
    EXPECT_TRUE(sameBytes(dif(), lines(expected)));
    EXPECT_TRUE(sameBytes(sylk(), lines({"ID;PTLUDATASETEXPORT", "C;X1;Y1;K\"NAME\"", "C;X2;Y1;K\"QTY\"", "E"})));

    e.rows = {{std::string("a"), std::string("b")}};
    e.setOptions(e.options().erase(ExportOption::xoShowHeader));
    expected = DifHead;
    expected[7] = "0,1";
    for (const char* l : {"-1,0", "BOT", "1,0", "\"a\"", "1,0", "\"b\"", "-1,0", "EOD"})
        expected.push_back(l);
    EXPECT_TRUE(sameBytes(dif(), lines(expected)));
    EXPECT_TRUE(sameBytes(sylk(), lines({"ID;PTLUDATASETEXPORT", "C;X1;Y1;K\"a\"", "C;X2;Y1;K\"b\"", "E"})));
}

// A hidden column still counts in VECTORS and keeps its X number; unselected rows still count in
// TUPLES, and the written rows are numbered without gaps.
TEST_F(DifSylkFixture, HiddenColumnAndSkippedRows) {
    e.columns = {{"A", 3}, {"H", 3, false}, {"B", 3}};
    e.rows = {{std::string("a1"), std::string("h1"), std::string("b1")},
              {std::string("a2"), std::string("h2"), std::string("b2")},
              {std::string("a3"), std::string("h3"), std::string("b3")}};
    e.selectedRows = {true, false, true};
    e.setOptions(e.options().insert(ExportOption::xoSelectedRowsOnly).insert(ExportOption::xoRowNumbers));
    std::vector<std::string> expected = DifHead;
    expected[4] = "0,4";
    for (const char* l : {"-1,0", "BOT", "1,0", "\"\"", "1,0", "\"A\"", "1,0", "\"B\"",     //
                          "-1,0", "BOT", "1,0", "\"1\"", "1,0", "\"a1\"", "1,0", "\"b1\"",  //
                          "-1,0", "BOT", "1,0", "\"2\"", "1,0", "\"a3\"", "1,0", "\"b3\"", "-1,0", "EOD"})
        expected.push_back(l);
    EXPECT_TRUE(sameBytes(dif(), lines(expected)));
    EXPECT_TRUE(sameBytes(sylk(), lines({"ID;PTLUDATASETEXPORT", "C;X2;Y1;K\"A\"", "C;X4;Y1;K\"B\"", "C;X1;Y2;K\"1\"",
                                         "C;X2;Y2;K\"a1\"", "C;X4;Y2;K\"b1\"", "C;X1;Y3;K\"2\"", "C;X2;Y3;K\"a3\"",
                                         "C;X4;Y3;K\"b3\"", "E"})));
}

// How awkward values are written: every value quoted with its quotes doubled; SYLK doubles ';' so
// a value cannot start a field of its own; a line break never ends a line of the file.
TEST(DifSylkValues, QuotingTable) {
    struct Case {
        std::string value, dif, sylk;
    };
    const std::vector<Case> cases = {
        {"", "\"\"", "\"\""},
        {"a,b", "\"a,b\"", "\"a,b\""},
        {"ab\"c", "\"ab\"\"c\"", "\"ab\"\"c\""},
        {"x;E1+1", "\"x;E1+1\"", "\"x;;E1+1\""},
        {"1\r\n2\n3\r4", "\"1 2 3 4\"", "\"1\x1b :2\x1b :3\x1b :4\""},
        {"\r\n\r\n", "\"  \"", "\"\x1b :\x1b :\""},
        {"\xE9{}\\", "\"\xE9{}\\\"", "\"\xE9{}\\\""},
    };
    for (const Case& c : cases) {
        std::string d, s;
        appendQuotedValue(d, c.value, DifLineBreak, false);
        appendQuotedValue(s, c.value, SylkLineBreak, true);
        EXPECT_EQ(d, c.dif) << c.value;
        EXPECT_EQ(s, c.sylk) << c.value;
    }
}

TEST_F(DifSylkFixture, TwoLineMemoStaysOneValue) {
    e.columns = {{"MEMO", 10}};
    e.rows = {{std::string("first line\r\n-1,0\r\nEOD")}};
    e.setOptions(e.options().erase(ExportOption::xoShowHeader));
    std::vector<std::string> expected = DifHead;
    expected[4] = "0,1";
    expected[7] = "0,1";
    for (const char* l : {"-1,0", "BOT", "1,0", "\"first line -1,0 EOD\"", "-1,0", "EOD"})
        expected.push_back(l);
    EXPECT_TRUE(sameBytes(dif(), lines(expected)));
    EXPECT_TRUE(sameBytes(sylk(), lines({"ID;PTLUDATASETEXPORT", "C;X1;Y1;K\"first line\x1b :-1,0\x1b :EOD\"", "E"})));
}

} // namespace
} // namespace tabvue::exporter

namespace tabvue::exporter {
namespace {

// Splits a file into its CRLF-ended lines; a lone CR or LF inside a line would be a fault.
std::vector<std::string> fileLines(const std::string& bytes) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p; (p = bytes.find("\r\n", start)) != std::string::npos; start = p + 2) {
        const std::string line = bytes.substr(start, p - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in " << line;
        out.push_back(line);
    }
    EXPECT_EQ(start, bytes.size());
    return out;
}

// Reads a quoted value back: the quotes around it, "" inside, and with `semicolons` ";;" inside.
std::string unquote(const std::string& field, bool semicolons) {
    EXPECT_GE(field.size(), 2u);
    EXPECT_EQ(field.front(), '"');
    EXPECT_EQ(field.back(), '"');
    std::string out;
    for (std::size_t i = 1; i + 1 < field.size(); ++i) {
        const char ch = field[i];
        if (ch == '"' || (semicolons && ch == ';')) {
            EXPECT_EQ(field[i + 1], ch) << "lone " << ch << " in " << field;
            ++i;
        }
        out += ch;
    }
    return out;
}

std::string withBreaks(const std::string& s, const std::string& lineBreak) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            out += lineBreak;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Whatever bytes a table holds, both files keep their structure and give every value back.
TEST(DifSylkValues, AnyBytesReadBack) {
    std::mt19937 random(20261211);
    const std::string alphabet = "ab ,;\"\r\n\t\\{}<&=-1E\x1b\xE9";
    FakeExport e({{"A", 5}, {"B", 5}});
    for (int r = 0; r < 300; ++r) {
        Values row;
        for (int c = 0; c < 2; ++c) {
            std::string v(random() % 12, ' ');
            for (char& ch : v)
                ch = alphabet[random() % alphabet.size()];
            row.push_back(v);
        }
        e.rows.push_back(row);
    }
    e.setOptions(e.options().insert(ExportOption::xoRowNumbers).erase(ExportOption::xoShowHeader));

    const std::vector<std::string> dif = fileLines(exportToBytes(e, ExportType::xtDIF));
    ASSERT_EQ(dif.size(), 12 + 300 * 8 + 2u);
    const std::vector<std::string> slk = fileLines(exportToBytes(e, ExportType::xtSYLK));
    ASSERT_EQ(slk.size(), 1 + 300 * 3 + 1u);
    for (std::size_t r = 0; r < 300; ++r) {
        const std::size_t d = 12 + r * 8;
        EXPECT_EQ(dif[d], "-1,0");
        EXPECT_EQ(dif[d + 1], "BOT");
        EXPECT_EQ(unquote(dif[d + 3], false), std::to_string(r + 1));
        for (std::size_t c = 0; c < 2; ++c) {
            const std::string& value = std::get<std::string>(e.rows[r][c]);
            EXPECT_EQ(dif[d + 4 + 2 * c], "1,0");
            EXPECT_EQ(unquote(dif[d + 5 + 2 * c], false), withBreaks(value, " "));

            const std::string& line = slk[1 + r * 3 + 1 + c];
            const std::string head = "C;X" + std::to_string(c + 2) + ";Y" + std::to_string(r + 1) + ";K";
            ASSERT_TRUE(line.starts_with(head)) << line;
            EXPECT_EQ(unquote(line.substr(head.size()), true), withBreaks(value, "\x1b :"));
        }
    }
    EXPECT_EQ(dif.back(), "EOD");
    EXPECT_EQ(slk.back(), "E");
}

} // namespace
} // namespace tabvue::exporter
