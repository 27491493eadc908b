#include "table/filter_bar.h"

namespace tabvue::gui {

FilterBar::FilterBar(TableWindow& window, QWidget* parent) : QWidget(parent), window_(window) {}

void FilterBar::refresh() {}

} // namespace tabvue::gui
