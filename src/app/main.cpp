#include <QApplication>
#include <QScreen>

#include "app/app_icons.h"
#include "app/gui_bench.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabvue"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setDesktopFileName(QStringLiteral("tabvue"));
    tabvue::gui::initResources();
    QApplication::setWindowIcon(tabvue::gui::programIcon());

    const QStringList arguments = QApplication::arguments();
    const QString first = arguments.size() > 1 ? arguments.at(1) : QString();
    if (qEnvironmentVariableIsSet("TABVUE_GUI_BENCH"))
        return tabvue::gui::runGuiBench(first);

    tabvue::gui::MainWindow window(first);
    // The frame starts filling the screen, also where no window manager maximises it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return QApplication::exec();
}
