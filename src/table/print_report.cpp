#include "table/print_report.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/table.h"
#include "table/ansi_text.h"
#include "table/messages.h"
#include "table/table_window.h"

namespace tabvue::gui {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kCellPadding = 2.5;  // points left and right of a cell's text
constexpr int kBodyPixelSize = 9;      // points, as the report paints one point per unit
constexpr double kRuleWidth = 0.5;

QFont reportFont(bool bold) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(kBodyPixelSize);
    font.setBold(bold);
    return font;
}

// Characters a column of this kind usually needs, for its share of the page width.
int typicalCharacters(const engine::Field& f) {
    using engine::FieldKind;
    switch (f.kind) {
    case FieldKind::String: return std::clamp(f.size, 1, 40);
    case FieldKind::Memo: return 20;
    case FieldKind::Date: return 10;
    case FieldKind::DateTime: return 19;
    case FieldKind::Boolean: return 1;
    case FieldKind::Blob: return 8;
    default: return std::clamp(f.size, 1, 20);
    }
}

bool isNumeric(engine::FieldKind kind) {
    using engine::FieldKind;
    return kind == FieldKind::SmallInt || kind == FieldKind::Integer || kind == FieldKind::AutoInc ||
           kind == FieldKind::Float || kind == FieldKind::Currency;
}

} // namespace

QPageLayout reportPageLayout() {
    const double margin = 12.7;
    QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                       QMarginsF(margin, margin, margin, margin), QPageLayout::Millimeter);
    return layout;
}

void configureReportPrinter(QPrinter& printer) {
    printer.setPageLayout(reportPageLayout());
    printer.setDocName(QStringLiteral("printgrig"));
    printer.setFullPage(true);
}

ReportPagination paginateReport(std::int64_t rows, double bodyHeight, double captionHeight, double rowHeight) {
    ReportPagination p;
    if (rowHeight > 0)
        p.rowsPerPage = std::max(1, int(std::floor((bodyHeight - captionHeight) / rowHeight + 1e-9)));
    const std::int64_t pages = rows <= 0 ? 1 : (rows + p.rowsPerPage - 1) / p.rowsPerPage;
    p.pageCount = int(std::min<std::int64_t>(pages, std::numeric_limits<int>::max()));
    return p;
}

std::vector<double> fitColumnWidths(const std::vector<double>& natural, double available) {
    const std::size_t n = natural.size();
    std::vector<double> widths(n, 0.0);
    if (n == 0)
        return widths;
    double total = 0;
    for (double w : natural)
        total += std::max(0.0, w);
    if (total <= 0) {
        std::fill(widths.begin(), widths.end(), available / double(n));
        return widths;
    }
    if (total <= available) {
        // Room to spare: every column grows in proportion.
        for (std::size_t i = 0; i < n; ++i)
            widths[i] = available * std::max(0.0, natural[i]) / total;
        return widths;
    }
    // Too wide: narrow columns keep their width and the widest share what is left, all cut to
    // one common limit.
    std::vector<double> sorted;
    for (double w : natural)
        sorted.push_back(std::max(0.0, w));
    std::sort(sorted.begin(), sorted.end());
    double limit = available / double(n);
    double below = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double candidate = (available - below) / double(n - i);
        if (sorted[i] > candidate) {
            limit = candidate;
            break;
        }
        below += sorted[i];
        limit = sorted[i];
    }
    for (std::size_t i = 0; i < n; ++i)
        widths[i] = std::min(std::max(0.0, natural[i]), limit);
    return widths;
}

GridReport::GridReport(engine::Table* table, std::vector<int> fields, QString title)
    : table_(table && table->isOpen() ? table : nullptr), title_(std::move(title)) {
    if (!table_)
        return;
    const QFontMetricsF captionMetrics(reportFont(true));
    const QFontMetricsF bodyMetrics(reportFont(false));
    const double charWidth = bodyMetrics.horizontalAdvance(QLatin1Char('0'));
    const auto& all = table_->fields();
    for (int f : fields) {
        if (f < 0 || std::size_t(f) >= all.size())
            continue;
        const engine::Field& field = all[std::size_t(f)];
        fields_.push_back(f);
        captions_ << fromAnsi(field.name);
        rightAligned_.push_back(isNumeric(field.kind));
        natural_.push_back(std::max(captionMetrics.horizontalAdvance(captions_.back()),
                                    typicalCharacters(field) * charWidth) + 2 * kCellPadding);
    }
    // Settle the view once: its count is the number of records that pass the filter.
    while (!table_->advanceView(1 << 16)) {
    }
    rows_ = table_->viewCount();
}

