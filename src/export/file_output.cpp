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

void writeWholeFile(const std::string& path, std::string_view bytes) {
    if (path.empty())
        throw Error("Cannot write a file without a name");
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        fail(path, EISDIR);

    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string temp = dir + ".tabvue-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        fail(path, errno);

    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        fail(path, err);
    };
    // The new file gets the mode an ordinary created file would get, or the replaced file's mode.
    mode_t mode;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        abandon(errno);

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        // Moderate pieces keep the kernel's copy within the caches.
        const ssize_t n = ::write(fd, p, std::min<std::size_t>(left, std::size_t{1} << 20));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        fail(path, err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        fail(path, err);
    }
}

} // namespace tabvue::exporter
