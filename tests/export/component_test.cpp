// Defaults, setting rules and cell values of the export component.
#include <gtest/gtest.h>

#include "export/dataset_export.h"
#include "export/export_strings.h"
#include "export/text_format.h"
#include "fake_export.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

TEST(Component, DefaultsOfANewDataSetExport) {
    DataSetExport d("dsexport");
    EXPECT_EQ(d.name(), "dsexport");
    EXPECT_EQ(d.version(), "2.37");
    EXPECT_EQ(d.exportType(), ExportType::xtExcel);
    EXPECT_EQ(d.exportTypes(), AllExportTypes);
    EXPECT_EQ(d.exportStyle(), ExportStyle::xsView);
    EXPECT_EQ(d.options().bits(), 1261u);
    EXPECT_EQ(d.messages().caption, "Exporting DataSet");
    EXPECT_EQ(d.rowNumberFormat(), "%d");
    EXPECT_EQ(d.truncateSymbol(), "...");
    EXPECT_EQ(d.fileName(), "");
    EXPECT_EQ(d.dataSet(), nullptr);
    EXPECT_EQ(d.tempDir().back(), '/');
    EXPECT_EQ(d.html().customColors.tableBackground, 16777167u);
    EXPECT_EQ(d.docRtf().customSettings.tableBackground, 16777167u);
    EXPECT_EQ(d.html().customColors.headerBackground, 3368601u);
    EXPECT_EQ(d.docRtf().customSettings.headerBackground, 3368601u);
    EXPECT_EQ(d.html().options.bits(), 0x1Fu);
    EXPECT_EQ(d.html().extension, HtmlExtension::exHTML);
    EXPECT_EQ(d.docRtf().cellWidth, 1400);
    EXPECT_TRUE(d.docRtf().customSettings.headerFont.style.contains(FontStyle::fsBold));
    EXPECT_FALSE(d.docRtf().customSettings.tableFont.style.contains(FontStyle::fsBold));
    EXPECT_EQ(d.excel().headerFont.size(), 8);
    EXPECT_EQ(d.excel().footer, "&P");
    EXPECT_EQ(d.excel().options, (ExcelOptionSet{ExcelOption::reSetMargins, ExcelOption::reUseBorders}));
    EXPECT_EQ(d.messages().documentFilter.comma, "CSV (Comma delimited)");
    EXPECT_EQ(d.className(), "TluDataSetExport");

    FakeExport base;
    EXPECT_EQ(base.messages().caption, "Export");
}

TEST(Component, ExportTypeStaysOffered) {
    FakeExport e;
    e.setExportTypes({});
    EXPECT_EQ(e.exportTypes(), ExportTypeSet{ExportType::xtExcel});
    e.setExportType(ExportType::xtRTF);
    EXPECT_EQ(e.exportTypes(), (ExportTypeSet{ExportType::xtExcel, ExportType::xtRTF}));
    e.setExportTypes({ExportType::xtCSV});
    EXPECT_EQ(e.exportTypes(), (ExportTypeSet{ExportType::xtCSV, ExportType::xtRTF}));
}

TEST(Component, RowNumberFormatMustHoldLowerCaseD) {
    struct Case {
        const char* format;
        bool taken;
    };
    const Case cases[] = {{"No. %d.", true}, {"%d", true}, {"(%5d)", false}, {"%D", false}, {"", false}, {"d%", false}};
    for (const Case& c : cases) {
        FakeExport e;
        FakeHost host;
        e.setHost(&host);
        EXPECT_EQ(e.setRowNumberFormat(c.format), c.taken) << c.format;
        EXPECT_EQ(e.rowNumberFormat(), c.taken ? c.format : "%d") << c.format;
        EXPECT_EQ(host.errors, c.taken ? std::vector<std::string>{}
                                       : std::vector<std::string>{"The format has to contain %d string."});
    }
}

