#pragma once
#include <QDialog>

class QTreeWidget;

namespace tabvue::engine { class Table; }

namespace tabvue::gui {

// "Table property": one report row per field of a table.
class StructureDialog : public QDialog {
    Q_OBJECT
public:
    explicit StructureDialog(QWidget* parent = nullptr);
    void fillFieldList(const engine::Table& table);
};

} // namespace tabvue::gui
