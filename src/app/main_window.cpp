#include "app/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/about_box.h"
#include "app/app_icons.h"
#include "app/help_viewer.h"
#include "export/dataset_export.h"
#include "table/filter_builder.h"
#include "table/messages.h"
#include "table/print_report.h"
#include "table/structure_dialog.h"

#include "export/ui/qt_export_host.h"

namespace tabvue::gui {

namespace {

constexpr int restoredWidth = 531;
constexpr int restoredHeight = 412;

QString tipOf(const QString& hint) { return hint.section(QChar('|'), 0, 0); }
QString longHintOf(const QString& hint) { return hint.contains(QChar('|')) ? hint.section(QChar('|'), 1) : hint; }

bool isTableFile(const QString& path) { return path.endsWith(QStringLiteral(".dbf"), Qt::CaseInsensitive); }

QString exportErrorText(exporter::ExportError error) {
    switch (error) {
    case exporter::ExportError::xeGeneralExportError:
        return QStringLiteral("The export failed: the document could not be written.");
    case exporter::ExportError::xeFileExist:
        return QStringLiteral("The export was not written: the target file already exists.");
    case exporter::ExportError::xeComponentIsNull:
        return QStringLiteral("There is no open table to export.");
    case exporter::ExportError::xeInvalidFileName:
        return QStringLiteral("The export was not written: the file name is not valid.");
    case exporter::ExportError::xeUserCancelled:
        break;
    }
    return {};
}

} // namespace

MainWindow::MainWindow(const QString& firstArgument, QWidget* parent)
    : QMainWindow(parent), firstArgument_(firstArgument), helpResource_(QStringLiteral(":/RTF/OVERVIEWRTF")),
      dsexport_(std::make_unique<exporter::DataSetExport>("dsexport")) {
    setObjectName("MainForm");
    setWindowTitle(QStringLiteral("Tabvue"));
    setWindowIcon(programIcon());
    resize(restoredWidth, restoredHeight);
    setAcceptDrops(true);

    runDialog = [](QDialog& dialog) { return dialog.exec(); };
    askOpenFileName = [this] {
        return QFileDialog::getOpenFileName(this, tr("Open"), QString(),
                                            QStringLiteral("DBF (*.dbf);;All files (*)"));
    };
    askSaveFileName = [this] {
        QFileDialog dialog(this, tr("Save As"), QString(), QStringLiteral("DBF (*.dbf)"));
        dialog.setObjectName("SaveDialog");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("dbf"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                       : QString();
    };

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tab_ = new QTabBar(central);
    tab_->setObjectName("tab");
    tab_->setTabsClosable(true);
    tab_->setExpanding(false);
    tab_->setDocumentMode(true);
    tab_->setDrawBase(true);
    tab_->setUsesScrollButtons(true);
    tab_->setElideMode(Qt::ElideMiddle);
    tab_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(tab_);
    mdi_ = new QMdiArea(central);
    mdi_->setObjectName("mdi");
    mdi_->setViewMode(QMdiArea::SubWindowView);
    mdi_->setActivationOrder(QMdiArea::CreationOrder);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(mdi_, 1);
    setCentralWidget(central);

    connect(tab_, &QTabBar::tabCloseRequested, this, [this](int index) { tabTabClosing(index); });
    connect(tab_, &QTabBar::currentChanged, this, [this](int index) { tabTabSelecting(index); });
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        updateWindowActions();
        if (auto* table = qobject_cast<TableWindow*>(window))
            table->formActivate();
    });

    buildActions();
    buildMenus();
    buildToolBar();
    setTableCommandsEnabled(false);
    updateWindowActions();
    Windows12511->setChecked(true);
    DOS8661->setChecked(false);

    connect(qApp, &QApplication::focusChanged, this, [this] { updateEditActions(); });
    updateEditActions();

    dsexport_->setDateFormat("dd.MM.yyyy");
    dsexport_->setTimeFormat("h:mm");
    dsexport_->setDateTimeFormat("h:mm dd.MM.yyyy");
    dsexport_->onError = [this](exporter::CustomExport& sender, exporter::ExportError error) {
        QString text = exportErrorText(error);
        if (error == exporter::ExportError::xeGeneralExportError && !sender.lastErrorMessage().empty())
            text += QLatin1Char('\n') + QString::fromStdString(sender.lastErrorMessage());
        if (!text.isEmpty())
            showMessage(this, text);
    };

