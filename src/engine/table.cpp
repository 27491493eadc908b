#include "engine/table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>

#include "engine/codepage.h"
#include "engine/dbf_layout.h"
#include "engine/expression.h"
#include "engine/field_codec.h"
#include "engine/memo_file.h"
#include "engine/posix_io.h"

namespace tabvue::engine {

namespace {

constexpr std::size_t kBlockBytes = 256 * 1024; // bytes read at once into the record cache
constexpr std::size_t kCacheBlocks = 4;           // record blocks kept
constexpr std::int64_t kCheckpointEvery = 256;    // view positions between stored record numbers
constexpr std::uint32_t kScanChunk = 4096;        // records settled per step while looking ahead

bool fileExists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

std::string baseName(const std::string& p) {
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

void translate(std::string& s, const std::array<unsigned char, 256>& table) {
    if (!codec::hasHighBytes(s.data(), s.size()))
        return;
    for (char& c : s)
        c = static_cast<char>(table[static_cast<unsigned char>(c)]);
}

std::uint32_t parseMemoBlock(const unsigned char* p, int width) {
    if (width == 4)
        return static_cast<std::uint32_t>(codec::readLe32(p));
    std::uint64_t v = 0;
    bool any = false;
    for (int i = 0; i < width; ++i) {
        const unsigned char c = p[i];
        if (c >= '0' && c <= '9') {
            v = v * 10 + (c - '0');
            any = true;
            if (v > 0xFFFFFFFFull)
                return 0;
        } else if (c == ' ' || c == 0) {
            if (any)
                break;
        } else {
            return 0;
        }
    }
    return static_cast<std::uint32_t>(v);
}

} // namespace

struct Table::Impl {
    Table* self = nullptr;
    // File
    int fd = -1;
    std::string path;
    bool readOnly = false;
    DbfLayout layout;
    std::uint32_t count = 0; // records present
    MemoFile memo;
    bool memoExpected = false;

    // Each dataset field's kind and descriptor, for the hot paths.
    // How a line of display texts writes a field: the common fixed-width kinds go straight
    // from the record into a buffer reserved up front; the rest through appendDisplayOf.
    enum class Direct : unsigned char { None, Text, Number, Date, Logic };
    struct FieldRef {
        FieldKind kind;
        const FieldDescriptor* d;
        Direct direct = Direct::None;
        std::size_t bound = 0; // most bytes a direct field writes (0 when not direct)
    };
    std::vector<FieldRef> fieldRefs;
    std::size_t lineBound = 0; // the bounds of all fields, plus one separator each

    // Record cache
    struct Block {
        std::uint32_t first = 0; // first record in the block (1-based); 0 when empty
        std::uint32_t records = 0;
        std::uint64_t used = 0;
        std::vector<unsigned char> data;
    };
    std::uint32_t blockRecords = 1;
    std::array<Block, kCacheBlocks> cache;
    Block* mru = nullptr; // the block the last record came from
    std::uint64_t useCounter = 0;
    std::vector<unsigned char> blankRecordBytes;

    // Settings
    bool oem = false;
    std::string filterText;
    bool filtered = false;
    RecordPredicate predicate;

    // View
    std::uint32_t scanned = 0;
    std::int64_t visibleCount = 0;
    bool complete = true;
    // Every kCheckpointEvery visible records, a record and the number of visible records before
    // it; a record leaving or joining the view shifts the counts of the checkpoints after it.
    struct Checkpoint {
        RecordNo rec;
        std::int64_t before;
    };
    std::vector<Checkpoint> checkpoints;
    std::int64_t lastPos = -1;
    RecordNo lastRec = 0;

    // Listeners
    std::map<int, std::function<void()>> listeners;
    int nextListener = 1;
    int suspended = 0;
    bool pendingNotify = false;

    // Cursor
    std::int64_t cursor = 0;

    // Editing
    bool editing = false;
    RecordNo editRec = 0;
    std::vector<unsigned char> editBuf;
    std::map<int, std::pair<std::string, bool>> pendingMemos; // descriptor -> (data, isText)

    // ---- file and cache ----

    void closeFile() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        memo.close();
        path.clear();
        readOnly = false;
        layout = DbfLayout{};
        fieldRefs.clear();
        lineBound = 0;
        count = 0;
        memoExpected = false;
        for (Block& b : cache) {
            b.first = 0;
            b.records = 0;
            b.data.clear();
            b.data.shrink_to_fit();
        }
        oem = false;
        editing = false;
        pendingMemos.clear();
        predicate = nullptr;
        cursor = 0;
        resetView();
    }

    void invalidateCache() {
        mru = nullptr;
        for (Block& b : cache)
            b.first = 0;
    }

    const unsigned char* record(RecordNo rec) {
        if (rec == 0 || rec > count)
            return nullptr;
        const std::size_t len = layout.recordLength;
        if (mru && mru->first != 0 && rec >= mru->first && rec < mru->first + mru->records) {
            mru->used = ++useCounter;
            return mru->data.data() + static_cast<std::size_t>(rec - mru->first) * len;
        }
        for (Block& b : cache) {
            if (b.first != 0 && rec >= b.first && rec < b.first + b.records) {
                b.used = ++useCounter;
                mru = &b;
                return b.data.data() + static_cast<std::size_t>(rec - b.first) * len;
            }
        }
        Block* victim = &cache[0];
        for (Block& b : cache)
            if (b.first == 0 || b.used < victim->used)
                victim = &b;
        const RecordNo first = ((rec - 1) / blockRecords) * blockRecords + 1;
        const std::uint32_t n = std::min<std::uint32_t>(blockRecords, count - first + 1);
        victim->data.resize(static_cast<std::size_t>(n) * len);
        const long got = readAt(fd, victim->data.data(), victim->data.size(),
                                layout.headerLength + static_cast<std::uint64_t>(first - 1) * len);
        const std::size_t have = got > 0 ? static_cast<std::size_t>(got) : 0;
        // A file that shrank under us reads as blank records.
        for (std::size_t i = have; i < victim->data.size(); ++i)
            victim->data[i] = blankRecordBytes[i % len];
        victim->first = first;
        victim->records = n;
        victim->used = ++useCounter;
        mru = victim;
        return victim->data.data() + static_cast<std::size_t>(rec - first) * len;
    }

    void buildBlankRecord() {
        blankRecordBytes.assign(layout.recordLength, ' ');
        for (const FieldDescriptor& d : layout.descriptors) {
            bool binary = false;
            switch (d.type) {
            case 'C':
            case 'V':
            case 'N':
            case 'F':
            case 'D':
            case 'L':
                break;
            case 'M':
            case 'G':
            case 'P':
                binary = d.width == 4;
                break;
            case 'B':
                binary = layout.visualFoxPro || d.width == 4;
                break;
            default:
                binary = true;
            }
            if (binary)
                std::fill_n(blankRecordBytes.begin() + d.offset, d.width, 0);
            if (layout.dbase7 && (d.type == 'I' || d.type == '+') && d.width == 4)
                codec::writeDbase7Int(blankRecordBytes.data() + d.offset, 0);
        }
    }

