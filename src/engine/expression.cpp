#include "engine/expression.h"

#include "engine/codepage.h"
#include "engine/expr_compile.h"

namespace tabvue::engine {

namespace {

// Hands the compiled condition what a record's bytes do not hold.
class TableSource final : public expr::RecordSource {
public:
    explicit TableSource(const Table& table) : table_(table) {}
    std::string memoText(RecordNo rec, int field) const override { return table_.memoText(rec, field); }
    Value value(RecordNo rec, int field) const override { return table_.value(rec, field); }

private:
    const Table& table_;
};

} // namespace

RecordPredicate compileFilter(std::string_view text, const Table& table) {
    expr::Schema schema;
    schema.descriptors = &table.descriptors();
    schema.fields = &table.fields();
    schema.versionByte = table.versionByte();
    schema.recordLength = table.recordLength();
    // Text literals are in the dataset's encoding, so field text is translated before comparing.
    schema.oemToAnsi = table.oemTranslate() ? &oemToAnsiTable() : nullptr;
    std::shared_ptr<const expr::Condition> condition = expr::compileCondition(text, schema);
    if (!condition)
        return {};
    return [condition](const Table& t, RecordNo rec, const unsigned char* record) {
        TableSource source(t);
        return condition->matches(expr::EvalContext{&source, rec, record});
    };
}

} // namespace tabvue::engine
