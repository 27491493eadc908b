#pragma once
#include <QFrame>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "table/filter_builder.h"
#include "table/filter_tree.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QToolButton;
class QVBoxLayout;

namespace tabvue::gui {

// An editor that fits a kind of value: a line edit for text and numbers, a date picker, a
// check box for logicals.
QWidget* makeFilterValueEditor(FilterValueKind kind, QWidget* parent);
// The editor's value; nothing when it holds none (an empty or unreadable number).
std::optional<FilterValue> filterEditorValue(const QWidget* editor, FilterValueKind kind);
void setFilterEditorValue(QWidget* editor, FilterValueKind kind, const FilterValue& value);

// One condition row: field, operator, value editors and a button that removes the row.
class FilterConditionWidget : public QWidget {
    Q_OBJECT
public:
    FilterConditionWidget(const std::vector<FilterField>& fields, QWidget* parent);

    void load(const FilterNode& condition);
    FilterNode node() const;

    void setField(const QString& name);
    void setOperator(FilterOperator op);
    void setValues(const std::vector<FilterValue>& values);
    FilterValueKind kind() const;

    QComboBox* fieldBox() const { return field_; }
    QComboBox* operatorBox() const { return op_; }
    const std::vector<QWidget*>& editors() const { return editors_; }
    QToolButton* addValueButton() const { return addValue_; }
    QToolButton* removeButton() const { return remove_; }

private:
    void fieldChanged();
    void rebuildEditors(int count);
    std::vector<FilterValue> currentValues() const;

    const std::vector<FilterField>& fields_;
    QComboBox* field_;
    QComboBox* op_;
    QWidget* valuesBox_;
    QHBoxLayout* valuesLayout_;
    std::vector<QWidget*> editors_;
    QToolButton* addValue_;
    QToolButton* removeValue_;
    QToolButton* remove_;
    FilterValueKind shownKind_ = FilterValueKind::None;
};

// A group: AND/OR, NOT, its children (conditions and groups) indented under its header row.
class FilterGroupWidget : public QFrame {
    Q_OBJECT
public:
    FilterGroupWidget(const std::vector<FilterField>& fields, bool root, QWidget* parent);

    void load(const FilterNode& group);
    FilterNode node() const;

    FilterConditionWidget* addCondition();
    FilterGroupWidget* addGroup();
    void removeChild(QWidget* child);
    void clear();
    const std::vector<QWidget*>& children() const { return children_; }

    QComboBox* joinBox() const { return join_; }
    QCheckBox* notBox() const { return not_; }
    QToolButton* removeButton() const { return remove_; }

private:
    void adopt(QWidget* child, QToolButton* removeButton);

    const std::vector<FilterField>& fields_;
    QCheckBox* not_;
    QComboBox* join_;
    QToolButton* remove_ = nullptr;
    QVBoxLayout* childLayout_;
    std::vector<QWidget*> children_;
};

} // namespace tabvue::gui