TEST(Component, TempDirIgnoresOneTrailingSeparatorAndCase) {
    FakeExport e;
    e.setTempDir("/Work/Tmp/");
    EXPECT_EQ(e.tempDir(), "/Work/Tmp/");
    for (const char* same : {"/Work/Tmp", "/work/tmp/", "/WORK/TMP"}) {
        e.setTempDir(same);
        EXPECT_EQ(e.tempDir(), "/Work/Tmp/") << same;
    }
    e.setTempDir("/other");
    EXPECT_EQ(e.tempDir(), "/other");
    e.setTempDir("C:\\");
    e.setTempDir("c:");
    EXPECT_EQ(e.tempDir(), "c:"); // a drive root keeps its separator in the comparison
    e.setTempDir(systemTempDir());
    EXPECT_FALSE(e.tempDirIsStored());
}

TEST(Component, DefaultExtensionAndFilterPerType) {
    struct Case {
        ExportType type;
        const char* extension;
        const char* filter;
    };
    const Case cases[] = {
        {ExportType::xtHTML, "HTML", "HTML Documents (*.html)|*.HTML"},
        {ExportType::xtExcel, "XLS", "Excel Files (*.xls)|*.XLS"},
        {ExportType::xtWord, "DOC", "Word Documents (*.doc)|*.DOC"},
        {ExportType::xtTXT, "TXT", "Text Files (*.txt)|*.TXT"},
        {ExportType::xtCSV, "CSV", "CSV (Comma delimited) (*.csv)|*.CSV"},
        {ExportType::xtTAB, "TXT", "Text (Tab delimited) (*.txt)|*.TXT"},
        {ExportType::xtRTF, "RTF", "Rich Text Format (*.rtf)|*.RTF"},
        {ExportType::xtDIF, "DIF", "Data Interchange Format (*.dif)|*.DIF"},
        {ExportType::xtSYLK, "SLK", "SYLK Files (*.slk)|*.SLK"},
        {ExportType::xtClipboard, "TMP", ""},
    };
    FakeExport e;
    for (const Case& c : cases) {
        e.setExportType(c.type);
        EXPECT_EQ(e.defaultExtension(), c.extension);
        EXPECT_EQ(e.saveDialogFilter(), c.filter);
    }
    e.setExportType(ExportType::xtHTML);
    e.html().extension = HtmlExtension::exHTM;
    EXPECT_EQ(e.defaultExtension(), "HTM");
}

TEST(Component, ColumnWidthReadsWholeIntegers) {
    FakeExport e;
    e.setColumnWidths({"12", "ab", "", "7x", "-3", "+4"});
    EXPECT_EQ(e.columnWidth(0, 5), 12);
    EXPECT_EQ(e.columnWidth(1, 5), 5);
    EXPECT_EQ(e.columnWidth(2, 5), 5);
    EXPECT_EQ(e.columnWidth(3, 5), 5);
    EXPECT_EQ(e.columnWidth(4, 5), -3);
    EXPECT_EQ(e.columnWidth(5, 5), 4);
    EXPECT_EQ(e.columnWidth(6, 5), 5);
    EXPECT_EQ(e.columnWidth(-1, 5), 5);
}

TEST(Component, CellText) {
    FakeExport e;
    EXPECT_EQ(e.cellText(Variant{}, 0), "** NULL **");
    EXPECT_EQ(e.cellText(std::string("abcdefghi"), 5), "abcdefghi"); // no xoTruncate
    e.setOptions({ExportOption::xoTruncate});
    EXPECT_EQ(e.cellText(std::string("abcdefghi"), 5), "ab...");
    EXPECT_EQ(e.cellText(std::string("abcdefghi"), 2), "...");
    EXPECT_EQ(e.cellText(std::string("abcdefghi"), 0), "abcdefghi");
    EXPECT_EQ(e.cellText(std::string("abcdefghi"), -1), "abcdefghi");
    EXPECT_EQ(e.cellText(Variant{}, 4), "*...");
    EXPECT_EQ(e.cellText(std::int64_t{-42}, 0), "-42");
    EXPECT_EQ(e.cellText(2.5, 0), "2.5");
    EXPECT_EQ(e.cellText(0.1 + 0.2, 0), "0.3");
    EXPECT_EQ(e.cellText(1e20, 0), "1E20");
    EXPECT_EQ(e.cellText(engine::Currency{-123450}, 0), "-12.345");
    EXPECT_EQ(e.cellText(engine::Date{2003, 12, 24}, 0), "24.12.2003");
    EXPECT_EQ(e.cellText(true, 0), "True");
    EXPECT_THROW(e.cellText(engine::Bytes{1, 2}, 0), Error);
}