    void openFile(const std::string& requested) {
        closeFile();
        auto fail = [&](const std::string& reason) -> void {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
            throw Error("Unable to open table: " + requested + (reason.empty() ? "" : "\n" + reason));
        };
        int f = ::open(requested.c_str(), O_RDWR | O_CLOEXEC);
        bool ro = false;
        if (f < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            f = ::open(requested.c_str(), O_RDONLY | O_CLOEXEC);
            ro = true;
        }
        if (f < 0)
            fail(std::strerror(errno));
        fd = f;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            fail("Not a regular file.");
        const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        std::vector<unsigned char> header(std::min<std::uint64_t>(size, 65536 + 68));
        const long got = readAt(fd, header.data(), header.size(), 0);
        if (got < 0)
            fail(std::strerror(errno));
        header.resize(static_cast<std::size_t>(got));
        try {
            layout = parseDbfLayout(header.data(), header.size(), size);
        } catch (const Error& e) {
            fail(e.what());
        }
        path = requested;
        readOnly = ro;
        count = recordsPresent(layout, size);
        fieldRefs.clear();
        for (const Field& fld : layout.fields) {
            FieldRef ref{fld.kind, &layout.descriptors[static_cast<std::size_t>(fld.descriptor)]};
            const FieldDescriptor& fd = *ref.d;
            const auto w = static_cast<std::size_t>(fd.width);
            if (fld.kind == FieldKind::String && fd.type == 'C')
                ref = {fld.kind, ref.d, Direct::Text, w};
            else if ((fld.kind == FieldKind::SmallInt || fld.kind == FieldKind::Float) &&
                     (fd.type == 'N' || fd.type == 'F') && fd.decimals >= 0 && fd.decimals < fd.width)
                ref = {fld.kind, ref.d, Direct::Number, w + 1};
            else if (fld.kind == FieldKind::Date && fd.type == 'D' && fd.width == 8)
                ref = {fld.kind, ref.d, Direct::Date, 10};
            else if (fld.kind == FieldKind::Boolean && fd.width >= 1)
                ref = {fld.kind, ref.d, Direct::Logic, 1};
            fieldRefs.push_back(ref);
        }
        lineBound = 0;
        for (const FieldRef& ref : fieldRefs)
            lineBound += ref.bound + 1;
        blockRecords = static_cast<std::uint32_t>(std::max<std::size_t>(1, kBlockBytes / layout.recordLength));
        buildBlankRecord();
        if (layout.memoFormat != MemoFormat::None) {
            memoExpected = true;
            const std::string memoPath = findMemoFile(path, layout.memoFormat);
            if (!memoPath.empty()) {
                // The memo file's format follows its own extension.
                const std::string ext = memoPath.substr(memoPath.size() - 3);
                const MemoFormat mf = (ext == "fpt" || ext == "FPT" || ext == "Fpt")
                                          ? MemoFormat::Fpt
                                          : MemoFormat::Dbt;
                memo.open(memoPath, mf, layout.version, !readOnly);
            }
        }
        resetView();
    }

    // ---- fields ----

    const FieldDescriptor& descriptorOf(int field) const {
        return layout.descriptors[static_cast<std::size_t>(layout.fields[static_cast<std::size_t>(field)].descriptor)];
    }

    void checkField(int field) const {
        if (fd < 0)
            throw Error("The table is not open.");
        if (field < 0 || static_cast<std::size_t>(field) >= layout.fields.size())
            throw Error("Field index " + std::to_string(field) + " out of range.");
    }

    bool flagBit(const unsigned char* rec, int bit) const {
        if (bit < 0 || layout.nullFlagsDescriptor < 0)
            return false;
        const FieldDescriptor& nf = layout.descriptors[static_cast<std::size_t>(layout.nullFlagsDescriptor)];
        if (bit / 8 >= nf.width)
            return false;
        return (rec[nf.offset + bit / 8] >> (bit % 8)) & 1;
    }

    void setFlagBit(unsigned char* rec, int bit, bool on) {
        if (bit < 0 || layout.nullFlagsDescriptor < 0)
            return;
        const FieldDescriptor& nf = layout.descriptors[static_cast<std::size_t>(layout.nullFlagsDescriptor)];
        if (bit / 8 >= nf.width)
            return;
        unsigned char& b = rec[nf.offset + bit / 8];
        if (on)
            b = static_cast<unsigned char>(b | (1u << (bit % 8)));
        else
            b = static_cast<unsigned char>(b & ~(1u << (bit % 8)));
    }

    bool isNullAt(const unsigned char* rec, const FieldDescriptor& d) const { return flagBit(rec, d.nullBit); }

    // The stored text of a C or V field, without trailing blanks, not translated.
    std::string_view rawText(const unsigned char* rec, const FieldDescriptor& d) const {
        const char* p = reinterpret_cast<const char*>(rec + d.offset);
        std::size_t n = static_cast<std::size_t>(d.width);
        if (d.type == 'V' && flagBit(rec, d.varLengthBit) && n > 0)
            n = std::min<std::size_t>(static_cast<unsigned char>(p[n - 1]), n - 1);
        return {p, codec::trimmedLength(p, n)};
    }

    std::string memoData(const unsigned char* rec, const FieldDescriptor& d) const {
        if (!memo.isOpen())
            return {};
        return memo.read(parseMemoBlock(rec + d.offset, d.width));
    }

    Bytes blobBytes(const unsigned char* rec, const FieldDescriptor& d) const {
        std::string s;
        if (d.type == 'Q') {
            std::size_t n = static_cast<std::size_t>(d.width);
            if (flagBit(rec, d.varLengthBit) && n > 0)
                n = std::min<std::size_t>(rec[d.offset + n - 1], n - 1);
            s.assign(reinterpret_cast<const char*>(rec + d.offset), n);
        } else {
            s = memoData(rec, d);
        }
        return Bytes(s.begin(), s.end());
    }

    DateTime dateTimeAt(const unsigned char* p, char type) const {
        if (type == 'T') {
            const std::int32_t day = codec::readLe32(p);
            const std::int32_t ms = codec::readLe32(p + 4);
            const Date d = codec::dateFromJulianDay(day);
            if (d.empty())
                return {};
            return {d, (ms >= 0 && ms < 86400000) ? ms : 0};
        }
        bool blank = true;
        for (int i = 0; i < 8; ++i)
            if (p[i] != 0 && p[i] != ' ')
                blank = false;
        if (blank)
            return {};
        const double v = codec::readBeDouble(p);
        if (!std::isfinite(v) || v < 0 || v > 4e14)
            return {};
        const auto total = static_cast<std::int64_t>(v);
        const Date d = codec::dateFromJulianDay(total / 86400000 + 1721425);
        if (d.empty())
            return {};
        return {d, static_cast<int>(total % 86400000)};
    }

    std::int64_t integerAt(const unsigned char* p) const {
        return layout.dbase7 ? codec::readDbase7Int(p) : codec::readLe32(p);
    }

    double doubleAt(const unsigned char* p, char type) const {
        if (type == 'O' && layout.dbase7)
            return codec::readDbase7Double(p);
        return codec::readLeDouble(p);
    }

