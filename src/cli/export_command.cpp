// tabvue-cli export FORMAT FILE [TARGET]: the export component without windows.
#include <array>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "engine/codepage.h"
#include "engine/error.h"
#include "engine/table.h"
#include "export/dataset_export.h"
#include "export/document.h"
#include "export/export_host.h"
#include "export/property_table.h"

namespace tabvue::cli {

namespace {

using namespace tabvue::exporter;

struct FormatName {
    const char* name;
    ExportType type;
};
constexpr std::array<FormatName, 10> formatNames{{
    {"html", ExportType::xtHTML},
    {"xls", ExportType::xtExcel},
    {"doc", ExportType::xtWord},
    {"txt", ExportType::xtTXT},
    {"csv", ExportType::xtCSV},
    {"tab", ExportType::xtTAB},
    {"rtf", ExportType::xtRTF},
    {"dif", ExportType::xtDIF},
    {"slk", ExportType::xtSYLK},
    {"clipboard", ExportType::xtClipboard},
}};

// The desktop of a command-line run: no dialogs; a view-style result is named on stdout instead of
// being opened; the clipboard text goes to stdout; messages go to stderr.
class CliHost : public ExportHost {
public:
    bool selectFormat(CustomExport&) override { return true; }
    std::optional<std::string> saveFileName(const SaveDialogRequest&) override { return std::nullopt; }
    void showError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
    void showInformation(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
    void setClipboardText(std::string_view text) override {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
            throw Error("Cannot write the clipboard text to the standard output");
    }
    void openDocument(const std::string& path) override { std::printf("%s\n", path.c_str()); }
};

// The dataset export with the table's raw text read in another code page and recoded to the
// ANSI code page (--codepage N).
class RecodingExport : public DataSetExport {
public:
    RecodingExport(std::string name, std::optional<std::array<unsigned char, 256>> recode)
        : DataSetExport(std::move(name)), recode_(recode) {}

    std::string columnCaption(int index) override { return recoded(DataSetExport::columnCaption(index)); }
    void readRow(Values& values) override {
        DataSetExport::readRow(values);
        if (!recode_)
            return;
        for (Variant& v : values)
            if (auto* s = std::get_if<std::string>(&v))
                for (char& ch : *s)
                    ch = static_cast<char>((*recode_)[static_cast<unsigned char>(ch)]);
    }
    bool readRowTexts(std::vector<std::string_view>& texts) override {
        DataSetExport::readRowTexts(texts);
        if (!recode_)
            return true;
        // The recoded texts lie end to end in one buffer; the views are made once it is filled.
        recodedTexts_.clear();
        ends_.clear();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            // A null value has no text of the table to recode (readRow leaves it null).
            const bool null = cellIsNull(i);
            for (char ch : texts[i])
                recodedTexts_ += null ? ch : static_cast<char>((*recode_)[static_cast<unsigned char>(ch)]);
            ends_.push_back(recodedTexts_.size());
        }
        for (std::size_t i = 0, start = 0; i < texts.size(); start = ends_[i], ++i)
            texts[i] = std::string_view(recodedTexts_).substr(start, ends_[i] - start);
        return true;
    }

private:
    std::string recoded(std::string s) const {
        if (recode_)
            for (char& ch : s)
                ch = static_cast<char>((*recode_)[static_cast<unsigned char>(ch)]);
        return s;
    }
    std::optional<std::array<unsigned char, 256>> recode_;
    std::string recodedTexts_;
    std::vector<std::size_t> ends_;
};

std::array<unsigned char, 256> recodeTable(int from, int to) {
    const engine::CodePage& source = engine::codePage(from);
    const engine::CodePage& target = engine::codePage(to);
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const std::string utf8 = source.decode(std::string(1, static_cast<char>(b)));
        const std::string bytes = target.encode(utf8);
        table[static_cast<std::size_t>(b)] = bytes.size() == 1 ? static_cast<unsigned char>(bytes[0]) : '?';
    }
    return table;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "tabvue-cli export: %s\n", message.c_str());
    std::fputs("usage: tabvue-cli export FORMAT FILE [TARGET] [--set NAME=VALUE]... [--header TEXT]\n"
               "                         [--footer TEXT] [--no-date] [--oem|--ansi|--codepage N]\n"
               "FORMAT: html, xls, doc, txt, csv, tab, rtf, dif, slk or clipboard\n",
               stderr);
    return 1;
}

} // namespace

