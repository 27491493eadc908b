#pragma once
// The modal format selection dialog: the user picks a format and chooses between viewing the
// result and exporting it to a file. Every choice goes straight into the component.
#include <QDialog>
#include <QPixmap>
#include <vector>

class QPushButton;
class QGroupBox;
class QComboBox;
class QRadioButton;

namespace tabvue::exporter {

class CustomExport;

class FormatSelectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit FormatSelectionDialog(QWidget* parent = nullptr);
    ~FormatSelectionDialog() override;

    // Fills the dialog from the component's settings and attaches it (the component must outlive
    // the dialog's use). Does not show it.
    void fill(CustomExport& component);
    // fill() and exec(); true when confirmed.
    bool run(CustomExport& component);

    // The change handler of the list and of both radio buttons (identified by their "tag").
    void selectionChanged(QObject* sender);

    // The eight 31 x 31 format images, by index.
    const std::vector<QPixmap>& images() const { return images_; }
    // The index of the image shown in the icon box.
    int shownIcon() const;

    QPushButton* btn_Selection = nullptr;
    QPushButton* btn_Cancel = nullptr;
    QGroupBox* GroupBox = nullptr;
    QComboBox* SelectionCombo = nullptr;
    QRadioButton* rdo_View = nullptr;
    QRadioButton* rdo_File = nullptr;
    QWidget* IconImage = nullptr;

private:
    CustomExport* component_ = nullptr;
    std::vector<QPixmap> images_;
};

} // namespace tabvue::exporter
