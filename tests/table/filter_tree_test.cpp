// The builder's tree turned into the grid's filter notation.
#include <QtTest>

#include "table/filter_tree.h"

using namespace tabvue::gui;
using O = FilterOperator;
using N = FilterNode;

Q_DECLARE_METATYPE(tabvue::gui::FilterNode)

namespace {

// Wednesday 15 May 2024; weeks start on Monday unless a case says otherwise.
const FilterCalendar kCalendar{QDate(2024, 5, 15), Qt::Monday};

N cond(const char* field, O op, std::vector<FilterValue> values = {}) {
    return N::condition(QString::fromLatin1(field), op, std::move(values));
}
FilterValue text(const char* s) { return QString::fromUtf8(s); }
FilterValue date(int y, int m, int d) { return QDate(y, m, d); }

} // namespace

class FilterTreeTest : public QObject {
    Q_OBJECT
private slots:
    void notation_data() {
        QTest::addColumn<FilterNode>("tree");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, N tree, const char* expected) {
            QTest::newRow(name) << tree << QString::fromUtf8(expected);
        };
        // single conditions, one per operator
        row("equals text", cond("NAME", O::Equal, {text("Smith")}), "(NAME = 'Smith')");
        row("not equal", cond("NAME", O::NotEqual, {text("Smith")}), "(NAME <> 'Smith')");
        row("less", cond("AGE", O::Less, {30.0}), "(AGE < 30)");
        row("less or equal", cond("AGE", O::LessOrEqual, {30.5}), "(AGE <= 30.5)");
        row("greater", cond("AGE", O::Greater, {-2.25}), "(AGE > -2.25)");
        row("greater or equal", cond("AGE", O::GreaterOrEqual, {0.1}), "(AGE >= 0.1)");
        row("large number has no exponent", cond("N", O::Equal, {1e20}), "(N = 100000000000000000000)");
        row("like", cond("NAME", O::Like, {text("Sm%")}), "(NAME LIKE 'Sm%')");
        row("not like", cond("NAME", O::NotLike, {text("Sm%")}), "( NOT (NAME LIKE 'Sm%'))");
        row("between numbers", cond("AGE", O::Between, {18.0, 65.0}), "((AGE >= 18) AND (AGE <= 65))");
        row("not between dates", cond("BDATE", O::NotBetween, {date(2003, 1, 1), date(2003, 12, 31)}),
            "(NOT ((BDATE >= '\\yy\\01.01.2003\\xx\\') AND (BDATE <= '\\yy\\31.12.2003\\xx\\')))");
        row("in list", cond("CITY", O::InList, {text("Paris"), text("Rome")}),
            "((CITY = 'Paris') OR (CITY = 'Rome'))");
        row("in list of one", cond("CITY", O::InList, {text("Paris")}), "((CITY = 'Paris'))");
        row("not in list", cond("AGE", O::NotInList, {1.0, 2.0, 3.0}),
            "(NOT ((AGE = 1) OR (AGE = 2) OR (AGE = 3)))");
        row("blank", cond("NAME", O::Blank), "(NAME = NULL)");
        row("not blank", cond("NAME", O::NotBlank), "(NAME <> NULL)");
        row("date", cond("BDATE", O::Equal, {date(2003, 2, 1)}), "(BDATE = '\\yy\\01.02.2003\\xx\\')");
        row("date before year 1000", cond("BDATE", O::Less, {date(999, 3, 4)}), "(BDATE < '\\yy\\04.03.0999\\xx\\')");
        row("logical true", cond("ACTIVE", O::Equal, {true}), "(ACTIVE = True)");
        row("logical false", cond("ACTIVE", O::NotEqual, {false}), "(ACTIVE <> False)");
        row("apostrophes doubled", cond("NAME", O::Equal, {text("O'Brien's")}), "(NAME = 'O''Brien''s')");
        row("text kept as typed", cond("NAME", O::Equal, {text("  Zoë (x) % \"q\"")}),
            "(NAME = '  Zoë (x) % \"q\"')");
        row("empty text", cond("NAME", O::Equal, {text("")}), "(NAME = '')");