int runExport(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::vector<std::string> sets;
    std::optional<std::string> header;
    std::optional<std::string> footer;
    bool noDate = false;
    enum class Mode { Oem, Ansi, CodePage } mode = Mode::Oem;
    int codePage = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == "--set" || a == "--header" || a == "--footer" || a == "--codepage") {
            const std::string* v = value();
            if (!v)
                return usageError(a + " needs a value");
            if (a == "--set")
                sets.push_back(*v);
            else if (a == "--header")
                header = *v;
            else if (a == "--footer")
                footer = *v;
            else {
                auto r = std::from_chars(v->data(), v->data() + v->size(), codePage);
                if (r.ec != std::errc{} || r.ptr != v->data() + v->size() || codePage <= 0 || codePage > 65535)
                    return usageError("invalid code page '" + *v + "'");
                mode = Mode::CodePage;
            }
        } else if (a == "--no-date") {
            noDate = true;
        } else if (a == "--oem") {
            mode = Mode::Oem;
        } else if (a == "--ansi") {
            mode = Mode::Ansi;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option '" + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2 || positional.size() > 3)
        return usageError("expected FORMAT FILE [TARGET]");

    std::optional<ExportType> type;
    for (const FormatName& f : formatNames)
        if (positional[0] == f.name)
            type = f.type;
    if (!type)
        return usageError("unknown format '" + positional[0] + "'");
    if (!makeFormatWriter(*type)) {
        std::fprintf(stderr, "tabvue-cli export: the %s format is not available in this build\n",
                     positional[0].c_str());
        return 1;
    }

    engine::Table table;
    std::optional<std::array<unsigned char, 256>> recode;
    try {
        table.open(positional[1]);
        table.setOemTranslate(mode == Mode::Oem);
        if (mode == Mode::CodePage)
            recode = recodeTable(codePage, engine::ansiCodePage());
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    RecodingExport dsexport("dsexport", recode);
    dsexport.setDateFormat("dd.MM.yyyy");
    dsexport.setTimeFormat("h:mm");
    dsexport.setDateTimeFormat("h:mm dd.MM.yyyy");
    CliHost host;
    try {
        for (const std::string& s : sets)
            setProperty(dsexport, s);
    } catch (const Error& e) {
        std::fprintf(stderr, "tabvue-cli export: %s\n", e.what());
        return 1;
    }
    // The command line decides format, style and target; the progress window has no place here.
    dsexport.setExportType(*type);
    if (noDate)
        dsexport.setOptions(dsexport.options() - ExportOptionSet{ExportOption::xoShowExportDate});
    if (positional.size() == 3) {
        dsexport.setExportStyle(ExportStyle::xsFile);
        dsexport.setFileName(positional[2]);
    } else {
        dsexport.setExportStyle(ExportStyle::xsView);
    }
    if (header)
        dsexport.onGetHeader = [&](CustomExport&, std::uint32_t, std::string& h) { h = *header; };
    if (footer)
        dsexport.onGetFooter = [&](CustomExport&, std::uint32_t, std::string& f) { f = *footer; };
    int status = 0;
    dsexport.onError = [&](CustomExport& c, ExportError e) {
        std::string message = "tabvue-cli export: " + std::string(exportErrorName(e));
        if (e == ExportError::xeGeneralExportError && !c.lastErrorMessage().empty())
            message += ": " + c.lastErrorMessage();
        std::fprintf(stderr, "%s\n", message.c_str());
        status = 1;
    };
    dsexport.setDataSet(&table);
    dsexport.setHost(&host);
    dsexport.runExport();
    return status;
}

} // namespace tabvue::cli