int GridReport::paginate(const QPageLayout& layout) {
    paper_ = QRectF(QPointF(0, 0), layout.fullRect(QPageLayout::Point).size());
    const QMarginsF m = layout.margins(QPageLayout::Point);
    body_ = paper_.marginsRemoved(m);
    widths_ = fitColumnWidths(natural_, body_.width());
    rowHeight_ = std::ceil(QFontMetricsF(reportFont(false)).height() + 2 * kCellPadding);
    captionHeight_ = std::ceil(QFontMetricsF(reportFont(true)).height() + 2 * kCellPadding);
    pagination_ = paginateReport(fields_.empty() ? 0 : rows_, body_.height(), captionHeight_, rowHeight_);
    return pagination_.pageCount;
}

QString GridReport::cellText(std::int64_t row, std::size_t column) const {
    const engine::RecordNo rec = table_->viewRecord(row);
    if (rec == 0)
        return {};
    const std::string text = table_->displayText(rec, fields_[column]);
    return fromAnsi(text);
}

void GridReport::paintPage(QPainter& painter, int page) {
    if (!table_ || fields_.empty() || page < 0 || page >= pagination_.pageCount)
        return;
    ++painted_;
    painter.save();
    const QFont bodyFont = reportFont(false);
    const QFont captionFont = reportFont(true);
    const QFontMetricsF bodyMetrics(bodyFont);
    const QFontMetricsF captionMetrics(captionFont);
    const double headerBand = kReportHeaderFooterMm * kPointsPerMm;

    // Header: the table; footer: the page number.
    painter.setPen(Qt::black);
    painter.setFont(bodyFont);
    const QRectF header(body_.left(), headerBand, body_.width(), std::max(body_.top() - headerBand, bodyMetrics.height()));
    painter.drawText(header, Qt::AlignLeft | Qt::AlignTop,
                     bodyMetrics.elidedText(title_, Qt::ElideMiddle, header.width()));
    const double footerBottom = paper_.height() - headerBand;
    const QRectF footer(body_.left(), footerBottom - bodyMetrics.height(), body_.width(), bodyMetrics.height());
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("Page %1 of %2").arg(page + 1).arg(pagination_.pageCount));

    const std::int64_t first = std::int64_t(page) * pagination_.rowsPerPage;
    const int rows = int(std::min<std::int64_t>(pagination_.rowsPerPage, rows_ - first));

    // Caption row, repeated on every page.
    double y = body_.top();
    double x = body_.left();
    painter.setFont(captionFont);
    for (std::size_t c = 0; c < fields_.size(); ++c) {
        const QRectF cell(x, y, widths_[c], captionHeight_);
        painter.fillRect(cell, QColor(224, 224, 224));
        const QRectF textRect = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         captionMetrics.elidedText(captions_[int(c)], Qt::ElideRight, textRect.width()));
        x += widths_[c];
    }
    y += captionHeight_;

    painter.setFont(bodyFont);
    for (int r = 0; r < rows; ++r) {
        x = body_.left();
        for (std::size_t c = 0; c < fields_.size(); ++c) {
            const QRectF textRect(x + kCellPadding, y, widths_[c] - 2 * kCellPadding, rowHeight_);
            const QString text = cellText(first + r, c);
            painter.drawText(textRect, (rightAligned_[c] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             bodyMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
            x += widths_[c];
        }
        y += rowHeight_;
    }

    // Rules around and between the cells.
    painter.setPen(QPen(QColor(128, 128, 128), kRuleWidth));
    const double bottom = body_.top() + captionHeight_ + rows * rowHeight_;
    painter.drawLine(QPointF(body_.left(), body_.top()), QPointF(body_.right(), body_.top()));
    for (int r = 0; r <= rows; ++r) {
        const double ry = body_.top() + captionHeight_ + r * rowHeight_;
        painter.drawLine(QPointF(body_.left(), ry), QPointF(body_.right(), ry));
    }
    x = body_.left();
    painter.drawLine(QPointF(x, body_.top()), QPointF(x, bottom));
    for (double w : widths_) {
        x += w;
        painter.drawLine(QPointF(x, body_.top()), QPointF(x, bottom));
    }
    painter.restore();
}

bool GridReport::print(QPrinter& printer) {
    printer.setFullPage(true);
    paginate(printer.pageLayout());
    int from = printer.fromPage();
    int to = printer.toPage();
    if (printer.printRange() != QPrinter::PageRange || from <= 0 || to <= 0) {
        from = 1;
        to = pagination_.pageCount;
    }
    from = std::max(from, 1);
    to = std::min(to, pagination_.pageCount);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double sx = printer.logicalDpiX() / 72.0;
    const double sy = printer.logicalDpiY() / 72.0;
    for (int page = from; page <= to; ++page) {
        if (page > from)
            printer.newPage();
        painter.save();
        painter.scale(sx, sy);
        paintPage(painter, page - 1);
        painter.restore();
    }
    return painter.end();
}

// ---- preview ----

class ReportPageView : public QAbstractScrollArea {
public:
    static constexpr int gap = 12; // pixels around and between pages

    ReportPageView(GridReport& report, QWidget* parent) : QAbstractScrollArea(parent), report_(report) {
        setObjectName(QStringLiteral("previewPages"));
        viewport()->setBackgroundRole(QPalette::Dark);
        viewport()->setAutoFillBackground(true);
        verticalScrollBar()->setSingleStep(40);
        horizontalScrollBar()->setSingleStep(40);
    }

    std::function<void()> onScrolled;

    double zoom() const { return zoom_; }
    void setZoom(double zoom) {
        const int page = currentPage();
        zoom_ = std::clamp(zoom, 0.1, 8.0);
        layoutChanged();
        scrollToPage(page);
    }
    double fitWidthZoom() const {
        return std::max(0.1, (viewport()->width() - 2.0 * gap) / std::max(1.0, report_.paperSize().width()));
    }
    double fitPageZoom() const {
        return std::min(fitWidthZoom(),
                        std::max(0.1, (viewport()->height() - 2.0 * gap) / std::max(1.0, report_.paperSize().height())));
    }

    void layoutChanged() {
        const QSize page = pageSize();
        const std::int64_t total = std::int64_t(report_.pageCount()) * pitch() + gap;
        const int maxInt = std::numeric_limits<int>::max();
        verticalScrollBar()->setRange(0, int(std::clamp<std::int64_t>(total - viewport()->height(), 0, maxInt)));
        verticalScrollBar()->setPageStep(viewport()->height());
        horizontalScrollBar()->setRange(0, std::max(0, page.width() + 2 * gap - viewport()->width()));
        horizontalScrollBar()->setPageStep(viewport()->width());
        viewport()->update();
    }

    int currentPage() const { // 0-based: the page that holds the view's upper third
        const std::int64_t y = verticalScrollBar()->value() + viewport()->height() / 3;
        return int(std::clamp<std::int64_t>(y / pitch(), 0, std::max(0, report_.pageCount() - 1)));
    }
    void scrollToPage(int page) {
        verticalScrollBar()->setValue(int(std::min<std::int64_t>(std::int64_t(page) * pitch(), std::numeric_limits<int>::max())));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(viewport());
        const QSize page = pageSize();
        const int top0 = verticalScrollBar()->value();
        const int left = std::max(gap, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
        for (std::int64_t p = std::max(0, top0 - gap) / pitch(); p < report_.pageCount(); ++p) {
            const std::int64_t top = gap + p * pitch() - top0;
            if (top > viewport()->height())
                break;
            const QRect paper(left, int(top), page.width(), page.height());
            painter.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 80));
            painter.fillRect(paper, Qt::white);
            painter.save();
            painter.setClipRect(paper);
            painter.translate(paper.topLeft());
            painter.scale(zoom_, zoom_);
            report_.paintPage(painter, int(p));
            painter.restore();
        }
    }
    void resizeEvent(QResizeEvent* e) override {
        QAbstractScrollArea::resizeEvent(e);
        layoutChanged();
    }
    void scrollContentsBy(int, int) override {
        viewport()->update();
        if (onScrolled)
            onScrolled();
    }

private:
    QSize pageSize() const { return (report_.paperSize() * zoom_).toSize(); }
    int pitch() const { return std::max(1, pageSize().height() + gap); }

    GridReport& report_;
    double zoom_ = 1.0;
};

