#include "export/ui/export_progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>

#include "export/format_selection.h"
#include "export/ui/qt_export_host.h"

namespace tabvue::exporter {

ExportProgressWindow::ExportProgressWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("frm_ProgressForm");
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);
    resize(186, 61);

    ProgressLabel = new QLabel(this);
    ProgressLabel->setObjectName("ProgressLabel");
    ProgressLabel->setGeometry(8, 8, 67, 13);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setGeometry(8, 32, 169, 16);
    ProgressBar->setMinimum(0);
    ProgressBar->setTextVisible(false);
}

void ExportProgressWindow::start(const ProgressRequest& r) {
    setWindowTitle(fromAnsi(r.caption));
    // The outer size includes the caption bar and border. The platform reports them once the window
    // has been framed; before that (and on platforms without frames) a tool window's usual caption
    // bar and borders stand in.
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.width() <= 0 || frame.height() <= 0) {
        const int border = 3;
        const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        frame = QSize(2 * border, caption + 2 * border);
    }
    const int clientWidth = std::max(0, r.width - frame.width());
    const int clientHeight = std::max(0, r.height - frame.height());
    setFixedSize(clientWidth, clientHeight);

    const bool hasText = !r.text.empty();
    ProgressLabel->setText(hasText ? fromAnsi(r.text) : QString());
    ProgressLabel->adjustSize();
    ProgressLabel->setVisible(hasText);
    const int barHeight = 16;
    const ProgressLayout layout =
        progressLayout(r.height, clientWidth, clientHeight, ProgressLabel->height(), barHeight, hasText);
    if (hasText)
        ProgressLabel->move(layout.labelLeft, layout.labelTop);
    ProgressBar->setGeometry(layout.barLeft, layout.barTop, layout.barWidth, barHeight);
    ProgressBar->setMaximum(static_cast<int>(std::min<std::uint32_t>(r.total, INT32_MAX)));
    ProgressBar->setValue(0);

    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(r.width / 2, r.height / 2));
    show();
    // Painted once now: the walk that follows processes no other window messages.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void ExportProgressWindow::setPosition(std::uint32_t position) {
    ProgressBar->setValue(static_cast<int>(std::min<std::uint32_t>(position, INT32_MAX)));
}

void ExportProgressWindow::finish() { hide(); }

} // namespace tabvue::exporter