    Value valueAt(const unsigned char* rec, int field) const {
        const Field& f = layout.fields[static_cast<std::size_t>(field)];
        const FieldDescriptor& d = descriptorOf(field);
        if (isNullAt(rec, d))
            return std::monostate{};
        const unsigned char* p = rec + d.offset;
        switch (f.kind) {
        case FieldKind::String: {
            std::string s(rawText(rec, d));
            if (oem)
                translate(s, oemToAnsiTable());
            return s;
        }
        case FieldKind::Memo: {
            std::string s = memoData(rec, d);
            if (oem)
                translate(s, oemToAnsiTable());
            return s;
        }
        case FieldKind::Date:
            return codec::parseDate(p, d.width);
        case FieldKind::DateTime:
            return dateTimeAt(p, d.type);
        case FieldKind::SmallInt: {
            double v = 0;
            codec::parseNumber(p, d.width, v);
            return static_cast<std::int64_t>(std::llround(v));
        }
        case FieldKind::Float: {
            if (d.type == 'N' || d.type == 'F') {
                double v = 0;
                codec::parseNumber(p, d.width, v);
                return v;
            }
            return doubleAt(p, d.type);
        }
        case FieldKind::Integer:
        case FieldKind::AutoInc:
            return integerAt(p);
        case FieldKind::Currency:
            return Currency{codec::readLe64(p)};
        case FieldKind::Boolean:
            switch (p[0]) {
            case 'T':
            case 't':
            case 'Y':
            case 'y':
                return true;
            case 'F':
            case 'f':
            case 'N':
            case 'n':
                return false;
            default:
                return std::monostate{};
            }
        case FieldKind::Blob:
            return blobBytes(rec, d);
        }
        return std::monostate{};
    }

    void appendDisplay(const unsigned char* rec, int field, std::string& out) const {
        const FieldRef& ref = fieldRefs[static_cast<std::size_t>(field)];
        if (!isNullAt(rec, *ref.d))
            appendDisplayOf(rec, ref, out);
    }

    // The display text of a field that is not null.
    void appendDisplayOf(const unsigned char* rec, const FieldRef& ref, std::string& out) const {
        const FieldDescriptor& d = *ref.d;
        const unsigned char* p = rec + d.offset;
        switch (ref.kind) {
        case FieldKind::String: {
            const std::string_view s = rawText(rec, d);
            const std::size_t at = out.size();
            out.append(s);
            if (oem && codec::hasHighBytes(s.data(), s.size())) {
                const auto& t = oemToAnsiTable();
                for (std::size_t i = at; i < out.size(); ++i)
                    out[i] = static_cast<char>(t[static_cast<unsigned char>(out[i])]);
            }
            return;
        }
        case FieldKind::Memo: {
            std::string s = memoData(rec, d);
            if (oem)
                translate(s, oemToAnsiTable());
            out += s;
            return;
        }
        case FieldKind::Date:
            codec::appendDateField(p, d.width, out);
            return;
        case FieldKind::DateTime:
            codec::appendDateTime(dateTimeAt(p, d.type), out);
            return;
        case FieldKind::SmallInt:
        case FieldKind::Float:
            if (d.type == 'N' || d.type == 'F')
                codec::appendNumberText(p, d.width, d.decimals, out);
            else
                codec::appendShortest(doubleAt(p, d.type), out);
            return;
        case FieldKind::Integer:
        case FieldKind::AutoInc:
            codec::appendInteger(integerAt(p), out);
            return;
        case FieldKind::Currency:
            codec::appendCurrency(codec::readLe64(p), out);
            return;
        case FieldKind::Boolean:
            switch (p[0]) {
            case 'T':
            case 't':
            case 'Y':
            case 'y':
                out.push_back('T');
                return;
            case 'F':
            case 'f':
            case 'N':
            case 'n':
                out.push_back('F');
                return;
            default:
                return;
            }
        case FieldKind::Blob:
            out += "** BINARY **";
            return;
        }
    }

    // ---- view ----

    void resetView() {
        scanned = 0;
        visibleCount = 0;
        complete = count == 0;
        checkpoints.clear();
        lastPos = -1;
        lastRec = 0;
    }

    bool visible(RecordNo rec) {
        const unsigned char* p = record(rec);
        if (!p || p[0] == '*')
            return false;
        return !predicate || predicate(*self, rec, p);
    }

    void scanTo(std::uint32_t upTo) {
        upTo = std::min(upTo, count);
        while (scanned < upTo) {
            const RecordNo rec = scanned + 1;
            const unsigned char* p = record(rec);
            if (p && p[0] != '*' && (!predicate || predicate(*self, rec, p))) {
                if (checkpoints.empty() || visibleCount - checkpoints.back().before >= kCheckpointEvery)
                    checkpoints.push_back({rec, visibleCount});
                ++visibleCount;
            }
            scanned = rec;
        }
        complete = scanned >= count;
    }

    RecordNo viewRecord(std::int64_t pos) {
        if (pos < 0 || fd < 0)
            return 0;
        while (pos >= visibleCount && !complete)
            scanTo(scanned + kScanChunk);
        if (pos >= visibleCount)
            return 0;
        // Walk forward from the nearest known point: the last answer or a checkpoint.
        std::int64_t p;
        RecordNo cur;
        if (lastPos >= 0 && pos >= lastPos && pos - lastPos <= 1) {
            p = lastPos;
            cur = lastRec;
        } else {
            // A record that joined the view before the first checkpoint leaves no checkpoint
            // to start from: the walk then starts at the first record.
            auto it = std::upper_bound(checkpoints.begin(), checkpoints.end(), pos,
                                       [](std::int64_t v, const Checkpoint& c) { return v < c.before; });
            if (it == checkpoints.begin()) {
                p = 0;
                cur = 1;
            } else {
                --it;
                p = it->before;
                cur = it->rec;
            }
            if (lastPos >= p && lastPos <= pos) {
                p = lastPos;
                cur = lastRec;
            }
        }
        for (;; ++cur) {
            if (cur > scanned)
                return 0; // cannot happen while the counts are right
            if (visible(cur)) {
                if (p == pos)
                    break;
                ++p;
            }
        }
        lastPos = pos;
        lastRec = cur;
        return cur;
    }

    std::int64_t viewPosition(RecordNo rec) {
        if (fd < 0 || rec == 0 || rec > count)
            return -1;
        if (rec > scanned)
            scanTo(rec);
        if (!visible(rec))
            return -1;
        auto it = std::upper_bound(checkpoints.begin(), checkpoints.end(), rec,
                                   [](RecordNo v, const Checkpoint& c) { return v < c.rec; });
        std::int64_t p = 0;
        RecordNo cur = 1;
        if (it != checkpoints.begin()) {
            --it;
            p = it->before;
            cur = it->rec;
        }
        if (lastPos >= p && lastRec >= cur && lastRec <= rec) {
            p = lastPos;
            cur = lastRec;
        }
        for (; cur < rec; ++cur)
            if (visible(cur))
                ++p;
        return p;
    }

    // A record that was already settled left (-1) or joined (+1) the view.
    void shiftView(RecordNo rec, int delta) {
        if (rec > scanned || delta == 0)
            return;
        visibleCount += delta;
        for (Checkpoint& c : checkpoints)
            if (c.rec > rec)
                c.before += delta;
        lastPos = -1;
        lastRec = 0;
    }

    void notify() {
        if (suspended > 0) {
            pendingNotify = true;
            return;
        }
        pendingNotify = false;
        const auto copy = listeners;
        for (const auto& [id, fn] : copy)
            if (fn)
                fn();
    }

    void viewChanged() {
        resetView();
        notify();
    }

    // ---- writing ----

    void requireWritable() const {
        if (fd < 0)
            throw Error("The table is not open.");
        if (readOnly)
            throw Error("The table " + path + " is read-only: changes cannot be saved.");
        if (layout.version == 0x02)
            throw Error("The table " + path + " is in the dBase II format, which can be read but not changed.");
    }

    std::uint64_t recordOffset(RecordNo rec) const {
        return layout.headerLength + static_cast<std::uint64_t>(rec - 1) * layout.recordLength;
    }