    about_ = new AboutBox(this);
}

MainWindow::~MainWindow() {
    // The table windows go first, while everything they report to still exists.
    destroying_ = true;
    for (TableWindow* window : tableWindows())
        window->commitPendingEdit();
    for (QMdiSubWindow* window : mdi_->subWindowList())
        delete window;
}

QAction* MainWindow::makeAction(const char* name, const QString& text, const QString& hint,
                                const QKeySequence& shortcut, int image, std::function<void()> handler) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty()) {
        action->setToolTip(tipOf(hint));
        action->setStatusTip(longHintOf(hint));
    }
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (image >= 0) {
        action->setIcon(commandIcon(image));
        action->setProperty("imageIndex", image);
    }
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { runGuarded(this, handler); });
    return action;
}

void MainWindow::buildActions() {
    FileOpen1 = makeAction("FileOpen1", "&Open", "Open|Open a file", QKeySequence(Qt::CTRL | Qt::Key_O), 7,
                           [this] { fileOpen1Execute(); });
    FileClose1 = makeAction("FileClose1", "&Close", "Close|Close current file", {}, -1, [this] {
        if (QMdiSubWindow* window = mdi_->currentSubWindow())
            window->close();
    });
    FileSave1 = makeAction("FileSave1", "&Save As", "Save|Save in new file", QKeySequence(Qt::CTRL | Qt::Key_S), 8,
                           [this] { fileSave1Execute(); });
    FileExit1 = makeAction("FileExit1", "E&xit", "Exit|Exit application", {}, -1, [this] { fileExit1Execute(); });
    EditCut1 = makeAction("EditCut1", "Cu&t", "Cut|Cuts the selection and puts it on the Clipboard",
                          QKeySequence(Qt::CTRL | Qt::Key_X), 0, [this] { editCommand("cut"); });
    EditCopy1 = makeAction("EditCopy1", "&Copy", "Copy|Copies the selection and puts it on the Clipboard",
                           QKeySequence(Qt::CTRL | Qt::Key_C), 1, [this] { editCommand("copy"); });
    EditPaste1 = makeAction("EditPaste1", "&Paste", "Paste|Inserts Clipboard contents",
                            QKeySequence(Qt::CTRL | Qt::Key_V), 2, [this] { editCommand("paste"); });
    WindowCascade1 = makeAction("WindowCascade1", "&Cascade", "Cascade", {}, 17, [this] { mdi_->cascadeSubWindows(); });
    WindowTileHorizontal1 = makeAction("WindowTileHorizontal1", "Tile &Horizontally", "Tile Horizontally", {}, 15,
                                       [this] { tileWindows(Qt::Vertical); });
    WindowTileVertical1 = makeAction("WindowTileVertical1", "Tile &Vertically", "Tile Vertically", {}, 16,
                                     [this] { tileWindows(Qt::Horizontal); });
    WindowMinimizeAll1 = makeAction("WindowMinimizeAll1", "&Minimize All", "Minimize All", {}, -1, [this] {
        for (QMdiSubWindow* w : mdi_->subWindowList())
            w->showMinimized();
    });
    WindowArrangeAll1 = makeAction("WindowArrangeAll1", "&Arrange All", "Arrange All", {}, -1, [this] {
        // Minimised windows in a row along the bottom edge.
        int x = 0;
        const int bottom = mdi_->viewport()->height();
        for (QMdiSubWindow* w : mdi_->subWindowList()) {
            if (!w->isMinimized())
                continue;
            w->move(x, bottom - w->height());
            x += w->width();
        }
    });
    HelpAbout1 = makeAction("HelpAbout1", "&About...", "About|Displays program information, version number, and copyright",
                            {}, -1, [this] { helpAbout1Execute(); });
    actfilter = makeAction("actfilter", "Filter", "filter data", QKeySequence(Qt::CTRL | Qt::Key_F), 23,
                           [this] { actfilterExecute(); });
    acprop = makeAction("acprop", "table property", {}, QKeySequence(Qt::CTRL | Qt::Key_L), 10, [this] { acpropExecute(); });
    acexport = makeAction("acexport", "Export", {}, QKeySequence(Qt::CTRL | Qt::Key_E), 24, [this] { acexportExecute(); });
    achelp = makeAction("achelp", "Contents", {}, QKeySequence(Qt::Key_F1), 25, [this] { achelpExecute(); });
    actprint = makeAction("actprint", "Print", "Print table", QKeySequence(Qt::CTRL | Qt::Key_P), 26,
                          [this] { actprintExecute(); });
    Windows12511 = makeAction("Windows12511", "ANSII", {}, {}, -1, [this] { windows12511Click(); });
    DOS8661 = makeAction("DOS8661", "OEM", {}, {}, -1, [this] { dos8661Click(); });
    Windows12511->setCheckable(true);
    DOS8661->setCheckable(true);
    // The help command has no menu item: it lives on the window so that F1 reaches it everywhere.
    addAction(achelp);
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    file->menuAction()->setStatusTip("File related commands");
    file->addAction(FileOpen1);
    file->addAction(FileClose1);
    file->addAction(FileSave1);
    file->addSeparator();
    file->addAction(FileExit1);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("Edit1");
    edit->menuAction()->setStatusTip("Edit commands");
    edit->addAction(EditCut1);
    edit->addAction(EditCopy1);
    edit->addAction(EditPaste1);
    connect(edit, &QMenu::aboutToShow, this, [this] { updateEditActions(); });

    QMenu* table = menuBar()->addMenu("Table");
    table->setObjectName("Table1");
    table->addAction(actfilter);
    QAction* property = table->addAction("Property");
    property->setObjectName("Property1");
    property->setShortcut(acprop->shortcut());
    property->setShortcutContext(Qt::WidgetShortcut); // the action itself carries the window's shortcut
    property->setIcon(acprop->icon());
    connect(acprop, &QAction::enabledChanged, property, &QAction::setEnabled);
    connect(property, &QAction::triggered, acprop, &QAction::trigger);
    addAction(acprop);
    table->addAction(acexport);
    table->addAction(actprint);
    codePageMenu_ = table->addMenu("Code page");
    codePageMenu_->setObjectName("Codepage1");
    codePageMenu_->addAction(Windows12511);
    codePageMenu_->addAction(DOS8661);

    windowMenu_ = menuBar()->addMenu("&Window");
    windowMenu_->setObjectName("Window1");
    windowMenu_->menuAction()->setStatusTip("Window related commands");
    connect(windowMenu_, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });
    rebuildWindowMenu();

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    help->menuAction()->setStatusTip("Help topics");
    help->addAction(HelpAbout1);
}

