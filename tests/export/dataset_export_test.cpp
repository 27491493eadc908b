// The dataset export over real engine tables: widths, values, captions, the walk, and the corpus.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/dbf_builder.h"
#include "engine/table.h"
#include "export/dataset_export.h"
#include "fake_export.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

struct DataSetFixture : ::testing::Test {
    TempDir dir;
    engine::Table table;
    DataSetExport d{"dsexport"};
    FakeHost host;

    void SetUp() override {
        const std::string path = dir.file("kinds.dbf");
        tabvue::testing::DbfBuilder(0x83, {{"NAME", 'C', 8}, {"QTY", 'N', 5, 2}, {"BORN", 'D', 8}, {"OK", 'L', 1},
                                           {"NOTE", 'M', 10}, {"PIC", 'G', 10}})
            .date(124, 1, 1)
            .row({"Ann", "12.5", "20031224", "T", "line one\r\nline two", ""})
            .row({"", "", "", " ", "", ""})
            .row({"Bob, Jr", "-3", "19991212", "F", "", ""})
            .write(path);
        table.open(path);
        d.setDateFormat("dd.MM.yyyy");
        d.setTimeFormat("h:mm");
        d.setDateTimeFormat("h:mm dd.MM.yyyy");
        d.setDataSet(&table);
        d.setHost(&host);
    }
};

TEST_F(DataSetFixture, ColumnsAndNaturalWidths) {
    ASSERT_EQ(d.columnCount(), 6);
    const int widths[] = {8, 15, 10, 5, 10, 12};
    const char* names[] = {"NAME", "QTY", "BORN", "OK", "NOTE", "PIC"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(d.dataWidth(i), widths[i]) << i;
        EXPECT_EQ(d.columnCaption(i), names[i]);
        EXPECT_TRUE(d.isColumnVisible(i));
        EXPECT_EQ(d.columnAlignment(i), 0);
    }
    // Past the last field: invisible, no width, no caption.
    EXPECT_FALSE(d.isColumnVisible(6));
    EXPECT_EQ(d.dataWidth(6), 0);
    EXPECT_EQ(d.columnCaption(6), "");
    EXPECT_TRUE(d.isRowSelected(0));
    // Logical width follows the texts; date width the pattern.
    d.messages().trueText = "Yes";
    d.messages().falseText = "No";
    EXPECT_EQ(d.dataWidth(3), 3);
    d.setDateFormat("dddd d mmmm yyyy");
    EXPECT_EQ(d.dataWidth(2), static_cast<int>(std::string("Sunday 12 December 1999").size()));
    EXPECT_EQ(d.dateColumnWidth(engine::FieldKind::DateTime), 16);
}

TEST_F(DataSetFixture, RowValuesAndTheWalk) {
    EXPECT_EQ(d.countRecords(), 3u);
    d.first();
    Values v;
    d.readRow(v);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(std::get<std::string>(v[0]), "Ann");
    EXPECT_EQ(std::get<std::string>(v[1]), "12.50");
    EXPECT_EQ(std::get<std::string>(v[2]), "24.12.2003");
    EXPECT_EQ(std::get<std::string>(v[3]), "True");
    EXPECT_EQ(std::get<std::string>(v[4]), "line one\r\nline two");
    EXPECT_EQ(std::get<std::string>(v[5]), "** BINARY **");
    d.readRow(v);
    // Blank text is an empty text (not null); empty date and number are their empty display texts;
    // a logical without a value counts as false.
    EXPECT_EQ(std::get<std::string>(v[0]), "");
    EXPECT_EQ(std::get<std::string>(v[1]), "");
    EXPECT_EQ(std::get<std::string>(v[2]), "");
    EXPECT_EQ(std::get<std::string>(v[3]), "False");
    d.readRow(v);
    EXPECT_TRUE(d.eof());
}

TEST_F(DataSetFixture, ExportedDocumentAndTheRestoredPosition) {
    table.first();
    table.next();
    const engine::RecordNo before = table.recNo();
    d.setOptions({ExportOption::xoShowHeader});
    d.setExportType(ExportType::xtCSV);
    d.setExportStyle(ExportStyle::xsFile);
    d.setFileName(dir.file("out.csv"));
    d.runExport();
    EXPECT_TRUE(sameBytes(readFile(dir.file("out.CSV")),
                          "NAME,QTY,BORN,OK,NOTE,PIC\r\n"
                          "Ann,12.50,24.12.2003,True,\"line one\r\nline two\",\"** BINARY **\"\r\n"
                          ",,,False,,\"** BINARY **\"\r\n"
                          "\"Bob, Jr\",-3.00,12.12.1999,False,,\"** BINARY **\"\r\n"));
    EXPECT_EQ(table.recNo(), before);
}

