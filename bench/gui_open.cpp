// The table window on a large table: time from opening to the first painted screen, time to paint
// the last screen after Ctrl+End, and resident memory after each.
//
//   bench_gui_open FILE...      (runs on the offscreen platform unless QT_QPA_PLATFORM is set)
//
// Prints one line of key=value pairs per file.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMdiArea>
#include <QTableView>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/table.h"
#include "table/grid_model.h"
#include "table/table_window.h"

namespace {

long rssKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, n, key) == 0)
            return std::atol(line.c_str() + n);
    return -1;
}

// Counts the paint events the grid's viewport receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Processes events until done() holds after a paint; false after the time limit.
template <class Done>
bool waitForPaint(PaintCounter& counter, Done done, int limitMs = 60000) {
    QElapsedTimer limit;
    limit.start();
    const int before = counter.paints;
    while (limit.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::AllEvents);
        if (counter.paints > before && done())
            return true;
    }
    return false;
}

void measure(QMdiArea& area, const QString& path) {
    using tabvue::gui::TableWindow;
    const long anonBefore = rssKb("RssAnon:");
    auto* window = new TableWindow(nullptr);
    area.addSubWindow(window);
    window->showMaximized();
    QApplication::processEvents();
    PaintCounter counter;
    QTableView* grid = window->grid();
    grid->viewport()->installEventFilter(&counter);

    QElapsedTimer timer;
    timer.start();
    const bool opened = window->openTable(path);
    const bool painted = opened && waitForPaint(counter, [] { return true; });
    const double firstMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const long anonOpen = rssKb("RssAnon:");
    const long fileOpen = rssKb("RssFile:");

    tabvue::gui::GridModel* model = window->model();
    timer.restart();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(grid, &press);
    const auto atEnd = [&] {
        // Ctrl+End again once the view has grown, so the cursor lands on the true last row.
        if (grid->currentIndex().row() != model->rowCount() - 1 || model->canFetchMore({})) {
            QKeyEvent again(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QApplication::sendEvent(grid, &again);
            return false;
        }
        return window->table().viewComplete();
    };
    const bool lastPainted = painted && waitForPaint(counter, atEnd);
    const double lastMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const long anonEnd = rssKb("RssAnon:");
    const long fileEnd = rssKb("RssFile:");

    std::printf("file=%s first_paint_ms=%.1f last_screen_ms=%.1f rows=%d anon_kb_open=%ld file_kb_open=%ld "
                "anon_kb_end=%ld file_kb_end=%ld ok=%d\n",
                path.toLocal8Bit().constData(), firstMs, lastMs, model->rowCount() - 1, anonOpen - anonBefore,
                fileOpen, anonEnd - anonBefore, fileEnd, painted && lastPainted ? 1 : 0);
    std::fflush(stdout);
    window->close();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: bench_gui_open FILE...\n", stderr);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QMdiArea area;
    area.resize(1280, 800);
    area.show();
    QApplication::processEvents();
    for (int i = 1; i < argc; ++i)
        measure(area, QString::fromLocal8Bit(argv[i]));
    return 0;
}
