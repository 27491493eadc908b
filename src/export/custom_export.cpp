#include "export/custom_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <variant>

#include "engine/error.h"
#include "export/document.h"
#include "export/export_host.h"
#include "export/export_strings.h"
#include "export/text_format.h"

namespace tabvue::exporter {

namespace {

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The folder text as the TempDir rule compares it: one trailing separator dropped, unless the
// text is a root ("/" or a drive root such as "C:\"), then compared without letter case.
std::string comparableDir(std::string_view dir) {
    std::string s(dir);
    const bool driveRoot = s.size() == 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
                           (s[2] == '\\' || s[2] == '/');
    if (!driveRoot && s.size() > 1 && (s.back() == '/' || s.back() == '\\'))
        s.pop_back();
    for (char& ch : s)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

// FileName with its extension replaced (or added): the extension is what follows the last '.'
// of the last path element.
std::string changeExtension(const std::string& path, const std::string& extension) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        dot = path.size();
    return path.substr(0, dot) + "." + extension;
}

void appendDouble(std::string& out, double v) {
    // General format with 15 significant digits, as the toolkit's float-to-text conversion.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    std::string s(buf);
    const std::size_t e = s.find('E');
    if (e != std::string::npos) {
        // "1.5E+020" style exponents become "1.5E20" / "1.5E-5".
        std::string mant = s.substr(0, e);
        std::string exp = s.substr(e + 1);
        bool neg = !exp.empty() && exp[0] == '-';
        if (!exp.empty() && (exp[0] == '+' || exp[0] == '-'))
            exp.erase(0, 1);
        exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
        s = mant + "E" + (neg ? "-" : "") + exp;
    }
    out += s;
}

} // namespace

std::string systemTempDir() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

CustomExport::CustomExport(std::string name)
    : name_(std::move(name)), tempDir_(systemTempDir()) {
    dateFormat_ = "dd.mm.yyyy";
    timeFormat_ = "h:mm";
    dateTimeFormat_ = timeFormat_ + " " + dateFormat_;
}

CustomExport::~CustomExport() = default;

void CustomExport::setExportType(ExportType t) {
    if (t != exportType_)
        exportType_ = t;
    if (!exportTypes_.contains(exportType_))
        exportTypes_.insert(exportType_);
}

void CustomExport::setExportTypes(ExportTypeSet types) {
    if (types != exportTypes_)
        exportTypes_ = types;
    if (!exportTypes_.contains(exportType_))
        exportTypes_.insert(exportType_);
}

void CustomExport::setTempDir(const std::string& dir) {
    if (comparableDir(dir) != comparableDir(tempDir_))
        tempDir_ = dir;
}

bool CustomExport::tempDirIsStored() const { return comparableDir(tempDir_) != comparableDir(systemTempDir()); }

bool CustomExport::setRowNumberFormat(const std::string& f) {
    if (f.find("%d") == std::string::npos) {
        if (host_)
            host_->showError(std::string(exportString(StringId::RowNumberFormatError)));
        return false;
    }
    rowNumberFormat_ = f;
    return true;
}

std::string CustomExport::version() {
    constexpr int packed = 0x0225;
    return std::to_string(packed >> 8) + "." + std::to_string(packed & 0xFF);
}

std::string CustomExport::defaultExtension() const {
    switch (exportType_) {
    case ExportType::xtHTML:
        return html_.extension == HtmlExtension::exHTM ? "HTM" : "HTML";
    case ExportType::xtExcel:
        return "XLS";
    case ExportType::xtWord:
        return "DOC";
    case ExportType::xtTXT:
        return "TXT";
    case ExportType::xtCSV:
        return "CSV";
    case ExportType::xtTAB:
        return "TXT";
    case ExportType::xtRTF:
        return "RTF";
    case ExportType::xtDIF:
        return "DIF";
    case ExportType::xtSYLK:
        return "SLK";
    case ExportType::xtClipboard:
        return "TMP";
    }
    return "TMP";
}

std::string CustomExport::saveDialogFilter() const {
    const DocumentFilter& f = messages_.documentFilter;
    const std::string* description = nullptr;
    switch (exportType_) {
    case ExportType::xtHTML: description = &f.html; break;
    case ExportType::xtExcel: description = &f.excel; break;
    case ExportType::xtWord: description = &f.word; break;
    case ExportType::xtTXT: description = &f.text; break;
    case ExportType::xtCSV: description = &f.comma; break;
    case ExportType::xtTAB: description = &f.tab; break;
    case ExportType::xtRTF: description = &f.rtf; break;
    case ExportType::xtDIF: description = &f.dif; break;
    case ExportType::xtSYLK: description = &f.sylk; break;
    case ExportType::xtClipboard: return {};
    }
    const std::string ext = defaultExtension();
    std::string lower = ext;
    for (char& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return *description + " (*." + lower + ")|*." + ext;
}

std::string CustomExport::temporaryFileName(const std::string& extension) const {
    std::string dir = tempDir_;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    // The platform's temporary names use the low 16 bits of the number: LUM1 ... LUMFFFF.
    for (unsigned n = 1; n <= 0xFFFF; ++n) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", n);
        std::string name = dir + "LUM" + hex + "." + extension;
        if (!fileExists(name))
            return name;
    }
    throw Error("No free temporary file name in " + dir);
}

int CustomExport::columnWidth(int column, int defaultWidth) const {
    if (column < 0 || static_cast<std::size_t>(column) >= columnWidths_.size())
        return defaultWidth;
    const std::string& line = columnWidths_[static_cast<std::size_t>(column)];
    // The whole line must read as an integer (an optional sign, then digits).
    const char* b = line.data();
    const char* e = line.data() + line.size();
    if (b != e && *b == '+')
        ++b;
    int value = 0;
    auto r = std::from_chars(b, e, value);
    if (r.ec != std::errc{} || r.ptr != e || b == e)
        return defaultWidth;
    return value;
}

void CustomExport::appendCellText(std::string& out, const Variant& value, int width) const {
    const std::size_t start = out.size();
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out += NullCellText;
            } else if constexpr (std::is_same_v<T, std::string>) {
                out += v;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                char buf[24];
                auto r = std::to_chars(buf, buf + sizeof buf, v);
                out.append(buf, r.ptr);
            } else if constexpr (std::is_same_v<T, double>) {
                appendDouble(out, v);
            } else if constexpr (std::is_same_v<T, engine::Currency>) {
                // Currency with the trailing zeros of its four decimals dropped.
                const std::int64_t units = v.scaled;
                const std::uint64_t mag = units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
                std::string s = (units < 0 ? "-" : "") + std::to_string(mag / 10000);
                std::uint64_t frac = mag % 10000;
                if (frac != 0) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "%04llu", static_cast<unsigned long long>(frac));
                    std::string f(buf);
                    while (!f.empty() && f.back() == '0')
                        f.pop_back();
                    s += "." + f;
                }
                out += s;
            } else if constexpr (std::is_same_v<T, engine::Date>) {
                out += shortDateText(v);
            } else if constexpr (std::is_same_v<T, engine::DateTime>) {
                out += dateTimeText(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                out += v ? "True" : "False";
            } else {
                throw Error("Could not convert variant of type (Array Byte) into type (String)");
            }
        },
        value);
    if (options_.contains(ExportOption::xoTruncate) && width > 0) {
        const std::size_t len = out.size() - start;
        if (static_cast<std::size_t>(width) < len) {
            const long keep = static_cast<long>(width) - static_cast<long>(truncateSymbol_.size());
            out.resize(start + static_cast<std::size_t>(std::max(0L, keep)));
            out += truncateSymbol_;
        }
    }
}

