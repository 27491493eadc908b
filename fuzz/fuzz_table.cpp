// libFuzzer target: open a table from arbitrary bytes, read every record, value and memo, settle
// the view, then edit and append. The input is the table file, optionally followed by the
// separator "TABVUEMEMO" and the bytes of its memo file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/table.h"

namespace {

const std::string& workDir() {
    static const std::string dir = [] {
        char tmpl[] = "/dev/shm/tabvue-fuzz-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        if (!d)
            std::abort();
        ::setenv("TABVUE_ANSI_CODEPAGE", "1252", 0);
        ::setenv("TABVUE_OEM_CODEPAGE", "437", 0);
        return std::string(d);
    }();
    return dir;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabvue::engine;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t sep = input.find("TABVUEMEMO");
    const std::string_view table = input.substr(0, sep);
    const std::string_view memo = sep == std::string_view::npos ? std::string_view() : input.substr(sep + 10);
    const std::string& dir = workDir();
    writeFile(dir + "/t.dbf", table);
    writeFile(dir + "/t.dbt", memo);
    writeFile(dir + "/t.fpt", memo);

    Table t;
    try {
        t.open(dir, "t.dbf");
    } catch (const tabvue::Error&) {
        return 0;
    }
    const RecordNo limit = std::min<RecordNo>(t.recCount(), 300);
    std::string raw;
    RecordTexts texts;
    for (int pass = 0; pass < 2; ++pass) {
        t.setOemTranslate(pass == 1);
        for (RecordNo r = 1; r <= limit; ++r) {
            t.readRecord(r, raw);
            t.isDeleted(r);
            t.displayTexts(r, texts);
            for (int f = 0; f < static_cast<int>(t.fields().size()); ++f) {
                (void)t.value(r, f);
                (void)t.displayText(r, f);
                (void)t.isNull(r, f);
                (void)t.memoText(r, f);
            }
        }
    }
    while (!t.advanceView(4096)) {
    }
    for (t.first(); !t.eof() && t.recNo() <= limit; t.next()) {
    }

    // Write paths: every field set to its own display text, then an append and a delete.
    if (t.recCount() > 0 && t.recCount() < 10000) {
        try {
            t.beginEdit(1);
            for (int f = 0; f < static_cast<int>(t.fields().size()); ++f) {
                try {
                    t.setFieldText(f, t.displayText(1, f));
                } catch (const tabvue::Error&) {
                }
            }
            t.post();
            const RecordNo added = t.appendRecord();
            (void)t.displayTexts(added, texts);
            t.deleteRecord(added);
        } catch (const tabvue::Error&) {
        }
    }
    return 0;
}
