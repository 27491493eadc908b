#pragma once
// DataSetExport: the export component bound to an engine::Table.
//
// Usage (the main window owns one, named "dsexport"):
//
//     exporter::DataSetExport dsexport("dsexport");
//     dsexport.setDateFormat("dd.MM.yyyy");
//     dsexport.setTimeFormat("h:mm");
//     dsexport.setDateTimeFormat("h:mm dd.MM.yyyy");
//     dsexport.onError = [&](exporter::CustomExport&, exporter::ExportError e) { ... message box ... };
//     ...
//     dsexport.setDataSet(&activeTable);   // before every run; not owned
//     dsexport.execute(qtHost);            // QtExportHost(mainWindow)
//
// The component reports outcomes only through its events; a caller that wants the user told
// about failures attaches onError (xeUserCancelled is the user's own choice and needs no message).
// When the table goes away before the component, call dataSetRemoved(&table) (or setDataSet).
#include "engine/table.h"
#include "export/custom_export.h"

namespace tabvue::exporter {

class DataSetExport : public CustomExport {
public:
    explicit DataSetExport(std::string name = {});
    ~DataSetExport() override;

    std::string className() const override { return "TluDataSetExport"; }

    engine::Table* dataSet() const { return dataSet_; }
    void setDataSet(engine::Table* table) { dataSet_ = table; }
    // The removal notice: clears DataSet when it is the table being removed.
    void dataSetRemoved(const engine::Table* table) {
        if (table == dataSet_)
            dataSet_ = nullptr;
    }

    // The natural width of a date, time or date-time column: the length of the sample moment
    // 12.12.1999 12:12:12.012 formatted with DateFormat, TimeFormat or DateTimeFormat.
    int dateColumnWidth(engine::FieldKind kind) const;

    void beginTraversal() override;
    void endTraversal() override;
    void first() override;
    bool isSourceReady() override;
    bool eof() override;
    bool isColumnVisible(int index) override;
    bool isRowSelected(std::uint32_t index) override;
    int dataWidth(int index) override;
    std::string columnCaption(int index) override;
    int columnCount() override;
    void readRow(Values& values) override;
    bool readRowTexts(std::vector<std::string_view>& texts) override;
    std::uint32_t countRecords() override;

protected:
    // Whether column i of the row readRowTexts has just read is null (its text is NullCellText).
    bool cellIsNull(std::size_t i) const;

private:
    // The current record's display texts, separated by tabs, into line_ and where each lies.
    void readTexts();
    std::string_view fieldText(std::size_t i) const;
    engine::Table* dataSet_ = nullptr;
    engine::RecordNo bookmark_ = 0;
    bool bookmarked_ = false;
    std::string line_;
    std::vector<engine::TextSpan> spans_;
};

} // namespace tabvue::exporter
