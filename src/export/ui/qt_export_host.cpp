#include "export/ui/qt_export_host.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

#include "engine/codepage.h"
#include "engine/error.h"
#include "export/ui/export_progress_window.h"
#include "export/ui/format_selection_dialog.h"

namespace tabvue::exporter {

QString fromAnsi(std::string_view text) {
    return QString::fromStdString(engine::codePage(engine::ansiCodePage()).decode(text));
}

std::string toAnsi(const QString& text) {
    return engine::codePage(engine::ansiCodePage()).encode(text.toStdString());
}

QtExportHost::QtExportHost(QWidget* parent) : parent_(parent) {}

QtExportHost::~QtExportHost() = default;

FormatSelectionDialog& QtExportHost::selectionDialog() {
    if (!selection_)
        selection_ = std::make_unique<FormatSelectionDialog>(parent_);
    return *selection_;
}

ExportProgressWindow& QtExportHost::progressWindow() {
    if (!progress_)
        progress_ = std::make_unique<ExportProgressWindow>(parent_);
    return *progress_;
}

bool QtExportHost::selectFormat(CustomExport& component) { return selectionDialog().run(component); }

QString QtExportHost::qtNameFilter(const std::string& filter) {
    // "Description (*.xls)|*.XLS": the description, then the pattern after the bar.
    const std::size_t bar = filter.find('|');
    if (bar == std::string::npos)
        return fromAnsi(filter);
    std::string description = filter.substr(0, bar);
    const std::string pattern = filter.substr(bar + 1);
    const std::size_t open = description.rfind(" (");
    if (open != std::string::npos && description.back() == ')') {
        const std::string shown = description.substr(open + 2, description.size() - open - 3);
        description = description.substr(0, open);
        if (shown != pattern)
            return fromAnsi(description + " (" + shown + " " + pattern + ")");
        return fromAnsi(description + " (" + pattern + ")");
    }
    return fromAnsi(description + " (" + pattern + ")");
}

std::optional<std::string> QtExportHost::saveFileName(const SaveDialogRequest& r) {
    QFileDialog dialog(parent_, fromAnsi(r.title), QString::fromStdString(r.initialDir), qtNameFilter(r.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(r.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

void QtExportHost::showProgress(const ProgressRequest& request) { progressWindow().start(request); }

void QtExportHost::setProgress(std::uint32_t position) {
    if (progress_)
        progress_->setPosition(position);
}

void QtExportHost::closeProgress() {
    if (progress_)
        progress_->finish();
}

void QtExportHost::showError(const std::string& message) {
    QMessageBox::critical(parent_, QApplication::applicationDisplayName(), fromAnsi(message), QMessageBox::Ok);
}

void QtExportHost::showInformation(const std::string& message) {
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), fromAnsi(message), QMessageBox::Ok);
}

void QtExportHost::setClipboardText(std::string_view ansiText) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw Error("The clipboard is not available");
    clipboard->clear();
    // The clipboard's 8-bit text ends at its first NUL byte.
    const std::size_t nul = ansiText.find('\0');
    clipboard->setText(fromAnsi(ansiText.substr(0, nul)));
}

void QtExportHost::openDocument(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

FontMetrics QtExportHost::fontMetrics(const FontDescription& font) {
    QFont f(fromAnsi(font.name));
    f.setPointSize(std::max(1, font.size()));
    const QFontInfo info(f);
    FontMetrics m;
    switch (info.styleHint()) {
    case QFont::Serif:
        m.family = FontFamily::Roman;
        break;
    case QFont::TypeWriter:
    case QFont::Monospace:
        m.family = FontFamily::Modern;
        break;
    case QFont::Cursive:
        m.family = FontFamily::Script;
        break;
    case QFont::Decorative:
    case QFont::Fantasy:
        m.family = FontFamily::Decorative;
        break;
    default:
        m.family = info.fixedPitch() ? FontFamily::Modern : FontFamily::Swiss;
        break;
    }
    // A realised font's character set follows the ANSI code page the text is written in.
    switch (engine::ansiCodePage()) {
    case 1250: m.charset = 238; break;
    case 1251: m.charset = 204; break;
    case 1253: m.charset = 161; break;
    case 1254: m.charset = 162; break;
    case 1255: m.charset = 177; break;
    case 1256: m.charset = 178; break;
    case 1257: m.charset = 186; break;
    case 874: m.charset = 222; break;
    default: m.charset = 0; break;
    }
    return m;
}

int QtExportHost::pixelsPerInch() {
    if (parent_)
        return parent_->logicalDpiY();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return static_cast<int>(screen->logicalDotsPerInchY());
    return 96;
}

} // namespace tabvue::exporter
