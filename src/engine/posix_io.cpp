#include "engine/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/error.h"

namespace tabvue::engine {

long readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? static_cast<long>(done) : -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

void writeAllAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset,
                const std::string& path) {
    std::size_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < size) {
        const ssize_t n = ::pwrite(fd, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Unable to write " + path + "\n" + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
}

std::uint64_t fileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

RangeLock::RangeLock(int fd, std::uint64_t start, std::uint64_t length, bool exclusive)
    : fd_(fd), start_(start), length_(length) {
    struct flock fl {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(start);
    fl.l_len = static_cast<off_t>(length);
    // Open-file-description locks: they also exclude a second Table on the same file in this
    // process, and closing another descriptor of the file does not drop them.
    while (::fcntl(fd_, F_OFD_SETLKW, &fl) != 0) {
        if (errno == EINTR)
            continue;
        // Some file systems offer no locks; the write goes ahead unlocked rather than failing.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL)
            return;
        // A read-only descriptor cannot take a write lock: take none.
        if (errno == EBADF)
            return;
        throw Error(std::string("Unable to lock the table\n") + std::strerror(errno));
    }
    locked_ = true;
}

RangeLock::~RangeLock() {
    if (!locked_)
        return;
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(start_);
    fl.l_len = static_cast<off_t>(length_);
    ::fcntl(fd_, F_OFD_SETLK, &fl);
}

} // namespace tabvue::engine
