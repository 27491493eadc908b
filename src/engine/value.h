#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tabvue::engine {

// A calendar date; {0,0,0} is the empty date, which sorts before every real date.
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    bool empty() const { return year == 0 && month == 0 && day == 0; }
    friend auto operator<=>(const Date&, const Date&) = default;
};

struct DateTime {
    Date date;
    int millisOfDay = 0;
    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// Exact currency amount in units of 1/10000.
struct Currency {
    std::int64_t scaled = 0;
    friend auto operator<=>(const Currency&, const Currency&) = default;
};

using Bytes = std::vector<unsigned char>;

// One field value. std::monostate is null (only a Visual FoxPro null flag makes a value null);
// a logical without value is std::monostate as well and reads as false where a truth value is needed.
using Value = std::variant<std::monostate, std::string, std::int64_t, double, Currency, Date, DateTime, bool, Bytes>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

} // namespace tabvue::engine
