#pragma once
#include <QString>
#include <string>
#include <string_view>

namespace tabvue::gui {

// Table text is bytes in the process's ANSI code page; the screen shows Unicode.
QString fromAnsi(std::string_view bytes);
// Encodes for the engine; characters the code page lacks become '?' and clear *lossless.
std::string toAnsi(const QString& text, bool* lossless = nullptr);

} // namespace tabvue::gui
