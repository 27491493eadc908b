#pragma once
#include <QDialog>
#include <QString>
#include <vector>

#include "table/filter_tree.h"

class QScrollArea;

namespace tabvue::engine { class Table; }

namespace tabvue::gui {

class TableWindow;
class FilterGroupWidget;

// A field the builder offers: its name (display text) and the editor its values get.
struct FilterField {
    QString name;
    FilterValueKind kind = FilterValueKind::Text;
};

// The dataset fields a filter can test, in dataset order (blob fields have no literal).
std::vector<FilterField> filterFields(const engine::Table& table);

// The calendar the named date ranges use: today and the locale's first day of the week.
FilterCalendar currentFilterCalendar();

// The modal builder over a table's whole view: a tree of conditions and groups. It opens on
// the given tree and, when accepted, tree() is what the user built.
class FilterBuilderDialog : public QDialog {
    Q_OBJECT
public:
    FilterBuilderDialog(std::vector<FilterField> fields, const FilterNode& tree, QWidget* parent = nullptr);
    FilterNode tree() const;
    FilterGroupWidget* rootGroup() const { return root_; }
    const std::vector<FilterField>& fields() const { return fields_; }

    // OK: refuses (with a message) a tree that has an incomplete condition.
    void accept() override;

private:
    std::vector<FilterField> fields_;
    FilterGroupWidget* root_;
    QScrollArea* scroll_;
};

// Keeps the tree as the window's filter in force and hands its notation to the window's filter
// handler. Throws what the handler throws ("Invalid Query Expression").
void applyFilterTree(TableWindow& window, const FilterNode& tree, const FilterCalendar& calendar);

// Opens the filter builder over a table window's view, showing the filter in force. On OK the
// grid notation is handed to window.dbviewDataControllerFilterBeforeChange; a failure is shown
// in a message box.
void runFilterBuilder(TableWindow& window);

} // namespace tabvue::gui
