#include "table/print_report.h"

namespace tabvue::gui {

void showPrintPreview(QWidget*, TableWindow*) {}

} // namespace tabvue::gui
