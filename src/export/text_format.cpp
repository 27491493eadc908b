#include "export/text_format.h"

#include <array>
#include <cctype>
#include <charconv>
#include <variant>

#include "engine/error.h"

namespace tabvue::exporter {

namespace {

using Argument = std::variant<std::int64_t, std::string_view>;

[[noreturn]] void invalidFormat(std::string_view pattern) {
    throw Error("Format '" + std::string(pattern) + "' invalid or incompatible with argument");
}

void appendPadded(std::string& out, std::string_view text, int width, bool leftJustify) {
    const int pad = width - static_cast<int>(text.size());
    if (pad > 0 && !leftJustify)
        out.append(static_cast<std::size_t>(pad), ' ');
    out += text;
    if (pad > 0 && leftJustify)
        out.append(static_cast<std::size_t>(pad), ' ');
}

std::string format(std::string_view pattern, const Argument& arg) {
    std::string out;
    out.reserve(pattern.size() + 16);
    int nextArg = 0;
    std::size_t i = 0;
    const std::size_t n = pattern.size();
    auto readNumber = [&](int& value) -> bool {
        if (i < n && pattern[i] == '*') {
            // A '*' takes its number from the argument list: only an integer argument fits.
            if (nextArg != 0 || !std::holds_alternative<std::int64_t>(arg))
                invalidFormat(pattern);
            value = static_cast<int>(std::get<std::int64_t>(arg));
            ++nextArg;
            ++i;
            return true;
        }
        if (i >= n || !std::isdigit(static_cast<unsigned char>(pattern[i])))
            return false;
        long long v = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(pattern[i]))) {
            v = v * 10 + (pattern[i] - '0');
            if (v > 100000)
                invalidFormat(pattern);
            ++i;
        }
        value = static_cast<int>(v);
        return true;
    };
    while (i < n) {
        const char ch = pattern[i++];
        if (ch != '%') {
            out += ch;
            continue;
        }
        if (i >= n)
            invalidFormat(pattern);
        if (pattern[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        int number = -1;
        const std::size_t start = i;
        bool haveNumber = readNumber(number);
        if (haveNumber && i < n && pattern[i] == ':') {
            nextArg = number;
            ++i;
            haveNumber = false;
        } else if (haveNumber) {
            i = start; // it was the width
            haveNumber = false;
        }
        bool left = false;
        if (i < n && pattern[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        readNumber(width);
        int precision = -1;
        if (i < n && pattern[i] == '.') {
            ++i;
            precision = 0;
            readNumber(precision);
        }
        if (i >= n)
            invalidFormat(pattern);
        const char type = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i++])));
        if (nextArg != 0)
            invalidFormat(pattern); // only one argument exists
        ++nextArg;
        if (type == 's') {
            if (!std::holds_alternative<std::string_view>(arg))
                invalidFormat(pattern);
            std::string_view s = std::get<std::string_view>(arg);
            if (precision >= 0 && static_cast<std::size_t>(precision) < s.size())
                s = s.substr(0, static_cast<std::size_t>(precision));
            appendPadded(out, s, width, left);
        } else if (type == 'd' || type == 'u' || type == 'x') {
            if (!std::holds_alternative<std::int64_t>(arg))
                invalidFormat(pattern);
            const std::int64_t v = std::get<std::int64_t>(arg);
            std::array<char, 32> buf{};
            std::to_chars_result r;
            bool negative = false;
            if (type == 'd') {
                negative = v < 0;
                const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
                r = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude);
            } else {
                const auto u = static_cast<std::uint32_t>(v);
                r = std::to_chars(buf.data(), buf.data() + buf.size(), u, type == 'x' ? 16 : 10);
                if (type == 'x')
                    for (char* p = buf.data(); p != r.ptr; ++p)
                        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
            }
            std::string digits(buf.data(), r.ptr);
            if (precision > static_cast<int>(digits.size()))
                digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
            if (negative)
                digits.insert(0, 1, '-');
            appendPadded(out, digits, width, left);
        } else {
            invalidFormat(pattern);
        }
    }
    return out;
}

constexpr std::array<std::string_view, 7> shortDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> longDays{"Sunday", "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> shortMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 12> longMonths{"January", "February", "March",     "April",
                                                      "May",     "June",     "July",      "August",
                                                      "September", "October", "November", "December"};

constexpr std::string_view ShortDateFormat = "dd.mm.yyyy";
constexpr std::string_view LongDateFormat = "d mmmm yyyy";
constexpr std::string_view ShortTimeFormat = "h:mm";
constexpr std::string_view LongTimeFormat = "hh:mm:ss";

int dayOfWeek(const engine::Date& d) { // 0 = Sunday
    if (d.month < 1 || d.month > 12)
        return 0;
    static constexpr int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int y = d.year - (d.month < 3 ? 1 : 0);
    int w = (y + y / 4 - y / 100 + y / 400 + t[d.month - 1] + d.day) % 7;
    return w < 0 ? w + 7 : w;
}

void appendNumber(std::string& out, int value, int minDigits) {
    std::array<char, 16> buf{};
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    for (int k = static_cast<int>(r.ptr - buf.data()); k < minDigits; ++k)
        out += '0';
    out.append(buf.data(), r.ptr);
}

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view prefix) {
    if (s.size() - at < prefix.size())
        return false;
    for (std::size_t k = 0; k < prefix.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(s[at + k])) != std::tolower(static_cast<unsigned char>(prefix[k])))
            return false;
    return true;
}

