#pragma once
#include <QDialog>

class QTextEdit;

namespace tabvue::gui {

// "Contents": the program's overview, a read-only rich text that can be selected and copied.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    // Reads the RTF document at a Qt resource (or file) path; throws tabvue::Error when it is
    // missing or unreadable.
    void loadResource(const QString& path);
    QTextEdit* editor() const { return editor_; }

private:
    QTextEdit* editor_ = nullptr;
};

} // namespace tabvue::gui