    void stampHeaderDate() {
        RangeLock lock(fd, 0, 32, true);
        std::time_t now = std::time(nullptr);
        std::tm tm {};
        localtime_r(&now, &tm);
        const unsigned char date[3] = {static_cast<unsigned char>(tm.tm_year % 256),
                                       static_cast<unsigned char>(tm.tm_mon + 1),
                                       static_cast<unsigned char>(tm.tm_mday)};
        writeAllAt(fd, date, 3, 1, path);
    }

    void writeRecordBytes(RecordNo rec, const unsigned char* bytes) {
        {
            RangeLock lock(fd, recordOffset(rec), layout.recordLength, true);
            writeAllAt(fd, bytes, layout.recordLength, recordOffset(rec), path);
        }
        invalidateCache();
        stampHeaderDate();
    }

    void encodeText(int field, std::string_view text);
    void encodeValue(int field, const Value& value);
    RecordNo append();
};

// ---------------------------------------------------------------------------------------------
// Editing encoders

void Table::Impl::encodeText(int field, std::string_view text) {
    const Field& f = layout.fields[static_cast<std::size_t>(field)];
    const FieldDescriptor& d = descriptorOf(field);
    unsigned char* p = editBuf.data() + d.offset;
    const std::string fieldName = f.name;
    auto invalid = [&](const std::string& what) {
        throw Error("Invalid value for field " + fieldName + ": " + what);
    };
    switch (f.kind) {
    case FieldKind::String: {
        std::string s(text);
        if (oem)
            translate(s, ansiToOemTable());
        const std::size_t width = static_cast<std::size_t>(d.width);
        if (s.size() > width)
            invalid("the text is longer than " + std::to_string(width) + " characters");
        if (d.type == 'V' && d.varLengthBit >= 0) {
            std::memset(p, 0, width);
            std::memcpy(p, s.data(), s.size());
            if (s.size() < width) {
                p[width - 1] = static_cast<unsigned char>(s.size());
                setFlagBit(editBuf.data(), d.varLengthBit, true);
            } else {
                setFlagBit(editBuf.data(), d.varLengthBit, false);
            }
        } else {
            std::memset(p, ' ', width);
            std::memcpy(p, s.data(), s.size());
        }
        break;
    }
    case FieldKind::Memo: {
        std::string s(text);
        if (oem)
            translate(s, ansiToOemTable());
        if (!memo.isOpen())
            throw Error("The memo file of " + path + " is missing: memo values cannot be written.");
        pendingMemos[f.descriptor] = {s, true};
        break;
    }
    case FieldKind::Date: {
        Date date;
        if (!codec::parseDateText(text, date))
            invalid("\"" + std::string(text) + "\" is not a valid date");
        if (date.empty()) {
            std::memset(p, ' ', static_cast<std::size_t>(d.width));
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year, date.month, date.day);
            std::memset(p, ' ', static_cast<std::size_t>(d.width));
            std::memcpy(p, buf, std::min<std::size_t>(8, static_cast<std::size_t>(d.width)));
        }
        break;
    }
    case FieldKind::DateTime: {
        DateTime t;
        if (!codec::parseDateTimeText(text, t))
            invalid("\"" + std::string(text) + "\" is not a valid date and time");
        encodeValue(field, t.date.empty() ? Value(DateTime{}) : Value(t));
        return;
    }
    case FieldKind::SmallInt:
    case FieldKind::Float: {
        if (d.type == 'N' || d.type == 'F') {
            std::string out;
            if (!codec::formatNumberFieldFromText(text, d.width, d.decimals, out)) {
                double v;
                if (!codec::parseDecimalText(text, v))
                    invalid("\"" + std::string(text) + "\" is not a number");
                invalid("\"" + std::string(text) + "\" does not fit the field's width " +
                        std::to_string(d.width) + " with " + std::to_string(d.decimals) + " decimals");
            }
            std::memcpy(p, out.data(), out.size());
        } else {
            double v;
            if (!codec::parseDecimalText(text, v))
                invalid("\"" + std::string(text) + "\" is not a number");
            encodeValue(field, v);
            return;
        }
        break;
    }
    case FieldKind::Integer:
    case FieldKind::AutoInc: {
        std::int64_t v;
        if (!codec::parseIntegerText(text, v))
            invalid("\"" + std::string(text) + "\" is not an integer");
        encodeValue(field, v);
        return;
    }
    case FieldKind::Currency: {
        std::int64_t v;
        if (!codec::parseCurrencyText(text, v))
            invalid("\"" + std::string(text) + "\" is not an amount with at most four decimals");
        encodeValue(field, Currency{v});
        return;
    }
    case FieldKind::Boolean: {
        std::string_view t = text;
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        char c = ' ';
        if (t.empty() || t == "?")
            c = ' ';
        else if (t == "T" || t == "t" || t == "Y" || t == "y" || t == "True" || t == "true")
            c = 'T';
        else if (t == "F" || t == "f" || t == "N" || t == "n" || t == "False" || t == "false")
            c = 'F';
        else
            invalid("\"" + std::string(text) + "\" is not a logical value");
        p[0] = static_cast<unsigned char>(c);
        break;
    }
    case FieldKind::Blob:
        invalid("binary fields cannot be edited as text");
    }
    setFlagBit(editBuf.data(), d.nullBit, false);
}