TEST(Component, RowNumberTextAndWidth) {
    FakeExport e({{"A", 1}});
    for (int i = 0; i < 1234; ++i)
        e.rows.push_back({std::string("x")});
    FakeHost host;
    e.setOptions({ExportOption::xoRowNumbers});
    const std::string txt = exportToBytes(e, ExportType::xtTXT, &host);
    EXPECT_EQ(txt.substr(0, 6), "   1 x");
    ASSERT_TRUE(e.setRowNumberFormat("No.%d"));
    EXPECT_EQ(exportToBytes(e, ExportType::xtTAB, &host).substr(0, 7), "No.1\tx\r");
    // A format with another directive falls back to "%d" for the text and the width.
    ASSERT_TRUE(e.setRowNumberFormat("%d of %s"));
    EXPECT_EQ(exportToBytes(e, ExportType::xtTXT, &host).substr(0, 6), "   1 x");
}

TEST(TextFormat, IntegerAndStringDirectives) {
    EXPECT_EQ(formatInteger("%d", 7), "7");
    EXPECT_EQ(formatInteger("[%5d]", 42), "[   42]");
    EXPECT_EQ(formatInteger("[%-5d]", 42), "[42   ]");
    EXPECT_EQ(formatInteger("%.3d", 7), "007");
    EXPECT_EQ(formatInteger("%x", 255), "FF");
    EXPECT_EQ(formatInteger("%0:d%%", 9), "9%");
    for (const char* bad : {"%d %d", "%s", "%", "100% %d", "%1:d", "%f"})
        EXPECT_THROW(formatInteger(bad, 1), Error) << bad;
    EXPECT_EQ(formatString("Created: %s", "D"), "Created: D");
    for (const char* bad : {"%d", "100% %s", "%s %s"})
        EXPECT_THROW(formatString(bad, "x"), Error) << bad;
}

TEST(TextFormat, DateTimePatternsSizeTheSampleMoment) {
    const engine::DateTime sample{{1999, 12, 12}, ((12 * 60 + 12) * 60 + 12) * 1000 + 12};
    struct Case {
        const char* pattern;
        const char* text;
    };
    const Case cases[] = {
        {"dd.MM.yyyy", "12.12.1999"},
        {"h:mm", "12:12"},
        {"h:mm dd.MM.yyyy", "12:12 12.12.1999"},
        {"d/m/yy", "12.12.99"},
        {"dddd, mmmm d", "Sunday, December 12"},
        {"ddd mmm", "Sun Dec"},
        {"hh:nn:ss.zzz", "12:12:12.012"},
        {"h:mm am/pm", "12:12 pm"},
        {"'at' hh 'o''clock'", "at 12 oclock"},
        {"c", "12.12.1999 12:12:12"},
        {"ddddd", "12.12.1999"},
        {"tt", "12:12:12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatDateTime(c.pattern, sample), c.text) << c.pattern;
    const engine::DateTime morning{{2024, 3, 5}, (9 * 60 + 5) * 60 * 1000};
    EXPECT_EQ(formatDateTime("d.m h:nn AMPM", morning), "5.3 9:05 AM");
}

TEST(Strings, ColoursAreReadFromTheirTexts) {
    EXPECT_EQ(colorFromText("$00FFFFCF"), 0x00FFFFCFu);
    EXPECT_EQ(colorFromText("$80000008"), 0x80000008u);
    EXPECT_THROW(colorFromText("00FFFFCF"), Error);
    EXPECT_THROW(colorFromText("$00GG0000"), Error);
}

} // namespace
} // namespace tabvue::exporter
