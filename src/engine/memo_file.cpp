#include "engine/memo_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/error.h"
#include "engine/posix_io.h"

namespace tabvue::engine {

namespace {

std::uint32_t be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void putBe32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}
void putLe32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

MemoFile::~MemoFile() { close(); }

void MemoFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool MemoFile::open(const std::string& path, MemoFormat format, unsigned char tableVersion,
                    bool writable) {
    close();
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0 && writable)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    fd_ = fd;
    path_ = path;
    format_ = format;
    unsigned char header[32] = {};
    const long got = readAt(fd_, header, sizeof header, 0);
    dbase3_ = false;
    if (format == MemoFormat::Fpt) {
        const std::uint32_t bs = got >= 8 ? ((header[6] << 8) | header[7]) : 0;
        blockSize_ = bs ? bs : 512;
    } else {
        dbase3_ = tableVersion == 0x83 || tableVersion == 0x03;
        const std::uint32_t bs = got >= 22 ? (header[20] | (header[21] << 8)) : 0;
        blockSize_ = (!dbase3_ && bs >= 32) ? bs : 512;
    }
    return true;
}

std::string MemoFile::read(std::uint64_t block) const {
    std::string out;
    if (fd_ < 0 || block == 0)
        return out;
    const std::uint64_t size = fileSize(fd_);
    const std::uint64_t start = block * blockSize_;
    if (start >= size || start / blockSize_ != block)
        return out;
    const std::uint64_t available = size - start;
    unsigned char head[8] = {};
    const long got = readAt(fd_, head, sizeof head, start);
    if (format_ == MemoFormat::Fpt) {
        if (got < 8)
            return out;
        const std::uint64_t len = std::min<std::uint64_t>(be32(head + 4), available - 8);
        out.resize(len);
        const long n = readAt(fd_, out.data(), len, start + 8);
        out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return out;
    }
    if (got >= 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
        // dBase IV block: the length counts the 8-byte block header.
        std::uint64_t len = le32(head + 4);
        len = len >= 8 ? len - 8 : 0;
        len = std::min<std::uint64_t>(len, available - 8);
        out.resize(len);
        const long n = readAt(fd_, out.data(), len, start + 8);
        out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return out;
    }
    // dBase III: the text runs up to the first end-of-text mark.
    char chunk[4096];
    std::uint64_t at = start;
    while (at < size) {
        const long n = readAt(fd_, chunk, sizeof chunk, at);
        if (n <= 0)
            break;
        const void* end = std::memchr(chunk, 0x1A, static_cast<std::size_t>(n));
        if (end) {
            out.append(chunk, static_cast<const char*>(end) - chunk);
            return out;
        }
        out.append(chunk, static_cast<std::size_t>(n));
        at += static_cast<std::uint64_t>(n);
    }
    return out;
}

std::uint64_t MemoFile::append(const std::string& data, bool isText) {
    if (fd_ < 0)
        throw Error("The memo file is not open.");
    RangeLock lock(fd_, 0, 512, true);
    unsigned char header[8] = {};
    if (readAt(fd_, header, sizeof header, 0) < 4)
        throw Error("The memo file " + path_ + " has no header.");
    std::uint64_t next = format_ == MemoFormat::Fpt ? be32(header) : le32(header);
    const std::uint64_t size = fileSize(fd_);
    // Never place a block over existing data, whatever the header claims.
    const std::uint64_t endBlock = (size + blockSize_ - 1) / blockSize_;
    const std::uint64_t headerBlocks = (512 + blockSize_ - 1) / blockSize_;
    next = std::max({next, endBlock, headerBlocks});

    std::string block;
    if (format_ == MemoFormat::Fpt) {
        unsigned char h[8];
        putBe32(h, isText ? 1 : 0);
        putBe32(h + 4, static_cast<std::uint32_t>(data.size()));
        block.assign(reinterpret_cast<char*>(h), 8);
        block += data;
    } else if (dbase3_) {
        block = data;
        block += "\x1A\x1A";
    } else {
        unsigned char h[8] = {0xFF, 0xFF, 0x08, 0x00};
        putLe32(h + 4, static_cast<std::uint32_t>(data.size() + 8));
        block.assign(reinterpret_cast<char*>(h), 8);
        block += data;
    }
    const std::uint64_t blocks = (block.size() + blockSize_ - 1) / blockSize_;
    block.resize(blocks * blockSize_, '\0');
    if (next + blocks > 0xFFFFFFFFull)
        throw Error("The memo file " + path_ + " is full.");
    writeAllAt(fd_, block.data(), block.size(), next * blockSize_, path_);
    unsigned char nh[4];
    if (format_ == MemoFormat::Fpt)
        putBe32(nh, static_cast<std::uint32_t>(next + blocks));
    else
        putLe32(nh, static_cast<std::uint32_t>(next + blocks));
    writeAllAt(fd_, nh, 4, 0, path_);
    return next;
}

std::string findMemoFile(const std::string& tablePath, MemoFormat format) {
    const std::size_t slash = tablePath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : tablePath.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? tablePath : tablePath.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    const std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
    const char* first = format == MemoFormat::Fpt ? ".fpt" : ".dbt";
    const char* second = format == MemoFormat::Fpt ? ".dbt" : ".fpt";
    std::string found;
    for (const char* ext : {first, second}) {
        const std::string wanted = stem + ext;
        std::string exact = (slash == std::string::npos ? "" : dir) + wanted;
        struct stat st {};
        if (::stat(exact.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return exact;
        DIR* d = ::opendir(dir.c_str());
        if (!d)
            continue;
        while (dirent* e = ::readdir(d)) {
            if (equalsIgnoreCase(e->d_name, wanted)) {
                found = (slash == std::string::npos ? "" : dir) + e->d_name;
                break;
            }
        }
        ::closedir(d);
        if (!found.empty())
            return found;
    }
    return found;
}

} // namespace tabvue::engine