void Table::Impl::encodeValue(int field, const Value& value) {
    const Field& f = layout.fields[static_cast<std::size_t>(field)];
    const FieldDescriptor& d = descriptorOf(field);
    unsigned char* p = editBuf.data() + d.offset;
    auto invalid = [&](const std::string& what) {
        throw Error("Invalid value for field " + f.name + ": " + what);
    };
    if (std::holds_alternative<std::monostate>(value)) {
        if (d.nullBit >= 0) {
            setFlagBit(editBuf.data(), d.nullBit, true);
            pendingMemos.erase(f.descriptor);
            return;
        }
        // Without null flags the closest thing to "no value" is a blank field.
        std::memcpy(p, blankRecordBytes.data() + d.offset, static_cast<std::size_t>(d.width));
        if (f.kind == FieldKind::Memo)
            pendingMemos.erase(f.descriptor);
        return;
    }
    auto asDouble = [&](double& out) {
        if (auto v = std::get_if<double>(&value))
            out = *v;
        else if (auto i = std::get_if<std::int64_t>(&value))
            out = static_cast<double>(*i);
        else if (auto c = std::get_if<Currency>(&value))
            out = static_cast<double>(c->scaled) / 10000.0;
        else
            return false;
        return true;
    };
    switch (f.kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        }
        invalid("a text is expected");
        break;
    case FieldKind::Date:
        if (auto dt = std::get_if<Date>(&value)) {
            if (!dt->empty() && !codec::validDate(*dt))
                invalid("not a valid date");
            std::memset(p, ' ', static_cast<std::size_t>(d.width));
            if (!dt->empty()) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%04d%02d%02d", dt->year, dt->month, dt->day);
                std::memcpy(p, buf, std::min<std::size_t>(8, static_cast<std::size_t>(d.width)));
            }
            break;
        }
        if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        }
        invalid("a date is expected");
        break;
    case FieldKind::DateTime: {
        DateTime t;
        if (auto v = std::get_if<DateTime>(&value))
            t = *v;
        else if (auto v2 = std::get_if<Date>(&value))
            t = {*v2, 0};
        else if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        } else
            invalid("a date and time is expected");
        if (!t.date.empty() && (!codec::validDate(t.date) || t.millisOfDay < 0 || t.millisOfDay >= 86400000))
            invalid("not a valid date and time");
        if (d.type == 'T') {
            const std::int64_t day = t.date.empty() ? 0 : codec::julianDay(t.date);
            codec::writeLe32(p, static_cast<std::int32_t>(day));
            codec::writeLe32(p + 4, t.date.empty() ? 0 : t.millisOfDay);
        } else {
            if (t.date.empty()) {
                std::memset(p, 0, 8);
            } else {
                const double ms = static_cast<double>((codec::julianDay(t.date) - 1721425) * 86400000LL + t.millisOfDay);
                codec::writeBeDouble(p, ms);
            }
        }
        break;
    }
    case FieldKind::SmallInt:
    case FieldKind::Float: {
        if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        }
        double v;
        if (!asDouble(v) || !std::isfinite(v))
            invalid("a number is expected");
        if (d.type == 'N' || d.type == 'F') {
            std::string out;
            if (!codec::formatNumberField(v, d.width, d.decimals, out))
                invalid("the number does not fit the field's width " + std::to_string(d.width) +
                        " with " + std::to_string(d.decimals) + " decimals");
            std::memcpy(p, out.data(), out.size());
        } else if (d.type == 'O' && layout.dbase7) {
            codec::writeDbase7Double(p, v);
        } else {
            codec::writeLeDouble(p, v);
        }
        break;
    }
    case FieldKind::Integer:
    case FieldKind::AutoInc: {
        if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        }
        std::int64_t v = 0;
        if (auto i = std::get_if<std::int64_t>(&value))
            v = *i;
        else if (auto dd = std::get_if<double>(&value); dd && std::nearbyint(*dd) == *dd && std::fabs(*dd) < 3e9)
            v = static_cast<std::int64_t>(*dd);
        else
            invalid("an integer is expected");
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            invalid("the integer is out of range");
        if (layout.dbase7)
            codec::writeDbase7Int(p, static_cast<std::int32_t>(v));
        else
            codec::writeLe32(p, static_cast<std::int32_t>(v));
        break;
    }
    case FieldKind::Currency: {
        if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        }
        std::int64_t scaled = 0;
        if (auto c = std::get_if<Currency>(&value))
            scaled = c->scaled;
        else if (auto i = std::get_if<std::int64_t>(&value))
            scaled = *i * 10000;
        else if (auto dd = std::get_if<double>(&value); dd && std::fabs(*dd) < 9e14)
            scaled = std::llround(*dd * 10000.0);
        else
            invalid("an amount is expected");
        codec::writeLe64(p, scaled);
        break;
    }
    case FieldKind::Boolean:
        if (auto b = std::get_if<bool>(&value)) {
            p[0] = *b ? 'T' : 'F';
            break;
        }
        if (auto s = std::get_if<std::string>(&value)) {
            encodeText(field, *s);
            return;
        }
        invalid("a logical value is expected");
        break;
    case FieldKind::Blob: {
        const Bytes* b = std::get_if<Bytes>(&value);
        if (!b)
            invalid("bytes are expected");
        if (d.type == 'Q') {
            const std::size_t width = static_cast<std::size_t>(d.width);
            if (b->size() > width)
                invalid("longer than " + std::to_string(width) + " bytes");
            std::memset(p, 0, width);
            std::memcpy(p, b->data(), b->size());
            if (b->size() < width && d.varLengthBit >= 0) {
                p[width - 1] = static_cast<unsigned char>(b->size());
                setFlagBit(editBuf.data(), d.varLengthBit, true);
            } else {
                setFlagBit(editBuf.data(), d.varLengthBit, false);
            }
        } else {
            if (!memo.isOpen())
                throw Error("The memo file of " + path + " is missing: memo values cannot be written.");
            pendingMemos[f.descriptor] = {std::string(b->begin(), b->end()), false};
        }
        break;
    }
    }
    setFlagBit(editBuf.data(), d.nullBit, false);
}

RecordNo Table::Impl::append() {
    requireWritable();
    RecordNo rec;
    {
        RangeLock lock(fd, 0, layout.headerLength, true);
        unsigned char head[12];
        if (readAt(fd, head, sizeof head, 0) != static_cast<long>(sizeof head))
            throw Error("Unable to read the header of " + path);
        const std::uint32_t headerCount = static_cast<std::uint32_t>(codec::readLe32(head + 4));
        const std::uint64_t size = fileSize(fd);
        DbfLayout probe = layout;
        probe.headerRecordCount = headerCount;
        const std::uint32_t present = recordsPresent(probe, size);
        if (present == 0xFFFFFFFFu)
            throw Error("The table " + path + " is full.");
        rec = present + 1;
        std::vector<unsigned char> bytes(blankRecordBytes);
        // Auto-increment fields take their next value; nothing is written before all are known.
        std::vector<std::pair<std::uint32_t, std::int32_t>> counters; // header offset, next value
        for (std::size_t i = 0; i < layout.descriptors.size(); ++i) {
            const FieldDescriptor& d = layout.descriptors[i];
            const bool vfpAuto = layout.visualFoxPro && d.type == 'I' && (layout.descriptorFlags[i] & 0x0C) == 0x0C;
            auto exhausted = [&] {
                throw Error("The auto-increment field " + d.name + " of " + path + " has run out of values.");
            };
            if (vfpAuto) {
                unsigned char a[5];
                const std::uint32_t at = layout.descriptorPos[i] + 19;
                if (readAt(fd, a, 5, at) == 5) {
                    const std::int32_t next = codec::readLe32(a);
                    const std::int64_t following = static_cast<std::int64_t>(next) + (a[4] ? a[4] : 1);
                    if (following > std::numeric_limits<std::int32_t>::max())
                        exhausted();
                    codec::writeLe32(bytes.data() + d.offset, next);
                    counters.emplace_back(at, static_cast<std::int32_t>(following));
                }
            } else if (d.type == '+' && d.width == 4) {
                std::int64_t next = 1;
                if (present > 0) {
                    unsigned char last[4];
                    if (readAt(fd, last, 4, layout.headerLength + static_cast<std::uint64_t>(present - 1) * layout.recordLength + d.offset) == 4)
                        next = static_cast<std::int64_t>(layout.dbase7 ? codec::readDbase7Int(last) : codec::readLe32(last)) + 1;
                }
                if (next > std::numeric_limits<std::int32_t>::max())
                    exhausted();
                if (layout.dbase7)
                    codec::writeDbase7Int(bytes.data() + d.offset, static_cast<std::int32_t>(next));
                else
                    codec::writeLe32(bytes.data() + d.offset, static_cast<std::int32_t>(next));
            }
        }
        for (const auto& [at, value] : counters) {
            unsigned char n[4];
            codec::writeLe32(n, value);
            writeAllAt(fd, n, 4, at, path);
        }
        bytes.push_back(0x1A);
        const std::uint64_t at = layout.headerLength + static_cast<std::uint64_t>(present) * layout.recordLength;
        writeAllAt(fd, bytes.data(), bytes.size(), at, path);
        unsigned char n[4];
        codec::writeLe32(n, static_cast<std::int32_t>(rec));
        writeAllAt(fd, n, 4, 4, path);
        layout.headerRecordCount = rec;
        count = rec;
    }
    invalidateCache();
    stampHeaderDate();
    complete = false;
    notify();
    return rec;
}

