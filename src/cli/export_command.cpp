#include <cstdio>

#include "cli/commands.h"

namespace tabvue::cli {

int runExport(const std::vector<std::string>&) {
    std::fputs("tabvue-cli: export is not available yet\n", stderr);
    return 1;
}

} // namespace tabvue::cli
