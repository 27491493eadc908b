#include "table/table_window.h"

#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include "engine/table.h"
#include "table/filter_bar.h"

namespace tabvue::gui {

TableWindow::TableWindow(TableWindowHost* host, QWidget* parent)
    : QMdiSubWindow(parent), host_(host), table_(std::make_unique<engine::Table>()) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    container_ = new QWidget(body);
    container_->setObjectName("dbdbf");
    auto* inner = new QVBoxLayout(container_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(0);
    grid_ = new QTableView(container_);
    grid_->setObjectName("dbview");
    inner->addWidget(grid_);
    filterBar_ = new FilterBar(*this, container_);
    inner->addWidget(filterBar_);
    layout->addWidget(container_);
    status_ = new QStatusBar(body);
    status_->setObjectName("stat");
    statusPanel_ = new QLabel(status_);
    statusPanel_->setFixedWidth(200);
    status_->addWidget(statusPanel_);
    layout->addWidget(status_);
    setWidget(body);
}

TableWindow::~TableWindow() {
    if (host_) {
        try { host_->tableWindowDestroyed(*this); } catch (...) {}
    }
}

engine::Table& TableWindow::table() { return *table_; }
const engine::Table& TableWindow::table() const { return *table_; }
QTableView* TableWindow::grid() { return grid_; }
QWidget* TableWindow::gridContainer() { return container_; }
GridModel* TableWindow::model() { return model_; }
FilterBar* TableWindow::filterBar() { return filterBar_; }
QStatusBar* TableWindow::statusBar() { return status_; }
QString TableWindow::statusText() const { return statusPanel_->text(); }
std::vector<int> TableWindow::visibleFields() const { return {}; }
bool TableWindow::openTable(const QString&) { return false; }
void TableWindow::tableAfterOpen() {}
void TableWindow::formActivate() {}
void TableWindow::setOemTranslate(bool) {}
void TableWindow::saveCopy(const QString&) {}
void TableWindow::dbviewDataControllerFilterBeforeChange(const QString&) {}
bool TableWindow::deleteFocusedRecord() { return false; }
void TableWindow::buildColumns() {}
void TableWindow::showColumnMenu(const QPoint&) {}

} // namespace tabvue::gui
