#pragma once
// Small DBF tables built as bytes inside the tests.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tabvue::testing {

struct FieldSpec {
    std::string name;
    char type = 'C';
    int width = 1;
    int decimals = 0;
    unsigned char flags = 0; // Visual FoxPro field flags (0x02 nullable)
};

inline void putLe16(std::string& s, std::size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void putLe32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline std::string le32(std::int32_t v) {
    std::string s(4, '\0');
    putLe32(s, 0, static_cast<std::uint32_t>(v));
    return s;
}
inline std::string le64(std::int64_t v) {
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF);
    return s;
}

// A dBase III / FoxPro / Visual FoxPro table with 32-byte descriptors.
class DbfBuilder {
public:
    DbfBuilder(unsigned char version, std::vector<FieldSpec> fields) : version_(version), fields_(std::move(fields)) {}

    // Field values as raw bytes; shorter values are padded with blanks to the field's width.
    DbfBuilder& record(const std::vector<std::string>& values, char flag = ' ') {
        std::string r(1, flag);
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            std::string v = i < values.size() ? values[i] : std::string();
            v.resize(static_cast<std::size_t>(fields_[i].width), ' ');
            r += v;
        }
        records_.push_back(r);
        return *this;
    }

    int recordLength() const {
        int n = 1;
        for (const FieldSpec& f : fields_)
            n += f.width;
        return n;
    }
    int headerLength() const {
        const bool vfp = version_ == 0x30 || version_ == 0x31 || version_ == 0x32;
        return 32 + 32 * static_cast<int>(fields_.size()) + 1 + (vfp ? 263 : 0);
    }

    std::string bytes() const {
        std::string h(32, '\0');
        h[0] = static_cast<char>(version_);
        h[1] = 124;
        h[2] = 5;
        h[3] = 17;
        putLe32(h, 4, static_cast<std::uint32_t>(records_.size()));
        putLe16(h, 8, static_cast<unsigned>(headerLength()));
        putLe16(h, 10, static_cast<unsigned>(recordLength()));
        int offset = 1;
        for (const FieldSpec& f : fields_) {
            std::string d(32, '\0');
            for (std::size_t i = 0; i < f.name.size() && i < 11; ++i)
                d[i] = f.name[i];
            d[11] = f.type;
            putLe32(d, 12, static_cast<std::uint32_t>(offset));
            d[16] = static_cast<char>(f.width & 0xFF);
            d[17] = static_cast<char>(f.decimals);
            d[18] = static_cast<char>(f.flags);
            h += d;
            offset += f.width;
        }
        h += '\r';
        h.resize(static_cast<std::size_t>(headerLength()), '\0');
        for (const std::string& r : records_)
            h += r;
        h += '\x1A';
        return h;
    }

private:
    unsigned char version_;
    std::vector<FieldSpec> fields_;
    std::vector<std::string> records_;
};

// A temporary directory removed with its contents at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tabvue-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string p = file(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A dBase III memo file (.dbt): 512-byte blocks, text ended by 0x1A 0x1A. Block n holds texts[n-1].
inline std::string dbase3Memo(const std::vector<std::string>& texts) {
    std::string m(512, '\0');
    std::vector<std::uint32_t> blocks;
    for (const std::string& t : texts) {
        std::string b = t + "\x1A\x1A";
        b.resize((b.size() + 511) / 512 * 512, '\0');
        blocks.push_back(static_cast<std::uint32_t>(m.size() / 512));
        m += b;
    }
    putLe32(m, 0, static_cast<std::uint32_t>(m.size() / 512));
    return m;
}

// A FoxPro memo file (.fpt) with the given block size; returns the block number of each text.
inline std::string foxMemo(const std::vector<std::string>& texts, unsigned blockSize,
                           std::vector<std::uint32_t>* blocksOut = nullptr) {
    std::string m(512, '\0');
    m.resize((512 + blockSize - 1) / blockSize * blockSize, '\0');
    for (const std::string& t : texts) {
        if (blocksOut)
            blocksOut->push_back(static_cast<std::uint32_t>(m.size() / blockSize));
        std::string b(8, '\0');
        b[3] = 1;
        const auto n = static_cast<std::uint32_t>(t.size());
        b[4] = static_cast<char>(n >> 24);
        b[5] = static_cast<char>(n >> 16);
        b[6] = static_cast<char>(n >> 8);
        b[7] = static_cast<char>(n);
        b += t;
        b.resize((b.size() + blockSize - 1) / blockSize * blockSize, '\0');
        m += b;
    }
    const auto next = static_cast<std::uint32_t>(m.size() / blockSize);
    m[0] = static_cast<char>(next >> 24);
    m[1] = static_cast<char>(next >> 16);
    m[2] = static_cast<char>(next >> 8);
    m[3] = static_cast<char>(next);
    m[6] = static_cast<char>(blockSize >> 8);
    m[7] = static_cast<char>(blockSize & 0xFF);
    return m;
}

} // namespace tabvue::testing
