#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

#include "engine/table.h"

namespace tabvue::gui {

// What a condition tests. The named date ranges cover whole days, weeks, months or years
// around a given day.
enum class FilterOperator {
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Like,
    NotLike,
    Between,
    NotBetween,
    InList,
    NotInList,
    Blank,
    NotBlank,
    Today,
    Yesterday,
    Tomorrow,
    ThisWeek,
    LastWeek,
    NextWeek,
    ThisMonth,
    LastMonth,
    NextMonth,
    ThisYear,
    LastYear,
    NextYear,
};

// The editor and the notation a field's values get.
enum class FilterValueKind { Text, Number, Date, Logical, None };

FilterValueKind filterValueKind(engine::FieldKind kind);

// A value typed into the builder: text, number, date or logical.
using FilterValue = std::variant<QString, double, QDate, bool>;

enum class FilterJoin { And, Or };

// One node of the builder's tree: either a condition (field, operator, values) or a group
// that joins its children with AND or OR and may be negated.
struct FilterNode {
    bool isGroup = false;

    // group
    FilterJoin join = FilterJoin::And;
    bool negated = false;
    std::vector<FilterNode> children;

    // condition
    QString field;
    FilterOperator op = FilterOperator::Equal;
    std::vector<FilterValue> values;

    static FilterNode group(FilterJoin join, std::vector<FilterNode> children, bool negated = false);
    static FilterNode condition(QString field, FilterOperator op, std::vector<FilterValue> values = {});
};

// The day the named date ranges are counted from, and the first day of a week.
struct FilterCalendar {
    QDate today;
    Qt::DayOfWeek firstDayOfWeek = Qt::Monday;
};

// How many values an operator takes: 0, 1, 2 (a range) or -1 (a list of one or more).
int filterOperandCount(FilterOperator op);
bool isNamedDateRange(FilterOperator op);

// The operators offered for a kind of value, in the order the builder lists them.
std::vector<FilterOperator> filterOperatorsFor(FilterValueKind kind);

// The operator's caption in the builder ("equals", "is between", "this week", ...).
QString filterOperatorCaption(FilterOperator op);

// The named range [first, end) for a named date range operator.
std::pair<QDate, QDate> namedDateRange(FilterOperator op, const FilterCalendar& calendar);

// The grid's filter notation for a tree, in display text: every condition in parentheses,
// text in apostrophes (an apostrophe doubled), dates as '\yy\dd.mm.yyyy\xx\', numbers with
// "." as the decimal point, logicals as True/False, NULL for the blank tests. Empty groups and
// incomplete conditions (see filterTreeProblem) contribute nothing; an empty tree gives "".
QString filterText(const FilterNode& root, const FilterCalendar& calendar);

// The literal of one value in the notation.
QString filterLiteral(const FilterValue& value);

// Why a tree cannot be applied (a condition without a field or with a missing value), or
// an empty string when it can.
QString filterTreeProblem(const FilterNode& root);

} // namespace tabvue::gui
