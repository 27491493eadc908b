#pragma once
// LibreOffice as a reader of what the writers produce: converts a file headless and returns the
// converted bytes. Tests skip when soffice is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/codepage.h"
#include "export/fake_export.h"

namespace tabvue::exporter::testing {

inline bool officeAvailable() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// Converts `path` into `outDir` with `--convert-to target` (and `--infilter` when given) and
// returns the converted file, or nullopt when the conversion produced nothing. LibreOffice runs
// with a profile of its own, so it never meets another running instance, and in the C locale, so
// that it reads 8-bit text as a single-byte code page, as the files are written.
inline std::optional<std::string> officeConvert(const std::string& path, const std::string& target,
                                                const std::string& outExtension, const std::string& infilter = {}) {
    static TempDir profile;
    namespace fs = std::filesystem;
    const fs::path in(path);
    const fs::path outDir = in.parent_path() / "converted";
    std::string cmd = "LC_ALL=C LANG=C timeout 180 soffice -env:UserInstallation=file://" + profile.path() + "/" +
                      " --headless --norestore";
    if (!infilter.empty())
        cmd += " '--infilter=" + infilter + "'";
    cmd += " --convert-to '" + target + "' --outdir '" + outDir.string() + "' '" + path + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return std::nullopt;
    const fs::path out = outDir / (in.stem().string() + "." + outExtension);
    if (!fs::exists(out))
        return std::nullopt;
    return readFile(out.string());
}

} // namespace tabvue::exporter::testing

namespace tabvue::exporter::testing {

// The rows of a CSV text written by LibreOffice (comma, double quote, doubled quotes inside).
inline std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = any = true;
        } else if (ch == ',') {
            row.push_back(field);
            field.clear();
            any = true;
        } else if (ch == '\n' || ch == '\r') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            any = false;
        } else {
            field += ch;
            any = true;
        }
    }
    if (any || !field.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

} // namespace tabvue::exporter::testing

namespace tabvue::exporter::testing {

// Values that are awkward for one format or another, in the ANSI code page 1252, one per record
// in column VALUE (the last one holds a line break, which each format treats in its own way); column ROW holds the record's number so a lost or shifted cell shows.
inline const std::vector<std::string>& awkwardValues() {
    static const std::vector<std::string> values = {
        "say \"hi\", ok",      "a;b;;c",         "x;E1+1",      "{braces} and \\par \\",
        "<b>bold</b> & &amp;", "\xE9t\xE9 na\xEFve", "",            "=1+1",
        "'quoted'",            "100%",           "tab\there",   "http://example.org/?a=1&b=2",
        "line one\r\nline two",
    };
    return values;
}

inline FakeExport& awkwardSource(FakeExport& e) {
    e.columns = {{"VALUE", 60}, {"ROW", 3}};
    e.rows.clear();
    for (std::size_t i = 0; i < awkwardValues().size(); ++i)
        e.rows.push_back({awkwardValues()[i], std::string("r") + std::to_string(i + 1)});
    e.setOptions(e.options() - ExportOptionSet{ExportOption::xoShowExportDate});
    return e;
}

// The value as LibreOffice gives it back in UTF-8.
inline std::string utf8(const std::string& ansi) { return engine::codePage(1252).decode(ansi); }

} // namespace tabvue::exporter::testing
