// The export run driven through a fake host: events and their order, error codes, target names.
#include <gtest/gtest.h>

#include <filesystem>

#include "export/document.h"
#include "fake_export.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

// Records every event of a run as one text per event.
struct EventLog {
    std::vector<std::string> events;
    void attach(CustomExport& e) {
        e.onGetExtension = [this](CustomExport&, std::string& ext) { events.push_back("GetExtension " + ext); };
        e.onBeginExport = [this](CustomExport&) { events.push_back("BeginExport"); };
        e.onFileExist = [this](CustomExport&, const std::string&, bool&) { events.push_back("FileExist"); };
        e.onGetHeader = [this](CustomExport&, std::uint32_t n, std::string&) {
            events.push_back("GetHeader " + std::to_string(n));
        };
        e.onExport = [this](CustomExport&, std::uint32_t cur, std::uint32_t total, Values&, bool can) {
            events.push_back("Export " + std::to_string(cur) + "/" + std::to_string(total) + (can ? "" : " skip"));
        };
        e.onGetFooter = [this](CustomExport&, std::uint32_t n, std::string&) {
            events.push_back("GetFooter " + std::to_string(n));
        };
        e.onEndExport = [this](CustomExport&) { events.push_back("EndExport"); };
        e.onError = [this](CustomExport&, ExportError err) {
            static const char* names[] = {"xeInvalidFileName", "xeFileExist", "xeComponentIsNull",
                                          "xeGeneralExportError", "xeUserCancelled"};
            events.push_back(std::string("Error ") + names[static_cast<int>(err)]);
        };
    }
};

using Events = std::vector<std::string>;

struct RunFixture : ::testing::Test {
    FakeExport e;
    FakeHost host;
    EventLog log;
    TempDir dir;
    void SetUp() override {
        workedExample(e);
        log.attach(e);
        e.setTempDir(dir.path() + "/");
        e.setHost(&host);
    }
};

TEST_F(RunFixture, FileStyleRunFiresEventsInOrder) {
    host.chooseType = ExportType::xtCSV;
    host.chooseStyle = ExportStyle::xsFile;
    host.saveAnswer = dir.file("people.txt");
    e.execute();
    EXPECT_EQ(log.events, (Events{"GetExtension CSV", "BeginExport", "GetHeader 2", "Export 0/2", "Export 1/2",
                                  "GetFooter 2", "EndExport"}));
    // The chosen extension is replaced by the format's; the save dialog fills FileName for later.
    EXPECT_TRUE(std::filesystem::exists(dir.file("people.CSV")));
    EXPECT_EQ(e.fileName(), dir.file("people.txt"));
    ASSERT_EQ(host.saveRequests.size(), 1u);
    EXPECT_EQ(host.saveRequests[0].filter, "CSV (Comma delimited) (*.csv)|*.CSV");
    EXPECT_EQ(host.saveRequests[0].defaultExtension, "CSV");
    EXPECT_EQ(host.saveRequests[0].title, "Save document");
    EXPECT_EQ(e.calls, (std::vector<std::string>{"beginTraversal", "countRecords", "endTraversal"}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"selectFormat", "saveFileName", "showProgress 2", "closeProgress"}));
    EXPECT_EQ(host.progress, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_TRUE(host.opened.empty());

    // A second file-style run asks for no name and overwrites the same path.
    log.events.clear();
    host.chooseType = ExportType::xtTXT;
    e.execute();
    EXPECT_EQ(host.saveRequests.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dir.file("people.TXT")));
}

TEST_F(RunFixture, SecondRunOverwritesUnlessRefused) {
    e.setExportStyle(ExportStyle::xsFile);
    e.setFileName(dir.file("out.dat"));
    host.chooseType = ExportType::xtTAB;
    e.execute();
    const std::string first = readFile(dir.file("out.TXT"));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(host.saveRequests.empty());

    // Existing file: OnFileExist comes after OnBeginExport; a refusal reports two errors and
    // leaves the file untouched.
    writeFile(dir.file("out.TXT"), "keep");
    log.events.clear();
    e.onFileExist = [&](CustomExport&, const std::string& name, bool& can) {
        log.events.push_back("FileExist " + std::filesystem::path(name).filename().string());
        can = false;
    };
    e.execute();
    EXPECT_EQ(log.events, (Events{"GetExtension TXT", "BeginExport", "FileExist out.TXT", "Error xeFileExist",
                                  "Error xeGeneralExportError", "EndExport"}));
    EXPECT_EQ(readFile(dir.file("out.TXT")), "keep");

    // Allowed: replaced as a whole.
    e.onFileExist = [](CustomExport&, const std::string&, bool&) {};
    e.execute();
    EXPECT_EQ(readFile(dir.file("out.TXT")), first);
}

