#include "engine/filter_rewrite.h"

namespace tabvue::engine {

std::string rewriteGridFilter(std::string_view gridText) { return std::string(gridText); }

void installFilter(Table& table, const std::string& engineText) {
    if (engineText == table.filter())
        return;
    table.setFiltered(false);
    table.setFilter(engineText);
    table.setFiltered(true);
}

} // namespace tabvue::engine
