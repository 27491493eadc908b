#include "app/gui_bench.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTableView>
#include <cstdio>

#include "app/main_window.h"
#include "table/grid_model.h"

namespace tabvue::gui {

namespace {

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class PaintProbe : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

bool waitForPaint(PaintProbe& probe, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!probe.painted && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return probe.painted;
}

} // namespace

int runGuiBench(const QString& path) {
    MainWindow window;
    window.showMaximized();
    QApplication::processEvents();
    const long before = residentKb();

    QElapsedTimer clock;
    clock.start();
    TableWindow* table = window.openTableFile(path);
    if (!table || !table->table().isOpen()) {
        std::fprintf(stderr, "tabvue: could not open %s\n", qPrintable(path));
        return 1;
    }
    PaintProbe probe;
    table->grid()->viewport()->installEventFilter(&probe);
    if (!waitForPaint(probe, 60000)) {
        std::fprintf(stderr, "tabvue: the grid was never painted\n");
        return 1;
    }
    const qint64 firstPaint = clock.elapsed();
    const long after = residentKb();

    probe.painted = false;
    table->grid()->setFocus();
    clock.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(table->grid(), &end);
    waitForPaint(probe, 60000);
    const qint64 lastPaint = clock.elapsed();
    const int row = table->grid()->currentIndex().row();

    std::printf("rows %d\n", table->model()->rowCount() - 1);
    std::printf("open_to_first_paint_ms %lld\n", static_cast<long long>(firstPaint));
    std::printf("ctrl_end_to_paint_ms %lld\n", static_cast<long long>(lastPaint));
    std::printf("last_row_focused %d\n", row);
    std::printf("rss_before_open_kb %ld\n", before);
    std::printf("rss_after_open_kb %ld\n", after);
    std::printf("rss_after_ctrl_end_kb %ld\n", residentKb());
    return 0;
}

} // namespace tabvue::gui
