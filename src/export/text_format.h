#pragma once
// Small formatters in the manner of the original toolkit, used where a user-editable pattern
// meets a value: the row-number format ("%d"), the export date line ("Created: %s") and the
// date-time patterns that size date and time columns ("dd.MM.yyyy", "h:mm").
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/value.h"

namespace tabvue::exporter {

// Format(pattern, [value]) with one integer argument: "%%" is a percent sign; a directive
// "%[index:][-][width][.precision]type" of type d, u or x (either case) takes the argument.
// Throws Error when a directive does not fit one integer argument (another type, a second
// directive, a stray "%").
std::string formatInteger(std::string_view pattern, std::int64_t value);
// The same with one string argument and the type s.
std::string formatString(std::string_view pattern, std::string_view value);

// FormatDateTime(pattern, moment): d dd ddd dddd ddddd dddddd, m mm mmm mmmm (minutes right after
// an hour), yy yyyy, h hh, n nn, s ss, z zzz, t tt, c, am/pm a/p ampm, "/" and ":" separators,
// quoted literals; letters compare without case. English day and month names; short date
// "dd.mm.yyyy", long date "d mmmm yyyy", short time "h:mm", long time "hh:mm:ss".
std::string formatDateTime(std::string_view pattern, const engine::DateTime& moment);

// The process-wide short date format applied to a date ("dd.mm.yyyy"); empty for the empty date.
std::string shortDateText(const engine::Date& date);
// Short date, a space and the long time ("dd.mm.yyyy hh:mm:ss"); the time is left out at midnight.
std::string dateTimeText(const engine::DateTime& moment);

} // namespace tabvue::exporter
