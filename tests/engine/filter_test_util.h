#pragma once
// Small tables for the filter language tests: in memory (descriptors plus record bytes) and as
// dBase III files written byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/expr_compile.h"
#include "engine/table.h"

namespace tabvue::test {

struct FieldDef {
    std::string name;
    char type;
    int width;
    int decimals = 0;
};

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

// Writes a dBase III table (no memo fields) with the given records; values are laid out as
// MiniTable::add does. Returns the file's path.
inline std::string writeDbase3(const std::filesystem::path& path, const std::vector<FieldDef>& defs,
                               const std::vector<std::vector<std::string>>& rows,
                               const std::vector<bool>& deleted = {}) {
    int recordLength = 1;
    for (const auto& s : defs)
        recordLength += s.width;
    const int headerLength = 32 + 32 * static_cast<int>(defs.size()) + 1;
    std::string out(32, '\0');
    out[0] = 0x03;
    out[1] = 126;
    out[2] = 12;
    out[3] = 11;
    const auto count = static_cast<std::uint32_t>(rows.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    out[8] = static_cast<char>(headerLength & 0xFF);
    out[9] = static_cast<char>(headerLength >> 8);
    out[10] = static_cast<char>(recordLength & 0xFF);
    out[11] = static_cast<char>(recordLength >> 8);
    for (const auto& s : defs) {
        std::string d(32, '\0');
        d.replace(0, s.name.size(), s.name);
        d[11] = s.type;
        d[16] = static_cast<char>(s.width);
        d[17] = static_cast<char>(s.decimals);
        out += d;
    }
    out += '\x0D';
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string rec(static_cast<std::size_t>(recordLength), ' ');
        if (r < deleted.size() && deleted[r])
            rec[0] = '*';
        std::size_t at = 1;
        for (std::size_t i = 0; i < defs.size(); ++i) {
            std::string v = i < rows[r].size() ? rows[r][i] : "";
            const auto width = static_cast<std::size_t>(defs[i].width);
            if (v.size() > width)
                v.resize(width);
            std::size_t pos = at + ((defs[i].type == 'N' || defs[i].type == 'F') ? width - v.size() : 0);
            rec.replace(pos, v.size(), v);
            at += width;
        }
        out += rec;
    }
    out += '\x1A';
    std::ofstream(path, std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
    return path.string();
}

// A fresh directory under the system's temporary folder, removed at the end of the test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/tabvue-filter-XXXXXX";
        if (!mkdtemp(tmpl))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Byte comparison that names the first differing offset.
inline ::testing::AssertionResult sameBytes(std::string_view actual, std::string_view expected) {
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i)
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure() << "first difference at offset " << i << ": got \""
                                                 << std::string(actual) << "\", expected \""
                                                 << std::string(expected) << "\"";
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "first difference at offset " << n << " (lengths "
                                             << actual.size() << " and " << expected.size() << "): got \""
                                             << std::string(actual) << "\", expected \""
                                             << std::string(expected) << "\"";
    return ::testing::AssertionSuccess();
}

} // namespace tabvue::test
