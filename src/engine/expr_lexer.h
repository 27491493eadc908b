#pragma once
// Tokens of the filter expression language.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tabvue::engine::expr {

enum class Tok {
    End,
    Name,   // field, function or keyword (AND OR NOT LIKE TRUE FALSE); keywords are told apart by the parser
    Number,
    Text,   // 'single', "double" or [bracketed]; `text` holds the value
    True,   // .T. .Y.
    False,  // .F. .N.
    And,    // .AND.
    Or,     // .OR.
    Not,    // .NOT. !
    LParen,
    RParen,
    Comma,
    Eq,     // =
    EqEq,   // ==
    Ne,     // <> # !=
    Lt,
    Le,
    Gt,
    Ge,
    Dollar, // $
    Plus,
    Minus,
    Star,
    Slash,
};

struct Token {
    Tok kind = Tok::End;
    std::size_t pos = 0;    // 1-based position of the first character
    std::string_view spelling; // the characters as written
    std::string text;       // Text: the value between the quotes
};

// Splits a whole expression; throws Error("Invalid Query Expression\n...") at a bad character
// or an unterminated text.
std::vector<Token> tokenize(std::string_view source);

// "Invalid Query Expression\n<what> at position <pos>"
[[noreturn]] void fail(const std::string& what, std::size_t pos);

} // namespace tabvue::engine::expr
