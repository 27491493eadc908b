#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "app/about_box.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "engine/table.h"
#include "export/custom_export.h"
#include "export/dataset_export.h"
#include "export/export_host.h"
#include "table/dbf_fixture.h"
#include "table/messages.h"

using namespace tabvue;
using namespace tabvue::gui;
using namespace tabvue::testing;

namespace {

// The desktop side of an export without windows: picks CSV to a file, names the target.
struct FakeExportHost : exporter::ExportHost {
    std::string target;
    QStringList errors;
    bool selectFormat(exporter::CustomExport& c) override {
        c.setExportType(exporter::ExportType::xtCSV);
        c.setExportStyle(exporter::ExportStyle::xsFile);
        return true;
    }
    std::optional<std::string> saveFileName(const exporter::SaveDialogRequest&) override { return target; }
    void showError(const std::string& m) override { errors << QString::fromStdString(m); }
    void showInformation(const std::string&) override {}
    void setClipboardText(std::string_view) override {}
    void openDocument(const std::string&) override {}
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList messages_;
    QString tableA_, tableB_;

    static QAction* action(MainWindow& w, const char* name) { return w.findChild<QAction*>(name); }

    static void closeDeferred() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    static QList<int> tags(MainWindow& w) {
        QList<int> result;
        for (TableWindow* t : w.tableWindows())
            result.append(t->tag());
        return result;
    }
    static QList<int> tabIds(MainWindow& w) {
        QList<int> result;
        for (int i = 0; i < w.tabBar()->count(); ++i)
            result.append(w.tabBar()->tabData(i).toInt());
        return result;
    }
    static bool tableCommandsEnabled(MainWindow& w) {
        bool all = true, any = false;
        for (const char* name : {"actfilter", "acprop", "acexport", "actprint", "FileSave1"}) {
            all = all && action(w, name)->isEnabled();
            any = any || action(w, name)->isEnabled();
        }
        const bool menu = w.findChild<QMenu*>("Codepage1")->isEnabled();
        if (all && menu)
            return true;
        if (!any && !menu)
            return false;
        qWarning("table commands are half enabled");
        return any;
    }

private slots:
    void initTestCase() {
        tableA_ = dir_.filePath("alpha.dbf");
        tableB_ = dir_.filePath("beta.dbf");
        writeTable(tableA_, peopleSpec());
        writeTable(tableB_, peopleSpec());
        setMessageHook([this](const QString& text) { messages_.append(text); });
    }
    void init() { messages_.clear(); }

    void startsEmptyWithoutArgument() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCoreApplication::processEvents();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tabvue"));
        QVERIFY(w.tableWindows().isEmpty());
        QCOMPARE(w.tabBar()->count(), 0);
        QCOMPARE(w.findChild<QTabBar*>("tab"), w.tabBar());
        QVERIFY(!tableCommandsEnabled(w));
        QVERIFY(!w.findChild<QAction*>("Property1")->isEnabled()); // the menu's face of acprop
        QVERIFY(!action(w, "FileClose1")->isEnabled());
        QVERIFY(action(w, "Windows12511")->isChecked());
        QVERIFY(!action(w, "DOS8661")->isChecked());
        QVERIFY(action(w, "FileOpen1")->isEnabled());
        QVERIFY(messages_.isEmpty());
    }

