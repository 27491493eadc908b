#pragma once
// A record source and a host without a table or a desktop: FakeExport serves rows held in memory,
// FakeHost records what the run asked of the desktop. Free of any test framework, so widget tests
// use them too.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/custom_export.h"
#include "export/export_host.h"

namespace tabvue::exporter::testing {

struct FakeColumn {
    std::string caption;
    int width = 0;
    bool visible = true;
    int alignment = 0;
};

class FakeExport : public CustomExport {
public:
    FakeExport(std::vector<FakeColumn> columns = {}, std::vector<Values> rows = {})
        : CustomExport("fake"), columns(std::move(columns)), rows(std::move(rows)) {}

    std::string className() const override { return "TluDataSetExport"; }

    std::vector<FakeColumn> columns;
    std::vector<Values> rows;
    std::vector<bool> selectedRows; // empty: every row selected
    bool ready = true;
    std::size_t cursor = 0;
    std::vector<std::string> calls; // record-source calls that matter for the order of a run

    void beginTraversal() override { calls.push_back("beginTraversal"); }
    void endTraversal() override { calls.push_back("endTraversal"); }
    void first() override { cursor = 0; }
    int columnAlignment(int i) override { return columns.at(static_cast<std::size_t>(i)).alignment; }
    bool isSourceReady() override { return ready; }
    bool eof() override { return cursor >= rows.size(); }
    bool isColumnVisible(int i) override {
        return i >= 0 && static_cast<std::size_t>(i) < columns.size() && columns[static_cast<std::size_t>(i)].visible;
    }
    bool isRowSelected(std::uint32_t i) override { return selectedRows.empty() || selectedRows.at(i); }
    int dataWidth(int i) override {
        return i >= 0 && static_cast<std::size_t>(i) < columns.size() ? columns[static_cast<std::size_t>(i)].width : 0;
    }
    std::string columnCaption(int i) override {
        return i >= 0 && static_cast<std::size_t>(i) < columns.size() ? columns[static_cast<std::size_t>(i)].caption
                                                                      : std::string();
    }
    int columnCount() override { return static_cast<int>(columns.size()); }
    void readRow(Values& values) override { values = rows.at(cursor++); }
    std::uint32_t countRecords() override {
        calls.push_back("countRecords");
        cursor = rows.size();
        return static_cast<std::uint32_t>(rows.size());
    }
};

// The two-record source of the worked examples: NAME and CITY, 8 and 12 wide.
inline FakeExport& workedExample(FakeExport& e) {
    e.columns = {{"NAME", 10}, {"CITY", 10}};
    e.rows = {{std::string("Ann"), std::string("Oslo")}, {std::string("Bob Lee"), std::string("Rome, Lazio")}};
    e.setColumnWidths({"8", "12"});
    return e;
}

class FakeHost : public ExportHost {
public:
    bool confirm = true;                      // the selection dialog's answer
    std::optional<ExportType> chooseType;     // picked in the dialog
    std::optional<ExportStyle> chooseStyle;
    std::optional<std::string> saveAnswer;    // nullopt: the save dialog is cancelled
    std::string dateText = "D";
    std::vector<std::string> log;
    std::vector<SaveDialogRequest> saveRequests;
    std::string clipboard;
    bool clipboardFails = false;
    std::vector<std::string> opened;
    std::vector<std::string> errors;
    std::vector<std::string> informations;
    std::vector<std::uint32_t> progress;

    bool selectFormat(CustomExport& c) override {
        log.push_back("selectFormat");
        if (chooseType)
            c.setExportType(*chooseType);
        if (chooseStyle)
            c.setExportStyle(*chooseStyle);
        return confirm;
    }
    std::optional<std::string> saveFileName(const SaveDialogRequest& r) override {
        log.push_back("saveFileName");
        saveRequests.push_back(r);
        return saveAnswer;
    }
    void showProgress(const ProgressRequest& r) override { log.push_back("showProgress " + std::to_string(r.total)); }
    void setProgress(std::uint32_t p) override { progress.push_back(p); }
    void closeProgress() override { log.push_back("closeProgress"); }
    void showError(const std::string& m) override {
        log.push_back("showError");
        errors.push_back(m);
    }
    void showInformation(const std::string& m) override {
        log.push_back("showInformation");
        informations.push_back(m);
    }
    void setClipboardText(std::string_view text) override {
        log.push_back("setClipboardText");
        if (clipboardFails)
            throw std::runtime_error("clipboard busy");
        clipboard.assign(text);
    }
    void openDocument(const std::string& path) override {
        log.push_back("openDocument");
        opened.push_back(path);
    }
    std::string currentDateTimeText() override { return dateText; }
};

} // namespace tabvue::exporter::testing
