// Texts that are no condition: the message, its position, and limits on size and nesting.
#include <gtest/gtest.h>

#include "engine/expr_compile.h"
#include "engine/filter_test_util.h"

namespace tabvue::engine {
namespace {

using test::MiniTable;

MiniTable sample() {
    MiniTable t({{"NAME", 'C', 10}, {"AGE", 'N', 3}, {"BDATE", 'D', 8}, {"OK", 'L', 1}});
    t.add({"Smith", "30", "20030201", "T"});
    t.add({"Jones", "40", "", "F"});
    return t;
}

std::string errorOf(const MiniTable& t, const std::string& text) {
    try {
        t.matching(text);
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(FilterErrors, MessageNamesTheFaultAndItsPosition) {
    const MiniTable t = sample();
    const std::pair<const char*, const char*> cases[] = {
        {"FOO = 1", "Unknown field 'FOO' at position 1"},
        {"NAME = 1", "Type mismatch: text compared with a number at position 6"},
        {"AGE > '30'", "Type mismatch: a number compared with text at position 5"},
        {"BDATE = '01.02.2003'", "Type mismatch: a date compared with text at position 7"},
        {"(NAME = 'x'", "Unbalanced parenthesis: '(' without ')' at position 1"},
        {"((AGE > 1) AND (AGE < 5)", "Unbalanced parenthesis: '(' without ')' at position 1"},
        {"NAME = 'x')", "Unbalanced parenthesis: ')' without '(' at position 11"},
        {"EMPTY(NAME", "Unbalanced parenthesis: '(' without ')' at position 6"},
        {"FOO(NAME)", "Unknown function 'FOO' at position 1"},
        {"SUBSTR(NAME) = 'x'", "Wrong number of arguments for SUBSTR: 2 to 3 expected, 1 given at position 1"},
        {"EMPTY() AND OK", "Wrong number of arguments for EMPTY: 1 expected, 0 given at position 1"},
        {"INLIST(AGE)", "Wrong number of arguments for INLIST: 2 or more expected, 1 given at position 1"},
        {"UPPER(AGE) = 'X'", "Type mismatch: argument 1 of UPPER must be text, not a number at position 7"},
        {"IIF(OK, 1, 'x') = 1", "Type mismatch: IIF gives a number or text at position 12"},
        {"NAME LIKE 5", "Type mismatch: LIKE needs text on both sides, not a number at position 6"},
        {"AGE AND OK", "Type mismatch: AND needs logical values, not a number at position 1"},
        {"NOT NAME", "Type mismatch: NOT needs a logical value, not text at position 5"},
        {"NAME + 1 = 'x'", "Type mismatch: text + a number at position 6"},
        {"-NAME = 'x'", "Type mismatch: sign before text at position 1"},
        {"NAME = 'x", "Unterminated text at position 8"},
        {"NAME = [x", "Unterminated text at position 8"},
        {"AGE + 1", "Condition expected, but the expression gives a number at position 1"},
        {"NAME", "Condition expected, but the expression gives text at position 1"},
        {"NAME = ", "Unexpected end of expression at position 8"},
        {"AGE > 30 @", "Unexpected character '@' at position 10"},
        {"AGE > 30 AGE", "Unexpected 'AGE' at position 10"},
        {"AGE > 30 AND", "Unexpected end of expression at position 13"},
        {"AND OK", "Unexpected 'AND' at position 1"},
        {"OK .XOR. OK", "Unexpected character '.' at position 4"},
        {"AGE > 3x", "Unexpected character 'x' at position 8"},
        {"(NAME = NULL)", "NULL is not a value; test with EMPTY(field) at position 9"},
        {"NAME = 'a' ,", "Unexpected ',' at position 12"},
    };
    for (const auto& [text, fault] : cases)
        EXPECT_EQ(errorOf(t, text), std::string("Invalid Query Expression\n") + fault) << text;
}

TEST(FilterErrors, BlankTextIsNoRestriction) {
    const MiniTable t = sample();
    EXPECT_EQ(expr::compileCondition("", t.schema), nullptr);
    EXPECT_EQ(expr::compileCondition(" \t\r\n", t.schema), nullptr);
}

TEST(FilterErrors, DeepNestingIsRefusedWithoutOverflow) {
    const MiniTable t = sample();
    const std::string expected = "Invalid Query Expression\nExpression nested too deeply";
    auto repeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    for (int n : {100000, 5000}) {
        EXPECT_EQ(errorOf(t, repeat("(", n) + "OK" + repeat(")", n)).substr(0, expected.size()), expected);
        EXPECT_EQ(errorOf(t, repeat("NOT ", n) + "OK").substr(0, expected.size()), expected);
        EXPECT_EQ(errorOf(t, repeat("!", n) + "OK").substr(0, expected.size()), expected);
        EXPECT_EQ(errorOf(t, repeat("-", n) + "1 = 1").substr(0, expected.size()), expected);
        EXPECT_EQ(errorOf(t, repeat("ABS(", n) + "1" + repeat(")", n) + " = 1").substr(0, expected.size()), expected);
        // Long chains of binary operators nest the tree without nesting the text.
        EXPECT_EQ(errorOf(t, "AGE" + repeat(" + AGE", n) + " > 0").substr(0, expected.size()), expected);
        EXPECT_EQ(errorOf(t, "NAME" + repeat("+NAME", n) + " = ''").substr(0, expected.size()), expected);
        EXPECT_EQ(errorOf(t, "OK" + repeat(" = OK", n)).substr(0, expected.size()), expected);
    }
    // Nesting a real filter needs is accepted.
    EXPECT_EQ(t.matching(repeat("(", 60) + "AGE > 35" + repeat(")", 60)), (std::vector<int>{2}));
    EXPECT_EQ(t.matching(repeat("NOT ", 60) + "OK"), (std::vector<int>{1}));
}

TEST(FilterErrors, LongTexts) {
    const MiniTable t = sample();
    // A long OR list, as the grid writes an in-list condition, stays flat and is accepted.
    std::string list = "(AGE = 40)";
    for (int i = 0; i < 20000; ++i)
        list += " OR (AGE = " + std::to_string(1000 + i) + ")";
    EXPECT_EQ(t.matching(list), (std::vector<int>{2}));
    // Past the limit the text is refused before it is read.
    std::string huge = "NAME = '" + std::string(expr::kMaxExpressionLength, 'x') + "'";
    EXPECT_EQ(errorOf(t, huge), "Invalid Query Expression\nExpression too long: 1000009 characters, at most 1000000");
}

} // namespace
} // namespace tabvue::engine
