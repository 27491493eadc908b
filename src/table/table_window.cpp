#include "table/table_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <sys/stat.h>

#include "engine/filter_rewrite.h"
#include "engine/table.h"
#include "table/ansi_text.h"
#include "table/filter_bar.h"
#include "table/grid_delegate.h"
#include "table/grid_model.h"
#include "table/messages.h"

namespace tabvue::gui {

namespace {

constexpr int restoredWidth = 619;
constexpr int restoredHeight = 397;
constexpr int statusHeight = 20;
constexpr int statusPanelWidth = 200;
constexpr int maxColumnWidth = 400;

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// True when both names lead to one file (the same path, a link, another spelling of the folder).
bool sameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    const QFileInfo fa(a), fb(b);
    const QString da = QFileInfo(fa.absolutePath()).canonicalFilePath();
    const QString db = QFileInfo(fb.absolutePath()).canonicalFilePath();
    return !da.isEmpty() && da == db && fa.fileName() == fb.fileName();
}

} // namespace

TableWindow::TableWindow(TableWindowHost* host, QWidget* parent)
    : QMdiSubWindow(parent), host_(host), table_(std::make_unique<engine::Table>()) {
    setAttribute(Qt::WA_DeleteOnClose);
    resize(restoredWidth, restoredHeight);

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    container_ = new QWidget(body);
    container_->setObjectName("dbdbf");
    auto* inner = new QVBoxLayout(container_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(0);

    model_ = new GridModel(*table_, this);
    grid_ = new QTableView(container_);
    grid_->setObjectName("dbview");
    grid_->setModel(model_);
    grid_->setItemDelegate(new GridDelegate(*model_, grid_));
    grid_->setSortingEnabled(false);
    grid_->setWordWrap(false);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    // Record indicator column: the focused row's marker and the new-item row's star.
    QHeaderView* rows = grid_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    rows->setMinimumSectionSize(grid_->fontMetrics().height() + 2);
    rows->setFixedWidth(grid_->fontMetrics().horizontalAdvance(QChar(0x25B6)) + 14);
    rows->setHighlightSections(false);

    QHeaderView* columns = grid_->horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setSortIndicatorShown(false);
    columns->setSectionsClickable(false);
    columns->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(columns, &QWidget::customContextMenuRequested, this,
            [this, columns](const QPoint& pos) { showColumnMenu(columns->mapToGlobal(pos)); });
    // The header's corner button lists the columns to show or hide.
    if (auto* corner = grid_->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        corner->disconnect();
        corner->setObjectName("columnsButton");
        corner->setToolTip(tr("Show or hide columns"));
        connect(corner, &QAbstractButton::clicked, this,
                [this, corner] { showColumnMenu(corner->mapToGlobal(QPoint(0, corner->height()))); });
    }

    grid_->installEventFilter(this);
    inner->addWidget(grid_, 1);
    filterBar_ = new FilterBar(*this, container_);
    inner->addWidget(filterBar_);
    layout->addWidget(container_, 1);

    status_ = new QStatusBar(body);
    status_->setObjectName("stat");
    status_->setFixedHeight(statusHeight);
    status_->setSizeGripEnabled(false);
    statusPanel_ = new QLabel(status_);
    statusPanel_->setObjectName("statPanel");
    statusPanel_->setFixedWidth(statusPanelWidth);
    status_->addWidget(statusPanel_);
    layout->addWidget(status_);
    setWidget(body);

    auto* deleteRecord = new QAction(tr("Delete record"), grid_);
    deleteRecord->setObjectName("deleteRecord");
    deleteRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    deleteRecord->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    grid_->addAction(deleteRecord);
    connect(deleteRecord, &QAction::triggered, this, [this] { runGuarded(this, [this] { deleteFocusedRecord(); }); });

    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        const int row = current.isValid() ? current.row() : -1;
        model_->setCurrentRow(row);
        // The dataset's cursor follows the grid's focused record.
        if (const engine::RecordNo rec = model_->recordAt(row)) {
            try {
                table_->gotoRecord(rec);
            } catch (...) {
            }
        }
    });
    connect(model_, &GridModel::editRefused, this, [this](const QString& message) { showMessage(this, message); });
    connect(model_, &GridModel::recordAppended, this, [this](int row) {
        if (row > 0)
            grid_->setCurrentIndex(model_->index(row, std::max(0, grid_->currentIndex().column())));
    });
    // A reload (filter, foreign change) keeps the focus near where it was.
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QModelIndex current = grid_->currentIndex();
        savedRow_ = current.isValid() ? current.row() : -1;
        savedColumn_ = current.isValid() ? current.column() : 0;
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        if (savedRow_ < 0 || model_->rowCount() == 0)
            return;
        const int row = std::min(savedRow_, model_->rowCount() - 1);
        const int column = std::min(savedColumn_, model_->columnCount() - 1);
        if (column >= 0)
            grid_->setCurrentIndex(model_->index(row, column));
    });
}

TableWindow::~TableWindow() {
    // The grid and the model let go of the table before it is destroyed.
    grid_->setModel(nullptr);
    delete model_;
    model_ = nullptr;
    if (host_) {
        try {
            host_->tableWindowDestroyed(*this);
        } catch (...) {
        }
    }
}

