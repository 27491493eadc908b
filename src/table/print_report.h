#pragma once
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QPainter;
class QPrinter;
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
};

// Shows the print preview of a table window's grid (all records that pass the filter, the
// grid's visible columns and captions) and returns when the preview closes.
void showPrintPreview(QWidget* parent, TableWindow* window);

} // namespace tabvue::gui
