#pragma once
#include <string_view>

#include "engine/table.h"

namespace tabvue::engine {

// Compiles a condition of the filter expression language against a table's fields.
// Throws Error("Invalid Query Expression\n<what is wrong and where>") when the text is not one.
RecordPredicate compileFilter(std::string_view text, const Table& table);

} // namespace tabvue::engine
