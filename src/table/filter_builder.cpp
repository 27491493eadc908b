#include "table/filter_builder.h"

#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <QVBoxLayout>
#include <exception>

#include "engine/table.h"
#include "table/ansi_text.h"
#include "table/filter_bar.h"
#include "table/filter_tree_widgets.h"
#include "table/messages.h"
#include "table/table_window.h"

namespace tabvue::gui {

std::vector<FilterField> filterFields(const engine::Table& table) {
    std::vector<FilterField> fields;
    for (const engine::Field& f : table.fields()) {
        const FilterValueKind kind = filterValueKind(f.kind);
        if (kind != FilterValueKind::None)
            fields.push_back({fromAnsi(f.name), kind});
    }
    return fields;
}

FilterCalendar currentFilterCalendar() { return {QDate::currentDate(), QLocale::system().firstDayOfWeek()}; }

FilterBuilderDialog::FilterBuilderDialog(std::vector<FilterField> fields, const FilterNode& tree, QWidget* parent)
    : QDialog(parent), fields_(std::move(fields)), root_(nullptr), scroll_(new QScrollArea(this)) {
    setObjectName(QStringLiteral("FilterBuilder"));
    setWindowTitle(QStringLiteral("Filter builder"));
    root_ = new FilterGroupWidget(fields_, true, nullptr);
    // Without a filter in force the tree starts empty: OK then sets no filter, rather than a
    // condition the user never filled in.
    root_->load(tree.isGroup ? tree : FilterNode::group(FilterJoin::And, {tree}));

    // The tree grows downwards inside a scroll area; its top stays at the top.
    auto* holder = new QWidget;
    auto* holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(root_);
    holderLayout->addStretch(1);
    scroll_->setWidget(holder);
    scroll_->setWidgetResizable(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* clear = buttons->addButton(QStringLiteral("Clear"), QDialogButtonBox::ResetRole);
    clear->setObjectName(QStringLiteral("filterBuilderClear"));
    clear->setToolTip(QStringLiteral("Remove every condition"));
    connect(clear, &QPushButton::clicked, this, [this] { root_->load(FilterNode::group(FilterJoin::And, {})); });
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterBuilderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FilterBuilderDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addWidget(buttons);
    // Wide enough for the tree as it opens, within reason; a deeper tree scrolls.
    const int wanted = holder->sizeHint().width() + scroll_->verticalScrollBar()->sizeHint().width() +
                       layout->contentsMargins().left() + layout->contentsMargins().right() + 8;
    resize(std::clamp(wanted, 640, 1100), 360);
}

FilterNode FilterBuilderDialog::tree() const { return root_->node(); }

void FilterBuilderDialog::accept() {
    const QString problem = filterTreeProblem(tree());
    if (!problem.isEmpty()) {
        showMessage(this, problem);
        return;
    }
    QDialog::accept();
}

void applyFilterTree(TableWindow& window, const FilterNode& tree, const FilterCalendar& calendar) {
    // The tree is kept first, so after a rejected expression the builder opens on it again.
    if (FilterBar* bar = window.filterBar())
        bar->setFilterTree(tree);
    window.dbviewDataControllerFilterBeforeChange(filterText(tree, calendar));
}

void runFilterBuilder(TableWindow& window) {
    FilterBar* bar = window.filterBar();
    const FilterNode current = bar ? bar->filterTree() : FilterNode::group(FilterJoin::And, {});
    FilterBuilderDialog dialog(filterFields(window.table()), current, &window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        applyFilterTree(window, dialog.tree(), currentFilterCalendar());
    } catch (const std::exception& e) {
        showMessage(&window, errorText(e));
    }
}

} // namespace tabvue::gui
