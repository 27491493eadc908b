#pragma once
// Small DBF tables built as bytes inside the tests, their memo files, temporary folders, file reading
// and a byte comparison that names the first differing offset.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
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
inline void putBe32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
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

inline bool isVisualFoxPro(unsigned char version) { return version == 0x30 || version == 0x31 || version == 0x32; }

inline bool hasMemoField(const std::vector<FieldSpec>& fields) {
    return std::any_of(fields.begin(), fields.end(), [](const FieldSpec& f) { return f.type == 'M'; });
}

// A dBase III memo file (.dbt): 512-byte blocks, text ended by 0x1A 0x1A. Block n holds texts[n-1];
// blocksOut receives the first block of each text.
inline std::string dbase3Memo(const std::vector<std::string>& texts, std::vector<std::uint32_t>* blocksOut = nullptr) {
    std::string m(512, '\0');
    for (const std::string& t : texts) {
        std::string b = t + "\x1A\x1A";
        b.resize((b.size() + 511) / 512 * 512, '\0');
        if (blocksOut)
            blocksOut->push_back(static_cast<std::uint32_t>(m.size() / 512));
        m += b;
    }
    putLe32(m, 0, static_cast<std::uint32_t>(m.size() / 512));
    return m;
}

// A FoxPro memo file (.fpt) with the given block size; blocksOut receives the block of each text.
inline std::string foxMemo(const std::vector<std::string>& texts, unsigned blockSize,
                           std::vector<std::uint32_t>* blocksOut = nullptr) {
    std::string m(512, '\0');
    m.resize((512 + blockSize - 1) / blockSize * blockSize, '\0');
    for (const std::string& t : texts) {
        if (blocksOut)
            blocksOut->push_back(static_cast<std::uint32_t>(m.size() / blockSize));
        std::string b(8, '\0');
        putBe32(b, 0, 1);
        putBe32(b, 4, static_cast<std::uint32_t>(t.size()));
        b += t;
        b.resize((b.size() + blockSize - 1) / blockSize * blockSize, '\0');
        m += b;
    }
    putBe32(m, 0, static_cast<std::uint32_t>(m.size() / blockSize));
    m[6] = static_cast<char>(blockSize >> 8);
    m[7] = static_cast<char>(blockSize & 0xFF);
    return m;
}

// A dBase III / FoxPro / Visual FoxPro table with 32-byte descriptors (and the 263-byte backlink
// area of Visual FoxPro tables).
class DbfBuilder {
public:
    DbfBuilder(unsigned char version, std::vector<FieldSpec> fields) : version_(version), fields_(std::move(fields)) {}

    // Date of last update: years since 1900, month, day.
    DbfBuilder& date(int year, int month, int day) {
        date_[0] = static_cast<unsigned char>(year);
        date_[1] = static_cast<unsigned char>(month);
        date_[2] = static_cast<unsigned char>(day);
        return *this;
    }
    // Header byte 28 (0x02: the table has memo fields) and byte 29 (code page mark).
    DbfBuilder& tableFlags(unsigned char flags) {
        tableFlags_ = flags;
        return *this;
    }
    DbfBuilder& codePageMark(unsigned char mark) {
        codePageMark_ = mark;
        return *this;
    }

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

