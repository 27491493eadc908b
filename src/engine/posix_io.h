#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tabvue::engine {

// Reads up to size bytes at offset (retrying short reads); the count read, or -1 on error.
long readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);
// Writes all bytes at offset or throws Error naming path.
void writeAllAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset,
                const std::string& path);
std::uint64_t fileSize(int fd);

// A POSIX advisory lock on a byte range, held for the object's lifetime (waits for it).
class RangeLock {
public:
    RangeLock(int fd, std::uint64_t start, std::uint64_t length, bool exclusive);
    ~RangeLock();
    RangeLock(const RangeLock&) = delete;
    RangeLock& operator=(const RangeLock&) = delete;

private:
    int fd_;
    std::uint64_t start_;
    std::uint64_t length_;
    bool locked_ = false;
};

} // namespace tabvue::engine
