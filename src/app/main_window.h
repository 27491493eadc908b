#pragma once
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "table/table_window.h"

class QAction;
class QDialog;
class QMdiArea;
class QMenu;
class QTabBar;

namespace tabvue::exporter {
class DataSetExport;
class ExportHost;
} // namespace tabvue::exporter

namespace tabvue::gui {

class AboutBox;

// The program's frame: menus, tool bar, the tab bar with one tab per table window, and the MDI
// area holding the table windows. Every command handler runs through runGuarded, so no exception
// crosses the event loop.
class MainWindow : public QMainWindow, public TableWindowHost {
    Q_OBJECT
public:
    // firstArgument: the file named first on the command line ("" for none), opened once at the
    // first activation.
    explicit MainWindow(const QString& firstArgument = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens a file in a new table window with its own tab. A path where no file exists gives an
    // empty window; a file that cannot be opened shows why and keeps its window.
    TableWindow* openTableFile(const QString& path);

    TableWindow* activeTableWindow() const;
    QList<TableWindow*> tableWindows() const; // in the frame's creation order
    QMdiArea* mdiArea() const { return mdi_; }
    QTabBar* tabBar() const { return tab_; }
    AboutBox* aboutBox() const { return about_; }
    exporter::DataSetExport& dsexport() { return *dsexport_; }

    // The main window's own activation: the first one opens the command-line file.
    void formActivate();

    // Command handlers.
    void fileOpen1Execute();
    void fileSave1Execute();
    void fileExit1Execute();
    void helpAbout1Execute();
    void achelpExecute();
    void actfilterExecute();
    void acpropExecute();
    void acexportExecute();
    void actprintExecute();
    void windows12511Click();
    void dos8661Click();
    void tabTabClosing(int index);
    void tabTabSelecting(int index);

    // Where the help text is read from (a Qt resource path).
    void setHelpResource(const QString& path) { helpResource_ = path; }

    // How modal dialogs are run and file names asked for; tests replace them.
    std::function<int(QDialog&)> runDialog;
    std::function<QString()> askOpenFileName;
    std::function<QString()> askSaveFileName;
    // The desktop side of exports; none means the Qt dialogs.
    exporter::ExportHost* exportHost = nullptr;

    // TableWindowHost
    void setCodePageChecks(bool oem) override;
    void selectTabById(int id) override;
    void tableWindowDestroyed(TableWindow& window) override;

protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* makeAction(const char* name, const QString& text, const QString& hint, const QKeySequence& shortcut,
                        int image, std::function<void()> handler);
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void rebuildWindowMenu();
    void setTableCommandsEnabled(bool on);
    void updateEditActions();
    void updateWindowActions();
    void editCommand(const char* method);
    void tileWindows(Qt::Orientation stacking);
    TableWindow* windowByTabIndex(int index) const;

    QString firstArgument_;
    bool activated_ = false;
    QString helpResource_;
    QMdiArea* mdi_ = nullptr;
    QTabBar* tab_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* codePageMenu_ = nullptr;
    AboutBox* about_ = nullptr;
    int nextTabId_ = 0;
    bool destroying_ = false;
    std::unique_ptr<exporter::DataSetExport> dsexport_;

    QAction* FileOpen1 = nullptr;
    QAction* FileClose1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* WindowCascade1 = nullptr;
    QAction* WindowTileHorizontal1 = nullptr;
    QAction* WindowTileVertical1 = nullptr;
    QAction* WindowMinimizeAll1 = nullptr;
    QAction* WindowArrangeAll1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* actfilter = nullptr;
    QAction* acprop = nullptr;
    QAction* acexport = nullptr;
    QAction* achelp = nullptr;
    QAction* actprint = nullptr;
    QAction* Windows12511 = nullptr;
    QAction* DOS8661 = nullptr;
};

} // namespace tabvue::gui
