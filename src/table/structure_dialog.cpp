#include "table/structure_dialog.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/table.h"
#include "table/ansi_text.h"

namespace tabvue::gui {

QString fieldTypeName(char typeLetter) {
    return QString::fromLatin1(engine::fieldTypeName(typeLetter));
}

std::vector<QStringList> structureRows(const std::vector<engine::FieldDescriptor>& descriptors) {
    std::vector<QStringList> rows;
    rows.reserve(descriptors.size());
    for (const engine::FieldDescriptor& d : descriptors)
        rows.push_back({fromAnsi(d.name), fieldTypeName(d.type),
                        QString::number(d.width), QString::number(d.decimals)});
    return rows;
}

StructureDialog::StructureDialog(QWidget* parent) : QDialog(parent), list_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("StructureDialog"));
    setWindowTitle(QStringLiteral("Table property"));
    setFixedSize(356, 263);
    list_->setObjectName(QStringLiteral("ListView1"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setItemsExpandable(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setColumnCount(0);
    list_->header()->setStretchLastSection(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
}

void StructureDialog::fillFieldList(const engine::Table& table) {
    list_->clear();
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Len"),
                            QStringLiteral("Dec")});
    const int widths[] = {150, 100, 50, 50};
    for (int c = 0; c < 4; ++c)
        list_->setColumnWidth(c, widths[c]);
    QList<QTreeWidgetItem*> items;
    for (const QStringList& row : structureRows(table.descriptors()))
        items << new QTreeWidgetItem(row);
    list_->addTopLevelItems(items);
}

void showStructureDialog(QWidget* parent, const engine::Table& table) {
    StructureDialog dialog(parent);
    dialog.fillFieldList(table);
    dialog.exec();
}

} // namespace tabvue::gui
