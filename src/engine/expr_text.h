#pragma once
// Value helpers of the filter expression language: case tables, numbers and dates read from
// record bytes, LIKE matching. All of them work on bytes in place and never allocate.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/field_codec.h"

namespace tabvue::engine::expr {

// Upper- and lower-case mappings of a single-byte code page (bytes without a case map to themselves).
struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
};

CaseTables asciiCaseTables();
// The letters of the process-wide ANSI code page (built once, then shared).
const CaseTables& ansiCaseTables();

// Dates are day numbers of the Julian day count; 0 is the empty date, which sorts first.
constexpr std::int32_t kEmptyDate = 0;
constexpr std::int64_t kMillisPerDay = 86400000;
std::int32_t dayNumber(int year, int month, int day); // 0 unless a valid date in years 1..9999

// dayNumber() for the record scan, inlined: the same day count as codec::julianDay.
inline std::int32_t dayNumberInline(int y, int m, int d) {
    static constexpr unsigned char monthDays[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > monthDays[m] ||
        (m == 2 && d == 29 && !((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)))
        return kEmptyDate;
    const int a = (14 - m) / 12;
    const int yy = y + 4800 - a;
    const int mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}
void civilDate(std::int32_t dayNo, int& year, int& month, int& day); // kEmptyDate gives 0/0/0
bool validDayNumber(double dayNo); // within years 1..9999

// "yyyymmdd" as a date field stores it; blanks, zeros or an invalid date give the empty date.
std::int32_t parseDtos(const unsigned char* p, std::size_t n);
// "dd.mm.yyyy" (also with "/" or "-"), four-digit year; anything else gives the empty date.
std::int32_t parseCtod(std::string_view text);
void appendDtoc(std::string& out, std::int32_t dayNo); // "dd.mm.yyyy", blanks for the empty date
void appendDtos(std::string& out, std::int32_t dayNo); // "yyyymmdd", blanks for the empty date

// The number at the start of a numeric field or text: leading blanks, sign, digits, a decimal
// point, an exponent. Blank text or text without digits is 0.
double parseNumber(const unsigned char* p, std::size_t n);
inline double parseNumber(std::string_view s) {
    return parseNumber(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// xBase STR(): the number rounded to `decimals`, right-aligned in `width` characters,
// or `width` asterisks when it does not fit.
void appendStr(std::string& out, double value, int width, int decimals);

// Trailing blanks, and the NUL bytes some writers pad fields with, are padding.
inline std::string_view trimRight(std::string_view s) { return s.substr(0, codec::trimmedLength(s.data(), s.size())); }
inline std::string_view trimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.substr(i);
}

// Whole-text match of `pattern` ("%" any run, "_" one character); both sides are compared after
// mapping every byte through `fold`. The pattern must already be folded.
bool likeMatch(std::string_view text, std::string_view foldedPattern, const unsigned char* fold);

// A LIKE pattern prepared once: patterns without wildcards and patterns whose only wildcard is
// a final "%" (the common "Par%") are compared directly.
class LikePattern {
public:
    void assign(std::string_view pattern, const unsigned char* fold); // folds and trims the pattern
    // `text` without trailing blanks; every text byte is looked up in `fold` before comparing.
    bool matches(std::string_view text, const unsigned char* fold) const;
    // False when matching the text with its trailing blanks gives the same answer ("Par%").
    bool needsTrimmedText() const { return needsTrim_; }

private:
    bool needsTrim_ = true;
    enum class Shape { Exact, Prefix, General } shape_ = Shape::Exact;
    std::string folded_;
};

} // namespace tabvue::engine::expr