ReportPreviewDialog::ReportPreviewDialog(GridReport& report, QPrinter& printer, QWidget* parent)
    : QDialog(parent), report_(report), printer_(printer), view_(new ReportPageView(report, this)),
      pageBox_(new QSpinBox(this)), pageCount_(new QLabel(this)) {
    setObjectName(QStringLiteral("printPreview"));
    setWindowTitle(QStringLiteral("Print preview"));
    auto* tools = new QToolBar(this);
    tools->addAction(QStringLiteral("Print..."), this, &ReportPreviewDialog::printReport)->setObjectName("previewPrint");
    QAction* setup = tools->addAction(QStringLiteral("Page setup..."), this, &ReportPreviewDialog::pageSetup);
    setup->setObjectName("previewPageSetup");
    // The page setup dialog works on installed printers only; without one, the print dialog's
    // own properties set up the page of a PDF file.
    if (printer_.outputFormat() != QPrinter::NativeFormat) {
        setup->setEnabled(false);
        setup->setToolTip(QStringLiteral("No printer is installed"));
    }
    tools->addSeparator();
    tools->addAction(QStringLiteral("Fit width"), this, &ReportPreviewDialog::fitWidth);
    tools->addAction(QStringLiteral("Fit page"), this, &ReportPreviewDialog::fitPage);
    tools->addAction(QStringLiteral("Zoom in"), this, [this] { setZoom(zoom() * 1.25); })->setShortcut(QKeySequence::ZoomIn);
    tools->addAction(QStringLiteral("Zoom out"), this, [this] { setZoom(zoom() / 1.25); })->setShortcut(QKeySequence::ZoomOut);
    tools->addSeparator();
    tools->addAction(QStringLiteral("|<"), this, [this] { showPage(1); })->setToolTip(QStringLiteral("First page"));
    tools->addAction(QStringLiteral("<"), this, [this] { showPage(currentPage() - 1); })->setToolTip(QStringLiteral("Previous page"));
    pageBox_->setObjectName(QStringLiteral("previewPage"));
    tools->addWidget(pageBox_);
    tools->addWidget(pageCount_);
    tools->addAction(QStringLiteral(">"), this, [this] { showPage(currentPage() + 1); })->setToolTip(QStringLiteral("Next page"));
    tools->addAction(QStringLiteral(">|"), this, [this] { showPage(report_.pageCount()); })->setToolTip(QStringLiteral("Last page"));
    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int page) {
        if (page != currentPage())
            showPage(page);
    });
    view_->onScrolled = [this] { updatePageBox(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(view_, 1);

    QSize size(760, 900);
    if (const QScreen* screen = (parent ? parent->screen() : QGuiApplication::primaryScreen()))
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
    relayout();
}

void ReportPreviewDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The page fills the view's width once the view has its real size.
    if (!fitted_) {
        fitted_ = true;
        fitWidth();
    }
}