        // named ranges around Wednesday 15 May 2024
        auto range = [](const char* a, const char* b) {
            return QStringLiteral("((D >= '\\yy\\%1\\xx\\') AND (D < '\\yy\\%2\\xx\\'))").arg(QLatin1String(a), QLatin1String(b));
        };
        const struct { const char* name; O op; const char* first; const char* end; } ranges[] = {
            {"today", O::Today, "15.05.2024", "16.05.2024"},
            {"yesterday", O::Yesterday, "14.05.2024", "15.05.2024"},
            {"tomorrow", O::Tomorrow, "16.05.2024", "17.05.2024"},
            {"this week", O::ThisWeek, "13.05.2024", "20.05.2024"},
            {"last week", O::LastWeek, "06.05.2024", "13.05.2024"},
            {"next week", O::NextWeek, "20.05.2024", "27.05.2024"},
            {"this month", O::ThisMonth, "01.05.2024", "01.06.2024"},
            {"last month", O::LastMonth, "01.04.2024", "01.05.2024"},
            {"next month", O::NextMonth, "01.06.2024", "01.07.2024"},
            {"this year", O::ThisYear, "01.01.2024", "01.01.2025"},
            {"last year", O::LastYear, "01.01.2023", "01.01.2024"},
            {"next year", O::NextYear, "01.01.2025", "01.01.2026"},
        };
        for (const auto& r : ranges)
            QTest::newRow(r.name) << cond("D", r.op) << range(r.first, r.end);

