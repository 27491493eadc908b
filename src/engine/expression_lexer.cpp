#include "engine/error.h"
#include "engine/expr_lexer.h"

namespace tabvue::engine::expr {

void fail(const std::string& what, std::size_t pos) {
    throw Error("Invalid Query Expression\n" + what + " at position " + std::to_string(pos));
}

namespace {

bool isNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool isNameChar(unsigned char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool equalsUpper(std::string_view s, std::string_view upper) {
    if (s.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        if (c != upper[i])
            return false;
    }
    return true;
}

std::string printable(unsigned char c) {
    if (c >= 0x20 && c < 0x7F)
        return std::string("'") + static_cast<char>(c) + "'";
    static const char hex[] = "0123456789ABCDEF";
    return std::string("0x") + hex[c >> 4] + hex[c & 15];
}

} // namespace

std::vector<Token> tokenize(std::string_view src) {
    std::vector<Token> out;
    const auto* s = reinterpret_cast<const unsigned char*>(src.data());
    const std::size_t n = src.size();
    std::size_t i = 0;
    auto push = [&](Tok kind, std::size_t start, std::size_t len) {
        Token t;
        t.kind = kind;
        t.pos = start + 1;
        t.spelling = src.substr(start, len);
        out.push_back(std::move(t));
    };
    while (i < n) {
        const unsigned char c = s[i];
        const std::size_t start = i;
        if (c <= ' ') {
            ++i;
            continue;
        }
        if (isNameStart(c)) {
            while (i < n && isNameChar(s[i]))
                ++i;
            push(Tok::Name, start, i - start);
            continue;
        }
        if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(s[i + 1]))) {
            while (i < n && isDigit(s[i]))
                ++i;
            // "1.AND." is the number 1 and .AND., not 1. followed by AND.
            const bool wordFollows = i + 1 < n && ((s[i + 1] >= 'A' && s[i + 1] <= 'Z') || (s[i + 1] >= 'a' && s[i + 1] <= 'z'));
            if (i < n && s[i] == '.' && !wordFollows) {
                ++i;
                while (i < n && isDigit(s[i]))
                    ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-'))
                    ++j;
                if (j < n && isDigit(s[j])) {
                    while (j < n && isDigit(s[j]))
                        ++j;
                    i = j;
                }
            }
            if (i < n && isNameStart(s[i]))
                fail("Unexpected character " + printable(s[i]), i + 1);
            push(Tok::Number, start, i - start);
            continue;
        }
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : static_cast<char>(c);
            std::string value;
            ++i;
            for (;;) {
                if (i >= n)
                    fail("Unterminated text", start + 1);
                if (s[i] == static_cast<unsigned char>(close)) {
                    // A doubled quote inside quotes stands for the quote itself.
                    if (c != '[' && i + 1 < n && s[i + 1] == static_cast<unsigned char>(close)) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += static_cast<char>(s[i++]);
            }
            push(Tok::Text, start, i - start);
            out.back().text = std::move(value);
            continue;
        }
        if (c == '.') {
            // .T. .F. .Y. .N. .AND. .OR. .NOT.
            std::size_t j = i + 1;
            while (j < n && j - i <= 4 && ((s[j] >= 'A' && s[j] <= 'Z') || (s[j] >= 'a' && s[j] <= 'z')))
                ++j;
            if (j < n && j > i + 1 && s[j] == '.') {
                std::string_view word = src.substr(i + 1, j - i - 1);
                Tok kind = Tok::End;
                if (equalsUpper(word, "T") || equalsUpper(word, "Y"))
                    kind = Tok::True;
                else if (equalsUpper(word, "F") || equalsUpper(word, "N"))
                    kind = Tok::False;
                else if (equalsUpper(word, "AND"))
                    kind = Tok::And;
                else if (equalsUpper(word, "OR"))
                    kind = Tok::Or;
                else if (equalsUpper(word, "NOT"))
                    kind = Tok::Not;
                if (kind != Tok::End) {
                    i = j + 1;
                    push(kind, start, i - start);
                    continue;
                }
            }
            fail("Unexpected character '.'", start + 1);
        }
        const unsigned char next = i + 1 < n ? s[i + 1] : 0;
        Tok kind;
        std::size_t len = 1;
        switch (c) {
        case '(': kind = Tok::LParen; break;
        case ')': kind = Tok::RParen; break;
        case ',': kind = Tok::Comma; break;
        case '$': kind = Tok::Dollar; break;
        case '+': kind = Tok::Plus; break;
        case '-': kind = Tok::Minus; break;
        case '*': kind = Tok::Star; break;
        case '/': kind = Tok::Slash; break;
        case '#': kind = Tok::Ne; break;
        case '=':
            kind = next == '=' ? Tok::EqEq : Tok::Eq;
            len = next == '=' ? 2 : 1;
            break;
        case '!':
            kind = next == '=' ? Tok::Ne : Tok::Not;
            len = next == '=' ? 2 : 1;
            break;
        case '<':
            if (next == '>') {
                kind = Tok::Ne;
                len = 2;
            } else if (next == '=') {
                kind = Tok::Le;
                len = 2;
            } else {
                kind = Tok::Lt;
            }
            break;
        case '>':
            kind = next == '=' ? Tok::Ge : Tok::Gt;
            len = next == '=' ? 2 : 1;
            break;
        default:
            fail("Unexpected character " + printable(c), start + 1);
        }
        i += len;
        push(kind, start, len);
    }
    Token end;
    end.kind = Tok::End;
    end.pos = n + 1;
    out.push_back(std::move(end));
    return out;
}

} // namespace tabvue::engine::expr
