#include "table/filter_bar.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>
#include <exception>

#include "engine/table.h"
#include "table/ansi_text.h"
#include "table/filter_builder.h"
#include "table/grid_model.h"
#include "table/messages.h"
#include "table/table_window.h"

namespace tabvue::gui {

FilterBar::FilterBar(TableWindow& window, QWidget* parent)
    : QWidget(parent), window_(window), tree_(FilterNode::group(FilterJoin::And, {})),
      clear_(new QToolButton(this)), enabled_(new QCheckBox(this)), label_(new QLabel(this)) {
    setObjectName(QStringLiteral("filterBar"));
    clear_->setObjectName(QStringLiteral("filterClear"));
    clear_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    clear_->setToolTip(QStringLiteral("Clear the filter"));
    clear_->setAutoRaise(true);
    enabled_->setObjectName(QStringLiteral("filterEnabled"));
    enabled_->setToolTip(QStringLiteral("Switch the filter off and on"));
    label_->setObjectName(QStringLiteral("filterText"));
    label_->setCursor(Qt::PointingHandCursor);
    label_->setTextFormat(Qt::PlainText);
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label_->installEventFilter(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(4);
    layout->addWidget(clear_);
    layout->addWidget(enabled_);
    layout->addWidget(label_, 1);

    connect(clear_, &QToolButton::clicked, this, &FilterBar::clearFilter);
    connect(enabled_, &QCheckBox::clicked, this, &FilterBar::setFilterEnabled);
    refresh();
}

void FilterBar::refresh() {
    const engine::Table& table = window_.table();
    const QString text = fromAnsi(table.filter());
    // Without a filter text there is no filter to show in the builder either (a table opened
    // again, a filter cleared elsewhere).
    if (text.isEmpty())
        tree_ = FilterNode::group(FilterJoin::And, {});
    label_->setText(text);
    label_->setToolTip(text.isEmpty() ? QString() : text + QStringLiteral("\n\nClick to change the filter"));
    enabled_->setChecked(table.filtered());
    QFont font = label_->font();
    font.setStrikeOut(!table.filtered());
    label_->setFont(font);
    setVisible(!text.isEmpty());
}

QString FilterBar::text() const { return label_->text(); }
bool FilterBar::filterEnabled() const { return enabled_->isChecked(); }

void FilterBar::clearFilter() {
    tree_ = FilterNode::group(FilterJoin::And, {});
    try {
        window_.dbviewDataControllerFilterBeforeChange(QString());
    } catch (const std::exception& e) {
        showMessage(this, errorText(e));
    }
    refresh();
}

void FilterBar::setFilterEnabled(bool on) {
    try {
        window_.table().setFiltered(on);
    } catch (const std::exception& e) {
        showMessage(this, errorText(e));
    }
    if (GridModel* model = window_.model())
        model->reload();
    refresh();
}

void FilterBar::openBuilder() { runFilterBuilder(window_); }

bool FilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == label_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The builder runs a nested event loop; start it once this click is done with.
        QMetaObject::invokeMethod(this, &FilterBar::openBuilder, Qt::QueuedConnection);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tabvue::gui
