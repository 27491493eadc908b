// Stands in for the sylk writer until it lands: delete this file in the commit that defines
// makeSylkWriter() in the writer's own source.
#include "export/document.h"

namespace tabvue::exporter {

std::unique_ptr<FormatWriter> makeSylkWriter(ExportType) { return nullptr; }

} // namespace tabvue::exporter