TEST_F(RunFixture, RowFailureAfterPiecesWereWrittenLeavesTheTargetAlone) {
    // Enough rows that the text formats have handed pieces of the document to the file before
    // the failing row; the target keeps its old bytes and no temporary file stays behind.
    struct FailingExport : FakeExport {
        std::size_t failAt = 0;
        void readRow(Values& values) override {
            if (cursor == failAt)
                throw std::runtime_error("unreadable row");
            FakeExport::readRow(values);
        }
    } f;
    f.columns = {{"TEXT", 100}};
    f.rows.assign(20000, Values{std::string(100, 'x')});
    f.failAt = 15000;
    f.setExportStyle(ExportStyle::xsFile);
    f.setFileName(dir.file("out.dat"));
    f.setHost(&host);
    for (ExportType type : {ExportType::xtCSV, ExportType::xtTXT, ExportType::xtTAB}) {
        f.setExportType(type);
        const std::string target = dir.file("out." + f.defaultExtension());
        writeFile(target, "keep");
        f.runExport();
        EXPECT_EQ(f.lastErrorMessage(), "unreadable row");
        EXPECT_EQ(readFile(target), "keep");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
        std::filesystem::remove(target);
    }
    // Without the failure the whole document arrives.
    f.failAt = f.rows.size();
    f.setExportType(ExportType::xtCSV);
    f.runExport();
    std::string whole = "TEXT\r\n";
    for (std::size_t i = 0; i < f.rows.size(); ++i)
        whole += std::string(100, 'x') + "\r\n";
    EXPECT_TRUE(sameBytes(readFile(dir.file("out.CSV")), whole));
}

TEST_F(RunFixture, CancelledDialogs) {
    host.confirm = false;
    host.chooseType = ExportType::xtRTF;
    host.chooseStyle = ExportStyle::xsFile;
    e.execute();
    EXPECT_TRUE(log.events.empty());
    // The choices made before cancelling stay.
    EXPECT_EQ(e.exportType(), ExportType::xtRTF);
    EXPECT_EQ(e.exportStyle(), ExportStyle::xsFile);

    host.confirm = true;
    host.chooseType = ExportType::xtCSV;
    e.execute(); // saveAnswer is nullopt: the save dialog is cancelled
    EXPECT_EQ(log.events, Events{"Error xeUserCancelled"});
    EXPECT_EQ(e.fileName(), "");
    e.execute();
    EXPECT_EQ(host.saveRequests.size(), 2u); // asked again
}

