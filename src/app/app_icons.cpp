#include "app/app_icons.h"

#include <QString>

// Resources compiled into a static library need an explicit start.
static void initTabvueResources() { Q_INIT_RESOURCE(tabvue); }

namespace tabvue::gui {

namespace {

struct CommandPicture {
    int index;
    const char* theme;
    const char* file;
};

constexpr CommandPicture pictures[] = {
    {0, "edit-cut", "cut"},
    {1, "edit-copy", "copy"},
    {2, "edit-paste", "paste"},
    {7, "document-open", "open"},
    {8, "document-save-as", "save"},
    {10, "document-properties", "property"},
    {15, "", "tile-horizontal"},
    {16, "", "tile-vertical"},
    {17, "", "cascade"},
    {23, "", "filter"},
    {24, "", "export"},
    {25, "help-contents", "help"},
    {26, "document-print", "print"},
};

} // namespace

void initResources() {
    static const bool done = [] {
        initTabvueResources();
        return true;
    }();
    (void)done;
}

QIcon commandIcon(int index) {
    initResources();
    for (const CommandPicture& p : pictures) {
        if (p.index != index)
            continue;
        const QIcon bundled(QStringLiteral(":/icons/%1.png").arg(QLatin1String(p.file)));
        if (*p.theme)
            return QIcon::fromTheme(QLatin1String(p.theme), bundled);
        return bundled;
    }
    return {};
}

QIcon programIcon() {
    initResources();
    return QIcon(QStringLiteral(":/icons/tabvue.png"));
}

} // namespace tabvue::gui
