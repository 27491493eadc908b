#pragma once
#include <string_view>

#include "engine/table.h"

namespace tabvue::engine {

// Compiles a condition of the filter expression language against a table's fields.
// Throws Error("Invalid Query Expression\n<what is wrong and where>") when the text is not one;
// an empty or blank text gives an empty predicate (no restriction).
//
// The language, in brief (keywords, field and function names in any letter case):
//   operands   field names (as the dataset names them), numbers, 'text', "text", [text],
//              .T. .F. .Y. .N. True False
//   logic      AND OR NOT, .AND. .OR. .NOT. !
//   compare    = == <> # != < <= > >=, $ (contained in), LIKE and NOT LIKE with % and _
//   arithmetic + - * / on numbers (x/0 is 0), + and - on text, date + days, date - date
//   functions  UPPER LOWER TRIM RTRIM LTRIM ALLTRIM SUBSTR LEFT RIGHT LEN AT VAL STR DTOC DTOS
//              STOD CTOD YEAR MONTH DAY DATE EMPTY DELETED RECNO IIF ABS INT ROUND BETWEEN
//              INLIST; a function name may be cut to four or more letters when no other
//              function starts with them (SUBS, ALLT)
// Text comparisons ignore trailing blanks and are case-sensitive; < and > compare bytes. LIKE
// matches the whole text, ignoring letter case of the ANSI code page. A blank number is 0, a
// blank date the empty date (before every date), a logical without value false, a null value
// the blank value of its type. CTOD reads day.month.year with a four-digit year; anything else
// is the empty date. Text literals are in the dataset's encoding: field text is translated
// OEM->ANSI before comparing while the table translates.
//
// The predicate reads the record's bytes in place and is evaluated by one thread at a time.
RecordPredicate compileFilter(std::string_view text, const Table& table);

} // namespace tabvue::engine
