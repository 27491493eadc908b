#pragma once

namespace tabvue::gui {

class TableWindow;

// Opens the filter builder over a table window's view, showing the filter in force. On OK the
// grid notation is handed to window.dbviewDataControllerFilterBeforeChange (which may throw).
void runFilterBuilder(TableWindow& window);

} // namespace tabvue::gui
