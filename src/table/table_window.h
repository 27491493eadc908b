#pragma once
#include <QMdiSubWindow>
#include <QString>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QStatusBar;
class QTableView;

namespace tabvue::engine { class Table; }

namespace tabvue::gui {

class FilterBar;
class GridModel;
class TableWindow;

// What a table window needs from the frame that holds it: the code page check marks, the tab
// bar and the table commands. The main window implements it; a window without a host works on
// its own (tests, tools).
class TableWindowHost {
public:
    virtual ~TableWindowHost() = default;
    // Puts the check mark on "OEM" when oem is true, else on "ANSII".
    virtual void setCodePageChecks(bool oem) = 0;
    // With at least two tabs: selects the tab with this ID unless it is selected already.
    virtual void selectTabById(int id) = 0;
    // Called once from the window's destructor: drop the tab with the window's tag and, when it
    // was the last table window, disable the table commands.
    virtual void tableWindowDestroyed(TableWindow& window) = 0;
};

// The document window of one open table: the grid ("dbview" inside the container "dbdbf"),
// the filter bar under it and a one-panel status bar ("stat"). It owns its table. The window is
// deleted when it is closed, whichever way.
class TableWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit TableWindow(TableWindowHost* host = nullptr, QWidget* parent = nullptr);
    ~TableWindow() override;

    engine::Table& table();
    const engine::Table& table() const;
    QTableView* grid();          // "dbview"
    QWidget* gridContainer();    // "dbdbf": the grid and the filter bar
    GridModel* model();
    FilterBar* filterBar();
    QStatusBar* statusBar();     // "stat"
    QString statusText() const;  // the text of the status panel

    // The ID of this window's tab in the main window's tab bar; -1 before it is linked.
    int tag() const { return tag_; }
    void setTag(int id) { tag_ = id; }

    // Dataset field indexes of the grid's visible columns, in display order.
    std::vector<int> visibleFields() const;

    // Opens the table at path (directory and file name), makes one column per dataset field and
    // switches the table to OEM translation. On failure shows the error's message and returns false;
    // the window stays, with whatever was done before the failure.
    bool openTable(const QString& path);

    // Writes "Row count: [n]" into the status panel.
    void tableAfterOpen();

    // The window became the active child: check marks follow its table, its tab gets selected.
    // Never throws.
    void formActivate();

    // Switches the table's OEM translation and redraws the grid with the new text.
    void setOemTranslate(bool on);

    // Save As: copies the open table to targetPath. Does nothing when no table is open; throws
    // tabvue::Error when the copy fails or when the target is the open table's own file.
    void saveCopy(const QString& targetPath);

    // The grid's filter changed: the display text (grid notation) is encoded to the ANSI code page,
    // rewritten into the engine's expression language and installed on the table; the grid and the
    // filter bar follow. Throws tabvue::Error ("Invalid Query Expression") on a bad expression.
    void dbviewDataControllerFilterBeforeChange(const QString& filterText);

    // The column chooser of the header's menu and corner button: one checkable item per column,
    // in display order; the last visible column cannot be hidden.
    void fillColumnMenu(QMenu& menu);

    // A cell editor still open when the window goes writes its text first: closing a window is
    // leaving the grid, which never cancels an edit.
    void commitPendingEdit();

    // Deletes the grid's focused record without asking (Ctrl+Delete). False when there is none.
    bool deleteFocusedRecord();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildColumns();
    void showColumnMenu(const QPoint& globalPos);

    TableWindowHost* host_;
    std::unique_ptr<engine::Table> table_;
    GridModel* model_ = nullptr;
    QWidget* container_ = nullptr;
    QTableView* grid_ = nullptr;
    FilterBar* filterBar_ = nullptr;
    QStatusBar* status_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    int tag_ = -1;
    int savedRow_ = -1;
    int savedColumn_ = 0;
};

} // namespace tabvue::gui
