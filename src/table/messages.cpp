#include "table/messages.h"

#include <QMessageBox>
#include <QStringDecoder>

#include "engine/codepage.h"

namespace tabvue::gui {

namespace {
MessageHook& hook() {
    static MessageHook h;
    return h;
}
} // namespace

void showMessage(QWidget* parent, const QString& text) {
    if (hook()) {
        hook()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tabvue"), text, QMessageBox::Ok, parent);
    box.exec();
}

MessageHook setMessageHook(MessageHook h) {
    MessageHook previous = std::move(hook());
    hook() = std::move(h);
    return previous;
}

QString errorText(const std::exception& e) {
    const QByteArray bytes(e.what());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    try {
        return QString::fromStdString(engine::codePage(engine::ansiCodePage()).decode(bytes.toStdString()));
    } catch (...) {
        return QString::fromLatin1(bytes);
    }
}

} // namespace tabvue::gui
