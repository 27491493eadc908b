#pragma once
#include <array>
#include <string>
#include <string_view>

namespace tabvue::engine {

// A single-byte code page as a 256-entry table built from iconv at first use.
// Bytes the code page does not define map to U+FFFD.
class CodePage {
public:
    explicit CodePage(int number); // throws Error for a code page iconv does not know
    int number() const { return number_; }
    char32_t toUnicode(unsigned char b) const { return toUnicode_[b]; }
    std::string decode(std::string_view bytes) const;   // code page bytes -> UTF-8
    // UTF-8 -> code page bytes; characters the code page lacks become '?' and clear *lossless.
    std::string encode(std::string_view utf8, bool* lossless = nullptr) const;

private:
    int number_;
    std::array<char32_t, 256> toUnicode_{};
};

// Shared, immutable code page objects (cached; thread-safe after first use).
const CodePage& codePage(int number);

// The process-wide ANSI/OEM pair: from TABVUE_ANSI_CODEPAGE / TABVUE_OEM_CODEPAGE when set,
// otherwise from the locale's language (Russian 1251/866, Western European 1252/850,
// otherwise 1252/437).
int ansiCodePage();
int oemCodePage();

// Byte tables between the process-wide OEM and ANSI code pages (unmappable bytes keep their value).
const std::array<unsigned char, 256>& oemToAnsiTable();
const std::array<unsigned char, 256>& ansiToOemTable();

} // namespace tabvue::engine
