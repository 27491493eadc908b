#include <charconv>
#include <clocale>
#include <cstdio>
#include <cmath>
#include <cwctype>
#include <locale.h>
#include <unordered_map>

#include "engine/codepage.h"
#include "engine/expr_text.h"

namespace tabvue::engine::expr {

CaseTables asciiCaseTables() {
    CaseTables t;
    for (int b = 0; b < 256; ++b) {
        t.upper[b] = static_cast<unsigned char>(b >= 'a' && b <= 'z' ? b - 32 : b);
        t.lower[b] = static_cast<unsigned char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
    }
    return t;
}

namespace {

CaseTables buildAnsiCaseTables() {
    CaseTables t = asciiCaseTables();
    // Unicode case mapping comes from the C library's locale-independent C.UTF-8 data.
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!utf8)
        return t;
    try {
        const CodePage& cp = codePage(ansiCodePage());
        std::unordered_map<char32_t, unsigned char> byteOf;
        for (int b = 255; b >= 0; --b) {
            char32_t u = cp.toUnicode(static_cast<unsigned char>(b));
            if (u != 0xFFFD)
                byteOf[u] = static_cast<unsigned char>(b);
        }
        for (int b = 128; b < 256; ++b) {
            char32_t u = cp.toUnicode(static_cast<unsigned char>(b));
            if (u == 0xFFFD)
                continue;
            auto up = static_cast<char32_t>(towupper_l(static_cast<wint_t>(u), utf8));
            auto lo = static_cast<char32_t>(towlower_l(static_cast<wint_t>(u), utf8));
            if (auto it = byteOf.find(up); up != u && it != byteOf.end())
                t.upper[b] = it->second;
            if (auto it = byteOf.find(lo); lo != u && it != byteOf.end())
                t.lower[b] = it->second;
        }
    } catch (...) {
        // No ANSI code page: ASCII letters only.
    }
    freelocale(utf8);
    return t;
}

} // namespace

const CaseTables& ansiCaseTables() {
    static const CaseTables tables = buildAnsiCaseTables();
    return tables;
}

std::int32_t dayNumber(int y, int m, int d) {
    const Date date{y, m, d};
    if (y < 1 || y > 9999 || !codec::validDate(date))
        return kEmptyDate;
    return static_cast<std::int32_t>(codec::julianDay(date));
}

void civilDate(std::int32_t dayNo, int& year, int& month, int& day) {
    const Date date = dayNo == kEmptyDate ? Date{} : codec::dateFromJulianDay(dayNo);
    year = date.year;
    month = date.month;
    day = date.day;
}

bool validDayNumber(double dayNo) {
    static const std::int32_t first = dayNumber(1, 1, 1);
    static const std::int32_t last = dayNumber(9999, 12, 31);
    return dayNo >= first && dayNo <= last;
}

