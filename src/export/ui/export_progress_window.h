#pragma once
// The progress window shown while the records are written: a label and a bar, laid out anew for
// every run from the component's texts and sizes.
#include <QWidget>
#include <cstdint>

#include "export/export_host.h"

class QLabel;
class QProgressBar;

namespace tabvue::exporter {

class ExportProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ExportProgressWindow(QWidget* parent = nullptr);

    // Lays the window out for one run and shows it without making it modal.
    void start(const ProgressRequest& request);
    void setPosition(std::uint32_t position);
    void finish(); // hidden, not destroyed

    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
};

} // namespace tabvue::exporter
