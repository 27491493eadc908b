#include <QDirIterator>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/table.h"
#include "table/dbf_fixture.h"
#include "table/grid_model.h"
#include "table/messages.h"
#include "table/table_window.h"

using namespace tabvue;
using namespace tabvue::gui;
using namespace tabvue::testing;

namespace {

struct FakeHost : TableWindowHost {
    QList<bool> checks;
    QList<int> selected;
    int destroyed = 0;
    void setCodePageChecks(bool oem) override { checks.append(oem); }
    void selectTabById(int id) override { selected.append(id); }
    void tableWindowDestroyed(TableWindow&) override { ++destroyed; }
};

} // namespace

class TableWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList messages_;
    int serial_ = 0;

    QString freshTable() {
        const QString path = dir_.filePath(QStringLiteral("t%1.dbf").arg(++serial_));
        writeTable(path, peopleSpec());
        return path;
    }

private slots:
    void initTestCase() {
        setMessageHook([this](const QString& text) { messages_.append(text); });
    }
    void init() { messages_.clear(); }

    void opensWithColumnsStatusAndOem() {
        FakeHost host;
        {
            TableWindow window(&host);
            const QString path = freshTable();
            QVERIFY(window.openTable(path));
            QCOMPARE(window.findChild<QTableView*>("dbview"), window.grid());
            QVERIFY(window.findChild<QWidget*>("dbdbf"));
            QCOMPARE(window.findChild<QStatusBar*>("stat"), window.statusBar());
            QCOMPARE(window.statusText(), QStringLiteral("Row count: [3]"));
            QVERIFY(window.table().oemTranslate());
            QCOMPARE(host.checks, QList<bool>{true});
            QCOMPARE(window.visibleFields(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
            QCOMPARE(window.grid()->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("NOTES"));
            QVERIFY(window.grid()->columnWidth(0) > 0);
            QVERIFY(!window.grid()->isSortingEnabled());
            // Hidden and moved columns: visible fields in display order.
            window.grid()->setColumnHidden(1, true);
            window.grid()->horizontalHeader()->moveSection(5, 0);
            QCOMPARE(window.visibleFields(), (std::vector<int>{5, 0, 2, 3, 4}));
            // The status text is written at open only.
            window.model()->deleteRow(1);
            QCOMPARE(window.statusText(), QStringLiteral("Row count: [3]"));
            window.formActivate();
            QCOMPARE(host.checks.last(), true);
            QCOMPARE(host.selected, QList<int>{-1});
        }
        QCOMPARE(host.destroyed, 1);
        QVERIFY(messages_.isEmpty());
    }

    void openFailureShowsItsMessageAndKeepsTheWindow() {
        const QString path = dir_.filePath("not_a_table.dbf");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is plain text, not a table");
        f.close();
        FakeHost host;
        TableWindow window(&host);
        QVERIFY(!window.openTable(path));
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_.first().startsWith("Unable to open table: "), qPrintable(messages_.first()));
        QVERIFY(!window.table().isOpen());
        QCOMPARE(window.model()->columnCount(), 0);
        QVERIFY(host.checks.isEmpty()); // the steps after the failing one are not done
        QCOMPARE(window.statusText(), QString());
    }

    void cellEditorCommitsAndEscapeCancels() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTableView* grid = window.grid();
        const QModelIndex cell = window.model()->index(1, 0);

        grid->setCurrentIndex(cell);
        grid->edit(cell);
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "Zed");
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        auto nameOnFile = [&] {
            engine::Table other;
            other.open(path.toStdString());
            return other.displayText(1, 0);
        };
        QCOMPARE(nameOnFile(), std::string("Alice"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed editor goes

        grid->edit(cell);
        editor = grid->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "Zed");
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(nameOnFile(), std::string("Zed"));
        QVERIFY(messages_.isEmpty());
    }

    void memoEditorTakesLinesAndCommitsOnCtrlEnter() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QModelIndex cell = window.model()->index(2, 5); // Bob has no notes
        window.grid()->setCurrentIndex(cell);
        window.grid()->edit(cell);
        auto* editor = window.grid()->viewport()->findChild<QPlainTextEdit*>("memoEditor");
        QVERIFY(editor);
        QVERIFY(editor->height() > window.grid()->rowHeight(2) * 3); // room for several lines
        QTest::keyClicks(editor, "line one");
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, "line two");
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();
        engine::Table other;
        other.open(path.toStdString());
        QCOMPARE(other.memoText(2, 5), std::string("line one\r\nline two"));
        QCOMPARE(window.model()->index(2, 5).data().toString(), QStringLiteral("line one\u2026"));
    }

    void columnMenuShowsAndHidesColumns() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        QMenu menu;
        window.fillColumnMenu(menu);
        QCOMPARE(menu.actions().size(), 6);
        QCOMPARE(menu.actions().at(1)->text(), QStringLiteral("AGE"));
        menu.actions().at(1)->trigger();
        QCOMPARE(window.visibleFields(), (std::vector<int>{0, 2, 3, 4, 5}));
        menu.actions().at(1)->trigger();
        QCOMPARE(window.visibleFields(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
        QVERIFY(window.grid()->columnWidth(1) > 0);
        // The last visible column stays.
        for (int c = 1; c < 6; ++c)
            window.grid()->setColumnHidden(c, true);
        QMenu last;
        window.fillColumnMenu(last);
        QVERIFY(!last.actions().at(0)->isEnabled());
        QVERIFY(last.actions().at(1)->isEnabled());
    }

    // Every table of the corpus opens into a window whose first screen reads, or fails with a
    // message; none crashes or leaves the window unusable.
    void corpusTablesOpenOrExplain() {
        const QString corpus = QStringLiteral(TABVUE_SHARED_DIR "/corpus/dbf");
        if (!QDir(corpus).exists())
            QSKIP("the DBF corpus is not present");
        QDirIterator it(corpus, {"*.dbf", "*.DBF"}, QDir::Files, QDirIterator::Subdirectories);
        int opened = 0, refused = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            messages_.clear();
            TableWindow window;
            if (window.openTable(path)) {
                ++opened;
                QVERIFY2(messages_.isEmpty(), qPrintable(path));
                QVERIFY2(window.statusText().startsWith("Row count: ["), qPrintable(path));
                GridModel* model = window.model();
                const int rows = std::min(model->rowCount(), 40);
                for (int r = 0; r < rows; ++r)
                    for (int c = 0; c < model->columnCount(); ++c) {
                        model->index(r, c).data(Qt::DisplayRole);
                        model->index(r, c).data(Qt::CheckStateRole);
                    }
            } else {
                ++refused;
                QCOMPARE(messages_.size(), 1);
                QVERIFY2(!messages_.first().isEmpty(), qPrintable(path));
            }
        }
        qInfo("corpus: %d opened, %d refused with a message", opened, refused);
        QVERIFY(opened > 200);
    }

    void secondWindowOnTheFileShowsEditsWhenActivated() {
        const QString path = freshTable();
        TableWindow a, b;
        QVERIFY(a.openTable(path));
        QVERIFY(b.openTable(path));
        QCOMPARE(b.model()->index(3, 0).data().toString(), QStringLiteral("Carol"));
        QVERIFY(a.model()->setData(a.model()->index(3, 0), QStringLiteral("Caroline")));
        QVERIFY(a.model()->setData(a.model()->index(0, 0), QStringLiteral("Eve"))); // appended
        b.formActivate();
        QCOMPARE(b.model()->index(3, 0).data().toString(), QStringLiteral("Caroline"));
        QCOMPARE(b.model()->rowCount(), 5);
        QCOMPARE(b.model()->index(4, 0).data().toString(), QStringLiteral("Eve"));
    }

    void fileCutShortByAnotherProgram() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const qint64 header = 32 + 32 * 6 + 1;
        QVERIFY(QFile::resize(path, header + window.table().recordLength() + 5)); // one record and a piece
        window.formActivate();
        QCoreApplication::processEvents();
        QCOMPARE(window.model()->rowCount(), 2);
        QCOMPARE(window.model()->index(1, 0).data().toString(), QStringLiteral("Alice"));
        QVERIFY(!window.model()->index(2, 0).isValid());
    }

    void refusedCellShowsTheEngineMessage() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        const QByteArray before = fileBytes(path);
        QVERIFY(!window.model()->setData(window.model()->index(1, 1), QStringLiteral("x1")));
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(fileBytes(path), before);
    }

    void ctrlDeleteDeletesWithoutAsking() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.grid()->setFocus();
        window.grid()->setCurrentIndex(window.model()->index(2, 0));
        QTest::keyClick(window.grid(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(window.model()->rowCount(), 3);
        QVERIFY(window.table().isDeleted(2));
        QVERIFY(messages_.isEmpty());
        // The new-item row has no record to delete.
        window.grid()->setCurrentIndex(window.model()->index(0, 0));
        QVERIFY(!window.deleteFocusedRecord());
        QCOMPARE(window.model()->rowCount(), 3);
    }

    void saveCopyWritesACopyAndRefusesItself() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        const QString copy = dir_.filePath("copy.dbf");
        window.saveCopy(copy);
        engine::Table other;
        other.open(copy.toStdString());
        QCOMPARE(other.recCount(), 3u);
        QCOMPARE(other.memoText(1, 5), std::string("first line\r\nsecond line"));
        QCOMPARE(QString::fromStdString(window.table().path()), QFileInfo(path).absoluteFilePath());

        const QByteArray before = fileBytes(path);
        const QString link = dir_.filePath("link.dbf");
        QVERIFY(QFile::link(path, link));
        for (const QString& self : {path, link, dir_.path() + "/./" + QFileInfo(path).fileName()}) {
            bool refused = false;
            try {
                window.saveCopy(self);
            } catch (const Error&) {
                refused = true;
            }
            QVERIFY2(refused, qPrintable(self));
        }
        QCOMPARE(fileBytes(path), before);
        QVERIFY(window.table().isOpen());

        // A copy that cannot be written says so.
        bool failed = false;
        try {
            window.saveCopy(dir_.filePath("no/such/folder/x.dbf"));
        } catch (const Error&) {
            failed = true;
        }
        QVERIFY(failed);

        // Without a table Save As does nothing.
        TableWindow empty;
        empty.saveCopy(dir_.filePath("nothing.dbf"));
        QVERIFY(!QFile::exists(dir_.filePath("nothing.dbf")));
    }

    void filterHandlerInstallsAndRefuses() {
        const QString path = freshTable();
        TableWindow window;
        QVERIFY(window.openTable(path));
        window.dbviewDataControllerFilterBeforeChange(QStringLiteral("AGE > 30"));
        QVERIFY(window.table().filtered());
        QCOMPARE(window.model()->rowCount(), 3);
        QCOMPARE(window.model()->index(2, 0).data().toString(), QStringLiteral("Bob"));
        bool refused = false;
        try {
            window.dbviewDataControllerFilterBeforeChange(QStringLiteral("AGE >"));
        } catch (const Error& e) {
            refused = true;
            QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Invalid Query Expression")));
        }
        QVERIFY(refused);
        window.dbviewDataControllerFilterBeforeChange(QString());
        QCOMPARE(window.model()->rowCount(), 4);
    }
};

QTEST_MAIN(TableWindowTest)
#include "table_window_test.moc"
