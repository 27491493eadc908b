#include "export/dataset_export.h"

#include <algorithm>

#include "engine/error.h"
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

namespace {
// Puts text into a value, reusing the string the value already holds.
void assignText(Variant& v, std::string_view text) {
    if (auto* s = std::get_if<std::string>(&v))
        s->assign(text);
    else
        v = std::string(text);
}
} // namespace

void DataSetExport::readRow(Values& values) {
    const std::vector<engine::Field>& fields = dataSet_->fields();
    values.resize(fields.size());
    const engine::RecordNo rec = dataSet_->recNo();
    // One call gives every field's display text (and its null flag) of the record.
    if (!dataSet_->displayTexts(rec, texts_))
        throw Error("The record " + std::to_string(rec) + " cannot be read");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        Variant& v = values[i];
        switch (fields[i].kind) {
        case engine::FieldKind::Blob:
            assignText(v, BinaryText);
            break;
        case engine::FieldKind::Boolean:
            assignText(v, dataSet_->logicalValue(rec, static_cast<int>(i)) ? messages().trueText
                                                                           : messages().falseText);
            break;
        case engine::FieldKind::String:
        case engine::FieldKind::Memo:
            // The text as it is (a memo whole), or null when the field has no value.
            if (texts_.null[i])
                v = std::monostate{};
            else
                assignText(v, texts_.field(i));
            break;
        default:
            assignText(v, texts_.field(i));
            break;
        }
    }
    dataSet_->next();
}

std::uint32_t DataSetExport::countRecords() {
    // The walk from the first record to the end visits exactly the records of the table's view;
    // once the view is settled its size is that count, without stepping through every record.
    constexpr std::size_t budget = std::size_t{1} << 20;
    bool settled = false;
    for (std::uint32_t round = 0; !settled && round <= dataSet_->recCount() / budget + 1; ++round)
        settled = dataSet_->advanceView(budget);
    if (settled) {
        const std::int64_t n = dataSet_->viewCount();
        return n <= 0 ? 0u : static_cast<std::uint32_t>(std::min<std::int64_t>(n, UINT32_MAX));
    }
    dataSet_->first();
    std::uint32_t n = 0;
    while (!dataSet_->eof()) {
        dataSet_->next();
        ++n;
    }
    return n;
}

} // namespace tabvue::exporter
