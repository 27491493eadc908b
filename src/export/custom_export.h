#pragma once
// CustomExport: the format-independent export component. It holds every export setting, runs an
// export (execute -> runExport -> writeDocument), reports every outcome through its events, and
// reaches the rows only through the record-source operations that a derived class provides
// (DataSetExport serves them from an engine::Table). The format writers see the component through
// the run's Document (document.h).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_options.h"

namespace tabvue::exporter {

class ExportHost;
class Document;

class CustomExport {
public:
    explicit CustomExport(std::string name = {});
    virtual ~CustomExport();
    CustomExport(const CustomExport&) = delete;
    CustomExport& operator=(const CustomExport&) = delete;

    // ---- Identity ---------------------------------------------------------------------------
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // The class name as the table name of DIF and SYLK documents: "TLUCUSTOMEXPORT",
    // "TLUDATASETEXPORT" (upper case).
    virtual std::string className() const { return "TluCustomExport"; }

    // ---- Settings, in declaration order -----------------------------------------------------
    const std::vector<std::string>& captions() const { return captions_; }
    std::vector<std::string>& captions() { return captions_; }
    void setCaptions(const std::vector<std::string>& lines) { captions_ = lines; }
    const std::vector<std::string>& columnWidths() const { return columnWidths_; }
    std::vector<std::string>& columnWidths() { return columnWidths_; }
    void setColumnWidths(const std::vector<std::string>& lines) { columnWidths_ = lines; }

    const std::string& dateFormat() const { return dateFormat_; }
    void setDateFormat(std::string f) { dateFormat_ = std::move(f); }
    const std::string& timeFormat() const { return timeFormat_; }
    void setTimeFormat(std::string f) { timeFormat_ = std::move(f); }
    const std::string& dateTimeFormat() const { return dateTimeFormat_; }
    void setDateTimeFormat(std::string f) { dateTimeFormat_ = std::move(f); }

    // Setting either keeps ExportType a member of ExportTypes.
    ExportType exportType() const { return exportType_; }
    void setExportType(ExportType t);
    ExportTypeSet exportTypes() const { return exportTypes_; }
    void setExportTypes(ExportTypeSet types);
    ExportStyle exportStyle() const { return exportStyle_; }
    void setExportStyle(ExportStyle s) { exportStyle_ = s; }
    const std::string& fileName() const { return fileName_; }
    void setFileName(std::string f) { fileName_ = std::move(f); }

    HtmlOptions& html() { return html_; }
    const HtmlOptions& html() const { return html_; }
    MessagesOptions& messages() { return messages_; }
    const MessagesOptions& messages() const { return messages_; }

    // The temporary folder (with its trailing '/'). Setting it stores the new text only when it
    // differs from the current one after one trailing separator is dropped from each, ignoring
    // letter case.
    const std::string& tempDir() const { return tempDir_; }
    void setTempDir(const std::string& dir);
    // True when the value differs, by the same comparison, from the system's temporary folder
    // (only then does a stored setting need to hold it).
    bool tempDirIsStored() const;

    const std::string& truncateSymbol() const { return truncateSymbol_; }
    void setTruncateSymbol(std::string s) { truncateSymbol_ = std::move(s); }

    // Taken only when it contains "%d"; otherwise the host shows
    // "The format has to contain %d string." and the old value stays. Returns whether it was taken.
    const std::string& rowNumberFormat() const { return rowNumberFormat_; }
    bool setRowNumberFormat(const std::string& f);

    RtfOptions& docRtf() { return docRtf_; } // "DOC_RTF"
    const RtfOptions& docRtf() const { return docRtf_; }
    ExcelOptions& excel() { return excel_; } // "EXCEL"
    const ExcelOptions& excel() const { return excel_; }

    ExportOptionSet options() const { return options_; }
    void setOptions(ExportOptionSet o) { options_ = o; }
    bool hasOption(ExportOption o) const { return options_.contains(o); }

    // "2.37"; writing is accepted and ignored.
    static std::string version();
    void setVersion(std::string_view) {}

    // ---- Events -----------------------------------------------------------------------------
    std::function<void(CustomExport& sender)> onBeginExport;
    std::function<void(CustomExport& sender)> onEndExport;
    std::function<void(CustomExport& sender, std::string& extension)> onGetExtension;
    std::function<void(CustomExport& sender, ExportError error)> onError;
    std::function<void(CustomExport& sender, std::uint32_t current, std::uint32_t total, Values& values,
                       bool canExport)>
        onExport;
    std::function<void(CustomExport& sender, std::uint32_t recordCount, std::string& header)> onGetHeader;
    std::function<void(CustomExport& sender, std::uint32_t recordCount, std::string& footer)> onGetFooter;
    std::function<void(CustomExport& sender, const std::string& outputFileName, bool& canOverWrite)>
        onFileExist;

