#include "engine/field_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tabvue::engine::codec {

namespace {

bool blankByte(unsigned char c) { return c == ' ' || c == 0 || c == '*' || c == '\t'; }

// Trims blanks, NULs and '*' padding from both ends.
std::string_view trimmedNumber(const unsigned char* p, int width) {
    int b = 0, e = width;
    while (b < e && blankByte(p[b]))
        ++b;
    while (e > b && blankByte(p[e - 1]))
        --e;
    return {reinterpret_cast<const char*>(p) + b, static_cast<std::size_t>(e - b)};
}

std::string_view trimText(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Parses a plain decimal "[-+]digits[.digits]" (',' also as point, exponent allowed).
bool parseDecimal(std::string_view s, double& value) {
    if (s.empty())
        return false;
    char buf[128];
    if (s.size() >= sizeof buf)
        return false;
    std::size_t n = 0;
    std::size_t i = 0;
    if (s[0] == '+')
        i = 1;
    bool digits = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == ',')
            c = '.';
        if (c >= '0' && c <= '9')
            digits = true;
        buf[n++] = c;
    }
    if (!digits)
        return false;
    const char* end = buf + n;
    const auto r = std::from_chars(buf, end, value);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(value);
}

void appendFixed(double v, int decimals, std::string& out) {
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    if (n > 0)
        out.append(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

void append2(int v, std::string& out) {
    out.push_back(static_cast<char>('0' + (v / 10) % 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int toInt(std::string_view s) {
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}

} // namespace

bool hasHighBytes(const char* p, std::size_t n) {
    std::uint64_t acc = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        acc |= w;
    }
    for (; i < n; ++i)
        acc |= static_cast<unsigned char>(p[i]);
    return (acc & 0x8080808080808080ull) != 0;
}

bool plainText(const char* p, std::size_t n) {
    std::uint64_t bad = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        bad |= nonPlainBytes(w);
    }
    if (bad != 0)
        return false;
    for (; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c < 0x20 || c > 0x7E || c == '\\')
            return false;
    }
    return true;
}

bool parseNumber(const unsigned char* p, int width, double& value) {
    return parseDecimal(trimmedNumber(p, width), value);
}

void appendNumberText(const unsigned char* p, int width, int decimals, std::string& out) {
    // Fast path, one pass: blanks, an optional sign, digits, an optional point and at most
    // `decimals` digits, blanks. Such a number is re-spelled digit by digit, which is exact.
    int i = 0;
    while (i < width && p[i] == ' ')
        ++i;
    bool negative = false;
    if (i < width && (p[i] == '-' || p[i] == '+')) {
        negative = p[i] == '-';
        ++i;
    }
    while (i < width && p[i] == '0' && i + 1 < width && p[i + 1] >= '0' && p[i + 1] <= '9')
        ++i; // leading zeros
    const int intStart = i;
    while (i < width && p[i] >= '0' && p[i] <= '9')
        ++i;
    const int intEnd = i;
    int fracStart = i, fracEnd = i;
    if (i < width && (p[i] == '.' || p[i] == ',')) {
        fracStart = ++i;
        while (i < width && p[i] >= '0' && p[i] <= '9')
            ++i;
        fracEnd = i;
    }
    int tail = i;
    while (tail < width && p[tail] == ' ')
        ++tail;
    const bool digits = intEnd > intStart || fracEnd > fracStart;
    if (tail != width || !digits || fracEnd - fracStart > decimals) {
        const std::string_view s = trimmedNumber(p, width);
        double v;
        if (!s.empty() && parseDecimal(s, v))
            appendFixed(v, decimals, out);
        return;
    }
    if (negative) {
        bool nonZero = false;
        for (int k = intStart; k < fracEnd && !nonZero; ++k)
            nonZero = p[k] >= '1' && p[k] <= '9';
        if (nonZero)
            out.push_back('-');
    }
    const char* c = reinterpret_cast<const char*>(p);
    if (intEnd > intStart)
        out.append(c + intStart, static_cast<std::size_t>(intEnd - intStart));
    else
        out.push_back('0');
    if (decimals > 0) {
        out.push_back('.');
        out.append(c + fracStart, static_cast<std::size_t>(fracEnd - fracStart));
        out.append(static_cast<std::size_t>(decimals - (fracEnd - fracStart)), '0');
    }
}

Date parseDate(const unsigned char* p, int width) {
    std::string_view s(reinterpret_cast<const char*>(p), static_cast<std::size_t>(width));
    while (!s.empty() && (s.back() == ' ' || s.back() == 0))
        s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == 0))
        s.remove_prefix(1);
    if (s.size() != 8 || !allDigits(s))
        return {};
    Date d{toInt(s.substr(0, 4)), toInt(s.substr(4, 2)), toInt(s.substr(6, 2))};
    return validDate(d) ? d : Date{};
}

