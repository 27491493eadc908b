#include "table/structure_dialog.h"

#include "engine/table.h"

namespace tabvue::gui {

StructureDialog::StructureDialog(QWidget* parent) : QDialog(parent) {}

void StructureDialog::fillFieldList(const engine::Table&) {}

} // namespace tabvue::gui