// ---------------------------------------------------------------------------------------------

std::string fieldTypeName(char type) {
    switch (type) {
    case 'C':
        return "Character";
    case 'D':
        return "Date";
    case 'I':
        return "Integer";
    case 'L':
        return "Boolean";
    case 'M':
        return "Memo";
    case 'N':
        return "Numeric";
    case 'O':
        return "Float";
    case 'Y':
        return "Binary";
    default:
        return {};
    }
}

Table::Table() : d(std::make_unique<Impl>()) { d->self = this; }
Table::~Table() { d->closeFile(); }

void Table::open(const std::string& directory, const std::string& fileName) {
    std::string full;
    if (directory.empty() || (!fileName.empty() && fileName[0] == '/'))
        full = fileName;
    else
        full = directory + (directory.back() == '/' ? "" : "/") + fileName;
    open(full);
}

void Table::open(const std::string& requested) {
    std::string p = requested;
    const std::string base = baseName(p);
    if (base.find('.') == std::string::npos) {
        if (fileExists(p + ".dbf"))
            p += ".dbf";
        else if (fileExists(p + ".DBF"))
            p += ".DBF";
        else if (!fileExists(p))
            p += ".dbf";
    }
    d->openFile(p);
}

void Table::close() { d->closeFile(); }
bool Table::isOpen() const { return d->fd >= 0; }
bool Table::readOnly() const { return d->readOnly; }
std::string Table::path() const { return d->path; }
unsigned char Table::versionByte() const { return d->layout.version; }
const std::vector<FieldDescriptor>& Table::descriptors() const { return d->layout.descriptors; }
const std::vector<Field>& Table::fields() const { return d->layout.fields; }

int Table::fieldIndex(std::string_view name) const {
    const auto& fs = d->layout.fields;
    for (std::size_t i = 0; i < fs.size(); ++i) {
        const std::string& n = fs[i].name;
        if (n.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < n.size() && same; ++k) {
            char a = n[k], b = name[k];
            if (a >= 'a' && a <= 'z')
                a = static_cast<char>(a - 32);
            if (b >= 'a' && b <= 'z')
                b = static_cast<char>(b - 32);
            same = a == b;
        }
        if (same)
            return static_cast<int>(i);
    }
    return -1;
}

std::uint32_t Table::recCount() const { return d->fd >= 0 ? d->count : 0; }
int Table::recordLength() const { return static_cast<int>(d->layout.recordLength); }

bool Table::oemTranslate() const { return d->oem; }
void Table::setOemTranslate(bool on) {
    if (d->oem == on)
        return;
    d->oem = on;
    if (d->fd < 0)
        return;
    // A filter compares the translated text, so the records it lets through change with it.
    if (d->predicate)
        d->viewChanged();
    else
        d->notify();
}

const std::string& Table::filter() const { return d->filterText; }

void Table::setFilter(const std::string& text) {
    d->filterText = text;
    if (d->filtered)
        setFiltered(true);
}

bool Table::filtered() const { return d->filtered; }

void Table::setFiltered(bool on) {
    d->filtered = on;
    if (!on || d->filterText.empty()) {
        setFilterPredicate(nullptr);
        return;
    }
    RecordPredicate compiled;
    try {
        compiled = compileFilter(d->filterText, *this);
    } catch (...) {
        setFilterPredicate(nullptr);
        throw;
    }
    setFilterPredicate(std::move(compiled));
}

void Table::setFilterPredicate(RecordPredicate predicate) {
    const bool had = static_cast<bool>(d->predicate);
    d->predicate = std::move(predicate);
    if (had || d->predicate)
        d->viewChanged();
}

bool Table::readRecord(RecordNo rec, std::string& bytes) const {
    const unsigned char* p = d->record(rec);
    if (!p)
        return false;
    bytes.assign(reinterpret_cast<const char*>(p), d->layout.recordLength);
    return true;
}

bool Table::isDeleted(RecordNo rec) const {
    const unsigned char* p = d->record(rec);
    return p && p[0] == '*';
}

std::string Table::memoText(RecordNo rec, int field) const {
    d->checkField(field);
    const unsigned char* p = d->record(rec);
    const FieldDescriptor& fd = d->descriptorOf(field);
    if (!p || !isMemoPointer(fd, d->layout.visualFoxPro))
        return {};
    return d->memoData(p, fd);
}

Value Table::value(RecordNo rec, int field) const {
    d->checkField(field);
    const unsigned char* p = d->record(rec);
    if (!p)
        throw Error("Record " + std::to_string(rec) + " is out of range.");
    return d->valueAt(p, field);
}

std::string Table::displayText(RecordNo rec, int field) const {
    d->checkField(field);
    const unsigned char* p = d->record(rec);
    if (!p)
        return {};
    std::string out;
    d->appendDisplay(p, field, out);
    return out;
}

void Table::appendDisplayText(RecordNo rec, int field, std::string& out) const {
    d->checkField(field);
    if (const unsigned char* p = d->record(rec))
        d->appendDisplay(p, field, out);
}

namespace {

bool digit(unsigned char c) { return c >= '0' && c <= '9'; }

// A number already spelled the way it is shown: blanks, an optional '-', digits without a
// leading zero (a single "0" aside), and with decimals a '.' and exactly that many digits,
// then blanks to the end. Writes it at w and returns the end, or nullptr when it is not such
// a number. A negative zero is refused (it is shown without its sign).
char* copyCanonicalNumber(const unsigned char* p, int width, int decimals, char* w) {
    int i = 0;
    while (i < width && p[i] == ' ')
        ++i;
    int e = width;
    while (e > i && p[e - 1] == ' ')
        --e;
    if (i == e)
        return nullptr;
    const bool negative = p[i] == '-';
    const int start = i;
    if (negative)
        ++i;
    const int intStart = i;
    unsigned nonZero = 0;
    while (i < e && digit(p[i]))
        nonZero |= p[i++] - '0';
    const int intLen = i - intStart;
    if (intLen == 0 || (intLen > 1 && p[intStart] == '0'))
        return nullptr;
    if (decimals > 0) {
        if (e - i != decimals + 1 || p[i] != '.')
            return nullptr;
        for (++i; i < e; ++i) {
            if (!digit(p[i]))
                return nullptr;
            nonZero |= p[i] - '0';
        }
    } else if (i != e) {
        return nullptr;
    }
    if (negative && nonZero == 0)
        return nullptr;
    const auto n = static_cast<std::size_t>(e - start);
    std::memcpy(w, p + start, n);
    return w + n;
}

// Copies a C field without its trailing blanks to w in one pass and returns its length;
// `plain` tells whether the text is codec::plainText.
std::size_t copyTrimmedText(const unsigned char* f, std::size_t width, char* w, bool& plain) {
    const std::size_t n = codec::trimmedLength(reinterpret_cast<const char*>(f), width);
    std::uint64_t bad = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, f + i, 8);
        std::memcpy(w + i, &word, 8);
        bad |= codec::nonPlainBytes(word);
    }
    if (i < n) {
        if (n >= 8) {
            // The last eight bytes, overlapping the words already copied.
            std::uint64_t word;
            std::memcpy(&word, f + n - 8, 8);
            std::memcpy(w + n - 8, &word, 8);
            bad |= codec::nonPlainBytes(word);
        } else {
            for (; i < n; ++i) {
                const unsigned char c = f[i];
                w[i] = static_cast<char>(c);
                if (c < 0x20 || c > 0x7E || c == '\\')
                    bad = 1;
            }
        }
    }
    plain = bad == 0;
    return n;
}

