#pragma once
#include <QWidget>

namespace tabvue::gui {

class TableWindow;

// The bar under a table window's grid: the filter in force in the engine's words, a button
// that clears it, a check box that switches it off and on; clicking the text opens the builder.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(TableWindow& window, QWidget* parent = nullptr);
    void refresh(); // re-reads the table's filter state

private:
    TableWindow& window_;
};

} // namespace tabvue::gui