void MainWindow::buildToolBar() {
    QToolBar* bar = addToolBar("ToolBar2");
    bar->setObjectName("ToolBar2");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(20, 20));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->addAction(FileOpen1);
    bar->addAction(FileSave1);
    bar->addSeparator();
    bar->addAction(EditCut1);
    bar->addAction(EditCopy1);
    bar->addAction(EditPaste1);
    bar->addSeparator();
    bar->addAction(actfilter);
    bar->addAction(acprop);
    bar->addAction(acexport);
    bar->addAction(actprint);
}

void MainWindow::rebuildWindowMenu() {
    windowMenu_->clear();
    windowMenu_->addAction(WindowCascade1);
    windowMenu_->addAction(WindowTileHorizontal1);
    windowMenu_->addAction(WindowTileVertical1);
    windowMenu_->addAction(WindowMinimizeAll1);
    windowMenu_->addAction(WindowArrangeAll1);
    const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
    if (windows.isEmpty())
        return;
    windowMenu_->addSeparator();
    QMdiSubWindow* current = mdi_->currentSubWindow();
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        QString caption = window->windowTitle();
        caption.replace(QChar('&'), QStringLiteral("&&"));
        QAction* item = windowMenu_->addAction(number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                                                            : QStringLiteral("%1 %2").arg(number).arg(caption));
        item->setObjectName(QStringLiteral("windowItem%1").arg(number));
        item->setCheckable(true);
        item->setChecked(window == current);
        QPointer<QMdiSubWindow> target(window);
        connect(item, &QAction::triggered, this, [this, target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            mdi_->setActiveSubWindow(target);
        });
        ++number;
    }
}

void MainWindow::setTableCommandsEnabled(bool on) {
    for (QAction* action : {actfilter, acprop, acexport, actprint, FileSave1})
        action->setEnabled(on);
    codePageMenu_->setEnabled(on);
    codePageMenu_->menuAction()->setEnabled(on);
}

