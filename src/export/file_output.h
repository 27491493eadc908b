#pragma once
// Writing a whole file safely: the bytes go to a new temporary file in the target's folder, which
// is closed and then renamed over the target (write and close errors, a full disk among them, are
// caught before the rename). A failure at any point removes the temporary file
// and leaves an existing target untouched; no reader ever sees a partial file.
#include <string>
#include <string_view>

namespace tabvue::exporter {

// Throws Error("Cannot write <path>: <reason>") on failure.
void writeWholeFile(const std::string& path, std::string_view bytes);

} // namespace tabvue::exporter
