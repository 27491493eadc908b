#pragma once
// The evaluation tree of a compiled filter condition. Every node has one static type and is
// asked for a value of that type only; text results are views that stay valid until the node
// (or the record) is evaluated again.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expr_compile.h"
#include "engine/expr_text.h"

namespace tabvue::engine::expr {

enum class Type { Bool, Num, Text, Date, DateTime };

const char* typeName(Type t); // "a logical value", "a number", "text", "a date", "a date-time"

inline std::int64_t dateMillis(std::int32_t dayNo) {
    return dayNo == kEmptyDate ? 0 : static_cast<std::int64_t>(dayNo) * kMillisPerDay;
}

class Node {
public:
    Node(Type type, std::size_t pos) : type(type), pos(pos) {}
    virtual ~Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const Type type;
    const std::size_t pos; // where the node's text starts, for messages
    int depth = 1;
    bool constant = false; // depends on no record and on nothing that changes

    virtual bool b(const EvalContext&) { return false; }
    virtual double n(const EvalContext&) { return 0.0; }
    virtual std::string_view s(const EvalContext&) { return {}; }
    virtual std::int32_t d(const EvalContext&) { return kEmptyDate; }
    virtual std::int64_t t(const EvalContext& c) { return type == Type::Date ? dateMillis(d(c)) : 0; }

    // A text node whose value is a fixed byte map applied to bytes it can hand out without
    // copying (a field, also while translated, or UPPER/LOWER of one) returns that map here;
    // comparisons then map the bytes as they compare them.
    virtual const unsigned char* byteMap() const { return nullptr; }
    virtual std::string_view rawText(const EvalContext&) { return {}; }
};

// The map that leaves every byte as it is.
const unsigned char* identityMap();

using NodePtr = std::unique_ptr<Node>;

} // namespace tabvue::engine::expr
