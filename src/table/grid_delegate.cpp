#include "table/grid_delegate.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "table/grid_model.h"

namespace tabvue::gui {

namespace {
constexpr int memoEditorWidth = 360;
constexpr int memoEditorHeight = 160;
} // namespace

GridDelegate::GridDelegate(GridModel& model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (model_.isMemo(index.column())) {
        auto* editor = new QPlainTextEdit(parent);
        editor->setObjectName("memoEditor");
        editor->setTabChangesFocus(true);
        editor->setFrameShape(QFrame::Box);
        return editor;
    }
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        const auto& fields = model_.table().fields();
        if (index.column() < static_cast<int>(fields.size()) && fields[index.column()].kind == engine::FieldKind::String)
            line->setMaxLength(fields[index.column()].size);
    }
    return editor;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
        memo->setPlainText(index.data(Qt::EditRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
        model->setData(index, memo->toPlainText(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

void GridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!qobject_cast<QPlainTextEdit*>(editor)) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    QRect r = option.rect;
    r.setWidth(std::max(r.width(), memoEditorWidth));
    r.setHeight(std::max(r.height(), memoEditorHeight));
    if (const QWidget* area = editor->parentWidget()) {
        // Keep the editor inside the visible part of the grid.
        const QRect bounds = area->rect();
        if (r.right() > bounds.right())
            r.moveRight(std::max(bounds.right(), r.width() - 1));
        if (r.bottom() > bounds.bottom())
            r.moveBottom(std::max(bounds.bottom(), r.height() - 1));
        r.moveLeft(std::max(0, r.left()));
        r.moveTop(std::max(0, r.top()));
    }
    editor->setGeometry(r);
}

bool GridDelegate::eventFilter(QObject* object, QEvent* event) {
    if (auto* memo = qobject_cast<QPlainTextEdit*>(object); memo && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::ControlModifier)) {
            emit commitData(memo);
            emit closeEditor(memo, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace tabvue::gui