void appendDateField(const unsigned char* p, int width, std::string& out) {
    // Fast path: eight digits at the start and blanks after them.
    bool fast = width >= 8;
    for (int i = 0; fast && i < 8; ++i)
        fast = p[i] >= '0' && p[i] <= '9';
    for (int i = 8; fast && i < width; ++i)
        fast = p[i] == ' ' || p[i] == 0;
    if (!fast) {
        appendDate(parseDate(p, width), out);
        return;
    }
    const int year = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    const int month = (p[4] - '0') * 10 + (p[5] - '0');
    const int day = (p[6] - '0') * 10 + (p[7] - '0');
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return;
    const char text[10] = {static_cast<char>(p[6]), static_cast<char>(p[7]), '.',
                           static_cast<char>(p[4]), static_cast<char>(p[5]), '.',
                           static_cast<char>(p[0]), static_cast<char>(p[1]),
                           static_cast<char>(p[2]), static_cast<char>(p[3])};
    out.append(text, sizeof text);
}

bool validDate(const Date& d) {
    return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= daysInMonth(d.year, d.month);
}

void appendDate(const Date& d, std::string& out) {
    if (d.empty())
        return;
    const char text[10] = {static_cast<char>('0' + d.day / 10 % 10), static_cast<char>('0' + d.day % 10), '.',
                           static_cast<char>('0' + d.month / 10 % 10), static_cast<char>('0' + d.month % 10), '.',
                           static_cast<char>('0' + d.year / 1000 % 10), static_cast<char>('0' + d.year / 100 % 10),
                           static_cast<char>('0' + d.year / 10 % 10), static_cast<char>('0' + d.year % 10)};
    out.append(text, sizeof text);
}

void appendDateTime(const DateTime& t, std::string& out) {
    if (t.date.empty())
        return;
    appendDate(t.date, out);
    // Stored milliseconds are often a hair off a whole second (08:29:59.999 for 08:30).
    const int secs = std::min((t.millisOfDay + 500) / 1000, 86399);
    out.push_back(' ');
    append2(secs / 3600, out);
    out.push_back(':');
    append2(secs / 60 % 60, out);
    out.push_back(':');
    append2(secs % 60, out);
}

Date dateFromJulianDay(std::int64_t jdn) {
    // Gregorian calendar from the Julian day number (Richards' algorithm).
    if (jdn < 1721426 || jdn > 5373484)
        return {};
    const std::int64_t f = jdn + 1401 + (((4 * jdn + 274277) / 146097) * 3) / 4 - 38;
    const std::int64_t e = 4 * f + 3;
    const std::int64_t g = (e % 1461) / 4;
    const std::int64_t h = 5 * g + 2;
    const int day = static_cast<int>((h % 153) / 5 + 1);
    const int month = static_cast<int>((h / 153 + 2) % 12 + 1);
    const int year = static_cast<int>(e / 1461 - 4716 + (14 - month) / 12);
    return {year, month, day};
}