TEST_F(RunFixture, SourceWithoutColumnsWritesNothingAndEndsQuietly) {
    e.columns.clear();
    host.chooseType = ExportType::xtCSV;
    e.execute();
    EXPECT_EQ(log.events, (Events{"GetExtension CSV", "BeginExport"}));
    EXPECT_TRUE(host.opened.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_EQ(host.log.back(), "closeProgress");
}

TEST_F(RunFixture, UnreadySourceOnlyReportsComponentIsNull) {
    e.ready = false;
    host.chooseType = ExportType::xtCSV;
    host.chooseStyle = ExportStyle::xsFile;
    host.saveAnswer = dir.file("x.csv");
    e.execute();
    // The dialogs come first: the user still picks a format and a name.
    EXPECT_EQ(host.log, (std::vector<std::string>{"selectFormat", "saveFileName"}));
    EXPECT_EQ(log.events, Events{"Error xeComponentIsNull"});
    EXPECT_TRUE(e.calls.empty());
}

TEST_F(RunFixture, FileStyleWithoutNameReportsInvalidFileName) {
    e.setExportStyle(ExportStyle::xsFile);
    e.setExportType(ExportType::xtCSV);
    e.runExport();
    EXPECT_EQ(log.events, Events{"Error xeInvalidFileName"});
    EXPECT_EQ(e.calls, (std::vector<std::string>{"beginTraversal", "endTraversal"}));
}

TEST_F(RunFixture, ViewStyleUsesTheFirstFreeTemporaryName) {
    e.html().extension = HtmlExtension::exHTM;
    host.chooseType = ExportType::xtTXT;
    writeFile(dir.file("LUM1.TXT"), "");
    writeFile(dir.file("LUM2.TXT"), "");
    writeFile(dir.file("LUMA.TXT"), "");
    e.onGetExtension = [](CustomExport&, std::string& ext) { ext = "TXT"; };
    e.execute();
    ASSERT_EQ(host.opened.size(), 1u);
    EXPECT_EQ(host.opened[0], dir.file("LUM3.TXT"));
    EXPECT_FALSE(readFile(dir.file("LUM3.TXT")).empty());
    for (int n = 3; n <= 9; ++n)
        writeFile(dir.file("LUM" + std::to_string(n) + ".TXT"), "");
    e.execute();
    EXPECT_EQ(host.opened.back(), dir.file("LUMB.TXT")); // hexadecimal: A is taken, B is next
}

TEST_F(RunFixture, ViewStyleDocumentThatFailedIsNotOpened) {
    e.setTempDir(dir.file("missing") + "/");
    host.chooseType = ExportType::xtTXT;
    e.execute();
    EXPECT_TRUE(host.opened.empty());
    EXPECT_EQ(log.events.back(), "EndExport");
    EXPECT_EQ(log.events.at(log.events.size() - 2), "Error xeGeneralExportError");
}

TEST_F(RunFixture, SelectedRowsOnlyWithNoSelectionStillVisitsEveryRecord) {
    e.selectedRows = {false, false};
    e.setOptions({ExportOption::xoSelectedRowsOnly, ExportOption::xoShowHeader});
    host.chooseType = ExportType::xtCSV;
    e.execute();
    EXPECT_EQ(log.events, (Events{"GetExtension CSV", "BeginExport", "GetHeader 2", "Export 0/2 skip",
                                  "Export 1/2 skip", "GetFooter 2", "EndExport"}));
    EXPECT_EQ(readFile(host.opened.at(0)), "NAME,CITY\r\n");
}

TEST_F(RunFixture, OnExportMayChangeTheWrittenValues) {
    e.onExport = [](CustomExport&, std::uint32_t cur, std::uint32_t, Values& v, bool) {
        v[0] = std::string("row") + std::to_string(cur);
        v[1] = std::int64_t{42};
    };
    e.setOptions({});
    host.chooseType = ExportType::xtCSV;
    e.execute();
    EXPECT_EQ(readFile(host.opened.at(0)), "row0,42\r\nrow1,42\r\n");
}

TEST_F(RunFixture, ClipboardNeedsNoDialogAndOpensNothingInEitherStyle) {
    for (ExportStyle style : {ExportStyle::xsView, ExportStyle::xsFile}) {
        host.log.clear();
        host.chooseType = ExportType::xtClipboard;
        host.chooseStyle = style;
        e.execute();
        EXPECT_EQ(host.log, (std::vector<std::string>{"selectFormat", "showProgress 2", "setClipboardText",
                                                      "showInformation", "closeProgress"}));
        EXPECT_TRUE(host.opened.empty());
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

TEST_F(RunFixture, ClipboardFailureIsAGeneralErrorWithoutMessage) {
    host.clipboardFails = true;
    host.chooseType = ExportType::xtClipboard;
    e.execute();
    EXPECT_TRUE(host.informations.empty());
    EXPECT_EQ(log.events.at(log.events.size() - 2), "Error xeGeneralExportError");
}

TEST_F(RunFixture, FailureBeforeTheGuardedPartReachesTheCaller) {
    e.onBeginExport = [](CustomExport&) { throw std::runtime_error("handler failed"); };
    host.chooseType = ExportType::xtCSV;
    EXPECT_THROW(e.execute(), std::runtime_error);
    // The source is restored even then.
    EXPECT_EQ(e.calls, (std::vector<std::string>{"beginTraversal", "endTraversal"}));
}

TEST_F(RunFixture, FormatNotAvailableIsAGeneralError) {
    if (makeFormatWriter(ExportType::xtDIF))
        GTEST_SKIP() << "the DIF writer is built";
    host.chooseType = ExportType::xtDIF;
    e.execute();
    EXPECT_EQ(log.events.at(log.events.size() - 2), "Error xeGeneralExportError");
    EXPECT_TRUE(host.opened.empty());
}

} // namespace
} // namespace tabvue::exporter
