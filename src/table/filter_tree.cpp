#include "table/filter_tree.h"

#include <charconv>
#include <cmath>

namespace tabvue::gui {

FilterNode FilterNode::group(FilterJoin join, std::vector<FilterNode> children, bool negated) {
    FilterNode n;
    n.isGroup = true;
    n.join = join;
    n.negated = negated;
    n.children = std::move(children);
    return n;
}

FilterNode FilterNode::condition(QString field, FilterOperator op, std::vector<FilterValue> values) {
    FilterNode n;
    n.field = std::move(field);
    n.op = op;
    n.values = std::move(values);
    return n;
}

FilterValueKind filterValueKind(engine::FieldKind kind) {
    using engine::FieldKind;
    switch (kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        return FilterValueKind::Text;
    case FieldKind::Date:
    case FieldKind::DateTime:
        return FilterValueKind::Date;
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::AutoInc:
    case FieldKind::Float:
    case FieldKind::Currency:
        return FilterValueKind::Number;
    case FieldKind::Boolean:
        return FilterValueKind::Logical;
    case FieldKind::Blob:
        break;
    }
    return FilterValueKind::None;
}

int filterOperandCount(FilterOperator op) {
    switch (op) {
    case FilterOperator::Between:
    case FilterOperator::NotBetween:
        return 2;
    case FilterOperator::InList:
    case FilterOperator::NotInList:
        return -1;
    case FilterOperator::Blank:
    case FilterOperator::NotBlank:
        return 0;
    default:
        return isNamedDateRange(op) ? 0 : 1;
    }
}

bool isNamedDateRange(FilterOperator op) {
    return op >= FilterOperator::Today && op <= FilterOperator::NextYear;
}

std::vector<FilterOperator> filterOperatorsFor(FilterValueKind kind) {
    using O = FilterOperator;
    switch (kind) {
    case FilterValueKind::Text:
        return {O::Equal, O::NotEqual, O::Less, O::LessOrEqual, O::Greater, O::GreaterOrEqual,
                O::Like, O::NotLike, O::Between, O::NotBetween, O::InList, O::NotInList,
                O::Blank, O::NotBlank};
    case FilterValueKind::Number:
        return {O::Equal, O::NotEqual, O::Less, O::LessOrEqual, O::Greater, O::GreaterOrEqual,
                O::Between, O::NotBetween, O::InList, O::NotInList, O::Blank, O::NotBlank};
    case FilterValueKind::Date:
        return {O::Equal, O::NotEqual, O::Less, O::LessOrEqual, O::Greater, O::GreaterOrEqual,
                O::Between, O::NotBetween, O::InList, O::NotInList, O::Blank, O::NotBlank,
                O::Today, O::Yesterday, O::Tomorrow, O::ThisWeek, O::LastWeek, O::NextWeek,
                O::ThisMonth, O::LastMonth, O::NextMonth, O::ThisYear, O::LastYear, O::NextYear};
    case FilterValueKind::Logical:
        return {O::Equal, O::NotEqual, O::Blank, O::NotBlank};
    case FilterValueKind::None:
        break;
    }
    return {};
}

QString filterOperatorCaption(FilterOperator op) {
    switch (op) {
    case FilterOperator::Equal: return QStringLiteral("equals");
    case FilterOperator::NotEqual: return QStringLiteral("does not equal");
    case FilterOperator::Less: return QStringLiteral("is less than");
    case FilterOperator::LessOrEqual: return QStringLiteral("is less than or equal to");
    case FilterOperator::Greater: return QStringLiteral("is greater than");
    case FilterOperator::GreaterOrEqual: return QStringLiteral("is greater than or equal to");
    case FilterOperator::Like: return QStringLiteral("like");
    case FilterOperator::NotLike: return QStringLiteral("not like");
    case FilterOperator::Between: return QStringLiteral("between");
    case FilterOperator::NotBetween: return QStringLiteral("not between");
    case FilterOperator::InList: return QStringLiteral("in list");
    case FilterOperator::NotInList: return QStringLiteral("not in list");
    case FilterOperator::Blank: return QStringLiteral("is blank");
    case FilterOperator::NotBlank: return QStringLiteral("is not blank");
    case FilterOperator::Today: return QStringLiteral("is today");
    case FilterOperator::Yesterday: return QStringLiteral("is yesterday");
    case FilterOperator::Tomorrow: return QStringLiteral("is tomorrow");
    case FilterOperator::ThisWeek: return QStringLiteral("is this week");
    case FilterOperator::LastWeek: return QStringLiteral("is last week");
    case FilterOperator::NextWeek: return QStringLiteral("is next week");
    case FilterOperator::ThisMonth: return QStringLiteral("is this month");
    case FilterOperator::LastMonth: return QStringLiteral("is last month");
    case FilterOperator::NextMonth: return QStringLiteral("is next month");
    case FilterOperator::ThisYear: return QStringLiteral("is this year");
    case FilterOperator::LastYear: return QStringLiteral("is last year");
    case FilterOperator::NextYear: return QStringLiteral("is next year");
    }
    return {};
}

std::pair<QDate, QDate> namedDateRange(FilterOperator op, const FilterCalendar& calendar) {
    const QDate today = calendar.today;
    const int back = (today.dayOfWeek() - int(calendar.firstDayOfWeek) + 7) % 7;
    const QDate week = today.addDays(-back);
    const QDate month(today.year(), today.month(), 1);
    const QDate year(today.year(), 1, 1);
    switch (op) {
    case FilterOperator::Today: return {today, today.addDays(1)};
    case FilterOperator::Yesterday: return {today.addDays(-1), today};
    case FilterOperator::Tomorrow: return {today.addDays(1), today.addDays(2)};
    case FilterOperator::ThisWeek: return {week, week.addDays(7)};
    case FilterOperator::LastWeek: return {week.addDays(-7), week};
    case FilterOperator::NextWeek: return {week.addDays(7), week.addDays(14)};
    case FilterOperator::ThisMonth: return {month, month.addMonths(1)};
    case FilterOperator::LastMonth: return {month.addMonths(-1), month};
    case FilterOperator::NextMonth: return {month.addMonths(1), month.addMonths(2)};
    case FilterOperator::ThisYear: return {year, year.addYears(1)};
    case FilterOperator::LastYear: return {year.addYears(-1), year};
    case FilterOperator::NextYear: return {year.addYears(1), year.addYears(2)};
    default: break;
    }
    return {};
}

namespace {

QString numberLiteral(double v) {
    // Shortest text that reads back as the same number, never in exponent form and
    // independent of the locale.
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (r.ec != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

QString comparison(const QString& field, const char* op, const QString& literal) {
    return QLatin1Char('(') + field + QLatin1Char(' ') + QLatin1String(op) + QLatin1Char(' ') +
           literal + QLatin1Char(')');
}

bool complete(const FilterNode& c) {
    const int count = filterOperandCount(c.op);
    return !c.field.isEmpty() && (count < 0 ? !c.values.empty() : int(c.values.size()) >= count);
}

QString conditionText(const FilterNode& c, const FilterCalendar& calendar) {
    if (!complete(c))
        return {};
    const QString& f = c.field;
    auto value = [&](std::size_t i) { return filterLiteral(c.values.at(i)); };
    switch (c.op) {
    case FilterOperator::Equal: return comparison(f, "=", value(0));
    case FilterOperator::NotEqual: return comparison(f, "<>", value(0));
    case FilterOperator::Less: return comparison(f, "<", value(0));
    case FilterOperator::LessOrEqual: return comparison(f, "<=", value(0));
    case FilterOperator::Greater: return comparison(f, ">", value(0));
    case FilterOperator::GreaterOrEqual: return comparison(f, ">=", value(0));
    case FilterOperator::Like: return comparison(f, "LIKE", value(0));
    case FilterOperator::NotLike:
        return QStringLiteral("( NOT ") + comparison(f, "LIKE", value(0)) + QLatin1Char(')');
    case FilterOperator::Blank: return comparison(f, "=", QStringLiteral("NULL"));
    case FilterOperator::NotBlank: return comparison(f, "<>", QStringLiteral("NULL"));
    case FilterOperator::Between:
    case FilterOperator::NotBetween: {
        QString range = QLatin1Char('(') + comparison(f, ">=", value(0)) + QStringLiteral(" AND ") +
                        comparison(f, "<=", value(1)) + QLatin1Char(')');
        return c.op == FilterOperator::Between ? range : QStringLiteral("(NOT ") + range + QLatin1Char(')');
    }
    case FilterOperator::InList:
    case FilterOperator::NotInList: {
        QStringList parts;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            parts << comparison(f, "=", value(i));
        QString list = QLatin1Char('(') + parts.join(QStringLiteral(" OR ")) + QLatin1Char(')');
        return c.op == FilterOperator::InList ? list : QStringLiteral("(NOT ") + list + QLatin1Char(')');
    }
    default: {
        const auto [first, end] = namedDateRange(c.op, calendar);
        return QLatin1Char('(') + comparison(f, ">=", filterLiteral(first)) + QStringLiteral(" AND ") +
               comparison(f, "<", filterLiteral(end)) + QLatin1Char(')');
    }
    }
}

QString groupText(const FilterNode& g, const FilterCalendar& calendar) {
    QStringList parts;
    for (const FilterNode& child : g.children) {
        const QString text = child.isGroup ? groupText(child, calendar) : conditionText(child, calendar);
        if (!text.isEmpty())
            parts << (child.isGroup ? QLatin1Char('(') + text + QLatin1Char(')') : text);
    }
    QString text = parts.join(g.join == FilterJoin::And ? QStringLiteral(" AND ") : QStringLiteral(" OR "));
    if (g.negated && !text.isEmpty())
        text = QStringLiteral("NOT (") + text + QLatin1Char(')');
    return text;
}

} // namespace

QString filterLiteral(const FilterValue& value) {
    if (const QString* s = std::get_if<QString>(&value)) {
        QString quoted = *s;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    if (const double* d = std::get_if<double>(&value))
        return numberLiteral(*d);
    if (const QDate* date = std::get_if<QDate>(&value))
        return QStringLiteral("'\\yy\\%1.%2.%3\\xx\\'")
            .arg(date->day(), 2, 10, QLatin1Char('0'))
            .arg(date->month(), 2, 10, QLatin1Char('0'))
            .arg(date->year(), 4, 10, QLatin1Char('0'));
    return std::get<bool>(value) ? QStringLiteral("True") : QStringLiteral("False");
}

QString filterText(const FilterNode& root, const FilterCalendar& calendar) {
    if (!root.isGroup)
        return conditionText(root, calendar);
    return groupText(root, calendar);
}

QString filterTreeProblem(const FilterNode& node) {
    if (node.isGroup) {
        for (const FilterNode& child : node.children) {
            QString problem = filterTreeProblem(child);
            if (!problem.isEmpty())
                return problem;
        }
        return {};
    }
    if (node.field.isEmpty())
        return QStringLiteral("Choose a field for every condition.");
    if (!complete(node))
        return QStringLiteral("Enter a value for the condition on %1.").arg(node.field);
    for (const FilterValue& v : node.values) {
        if (const double* d = std::get_if<double>(&v); d && !std::isfinite(*d))
            return QStringLiteral("Enter a number for the condition on %1.").arg(node.field);
        if (const QDate* date = std::get_if<QDate>(&v); date && (!date->isValid() || date->year() < 1 || date->year() > 9999))
            return QStringLiteral("Enter a date for the condition on %1.").arg(node.field);
    }
    return {};
}

} // namespace tabvue::gui
