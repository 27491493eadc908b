#pragma once
#include <cstdint>
#include <string>

#include "engine/dbf_layout.h"

namespace tabvue::engine {

// A .dbt (dBase III, dBase IV/7) or .fpt (FoxPro) memo file.
class MemoFile {
public:
    MemoFile() = default;
    ~MemoFile();
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    // Opens the memo file at path; false when it cannot be opened. tableVersion picks the dBase III
    // or dBase IV block layout of a .dbt file.
    bool open(const std::string& path, MemoFormat format, unsigned char tableVersion, bool writable);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    std::uint32_t blockSize() const { return blockSize_; }
    int descriptor() const { return fd_; }

    // The data of the memo starting at block (empty when the block lies outside the file).
    std::string read(std::uint64_t block) const;
    // Appends a memo block holding data under a lock on the memo header; returns its block number.
    // isText marks FoxPro text blocks (type 1) versus binary ones (type 0). Throws Error.
    std::uint64_t append(const std::string& data, bool isText);

private:
    int fd_ = -1;
    std::string path_;
    MemoFormat format_ = MemoFormat::None;
    bool dbase3_ = false;
    std::uint32_t blockSize_ = 512;
};

// Finds the memo file that belongs to a table file (any letter case of its name); "" when none.
std::string findMemoFile(const std::string& tablePath, MemoFormat format);

} // namespace tabvue::engine