std::string CustomExport::cellText(const Variant& value, int width) const {
    std::string s;
    appendCellText(s, value, width);
    return s;
}

namespace {
std::string rowNumber(const std::string& format, std::int64_t n) {
    if (format == "%d")
        return std::to_string(n);
    try {
        return formatInteger(format, n);
    } catch (const Error&) {
        return std::to_string(n);
    }
}
} // namespace

std::string CustomExport::rowNumberText() const { return rowNumber(rowNumberFormat_, std::int64_t{exportedRows_} + 1); }

int CustomExport::rowNumberWidth() const { return static_cast<int>(rowNumber(rowNumberFormat_, recordTotal_).size()); }

bool CustomExport::isColumnExported(int column) {
    return options_.contains(ExportOption::xoExportInvisibles) || isColumnVisible(column);
}

// ---- The run ------------------------------------------------------------------------------------

void CustomExport::execute() {
    if (!host_)
        throw Error("The export needs a host for its dialogs");
    if (!exportTypes_.contains(exportType_))
        exportTypes_.insert(exportType_);
    if (!host_->selectFormat(*this))
        return;
    if (fileName_.empty() && exportStyle_ == ExportStyle::xsFile && exportType_ != ExportType::xtClipboard) {
        SaveDialogRequest request;
        request.title = messages_.saveTitle;
        request.filter = saveDialogFilter();
        request.defaultExtension = defaultExtension();
        request.initialDir = host_->executableDir();
        std::optional<std::string> chosen = host_->saveFileName(request);
        if (!chosen || chosen->empty()) {
            fireError(ExportError::xeUserCancelled);
            return;
        }
        fileName_ = *chosen;
    }
    runExport();
}

