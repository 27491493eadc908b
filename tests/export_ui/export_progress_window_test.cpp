// The progress window's layout and the Qt export host, offscreen.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include "export/fake_source.h"
#include "export/format_selection.h"
#include "export/ui/export_progress_window.h"
#include "export/ui/format_selection_dialog.h"
#include "export/ui/qt_export_host.h"

using namespace tabvue::exporter;
using tabvue::exporter::testing::FakeExport;

class ExportProgressWindowTest : public QObject {
    Q_OBJECT
private slots:
    void layoutArithmetic() {
        // Outer 80 high with a 26-pixel frame: client 54; label 13, bar 16.
        ProgressLayout withText = progressLayout(80, 294, 54, 13, 16, true);
        QCOMPARE(withText.barLeft, 8);
        QCOMPARE(withText.barWidth, 278);
        QCOMPARE(withText.barTop, 26 + (54 - 13 - 16 - 16) / 2);
        ProgressLayout bare = progressLayout(80, 294, 54, 13, 16, false);
        QCOMPARE(bare.barTop, (80 - 16 - 16) / 2);
        QVERIFY(!bare.showLabel);
        // Halving drops the fraction toward zero, also below zero.
        QCOMPARE(progressLayout(20, 100, 15, 13, 16, true).barTop, 5 + (15 - 13 - 16 - 16) / 2);
    }

    void windowForOneRun() {
        ExportProgressWindow w;
        QCOMPARE(w.objectName(), QString("frm_ProgressForm"));
        ProgressRequest r;
        r.caption = "Exporting DataSet";
        r.text = "Processing...";
        r.width = 300;
        r.height = 80;
        r.total = 1234;
        w.start(r);
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), QString("Exporting DataSet"));
        QCOMPARE(w.ProgressLabel->text(), QString("Processing..."));
        QCOMPARE(w.ProgressLabel->pos(), QPoint(8, 8));
        QCOMPARE(w.ProgressBar->x(), 8);
        QCOMPARE(w.ProgressBar->width(), w.width() - 16);
        QCOMPARE(w.ProgressBar->height(), 16);
        QVERIFY(w.ProgressBar->y() >= w.ProgressLabel->geometry().bottom());
        QVERIFY(w.ProgressBar->geometry().bottom() < w.height());
        QCOMPARE(w.ProgressBar->maximum(), 1234);
        QCOMPARE(w.ProgressBar->value(), 0);
        w.setPosition(17);
        QCOMPARE(w.ProgressBar->value(), 17);
        w.finish();
        QVERIFY(!w.isVisible());

        r.text.clear();
        w.start(r);
        QVERIFY(!w.ProgressLabel->isVisible());
        const int frameHeight = 80 - w.height();
        QCOMPARE(w.ProgressBar->y(), (frameHeight + (w.height() - 16 - 16)) / 2);
        QCOMPARE(w.ProgressBar->value(), 0);
    }

    void hostNameFilterAndClipboard() {
        QCOMPARE(QtExportHost::qtNameFilter("Excel Files (*.xls)|*.XLS"), QString("Excel Files (*.xls *.XLS)"));
        QtExportHost host(nullptr);
        host.setClipboardText(std::string_view("caf\xE9\r\nB\0rest", 12));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("caf\xC3\xA9\r\nB"));
        QVERIFY(host.pixelsPerInch() > 0);
    }

    void runThroughTheHost() {
        FakeExport e({{"NAME", 4}}, {{std::string("Ann")}, {std::string("Bob")}});
        e.setOptions({ExportOption::xoShowProgress, ExportOption::xoShowHeader});
        QtExportHost host(nullptr);
        QTimer::singleShot(0, [&] {
            host.selectionDialog().SelectionCombo->setCurrentText("Clipboard");
            host.selectionDialog().btn_Selection->click();
        });
        std::vector<ExportError> errors;
        e.onError = [&](CustomExport&, ExportError err) { errors.push_back(err); };
        e.execute(host);
        QVERIFY(errors.empty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("NAME\r\nAnn \r\nBob \r\n"));
        QVERIFY(!host.progressWindow().isVisible());
        QCOMPARE(host.progressWindow().ProgressBar->maximum(), 2);
    }
};

QTEST_MAIN(ExportProgressWindowTest)
#include "export_progress_window_test.moc"
