#include "table/ansi_text.h"

#include "engine/codepage.h"

namespace tabvue::gui {

QString fromAnsi(std::string_view bytes) {
    return QString::fromStdString(engine::codePage(engine::ansiCodePage()).decode(bytes));
}

std::string toAnsi(const QString& text, bool* lossless) {
    return engine::codePage(engine::ansiCodePage()).encode(text.toStdString(), lossless);
}

} // namespace tabvue::gui
