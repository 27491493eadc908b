#include "engine/expression.h"

namespace tabvue::engine {

RecordPredicate compileFilter(std::string_view text, const Table&) {
    if (text.empty())
        return {};
    throw Error("Invalid Query Expression\nfilter expressions are not supported yet");
}

} // namespace tabvue::engine
