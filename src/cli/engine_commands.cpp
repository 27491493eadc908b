#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "engine/codepage.h"
#include "engine/error.h"
#include "engine/field_codec.h"
#include "engine/filter_rewrite.h"
#include "engine/table.h"

namespace tabvue::cli {

namespace {

using engine::Table;

// Output through one large buffer, flushed in big writes.
class Output {
public:
    explicit Output(std::FILE* f) : f_(f) { buf_.reserve(kSize + 4096); }
    ~Output() { flush(); }
    std::string& buffer() { return buf_; }
    void maybeFlush() {
        if (buf_.size() >= kSize)
            flush();
    }
    void flush() {
        if (!buf_.empty())
            std::fwrite(buf_.data(), 1, buf_.size(), f_);
        buf_.clear();
    }

private:
    static constexpr std::size_t kSize = 1 << 20;
    std::FILE* f_;
    std::string buf_;
};

// Byte -> UTF-8 text with the dump's escapes applied, for one code page.
class Decoder {
public:
    explicit Decoder(const engine::CodePage& cp) {
        for (int b = 0; b < 256; ++b) {
            std::string& s = map_[b];
            switch (b) {
            case '\t':
                s = "\\t";
                continue;
            case '\r':
                s = "\\r";
                continue;
            case '\n':
                s = "\\n";
                continue;
            case '\\':
                s = "\\\\";
                continue;
            default:
                break;
            }
            s = cp.decode(std::string(1, static_cast<char>(b)));
        }
    }
    void append(std::string_view bytes, std::string& out) const {
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        while (p < end) {
            // Plain ASCII runs go in one piece.
            const char* run = p;
            while (end - p >= 8 && plainWord(p))
                p += 8;
            while (p < end && plain(static_cast<unsigned char>(*p)))
                ++p;
            if (p > run)
                out.append(run, static_cast<std::size_t>(p - run));
            if (p < end)
                out += map_[static_cast<unsigned char>(*p++)];
        }
    }

    // Whether the bytes pass unchanged: printable ASCII without backslashes.
    static bool plain(std::string_view bytes) { return engine::codec::plainText(bytes.data(), bytes.size()); }

private:
    static bool plain(unsigned char b) { return b >= 0x20 && b < 0x7F && b != '\\'; }
    // Whether eight bytes are all plain: none below 0x20, none above 0x7E, no backslash.
    static bool plainWord(const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
        const std::uint64_t below = (w - ones * 0x20) & ~w & highs;
        const std::uint64_t above = ((w + ones * (0x7F - 0x7E)) | w) & highs;
        const std::uint64_t x = w ^ (ones * '\\');
        const std::uint64_t slash = (x - ones) & ~x & highs;
        return (below | above | slash) == 0;
    }
    std::string map_[256];
};

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + 0 + (extra == 0))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80)
                return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

struct Options {
    std::string file;
    enum class Mode { Oem, Ansi, CodePage } mode = Mode::Oem;
    int codePage = 0;
    bool deleted = false;
    long long limit = -1;
    bool hasFilter = false;
    std::string filter;
    bool hasGridFilter = false;
    std::string gridFilter;
};

bool parseNumber(const std::string& s, long long& v) {
    if (s.empty())
        return false;
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0' && v >= 0;
}

// Parses the options; false (after a message) when they are not valid for the command.
bool parseOptions(const char* command, const std::vector<std::string>& args, bool dumpOptions, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto needValue = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "tabvue-cli %s: %s needs a value\n", command, a.c_str());
                return nullptr;
            }
            return &args[++i];
        };
        if (dumpOptions && a == "--oem") {
            o.mode = Options::Mode::Oem;
        } else if (dumpOptions && a == "--ansi") {
            o.mode = Options::Mode::Ansi;
        } else if (dumpOptions && a == "--codepage") {
            const std::string* v = needValue();
            long long n;
            if (!v)
                return false;
            if (!parseNumber(*v, n) || n <= 0 || n > 65535) {
                std::fprintf(stderr, "tabvue-cli %s: invalid code page '%s'\n", command, v->c_str());
                return false;
            }
            o.mode = Options::Mode::CodePage;
            o.codePage = static_cast<int>(n);
        } else if (dumpOptions && a == "--deleted") {
            o.deleted = true;
        } else if (dumpOptions && a == "--limit") {
            const std::string* v = needValue();
            if (!v)
                return false;
            if (!parseNumber(*v, o.limit)) {
                std::fprintf(stderr, "tabvue-cli %s: invalid limit '%s'\n", command, v->c_str());
                return false;
            }
        } else if (a == "--filter") {
            const std::string* v = needValue();
            if (!v)
                return false;
            o.hasFilter = true;
            o.filter = *v;
        } else if (a == "--grid-filter") {
            const std::string* v = needValue();
            if (!v)
                return false;
            o.hasGridFilter = true;
            o.gridFilter = *v;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "tabvue-cli %s: unknown option '%s'\n", command, a.c_str());
            return false;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            std::fprintf(stderr, "tabvue-cli %s: unexpected argument '%s'\n", command, a.c_str());
            return false;
        }
    }
    if (o.file.empty()) {
        std::fprintf(stderr, "tabvue-cli %s: no table file given\n", command);
        return false;
    }
    if (o.hasFilter && o.hasGridFilter) {
        std::fprintf(stderr, "tabvue-cli %s: --filter and --grid-filter exclude each other\n", command);
        return false;
    }
    return true;
}

