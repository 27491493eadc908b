// Stands in for the rtf writer until it lands: delete this file in the commit that defines
// makeRtfWriter() in the writer's own source.
#include "export/document.h"

namespace tabvue::exporter {

std::unique_ptr<FormatWriter> makeRtfWriter(ExportType) { return nullptr; }

} // namespace tabvue::exporter
