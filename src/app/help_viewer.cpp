#include "app/help_viewer.h"

#include <QFile>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/app_icons.h"
#include "app/rtf_reader.h"
#include "engine/error.h"

namespace tabvue::gui {

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
    setObjectName("HelpViewer");
    setWindowTitle(QStringLiteral("Contents"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    resize(584, 500);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    editor_ = new QTextEdit(this);
    editor_->setObjectName("Editor");
    editor_->setReadOnly(true);
    editor_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor_->setTabChangesFocus(false);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    editor_->document()->setDefaultFont(font);
    layout->addWidget(editor_);
}

void HelpViewer::loadResource(const QString& path) {
    initResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Resource OVERVIEWRTF not found");
    const QByteArray rtf = file.readAll();
    file.close();
    readRtf(rtf, *editor_->document());
    editor_->moveCursor(QTextCursor::Start);
}

} // namespace tabvue::gui