    void opensTheArgumentOnceAtFirstActivation() {
        MainWindow w(tableA_);
        QVERIFY(w.tableWindows().isEmpty()); // nothing before the window is shown and activated
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_COMPARE(w.tableWindows().size(), 1);
        TableWindow* t = w.tableWindows().first();
        QVERIFY(t->table().isOpen());
        QVERIFY(t->isMaximized());
        QCOMPARE(t->windowTitle(), tableA_);
        QCOMPARE(w.tabBar()->tabText(0), QStringLiteral("alpha.dbf"));
        QCOMPARE(w.tabBar()->currentIndex(), 0);
        QVERIFY(action(w, "DOS8661")->isChecked());
        // Switching away and back does not open it again.
        QEvent deactivate(QEvent::WindowDeactivate), activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&w, &deactivate);
        QCoreApplication::sendEvent(&w, &activate);
        w.formActivate();
        QTest::qWait(20);
        QCOMPARE(w.tableWindows().size(), 1);
    }

    void sameFileTwiceGivesTwoWindowsAndTabs() {
        MainWindow w;
        w.show();
        w.openTableFile(tableA_);
        w.openTableFile(tableA_);
        QCOMPARE(w.tableWindows().size(), 2);
        QCOMPARE(tabIds(w), (QList<int>{0, 1}));
        QCOMPARE(tags(w), (QList<int>{0, 1}));
        QCOMPARE(w.tabBar()->tabText(1), QStringLiteral("alpha.dbf"));
        QCOMPARE(w.tabBar()->currentIndex(), 1);
        QCOMPARE(w.activeTableWindow(), w.tableWindows().at(1));
        QVERIFY(tableCommandsEnabled(w));
    }

    void closingByTabOrWindowRemovesExactlyItsPair() {
        MainWindow w;
        w.show();
        for (int i = 0; i < 4; ++i)
            w.openTableFile(i % 2 ? tableA_ : tableB_);
        QCOMPARE(tabIds(w), (QList<int>{0, 1, 2, 3}));

        // The tab's own close button.
        QAbstractButton* close = qobject_cast<QAbstractButton*>(w.tabBar()->tabButton(1, QTabBar::RightSide));
        QVERIFY(close);
        close->click();
        QCOMPARE(tags(w), (QList<int>{0, 2, 3}));
        QCOMPARE(tabIds(w), (QList<int>{0, 2, 3}));

        // The window's own close.
        w.tableWindows().at(1)->close();
        closeDeferred();
        QCOMPARE(tags(w), (QList<int>{0, 3}));
        QCOMPARE(tabIds(w), (QList<int>{0, 3}));

        // File > Close closes the active window.
        w.mdiArea()->setActiveSubWindow(w.tableWindows().at(0));
        action(w, "FileClose1")->trigger();
        closeDeferred();
        QCOMPARE(tags(w), (QList<int>{3}));
        QCOMPARE(tabIds(w), (QList<int>{3}));
        QVERIFY(tableCommandsEnabled(w));

        // The last one disables the table commands; a new tab gets a new ID.
        w.tabTabClosing(0);
        QVERIFY(w.tableWindows().isEmpty());
        QCOMPARE(w.tabBar()->count(), 0);
        QVERIFY(!tableCommandsEnabled(w));
        w.openTableFile(tableA_);
        QCOMPARE(tabIds(w), (QList<int>{4}));
        QVERIFY(tableCommandsEnabled(w));
        QVERIFY(messages_.isEmpty());
    }

    void checkMarksFollowTheActiveTable() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TableWindow* a = w.openTableFile(tableA_);
        TableWindow* b = w.openTableFile(tableB_);
        QCOMPARE(w.activeTableWindow(), b);
        action(w, "Windows12511")->trigger();
        QVERIFY(!b->table().oemTranslate());
        QVERIFY(a->table().oemTranslate());
        QVERIFY(action(w, "Windows12511")->isChecked() && !action(w, "DOS8661")->isChecked());

        w.tabBar()->setCurrentIndex(0); // by tab
        QCOMPARE(w.activeTableWindow(), a);
        QVERIFY(action(w, "DOS8661")->isChecked() && !action(w, "Windows12511")->isChecked());

        w.mdiArea()->setActiveSubWindow(b); // by window: the tab follows
        QVERIFY(action(w, "Windows12511")->isChecked() && !action(w, "DOS8661")->isChecked());
        QCOMPARE(w.tabBar()->currentIndex(), 1);

        action(w, "DOS8661")->trigger();
        QVERIFY(b->table().oemTranslate());
        QVERIFY(action(w, "DOS8661")->isChecked() && !action(w, "Windows12511")->isChecked());
    }

    void missingPathGivesAnEmptyWindow() {
        MainWindow w;
        w.show();
        TableWindow* t = w.openTableFile(dir_.filePath("nowhere.dbf"));
        QVERIFY(t);
        QVERIFY(!t->table().isOpen());
        QCOMPARE(w.tabBar()->count(), 1);
        QCOMPARE(t->tag(), 0);
        QVERIFY(tableCommandsEnabled(w));
        QVERIFY(messages_.isEmpty());
        // The table commands still run on the empty window without harm.
        action(w, "Windows12511")->trigger();
        QVERIFY(messages_.isEmpty());
    }

    void fileThatIsNotATableShowsWhyAndKeepsItsWindow() {
        const QString junk = dir_.filePath("junk.dbf");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10, 'x'));
        f.close();
        MainWindow w;
        w.show();
        w.openTableFile(tableA_);
        TableWindow* t = w.openTableFile(junk);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_.first().startsWith("Unable to open table: "), qPrintable(messages_.first()));
        QCOMPARE(w.tableWindows().size(), 2);
        QVERIFY(!t->table().isOpen());
        QCOMPARE(w.tabBar()->count(), 2);
        QCOMPARE(w.tabBar()->currentIndex(), 1);
        QCOMPARE(w.tabBar()->tabText(1), QStringLiteral("junk.dbf"));
    }

    void helpViewerShowsTheOverview() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QString text;
        bool readOnly = false;
        QString title;
        w.runDialog = [&](QDialog& d) -> int {
            if (auto* viewer = qobject_cast<HelpViewer*>(&d)) {
                text = viewer->editor()->toPlainText();
                readOnly = viewer->editor()->isReadOnly();
                title = viewer->windowTitle();
            }
            return 0;
        };
        QTest::keyClick(&w, Qt::Key_F1); // no menu item: the key reaches it
        QVERIFY(readOnly);
        QCOMPARE(title, QStringLiteral("Contents"));
        QVERIFY2(text.contains("Opening tables") && text.contains("Exporting") && text.contains("Printing"),
                 qPrintable(text.left(200)));
        QVERIFY(messages_.isEmpty());
        // The help command is not in the Help menu.
        for (QAction* item : w.findChild<QMenu*>("Help1")->actions())
            QVERIFY(item->objectName() != QStringLiteral("achelp"));
    }

    void missingHelpShowsItsError() {
        MainWindow w;
        int shown = 0;
        w.runDialog = [&](QDialog&) { return ++shown; };
        w.setHelpResource(QStringLiteral(":/RTF/NOSUCHTEXT"));
        action(w, "achelp")->trigger();
        QCOMPARE(shown, 0);
        QCOMPARE(messages_, QStringList{QStringLiteral("Resource OVERVIEWRTF not found")});
    }

    void aboutBoxIsMadeOnceAndReused() {
        MainWindow w;
        QList<QDialog*> shown;
        w.runDialog = [&](QDialog& d) {
            shown.append(&d);
            return 1;
        };
        action(w, "HelpAbout1")->trigger();
        action(w, "HelpAbout1")->trigger();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], shown[1]);
        AboutBox* box = qobject_cast<AboutBox*>(shown[0]);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("About"));
        QCOMPARE(box->findChild<QLabel*>("ProductName")->text(), QStringLiteral("Program: tabvue"));
        QCOMPARE(box->findChild<QLabel*>("Version")->text(), QStringLiteral("Version 1.0"));
        QVERIFY(box->findChild<QLabel*>("Label1")->text().startsWith("Contact: "));
        QVERIFY(box->okButton()->isDefault());
        QCOMPARE(box->size(), QSize(298, 155));
    }

    void actionsCarryTheirTextsAndKeys_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("FileOpen1") << "FileOpen1" << "&Open" << "Open" << QKeySequence("Ctrl+O");
        QTest::newRow("FileClose1") << "FileClose1" << "&Close" << "Close" << QKeySequence();
        QTest::newRow("FileSave1") << "FileSave1" << "&Save As" << "Save" << QKeySequence("Ctrl+S");
        QTest::newRow("FileExit1") << "FileExit1" << "E&xit" << "Exit" << QKeySequence();
        QTest::newRow("EditCut1") << "EditCut1" << "Cu&t" << "Cut" << QKeySequence("Ctrl+X");
        QTest::newRow("EditCopy1") << "EditCopy1" << "&Copy" << "Copy" << QKeySequence("Ctrl+C");
        QTest::newRow("EditPaste1") << "EditPaste1" << "&Paste" << "Paste" << QKeySequence("Ctrl+V");
        QTest::newRow("WindowCascade1") << "WindowCascade1" << "&Cascade" << "Cascade" << QKeySequence();
        QTest::newRow("WindowTileHorizontal1") << "WindowTileHorizontal1" << "Tile &Horizontally" << "Tile Horizontally" << QKeySequence();
        QTest::newRow("WindowTileVertical1") << "WindowTileVertical1" << "Tile &Vertically" << "Tile Vertically" << QKeySequence();
        QTest::newRow("WindowMinimizeAll1") << "WindowMinimizeAll1" << "&Minimize All" << "Minimize All" << QKeySequence();
        QTest::newRow("WindowArrangeAll1") << "WindowArrangeAll1" << "&Arrange All" << "Arrange All" << QKeySequence();
        QTest::newRow("HelpAbout1") << "HelpAbout1" << "&About..." << "About" << QKeySequence();
        QTest::newRow("actfilter") << "actfilter" << "Filter" << "filter data" << QKeySequence("Ctrl+F");
        QTest::newRow("acprop") << "acprop" << "table property" << "table property" << QKeySequence("Ctrl+L");
        QTest::newRow("acexport") << "acexport" << "Export" << "Export" << QKeySequence("Ctrl+E");
        QTest::newRow("achelp") << "achelp" << "Contents" << "Contents" << QKeySequence("F1");
        QTest::newRow("actprint") << "actprint" << "Print" << "Print table" << QKeySequence("Ctrl+P");
    }
    void actionsCarryTheirTextsAndKeys() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, tip);
        QFETCH(QKeySequence, keys);
        MainWindow w;
        QAction* a = action(w, name.toLatin1().constData());
        QVERIFY(a);
        QCOMPARE(a->text(), text);
        QCOMPARE(a->toolTip(), tip);
        QCOMPARE(a->shortcut(), keys);
    }

    void menusAndWindowList() {
        MainWindow w;
        w.show();
        QStringList titles;
        for (QAction* m : w.menuBar()->actions())
            titles << m->text();
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "Table", "&Window", "&Help"}));
        QStringList table;
        for (QAction* a : w.findChild<QMenu*>("Table1")->actions())
            table << a->text();
        QCOMPARE(table, (QStringList{"Filter", "Property", "Export", "Print", "Code page"}));

        w.openTableFile(tableA_);
        w.openTableFile(tableB_);
        QMenu* list = w.findChild<QMenu*>("Window1");
        emit list->aboutToShow();
        QStringList items;
        for (QAction* a : list->actions())
            if (a->objectName().startsWith("windowItem"))
                items << a->text() + (a->isChecked() ? "*" : "");
        QCOMPARE(items, (QStringList{"&1 " + tableA_, "&2 " + tableB_ + "*"}));
        for (QAction* a : list->actions())
            if (a->objectName() == "windowItem1")
                a->trigger();
        QCOMPARE(w.activeTableWindow(), w.tableWindows().at(0));
        QCOMPARE(w.tabBar()->currentIndex(), 0);
    }

    void saveAsCopiesAndRefusesTheOpenFile() {
        MainWindow w;
        w.show();
        w.openTableFile(tableA_);
        QString answer;
        w.askSaveFileName = [&] { return answer; };
        answer = QString(); // cancelled
        action(w, "FileSave1")->trigger();
        QVERIFY(messages_.isEmpty());

        answer = dir_.filePath("saved.dbf");
        action(w, "FileSave1")->trigger();
        QVERIFY(messages_.isEmpty());
        engine::Table copy;
        copy.open(answer.toStdString());
        QCOMPARE(copy.recCount(), 3u);
        QCOMPARE(w.activeTableWindow()->windowTitle(), tableA_); // the window stays on the original

        const QByteArray before = fileBytes(tableA_);
        answer = tableA_;
        action(w, "FileSave1")->trigger();
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(fileBytes(tableA_), before);
    }

    void editCommandsActOnTheFocusedWidget() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TableWindow* t = w.openTableFile(tableA_);
        t->grid()->setFocus();
        t->grid()->setCurrentIndex(t->grid()->model()->index(3, 0));
        QCoreApplication::processEvents();
        QVERIFY(action(w, "EditCopy1")->isEnabled());
        QVERIFY(!action(w, "EditPaste1")->isEnabled()); // nothing to paste into outside an editor
        action(w, "EditCopy1")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Carol"));

        // In a cell editor the commands work on the editor's text.
        t->grid()->edit(t->grid()->currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QVERIFY(action(w, "EditPaste1")->isEnabled());
        editor->selectAll();
        action(w, "EditCut1")->trigger();
        QCOMPARE(editor->text(), QString());
        action(w, "EditPaste1")->trigger();
        action(w, "EditPaste1")->trigger();
        QCOMPARE(editor->text(), QStringLiteral("CarolCarol"));
    }

    void closingAWindowKeepsTheEditInProgress() {
        const QString path = dir_.filePath("pending.dbf");
        writeTable(path, peopleSpec());
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TableWindow* t = w.openTableFile(path);
        const QModelIndex cell = t->grid()->model()->index(1, 0);
        t->grid()->setCurrentIndex(cell);
        t->grid()->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText("Alicia");
        w.tabTabClosing(0); // by the tab, while the cell is still being edited
        QVERIFY(w.tableWindows().isEmpty());
        engine::Table file;
        file.open(path.toStdString());
        QCOMPARE(file.displayText(1, 0), std::string("Alicia"));
    }

    void droppedTablesOpen() {
        MainWindow w;
        w.show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(tableA_), QUrl::fromLocalFile(dir_.filePath("notes.txt")),
                      QUrl::fromLocalFile(tableB_)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &drop);
        QTRY_COMPARE(w.tableWindows().size(), 2);
        QCOMPARE(w.tabBar()->tabText(1), QStringLiteral("beta.dbf"));

        QMimeData other;
        other.setUrls({QUrl::fromLocalFile(dir_.filePath("notes.txt"))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &refused);
        QVERIFY(!refused.isAccepted());
    }

    void commandsReachTheActiveTable() {
        MainWindow w;
        w.show();
        TableWindow* t = w.openTableFile(tableA_);
        QStringList dialogs;
        w.runDialog = [&](QDialog& d) {
            dialogs << d.metaObject()->className();
            return 0;
        };
        QVERIFY(QTest::qWaitForWindowActive(&w));
        t->grid()->setFocus();
        QTest::keyClick(t->grid(), Qt::Key_L, Qt::ControlModifier); // the menu item and the tool button share it
        QTest::keyClick(t->grid(), Qt::Key_F1);                      // help from inside a table window
        QCOMPARE(dialogs, (QStringList{"tabvue::gui::StructureDialog", "tabvue::gui::HelpViewer"}));
        QVERIFY(t->table().isOpen());

        // Export runs on the active table; a failed run is told to the user.
        FakeExportHost host;
        w.exportHost = &host;
        host.target = dir_.filePath("people.csv").toStdString();
        action(w, "acexport")->trigger();
        QCOMPARE(w.dsexport().dataSet(), &t->table());
        const QStringList written = QDir(dir_.path()).entryList({"people.*"}, QDir::Files);
        QCOMPARE(written.size(), 1); // the component gives the name its format's extension
        QFile csv(dir_.filePath(written.first()));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().contains("Carol"));
        QVERIFY(messages_.isEmpty());

        w.dsexport().setFileName(std::string());
        host.target = dir_.filePath("no/such/folder/people.csv").toStdString();
        action(w, "acexport")->trigger();
        QCOMPARE(messages_.size() + host.errors.size(), 1);

        // Closing the table clears the component's reference to it.
        t->close();
        closeDeferred();
        QCOMPARE(w.dsexport().dataSet(), nullptr);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
