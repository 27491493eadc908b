#include "engine/filter_rewrite.h"

namespace tabvue::engine {

namespace {

// Replaces every occurrence of `from`, left to right, without searching the replacements again.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (std::size_t hit; (hit = text.find(from, at)) != std::string_view::npos; at = hit + from.size()) {
        out.append(text, at, hit - at);
        out.append(to);
    }
    out.append(text, at, std::string_view::npos);
    return out;
}

std::string_view trimBlanksAndControls(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::size_t countNull(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t at = s.find("NULL"); at != std::string_view::npos; at = s.find("NULL", at + 4))
        ++n;
    return n;
}

} // namespace

std::string rewriteGridFilter(std::string_view gridText) {
    // Dates: '\yy\dd.mm.yyyy\xx\' -> ctod("dd.mm.yyyy").
    std::string text = replaceAll(replaceAll(gridText, "'\\yy\\", "ctod(\""), "\\xx\\'", "\")");

    // Null tests: the condition "(F = NULL)" around each NULL becomes " EMPTY(F)", and
    // "(F <> NULL)" becomes " not  EMPTY(F)".
    //
    // A pass removes the NULL it found unless that NULL stands where no condition holds it
    // (no ")" after it, no "(" before that ")", or a parenthesis inside a value taken for the
    // condition's). Then the rest is left as it is for the expression compiler to judge. A pass
    // can keep the count of NULLs only when the field name itself carries one, and the next pass
    // then empties that name, so the passes are bounded by twice the count.
    std::size_t passesLeft = 2 * countNull(text) + 1;
    for (std::size_t p; passesLeft > 0 && (p = text.find("NULL")) != std::string::npos; --passesLeft) {
        const std::size_t c = text.find(')', p);
        if (c == std::string::npos || c == 0)
            break;
        const std::size_t o = text.rfind('(', c - 1);
        if (o == std::string::npos || o > p)
            break;
        const std::string e = text.substr(o, c - o + 1);

        std::string_view field;
        const std::size_t blank = e.find(' ');
        if (blank != std::string::npos)
            field = trimBlanksAndControls(std::string_view(e).substr(1, blank));
        std::string x;
        if (e.find("<>") != std::string::npos)
            x = " not ";
        x += " EMPTY(";
        x += field;
        x += ")";

        // The first occurrence of the condition is the one at o: an earlier one would hold an
        // earlier NULL.
        text.replace(o, e.size(), x);
    }
    return text;
}

void installFilter(Table& table, const std::string& engineText) {
    if (engineText == table.filter())
        return;
    table.setFiltered(false);
    table.setFilter(engineText);
    table.setFiltered(true);
}

} // namespace tabvue::engine