TEST_F(DataSetFixture, TextRowsMatchTheValueRows) {
    // Without an OnExport handler the plain-text formats take the record's texts straight from
    // the table; a handler that changes nothing must give the very same bytes.
    const struct {
        ExportType type;
        ExportOptionSet options;
    } cases[] = {
        {ExportType::xtCSV, {ExportOption::xoShowHeader}},
        {ExportType::xtCSV, {ExportOption::xoRowNumbers, ExportOption::xoTruncate}},
        {ExportType::xtTXT, {ExportOption::xoShowHeader, ExportOption::xoUseAlignments}},
        {ExportType::xtTXT, {ExportOption::xoRowNumbers, ExportOption::xoTruncate, ExportOption::xoHeaderLine}},
        {ExportType::xtTAB, {ExportOption::xoShowHeader, ExportOption::xoTruncate}},
    };
    d.setExportStyle(ExportStyle::xsFile);
    d.setColumnWidths({"2", "4", "20", "3", "6", "5"});
    for (const auto& c : cases) {
        d.setExportType(c.type);
        d.setOptions(c.options);
        d.onExport = nullptr;
        d.setFileName(dir.file("texts.out"));
        d.runExport();
        d.onExport = [](CustomExport&, std::uint32_t, std::uint32_t, Values&, bool) {};
        d.setFileName(dir.file("values.out"));
        d.runExport();
        const std::string ext = "." + d.defaultExtension();
        const std::string texts = readFile(dir.file("texts" + ext));
        EXPECT_FALSE(texts.empty());
        EXPECT_TRUE(sameBytes(texts, readFile(dir.file("values" + ext)))) << static_cast<int>(c.type);
    }
}

TEST_F(DataSetFixture, UnreadyAndRemovedSources) {
    std::vector<ExportError> errors;
    d.onError = [&](CustomExport&, ExportError e) { errors.push_back(e); };
    d.setExportType(ExportType::xtCSV);
    table.close();
    d.runExport();
    d.dataSetRemoved(&table);
    EXPECT_EQ(d.dataSet(), nullptr);
    d.runExport();
    EXPECT_EQ(errors, (std::vector<ExportError>{ExportError::xeComponentIsNull, ExportError::xeComponentIsNull}));
    engine::Table other;
    d.setDataSet(&other);
    d.dataSetRemoved(&table); // another table's removal leaves DataSet alone
    EXPECT_EQ(d.dataSet(), &other);
}

// Every table of the corpus exports as text and CSV, or fails cleanly; none crashes.
TEST(DataSetCorpus, EveryTableExportsOrFailsCleanly) {
    const std::filesystem::path corpus = std::filesystem::path(TABVUE_SHARED_DIR) / "corpus" / "dbf";
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    TempDir dir;
    FakeHost host;
    int exported = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        std::string ext = entry.path().extension().string();
        for (char& ch : ext)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (!entry.is_regular_file() || ext != ".dbf")
            continue;
        engine::Table table;
        try {
            table.open(entry.path().string());
        } catch (const std::exception&) {
            continue; // the engine refuses it; nothing to export
        }
        table.setOemTranslate(true);
        DataSetExport d("dsexport");
        d.setDataSet(&table);
        d.setHost(&host);
        bool failed = false;
        d.onError = [&](CustomExport&, ExportError) { failed = true; };
        for (ExportType type : {ExportType::xtTXT, ExportType::xtCSV}) {
            d.setExportType(type);
            const std::string target = dir.file("out" + std::to_string(static_cast<int>(type)));
            d.writeDocument(target);
            if (!failed) {
                EXPECT_TRUE(std::filesystem::exists(target)) << entry.path();
                ++exported;
            }
            EXPECT_TRUE(d.lastErrorMessage().empty() || failed) << entry.path();
        }
    }
    EXPECT_GT(exported, 100);
}

} // namespace
} // namespace tabvue::exporter
