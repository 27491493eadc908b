#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/dbf_builder.h"
#include "engine/table.h"

using namespace tabvue::engine;
using tabvue::testing::DbfBuilder;
using tabvue::testing::TempDir;

namespace {

const bool kCodePagesSet = [] {
    ::setenv("TABVUE_ANSI_CODEPAGE", "1252", 0);
    ::setenv("TABVUE_OEM_CODEPAGE", "437", 0);
    return true;
}();

// A whole line of display texts is built by copying the common field kinds straight from the
// record; every stored spelling must give the same text as the field on its own, and a line
// appended after existing output must leave that output alone.
TEST(TableDisplayLine, LineMatchesFieldTextsForEveryStoredSpelling) {
    struct Row {
        std::vector<std::string> values;
        std::vector<std::string> texts;
        std::vector<bool> plain; // C fields only
    };
    const std::vector<Row> rows = {
        {{"Hello", "  12345.50", "   42", "20240229", "T", "x"}, {"Hello", "12345.50", "42", "29.02.2024", "T", "x"}, {true, true}},
        {{"", "", "", "", " ", ""}, {"", "", "", "", "", ""}, {true, true}},
        {{"a\\b", "     -0.00", "   -0", "20230230", "?", "tab\there"}, {"a\\b", "0.00", "0", "", "", "tab\there"}, {false, false}},
        {{"  lead", "      +1.5", "  007", "20001301", "y", "long text with trailing"}, {"  lead", "1.50", "7", "", "T", "long text with trailing"}, {true, true}},
        {{"\x8E\x99", "     1,25 ", "   1.", "2024010 ", "n", std::string("nul\0x", 5)}, {"\x8E\x99", "1.25", "1", "", "F", std::string("nul\0x", 5)}, {false, false}},
        {{"abcdefghij", "**********", "12345", "00000101", "F", "0123456789abcdef"}, {"abcdefghij", "", "12345", "", "F", "0123456789abcdef"}, {true, true}},
        {{"-", "   -12.345", "  -12", "99991231", "t", "\x7F"}, {"-", "-12.35", "-12", "31.12.9999", "T", "\x7F"}, {true, false}},
        {{"", "       .50", "    0", "        ", "N", "caf\xE9"}, {"", "0.50", "0", "", "F", "caf\xE9"}, {true, false}},
    };
    TempDir dir;
    DbfBuilder b(0x03, {{"NAME", 'C', 10},
                        {"AMOUNT", 'N', 10, 2},
                        {"QTY", 'N', 5},
                        {"BORN", 'D', 8},
                        {"OK", 'L', 1},
                        {"NOTE", 'C', 23}});
    for (const Row& r : rows)
        b.record(r.values);
    dir.write("t.dbf", b.bytes());
    Table t;
    t.open(dir.file("t.dbf"));
    for (const bool oem : {false, true}) {
        t.setOemTranslate(oem);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto rec = static_cast<RecordNo>(r + 1);
            std::string line = "kept";
            std::vector<TextSpan> spans;
            ASSERT_TRUE(t.appendDisplayTexts(rec, line, '|', spans));
            std::string expected = "kept";
            for (std::size_t f = 0; f < t.fields().size(); ++f) {
                const std::string text = t.displayText(rec, static_cast<int>(f));
                if (!oem) {
                    EXPECT_EQ(text, rows[r].texts[f]) << "record " << rec << " field " << f;
                }
                EXPECT_EQ(line.substr(spans[f].start, spans[f].end - spans[f].start), text)
                    << "record " << rec << " field " << f << " oem " << oem;
                expected += (f ? "|" : "") + text;
            }
            EXPECT_EQ(line, expected) << "record " << rec;
            EXPECT_EQ(spans[0].plain, rows[r].plain[0]) << "record " << rec;
            EXPECT_EQ(spans[5].plain, rows[r].plain[1]) << "record " << rec;
        }
    }
}

} // namespace