void applyFilter(Table& table, const Options& o) {
    if (o.hasFilter) {
        table.setFilter(o.filter);
        table.setFiltered(true);
    } else if (o.hasGridFilter) {
        engine::installFilter(table, engine::rewriteGridFilter(o.gridFilter));
    }
}

} // namespace

int runStructure(const std::vector<std::string>& args) {
    Options o;
    if (!parseOptions("structure", args, false, o))
        return 1;
    if (o.hasFilter || o.hasGridFilter) {
        std::fputs("tabvue-cli structure: filters do not apply\n", stderr);
        return 1;
    }
    Table table;
    try {
        table.open(o.file);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const engine::CodePage& ansi = engine::codePage(engine::ansiCodePage());
    Output out(stdout);
    std::string& s = out.buffer();
    s += "Name\tLetter\tType\tLen\tDec\n";
    for (const engine::FieldDescriptor& d : table.descriptors()) {
        // Names are bytes; names already written in UTF-8 pass as they are.
        s += validUtf8(d.name) ? d.name : ansi.decode(d.name);
        s += '\t';
        if (static_cast<unsigned char>(d.type) >= 0x20 && static_cast<unsigned char>(d.type) < 0x7F)
            s += d.type;
        else
            s += ansi.decode(std::string(1, d.type));
        s += '\t';
        s += engine::fieldTypeName(d.type);
        s += '\t';
        s += std::to_string(d.width);
        s += '\t';
        s += std::to_string(d.decimals);
        s += '\n';
    }
    return 0;
}

int runDump(const std::vector<std::string>& args) {
    Options o;
    if (!parseOptions("dump", args, true, o))
        return 1;
    Table table;
    try {
        table.open(o.file);
        table.setOemTranslate(o.mode == Options::Mode::Oem);
        applyFilter(table, o);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const int cp = o.mode == Options::Mode::CodePage ? o.codePage : engine::ansiCodePage();
    std::unique_ptr<const Decoder> decoder;
    try {
        decoder = std::make_unique<const Decoder>(engine::codePage(cp));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    const std::size_t fieldCount = table.fields().size();
    // Only text can hold bytes that need decoding or escaping; other display texts are ASCII.
    std::vector<char> isText(fieldCount);
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const engine::FieldKind k = table.fields()[i].kind;
        isText[i] = k == engine::FieldKind::String || k == engine::FieldKind::Memo;
    }
    Output out(stdout);
    std::vector<engine::TextSpan> spans;
    std::string line;
    long long written = 0;
    auto writeRecord = [&](engine::RecordNo rec, bool deleted) {
        std::string& s = out.buffer();
        if (deleted)
            s += "*\t";
        table.appendDisplayTexts(rec, s, '\t', spans);
        // The texts went straight into the output; from the first field that is null or holds
        // text that needs decoding or escaping, the line is written again field by field.
        auto passes = [&](std::size_t i) {
            return !spans[i].null && (!isText[i] || spans[i].plain ||
                                      Decoder::plain(std::string_view(s).substr(
                                          spans[i].start, spans[i].end - spans[i].start)));
        };
        std::size_t first = 0;
        while (first < fieldCount && passes(first))
            ++first;
        if (first < fieldCount) {
            const std::size_t from = spans[first].start;
            line.assign(s, from, std::string::npos);
            s.resize(from);
            for (std::size_t i = first; i < fieldCount; ++i) {
                if (i > first)
                    s += '\t';
                const std::string_view text =
                    std::string_view(line).substr(spans[i].start - from, spans[i].end - spans[i].start);
                if (spans[i].null)
                    s += "\\N";
                else if (isText[i] && !spans[i].plain)
                    decoder->append(text, s);
                else
                    s += text;
            }
        }
        s += '\n';
        out.maybeFlush();
        ++written;
    };
    try {
        if (o.deleted) {
            const engine::RecordNo n = table.recCount();
            for (engine::RecordNo rec = 1; rec <= n && (o.limit < 0 || written < o.limit); ++rec)
                if (table.matchesFilter(rec))
                    writeRecord(rec, table.isDeleted(rec));
        } else {
            for (std::int64_t pos = 0; o.limit < 0 || written < o.limit; ++pos) {
                const engine::RecordNo rec = table.viewRecord(pos);
                if (rec == 0)
                    break;
                writeRecord(rec, false);
            }
        }
    } catch (const Error& e) {
        out.flush();
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    out.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tabvue-cli dump: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

int runCount(const std::vector<std::string>& args) {
    Options o;
    if (!parseOptions("count", args, false, o))
        return 1;
    Table table;
    try {
        table.open(o.file);
        applyFilter(table, o);
        while (!table.advanceView(1u << 20)) {
        }
        std::printf("%lld\n", static_cast<long long>(table.viewCount()));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace tabvue::cli
