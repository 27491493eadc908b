#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/value.h"

namespace tabvue::engine::codec {

// Length of p[0..n) without trailing blanks (spaces and NUL bytes).
std::size_t trimmedLength(const char* p, std::size_t n);
// Whether any byte of p[0..n) is 0x80 or above.
bool hasHighBytes(const char* p, std::size_t n);

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