bool TableWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The last record is wanted: settle the whole view first so that the end is the real end.
        if (key->key() == Qt::Key_End && (key->modifiers() & Qt::ControlModifier))
            model_->settleAll();
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void TableWindow::commitPendingEdit() {
    // An open editor has the focus (losing it would have committed it already).
    for (QWidget* focus = QApplication::focusWidget(); focus; focus = focus->parentWidget()) {
        if (focus->parentWidget() == grid_->viewport()) {
            QMetaObject::invokeMethod(grid_, "commitData", Q_ARG(QWidget*, focus));
            QMetaObject::invokeMethod(grid_, "closeEditor", Q_ARG(QWidget*, focus),
                                      Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
            return;
        }
    }
}

void TableWindow::closeEvent(QCloseEvent* event) {
    commitPendingEdit();
    QMdiSubWindow::closeEvent(event);
}

engine::Table& TableWindow::table() { return *table_; }
const engine::Table& TableWindow::table() const { return *table_; }
QTableView* TableWindow::grid() { return grid_; }
QWidget* TableWindow::gridContainer() { return container_; }
GridModel* TableWindow::model() { return model_; }
FilterBar* TableWindow::filterBar() { return filterBar_; }
QStatusBar* TableWindow::statusBar() { return status_; }
QString TableWindow::statusText() const { return statusPanel_->text(); }

std::vector<int> TableWindow::visibleFields() const {
    std::vector<int> result;
    const QHeaderView* header = grid_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && !header->isSectionHidden(logical))
            result.push_back(logical);
    }
    return result;
}

bool TableWindow::openTable(const QString& path) {
    try {
        table_->close();
        model_->reload();
        const QFileInfo info(path);
        table_->open(localPath(info.path()), localPath(info.fileName()));
        tableAfterOpen();
        buildColumns();
        // Freshly opened tables show their text translated from the OEM code page.
        if (host_)
            host_->setCodePageChecks(true);
        setOemTranslate(true);
        filterBar_->refresh();
        return true;
    } catch (const std::exception& e) {
        showMessage(this, errorText(e));
        return false;
    }
}

void TableWindow::tableAfterOpen() {
    statusPanel_->setText(QStringLiteral("Row count: [%1]").arg(table_->recCount()));
}

void TableWindow::buildColumns() {
    model_->reload();
    QHeaderView* header = grid_->horizontalHeader();
    for (int column = 0; column < model_->columnCount(); ++column) {
        header->setSectionHidden(column, false);
        grid_->resizeColumnToContents(column);
        if (grid_->columnWidth(column) > maxColumnWidth)
            grid_->setColumnWidth(column, maxColumnWidth);
    }
    if (model_->rowCount() > 1)
        grid_->setCurrentIndex(model_->index(1, 0));
}

void TableWindow::showColumnMenu(const QPoint& globalPos) {
    QMenu menu(this);
    fillColumnMenu(menu);
    menu.exec(globalPos);
}

void TableWindow::fillColumnMenu(QMenu& menu) {
    menu.setObjectName("columnsMenu");
    QHeaderView* header = grid_->horizontalHeader();
    const int shown = static_cast<int>(visibleFields().size());
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        QAction* action = menu.addAction(model_->headerData(logical, Qt::Horizontal).toString());
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(logical));
        // The last visible column stays: a grid without columns could not be brought back.
        action->setEnabled(header->isSectionHidden(logical) || shown > 1);
        connect(action, &QAction::toggled, this, [this, logical](bool on) {
            grid_->setColumnHidden(logical, !on);
            if (on && grid_->columnWidth(logical) == 0)
                grid_->resizeColumnToContents(logical);
        });
    }
}

void TableWindow::formActivate() {
    try {
        // Another window (or program) may have written to the file meanwhile: show it afresh.
        model_->refresh();
        if (host_) {
            host_->setCodePageChecks(table_->oemTranslate());
            host_->selectTabById(tag_);
        }
    } catch (...) {
    }
}

void TableWindow::setOemTranslate(bool on) {
    model_->runOwnChange([&] { table_->setOemTranslate(on); });
    model_->invalidate();
}

void TableWindow::saveCopy(const QString& targetPath) {
    if (!table_->isOpen())
        return;
    const QString source = QString::fromStdString(table_->path());
    if (sameFile(source, targetPath))
        throw Error("Cannot copy the table onto itself: " + localPath(targetPath));
    if (table_->copyTo(localPath(QFileInfo(targetPath).absoluteFilePath())) == 0)
        throw Error("Unable to copy the table to " + localPath(targetPath));
}

void TableWindow::dbviewDataControllerFilterBeforeChange(const QString& filterText) {
    const std::string engineText = engine::rewriteGridFilter(toAnsi(filterText));
    try {
        model_->runOwnChange([&] { engine::installFilter(*table_, engineText); });
    } catch (...) {
        model_->reload();
        filterBar_->refresh();
        throw;
    }
    model_->reload();
    filterBar_->refresh();
}

bool TableWindow::deleteFocusedRecord() {
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid() || model_->recordAt(current.row()) == 0)
        return false;
    const int column = current.column();
    model_->deleteRow(current.row());
    const int rows = model_->rowCount();
    if (rows > 1)
        grid_->setCurrentIndex(model_->index(std::min(current.row(), rows - 1), column));
    return true;
}

} // namespace tabvue::gui
