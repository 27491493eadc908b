#pragma once
#include <string>
#include <string_view>

#include "engine/table.h"

namespace tabvue::engine {

// Rewrites the grid's filter notation into the engine's expression language:
// '\yy\dd.mm.yyyy\xx\' dates become ctod("dd.mm.yyyy") and NULL tests become EMPTY(field).
std::string rewriteGridFilter(std::string_view gridText);

// Installs a rewritten filter on a table: nothing when it equals the current filter text,
// otherwise Filtered off, Filter set, Filtered on (which may throw "Invalid Query Expression").
void installFilter(Table& table, const std::string& engineText);

} // namespace tabvue::engine