    // Field values as a user types them: numbers right-aligned, other text left-aligned, both cut to
    // the field's width. In Visual FoxPro tables the binary fields (I, Y, T, B, M, G) take the bytes
    // given, zero-filled. Elsewhere an M value is the memo text: it goes to the memo file and the
    // field holds its block number.
    DbfBuilder& row(const std::vector<std::string>& texts, bool deleted = false) {
        std::string r(static_cast<std::size_t>(recordLength()), ' ');
        r[0] = deleted ? '*' : ' ';
        std::size_t at = 1;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const FieldSpec& f = fields_[i];
            const auto width = static_cast<std::size_t>(f.width);
            std::string v = i < texts.size() ? texts[i] : std::string();
            const bool binary = isVisualFoxPro(version_) && std::string_view("IYTBMG").find(f.type) != std::string_view::npos;
            if (binary) {
                v.resize(width, '\0');
            } else if (f.type == 'M' && !v.empty()) {
                v = std::to_string(addMemo(v));
            }
            if (v.size() > width)
                v.resize(width);
            const bool rightAligned = !binary && (f.type == 'N' || f.type == 'F' || f.type == 'M');
            r.replace(at + (rightAligned ? width - v.size() : 0), v.size(), v);
            at += width;
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
        return 32 + 32 * static_cast<int>(fields_.size()) + 1 + (isVisualFoxPro(version_) ? 263 : 0);
    }

    std::string bytes() const {
        std::string h(32, '\0');
        h[0] = static_cast<char>(version_);
        for (int i = 0; i < 3; ++i)
            h[1 + static_cast<std::size_t>(i)] = static_cast<char>(date_[i]);
        putLe32(h, 4, static_cast<std::uint32_t>(records_.size()));
        putLe16(h, 8, static_cast<unsigned>(headerLength()));
        putLe16(h, 10, static_cast<unsigned>(recordLength()));
        h[28] = static_cast<char>(tableFlags_);
        h[29] = static_cast<char>(codePageMark_);
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

    // The memo file of the texts given to row(): FoxPro layout with 64-byte blocks for FoxPro and
    // Visual FoxPro tables, dBase III layout otherwise.
    bool foxMemoFile() const { return version_ == 0xF5 || isVisualFoxPro(version_); }
    std::string memoBytes() const { return foxMemoFile() ? foxMemo(memoTexts_, 64) : dbase3Memo(memoTexts_); }

    // Writes the table to path and, when it has memo fields, the memo file beside it (.dbt or .fpt in
    // place of the table's four-character extension). False on an I/O failure.
    bool write(const std::string& path) const {
        if (!writeBytes(path, bytes()))
            return false;
        if (!hasMemoField(fields_))
            return true;
        return writeBytes(path.substr(0, path.size() - 4) + (foxMemoFile() ? ".fpt" : ".dbt"), memoBytes());
    }

private:
    static bool writeBytes(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out.flush());
    }

    std::uint32_t addMemo(const std::string& text) {
        memoTexts_.push_back(text);
        std::vector<std::uint32_t> blocks;
        if (foxMemoFile())
            foxMemo(memoTexts_, 64, &blocks);
        else
            dbase3Memo(memoTexts_, &blocks);
        return blocks.back();
    }

    unsigned char version_;
    std::vector<FieldSpec> fields_;
    unsigned char date_[3] = {124, 5, 17};
    unsigned char tableFlags_ = 0;
    unsigned char codePageMark_ = 0;
    std::vector<std::string> records_;
    std::vector<std::string> memoTexts_;
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

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "09 08 06 00" for the bytes given.
inline std::string toHex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

// Byte comparison that names the first differing offset and shows the bytes around it, as text and
// in hex.
inline ::testing::AssertionResult sameBytes(std::string_view actual, std::string_view expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const std::size_t from = at > 20 ? at - 20 : 0;
    auto show = [&](std::string_view s) {
        std::string out;
        for (std::size_t k = from; k < s.size() && k < at + 20; ++k) {
            const auto ch = static_cast<unsigned char>(s[k]);
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
    auto hex = [&](std::string_view s) { return toHex(s.substr(std::min(from, s.size()), 40)); };
    return ::testing::AssertionFailure() << "first difference at offset " << at << " (actual " << actual.size()
                                         << " bytes, expected " << expected.size() << ")\n  actual   from " << from
                                         << ": " << show(actual) << "\n  expected from " << from << ": "
                                         << show(expected) << "\n  actual   hex: " << hex(actual)
                                         << "\n  expected hex: " << hex(expected);
}

} // namespace tabvue::testing
