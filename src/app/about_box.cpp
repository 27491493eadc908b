#include "app/about_box.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/app_icons.h"

namespace tabvue::gui {

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int width) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->resize(width, l->sizeHint().height());
    return l;
}
} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 281, 113);

    auto* icon = new QLabel(panel);
    icon->setObjectName("ProgramIcon");
    icon->setGeometry(8, 8, 41, 41);
    icon->setPixmap(programIcon().pixmap(QSize(41, 41)));

    label(panel, "ProductName", QStringLiteral("Program: tabvue"), 88, 16, 185);
    label(panel, "Version", QStringLiteral("Version 1.0"), 88, 40, 185);
    label(panel, "Copyright", QStringLiteral("Copyright \u00A9 2026 The Tabvue developers"), 8, 69, 265);
    label(panel, "Label1", QStringLiteral("Contact: tabvue@users.noreply.github.com"), 8, 88, 265);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName("OKButton");
    ok_->setGeometry(112, 129, 65, 23);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(298, 155);
}

void AboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    ok_->setFocus();
}

} // namespace tabvue::gui
