#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

void usage() {
    std::fputs("usage: tabvue-cli structure FILE\n"
               "       tabvue-cli dump FILE [--oem|--ansi|--codepage N] [--deleted] [--limit N]\n"
               "                            [--filter EXPR|--grid-filter TEXT]\n"
               "       tabvue-cli count FILE [--filter EXPR|--grid-filter TEXT]\n"
               "       tabvue-cli export FORMAT FILE [TARGET] [--set NAME=VALUE]... [--header TEXT]\n"
               "                            [--footer TEXT] [--no-date] [--oem|--ansi|--codepage N]\n",
               stderr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 1;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "structure")
            return tabvue::cli::runStructure(args);
        if (command == "dump")
            return tabvue::cli::runDump(args);
        if (command == "count")
            return tabvue::cli::runCount(args);
        if (command == "export")
            return tabvue::cli::runExport(args);
        if (command == "--help" || command == "-h") {
            usage();
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "tabvue-cli: unknown command '%s'\n", command.c_str());
    usage();
    return 1;
}
