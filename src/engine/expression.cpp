#include "engine/expression.h"

#include "engine/codepage.h"
#include "engine/expr_compile.h"

namespace tabvue::engine {

namespace {

// Hands the compiled condition what a record's bytes do not hold. A memo or value the table
// cannot read counts as blank, so one damaged record does not stop the scan of all others.
class TableSource final : public expr::RecordSource {
public:
    explicit TableSource(const Table& table) : table_(table) {}
    std::string memoText(RecordNo rec, int field) const override {
        try {
            return table_.memoText(rec, field);
        } catch (const Error&) {
            return {};
        }
    }
    Value value(RecordNo rec, int field) const override {
        try {
            return table_.value(rec, field);
        } catch (const Error&) {
            return {};
        }
    }

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
    // Text literals are in the dataset's encoding, so field text is translated OEM->ANSI before
    // comparing while the table translates. Both forms are compiled now, so switching the
    // translation later keeps the filter right without compiling again.
    std::shared_ptr<const expr::Condition> plain = expr::compileCondition(text, schema);
    if (!plain)
        return {};
    schema.oemToAnsi = &oemToAnsiTable();
    std::shared_ptr<const expr::Condition> translated = expr::compileCondition(text, schema);
    return [plain, translated](const Table& t, RecordNo rec, const unsigned char* record) {
        TableSource source(t);
        const expr::EvalContext ctx{&source, rec, record};
        return (t.oemTranslate() ? translated : plain)->matches(ctx);
    };
}

} // namespace tabvue::engine