// "yyyymmdd" as "dd.mm.yyyy" when it is a valid date; nullptr otherwise.
char* copyDate(const unsigned char* p, char* w) {
    for (int i = 0; i < 8; ++i)
        if (!digit(p[i]))
            return nullptr;
    const int year = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    const int month = (p[4] - '0') * 10 + (p[5] - '0');
    const int day = (p[6] - '0') * 10 + (p[7] - '0');
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return nullptr;
    if (day > days[month - 1] &&
        !(month == 2 && day == 29 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)))
        return nullptr;
    std::memcpy(w, p + 6, 2);
    w[2] = '.';
    std::memcpy(w + 3, p + 4, 2);
    w[5] = '.';
    std::memcpy(w + 6, p, 4);
    return w + 10;
}

} // namespace

bool Table::appendDisplayTexts(RecordNo rec, std::string& out, char separator, std::vector<TextSpan>& spans) const {
    const std::size_t n = d->layout.fields.size();
    spans.resize(n);
    const unsigned char* p = d->record(rec);
    if (!p)
        return false;
    const bool nullable = d->layout.nullFlagsDescriptor >= 0;
    // Room for every direct field and separator; a field that is not direct (or whose stored
    // bytes are unusual) is appended through the string and the room is made again after it.
    std::size_t room = d->lineBound;
    std::size_t at = out.size();
    out.resize(at + room);
    char* w = out.data() + at;
    const std::array<unsigned char, 256>* oemTable = d->oem ? &oemToAnsiTable() : nullptr;
    for (std::size_t i = 0; i < n; ++i) {
        const Impl::FieldRef& ref = d->fieldRefs[i];
        room -= ref.bound + 1;
        if (i)
            *w++ = separator;
        TextSpan& span = spans[i];
        span.start = static_cast<std::size_t>(w - out.data());
        span.null = nullable && d->isNullAt(p, *ref.d);
        span.plain = false;
        if (!span.null) {
            const unsigned char* f = p + ref.d->offset;
            const int width = ref.d->width;
            char* done = nullptr;
            switch (ref.direct) {
            case Impl::Direct::Text: {
                const std::size_t len = copyTrimmedText(f, static_cast<std::size_t>(width), w, span.plain);
                if (!span.plain && oemTable && codec::hasHighBytes(w, len))
                    for (std::size_t k = 0; k < len; ++k)
                        w[k] = static_cast<char>((*oemTable)[static_cast<unsigned char>(w[k])]);
                done = w + len;
                break;
            }
            case Impl::Direct::Number:
                done = copyCanonicalNumber(f, width, ref.d->decimals, w);
                break;
            case Impl::Direct::Date:
                done = copyDate(f, w);
                if (!done && codec::trimmedLength(reinterpret_cast<const char*>(f), 8) == 0)
                    done = w; // an empty date
                break;
            case Impl::Direct::Logic:
                switch (f[0]) {
                case 'T':
                case 't':
                case 'Y':
                case 'y':
                    *w = 'T';
                    done = w + 1;
                    break;
                case 'F':
                case 'f':
                case 'N':
                case 'n':
                    *w = 'F';
                    done = w + 1;
                    break;
                default:
                    done = w;
                    break;
                }
                break;
            case Impl::Direct::None:
                break;
            }
            if (done) {
                w = done;
            } else {
                out.resize(static_cast<std::size_t>(w - out.data()));
                d->appendDisplayOf(p, ref, out);
                at = out.size();
                out.resize(at + room);
                w = out.data() + at;
            }
        }
        span.end = static_cast<std::size_t>(w - out.data());
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return true;
}

bool Table::displayTexts(RecordNo rec, RecordTexts& out) const {
    out.text.clear();
    std::vector<TextSpan> spans;
    if (!appendDisplayTexts(rec, out.text, '\t', spans)) {
        out.ends.assign(d->layout.fields.size(), 0);
        out.null.assign(d->layout.fields.size(), 0);
        return false;
    }
    // Drop the separators so that the texts lie end to end.
    std::size_t write = 0;
    out.ends.resize(spans.size());
    out.null.resize(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const std::size_t len = spans[i].end - spans[i].start;
        std::memmove(out.text.data() + write, out.text.data() + spans[i].start, len);
        write += len;
        out.ends[i] = static_cast<std::uint32_t>(write);
        out.null[i] = spans[i].null;
    }
    out.text.resize(write);
    return true;
}

bool Table::isNull(RecordNo rec, int field) const {
    d->checkField(field);
    const unsigned char* p = d->record(rec);
    return p && d->isNullAt(p, d->descriptorOf(field));
}

bool Table::logicalValue(RecordNo rec, int field) const {
    const Value v = value(rec, field);
    const bool* b = std::get_if<bool>(&v);
    return b && *b;
}

bool Table::matchesFilter(RecordNo rec) const {
    const unsigned char* p = d->record(rec);
    return p && (!d->predicate || d->predicate(*this, rec, p));
}

std::int64_t Table::viewCount() {
    if (d->fd >= 0 && d->scanned == 0 && !d->complete)
        d->scanTo(kScanChunk);
    return d->visibleCount;
}

bool Table::viewComplete() const { return d->complete; }

bool Table::advanceView(std::size_t budget) {
    if (d->complete)
        return true;
    const std::uint64_t target = std::min<std::uint64_t>(static_cast<std::uint64_t>(d->scanned) + budget, d->count);
    d->scanTo(static_cast<std::uint32_t>(target));
    return d->complete;
}

RecordNo Table::viewRecord(std::int64_t position) { return d->viewRecord(position); }
std::int64_t Table::viewPosition(RecordNo rec) { return d->viewPosition(rec); }

int Table::addViewListener(std::function<void()> onChanged) {
    const int id = d->nextListener++;
    d->listeners[id] = std::move(onChanged);
    return id;
}

void Table::removeViewListener(int id) { d->listeners.erase(id); }

void Table::first() { d->cursor = 0; }
void Table::next() {
    if (!eof())
        ++d->cursor;
}
bool Table::eof() const { return d->viewRecord(d->cursor) == 0; }
RecordNo Table::recNo() const { return d->viewRecord(d->cursor); }

void Table::gotoRecord(RecordNo rec) {
    if (rec == 0 || d->fd < 0) {
        d->cursor = std::numeric_limits<std::int64_t>::max();
        return;
    }
    // A record that is not in the view leaves the cursor on the next one that is.
    for (RecordNo r = rec; r <= d->count; ++r) {
        const std::int64_t pos = d->viewPosition(r);
        if (pos >= 0) {
            d->cursor = pos;
            return;
        }
    }
    d->cursor = std::numeric_limits<std::int64_t>::max();
}

void Table::disableControls() { ++d->suspended; }
void Table::enableControls() {
    if (d->suspended > 0 && --d->suspended == 0 && d->pendingNotify)
        d->notify();
}

void Table::beginEdit(RecordNo rec) {
    d->requireWritable();
    if (rec == 0 || rec > d->count)
        throw Error("Record " + std::to_string(rec) + " is out of range.");
    // The record as it is in the file now, not as cached: another writer may have changed it.
    std::vector<unsigned char> bytes(d->layout.recordLength);
    {
        RangeLock lock(d->fd, d->recordOffset(rec), d->layout.recordLength, false);
        if (readAt(d->fd, bytes.data(), bytes.size(), d->recordOffset(rec)) != static_cast<long>(bytes.size()))
            throw Error("Unable to read record " + std::to_string(rec) + " of " + d->path);
    }
    d->editBuf = std::move(bytes);
    d->editRec = rec;
    d->editing = true;
    d->pendingMemos.clear();
}

void Table::refresh() {
    if (d->fd < 0)
        return;
    d->invalidateCache();
    unsigned char head[8];
    if (readAt(d->fd, head, sizeof head, 0) != static_cast<long>(sizeof head))
        return;
    DbfLayout probe = d->layout;
    probe.headerRecordCount = d->layout.version == 0x02 ? static_cast<std::uint32_t>(head[1] | (head[2] << 8))
                                                        : static_cast<std::uint32_t>(codec::readLe32(head + 4));
    const std::uint32_t present = recordsPresent(probe, fileSize(d->fd));
    if (present != d->count) {
        d->count = present;
        d->layout.headerRecordCount = probe.headerRecordCount;
        d->resetView();
    }
    d->notify();
}

void Table::setFieldText(int field, std::string_view text) {
    d->checkField(field);
    if (!d->editing)
        throw Error("The table is not being edited.");
    std::vector<unsigned char> saved = d->editBuf;
    try {
        d->encodeText(field, text);
    } catch (...) {
        d->editBuf = std::move(saved);
        throw;
    }
}

void Table::setFieldValue(int field, const Value& value) {
    d->checkField(field);
    if (!d->editing)
        throw Error("The table is not being edited.");
    std::vector<unsigned char> saved = d->editBuf;
    try {
        d->encodeValue(field, value);
    } catch (...) {
        d->editBuf = std::move(saved);
        throw;
    }
}

void Table::post() {
    if (!d->editing)
        return;
    d->requireWritable();
    for (const auto& [desc, memo] : d->pendingMemos) {
        const FieldDescriptor& fdsc = d->layout.descriptors[static_cast<std::size_t>(desc)];
        unsigned char* p = d->editBuf.data() + fdsc.offset;
        if (memo.first.empty()) {
            std::memcpy(p, d->blankRecordBytes.data() + fdsc.offset, static_cast<std::size_t>(fdsc.width));
            continue;
        }
        const std::uint64_t block = d->memo.append(memo.first, memo.second);
        if (fdsc.width == 4) {
            codec::writeLe32(p, static_cast<std::int32_t>(block));
        } else {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%*llu", fdsc.width, static_cast<unsigned long long>(block));
            const std::size_t len = std::strlen(buf);
            if (len > static_cast<std::size_t>(fdsc.width))
                throw Error("The memo file of " + d->path + " is too large for its pointers.");
            std::memcpy(p, buf, len);
        }
    }
    const bool wasVisible = d->predicate && d->visible(d->editRec);
    d->writeRecordBytes(d->editRec, d->editBuf.data());
    d->editing = false;
    d->pendingMemos.clear();
    // An edit can move the record into or out of a filtered view.
    if (d->predicate) {
        const bool nowVisible = d->visible(d->editRec);
        if (nowVisible != wasVisible) {
            d->shiftView(d->editRec, nowVisible ? 1 : -1);
            d->notify();
        }
    }
}

void Table::cancel() {
    d->editing = false;
    d->pendingMemos.clear();
}

bool Table::editing() const { return d->editing; }

RecordNo Table::appendRecord() { return d->append(); }

void Table::deleteRecord(RecordNo rec) {
    d->requireWritable();
    if (rec == 0 || rec > d->count)
        throw Error("Record " + std::to_string(rec) + " is out of range.");
    const bool wasVisible = d->visible(rec);
    {
        RangeLock lock(d->fd, d->recordOffset(rec), 1, true);
        const unsigned char star = '*';
        writeAllAt(d->fd, &star, 1, d->recordOffset(rec), d->path);
    }
    d->invalidateCache();
    d->stampHeaderDate();
    if (d->editing && d->editRec == rec)
        cancel();
    if (wasVisible)
        d->shiftView(rec, -1);
    d->notify();
}

namespace {

// Copies the whole of one file into a fresh temporary file next to target; returns its path.
std::string copyToTemporary(int from, const std::string& target) {
    std::string tmpl = target + ".XXXXXX";
    const int out = ::mkstemp(tmpl.data());
    if (out < 0)
        throw Error(std::string(std::strerror(errno)));
    try {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(out, 0666 & ~mask);
        std::vector<char> buf(1 << 20);
        std::uint64_t at = 0;
        for (;;) {
            const long n = readAt(from, buf.data(), buf.size(), at);
            if (n < 0)
                throw Error(std::string(std::strerror(errno)));
            if (n == 0)
                break;
            writeAllAt(out, buf.data(), static_cast<std::size_t>(n), at, target);
            at += static_cast<std::uint64_t>(n);
        }
        if (::fsync(out) != 0 && errno != EINVAL)
            throw Error(std::string(std::strerror(errno)));
    } catch (...) {
        ::close(out);
        ::unlink(tmpl.c_str());
        throw;
    }
    if (::close(out) != 0) {
        ::unlink(tmpl.c_str());
        throw Error(std::string(std::strerror(errno)));
    }
    return tmpl;
}

bool sameFile(const std::string& a, int fd) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::fstat(fd, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

int Table::copyTo(const std::string& targetPath) {
    if (d->fd < 0)
        return 0;
    if (targetPath.empty())
        throw Error("Unable to copy table: no target file name.");
    std::string memoTarget;
    if (d->memo.isOpen()) {
        const std::string base = baseName(targetPath);
        const std::size_t dot = base.rfind('.');
        const std::string stem = dot == std::string::npos ? targetPath
                                                          : targetPath.substr(0, targetPath.size() - (base.size() - dot));
        std::string ext = d->memo.path().substr(d->memo.path().size() - 4);
        bool upper = false;
        if (dot != std::string::npos) {
            upper = true;
            bool anyLetter = false;
            for (char c : base.substr(dot + 1)) {
                if (c >= 'a' && c <= 'z')
                    upper = false;
                if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                    anyLetter = true;
            }
            upper = upper && anyLetter;
        }
        for (char& c : ext)
            c = upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                      : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        memoTarget = stem + ext;
    }
    if (sameFile(targetPath, d->fd) ||
        (d->memo.isOpen() && !memoTarget.empty() && sameFile(memoTarget, d->memo.descriptor())))
        throw Error("Unable to copy table to " + targetPath + "\nThe target is the open table itself.");
    std::string tmpTable, tmpMemo;
    try {
        RangeLock lock(d->fd, 0, 0, false);
        tmpTable = copyToTemporary(d->fd, targetPath);
        if (!memoTarget.empty())
            tmpMemo = copyToTemporary(d->memo.descriptor(), memoTarget);
        if (!tmpMemo.empty() && ::rename(tmpMemo.c_str(), memoTarget.c_str()) != 0)
            throw Error(std::string(std::strerror(errno)));
        tmpMemo.clear();
        if (::rename(tmpTable.c_str(), targetPath.c_str()) != 0)
            throw Error(std::string(std::strerror(errno)));
        tmpTable.clear();
    } catch (const Error& e) {
        if (!tmpTable.empty())
            ::unlink(tmpTable.c_str());
        if (!tmpMemo.empty())
            ::unlink(tmpMemo.c_str());
        throw Error("Unable to copy table to " + targetPath + "\n" + e.what());
    }
    return 1;
}

} // namespace tabvue::engine
