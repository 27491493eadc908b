// libFuzzer target: the grid filter rewrite, the expression compiler and the evaluator.
// The input is a filter text; its bytes also fill one of the records it is evaluated on.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/expr_compile.h"
#include "engine/filter_rewrite.h"

using namespace tabvue::engine;

namespace {

struct Fixture : expr::RecordSource {
    Fixture() {
        struct Def {
            const char* name;
            char type;
            int width;
            int decimals;
            FieldKind kind;
        };
        const Def defs[] = {
            {"NAME", 'C', 10, 0, FieldKind::String},   {"AGE", 'N', 3, 0, FieldKind::SmallInt},
            {"AMOUNT", 'N', 10, 2, FieldKind::Float},  {"BDATE", 'D', 8, 0, FieldKind::Date},
            {"OK", 'L', 1, 0, FieldKind::Boolean},     {"NOTE", 'M', 10, 0, FieldKind::Memo},
            {"I", 'I', 4, 0, FieldKind::Integer},      {"Y", 'Y', 8, 0, FieldKind::Currency},
            {"B", 'B', 8, 0, FieldKind::Float},        {"T", 'T', 8, 0, FieldKind::DateTime},
            {"V", 'V', 6, 0, FieldKind::String},       {"X", 'N', 20, 5, FieldKind::Float},
            {"E", '@', 8, 0, FieldKind::DateTime},     {"_NullFlags", '0', 1, 0, FieldKind::Blob},
        };
        int offset = 1;
        for (const auto& s : defs) {
            FieldDescriptor d;
            d.name = s.name;
            d.type = s.type;
            d.width = s.width;
            d.decimals = s.decimals;
            d.offset = offset;
            offset += s.width;
            if (s.type != '0') {
                d.datasetField = static_cast<int>(fields.size());
                Field f;
                f.name = s.name;
                f.kind = s.kind;
                f.size = s.width;
                f.descriptor = static_cast<int>(descs.size());
                fields.push_back(f);
            }
            if (s.type == 'N' && s.width == 3)
                d.nullBit = 0;
            if (s.type == 'V')
                d.varLengthBit = 1;
            descs.push_back(d);
        }
        recordLength = offset;
        for (int i = 0; i < 256; ++i)
            oem[i] = static_cast<unsigned char>(255 - i);
        records.push_back(std::string(static_cast<std::size_t>(recordLength), ' '));
        std::string r = " Smith     42    600.5020030201TNOTE      ";
        r.resize(static_cast<std::size_t>(recordLength), '\xFF');
        records.push_back(r);
    }

    std::string memoText(RecordNo rec, int) const override { return rec % 2 ? memo : std::string(); }
    Value value(RecordNo rec, int) const override {
        if (rec % 2)
            return DateTime{Date{2003, 2, 1}, 5};
        return {};
    }

    std::vector<FieldDescriptor> descs;
    std::vector<Field> fields;
    int recordLength = 0;
    std::array<unsigned char, 256> oem{};
    std::vector<std::string> records;
    std::string memo;
};

void run(const Fixture& fx, const std::string& text, bool translate, const std::string& fuzzRecord) {
    expr::Schema schema;
    schema.descriptors = &fx.descs;
    schema.fields = &fx.fields;
    schema.versionByte = 0x30;
    schema.recordLength = fx.recordLength;
    schema.oemToAnsi = translate ? &fx.oem : nullptr;
    std::shared_ptr<const expr::Condition> cond;
    try {
        cond = expr::compileCondition(text, schema);
    } catch (const tabvue::Error& e) {
        if (std::strncmp(e.what(), "Invalid Query Expression\n", 25) != 0)
            __builtin_trap();
        return;
    }
    if (!cond)
        return;
    RecordNo rec = 1;
    for (const auto& r : fx.records) {
        expr::EvalContext ctx{&fx, rec++, reinterpret_cast<const unsigned char*>(r.data())};
        (void)cond->matches(ctx);
    }
    expr::EvalContext ctx{&fx, rec, reinterpret_cast<const unsigned char*>(fuzzRecord.data())};
    (void)cond->matches(ctx);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fx;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string fuzzRecord = text;
    fuzzRecord.resize(static_cast<std::size_t>(fx.recordLength), '\0');
    fx.memo = text.substr(0, 64);
    const bool translate = size > 0 && (data[0] & 1);
    run(fx, text, translate, fuzzRecord);
    run(fx, rewriteGridFilter(text), !translate, fuzzRecord);
    return 0;
}
