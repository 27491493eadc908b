#include "engine/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/error.h"

namespace tabvue::engine {

namespace {

// iconv names to try for a code page number, most specific first.
std::vector<std::string> iconvNames(int number) {
    std::vector<std::string> names;
    const std::string n = std::to_string(number);
    if (number == 874)
        names.push_back("TIS-620");
    if (number >= 28591 && number <= 28606)
        names.push_back("ISO-8859-" + std::to_string(number - 28590));
    names.push_back("CP" + n);
    names.push_back("WINDOWS-" + n);
    names.push_back("IBM" + n);
    return names;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Malformed input yields U+FFFD.
char32_t nextUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80)
        return b0;
    int extra = 0;
    char32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size())
            return 0xFFFD;
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (b & 0x3F);
        ++i;
    }
    return c;
}

int envCodePage(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v)
        return 0;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (*end != '\0' || n <= 0 || n > 65535)
        return 0;
    return static_cast<int>(n);
}

// The locale's language code ("ru", "de", ...), from the usual environment variables.
std::string localeLanguage() {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            std::string s(v);
            return s;
        }
    }
    return "C";
}

struct CodePagePair {
    int ansi;
    int oem;
};

CodePagePair localePair() {
    const std::string loc = localeLanguage();
    const std::string lang = loc.substr(0, loc.find_first_of("_.@"));
    auto is = [&](std::initializer_list<const char*> langs) {
        return std::any_of(langs.begin(), langs.end(), [&](const char* l) { return lang == l; });
    };
    if (is({"ru", "uk", "be", "bg", "mk", "sr"}))
        return {1251, 866};
    if (is({"pl", "cs", "sk", "hu", "sl", "hr", "ro", "sq", "bs"}))
        return {1250, 852};
    if (is({"el"}))
        return {1253, 737};
    if (is({"tr", "az"}))
        return {1254, 857};
    if (is({"he"}))
        return {1255, 862};
    if (is({"ar", "fa", "ur"}))
        return {1256, 720};
    if (is({"lt", "lv", "et"}))
        return {1257, 775};
    if (is({"th"}))
        return {874, 874};
    if (is({"de", "fr", "es", "it", "pt", "nl", "da", "sv", "nb", "nn", "no", "fi", "is", "ca", "gl",
            "eu", "ga", "gd", "cy", "lb", "fo", "af", "oc", "br", "rm", "wa", "fy"}) ||
        loc.rfind("en_GB", 0) == 0)
        return {1252, 850};
    return {1252, 437};
}

std::array<unsigned char, 256> buildTable(const CodePage& from, const CodePage& to) {
    std::map<char32_t, unsigned char> reverse;
    for (int b = 255; b >= 0; --b) {
        const char32_t u = to.toUnicode(static_cast<unsigned char>(b));
        if (u != 0xFFFD)
            reverse[u] = static_cast<unsigned char>(b);
    }
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
        const auto it = reverse.find(from.toUnicode(static_cast<unsigned char>(b)));
        t[b] = it != reverse.end() ? it->second : static_cast<unsigned char>(b);
    }
    return t;
}

} // namespace

CodePage::CodePage(int number) : number_(number) {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    for (const std::string& name : iconvNames(number)) {
        cd = iconv_open("UTF-32LE", name.c_str());
        if (cd != reinterpret_cast<iconv_t>(-1))
            break;
    }
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw Error("Unknown code page " + std::to_string(number));
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[16] = {};
        char* inp = &in;
        std::size_t inLeft = 1;
        char* outp = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        if (r == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof out - outLeft < 4) {
            toUnicode_[b] = 0xFFFD;
        } else {
            toUnicode_[b] = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) |
                                                  (static_cast<std::uint32_t>(out[3]) << 24));
        }
    }
    iconv_close(cd);
}

std::string CodePage::decode(std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes)
        appendUtf8(out, toUnicode_[static_cast<unsigned char>(ch)]);
    return out;
}

std::string CodePage::encode(std::string_view utf8, bool* lossless) const {
    std::map<char32_t, unsigned char> reverse;
    for (int b = 255; b >= 0; --b)
        if (toUnicode_[b] != 0xFFFD)
            reverse[toUnicode_[b]] = static_cast<unsigned char>(b);
    if (lossless)
        *lossless = true;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextUtf8(utf8, i);
        const auto it = reverse.find(c);
        if (it != reverse.end()) {
            out.push_back(static_cast<char>(it->second));
        } else {
            out.push_back('?');
            if (lossless)
                *lossless = false;
        }
    }
    return out;
}

const CodePage& codePage(int number) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePage>> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(number);
    if (it == cache.end())
        it = cache.emplace(number, std::make_unique<CodePage>(number)).first;
    return *it->second;
}

int ansiCodePage() {
    static const int value = [] {
        const int env = envCodePage("TABVUE_ANSI_CODEPAGE");
        return env ? env : localePair().ansi;
    }();
    return value;
}

int oemCodePage() {
    static const int value = [] {
        const int env = envCodePage("TABVUE_OEM_CODEPAGE");
        return env ? env : localePair().oem;
    }();
    return value;
}

const std::array<unsigned char, 256>& oemToAnsiTable() {
    static const std::array<unsigned char, 256> table =
        buildTable(codePage(oemCodePage()), codePage(ansiCodePage()));
    return table;
}

const std::array<unsigned char, 256>& ansiToOemTable() {
    static const std::array<unsigned char, 256> table =
        buildTable(codePage(ansiCodePage()), codePage(oemCodePage()));
    return table;
}

} // namespace tabvue::engine
