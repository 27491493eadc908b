#pragma once
#include <string>
#include <vector>

namespace tabvue::cli {

// Each command takes the arguments after its name and returns the exit status.
// Errors are printed to stderr by the command itself.
int runStructure(const std::vector<std::string>& args);
int runDump(const std::vector<std::string>& args);
int runCount(const std::vector<std::string>& args);
int runExport(const std::vector<std::string>& args);

} // namespace tabvue::cli
