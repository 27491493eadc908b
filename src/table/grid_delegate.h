#pragma once
#include <QStyledItemDelegate>

namespace tabvue::gui {

class GridModel;

// Cell editors of the grid: a line editor for plain fields, a multi-line editor for memos that
// grows beyond its cell (Ctrl+Enter or leaving it commits, Escape cancels, Enter breaks the line).
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(GridModel& model, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    GridModel& model_;
};

} // namespace tabvue::gui
