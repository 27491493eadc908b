#include "table/filter_tree_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace tabvue::gui {

QWidget* makeFilterValueEditor(FilterValueKind kind, QWidget* parent) {
    switch (kind) {
    case FilterValueKind::Number: {
        auto* edit = new QLineEdit(parent);
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("-?[0-9]*\\.?[0-9]*")), edit));
        edit->setPlaceholderText(QStringLiteral("number"));
        edit->setMinimumWidth(80);
        return edit;
    }
    case FilterValueKind::Date: {
        auto* edit = new QDateEdit(QDate::currentDate(), parent);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        edit->setCalendarPopup(true);
        edit->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
        return edit;
    }
    case FilterValueKind::Logical: {
        auto* box = new QCheckBox(QStringLiteral("True"), parent);
        return box;
    }
    case FilterValueKind::Text:
    case FilterValueKind::None:
        break;
    }
    auto* edit = new QLineEdit(parent);
    edit->setPlaceholderText(QStringLiteral("text"));
    edit->setMinimumWidth(100);
    return edit;
}

std::optional<FilterValue> filterEditorValue(const QWidget* editor, FilterValueKind kind) {
    switch (kind) {
    case FilterValueKind::Number: {
        bool ok = false;
        const double v = QLocale::c().toDouble(static_cast<const QLineEdit*>(editor)->text(), &ok);
        if (!ok)
            return std::nullopt;
        return FilterValue(v);
    }
    case FilterValueKind::Date:
        return FilterValue(static_cast<const QDateEdit*>(editor)->date());
    case FilterValueKind::Logical:
        return FilterValue(static_cast<const QCheckBox*>(editor)->isChecked());
    case FilterValueKind::Text:
    case FilterValueKind::None:
        break;
    }
    return FilterValue(static_cast<const QLineEdit*>(editor)->text());
}

void setFilterEditorValue(QWidget* editor, FilterValueKind kind, const FilterValue& value) {
    switch (kind) {
    case FilterValueKind::Number:
        if (const double* d = std::get_if<double>(&value))
            static_cast<QLineEdit*>(editor)->setText(filterLiteral(*d));
        return;
    case FilterValueKind::Date:
        if (const QDate* date = std::get_if<QDate>(&value))
            static_cast<QDateEdit*>(editor)->setDate(*date);
        return;
    case FilterValueKind::Logical:
        if (const bool* b = std::get_if<bool>(&value))
            static_cast<QCheckBox*>(editor)->setChecked(*b);
        return;
    case FilterValueKind::Text:
    case FilterValueKind::None:
        break;
    }
    if (const QString* s = std::get_if<QString>(&value))
        static_cast<QLineEdit*>(editor)->setText(*s);
}

namespace {

QToolButton* toolButton(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
}

} // namespace

// ---- condition ----

FilterConditionWidget::FilterConditionWidget(const std::vector<FilterField>& fields, QWidget* parent)
    : QWidget(parent), fields_(fields), field_(new QComboBox(this)), op_(new QComboBox(this)),
      valuesBox_(new QWidget(this)), valuesLayout_(new QHBoxLayout(valuesBox_)),
      addValue_(toolButton(QStringLiteral("+"), QStringLiteral("Add a value to the list"), this)),
      removeValue_(toolButton(QStringLiteral("\u2212"), QStringLiteral("Remove the last value of the list"), this)),
      remove_(toolButton(QStringLiteral("\u00d7"), QStringLiteral("Remove this condition"), this)) {
    setObjectName(QStringLiteral("filterCondition"));
    for (const FilterField& f : fields_)
        field_->addItem(f.name);
    field_->setCurrentIndex(-1);
    field_->setMinimumContentsLength(10);
    op_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    valuesLayout_->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field_);
    layout->addWidget(op_);
    layout->addWidget(valuesBox_);
    layout->addWidget(addValue_);
    layout->addWidget(removeValue_);
    layout->addStretch(1);
    layout->addWidget(remove_);
    connect(field_, &QComboBox::currentIndexChanged, this, [this] { fieldChanged(); });
    connect(op_, &QComboBox::currentIndexChanged, this, [this] {
        if (op_->currentIndex() < 0)
            return;
        const int count = filterOperandCount(FilterOperator(op_->currentData().toInt()));
        rebuildEditors(count < 0 ? std::max<int>(1, int(editors_.size())) : count);
    });
    connect(addValue_, &QToolButton::clicked, this, [this] { rebuildEditors(int(editors_.size()) + 1); });
    connect(removeValue_, &QToolButton::clicked, this, [this] {
        rebuildEditors(std::max<int>(1, int(editors_.size()) - 1));
    });
    if (!fields_.empty())
        field_->setCurrentIndex(0);
    else
        rebuildEditors(0);
}

