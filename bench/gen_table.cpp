// Writes the deterministic dBase III tables the benchmarks run on.
//
//   gen_table OUT.dbf RECORDS [--deleted PER_MILLE] [--seed N]
//
// Fields: ID N(10), NAME C(30), CITY C(20), AMOUNT N(12,2), BDATE D, ACTIVE L, NOTE C(60);
// 142-byte records. The same seed and record count always give the same bytes, and a smaller
// table is a prefix of a larger one, and a variant with deleted records differs only in the flags.
// Depends on nothing but the standard library so it builds before anything else does.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Rng {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    template <class T, std::size_t N> const T& pick(const std::array<T, N>& a) { return a[below(N)]; }
};

struct FieldSpec {
    const char* name;
    char type;
    int width;
    int decimals;
};

constexpr std::array<FieldSpec, 7> kFields{{
    {"ID", 'N', 10, 0},
    {"NAME", 'C', 30, 0},
    {"CITY", 'C', 20, 0},
    {"AMOUNT", 'N', 12, 2},
    {"BDATE", 'D', 8, 0},
    {"ACTIVE", 'L', 1, 0},
    {"NOTE", 'C', 60, 0},
}};
constexpr int kRecordLength = 142;
constexpr int kHeaderLength = 32 + 32 * static_cast<int>(kFields.size()) + 1;

// Some names carry code page 850 letters (0x81 u-umlaut, 0x94 o-umlaut, 0x82 e-acute, 0xA4 n-tilde)
// as DOS-era tables do.
constexpr std::array<std::string_view, 24> kFirst{
    "John", "Mary", "Peter", "Anna", "James", "Linda", "Robert", "Susan", "Michael", "Karen",
    "William", "Nancy", "David", "Lisa", "Richard", "Betty", "Joseph", "Helen", "Thomas", "Sandra",
    "J\x81rgen", "Ren\x82", "Bj\x94rn", "Nu\xA4o"};
constexpr std::array<std::string_view, 24> kLast{
    "Smith", "Johnson", "Williams", "Brown", "Jones", "Miller", "Davis", "Garcia", "Wilson", "Moore",
    "Taylor", "Anderson", "Thomas", "Jackson", "White", "Harris", "Martin", "Thompson", "Robinson",
    "Clark", "M\x81ller", "Schr\x94" "der", "Lef\x82vre", "Pe\xA4" "a"};
// About one city in eight starts with "Par".
constexpr std::array<std::string_view, 40> kCities{
    "Paris", "London", "Berlin", "Madrid", "Rome", "Vienna", "Prague", "Warsaw", "Lisbon", "Dublin",
    "Parma", "Oslo", "Stockholm", "Helsinki", "Copenhagen", "Brussels", "Amsterdam", "Zurich", "Geneva",
    "Milan", "Paramaribo", "Munich", "Hamburg", "Lyon", "Marseille", "Porto", "Seville", "Krakow",
    "Budapest", "Athens", "Parla", "New York", "Chicago", "Boston", "Denver", "Seattle", "Toronto",
    "Montreal", "Parkersburg", "Sydney"};
constexpr std::array<std::string_view, 30> kWords{
    "call", "back", "customer", "prefers", "email", "invoice", "sent", "paid", "late", "discount",
    "order", "pending", "review", "contract", "renewed", "visit", "next", "week", "address",
    "changed", "VIP", "account", "closed", "reopened", "follow-up", "phone", "left", "message",
    "urgent", "shipped"};
constexpr std::array<std::string_view, 6> kSpecialNotes{
    "Called, left message", "Prefers \"email\" over phone", "Back-order; ships in 2 weeks",
    "Paid 50% up front", "See file C:\\CUST\\NOTES.TXT", "Moved to Par\x82 street"};

void put(char* field, int width, std::string_view text) {
    const std::size_t n = text.size() < static_cast<std::size_t>(width) ? text.size() : width;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, ' ', width - n);
}

