#pragma once
#include <QDialog>
#include <QStringList>
#include <vector>

class QTreeWidget;

namespace tabvue::engine {
class Table;
struct FieldDescriptor;
} // namespace tabvue::engine

namespace tabvue::gui {

// The type cell for a field's type letter ("Character", "Numeric", ...); empty for a letter the
// list does not name.
QString fieldTypeName(char typeLetter);

// One row per field in file order: name, type name, width and decimals in decimal.
std::vector<QStringList> structureRows(const std::vector<engine::FieldDescriptor>& descriptors);

// "Table property": one report row per field of a table.
class StructureDialog : public QDialog {
    Q_OBJECT
public:
    explicit StructureDialog(QWidget* parent = nullptr);
    // Sets the four columns and lists every field of the table (none when it is not open).
    void fillFieldList(const engine::Table& table);
    QTreeWidget* fieldList() const { return list_; }

private:
    QTreeWidget* list_;
};

// Shows the structure of a table modally; the dialog is gone when this returns, also when
// filling it throws (the exception then propagates to the caller).
void showStructureDialog(QWidget* parent, const engine::Table& table);

} // namespace tabvue::gui
