#include <cstdio>

#include "cli/commands.h"

namespace tabvue::cli {

int runStructure(const std::vector<std::string>&) { std::fputs("not available yet\n", stderr); return 1; }
int runDump(const std::vector<std::string>&) { std::fputs("not available yet\n", stderr); return 1; }
int runCount(const std::vector<std::string>&) { std::fputs("not available yet\n", stderr); return 1; }

} // namespace tabvue::cli
