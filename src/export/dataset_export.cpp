#include "export/dataset_export.h"

#include <algorithm>

#include "export/export_strings.h"
#include "export/text_format.h"

namespace tabvue::exporter {

namespace {
constexpr std::string_view BinaryText = "** BINARY **";

// 12 December 1999, 12:12:12.012: the moment whose formatted length sizes date and time columns.
const engine::DateTime SampleMoment{{1999, 12, 12}, ((12 * 60 + 12) * 60 + 12) * 1000 + 12};
} // namespace

DataSetExport::DataSetExport(std::string name) : CustomExport(std::move(name)) {
    messages().caption = std::string(exportString(StringId::DataSetCaption));
}

DataSetExport::~DataSetExport() = default;

int DataSetExport::dateColumnWidth(engine::FieldKind kind) const {
    const std::string& pattern = kind == engine::FieldKind::Date ? dateFormat() : dateTimeFormat();
    return static_cast<int>(formatDateTime(pattern, SampleMoment).size());
}

void DataSetExport::beginTraversal() {
    if (!dataSet_)
        return;
    bookmark_ = dataSet_->recNo();
    bookmarked_ = true;
    dataSet_->disableControls();
}

void DataSetExport::endTraversal() {
    if (!dataSet_ || !bookmarked_)
        return;
    bookmarked_ = false;
    if (bookmark_ != 0)
        dataSet_->gotoRecord(bookmark_);
    dataSet_->enableControls();
}

void DataSetExport::first() { dataSet_->first(); }

bool DataSetExport::isSourceReady() { return dataSet_ != nullptr && dataSet_->isOpen(); }

bool DataSetExport::eof() { return dataSet_->eof(); }

bool DataSetExport::isColumnVisible(int index) { return index >= 0 && index < columnCount(); }

bool DataSetExport::isRowSelected(std::uint32_t) { return true; }

int DataSetExport::dataWidth(int index) {
    if (index < 0 || index >= columnCount())
        return 0;
    const engine::Field& f = dataSet_->fields()[static_cast<std::size_t>(index)];
    switch (f.kind) {
    case engine::FieldKind::Blob:
        return static_cast<int>(BinaryText.size());
    case engine::FieldKind::Boolean:
        return static_cast<int>(std::max(messages().trueText.size(), messages().falseText.size()));
    case engine::FieldKind::String:
    case engine::FieldKind::Memo:
        return f.size;
    case engine::FieldKind::Date:
    case engine::FieldKind::DateTime:
        return dateColumnWidth(f.kind);
    case engine::FieldKind::SmallInt:
    case engine::FieldKind::Integer:
    case engine::FieldKind::AutoInc:
    case engine::FieldKind::Float:
    case engine::FieldKind::Currency:
        return 15;
    }
    return 0;
}

std::string DataSetExport::columnCaption(int index) {
    if (index < 0 || index >= columnCount())
        return {};
    return dataSet_->fields()[static_cast<std::size_t>(index)].name;
}

int DataSetExport::columnCount() {
    return dataSet_ ? static_cast<int>(dataSet_->fields().size()) : 0;
}

void DataSetExport::readRow(Values& values) {
    const std::vector<engine::Field>& fields = dataSet_->fields();
    values.resize(fields.size());
    const engine::RecordNo rec = dataSet_->recNo();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int field = static_cast<int>(i);
        Variant& v = values[i];
        switch (fields[i].kind) {
        case engine::FieldKind::Blob:
            v = std::string(BinaryText);
            break;
        case engine::FieldKind::Boolean:
            v = dataSet_->logicalValue(rec, field) ? messages().trueText : messages().falseText;
            break;
        case engine::FieldKind::String:
        case engine::FieldKind::Memo:
            v = dataSet_->value(rec, field);
            break;
        default:
            v = dataSet_->displayText(rec, field);
            break;
        }
    }
    dataSet_->next();
}

std::uint32_t DataSetExport::countRecords() {
    dataSet_->first();
    std::uint32_t n = 0;
    while (!dataSet_->eof()) {
        dataSet_->next();
        ++n;
    }
    return n;
}

} // namespace tabvue::exporter
