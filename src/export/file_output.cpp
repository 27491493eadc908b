#include "export/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/error.h"

namespace tabvue::exporter {

namespace {

[[noreturn]] void fail(const std::string& path, int err) {
    throw Error("Cannot write " + path + ": " + std::strerror(err));
}

} // namespace

FileOutput::FileOutput(std::string path) : path_(std::move(path)) {
    if (path_.empty())
        throw Error("Cannot write a file without a name");
    struct stat existing {};
    const bool exists = ::stat(path_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        fail(path_, EISDIR);

    const std::size_t slash = path_.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    temp_ = dir + ".tabvue-XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0)
        fail(path_, errno);

    // The new file gets the mode an ordinary created file would get, or the replaced file's mode.
    mode_t mode;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0)
        abandon(errno);
}

FileOutput::~FileOutput() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

void FileOutput::abandon(int err) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_.c_str());
    fail(path_, err);
}

void FileOutput::write(std::string_view bytes) {
    if (fd_ < 0)
        throw Error("Cannot write " + path_ + ": the file is already closed");
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        // Moderate pieces keep the kernel's copy within the caches.
        const ssize_t n = ::write(fd_, p, std::min<std::size_t>(left, std::size_t{1} << 20));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void FileOutput::commit() {
    if (fd_ < 0)
        throw Error("Cannot write " + path_ + ": the file is already closed");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        fail(path_, err);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        fail(path_, err);
    }
}

void writeWholeFile(const std::string& path, std::string_view bytes) {
    FileOutput out(path);
    out.write(bytes);
    out.commit();
}

} // namespace tabvue::exporter