int ReportPreviewDialog::currentPage() const { return view_->currentPage() + 1; }

void ReportPreviewDialog::showPage(int page) {
    view_->scrollToPage(std::clamp(page, 1, report_.pageCount()) - 1);
    updatePageBox();
}

void ReportPreviewDialog::setZoom(double factor) { view_->setZoom(factor); }
double ReportPreviewDialog::zoom() const { return view_->zoom(); }
void ReportPreviewDialog::fitWidth() { view_->setZoom(view_->fitWidthZoom()); }
void ReportPreviewDialog::fitPage() { view_->setZoom(view_->fitPageZoom()); }

void ReportPreviewDialog::relayout() {
    printer_.setFullPage(true);
    report_.paginate(printer_.pageLayout());
    QSignalBlocker block(pageBox_);
    pageBox_->setRange(1, report_.pageCount());
    pageCount_->setText(QStringLiteral(" of %1 ").arg(report_.pageCount()));
    view_->layoutChanged();
    updatePageBox();
}

void ReportPreviewDialog::updatePageBox() {
    QSignalBlocker block(pageBox_);
    pageBox_->setValue(currentPage());
}

void ReportPreviewDialog::printReport() {
    QPrintDialog dialog(&printer_, this);
    dialog.setMinMax(1, report_.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!report_.print(printer_))
        showMessage(this, QStringLiteral("The report could not be printed."));
    relayout();
}

void ReportPreviewDialog::pageSetup() {
    QPageSetupDialog dialog(&printer_, this);
    if (dialog.exec() == QDialog::Accepted)
        relayout();
}

void showPrintPreview(QWidget* parent, TableWindow* window) {
    QPrinter printer(QPrinter::HighResolution);
    configureReportPrinter(printer);
    GridReport report(window ? &window->table() : nullptr,
                      window ? window->visibleFields() : std::vector<int>{},
                      window ? window->windowTitle() : QString());
    ReportPreviewDialog preview(report, printer, parent);
    preview.exec();
}

} // namespace tabvue::gui