namespace {

void append2(std::string& out, int v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

void append4(std::string& out, int v) {
    append2(out, v / 100);
    append2(out, v % 100);
}

} // namespace

std::int32_t parseDtos(const unsigned char* p, std::size_t n) {
    const Date d = codec::parseDate(p, static_cast<int>(std::min<std::size_t>(n, 64)));
    return d.empty() ? kEmptyDate : dayNumber(d.year, d.month, d.day);
}

std::int32_t parseCtod(std::string_view text) {
    text = trimRight(trimLeft(text));
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    int parts[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        std::size_t start = i;
        while (i < n && p[i] >= '0' && p[i] <= '9' && i - start < 4)
            parts[k] = parts[k] * 10 + (p[i++] - '0');
        std::size_t len = i - start;
        if (k < 2) {
            if (len < 1 || len > 2 || i >= n || (p[i] != '.' && p[i] != '/' && p[i] != '-'))
                return kEmptyDate;
            if (k == 1 && p[i] != p[start - 1])
                return kEmptyDate;
            ++i;
        } else if (len != 4 || i != n) {
            return kEmptyDate;
        }
    }
    return dayNumber(parts[2], parts[1], parts[0]);
}

void appendDtoc(std::string& out, std::int32_t dayNo) {
    if (dayNo == kEmptyDate) {
        out += "  .  .    ";
        return;
    }
    int y, m, d;
    civilDate(dayNo, y, m, d);
    append2(out, d);
    out += '.';
    append2(out, m);
    out += '.';
    append4(out, y);
}

void appendDtos(std::string& out, std::int32_t dayNo) {
    if (dayNo == kEmptyDate) {
        out += "        ";
        return;
    }
    int y, m, d;
    civilDate(dayNo, y, m, d);
    append4(out, y);
    append2(out, m);
    append2(out, d);
}

namespace {

// exp within -22..22, where every power of ten is an exact double.
double scaleByPowerOf10(double v, int exp) {
    static const double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return exp >= 0 ? v * exact[exp] : v / exact[-exp];
}

} // namespace

double parseNumber(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n && (p[i] == ' ' || p[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == '-' || p[i] == '+'))
        negative = p[i++] == '-';
    const std::size_t start = i;
    std::uint64_t mantissa = 0;
    int scale = 0; // power of ten applied to the mantissa
    bool anyDigit = false, exact = true;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
        anyDigit = true;
        if (mantissa < 100000000000000ULL)
            mantissa = mantissa * 10 + (p[i] - '0');
        else
            exact = false;
    }
    if (i < n && p[i] == '.') {
        for (++i; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
            anyDigit = true;
            if (mantissa < 100000000000000ULL) {
                mantissa = mantissa * 10 + (p[i] - '0');
                --scale;
            } else {
                exact = false;
            }
        }
    }
    if (!anyDigit)
        return 0.0;
    if (i + 1 < n && (p[i] == 'e' || p[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (p[j] == '-' || p[j] == '+')
            expNegative = p[j++] == '-';
        int exp = 0;
        bool expDigit = false;
        for (; j < n && p[j] >= '0' && p[j] <= '9'; ++j) {
            expDigit = true;
            if (exp < 100000)
                exp = exp * 10 + (p[j] - '0');
        }
        if (expDigit) {
            scale += expNegative ? -exp : exp;
            i = j;
        }
    }
    double v;
    if (exact && scale >= -22 && scale <= 22) {
        // Up to 15 digits and an exact power of ten: one correctly rounded operation, so a
        // field's "500.50" and a literal 500.50 give the same double.
        v = scaleByPowerOf10(static_cast<double>(mantissa), scale);
    } else {
        v = 0.0;
        const char* first = reinterpret_cast<const char*>(p + start);
        auto r = std::from_chars(first, reinterpret_cast<const char*>(p + i), v);
        if (r.ec == std::errc::result_out_of_range)
            v = scale > 0 ? HUGE_VAL : 0.0;
    }
    return negative ? -v : v;
}

void appendStr(std::string& out, double value, int width, int decimals) {
    if (width < 1)
        width = 1;
    if (width > 255)
        width = 255;
    if (decimals < 0)
        decimals = 0;
    if (decimals > 15)
        decimals = 15;
    if (decimals > 0 && decimals + 2 > width)
        decimals = width > 2 ? width - 2 : 0;
    char buf[400];
    int len = -1;
    if (std::isfinite(value) && std::fabs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0.0; // no "-0"
    if (std::isfinite(value) && std::fabs(value) < 1e250)
        len = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    if (len < 0 || len > width) {
        out.append(static_cast<std::size_t>(width), '*');
        return;
    }
    out.append(static_cast<std::size_t>(width - len), ' ');
    out.append(buf, static_cast<std::size_t>(len));
}

bool likeMatch(std::string_view text, std::string_view pattern, const unsigned char* fold) {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.data());
    const std::size_t n = text.size(), m = pattern.size();
    std::size_t ti = 0, pi = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (ti < n) {
        if (pi < m && p[pi] == '%') {
            starP = pi++;
            starT = ti;
        } else if (pi < m && (p[pi] == '_' || p[pi] == fold[t[ti]])) {
            ++ti;
            ++pi;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < m && p[pi] == '%')
        ++pi;
    return pi == m;
}

void LikePattern::assign(std::string_view pattern, const unsigned char* fold) {
    pattern = trimRight(pattern);
    folded_.resize(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i)
        folded_[i] = static_cast<char>(fold[static_cast<unsigned char>(pattern[i])]);
    const std::size_t wild = folded_.find_first_of("%_");
    if (wild == std::string::npos)
        shape_ = Shape::Exact;
    else if (wild + 1 == folded_.size() && folded_[wild] == '%')
        shape_ = Shape::Prefix;
    else
        shape_ = Shape::General;
    // A prefix that does not end in a blank matches the padded text exactly when it matches the
    // trimmed one.
    needsTrim_ = !(shape_ == Shape::Prefix && wild > 0 && folded_[wild - 1] != ' ' && folded_[wild - 1] != '\0');
}

bool LikePattern::matches(std::string_view text, const unsigned char* fold) const {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(folded_.data());
    switch (shape_) {
    case Shape::Exact:
    case Shape::Prefix: {
        const std::size_t n = shape_ == Shape::Exact ? folded_.size() : folded_.size() - 1;
        if (shape_ == Shape::Exact ? text.size() != n : text.size() < n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if (fold[t[i]] != p[i])
                return false;
        return true;
    }
    case Shape::General:
        break;
    }
    return likeMatch(text, folded_, fold);
}

} // namespace tabvue::engine::expr