void MainWindow::updateWindowActions() {
    const bool any = !mdi_->subWindowList().isEmpty();
    FileClose1->setEnabled(mdi_->currentSubWindow() != nullptr);
    for (QAction* action : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1, WindowMinimizeAll1, WindowArrangeAll1})
        action->setEnabled(any);
}

void MainWindow::updateEditActions() {
    QWidget* focus = QApplication::focusWidget();
    const QMetaObject* meta = focus ? focus->metaObject() : nullptr;
    auto has = [meta](const char* method) {
        return meta && meta->indexOfMethod(QMetaObject::normalizedSignature(QByteArray(method) + "()")) >= 0;
    };
    const bool view = qobject_cast<QAbstractItemView*>(focus) != nullptr;
    const bool readOnly = focus && focus->property("readOnly").toBool();
    EditCut1->setEnabled(has("cut") && !readOnly);
    EditCopy1->setEnabled(has("copy") || view);
    EditPaste1->setEnabled(has("paste") && !readOnly);
}

// Lays the windows that are not minimised out in one row (Qt::Horizontal: side by side, each
// the full height) or one column (Qt::Vertical: one above the other, each the full width).
void MainWindow::tileWindows(Qt::Orientation stacking) {
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (!w->isMinimized())
            shown.append(w);
    if (shown.isEmpty())
        return;
    const QRect area = mdi_->viewport()->rect();
    const int n = static_cast<int>(shown.size());
    for (int i = 0; i < n; ++i) {
        shown[i]->showNormal();
        if (stacking == Qt::Horizontal)
            shown[i]->setGeometry(i * (area.width() / n), 0, area.width() / n, area.height());
        else
            shown[i]->setGeometry(0, i * (area.height() / n), area.width(), area.height() / n);
    }
}

void MainWindow::editCommand(const char* method) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    if (auto* view = qobject_cast<QAbstractItemView*>(focus); view && qstrcmp(method, "copy") == 0) {
        // In the grid, Copy takes the focused cell's text.
        const QModelIndex current = view->currentIndex();
        if (current.isValid())
            QApplication::clipboard()->setText(current.data(Qt::DisplayRole).toString());
        return;
    }
    QMetaObject::invokeMethod(focus, method);
}

TableWindow* MainWindow::activeTableWindow() const { return qobject_cast<TableWindow*>(mdi_->currentSubWindow()); }

QList<TableWindow*> MainWindow::tableWindows() const {
    QList<TableWindow*> result;
    for (QMdiSubWindow* window : mdi_->subWindowList(QMdiArea::CreationOrder))
        if (auto* table = qobject_cast<TableWindow*>(window))
            result.append(table);
    return result;
}

TableWindow* MainWindow::openTableFile(const QString& path) {
    tab_->addTab(QFileInfo(path).fileName());
    tab_->setTabData(tab_->count() - 1, nextTabId_++);
    tab_->setTabToolTip(tab_->count() - 1, path);

    auto* window = new TableWindow(this);
    window->setWindowIcon(programIcon());
    mdi_->addSubWindow(window);
    window->setWindowTitle(path);
    window->showMaximized();
    mdi_->setActiveSubWindow(window);
    setTableCommandsEnabled(true);
    window->setTag(tab_->tabData(tab_->count() - 1).toInt());
    if (!QFileInfo::exists(path))
        return window;
    window->openTable(path);
    tab_->setCurrentIndex(tab_->count() - 1);
    return window;
}

TableWindow* MainWindow::windowByTabIndex(int index) const {
    if (index < 0 || index >= tab_->count())
        return nullptr;
    const int id = tab_->tabData(index).toInt();
    for (TableWindow* window : tableWindows())
        if (window->tag() == id)
            return window;
    return nullptr;
}

void MainWindow::tabTabClosing(int index) {
    try {
        if (TableWindow* window = windowByTabIndex(index)) {
            window->commitPendingEdit();
            delete window; // its destructor removes the tab
        }
    } catch (...) {
    }
}

void MainWindow::tabTabSelecting(int index) {
    try {
        if (TableWindow* window = windowByTabIndex(index)) {
            if (window->isMinimized())
                window->showNormal();
            else
                window->show();
            window->raise();
            mdi_->setActiveSubWindow(window);
        }
    } catch (...) {
    }
}

