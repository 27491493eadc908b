#pragma once
// Test helpers for the export: the in-memory source and host (fake_source.h), and the shared temporary
// folders, file reading and byte comparison.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/dbf_builder.h"
#include "fake_source.h"

namespace tabvue::exporter::testing {

using ::tabvue::testing::TempDir;
using ::tabvue::testing::readFile;
using ::tabvue::testing::sameBytes;

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Runs writeDocument into a temporary file and returns the bytes written ("" when none).
inline std::string exportToBytes(CustomExport& e, ExportType type, ExportHost* host = nullptr) {
    TempDir dir;
    const std::string path = dir.file("out");
    e.setExportType(type);
    if (host)
        e.setHost(host);
    e.writeDocument(path);
    return std::filesystem::exists(path) ? readFile(path) : std::string();
}

} // namespace tabvue::exporter::testing