        // groups
        row("root AND", N::group(FilterJoin::And, {cond("AGE", O::Greater, {30.0}), cond("NAME", O::Blank)}),
            "(AGE > 30) AND (NAME = NULL)");
        row("root OR", N::group(FilterJoin::Or, {cond("BDATE", O::Blank), cond("NAME", O::NotBlank)}),
            "(BDATE = NULL) OR (NAME <> NULL)");
        row("nested group in parentheses",
            N::group(FilterJoin::And, {N::group(FilterJoin::Or, {cond("NAME", O::Blank), cond("CITY", O::Equal, {text("Rome")})}),
                                       cond("AGE", O::Greater, {30.0})}),
            "((NAME = NULL) OR (CITY = 'Rome')) AND (AGE > 30)");
        row("negated root", N::group(FilterJoin::Or, {cond("A", O::Equal, {1.0}), cond("B", O::Equal, {2.0})}, true),
            "NOT ((A = 1) OR (B = 2))");
        row("negated nested",
            N::group(FilterJoin::And, {cond("A", O::Equal, {1.0}),
                                       N::group(FilterJoin::Or, {cond("B", O::Equal, {2.0}), cond("C", O::Equal, {3.0})}, true)}),
            "(A = 1) AND (NOT ((B = 2) OR (C = 3)))");
        row("three levels",
            N::group(FilterJoin::Or, {N::group(FilterJoin::And, {cond("A", O::Blank),
                                                                 N::group(FilterJoin::Or, {cond("B", O::Like, {text("x%")}), cond("C", O::Equal, {true})})})}),
            "((A = NULL) AND ((B LIKE 'x%') OR (C = True)))");
        row("empty root", N::group(FilterJoin::And, {}), "");
        row("empty negated root", N::group(FilterJoin::And, {}, true), "");
        row("empty groups dropped",
            N::group(FilterJoin::And, {N::group(FilterJoin::Or, {N::group(FilterJoin::And, {})}), cond("A", O::Blank),
                                       N::group(FilterJoin::Or, {}, true)}),
            "(A = NULL)");
        row("incomplete condition dropped",
            N::group(FilterJoin::And, {cond("A", O::Equal), cond("B", O::Between, {1.0}), cond("C", O::InList), cond("D", O::Blank)}),
            "(D = NULL)");
    }

    void notation() {
        QFETCH(FilterNode, tree);
        QFETCH(QString, expected);
        QCOMPARE(filterText(tree, kCalendar), expected);
    }

    void weekStartsOnTheCalendarsFirstDay() {
        // Sunday-first weeks: the week of Wednesday 15 May 2024 starts on Sunday 12 May.
        const FilterCalendar sunday{QDate(2024, 5, 15), Qt::Sunday};
        QCOMPARE(namedDateRange(O::ThisWeek, sunday), std::make_pair(QDate(2024, 5, 12), QDate(2024, 5, 19)));
        // On the first day itself the week starts that day.
        const FilterCalendar monday{QDate(2024, 5, 13), Qt::Monday};
        QCOMPARE(namedDateRange(O::ThisWeek, monday), std::make_pair(QDate(2024, 5, 13), QDate(2024, 5, 20)));
        // Month and year ranges cross the year boundary.
        const FilterCalendar december{QDate(2024, 12, 31), Qt::Monday};
        QCOMPARE(namedDateRange(O::NextMonth, december), std::make_pair(QDate(2025, 1, 1), QDate(2025, 2, 1)));
        QCOMPARE(namedDateRange(O::Tomorrow, december), std::make_pair(QDate(2025, 1, 1), QDate(2025, 1, 2)));
        const FilterCalendar january{QDate(2024, 1, 31), Qt::Monday};
        QCOMPARE(namedDateRange(O::LastMonth, january), std::make_pair(QDate(2023, 12, 1), QDate(2024, 1, 1)));
    }

    void problems() {
        QVERIFY(filterTreeProblem(N::group(FilterJoin::And, {})).isEmpty());
        QVERIFY(filterTreeProblem(N::group(FilterJoin::And, {cond("A", O::Blank), cond("D", O::ThisYear)})).isEmpty());
        QVERIFY(!filterTreeProblem(N::group(FilterJoin::And, {N::group(FilterJoin::Or, {cond("A", O::Equal)})})).isEmpty());
        QVERIFY(!filterTreeProblem(cond("", O::Blank)).isEmpty());
        QVERIFY(!filterTreeProblem(cond("A", O::Between, {1.0})).isEmpty());
        QVERIFY(!filterTreeProblem(cond("A", O::NotInList, {})).isEmpty());
        QVERIFY(!filterTreeProblem(cond("A", O::Equal, {std::numeric_limits<double>::quiet_NaN()})).isEmpty());
        QVERIFY(!filterTreeProblem(cond("D", O::Equal, {QDate()})).isEmpty());
        QVERIFY(!filterTreeProblem(cond("D", O::Equal, {QDate(10000, 1, 1)})).isEmpty());
    }

    void operatorsFitTheField() {
        using K = FilterValueKind;
        auto has = [](K kind, O op) {
            const auto ops = filterOperatorsFor(kind);
            return std::find(ops.begin(), ops.end(), op) != ops.end();
        };
        QVERIFY(has(K::Text, O::Like) && has(K::Text, O::NotLike) && !has(K::Text, O::Today));
        QVERIFY(!has(K::Number, O::Like) && has(K::Number, O::Between));
        QVERIFY(has(K::Date, O::NextYear) && has(K::Date, O::InList) && !has(K::Date, O::Like));
        QVERIFY(has(K::Logical, O::Equal) && has(K::Logical, O::Blank) && !has(K::Logical, O::Less));
        QVERIFY(filterOperatorsFor(K::None).empty());
        QCOMPARE(filterValueKind(tabvue::engine::FieldKind::Currency), K::Number);
        QCOMPARE(filterValueKind(tabvue::engine::FieldKind::DateTime), K::Date);
        QCOMPARE(filterValueKind(tabvue::engine::FieldKind::Memo), K::Text);
        QCOMPARE(filterValueKind(tabvue::engine::FieldKind::Blob), K::None);
    }
};

QTEST_GUILESS_MAIN(FilterTreeTest)
#include "filter_tree_test.moc"
