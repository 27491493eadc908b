// The printed grid: page settings, pagination, and the report rendered to PDF and read back
// with pdftotext / pdfinfo.
#include <QHeaderView>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/table.h"
#include "table/dbf_fixture.h"
#include "table/filter_builder.h"
#include "table/print_report.h"
#include "table/table_window.h"

using namespace tabvue::gui;

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct Pdf {
    int pages = 0;
    QString info;
    QStringList pageTexts;
};

// Prints the report into a PDF file and reads it back.
Pdf printToPdf(GridReport& report, const QString& file) {
    QPrinter printer(QPrinter::HighResolution);
    configureReportPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    Pdf pdf;
    if (!report.print(printer))
        return pdf;
    pdf.info = run("pdfinfo", {file});
    const QRegularExpressionMatch m = QRegularExpression("Pages:\\s+(\\d+)").match(pdf.info);
    pdf.pages = m.hasMatch() ? m.captured(1).toInt() : -1;
    pdf.pageTexts = run("pdftotext", {"-layout", file, "-"}).split('\f');
    if (!pdf.pageTexts.isEmpty() && pdf.pageTexts.last().trimmed().isEmpty())
        pdf.pageTexts.removeLast();
    return pdf;
}

QString name(int i) { return QStringLiteral("Name%1").arg(i, 4, 10, QLatin1Char('0')); }

} // namespace

class PrintReportTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path_;
    static constexpr int kRecords = 130;

    std::unique_ptr<TableWindow> openWindow() {
        auto w = std::make_unique<TableWindow>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        if (!w->openTable(path_))
            return nullptr;
        return w;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("poppler-utils are not installed");
        path_ = dir_.filePath("report.dbf");
        std::vector<tabvue::testing::Row> rows;
        for (int i = 1; i <= kRecords; ++i)
            rows.push_back({{std::to_string(i), name(i).toStdString(), i % 2 ? "Odd" : "Even",
                             "NOTE" + std::to_string(i)}, i == 7});
        QVERIFY(tabvue::testing::writeDbf(path_, {{"ID", 'N', 4}, {"NAME", 'C', 12}, {"KIND", 'C', 6}, {"NOTE", 'C', 10}},
                                          rows));
    }

    void pageSettings() {
        const QPageLayout layout = reportPageLayout();
        QCOMPARE(layout.pageSize().id(), QPageSize::Letter);
        QCOMPARE(layout.orientation(), QPageLayout::Portrait);
        QCOMPARE(layout.units(), QPageLayout::Millimeter);
        QCOMPARE(layout.margins(), QMarginsF(12.7, 12.7, 12.7, 12.7));
        const QSizeF mm = layout.fullRect(QPageLayout::Millimeter).size();
        QVERIFY(qAbs(mm.width() - 215.9) < 0.1 && qAbs(mm.height() - 279.4) < 0.1);
        QPrinter printer;
        configureReportPrinter(printer);
        QCOMPARE(printer.docName(), QStringLiteral("printgrig"));
    }

    void pagination() {
        // rows, body height, caption height, row height -> rows per page, pages
        const struct { std::int64_t rows; double body, caption, row; int perPage, pages; } cases[] = {
            {0, 720, 15, 15, 47, 1},
            {1, 720, 15, 15, 47, 1},
            {47, 720, 15, 15, 47, 1},
            {48, 720, 15, 15, 47, 2},
            {1000000, 720, 15, 15, 47, 21277},
            {5, 10, 15, 15, 1, 5}, // a page too small for a row still takes one
        };
        for (const auto& c : cases) {
            const ReportPagination p = paginateReport(c.rows, c.body, c.caption, c.row);
            QCOMPARE(p.rowsPerPage, c.perPage);
            QCOMPARE(p.pageCount, c.pages);
        }
    }

    void columnsFillThePrintableWidth() {
        const std::vector<double> w = fitColumnWidths({10, 30, 60}, 540);
        QCOMPARE(w, (std::vector<double>{54, 162, 324}));
        const std::vector<double> wide = fitColumnWidths({400, 400}, 540); // narrowed as well
        QCOMPARE(wide, (std::vector<double>{270, 270}));
        QCOMPARE(fitColumnWidths({0, 0}, 100), (std::vector<double>{50, 50}));
        // Narrow columns keep their width; the wide ones share the rest.
        QCOMPARE(fitColumnWidths({50, 500, 50, 400}, 400), (std::vector<double>{50, 150, 50, 150}));
        QCOMPARE(fitColumnWidths({100, 100, 100}, 150), (std::vector<double>{50, 50, 50}));
        QVERIFY(fitColumnWidths({}, 100).empty());
    }

    void everyRecordOverSeveralPages() {
        auto w = openWindow();
        QVERIFY(w);
        GridReport report(&w->table(), w->visibleFields(), w->windowTitle());
        QCOMPARE(report.rowCount(), std::int64_t(kRecords - 1)); // record 7 is deleted
        const Pdf pdf = printToPdf(report, dir_.filePath("all.pdf"));
        QVERIFY2(pdf.pages >= 3, qPrintable(pdf.info));
        QCOMPARE(pdf.pages, report.pageCount());
        QCOMPARE(report.pageCount(), int((kRecords - 1 + report.rowsPerPage() - 1) / report.rowsPerPage()));
        QVERIFY(pdf.info.contains("letter") || pdf.info.contains("612 x 792"));
        QVERIFY(pdf.info.contains("printgrig"));
        QCOMPARE(pdf.pageTexts.size(), pdf.pages);
        const QString all = pdf.pageTexts.join('\n');
        for (int i = 1; i <= kRecords; ++i)
            QVERIFY2(all.contains(name(i)) == (i != 7), qPrintable(name(i)));
        for (int p = 0; p < pdf.pages; ++p) {
            const QString& page = pdf.pageTexts[p];
            QVERIFY2(QRegularExpression("ID\\s+NAME\\s+KIND\\s+NOTE").match(page).hasMatch(), qPrintable(page.left(300)));
            QVERIFY(page.contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pdf.pages)));
        }
        // Rows run on from one page to the next in view order.
        QVERIFY(pdf.pageTexts[0].contains(name(1)));
        QVERIFY(pdf.pageTexts.last().contains(name(kRecords)));
    }

    void filterAndHiddenColumnsRespected() {
        auto w = openWindow();
        QVERIFY(w);
        w->dbviewDataControllerFilterBeforeChange("(KIND = 'Odd') AND (ID > 100)");
        w->grid()->setColumnHidden(w->table().fieldIndex("NOTE"), true);
        GridReport report(&w->table(), w->visibleFields(), w->windowTitle());
        const Pdf pdf = printToPdf(report, dir_.filePath("filtered.pdf"));
        QCOMPARE(pdf.pages, 1);
        const QString page = pdf.pageTexts.value(0);
        for (int i = 1; i <= kRecords; ++i)
            QVERIFY2(page.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(name(i)))) == (i % 2 && i > 100),
                     qPrintable(name(i)));
        QVERIFY(!page.contains("NOTE"));
        QVERIFY(page.contains("KIND"));
    }

    void previewPaintsOnlyThePagesInView() {
        const QString path = dir_.filePath("long.dbf");
        std::vector<tabvue::testing::Row> rows(20000, tabvue::testing::Row{{"x"}});
        QVERIFY(tabvue::testing::writeDbf(path, {{"X", 'C', 2}}, rows));
        tabvue::engine::Table table;
        table.open(path.toStdString());
        GridReport report(&table, {0}, "long");
        QPrinter printer;
        configureReportPrinter(printer);
        ReportPreviewDialog preview(report, printer);
        preview.resize(600, 800);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.grab();
        QVERIFY(report.pageCount() > 400);
        QCOMPARE(preview.currentPage(), 1);
        QVERIFY(report.paintedPages() > 0);
        QVERIFY2(report.paintedPages() <= 6, qPrintable(QString::number(report.paintedPages())));
        preview.showPage(report.pageCount());
        preview.grab();
        QCOMPARE(preview.currentPage(), report.pageCount());
        QVERIFY(report.paintedPages() <= 12);
        // A page range set in the print dialog prints only those pages.
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir_.filePath("range.pdf"));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        QVERIFY(report.print(printer));
        QVERIFY(run("pdfinfo", {dir_.filePath("range.pdf")}).contains(QRegularExpression("Pages:\\s+2\\n")));
    }

    void emptyWindowGivesAnEmptyReport() {
        TableWindow w;
        GridReport report(&w.table(), w.visibleFields(), w.windowTitle());
        QCOMPARE(report.rowCount(), std::int64_t(0));
        const Pdf pdf = printToPdf(report, dir_.filePath("empty.pdf"));
        QCOMPARE(pdf.pages, 1);
        QVERIFY(pdf.pageTexts.join("").trimmed().isEmpty());
        GridReport none(nullptr, {}, QString());
        QCOMPARE(printToPdf(none, dir_.filePath("none.pdf")).pages, 1);
    }
};

QTEST_MAIN(PrintReportTest)
#include "print_report_test.moc"
