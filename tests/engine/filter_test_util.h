#pragma once
// Small tables held in memory (descriptors plus record bytes) for the filter language tests.
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/dbf_builder.h"
#include "engine/expr_compile.h"
#include "engine/table.h"

namespace tabvue::test {

using FieldDef = testing::FieldSpec;

inline engine::FieldKind kindOf(const FieldDef& f) {
    using engine::FieldKind;
    switch (f.type) {
    case 'C': return FieldKind::String;
    case 'M': return FieldKind::Memo;
    case 'D': return FieldKind::Date;
    case 'T':
    case '@': return FieldKind::DateTime;
    case '+': return FieldKind::AutoInc;
    case 'L': return FieldKind::Boolean;
    case 'I': return FieldKind::Integer;
    case 'Y': return FieldKind::Currency;
    case 'B': return FieldKind::Float;
    case 'V': return FieldKind::String;
    default: return f.decimals == 0 && f.width <= 4 ? FieldKind::SmallInt : FieldKind::Float;
    }
}

// A table held in memory: descriptors as a reader would make them and the records' bytes.
class MiniTable : public engine::expr::RecordSource {
public:
    explicit MiniTable(std::vector<FieldDef> defs, unsigned char version = 0x03) : defs_(std::move(defs)) {
        int offset = 1;
        for (const auto& s : defs_) {
            engine::FieldDescriptor d;
            d.name = s.name;
            d.type = s.type;
            d.width = s.width;
            d.decimals = s.decimals;
            d.offset = offset;
            offset += s.width;
            if (s.type != '0') {
                d.datasetField = static_cast<int>(fields_.size());
                engine::Field f;
                f.name = s.name;
                f.kind = kindOf(s);
                f.size = s.width;
                f.decimals = s.decimals;
                f.descriptor = static_cast<int>(descs_.size());
                fields_.push_back(f);
            }
            descs_.push_back(d);
        }
        recordLength_ = offset;
        schema.descriptors = &descs_;
        schema.fields = &fields_;
        schema.recordLength = recordLength_;
        schema.versionByte = version;
    }

    engine::FieldDescriptor& descriptor(const std::string& name) {
        for (auto& d : descs_)
            if (d.name == name)
                return d;
        throw std::runtime_error("no field " + name);
    }

    // One record from a text per field: character fields left-aligned, numbers right-aligned, the
    // other types' bytes as given (padded with blanks). A "*" first value marks it deleted.
    void add(std::vector<std::string> values, bool deleted = false) {
        std::string rec(static_cast<std::size_t>(recordLength_), ' ');
        rec[0] = deleted ? '*' : ' ';
        for (std::size_t i = 0; i < defs_.size() && i < values.size(); ++i) {
            const auto& s = defs_[i];
            std::string v = values[i];
            if (s.type == 'M') {
                memos_[{records_.size() + 1, static_cast<int>(i)}] = v;
                v.clear();
            }
            if (v.size() > static_cast<std::size_t>(s.width))
                v.resize(static_cast<std::size_t>(s.width));
            std::size_t at = static_cast<std::size_t>(descs_[i].offset);
            if (s.type == 'N' || s.type == 'F')
                at += static_cast<std::size_t>(s.width) - v.size();
            rec.replace(at, v.size(), v);
        }
        records_.push_back(rec);
    }

    // Record numbers (1-based) for which the condition holds.
    std::vector<int> matching(std::string_view text) const {
        auto cond = engine::expr::compileCondition(text, schema);
        std::vector<int> out;
        for (std::size_t i = 0; i < records_.size(); ++i) {
            engine::expr::EvalContext ctx{this, static_cast<engine::RecordNo>(i + 1),
                                          reinterpret_cast<const unsigned char*>(records_[i].data())};
            if (!cond || cond->matches(ctx))
                out.push_back(static_cast<int>(i + 1));
        }
        return out;
    }

    std::string memoText(engine::RecordNo rec, int field) const override {
        auto it = memos_.find({rec, field});
        return it == memos_.end() ? std::string() : it->second;
    }
    engine::Value value(engine::RecordNo rec, int field) const override {
        auto it = values.find({rec, field});
        return it == values.end() ? engine::Value{} : it->second;
    }

    engine::expr::Schema schema;
    std::map<std::pair<engine::RecordNo, int>, engine::Value> values; // what the engine would decode

private:
    std::vector<FieldDef> defs_;
    std::vector<engine::FieldDescriptor> descs_;
    std::vector<engine::Field> fields_;
    int recordLength_ = 1;
    std::vector<std::string> records_;
    std::map<std::pair<engine::RecordNo, int>, std::string> memos_;
};

} // namespace tabvue::test
