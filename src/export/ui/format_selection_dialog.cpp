#include "export/ui/format_selection_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>

#include "export/custom_export.h"
#include "export/format_selection.h"
#include "export/ui/qt_export_host.h"

// The format images live in this static library's resources; make sure they are registered.
static void initExportIcons() { Q_INIT_RESOURCE(export_icons); }

namespace tabvue::exporter {

namespace {

constexpr int ImageCount = 8;
constexpr int ImageSize = 31;

// The icon box: paints the image of the component's ExportType at its top-left corner.
class IconBox : public QWidget {
public:
    IconBox(QWidget* parent, FormatSelectionDialog& dialog) : QWidget(parent), dialog_(dialog) {}

protected:
    void paintEvent(QPaintEvent*) override {
        const int icon = dialog_.shownIcon();
        if (icon < 0 || icon >= static_cast<int>(dialog_.images().size()))
            return;
        QPainter p(this);
        p.drawPixmap(0, 0, dialog_.images()[static_cast<std::size_t>(icon)]);
    }

private:
    FormatSelectionDialog& dialog_;
};

} // namespace

FormatSelectionDialog::FormatSelectionDialog(QWidget* parent) : QDialog(parent) {
    initExportIcons();
    setObjectName("frm_Selection");
    // A tool window with a fixed border and no buttons on its caption bar, above other windows.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setFixedSize(322, 123);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    btn_Selection = new QPushButton(this);
    btn_Selection->setObjectName("btn_Selection");
    btn_Selection->setGeometry(240, 8, 75, 25);
    btn_Selection->setDefault(true);
    connect(btn_Selection, &QPushButton::clicked, this, &QDialog::accept);

    btn_Cancel = new QPushButton(this);
    btn_Cancel->setObjectName("btn_Cancel");
    btn_Cancel->setGeometry(240, 40, 75, 25);
    connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects as well

    GroupBox = new QGroupBox(this);
    GroupBox->setObjectName("GroupBox");
    GroupBox->setGeometry(8, 8, 225, 113);

    SelectionCombo = new QComboBox(GroupBox);
    SelectionCombo->setObjectName("SelectionCombo");
    SelectionCombo->setGeometry(8, 24, 209, 21);
    SelectionCombo->setEditable(false);
    SelectionCombo->setProperty("tag", FormatComboTag);

    rdo_View = new QRadioButton(GroupBox);
    rdo_View->setObjectName("rdo_View");
    rdo_View->setGeometry(8, 60, 113, 17);
    rdo_View->setProperty("tag", ViewRadioTag);

    rdo_File = new QRadioButton(GroupBox);
    rdo_File->setObjectName("rdo_File");
    rdo_File->setGeometry(8, 80, 113, 17);
    rdo_File->setProperty("tag", FileRadioTag);

    IconImage = new IconBox(GroupBox, *this);
    IconImage->setObjectName("IconImage");
    IconImage->setGeometry(176, 64, 40, 40);

    setTabOrder(btn_Selection, btn_Cancel);
    setTabOrder(btn_Cancel, SelectionCombo);
    setTabOrder(SelectionCombo, rdo_View);
    setTabOrder(rdo_View, rdo_File);

    for (int i = 0; i < ImageCount; ++i) {
        QPixmap image(QString(":/icons/export/%1.png").arg(i));
        if (image.isNull() || image.size() != QSize(ImageSize, ImageSize)) {
            // A missing resource still leaves an image of the right size.
            QPixmap blank(ImageSize, ImageSize);
            blank.fill(Qt::transparent);
            image = blank;
        }
        images_.push_back(image);
    }

    connect(SelectionCombo, &QComboBox::currentIndexChanged, this, [this] { selectionChanged(SelectionCombo); });
    connect(rdo_View, &QRadioButton::clicked, this, [this] { selectionChanged(rdo_View); });
    connect(rdo_File, &QRadioButton::clicked, this, [this] { selectionChanged(rdo_File); });
}

FormatSelectionDialog::~FormatSelectionDialog() = default;

void FormatSelectionDialog::fill(CustomExport& c) {
    component_ = nullptr; // no handler runs while the list is rebuilt
    const MessagesOptions& m = c.messages();
    setWindowTitle(fromAnsi(m.caption));
    btn_Selection->setText(fromAnsi(m.exportCaption));
    btn_Cancel->setText(fromAnsi(m.cancelCaption));
    GroupBox->setTitle(fromAnsi(" " + m.selectFormat + " "));

    c.setExportTypes(c.exportTypes()); // keeps ExportType offered
    const FormatList list = formatList(c.exportTypes(), c.exportType());
    SelectionCombo->clear();
    for (const FormatEntry& e : list.entries)
        SelectionCombo->addItem(fromAnsi(e.text));
    SelectionCombo->setCurrentIndex(list.selected);
    SelectionCombo->setMaxVisibleItems(std::max(1, static_cast<int>(list.entries.size())));

    rdo_View->setText(fromAnsi(m.viewOnly));
    rdo_File->setText(fromAnsi(m.exportToFile));
    rdo_View->setChecked(c.exportStyle() == ExportStyle::xsView);
    rdo_File->setChecked(c.exportStyle() == ExportStyle::xsFile);

    component_ = &c;
    selectionChanged(SelectionCombo);
}

bool FormatSelectionDialog::run(CustomExport& c) {
    fill(c);
    // Centred on the desktop, not on the window that asked.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    const bool confirmed = exec() == QDialog::Accepted;
    component_ = nullptr;
    return confirmed;
}

void FormatSelectionDialog::selectionChanged(QObject* sender) {
    if (!component_ || !sender)
        return;
    const int tag = sender->property("tag").toInt();
    if (qobject_cast<QRadioButton*>(sender)) {
        if (tag == ViewRadioTag)
            component_->setExportStyle(ExportStyle::xsView);
        else if (tag == FileRadioTag)
            component_->setExportStyle(ExportStyle::xsFile);
    }
    if (auto* combo = qobject_cast<QComboBox*>(sender); combo && tag == FormatComboTag) {
        const std::string text = toAnsi(combo->currentText());
        const bool enabled = styleChoiceEnabled(text);
        rdo_View->setEnabled(enabled);
        rdo_File->setEnabled(enabled);
        if (const std::optional<ExportType> type = formatFromEntryText(text))
            component_->setExportType(*type);
        IconImage->update();
    }
}

int FormatSelectionDialog::shownIcon() const { return component_ ? formatIcon(component_->exportType()) : -1; }

} // namespace tabvue::exporter
