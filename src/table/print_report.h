#pragma once
#include <QDialog>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QLabel;
class QPainter;
class QPrinter;
class QScrollBar;
class QSpinBox;
class QWidget;

namespace tabvue::engine { class Table; }

namespace tabvue::gui {

class TableWindow;

// The page settings of a printed grid: Letter portrait, 12.7 mm margins, millimetres.
QPageLayout reportPageLayout();
// Header and footer lines stand this far from the paper's top and bottom edge.
constexpr double kReportHeaderFooterMm = 6.35;
// Puts the report's page settings and document name ("printgrig") on a printer.
void configureReportPrinter(QPrinter& printer);

// How many rows fit a page and how many pages a row count needs (at least one page).
struct ReportPagination {
    int rowsPerPage = 1;
    int pageCount = 1;
};
ReportPagination paginateReport(std::int64_t rows, double bodyHeight, double captionHeight, double rowHeight);

// Column widths that fill the available width: with room to spare every column grows in
// proportion to its natural width; when the columns are too wide, the widest are cut to a common
// limit and the narrow ones keep their width.
std::vector<double> fitColumnWidths(const std::vector<double>& natural, double available);

// A printed grid: the captions and cells of the given dataset fields for every record of the
// table's view (those that pass its filter), read from the engine page by page as pages are
// painted. Geometry is in points (1/72 inch) from the paper's top-left corner, so a page paints
// alike on a printer and on a screen image.
class GridReport {
public:
    // table may be null or closed: the report is then one empty page.
    GridReport(engine::Table* table, std::vector<int> fields, QString title);

    // Lays the report out on a page; returns the page count.
    int paginate(const QPageLayout& layout);
    int pageCount() const { return pagination_.pageCount; }
    int rowsPerPage() const { return pagination_.rowsPerPage; }
    std::int64_t rowCount() const { return rows_; }
    const std::vector<double>& columnWidths() const { return widths_; }
    QSizeF paperSize() const { return paper_.size(); }

    // Paints one page (0-based) on a painter whose unit is one point and whose origin is the
    // paper's top-left corner.
    void paintPage(QPainter& painter, int page);

    // Pages painted so far (the preview paints only the pages it shows).
    std::int64_t paintedPages() const { return painted_; }

    // Prints every page of the printer's range (all pages when it has none) in full-page mode.
    bool print(QPrinter& printer); // false when the printer cannot be painted on

private:
    QString cellText(std::int64_t row, std::size_t column) const;

    engine::Table* table_;
    std::vector<int> fields_;
    QStringList captions_;
    std::vector<bool> rightAligned_;
    std::vector<double> natural_;
    QString title_;
    std::int64_t rows_ = 0;

    QRectF paper_;
    QRectF body_;
    std::vector<double> widths_;
    double captionHeight_ = 0;
    double rowHeight_ = 0;
    ReportPagination pagination_;
    std::int64_t painted_ = 0;
};

class ReportPageView;

// The print preview: the report's pages one under the other, painted from the engine only when
// they come into view, so a table of any size previews at once. Its tools print (all pages or a
// range), open the page setup, zoom and move between pages.
class ReportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    ReportPreviewDialog(GridReport& report, QPrinter& printer, QWidget* parent = nullptr);

    int currentPage() const;       // 1-based, the page at the top of the view
    void showPage(int page);       // 1-based
    void setZoom(double factor);   // screen pixels per point
    double zoom() const;
    void fitWidth();
    void fitPage();
    // The page settings changed: lay the report out again.
    void relayout();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void printReport();
    void pageSetup();
    void updatePageBox();

    GridReport& report_;
    QPrinter& printer_;
    ReportPageView* view_;
    QSpinBox* pageBox_;
    QLabel* pageCount_;
    bool fitted_ = false;
};

// Shows the print preview of a table window's grid (all records that pass the filter, the
// grid's visible columns and captions) and returns when the preview closes.
void showPrintPreview(QWidget* parent, TableWindow* window);

} // namespace tabvue::gui
