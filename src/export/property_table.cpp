#include "export/property_table.h"

#include "engine/error.h"
#include "export/custom_export.h"

namespace tabvue::exporter {

void setProperty(CustomExport& component, std::string_view assignment) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string_view::npos)
        throw Error("Expected NAME=VALUE: " + std::string(assignment));
    setProperty(component, assignment.substr(0, eq), assignment.substr(eq + 1));
}

void setProperty(CustomExport&, std::string_view name, std::string_view) {
    throw Error("Unknown property: " + std::string(name));
}

std::string getProperty(const CustomExport&, std::string_view name) {
    throw Error("Unknown property: " + std::string(name));
}

std::vector<std::string> propertyNames() { return {}; }

} // namespace tabvue::exporter