std::int64_t julianDay(const Date& d) {
    const std::int64_t a = (14 - d.month) / 12;
    const std::int64_t y = d.year + 4800 - a;
    const std::int64_t m = d.month + 12 * a - 3;
    return d.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

std::int32_t readLe32(const unsigned char* p) {
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

std::int64_t readLe64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return static_cast<std::int64_t>(v);
}

double readLeDouble(const unsigned char* p) {
    const std::uint64_t bits = static_cast<std::uint64_t>(readLe64(p));
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

static std::uint64_t readBe64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

static void writeBe64(unsigned char* p, std::uint64_t v) {
    for (int i = 7; i >= 0; --i) {
        p[i] = static_cast<unsigned char>(v);
        v >>= 8;
    }
}

std::int32_t readDbase7Int(const unsigned char* p) {
    const std::uint32_t v = (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    return static_cast<std::int32_t>(v ^ 0x80000000u);
}

double readDbase7Double(const unsigned char* p) {
    std::uint64_t bits = readBe64(p);
    if (bits & 0x8000000000000000ull)
        bits &= ~0x8000000000000000ull;
    else
        bits = ~bits;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double readBeDouble(const unsigned char* p) {
    const std::uint64_t bits = readBe64(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void writeLe32(unsigned char* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(u >> (8 * i));
}

void writeLe64(unsigned char* p, std::int64_t v) {
    const auto u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<unsigned char>(u >> (8 * i));
}

void writeLeDouble(unsigned char* p, double v) {
    std::int64_t bits;
    std::memcpy(&bits, &v, sizeof v);
    writeLe64(p, bits);
}

void writeDbase7Int(unsigned char* p, std::int32_t v) {
    const std::uint32_t u = static_cast<std::uint32_t>(v) ^ 0x80000000u;
    p[0] = static_cast<unsigned char>(u >> 24);
    p[1] = static_cast<unsigned char>(u >> 16);
    p[2] = static_cast<unsigned char>(u >> 8);
    p[3] = static_cast<unsigned char>(u);
}

void writeDbase7Double(unsigned char* p, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof v);
    if (bits & 0x8000000000000000ull)
        bits = ~bits;
    else
        bits |= 0x8000000000000000ull;
    writeBe64(p, bits);
}

void writeBeDouble(unsigned char* p, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof v);
    writeBe64(p, bits);
}

void appendCurrency(std::int64_t scaled, std::string& out) {
    const bool negative = scaled < 0;
    const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(scaled)
                                       : static_cast<std::uint64_t>(scaled);
    if (negative)
        out.push_back('-');
    appendInteger(static_cast<std::int64_t>(mag / 10000), out);
    const unsigned frac = static_cast<unsigned>(mag % 10000);
    out.push_back('.');
    out.push_back(static_cast<char>('0' + frac / 1000));
    out.push_back(static_cast<char>('0' + frac / 100 % 10));
    out.push_back(static_cast<char>('0' + frac / 10 % 10));
    out.push_back(static_cast<char>('0' + frac % 10));
}

void appendShortest(double v, std::string& out) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendInteger(std::int64_t v, std::string& out) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(v < 0 ? 0 - static_cast<std::uint64_t>(v) : v));
    if (v < 0)
        out.push_back('-');
    out.append(buf, r.ptr);
}

bool parseDecimalText(std::string_view text, double& value) {
    return parseDecimal(trimText(text), value);
}

bool formatNumberField(double value, int width, int decimals, std::string& out) {
    if (!std::isfinite(value) || width <= 0)
        return false;
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    if (n <= 0 || n > width || n >= static_cast<int>(sizeof buf))
        return false;
    out.assign(static_cast<std::size_t>(width - n), ' ');
    out.append(buf, static_cast<std::size_t>(n));
    return true;
}

bool formatNumberFieldFromText(std::string_view text, int width, int decimals, std::string& out) {
    const std::string_view t = trimText(text);
    if (t.empty()) {
        out.assign(static_cast<std::size_t>(width), ' ');
        return true;
    }
    double v;
    if (!parseDecimal(t, v))
        return false;
    // A plain decimal is re-spelled exactly; one with more decimals than the field does not fit.
    std::string digits;
    appendNumberText(reinterpret_cast<const unsigned char*>(t.data()), static_cast<int>(t.size()),
                     decimals, digits);
    const std::size_t point = t.find_first_of(".,");
    const bool exponent = t.find_first_of("eE") != std::string_view::npos;
    if (!exponent && point != std::string_view::npos &&
        t.size() - point - 1 > static_cast<std::size_t>(decimals)) {
        // Trailing zeros beyond the field's decimals lose nothing.
        std::string_view extra = t.substr(point + 1 + static_cast<std::size_t>(decimals));
        if (extra.find_first_not_of('0') != std::string_view::npos)
            return false;
        std::string shortened(t.substr(0, point + 1 + static_cast<std::size_t>(decimals)));
        if (decimals == 0)
            shortened.pop_back();
        return formatNumberFieldFromText(shortened, width, decimals, out);
    }
    if (exponent) {
        if (!formatNumberField(v, width, decimals, out))
            return false;
        double back;
        return parseDecimal(trimText(out), back) && back == v;
    }
    if (digits.empty() || digits.size() > static_cast<std::size_t>(width))
        return false;
    out.assign(static_cast<std::size_t>(width) - digits.size(), ' ');
    out += digits;
    return true;
}

bool parseDateText(std::string_view text, Date& date) {
    const std::string_view t = trimText(text);
    if (t.empty()) {
        date = {};
        return true;
    }
    Date d;
    if (t.size() == 10 && (t[2] == '.' || t[2] == '/' || t[2] == '-') && t[5] == t[2] &&
        allDigits(t.substr(0, 2)) && allDigits(t.substr(3, 2)) && allDigits(t.substr(6, 4))) {
        d = {toInt(t.substr(6, 4)), toInt(t.substr(3, 2)), toInt(t.substr(0, 2))};
    } else if (t.size() == 8 && allDigits(t)) {
        d = {toInt(t.substr(0, 4)), toInt(t.substr(4, 2)), toInt(t.substr(6, 2))};
    } else {
        return false;
    }
    if (!validDate(d))
        return false;
    date = d;
    return true;
}

bool parseDateTimeText(std::string_view text, DateTime& value) {
    const std::string_view t = trimText(text);
    if (t.empty()) {
        value = {};
        return true;
    }
    const std::size_t space = t.find(' ');
    Date d;
    if (!parseDateText(t.substr(0, space), d) || d.empty())
        return false;
    int ms = 0;
    if (space != std::string_view::npos) {
        const std::string_view time = trimText(t.substr(space + 1));
        int parts[3] = {0, 0, 0};
        std::size_t start = 0;
        int count = 0;
        while (count < 3) {
            const std::size_t colon = time.find(':', start);
            const std::string_view part = time.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
            if (part.empty() || part.size() > 2 || !allDigits(part))
                return false;
            parts[count++] = toInt(part);
            if (colon == std::string_view::npos)
                break;
            start = colon + 1;
        }
        if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
            return false;
        ms = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000;
    }
    value = {d, ms};
    return true;
}

bool parseCurrencyText(std::string_view text, std::int64_t& scaled) {
    std::string_view t = trimText(text);
    if (t.empty()) {
        scaled = 0;
        return true;
    }
    bool negative = false;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    const std::size_t point = t.find_first_of(".,");
    const std::string_view whole = t.substr(0, point);
    const std::string_view frac = point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
    if ((whole.empty() && frac.empty()) || (!whole.empty() && !allDigits(whole)) ||
        (!frac.empty() && !allDigits(frac)) || frac.size() > 4 || whole.size() > 15)
        return false;
    std::int64_t v = 0;
    for (char c : whole)
        v = v * 10 + (c - '0');
    for (std::size_t k = 0; k < 4; ++k)
        v = v * 10 + (k < frac.size() ? frac[k] - '0' : 0);
    scaled = negative ? -v : v;
    return true;
}

bool parseIntegerText(std::string_view text, std::int64_t& value) {
    std::string_view t = trimText(text);
    if (!t.empty() && t[0] == '+')
        t.remove_prefix(1);
    if (t.empty())
        return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

} // namespace tabvue::engine::codec
