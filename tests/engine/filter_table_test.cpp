// Filters installed on tables opened from files: the rewrite, installation, failure handling,
// OEM translation, and agreement with the engine's own reading of every corpus table.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>

#include "engine/codepage.h"
#include "engine/expression.h"
#include "engine/filter_rewrite.h"
#include "engine/filter_test_util.h"

namespace tabvue::engine {
namespace {

using test::FieldDef;
using Recs = std::vector<int>;

Recs view(Table& t) {
    while (!t.advanceView(1 << 20)) {
    }
    Recs out;
    for (std::int64_t i = 0; i < t.viewCount(); ++i)
        out.push_back(static_cast<int>(t.viewRecord(i)));
    return out;
}

class FilterOnTable : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<FieldDef> defs = {
            {"NAME", 'C', 10}, {"CITY", 'C', 10}, {"AGE", 'N', 3}, {"BDATE", 'D', 8}};
        testing::DbfBuilder(0x03, defs)
            .date(126, 12, 11)
            .row({"Smith", "Paris", "30", "20030201"})
            .row({"Smithson", "Rome", "45", "19991231"})
            .row({"", "Rome", "50", ""})
            .row({"Jones", "Paris", "31", "20031231"})
            .row({"NULL", "Berlin", "20", "20030615"})
            .row({"Smith", "Rome", "60", "20030301"}, true)
            .write(dir.file("people.dbf"));
        table.open(dir.file("people.dbf"));
    }
    testing::TempDir dir;
    Table table;
};

TEST_F(FilterOnTable, WorkedExamplesSelectTheirRecords) {
    const std::pair<const char*, Recs> cases[] = {
        {"(NAME = 'Smith')", {1}}, // record 6 is deleted
        {"(NAME = NULL)", {3}},
        {"(NAME <> NULL)", {1, 2, 4, 5}},
        {"(AGE > 30) AND (NAME = NULL)", {3}},
        {"(BDATE = '\\yy\\01.02.2003\\xx\\')", {1}},
        {"((BDATE >= '\\yy\\01.01.2003\\xx\\') AND (BDATE <= '\\yy\\31.12.2003\\xx\\'))", {1, 4, 5}},
        {"((CITY = 'Paris') OR (CITY = 'Rome'))", {1, 2, 3, 4}},
        {"( NOT (NAME LIKE 'Sm%'))", {3, 4, 5}},
        {"((NAME = NULL) OR (CITY = 'Rome')) AND (AGE > 30)", {2, 3}},
        {"(BDATE = NULL) OR (NAME <> NULL)", {1, 2, 3, 4, 5}},
        {"", {1, 2, 3, 4, 5}},
    };
    for (const auto& [grid, expected] : cases) {
        installFilter(table, rewriteGridFilter(grid));
        EXPECT_TRUE(table.filtered()) << grid;
        EXPECT_EQ(view(table), expected) << grid;
    }
}

TEST_F(FilterOnTable, InstallingTheSameTextTwiceChangesNothing) {
    int changes = 0;
    table.addViewListener([&] { ++changes; });
    installFilter(table, rewriteGridFilter("(CITY = 'Rome')"));
    EXPECT_EQ(view(table), (Recs{2, 3}));
    const int afterFirst = changes;
    EXPECT_GT(afterFirst, 0);
    installFilter(table, rewriteGridFilter("(CITY = 'Rome')"));
    EXPECT_EQ(changes, afterFirst);
    EXPECT_EQ(view(table), (Recs{2, 3}));
}

TEST_F(FilterOnTable, ClearingLeavesAnEmptyFilterSwitchedOn) {
    installFilter(table, rewriteGridFilter("(CITY = 'Rome')"));
    installFilter(table, rewriteGridFilter(""));
    EXPECT_EQ(table.filter(), "");
    EXPECT_TRUE(table.filtered());
    EXPECT_EQ(view(table), (Recs{1, 2, 3, 4, 5}));
}

TEST_F(FilterOnTable, RejectedTextStaysWithAllRecordsShown) {
    installFilter(table, "(CITY = 'Rome')");
    // A value spelled NULL(1) stops the rewrite; the engine then refuses the text.
    const std::string text = rewriteGridFilter("(NAME = 'NULL(1)') AND (AGE = NULL)");
    try {
        installFilter(table, text);
        FAIL() << "accepted: " << text;
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, 25), "Invalid Query Expression\n");
    }
    EXPECT_EQ(table.filter(), text);
    EXPECT_TRUE(table.filtered());
    EXPECT_EQ(view(table), (Recs{1, 2, 3, 4, 5}));
    // The same text again is no change, so no second error.
    EXPECT_NO_THROW(installFilter(table, text));
    // A good filter afterwards works as usual.
    installFilter(table, rewriteGridFilter("(AGE >= 45)"));
    EXPECT_EQ(view(table), (Recs{2, 3}));
}

