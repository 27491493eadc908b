#include <gtest/gtest.h>

#include "engine/filter_rewrite.h"
#include "engine/filter_test_util.h"

namespace tabvue::engine {
namespace {

using testing::sameBytes;

struct RewriteCase {
    const char* grid;
    const char* engine;
};

// The grid's texts and the filters they become, byte for byte.
const RewriteCase kWorkedExamples[] = {
    {"(NAME = 'Smith')", "(NAME = 'Smith')"},
    {"(NAME = NULL)", " EMPTY(NAME)"},
    {"(NAME <> NULL)", " not  EMPTY(NAME)"},
    {"(AGE > 30) AND (NAME = NULL)", "(AGE > 30) AND  EMPTY(NAME)"},
    {"(BDATE = '\\yy\\01.02.2003\\xx\\')", "(BDATE = ctod(\"01.02.2003\"))"},
    {"((BDATE >= '\\yy\\01.01.2003\\xx\\') AND (BDATE <= '\\yy\\31.12.2003\\xx\\'))",
     "((BDATE >= ctod(\"01.01.2003\")) AND (BDATE <= ctod(\"31.12.2003\")))"},
    {"((CITY = 'Paris') OR (CITY = 'Rome'))", "((CITY = 'Paris') OR (CITY = 'Rome'))"},
    {"( NOT (NAME LIKE 'Sm%'))", "( NOT (NAME LIKE 'Sm%'))"},
    {"((NAME = NULL) OR (CITY = 'Rome')) AND (AGE > 30)", "( EMPTY(NAME) OR (CITY = 'Rome')) AND (AGE > 30)"},
    {"(BDATE = NULL) OR (NAME <> NULL)", " EMPTY(BDATE) OR  not  EMPTY(NAME)"},
    {"", ""},
};

TEST(FilterRewrite, WorkedExamples) {
    for (const auto& c : kWorkedExamples)
        EXPECT_TRUE(sameBytes(rewriteGridFilter(c.grid), c.engine)) << "grid text: " << c.grid;
}

TEST(FilterRewrite, EdgeCases) {
    const RewriteCase cases[] = {
        // Values keep the grid's text: wildcards, logical and numeric values, lower-case null.
        {"((MARRIED = True) AND (AMOUNT >= 1234.5)) OR (NOTE LIKE '%null%')",
         "((MARRIED = True) AND (AMOUNT >= 1234.5)) OR (NOTE LIKE '%null%')"},
        // The search is textual: a value spelled NULL is taken for the null test.
        {"(NOTE = 'NULL')", " EMPTY(NOTE)"},
        // Negated group and not-between keep their own parentheses.
        {"( NOT (NAME = NULL))", "( NOT  EMPTY(NAME))"},
        {"(NOT ((BDATE >= '\\yy\\01.01.2003\\xx\\') AND (BDATE < '\\yy\\01.02.2003\\xx\\')))",
         "(NOT ((BDATE >= ctod(\"01.01.2003\")) AND (BDATE < ctod(\"01.02.2003\"))))"},
        // Several nulls, each in its own condition.
        {"((A = NULL) OR (B <> NULL) OR (C = NULL))", "( EMPTY(A) OR  not  EMPTY(B) OR  EMPTY(C))"},
        // A condition without a blank gives an empty field name.
        {"(NULL)", " EMPTY()"},
        // A parenthesis inside the value is taken for the condition's: the rest is left as is.
        {"(NOTE = 'NULL(1)') AND (A = NULL)", "(NOTE = 'NULL(1)') AND (A = NULL)"},
        // No ")" after the NULL, and no "(" before that ")".
        {"(A = 1) AND B = NULL", "(A = 1) AND B = NULL"},
        {"A = NULL)", "A = NULL)"},
        // Conditions before the one that stops the rewrite are still rewritten.
        {"(A = NULL) OR B = NULL", " EMPTY(A) OR B = NULL"},
        // A field name carrying NULL: the rewrite still ends.
        {"(NULLABLE = NULL)", " EMPTY EMPTY()"},
        {"(X)NULL )", " EMPTY EMPTY()"},
        // Date markers without their partner are replaced one by one.
        {"'\\yy\\'\\yy\\\\xx\\'", "ctod(\"ctod(\"\")"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(sameBytes(rewriteGridFilter(c.grid), c.engine)) << "grid text: " << c.grid;
}

TEST(FilterRewrite, AlwaysEndsOnNullHeavyText) {
    // Every arrangement of a few pieces: the rewrite must end and leave no more NULLs than it got.
    const char* pieces[] = {"(", ")", "NULL", " ", "<>", "A", "'"};
    const int n = 7;
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            for (int c = 0; c < n; ++c)
                for (int d = 0; d < n; ++d)
                    for (int e = 0; e < n; ++e) {
                        std::string text = std::string(pieces[a]) + pieces[b] + pieces[c] + pieces[d] + pieces[e] +
                                           "NULL" + pieces[a] + pieces[c];
                        std::string out = rewriteGridFilter(text);
                        auto count = [](const std::string& s) {
                            std::size_t k = 0;
                            for (auto p = s.find("NULL"); p != std::string::npos; p = s.find("NULL", p + 1))
                                ++k;
                            return k;
                        };
                        EXPECT_LE(count(out), count(text)) << text;
                    }
}

} // namespace
} // namespace tabvue::engine
