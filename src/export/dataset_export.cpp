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

namespace {
// What a cell of a field shows: "** BINARY **" for a blob, the True/False text for a logical,
// null for a text or memo without a value, else the field's display text.
enum class CellSource { Binary, Logical, Nullable, Display };

CellSource cellSource(engine::FieldKind kind) {
    switch (kind) {
    case engine::FieldKind::Blob:
        return CellSource::Binary;
    case engine::FieldKind::Boolean:
        return CellSource::Logical;
    case engine::FieldKind::String:
    case engine::FieldKind::Memo:
        return CellSource::Nullable;
    default:
        return CellSource::Display;
    }
}
} // namespace

void DataSetExport::readTexts() {
    const engine::RecordNo rec = dataSet_->recNo();
    // One call gives every field's display text (and its null flag) of the record.
    line_.clear();
    if (!dataSet_->appendDisplayTexts(rec, line_, '\t', spans_))
        throw Error("The record " + std::to_string(rec) + " cannot be read");
}

std::string_view DataSetExport::fieldText(std::size_t i) const {
    const engine::TextSpan& span = spans_[i];
    return std::string_view(line_).substr(span.start, span.end - span.start);
}

void DataSetExport::readRow(Values& values) {
    const std::vector<engine::Field>& fields = dataSet_->fields();
    values.resize(fields.size());
    readTexts();
    const engine::RecordNo rec = dataSet_->recNo();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        Variant& v = values[i];
        switch (cellSource(fields[i].kind)) {
        case CellSource::Binary:
            assignText(v, BinaryText);
            break;
        case CellSource::Logical:
            assignText(v, dataSet_->logicalValue(rec, static_cast<int>(i)) ? messages().trueText
                                                                           : messages().falseText);
            break;
        case CellSource::Nullable:
            // The text as it is (a memo whole), or null when the field has no value.
            if (spans_[i].null)
                v = std::monostate{};
            else
                assignText(v, fieldText(i));
            break;
        case CellSource::Display:
            assignText(v, fieldText(i));
            break;
        }
    }
    dataSet_->next();
}

bool DataSetExport::cellIsNull(std::size_t i) const {
    return cellSource(dataSet_->fields()[i].kind) == CellSource::Nullable && spans_[i].null;
}

bool DataSetExport::readRowTexts(std::vector<std::string_view>& texts) {
    const std::vector<engine::Field>& fields = dataSet_->fields();
    texts.resize(fields.size());
    readTexts();
    const engine::RecordNo rec = dataSet_->recNo();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        switch (cellSource(fields[i].kind)) {
        case CellSource::Binary:
            texts[i] = BinaryText;
            break;
        case CellSource::Logical:
            texts[i] = dataSet_->logicalValue(rec, static_cast<int>(i)) ? messages().trueText : messages().falseText;
            break;
        case CellSource::Nullable:
            texts[i] = spans_[i].null ? NullCellText : fieldText(i);
            break;
        case CellSource::Display:
            texts[i] = fieldText(i);
            break;
        }
    }
    dataSet_->next();
    return true;
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
