#pragma once
#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace tabvue::gui {

// Shows text in a plain message box with an OK button and waits for it to close. When a hook is
// installed the text goes to the hook instead (tests, batch tools).
void showMessage(QWidget* parent, const QString& text);

using MessageHook = std::function<void(const QString& text)>;
// Installs a hook (an empty function removes it) and returns the previous one.
MessageHook setMessageHook(MessageHook hook);

// The user-readable text of an exception's message: UTF-8 when it is valid UTF-8, otherwise bytes
// of the ANSI code page (engine messages may quote field text).
QString errorText(const std::exception& e);

// Runs one command handler. An exception never leaves it: its message is shown instead, and the
// program carries on.
template <class Handler>
void runGuarded(QWidget* parent, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showMessage(parent, errorText(e));
    } catch (...) {
        showMessage(parent, QStringLiteral("Unexpected error"));
    }
}

} // namespace tabvue::gui
