#include "export/export_host.h"

#include <unistd.h>

#include <ctime>

#include "export/text_format.h"

namespace tabvue::exporter {

std::string ExportHost::localDateTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    engine::DateTime moment;
    moment.date = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    moment.millisOfDay = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000;
    return dateTimeText(moment);
}

std::string ExportHost::executableDir() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    std::string path(buf, static_cast<std::size_t>(n));
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

} // namespace tabvue::exporter