void MainWindow::setCodePageChecks(bool oem) {
    DOS8661->setChecked(oem);
    Windows12511->setChecked(!oem);
}

void MainWindow::selectTabById(int id) {
    if (tab_->count() < 2)
        return;
    for (int i = 0; i < tab_->count(); ++i) {
        if (tab_->tabData(i).toInt() == id) {
            if (tab_->currentIndex() != i)
                tab_->setCurrentIndex(i);
            return;
        }
    }
}

void MainWindow::tableWindowDestroyed(TableWindow& window) {
    dsexport_->dataSetRemoved(&window.table());
    if (!destroying_) {
        int remaining = 0;
        for (QMdiSubWindow* w : mdi_->subWindowList())
            if (w != &window && qobject_cast<TableWindow*>(w))
                ++remaining;
        if (remaining == 0)
            setTableCommandsEnabled(false);
    }
    for (int i = 0; i < tab_->count(); ++i) {
        if (tab_->tabData(i).toInt() == window.tag()) {
            tab_->removeTab(i);
            break;
        }
    }
    if (!destroying_)
        QTimer::singleShot(0, this, [this] { updateWindowActions(); });
}

void MainWindow::formActivate() {
    if (activated_)
        return;
    activated_ = true;
    if (!firstArgument_.isEmpty())
        runGuarded(this, [this] { openTableFile(firstArgument_); });
}

bool MainWindow::event(QEvent* e) {
    // The first activation opens the command-line file. Where nothing activates windows (a
    // display without a window manager), being shown counts as the first activation.
    if ((e->type() == QEvent::WindowActivate || e->type() == QEvent::Show) && !activated_) {
        // Opened after the activation has been handled, not in the middle of it.
        QTimer::singleShot(0, this, [this] { formActivate(); });
    }
    return QMainWindow::event(e);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) {
        for (const QUrl& url : e->mimeData()->urls()) {
            if (url.isLocalFile() && isTableFile(url.toLocalFile())) {
                e->acceptProposedAction();
                return;
            }
        }
    }
    e->ignore();
}

void MainWindow::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile() && isTableFile(url.toLocalFile()))
            paths.append(url.toLocalFile());
    if (paths.isEmpty()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    // After the drop has returned to the source, one window per file.
    QTimer::singleShot(0, this, [this, paths] {
        for (const QString& path : paths)
            runGuarded(this, [this, &path] { openTableFile(path); });
    });
}

void MainWindow::fileOpen1Execute() {
    const QString path = askOpenFileName();
    if (!path.isEmpty())
        openTableFile(path);
}

void MainWindow::fileSave1Execute() {
    TableWindow* window = activeTableWindow();
    if (!window)
        return;
    const QString path = askSaveFileName();
    if (!path.isEmpty())
        window->saveCopy(path);
}

void MainWindow::fileExit1Execute() { close(); }

void MainWindow::helpAbout1Execute() { runDialog(*about_); }

void MainWindow::achelpExecute() {
    HelpViewer viewer(this);
    viewer.loadResource(helpResource_);
    runDialog(viewer);
}

void MainWindow::actfilterExecute() {
    if (TableWindow* window = activeTableWindow())
        runFilterBuilder(*window);
}

void MainWindow::acpropExecute() {
    TableWindow* window = activeTableWindow();
    if (!window)
        return;
    StructureDialog dialog(this);
    dialog.fillFieldList(window->table());
    runDialog(dialog);
}

void MainWindow::acexportExecute() {
    TableWindow* window = activeTableWindow();
    if (!window)
        return;
    dsexport_->setDataSet(&window->table());
    if (exportHost) {
        dsexport_->execute(*exportHost);
        return;
    }
    exporter::QtExportHost host(this);
    dsexport_->execute(host);
}

void MainWindow::actprintExecute() {
    if (TableWindow* window = activeTableWindow())
        showPrintPreview(this, window);
}

void MainWindow::windows12511Click() {
    DOS8661->setChecked(false);
    Windows12511->setChecked(true);
    if (TableWindow* window = activeTableWindow())
        window->setOemTranslate(false);
}

void MainWindow::dos8661Click() {
    Windows12511->setChecked(false);
    DOS8661->setChecked(true);
    if (TableWindow* window = activeTableWindow())
        window->setOemTranslate(true);
}

} // namespace tabvue::gui
