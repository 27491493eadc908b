#pragma once
#include <QString>

namespace tabvue::gui {

// Measuring run of the real window (started when TABVUE_GUI_BENCH is set): opens the table at
// path in a maximised main window and prints, one "name value" per line, the milliseconds from
// openTableFile to the grid's first paint, from Ctrl+End to the paint of the last screen, and the
// resident memory before and after opening. Returns the process exit code.
int runGuiBench(const QString& path);

} // namespace tabvue::gui