void putRight(char* field, int width, const char* text) {
    const int n = static_cast<int>(std::strlen(text));
    std::memset(field, ' ', width);
    std::memcpy(field + (width - n), text, n);
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

void makeRecord(Rng& rng, std::uint32_t id, unsigned deletedPerMille, char* rec) {
    char* p = rec;
    const bool deleted = rng.below(1000) < deletedPerMille; // drawn always: variants share values
    *p++ = deleted ? '*' : ' ';
    char buf[64];

    std::snprintf(buf, sizeof buf, "%u", id);
    putRight(p, 10, buf);
    p += 10;

    std::string name;
    const unsigned form = rng.below(100);
    if (form < 3) {
        name = rng.pick(kLast); // a bare surname, as legacy data often has
    } else {
        name.append(rng.pick(kFirst)).append(" ");
        if (form < 15)
            name.append(1, static_cast<char>('A' + rng.below(26))).append(". ");
        name.append(rng.pick(kLast));
    }
    put(p, 30, name);
    p += 30;

    put(p, 20, rng.pick(kCities));
    p += 20;

    const unsigned cents = rng.below(100001); // 0.00 .. 1000.00
    std::snprintf(buf, sizeof buf, "%u.%02u", cents / 100, cents % 100);
    putRight(p, 12, buf);
    p += 12;

    if (rng.below(100) < 3) {
        std::memset(p, ' ', 8);
    } else {
        static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const int year = 1940 + static_cast<int>(rng.below(70));
        const int month = 1 + static_cast<int>(rng.below(12));
        const int days = kDays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
        const int day = 1 + static_cast<int>(rng.below(days));
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
        std::memcpy(p, buf, 8);
    }
    p += 8;

    const unsigned active = rng.below(100);
    *p++ = active < 60 ? 'T' : active < 95 ? 'F' : active < 98 ? '?' : ' ';

    std::string note;
    const unsigned kind = rng.below(100);
    if (kind < 30) {
        // empty
    } else if (kind < 34) {
        note = rng.pick(kSpecialNotes);
    } else {
        const unsigned words = 2 + rng.below(9);
        for (unsigned w = 0; w < words; ++w) {
            const std::string_view word = rng.pick(kWords);
            if (note.size() + word.size() + 1 > 60)
                break;
            if (!note.empty())
                note += ' ';
            note.append(word);
        }
        note[0] = static_cast<char>(note[0] >= 'a' && note[0] <= 'z' ? note[0] - 32 : note[0]);
    }
    put(p, 60, note);
}

void writeHeader(std::FILE* f, std::uint32_t records) {
    std::vector<unsigned char> h(kHeaderLength, 0);
    h[0] = 0x03;
    h[1] = 126; // last update 2026-01-01, fixed so the output is deterministic
    h[2] = 1;
    h[3] = 1;
    for (int i = 0; i < 4; ++i)
        h[4 + i] = static_cast<unsigned char>(records >> (8 * i));
    h[8] = kHeaderLength & 0xFF;
    h[9] = kHeaderLength >> 8;
    h[10] = kRecordLength & 0xFF;
    h[11] = kRecordLength >> 8;
    int offset = 1;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        unsigned char* d = h.data() + 32 + 32 * i;
        std::memcpy(d, kFields[i].name, std::strlen(kFields[i].name));
        d[11] = static_cast<unsigned char>(kFields[i].type);
        d[16] = static_cast<unsigned char>(kFields[i].width);
        d[17] = static_cast<unsigned char>(kFields[i].decimals);
        offset += kFields[i].width;
    }
    h[kHeaderLength - 1] = 0x0D;
    if (offset != kRecordLength) {
        std::fprintf(stderr, "gen_table: field widths do not add up to the record length\n");
        std::exit(2);
    }
    std::fwrite(h.data(), 1, h.size(), f);
}

[[noreturn]] void usage() {
    std::fputs("usage: gen_table OUT.dbf RECORDS [--deleted PER_MILLE] [--seed N]\n", stderr);
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        usage();
    const char* out = argv[1];
    char* end = nullptr;
    const unsigned long records = std::strtoul(argv[2], &end, 10);
    if (*end != '\0' || records == 0 || records > 0xFFFFFFFFul)
        usage();
    unsigned deletedPerMille = 0;
    std::uint64_t seed = 20260101;
    for (int i = 3; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--deleted" && i + 1 < argc)
            deletedPerMille = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else
            usage();
    }
    if (deletedPerMille > 1000)
        usage();

    const std::string tmp = std::string(out) + ".part";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::perror(tmp.c_str());
        return 1;
    }
    writeHeader(f, static_cast<std::uint32_t>(records));
    Rng rng{seed};
    constexpr std::size_t kChunk = 4096;
    std::vector<char> buf(kChunk * kRecordLength);
    for (unsigned long done = 0; done < records;) {
        const std::size_t n = records - done < kChunk ? records - done : kChunk;
        for (std::size_t i = 0; i < n; ++i)
            makeRecord(rng, static_cast<std::uint32_t>(done + i + 1), deletedPerMille,
                       buf.data() + i * kRecordLength);
        std::fwrite(buf.data(), kRecordLength, n, f);
        done += n;
    }
    std::fputc(0x1A, f);
    if (std::fclose(f) != 0 || std::rename(tmp.c_str(), out) != 0) {
        std::perror(out);
        std::remove(tmp.c_str());
        return 1;
    }
    return 0;
}
