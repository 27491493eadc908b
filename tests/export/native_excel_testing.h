#pragma once
// Helpers for the sheet writer tests: hex byte strings, and the shared byte comparison.
#include <string>
#include <string_view>

#include "common/dbf_builder.h"

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

using ::tabvue::testing::sameBytes;

} // namespace tabvue::exporter::testing
