// Opening a table and reading its first screen, and the memory an open table holds, measured
// through the engine library directly.
//
//   bench_open_table [--repeat N] FILE...
//
// For each file, prints one line of key=value pairs:
//   first50_ms_median/min/max  open + OEM translation on + display texts of the first 50 view rows
//   settle_ms                  settling the view (one pass over the deletion flags)
//   walk_ms                    display texts of every field of every view row, in view order
//   view                       the settled view size
//   heap_kb_*                  heap in use by the process after the step, minus before opening
//   anon_kb_* / file_kb_*      resident anonymous / file-backed memory after the step, minus before
// The steps of the memory line: open (after the first screen), walk (after the whole walk and a
// random-access pass), closed (after close).

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/table.h"

namespace {

using Clock = std::chrono::steady_clock;
using tabvue::engine::RecordNo;
using tabvue::engine::Table;

struct Memory {
    long heapKb = 0;
    long anonKb = 0;
    long fileKb = 0;
};

Memory sampleMemory() {
    Memory m;
    const struct mallinfo2 mi = mallinfo2();
    m.heapKb = static_cast<long>((mi.uordblks + mi.hblkhd) / 1024);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0)
            m.anonKb = std::atol(line.c_str() + 8);
        else if (line.rfind("RssFile:", 0) == 0)
            m.fileKb = std::atol(line.c_str() + 8);
    }
    return m;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::size_t sink = 0; // keeps the display texts from being optimised away

void readRow(Table& t, RecordNo rec) {
    const int fields = static_cast<int>(t.fields().size());
    for (int f = 0; f < fields; ++f)
        sink += t.displayText(rec, f).size();
}

void firstScreen(Table& t) {
    for (std::int64_t pos = 0; pos < 50; ++pos) {
        const RecordNo rec = t.viewRecord(pos);
        if (rec == 0)
            break;
        readRow(t, rec);
    }
}

void printDelta(const char* step, const Memory& now, const Memory& base) {
    std::printf(" heap_kb_%s=%ld anon_kb_%s=%ld file_kb_%s=%ld", step, now.heapKb - base.heapKb, step,
                now.anonKb - base.anonKb, step, now.fileKb - base.fileKb);
}

void measure(const std::string& path, int repeat) {
    { // once untimed, so every timed run finds the file in the page cache
        Table warm;
        warm.open(path);
        firstScreen(warm);
    }
    std::vector<double> times;
    for (int i = 0; i < repeat; ++i) {
        const auto start = Clock::now();
        Table t;
        t.open(path);
        t.setOemTranslate(true);
        firstScreen(t);
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());

    const Memory base = sampleMemory();
    Table t;
    t.open(path);
    t.setOemTranslate(true);
    firstScreen(t);
    const Memory opened = sampleMemory();

    auto start = Clock::now();
    while (!t.advanceView(1 << 16)) {
    }
    const double settleMs = msSince(start);
    const std::int64_t view = t.viewCount();

    start = Clock::now();
    for (std::int64_t pos = 0; pos < view; ++pos)
        readRow(t, t.viewRecord(pos));
    const double walkMs = msSince(start);
    std::uint64_t x = 88172645463325252ull; // scattered jumps, as a scrolling user makes
    for (int i = 0; i < 20000 && view > 0; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        readRow(t, t.viewRecord(static_cast<std::int64_t>(x % static_cast<std::uint64_t>(view))));
    }
    const Memory walked = sampleMemory();
    t.close();
    const Memory closed = sampleMemory();

    std::printf("file=%s first50_ms_median=%.3f first50_ms_min=%.3f first50_ms_max=%.3f settle_ms=%.1f "
                "walk_ms=%.1f view=%lld",
                path.c_str(), times[times.size() / 2], times.front(), times.back(), settleMs, walkMs,
                static_cast<long long>(view));
    printDelta("open", opened, base);
    printDelta("walk", walked, base);
    printDelta("closed", closed, base);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    int repeat = 21;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else
            files.emplace_back(argv[i]);
    }
    if (files.empty()) {
        std::fputs("usage: bench_open_table [--repeat N] FILE...\n", stderr);
        return 2;
    }
    try {
        for (const std::string& f : files)
            measure(f, repeat);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return sink == 0 ? 1 : 0;
}
