#pragma once
// Test helpers for the export: the in-memory source and host (fake_source.h), temporary folders,
// file reading and a byte comparison that names the first differing offset.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fake_source.h"

namespace tabvue::exporter::testing {

// A fresh, empty folder for one test, removed with it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tabvue-export-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string path() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Byte comparison that names the first differing offset.
inline ::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    auto show = [](const std::string& s, std::size_t at) {
        std::string out;
        const std::size_t from = at > 20 ? at - 20 : 0;
        for (std::size_t k = from; k < s.size() && k < at + 20; ++k) {
            const unsigned char ch = static_cast<unsigned char>(s[k]);
            if (ch == '\r')
                out += "\\r";
            else if (ch == '\n')
                out += "\\n";
            else if (ch == '\t')
                out += "\\t";
            else if (ch < 32 || ch >= 127) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", ch);
                out += buf;
            } else
                out += static_cast<char>(ch);
        }
        return out;
    };
    return ::testing::AssertionFailure() << "first difference at offset " << i << " (actual " << actual.size()
                                         << " bytes, expected " << expected.size() << ")\n  actual:   ..."
                                         << show(actual, i) << "...\n  expected: ..." << show(expected, i) << "...";
}

// Runs writeDocument into a temporary file and returns the bytes written ("" when none).
inline std::string exportToBytes(CustomExport& e, ExportType type, ExportHost* host = nullptr) {
    TempFolder dir;
    const std::string path = dir.file("out");
    e.setExportType(type);
    if (host)
        e.setHost(host);
    e.writeDocument(path);
    return std::filesystem::exists(path) ? readFile(path) : std::string();
}

} // namespace tabvue::exporter::testing
