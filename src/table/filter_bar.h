#pragma once
#include <QWidget>

#include "table/filter_tree.h"

class QCheckBox;
class QLabel;
class QToolButton;

namespace tabvue::gui {

class TableWindow;

// The bar under a table window's grid: the filter in force in the engine's words, a button
// that clears it, a check box that switches it off and on; clicking the text opens the builder.
// It also keeps the builder's tree of the filter in force, so the builder opens on it again.
// The bar shows only while the table has a filter text.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(TableWindow& window, QWidget* parent = nullptr);
    void refresh(); // re-reads the table's filter state

    const FilterNode& filterTree() const { return tree_; }
    void setFilterTree(FilterNode tree) { tree_ = std::move(tree); }

    // The clear button: the window's filter handler receives an empty text.
    void clearFilter();
    // The check box: switches the table's Filtered on or off.
    void setFilterEnabled(bool on);
    // Clicking the text: the filter builder. Failures of these three show in a message box.
    void openBuilder();

    QString text() const;          // the filter text shown
    bool filterEnabled() const;    // the check box
    QToolButton* clearButton() const { return clear_; }
    QCheckBox* enabledBox() const { return enabled_; }
    QLabel* textLabel() const { return label_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TableWindow& window_;
    FilterNode tree_;
    QToolButton* clear_;
    QCheckBox* enabled_;
    QLabel* label_;
};

} // namespace tabvue::gui