FilterValueKind FilterConditionWidget::kind() const {
    const int i = field_->currentIndex();
    return i < 0 ? FilterValueKind::None : fields_[std::size_t(i)].kind;
}

void FilterConditionWidget::fieldChanged() {
    const FilterValueKind k = kind();
    if (k == shownKind_)
        return;
    const int previous = op_->currentIndex() < 0 ? -1 : op_->currentData().toInt();
    // Values of another kind do not carry over: drop the editors before the operators change.
    rebuildEditors(0);
    shownKind_ = k;
    QSignalBlocker block(op_);
    op_->clear();
    for (FilterOperator op : filterOperatorsFor(k))
        op_->addItem(filterOperatorCaption(op), int(op));
    const int keep = op_->findData(previous);
    op_->setCurrentIndex(keep >= 0 ? keep : (op_->count() ? 0 : -1));
    const int count = op_->currentIndex() < 0 ? 0 : filterOperandCount(FilterOperator(op_->currentData().toInt()));
    rebuildEditors(count < 0 ? 1 : count);
}

std::vector<FilterValue> FilterConditionWidget::currentValues() const {
    std::vector<FilterValue> values;
    for (QWidget* e : editors_)
        if (auto v = filterEditorValue(e, shownKind_))
            values.push_back(*v);
    return values;
}

void FilterConditionWidget::rebuildEditors(int count) {
    // Keep what was typed in the editors that stay.
    std::vector<std::optional<FilterValue>> kept;
    for (QWidget* e : editors_)
        kept.push_back(filterEditorValue(e, shownKind_));
    while (QLayoutItem* item = valuesLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    editors_.clear();
    const bool range = op_->currentIndex() >= 0 &&
                       filterOperandCount(FilterOperator(op_->currentData().toInt())) == 2;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            valuesLayout_->addWidget(new QLabel(range ? QStringLiteral("and") : QStringLiteral("or"), valuesBox_));
        QWidget* editor = makeFilterValueEditor(shownKind_, valuesBox_);
        if (std::size_t(i) < kept.size() && kept[std::size_t(i)])
            setFilterEditorValue(editor, shownKind_, *kept[std::size_t(i)]);
        valuesLayout_->addWidget(editor);
        editors_.push_back(editor);
    }
    const bool list = op_->currentIndex() >= 0 && filterOperandCount(FilterOperator(op_->currentData().toInt())) < 0;
    addValue_->setVisible(list);
    removeValue_->setVisible(list && editors_.size() > 1);
    valuesBox_->setVisible(count > 0);
}

void FilterConditionWidget::setField(const QString& name) { field_->setCurrentIndex(field_->findText(name)); }

void FilterConditionWidget::setOperator(FilterOperator op) { op_->setCurrentIndex(op_->findData(int(op))); }

void FilterConditionWidget::setValues(const std::vector<FilterValue>& values) {
    const int count = op_->currentIndex() < 0 ? 0 : filterOperandCount(FilterOperator(op_->currentData().toInt()));
    rebuildEditors(count < 0 ? std::max<int>(1, int(values.size())) : count);
    for (std::size_t i = 0; i < editors_.size() && i < values.size(); ++i)
        setFilterEditorValue(editors_[i], shownKind_, values[i]);
}

void FilterConditionWidget::load(const FilterNode& condition) {
    setField(condition.field);
    setOperator(condition.op);
    setValues(condition.values);
}

