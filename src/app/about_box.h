#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace tabvue::gui {

// "About": the program's name, version, rights notice and contact line. Made once, reused.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    QPushButton* okButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* ok_ = nullptr;
};

} // namespace tabvue::gui
