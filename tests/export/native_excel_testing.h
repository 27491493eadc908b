#pragma once
// Helpers for the sheet writer tests: hex byte strings and byte comparisons that name the first
// differing offset.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace tabvue::exporter::testing {

// "09 08 06 00" -> the bytes; spaces and line breaks are ignored.
inline std::string hexBytes(std::string_view hex) {
    std::string out;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

inline std::string toHex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

inline ::testing::AssertionResult sameBytes(std::string_view expected, std::string_view actual) {
    std::size_t n = std::min(expected.size(), actual.size());
    std::size_t at = 0;
    while (at < n && expected[at] == actual[at]) ++at;
    if (at == n && expected.size() == actual.size()) return ::testing::AssertionSuccess();
    auto around = [at](std::string_view s) {
        std::size_t from = at >= 8 ? at - 8 : 0;
        return toHex(s.substr(std::min(from, s.size()), 24));
    };
    return ::testing::AssertionFailure()
           << "first difference at offset " << at << " (expected " << expected.size() << " bytes, got "
           << actual.size() << ")\n  expected from " << (at >= 8 ? at - 8 : 0) << ": " << around(expected)
           << "\n  actual   from " << (at >= 8 ? at - 8 : 0) << ": " << around(actual);
}

} // namespace tabvue::exporter::testing