void CustomExport::runExport() {
    if (!isSourceReady()) {
        fireError(ExportError::xeComponentIsNull);
        return;
    }
    beginTraversal();
    // The source goes back to its record and repaints on every way out, failures included.
    struct EndTraversal {
        CustomExport& c;
        ~EndTraversal() { c.endTraversal(); }
    } restore{*this};

    const bool clipboard = exportType_ == ExportType::xtClipboard;
    if (exportStyle_ == ExportStyle::xsFile && !clipboard && fileName_.empty()) {
        fireError(ExportError::xeInvalidFileName);
        return;
    }
    std::string extension = defaultExtension();
    if (onGetExtension)
        onGetExtension(*this, extension);

    std::string target;
    if (exportStyle_ == ExportStyle::xsView || clipboard) {
        try {
            target = temporaryFileName(extension);
        } catch (const Error& e) {
            lastErrorMessage_ = e.what();
            fireError(ExportError::xeGeneralExportError);
            return;
        }
    } else {
        target = changeExtension(fileName_, extension);
    }
    const bool written = writeDocumentReporting(target);
    // A document that was not written is not handed to the desktop.
    if (exportStyle_ == ExportStyle::xsView && !clipboard && written && host_)
        host_->openDocument(target);
}

void CustomExport::writeDocument(const std::string& fileName) { writeDocumentReporting(fileName); }

bool CustomExport::writeDocumentReporting(const std::string& fileName) {
    lastErrorMessage_.clear();
    if (onBeginExport)
        onBeginExport(*this);
    Document doc(*this, host_, fileName);
    recordTotal_ = countRecords();

    const bool progress = options_.contains(ExportOption::xoShowProgress) && host_;
    struct ProgressWindow {
        ExportHost* host = nullptr;
        void close() {
            if (host)
                host->closeProgress();
            host = nullptr;
        }
        ~ProgressWindow() { close(); }
    } window;
    if (progress) {
        ProgressRequest request;
        request.caption = messages_.caption;
        request.text = messages_.text;
        request.width = messages_.width;
        request.height = messages_.height;
        request.total = recordTotal_;
        window.host = host_;
        host_->showProgress(request);
    }

    bool written = false;
    try {
        if (fileExists(fileName)) {
            bool canOverWrite = true;
            if (onFileExist)
                onFileExist(*this, fileName, canOverWrite);
            if (!canOverWrite) {
                fireError(ExportError::xeFileExist);
                throw Error("The file " + fileName + " exists and may not be overwritten");
            }
        }
        currentRow_ = 0;
        exportedRows_ = 0;
        outputRow_ = 1;
        first();
        if (columnCount() == 0) {
            window.close();
            return false; // nothing to write, and no OnEndExport
        }
        std::unique_ptr<FormatWriter> writer = makeFormatWriter(exportType_);
        if (!writer)
            throw Error("This export format is not available");
        doc.run(*writer, progress ? host_ : nullptr);
        written = true;
    } catch (const std::exception& e) {
        lastErrorMessage_ = e.what();
        fireError(ExportError::xeGeneralExportError);
    } catch (...) {
        fireError(ExportError::xeGeneralExportError);
    }
    window.close();
    if (onEndExport)
        onEndExport(*this);
    return written;
}

} // namespace tabvue::exporter