TEST(FilterTranslation, OemFieldTextMeetsAnsiLiterals) {
    testing::TempDir dir;
    // "Müller" and "ÄRGER" as code page 437 stores them.
    testing::DbfBuilder(0x03, {{"NAME", 'C', 8}})
        .date(126, 12, 11)
        .row({"M\x81ller"})
        .row({"\x8eRGER"})
        .row({"Muller"})
        .write(dir.file("oem.dbf"));
    Table table;
    table.open(dir.file("oem.dbf"));
    if (oemCodePage() != 437 || ansiCodePage() != 1252)
        GTEST_SKIP() << "needs TABVUE_OEM_CODEPAGE=437 and TABVUE_ANSI_CODEPAGE=1252";
    installFilter(table, "NAME = 'M\xFCller'");
    EXPECT_EQ(view(table), Recs{});
    // The compiled filter follows the table's translation switch.
    RecordPredicate p = compileFilter("NAME = 'M\xFCller'", table);
    std::string bytes;
    ASSERT_TRUE(table.readRecord(1, bytes));
    const auto* rec = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_FALSE(p(table, 1, rec));
    table.setOemTranslate(true);
    EXPECT_TRUE(p(table, 1, rec));
    installFilter(table, "NAME = 'M\xFCller' ");
    EXPECT_EQ(view(table), Recs{1});
    installFilter(table, "NAME LIKE 'm\xDCL%' OR NAME LIKE '\xE4r%'");
    EXPECT_EQ(view(table), (Recs{1, 2}));
    installFilter(table, "UPPER(NAME) = 'M\xDCLLER' OR LOWER(NAME) = '\xE4rger'");
    EXPECT_EQ(view(table), (Recs{1, 2}));
}

// Every field of the first records of every corpus table: the condition "field equals the value
// the engine reads" must hold, in both translation modes. This keeps the filter's own decoding of
// record bytes in step with the engine's.
std::string textLiteral(const std::string& s) {
    if (s.find('\'') == std::string::npos)
        return "'" + s + "'";
    if (s.find('"') == std::string::npos)
        return "\"" + s + "\"";
    if (s.find(']') == std::string::npos)
        return "[" + s + "]";
    return {};
}

std::string conditionFor(const std::string& name, const Value& v) {
    char buf[64];
    if (isNull(v))
        return "EMPTY(" + name + ")";
    if (auto* s = std::get_if<std::string>(&v)) {
        std::string lit = textLiteral(*s);
        if (lit.empty() || s->size() > 100000 || s->find('\0') != std::string::npos)
            return "";
        return name + " == " + lit;
    }
    if (auto* i = std::get_if<std::int64_t>(&v))
        return name + " = " + std::to_string(*i);
    if (auto* x = std::get_if<double>(&v)) {
        if (!std::isfinite(*x))
            return "";
        std::snprintf(buf, sizeof buf, "%.17g", *x);
        std::string cond = "ABS(" + name + " - (" + buf + ")) <= ";
        std::snprintf(buf, sizeof buf, "%.17g", std::fabs(*x) * 1e-12 + 1e-300);
        return cond + buf;
    }
    if (auto* y = std::get_if<Currency>(&v))
        return "ROUND(" + name + " * 10000, 0) = " + std::to_string(y->scaled);
    if (auto* d = std::get_if<Date>(&v)) {
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", d->year, d->month, d->day);
        return d->empty() ? "EMPTY(" + name + ")" : "DTOS(" + name + ") = '" + buf + "'";
    }
    if (auto* t = std::get_if<DateTime>(&v)) {
        if (t->date.empty())
            return "EMPTY(" + name + ")";
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", t->date.year, t->date.month, t->date.day);
        return "DTOS(" + name + ") = '" + buf + "'";
    }
    if (auto* b = std::get_if<bool>(&v))
        return name + (*b ? " = .T." : " = .F.");
    return "";
}

TEST(FilterOnCorpus, ConditionsAgreeWithTheEnginesValues) {
    const std::filesystem::path root = std::filesystem::path(TABVUE_SHARED_DIR) / "corpus" / "dbf";
    if (!std::filesystem::exists(root))
        GTEST_SKIP() << "corpus not found";
    int checked = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".dbf" && ext != ".DBF")
            continue;
        Table table;
        try {
            table.open(entry.path().string());
        } catch (const Error&) {
            continue; // unreadable files are the reader's tests
        }
        const auto& fields = table.fields();
        const RecordNo last = std::min<RecordNo>(table.recCount(), 20);
        for (bool oem : {false, true}) {
            table.setOemTranslate(oem);
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const std::string& name = fields[f].name;
                bool plainName = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
                for (char ch : name)
                    plainName = plainName && (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_');
                if (!plainName || fields[f].kind == FieldKind::Blob)
                    continue;
                for (RecordNo rec = 1; rec <= last; ++rec) {
                    std::string bytes;
                    if (!table.readRecord(rec, bytes))
                        break;
                    const auto& d = table.descriptors()[static_cast<std::size_t>(fields[f].descriptor)];
                    const std::string raw = bytes.substr(static_cast<std::size_t>(d.offset),
                                                         static_cast<std::size_t>(d.width));
                    const std::string cond = conditionFor(name, table.value(rec, static_cast<int>(f)));
                    // A number written with a thousands separator has no agreed reading.
                    if (cond.empty() || ((d.type == 'N' || d.type == 'F') && raw.find(',') != std::string::npos))
                        continue;
                    RecordPredicate p;
                    try {
                        p = compileFilter(cond, table);
                    } catch (const Error& e) {
                        ADD_FAILURE() << entry.path() << " " << cond << ": " << e.what();
                        continue;
                    }
                    EXPECT_TRUE(p(table, rec, reinterpret_cast<const unsigned char*>(bytes.data())))
                        << entry.path() << " record " << rec << " oem " << oem << ": " << cond;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

} // namespace
} // namespace tabvue::engine