FilterNode FilterConditionWidget::node() const {
    if (field_->currentIndex() < 0 || op_->currentIndex() < 0)
        return FilterNode::condition(QString(), FilterOperator::Equal);
    return FilterNode::condition(field_->currentText(), FilterOperator(op_->currentData().toInt()), currentValues());
}

// ---- group ----

FilterGroupWidget::FilterGroupWidget(const std::vector<FilterField>& fields, bool root, QWidget* parent)
    : QFrame(parent), fields_(fields), not_(new QCheckBox(QStringLiteral("NOT"), this)),
      join_(new QComboBox(this)), childLayout_(new QVBoxLayout) {
    setObjectName(root ? QStringLiteral("filterRoot") : QStringLiteral("filterGroup"));
    setFrameShape(QFrame::StyledPanel);
    join_->addItem(QStringLiteral("AND"), int(FilterJoin::And));
    join_->addItem(QStringLiteral("OR"), int(FilterJoin::Or));
    join_->setToolTip(QStringLiteral("AND: all conditions hold; OR: any of them holds"));
    not_->setToolTip(QStringLiteral("Negate the whole group"));
    auto* addCondition = toolButton(QStringLiteral("Add condition"), QStringLiteral("Add a condition to this group"), this);
    auto* addGroup = toolButton(QStringLiteral("Add group"), QStringLiteral("Add a nested group"), this);
    addCondition->setAutoRaise(false);
    addGroup->setAutoRaise(false);
    addCondition->setObjectName(QStringLiteral("addCondition"));
    addGroup->setObjectName(QStringLiteral("addGroup"));
    auto* header = new QHBoxLayout;
    header->addWidget(not_);
    header->addWidget(join_);
    header->addWidget(addCondition);
    header->addWidget(addGroup);
    header->addStretch(1);
    if (!root) {
        remove_ = toolButton(QStringLiteral("\u00d7"), QStringLiteral("Remove this group"), this);
        header->addWidget(remove_);
    }
    childLayout_->setContentsMargins(20, 0, 0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(header);
    layout->addLayout(childLayout_);
    connect(addCondition, &QToolButton::clicked, this, [this] { this->addCondition(); });
    connect(addGroup, &QToolButton::clicked, this, [this] { this->addGroup(); });
}

void FilterGroupWidget::adopt(QWidget* child, QToolButton* removeButton) {
    childLayout_->addWidget(child);
    children_.push_back(child);
    connect(removeButton, &QToolButton::clicked, this, [this, child] { removeChild(child); });
}

FilterConditionWidget* FilterGroupWidget::addCondition() {
    auto* c = new FilterConditionWidget(fields_, this);
    adopt(c, c->removeButton());
    return c;
}

FilterGroupWidget* FilterGroupWidget::addGroup() {
    auto* g = new FilterGroupWidget(fields_, false, this);
    adopt(g, g->removeButton());
    return g;
}

void FilterGroupWidget::removeChild(QWidget* child) {
    auto it = std::find(children_.begin(), children_.end(), child);
    if (it == children_.end())
        return;
    children_.erase(it);
    childLayout_->removeWidget(child);
    child->deleteLater();
}

void FilterGroupWidget::clear() {
    while (!children_.empty())
        removeChild(children_.back());
}

void FilterGroupWidget::load(const FilterNode& group) {
    clear();
    not_->setChecked(group.negated);
    join_->setCurrentIndex(join_->findData(int(group.join)));
    for (const FilterNode& child : group.children) {
        if (child.isGroup)
            addGroup()->load(child);
        else
            addCondition()->load(child);
    }
}

FilterNode FilterGroupWidget::node() const {
    std::vector<FilterNode> children;
    for (QWidget* child : children_) {
        if (auto* g = qobject_cast<FilterGroupWidget*>(child))
            children.push_back(g->node());
        else if (auto* c = qobject_cast<FilterConditionWidget*>(child))
            children.push_back(c->node());
    }
    return FilterNode::group(FilterJoin(join_->currentData().toInt()), std::move(children), not_->isChecked());
}

} // namespace tabvue::gui