struct DateTimeFormatter {
    const engine::DateTime& m;
    std::string out;
    bool lastWasHour = false;
    int depth = 0;

    int hour() const { return m.millisOfDay / 3600000; }
    int minute() const { return m.millisOfDay / 60000 % 60; }
    int second() const { return m.millisOfDay / 1000 % 60; }
    int milli() const { return m.millisOfDay % 1000; }

    bool hasAmPm(std::string_view p) const {
        for (std::size_t k = 0; k < p.size(); ++k)
            if (startsWithNoCase(p, k, "am/pm") || startsWithNoCase(p, k, "a/p") || startsWithNoCase(p, k, "ampm"))
                return true;
        return false;
    }

    void run(std::string_view p) {
        if (++depth > 4) // the nested standard formats never recurse further
            return;
        const bool twelveHour = hasAmPm(p);
        std::size_t i = 0;
        while (i < p.size()) {
            const char ch = p[i];
            const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            std::size_t count = 1;
            while (i + count < p.size() && std::tolower(static_cast<unsigned char>(p[i + count])) == lc)
                ++count;
            switch (lc) {
            case '"':
            case '\'': {
                std::size_t end = p.find(ch, i + 1);
                if (end == std::string_view::npos)
                    end = p.size();
                out += p.substr(i + 1, end - i - 1);
                i = end < p.size() ? end + 1 : end;
                continue;
            }
            case 'a':
                if (startsWithNoCase(p, i, "am/pm")) {
                    out += hour() < 12 ? (ch == 'a' ? "am" : "AM") : (ch == 'a' ? "pm" : "PM");
                    i += 5;
                } else if (startsWithNoCase(p, i, "a/p")) {
                    out += hour() < 12 ? (ch == 'a' ? "a" : "A") : (ch == 'a' ? "p" : "P");
                    i += 3;
                } else if (startsWithNoCase(p, i, "ampm")) {
                    out += hour() < 12 ? "AM" : "PM";
                    i += 4;
                } else {
                    out += ch;
                    ++i;
                }
                continue;
            case 'c':
                run(ShortDateFormat);
                if (m.millisOfDay != 0) {
                    out += ' ';
                    run(LongTimeFormat);
                }
                i += count;
                lastWasHour = false;
                continue;
            case 'd':
                if (count == 1 || count == 2)
                    appendNumber(out, m.date.day, static_cast<int>(count));
                else if (count == 3)
                    out += shortDays[static_cast<std::size_t>(dayOfWeek(m.date))];
                else if (count == 4)
                    out += longDays[static_cast<std::size_t>(dayOfWeek(m.date))];
                else if (count == 5)
                    run(ShortDateFormat);
                else
                    run(LongDateFormat);
                i += count;
                lastWasHour = false;
                continue;
            case 'm':
                if (lastWasHour && count <= 2) {
                    appendNumber(out, minute(), static_cast<int>(count));
                } else if (count <= 2) {
                    appendNumber(out, m.date.month, static_cast<int>(count));
                } else if (m.date.month >= 1 && m.date.month <= 12) {
                    out += count == 3 ? shortMonths[static_cast<std::size_t>(m.date.month - 1)]
                                      : longMonths[static_cast<std::size_t>(m.date.month - 1)];
                }
                i += count;
                lastWasHour = false;
                continue;
            case 'y':
                if (count <= 2)
                    appendNumber(out, m.date.year % 100, 2);
                else
                    appendNumber(out, m.date.year, 4);
                i += count;
                lastWasHour = false;
                continue;
            case 'h': {
                int h = hour();
                if (twelveHour) {
                    h %= 12;
                    if (h == 0)
                        h = 12;
                }
                appendNumber(out, h, count >= 2 ? 2 : 1);
                i += count;
                lastWasHour = true;
                continue;
            }
            case 'n':
                appendNumber(out, minute(), count >= 2 ? 2 : 1);
                i += count;
                lastWasHour = false;
                continue;
            case 's':
                appendNumber(out, second(), count >= 2 ? 2 : 1);
                i += count;
                lastWasHour = false;
                continue;
            case 'z':
                appendNumber(out, milli(), count >= 3 ? 3 : 1);
                i += count;
                lastWasHour = false;
                continue;
            case 't':
                run(count >= 2 ? LongTimeFormat : ShortTimeFormat);
                i += count;
                lastWasHour = false;
                continue;
            case '/':
                out += '.';
                ++i;
                continue;
            default:
                out += ch;
                ++i;
                continue;
            }
        }
        --depth;
    }
};

} // namespace

std::string formatInteger(std::string_view pattern, std::int64_t value) { return format(pattern, Argument{value}); }

std::string formatString(std::string_view pattern, std::string_view value) { return format(pattern, Argument{value}); }

std::string formatDateTime(std::string_view pattern, const engine::DateTime& moment) {
    DateTimeFormatter f{moment, {}};
    f.run(pattern);
    return std::move(f.out);
}

std::string shortDateText(const engine::Date& date) {
    if (date.empty())
        return {};
    return formatDateTime(ShortDateFormat, engine::DateTime{date, 0});
}

std::string dateTimeText(const engine::DateTime& moment) {
    std::string s = formatDateTime(ShortDateFormat, moment);
    if (moment.millisOfDay != 0) {
        s += ' ';
        s += formatDateTime(LongTimeFormat, moment);
    }
    return s;
}

} // namespace tabvue::exporter
