#include "table/filter_builder.h"

namespace tabvue::gui {

void runFilterBuilder(TableWindow&) {}

} // namespace tabvue::gui
