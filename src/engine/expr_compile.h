#pragma once
// The filter expression compiler, independent of how records are stored: it sees the field
// descriptors and the raw bytes of one record, and asks a RecordSource for what is not in them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/table.h"

namespace tabvue::engine::expr {

struct CaseTables;

// Longest text and deepest nesting a filter may have.
constexpr std::size_t kMaxExpressionLength = 1000000;
constexpr int kMaxNesting = 100;

// Where record values come from that are not in the record's own bytes.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual std::string memoText(RecordNo rec, int datasetField) const = 0; // raw bytes
    virtual Value value(RecordNo rec, int datasetField) const = 0;          // decoded, untranslated
};

struct EvalContext {
    const RecordSource* source = nullptr;
    RecordNo rec = 0;
    const unsigned char* record = nullptr; // byte 0 is the deletion flag
};

// What the compiler knows of a table.
struct Schema {
    const std::vector<FieldDescriptor>* descriptors = nullptr;
    const std::vector<Field>* fields = nullptr;
    unsigned char versionByte = 0x03;
    int recordLength = 0;                                  // 0: not checked
    const std::array<unsigned char, 256>* oemToAnsi = nullptr; // set while OEM translation is on
    const CaseTables* cases = nullptr;                     // nullptr: the ANSI code page's
};

class Node;

// A compiled condition. Evaluation reuses buffers held inside, so one compiled condition is
// evaluated by one thread at a time.
class Condition {
public:
    explicit Condition(std::unique_ptr<Node> root);
    ~Condition();
    bool matches(const EvalContext& ctx) const;

private:
    std::unique_ptr<Node> root_;
};

// Parses and type-checks; throws Error("Invalid Query Expression\n...") for a text that is no
// condition. An empty (or blank) text gives nullptr: no restriction.
std::shared_ptr<const Condition> compileCondition(std::string_view text, const Schema& schema);

} // namespace tabvue::engine::expr