    // ---- Host ---------------------------------------------------------------------------------
    // The desktop services of a run (dialogs, clipboard, shell). Not owned.
    ExportHost* host() const { return host_; }
    void setHost(ExportHost* host) { host_ = host; }

    // ---- The run ------------------------------------------------------------------------------
    // Lets the user choose a format and style, asks for a file name when one is needed and writes.
    // Every outcome is reported through the events. Needs a host.
    void execute();
    void execute(ExportHost& host) {
        setHost(&host);
        execute();
    }
    // Forms the target name and writes (what execute does after a confirmed selection).
    void runExport();
    // Writes the document of the current ExportType to fileName (or the clipboard).
    void writeDocument(const std::string& fileName);
    // Why the last run reported xeGeneralExportError (the failure's message), for a caller that
    // tells the user; empty when the last run had no such failure.
    const std::string& lastErrorMessage() const { return lastErrorMessage_; }

    // "XLS", "HTML"/"HTM", ... without the dot.
    std::string defaultExtension() const;
    // "Excel Files (*.xls)|*.XLS"; empty for the clipboard.
    std::string saveDialogFilter() const;
    // Temporary name for view-style runs: TempDir + "LUM" + hex n + "." + extension, the first n
    // from 1 up whose name is free. Throws Error when no free name is found.
    std::string temporaryFileName(const std::string& extension) const;

    // ---- Run counters (meaningful during a run) -----------------------------------------------
    std::uint32_t recordTotal() const { return recordTotal_; }
    std::uint32_t currentRow() const { return currentRow_; }
    std::uint32_t exportedRows() const { return exportedRows_; }
    std::uint32_t outputRow() const { return outputRow_; }

    // ---- Cell values shared by every writer ----------------------------------------------------
    // The ColumnWidths line i read as a whole integer, else defaultWidth.
    int columnWidth(int column, int defaultWidth) const;
    // The value's text: null -> "** NULL **"; truncated under xoTruncate when 0 < width < length.
    std::string cellText(const Variant& value, int width) const;
    void appendCellText(std::string& out, const Variant& value, int width) const;
    // The row-number text of the next written row (ExportedRows + 1) and the row-number width
    // (the length of the format applied to RecordTotal); both fall back to "%d".
    std::string rowNumberText() const;
    int rowNumberWidth() const;
    // Whether column i is written: xoExportInvisibles or isColumnVisible(i).
    bool isColumnExported(int column);

    // ---- Record-source operations (virtual, in slot order) -------------------------------------
    virtual void beginTraversal() {}
    virtual void endTraversal() {}
    virtual void first() = 0;
    virtual int columnAlignment(int /*index*/) { return 0; } // 0 none, 1 left, 2 right, 3 centre
    virtual bool isSourceReady() = 0;
    virtual bool eof() = 0;
    virtual bool isColumnVisible(int index) = 0;
    virtual bool isRowSelected(std::uint32_t index) = 0;
    virtual int dataWidth(int index) = 0;
    virtual std::string columnCaption(int index) = 0;
    virtual int columnCount() = 0;
    virtual void readRow(Values& values) = 0; // fill from the current record, then move on
    // The faster form of readRow for the plain-text formats: the text of every column of the
    // current record, exactly as appendCellText would give it for the value readRow reads (before
    // truncation), then moves on. The views stay valid until the next call. A source without this
    // form answers false and stays where it is. A source that changes what readRow reads must
    // change these texts alike (or answer false).
    virtual bool readRowTexts(std::vector<std::string_view>& /*texts*/) { return false; }
    virtual std::uint32_t countRecords() = 0;

protected:
    void fireError(ExportError e) {
        if (onError)
            onError(*this, e);
    }

private:
    friend class Document;
    // writeDocument, answering whether the document was written.
    bool writeDocumentReporting(const std::string& fileName);

    std::string name_;
    std::vector<std::string> captions_;
    std::vector<std::string> columnWidths_;
    std::string fileName_;
    ExportType exportType_ = ExportType::xtExcel;
    ExportStyle exportStyle_ = ExportStyle::xsView;
    ExportTypeSet exportTypes_ = AllExportTypes;
    std::string truncateSymbol_ = "...";
    std::string tempDir_;
    HtmlOptions html_;
    RtfOptions docRtf_;
    MessagesOptions messages_;
    std::string rowNumberFormat_ = "%d";
    std::string dateFormat_;
    std::string timeFormat_;
    std::string dateTimeFormat_;
    ExcelOptions excel_;
    ExportOptionSet options_ = DefaultExportOptions;
    ExportHost* host_ = nullptr;
    std::string lastErrorMessage_;

    std::uint32_t recordTotal_ = 0;
    std::uint32_t currentRow_ = 0;
    std::uint32_t exportedRows_ = 0;
    std::uint32_t outputRow_ = 1;
};

// The text of a null value in a cell.
inline constexpr std::string_view NullCellText = "** NULL **";

// The system's temporary folder with a trailing '/'.
std::string systemTempDir();

} // namespace tabvue::exporter
