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

// The same safe write in pieces: the constructor makes the temporary file, write() adds bytes,
// commit() closes it and renames it over the target. One destroyed before its commit removes the
// temporary file. Every failure throws as writeWholeFile does.
class FileOutput {
public:
    explicit FileOutput(std::string path);
    ~FileOutput();
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    void write(std::string_view bytes);
    void commit();

private:
    [[noreturn]] void abandon(int err);

    std::string path_;
    std::string temp_;
    int fd_ = -1;
};

} // namespace tabvue::exporter
