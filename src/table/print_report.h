#pragma once

class QWidget;

namespace tabvue::gui {

class TableWindow;

// Shows the print preview of a table window's grid (all records that pass the filter, the
// grid's visible columns and captions) and returns when the preview closes.
void showPrintPreview(QWidget* parent, TableWindow* window);

} // namespace tabvue::gui
