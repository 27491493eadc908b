#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/value.h"

namespace tabvue::engine::codec {

// Length of p[0..n) without trailing blanks (spaces and NUL bytes).
inline std::size_t trimmedLength(const char* p, std::size_t n) {
    // Eight bytes at a time: a word is all blanks when no bit but 0x20 is set in any byte.
    while (n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p + n - 8, 8);
        if ((w & 0xDFDFDFDFDFDFDFDFull) != 0)
            break;
        n -= 8;
    }
    while (n > 0 && (static_cast<unsigned char>(p[n - 1]) & 0xDF) == 0)
        --n;
    return n;
}
// Whether any byte of p[0..n) is 0x80 or above.
bool hasHighBytes(const char* p, std::size_t n);
// Whether every byte of p[0..n) is printable ASCII (0x20..0x7E) other than '\\': text that reads
// the same in every code page and that no escaping changes.
bool plainText(const char* p, std::size_t n);
// For eight bytes read as one word: the high bit of each byte that is not plain in that sense
// is set. A byte after one that is not plain may be marked too, so only "none" is exact.
inline std::uint64_t nonPlainBytes(std::uint64_t w) {
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const std::uint64_t below = (w - ones * 0x20) & ~w;         // 0x00..0x1F
    const std::uint64_t above = (w + ones) | w;                 // 0x7F..0xFF
    const std::uint64_t x = w ^ (ones * '\\');
    return (below | above | ((x - ones) & ~x)) & highs;         // '\\'
}

// Numeric text (N, F): leading/trailing blanks, NUL bytes and '*' padding count as blank.
// false when the field is blank or holds no number.
bool parseNumber(const unsigned char* p, int width, double& value);
// Appends the field's number with exactly `decimals` decimals ("." as point); nothing when blank.
void appendNumberText(const unsigned char* p, int width, int decimals, std::string& out);

// D fields: "yyyymmdd" (trailing blanks allowed). Empty or invalid gives the empty date.
Date parseDate(const unsigned char* p, int width);
bool validDate(const Date& d);
void appendDate(const Date& d, std::string& out);           // "dd.mm.yyyy"; nothing when empty
void appendDateField(const unsigned char* p, int width, std::string& out); // parseDate + appendDate
void appendDateTime(const DateTime& t, std::string& out);   // "dd.mm.yyyy hh:mm:ss"

// Julian day numbers (day 2440588 is 1 January 1970).
Date dateFromJulianDay(std::int64_t jdn);
std::int64_t julianDay(const Date& d);

// Binary layouts.
std::int32_t readLe32(const unsigned char* p);
std::int64_t readLe64(const unsigned char* p);
double readLeDouble(const unsigned char* p);
std::int32_t readDbase7Int(const unsigned char* p);  // big-endian, sign bit inverted
double readDbase7Double(const unsigned char* p);     // big-endian, ordered bit pattern
double readBeDouble(const unsigned char* p);
void writeLe32(unsigned char* p, std::int32_t v);
void writeLe64(unsigned char* p, std::int64_t v);
void writeLeDouble(unsigned char* p, double v);
void writeDbase7Int(unsigned char* p, std::int32_t v);
void writeDbase7Double(unsigned char* p, double v);
void writeBeDouble(unsigned char* p, double v);

void appendCurrency(std::int64_t scaled, std::string& out); // four decimals, exact
void appendShortest(double v, std::string& out);            // shortest round-trip text
void appendInteger(std::int64_t v, std::string& out);

// Text the user typed, parsed for storage. Each returns false when the text is not valid.
bool parseDecimalText(std::string_view text, double& value);        // "12.5", "-3", "1,5"
bool formatNumberField(double value, int width, int decimals, std::string& out); // right-aligned
bool formatNumberFieldFromText(std::string_view text, int width, int decimals, std::string& out);
bool parseDateText(std::string_view text, Date& date);              // "dd.mm.yyyy" or "yyyymmdd"
bool parseDateTimeText(std::string_view text, DateTime& value);     // date [hh:mm[:ss]]
bool parseCurrencyText(std::string_view text, std::int64_t& scaled);
bool parseIntegerText(std::string_view text, std::int64_t& value);

} // namespace tabvue::engine::codec
