// Setting the component's properties by name, as `tabvue-cli export --set` does.
#include <gtest/gtest.h>

#include "engine/error.h"
#include "export/property_table.h"
#include "fake_export.h"

namespace tabvue::exporter {
namespace {

using namespace testing;

TEST(PropertyTable, EveryPropertyReadsBackWhatItTakes) {
    FakeExport e;
    const std::vector<std::string> names = propertyNames();
    EXPECT_GT(names.size(), 100u);
    for (const std::string& name : names) {
        const std::string before = getProperty(e, name);
        EXPECT_NO_THROW(setProperty(e, name + "=" + before)) << name;
        EXPECT_EQ(getProperty(e, name), before) << name;
    }
}

TEST(PropertyTable, AssignmentsByKind) {
    FakeExport e;
    const struct {
        const char* assignment;
        const char* property;
        const char* value;
    } cases[] = {
        {"Options=xoShowHeader,xoRowNumbers", "Options", "xoRowNumbers,xoShowHeader"},
        {"options+=xoTruncate", "OPTIONS", "xoRowNumbers,xoShowHeader,xoTruncate"},
        {"Options-=xoShowHeader", "Options", "xoRowNumbers,xoTruncate"},
        {"Options=1261", "Options",
         "xoClipboardMessage,xoFooterLine,xoHeaderLine,xoShowExportDate,xoShowHeader,xoShowProgress,xoUseAlignments"},
        {"Options=[]", "Options", ""},
        {"ColumnWidths=8,12", "ColumnWidths", "8,12"},
        {"ColumnWidths+=3", "ColumnWidths", "8,12,3"},
        {"Captions=A\\,B,C", "Captions", "A\\,B,C"},
        {"Captions=", "Captions", ""},
        {"ExportType=xtCSV", "ExportType", "xtCSV"},
        {"ExportTypes=xtHTML", "ExportTypes", "xtHTML,xtCSV"}, // the current type stays offered
        {"ExportStyle=xsFile", "ExportStyle", "xsFile"},
        {"RowNumberFormat=No. %d", "RowNumberFormat", "No. %d"},
        {"HTML.Template=ctGray", "html.template", "ctGray"},
        {"HTML.CustomColors.TableBackground=$00ABCDEF", "HTML.CustomColors.TableBackground", "$00ABCDEF"},
        {"HTML.CustomColors.Background=255", "HTML.CustomColors.Background", "$000000FF"},
        {"HTML.Options-=hoAutoLink", "HTML.Options", "hoShowGridLines,hoBoldHeaders,hoOddRowColoring,hoDisplayTitle"},
        {"EXCEL.ExcelVersion=xls21", "EXCEL.ExcelVersion", "xls21"},
        {"EXCEL.Protected=true", "EXCEL.Protected", "true"},
        {"EXCEL.LeftMargin=0.75", "EXCEL.LeftMargin", "0.75"},
        {"EXCEL.HeaderFont.Style=fsItalic,fsUnderline", "EXCEL.HeaderFont.Style", "fsItalic,fsUnderline"},
        {"EXCEL.TableFont.Size=10", "EXCEL.TableFont.Height", "-13"},
        {"DOC_RTF.CellWidth=1000", "DOC_RTF.CellWidth", "1000"},
        {"DOC_RTF.CustomSettings.DefaultFont.Name=Arial", "DOC_RTF.CustomSettings.DefaultFont.Name", "Arial"},
        {"Messages.CreatedText=Made on", "Messages.CreatedText", "Made on"},
        {"Messages.DocumentFilter.Comma=Comma text", "Messages.DocumentFilter.Comma", "Comma text"},
        {"Messages.Width=400", "Messages.Width", "400"},
        {"Version=9.99", "Version", "2.37"},
        {"TempDir=/tmp/x/", "TempDir", "/tmp/x/"},
    };
    for (const auto& c : cases) {
        ASSERT_NO_THROW(setProperty(e, c.assignment)) << c.assignment;
        EXPECT_EQ(getProperty(e, c.property), c.value) << c.assignment;
    }
    EXPECT_EQ(e.captions(), (std::vector<std::string>{}));
    EXPECT_EQ(e.excel().tableFont.size(), 10);
}

TEST(PropertyTable, RefusalsNameTheProblem) {
    FakeExport e;
    const struct {
        const char* assignment;
        const char* message;
    } cases[] = {
        {"Nothing=1", "Unknown export property: Nothing"},
        {"Options=xoBogus", "xoBogus"},
        {"Options=99999", "bits"},
        {"ExportType=csv", "one of xtHTML"},
        {"ExportType+=xtCSV", "Only '='"},
        {"DOC_RTF.CellWidth=wide", "DOC_RTF.CellWidth"},
        {"DOC_RTF.CellWidth=99999999999", "DOC_RTF.CellWidth"},
        {"EXCEL.Protected=maybe", "true or false"},
        {"EXCEL.TopMargin=1,5", "a number"},
        {"HTML.CustomColors.Background=red", "colour"},
        {"RowNumberFormat=%D", "%d string"},
        {"Captions-=A", "Only '=' and '+='"},
        {"novalue", "NAME=VALUE"},
        {"=x", "NAME=VALUE"},
    };
    for (const auto& c : cases) {
        try {
            setProperty(e, c.assignment);
            ADD_FAILURE() << "taken: " << c.assignment;
        } catch (const Error& err) {
            EXPECT_NE(std::string(err.what()).find(c.message), std::string::npos) << c.assignment << ": " << err.what();
        }
    }
    EXPECT_EQ(e.rowNumberFormat(), "%d");
    EXPECT_EQ(e.options(), DefaultExportOptions);
}

} // namespace
} // namespace tabvue::exporter
