// Node types of the evaluation tree: literals, fields read from record bytes, operators, functions.
#include <array>
#include <cmath>

#include "engine/expr_build.h"

namespace tabvue::engine::expr {

const unsigned char* identityMap() {
    static const std::array<unsigned char, 256> map = [] {
        std::array<unsigned char, 256> m{};
        for (int i = 0; i < 256; ++i)
            m[i] = static_cast<unsigned char>(i);
        return m;
    }();
    return map.data();
}

const char* typeName(Type t) {
    switch (t) {
    case Type::Bool: return "a logical value";
    case Type::Num: return "a number";
    case Type::Text: return "text";
    case Type::Date: return "a date";
    case Type::DateTime: return "a date-time";
    }
    return "?";
}

namespace {

int clampToInt(double v, int lo, int hi) {
    if (!(v >= lo))
        return lo;
    if (!(v <= hi))
        return hi;
    return static_cast<int>(v);
}

bool blankByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

// ---------------------------------------------------------------- literals

class BoolLit final : public Node {
public:
    BoolLit(bool v, std::size_t pos) : Node(Type::Bool, pos), v_(v) { constant = true; }
    bool b(const EvalContext&) override { return v_; }
private:
    bool v_;
};

class NumLit final : public Node {
public:
    NumLit(double v, std::size_t pos) : Node(Type::Num, pos), v_(v) { constant = true; }
    double n(const EvalContext&) override { return v_; }
private:
    double v_;
};

class TextLit final : public Node {
public:
    TextLit(std::string v, std::size_t pos) : Node(Type::Text, pos), v_(std::move(v)) { constant = true; }
    std::string_view s(const EvalContext&) override { return v_; }
private:
    std::string v_;
};

class DateLit final : public Node {
public:
    DateLit(std::int32_t v, std::size_t pos) : Node(Type::Date, pos), v_(v) { constant = true; }
    std::int32_t d(const EvalContext&) override { return v_; }
private:
    std::int32_t v_;
};

class DateTimeLit final : public Node {
public:
    DateTimeLit(std::int64_t v, std::size_t pos) : Node(Type::DateTime, pos), v_(v) { constant = true; }
    std::int64_t t(const EvalContext&) override { return v_; }
private:
    std::int64_t v_;
};

// ---------------------------------------------------------------- fields

// A field's place in the record and its null flag (a null value reads as the type's blank value).
class FieldNode : public Node {
public:
    FieldNode(Type type, std::size_t pos, const FieldPlace& place) : Node(type, pos), f_(place) {}

protected:
    bool null(const EvalContext& c) const {
        return f_.nullByte >= 0 && (c.record[f_.nullByte] & f_.nullMask) != 0;
    }
    const unsigned char* at(const EvalContext& c) const { return c.record + f_.offset; }
    FieldPlace f_;
};

class TextField final : public FieldNode {
public:
    TextField(std::size_t pos, const FieldPlace& place) : FieldNode(Type::Text, pos, place) {
        if (f_.translate)
            buf_.reserve(static_cast<std::size_t>(f_.width));
    }
    const unsigned char* byteMap() const override { return f_.translate ? f_.translate->data() : identityMap(); }
    std::string_view rawText(const EvalContext& c) override {
        if (null(c))
            return {};
        const unsigned char* p = at(c);
        std::size_t len = static_cast<std::size_t>(f_.width);
        // A short variable-length value keeps its length in the field's last byte.
        if (f_.varLengthByte >= 0 && (c.record[f_.varLengthByte] & f_.varLengthMask) != 0 && len > 0)
            len = std::min<std::size_t>(p[len - 1], len - 1);
        return {reinterpret_cast<const char*>(p), len};
    }
    std::string_view s(const EvalContext& c) override {
        std::string_view raw = rawText(c);
        if (!f_.translate)
            return raw;
        buf_.resize(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i)
            buf_[i] = static_cast<char>((*f_.translate)[static_cast<unsigned char>(raw[i])]);
        return buf_;
    }
private:
    std::string buf_;
};

class MemoField final : public FieldNode {
public:
    MemoField(std::size_t pos, const FieldPlace& place) : FieldNode(Type::Text, pos, place) {}
    std::string_view s(const EvalContext& c) override {
        if (null(c) || !c.source)
            return {};
        buf_ = c.source->memoText(c.rec, f_.datasetField);
        if (f_.translate)
            for (char& ch : buf_)
                ch = static_cast<char>((*f_.translate)[static_cast<unsigned char>(ch)]);
        return buf_;
    }
private:
    std::string buf_;
};

class NumField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    double n(const EvalContext& c) override {
        return null(c) ? 0.0 : parseNumber(at(c), static_cast<std::size_t>(f_.width));
    }
};

class IntField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    double n(const EvalContext& c) override {
        return null(c) ? 0.0 : static_cast<double>(codec::readLe32(at(c)));
    }
};

class CurrencyField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    double n(const EvalContext& c) override {
        return null(c) ? 0.0 : static_cast<double>(codec::readLe64(at(c))) / 10000.0;
    }
};

class DoubleField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    double n(const EvalContext& c) override {
        if (null(c))
            return 0.0;
        return codec::readLeDouble(at(c));
    }
};

class DateField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    std::int32_t d(const EvalContext& c) override {
        if (null(c))
            return kEmptyDate;
        const unsigned char* p = at(c);
        if (f_.width == 8) {
            // The usual "yyyymmdd" without a detour through padding rules.
            unsigned digits[8];
            bool ok = true;
            for (int i = 0; i < 8; ++i) {
                digits[i] = p[i] - static_cast<unsigned>('0');
                ok = ok && digits[i] <= 9;
            }
            if (ok)
                return dayNumberInline(static_cast<int>(digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3]),
                                 static_cast<int>(digits[4] * 10 + digits[5]), static_cast<int>(digits[6] * 10 + digits[7]));
        }
        return parseDtos(p, static_cast<std::size_t>(f_.width));
    }
};

class DateTimeField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    std::int64_t t(const EvalContext& c) override {
        if (null(c))
            return 0;
        const std::int32_t day = codec::readLe32(at(c));
        const std::int32_t ms = codec::readLe32(at(c) + 4);
        if (day <= 0)
            return 0;
        return static_cast<std::int64_t>(day) * kMillisPerDay + ms;
    }
};

class LogicalField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    bool b(const EvalContext& c) override {
        if (null(c))
            return false;
        unsigned char v = *at(c);
        return v == 'T' || v == 't' || v == 'Y' || v == 'y';
    }
};

// Fields whose binary layout is left to the table engine's decoder.
class DecodedField final : public FieldNode {
public:
    using FieldNode::FieldNode;
    double n(const EvalContext& c) override {
        Value v = get(c);
        if (auto* i = std::get_if<std::int64_t>(&v))
            return static_cast<double>(*i);
        if (auto* x = std::get_if<double>(&v))
            return *x;
        if (auto* y = std::get_if<Currency>(&v))
            return static_cast<double>(y->scaled) / 10000.0;
        return 0.0;
    }
    std::int32_t d(const EvalContext& c) override {
        Value v = get(c);
        if (auto* x = std::get_if<Date>(&v))
            return dayNumber(x->year, x->month, x->day);
        if (auto* x = std::get_if<DateTime>(&v))
            return dayNumber(x->date.year, x->date.month, x->date.day);
        return kEmptyDate;
    }
    std::int64_t t(const EvalContext& c) override {
        if (type == Type::Date)
            return dateMillis(d(c));
        Value v = get(c);
        if (auto* x = std::get_if<DateTime>(&v)) {
            std::int32_t day = dayNumber(x->date.year, x->date.month, x->date.day);
            return day == kEmptyDate ? 0 : dateMillis(day) + x->millisOfDay;
        }
        if (auto* x = std::get_if<Date>(&v))
            return dateMillis(dayNumber(x->year, x->month, x->day));
        return 0;
    }
    bool b(const EvalContext& c) override {
        Value v = get(c);
        auto* x = std::get_if<bool>(&v);
        return x && *x;
    }
private:
    Value get(const EvalContext& c) const {
        if (!c.source || null(c))
            return {};
        return c.source->value(c.rec, f_.datasetField);
    }
};

// ---------------------------------------------------------------- logic

class AndNode final : public Node {
public:
    AndNode(std::vector<NodePtr> parts, std::size_t pos) : Node(Type::Bool, pos), parts_(std::move(parts)) {}
    bool b(const EvalContext& c) override {
        for (auto& p : parts_)
            if (!p->b(c))
                return false;
        return true;
    }
private:
    std::vector<NodePtr> parts_;
};

class OrNode final : public Node {
public:
    OrNode(std::vector<NodePtr> parts, std::size_t pos) : Node(Type::Bool, pos), parts_(std::move(parts)) {}
    bool b(const EvalContext& c) override {
        for (auto& p : parts_)
            if (p->b(c))
                return true;
        return false;
    }
private:
    std::vector<NodePtr> parts_;
};

class NotNode final : public Node {
public:
    NotNode(NodePtr a, std::size_t pos) : Node(Type::Bool, pos), a_(std::move(a)) {}
    bool b(const EvalContext& c) override { return !a_->b(c); }
private:
    NodePtr a_;
};

// ---------------------------------------------------------------- comparisons

bool holds(CompareOp op, int order) {
    switch (op) {
    case CompareOp::Eq: return order == 0;
    case CompareOp::Ne: return order != 0;
    case CompareOp::Lt: return order < 0;
    case CompareOp::Le: return order <= 0;
    case CompareOp::Gt: return order > 0;
    case CompareOp::Ge: return order >= 0;
    }
    return false;
}

template <class T> int order(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

// Texts compare without their trailing blanks, byte by byte.
int orderText(std::string_view a, std::string_view b) {
    int r = trimRight(a).compare(trimRight(b));
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

struct Slot {
    double n = 0;
    std::string_view s;
    std::int64_t t = 0;
    bool b = false;
};

void fetch(Node& node, CompareKind k, const EvalContext& c, Slot& out) {
    switch (k) {
    case CompareKind::Num: out.n = node.n(c); break;
    case CompareKind::Text: out.s = node.s(c); break;
    case CompareKind::Time: out.t = node.t(c); break;
    case CompareKind::Bool: out.b = node.b(c); break;
    case CompareKind::Day: out.t = node.d(c); break;
    }
}

int orderSlots(CompareKind k, const Slot& a, const Slot& b) {
    switch (k) {
    case CompareKind::Num:
        // NaN (from arithmetic on infinities) is equal to nothing and ordered before nothing.
        if (std::isnan(a.n) || std::isnan(b.n))
            return 2;
        return order(a.n, b.n);
    case CompareKind::Text: return orderText(a.s, b.s);
    case CompareKind::Time:
    case CompareKind::Day: return order(a.t, b.t);
    case CompareKind::Bool: return order(a.b, b.b);
    }
    return 0;
}

template <CompareKind K> class CompareNode final : public Node {
public:
    CompareNode(CompareOp op, NodePtr l, NodePtr r, std::size_t pos)
        : Node(Type::Bool, pos), op_(op), l_(std::move(l)), r_(std::move(r)) {}
    bool b(const EvalContext& c) override {
        if constexpr (K == CompareKind::Num) {
            double a = l_->n(c), b = r_->n(c);
            switch (op_) {
            case CompareOp::Eq: return a == b;
            case CompareOp::Ne: return !(a == b);
            case CompareOp::Lt: return a < b;
            case CompareOp::Le: return a <= b;
            case CompareOp::Gt: return a > b;
            case CompareOp::Ge: return a >= b;
            }
            return false;
        } else if constexpr (K == CompareKind::Day) {
            return holds(op_, order(l_->d(c), r_->d(c)));
        } else {
            Slot a, b;
            fetch(*l_, K, c, a);
            fetch(*r_, K, c, b);
            return holds(op_, orderSlots(K, a, b));
        }
    }
private:
    CompareOp op_;
    NodePtr l_, r_;
};

class ContainsNode final : public Node {
public:
    ContainsNode(NodePtr needle, NodePtr hay, std::size_t pos)
        : Node(Type::Bool, pos), needle_(std::move(needle)), hay_(std::move(hay)) {}
    bool b(const EvalContext& c) override {
        std::string_view needle = needle_->s(c);
        return !needle.empty() && hay_->s(c).find(needle) != std::string_view::npos;
    }
private:
    NodePtr needle_, hay_;
};

class LikeNode final : public Node {
public:
    LikeNode(NodePtr text, NodePtr pattern, const unsigned char* fold, std::size_t pos)
        : Node(Type::Bool, pos), text_(std::move(text)), pattern_(std::move(pattern)), fold_(fold) {
        if (const unsigned char* map = text_->byteMap()) {
            // Match the text's own bytes through the map and the case fold in one look-up.
            for (int b = 0; b < 256; ++b)
                mappedFold_[b] = fold_[map[b]];
            mapped_ = true;
        }
        if (pattern_->constant) {
            compiled_.assign(pattern_->s(EvalContext{}), fold_);
            fixed_ = true;
        }
    }
    bool b(const EvalContext& c) override {
        if (!fixed_)
            compiled_.assign(pattern_->s(c), fold_);
        std::string_view text = mapped_ ? text_->rawText(c) : text_->s(c);
        if (compiled_.needsTrimmedText())
            text = trimRight(text);
        return compiled_.matches(text, mapped_ ? mappedFold_.data() : fold_);
    }
private:
    NodePtr text_, pattern_;
    const unsigned char* fold_;
    std::array<unsigned char, 256> mappedFold_{};
    bool mapped_ = false;
    LikePattern compiled_;
    bool fixed_ = false;
};

// Text against a constant, the text's bytes mapped as they are compared (no copy).
class MappedTextCompare final : public Node {
public:
    MappedTextCompare(CompareOp op, NodePtr text, NodePtr constant, std::size_t pos)
        : Node(Type::Bool, pos), op_(op), text_(std::move(text)), map_(text_->byteMap()),
          k_(trimRight(constant->s(EvalContext{}))) {}
    bool b(const EvalContext& c) override {
        const std::string_view raw = trimRight(text_->rawText(c));
        const auto* t = reinterpret_cast<const unsigned char*>(raw.data());
        const auto* k = reinterpret_cast<const unsigned char*>(k_.data());
        const std::size_t n = std::min(raw.size(), k_.size());
        int order = 0;
        for (std::size_t i = 0; i < n && order == 0; ++i)
            if (map_[t[i]] != k[i])
                order = map_[t[i]] < k[i] ? -1 : 1;
        if (order == 0 && raw.size() != k_.size())
            order = raw.size() < k_.size() ? -1 : 1;
        return holds(op_, order);
    }
private:
    CompareOp op_;
    NodePtr text_;
    const unsigned char* map_;
    std::string k_;
};

// ---------------------------------------------------------------- arithmetic

class NegNode final : public Node {
public:
    NegNode(NodePtr a, std::size_t pos) : Node(Type::Num, pos), a_(std::move(a)) {}
    double n(const EvalContext& c) override { return -a_->n(c); }
private:
    NodePtr a_;
};

class NumArith final : public Node {
public:
    NumArith(char op, NodePtr l, NodePtr r, std::size_t pos)
        : Node(Type::Num, pos), op_(op), l_(std::move(l)), r_(std::move(r)) {}
    double n(const EvalContext& c) override {
        double a = l_->n(c), b = r_->n(c);
        switch (op_) {
        case '+': return a + b;
        case '-': return a - b;
        case '*': return a * b;
        default: return b == 0 ? 0.0 : a / b; // a division by zero gives 0, never a fault
        }
    }
private:
    char op_;
    NodePtr l_, r_;
};

class TextConcat final : public Node {
public:
    // '+' joins as is; '-' moves the left text's trailing blanks to the end of the result.
    TextConcat(char op, NodePtr l, NodePtr r, std::size_t pos)
        : Node(Type::Text, pos), op_(op), l_(std::move(l)), r_(std::move(r)) {}
    std::string_view s(const EvalContext& c) override {
        std::string_view a = l_->s(c);
        std::string_view b = r_->s(c);
        buf_.clear();
        if (op_ == '+') {
            buf_.append(a);
            buf_.append(b);
        } else {
            std::string_view kept = trimRight(a);
            buf_.append(kept);
            buf_.append(b);
            buf_.append(a.size() - kept.size(), ' ');
        }
        return buf_;
    }
private:
    char op_;
    NodePtr l_, r_;
    std::string buf_;
};

class DateShift final : public Node {
public:
    DateShift(NodePtr date, NodePtr days, bool subtract, std::size_t pos)
        : Node(Type::Date, pos), date_(std::move(date)), days_(std::move(days)), subtract_(subtract) {}
    std::int32_t d(const EvalContext& c) override {
        std::int32_t base = date_->d(c);
        double days = std::trunc(days_->n(c));
        if (base == kEmptyDate || std::isnan(days))
            return kEmptyDate;
        double r = subtract_ ? base - days : base + days;
        return validDayNumber(r) ? static_cast<std::int32_t>(r) : kEmptyDate;
    }
private:
    NodePtr date_, days_;
    bool subtract_;
};

class DateDiff final : public Node {
public:
    DateDiff(NodePtr l, NodePtr r, std::size_t pos) : Node(Type::Num, pos), l_(std::move(l)), r_(std::move(r)) {}
    double n(const EvalContext& c) override {
        return static_cast<double>(l_->t(c) - r_->t(c)) / static_cast<double>(kMillisPerDay);
    }
private:
    NodePtr l_, r_;
};

// ---------------------------------------------------------------- functions

class FuncNode final : public Node {
public:
    FuncNode(Func f, Type type, std::vector<NodePtr> args, CompareKind kind, const CaseTables& cases,
             std::size_t pos)
        : Node(type, pos), f_(f), args_(std::move(args)), kind_(kind), cases_(cases) {
        if ((f_ == Func::Upper || f_ == Func::Lower) && args_[0]->byteMap()) {
            const unsigned char* inner = args_[0]->byteMap();
            const auto& outer = f_ == Func::Upper ? cases_.upper : cases_.lower;
            for (int b = 0; b < 256; ++b)
                composite_[b] = outer[inner[b]];
            mapped_ = true;
        }
    }

    const unsigned char* byteMap() const override { return mapped_ ? composite_.data() : nullptr; }
    std::string_view rawText(const EvalContext& c) override { return args_[0]->rawText(c); }

    bool b(const EvalContext& c) override {
        switch (f_) {
        case Func::Empty: return empty(*args_[0], c);
        case Func::Deleted: return c.record && c.record[0] == '*';
        case Func::Iif: return args_[0]->b(c) ? args_[1]->b(c) : args_[2]->b(c);
        case Func::Between: {
            Slot x, lo, hi;
            fetch(*args_[0], kind_, c, x);
            fetch(*args_[1], kind_, c, lo);
            fetch(*args_[2], kind_, c, hi);
            int a = orderSlots(kind_, lo, x), b = orderSlots(kind_, x, hi);
            return a <= 0 && b <= 0;
        }
        case Func::Inlist: {
            Slot x, y;
            fetch(*args_[0], kind_, c, x);
            for (std::size_t i = 1; i < args_.size(); ++i) {
                fetch(*args_[i], kind_, c, y);
                if (orderSlots(kind_, x, y) == 0)
                    return true;
            }
            return false;
        }
        default: return false;
        }
    }

    double n(const EvalContext& c) override {
        switch (f_) {
        case Func::Len: return static_cast<double>(args_[0]->s(c).size());
        case Func::At: {
            std::string_view needle = args_[0]->s(c);
            std::string_view hay = args_[1]->s(c);
            std::size_t at = needle.empty() ? std::string_view::npos : hay.find(needle);
            return at == std::string_view::npos ? 0.0 : static_cast<double>(at + 1);
        }
        case Func::Val: return parseNumber(args_[0]->s(c));
        case Func::Year:
        case Func::Month:
        case Func::Day: {
            int y, m, d;
            civilDate(dayOf(*args_[0], c), y, m, d);
            return f_ == Func::Year ? y : (f_ == Func::Month ? m : d);
        }
        case Func::Recno: return static_cast<double>(c.rec);
        case Func::Abs: return std::fabs(args_[0]->n(c));
        case Func::Int: return std::trunc(args_[0]->n(c));
        case Func::Round: {
            double v = args_[0]->n(c);
            int places = args_.size() > 1 ? clampToInt(args_[1]->n(c), -15, 15) : 0;
            // Scale by an exact power of ten on the side that keeps it exact.
            double scale = std::pow(10.0, places < 0 ? -places : places);
            double r = places >= 0 ? std::round(v * scale) / scale : std::round(v / scale) * scale;
            return std::isfinite(r) ? r : v;
        }
        case Func::Iif: return args_[0]->b(c) ? args_[1]->n(c) : args_[2]->n(c);
        default: return 0.0;
        }
    }

    std::string_view s(const EvalContext& c) override {
        switch (f_) {
        case Func::Upper:
        case Func::Lower: {
            std::string_view v = mapped_ ? args_[0]->rawText(c) : args_[0]->s(c);
            const unsigned char* map =
                mapped_ ? composite_.data() : (f_ == Func::Upper ? cases_.upper : cases_.lower).data();
            buf_.resize(v.size());
            for (std::size_t i = 0; i < v.size(); ++i)
                buf_[i] = static_cast<char>(map[static_cast<unsigned char>(v[i])]);
            return buf_;
        }
        case Func::Trim: return trimRight(args_[0]->s(c));
        case Func::Ltrim: return trimLeft(args_[0]->s(c));
        case Func::Alltrim: return trimLeft(trimRight(args_[0]->s(c)));
        case Func::Substr: {
            std::string_view v = args_[0]->s(c);
            const int size = static_cast<int>(std::min<std::size_t>(v.size(), 1 << 30));
            int start = clampToInt(args_[1]->n(c), 1, size + 1) - 1;
            int len = args_.size() > 2 ? clampToInt(args_[2]->n(c), 0, size) : size;
            return v.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(len));
        }
        case Func::Left: {
            std::string_view v = args_[0]->s(c);
            return v.substr(0, static_cast<std::size_t>(clampToInt(args_[1]->n(c), 0, 1 << 30)));
        }
        case Func::Right: {
            std::string_view v = args_[0]->s(c);
            auto k = std::min(v.size(), static_cast<std::size_t>(clampToInt(args_[1]->n(c), 0, 1 << 30)));
            return v.substr(v.size() - k);
        }
        case Func::Str: {
            double v = args_[0]->n(c);
            int width = args_.size() > 1 ? clampToInt(args_[1]->n(c), 1, 255) : 10;
            int decimals = args_.size() > 2 ? clampToInt(args_[2]->n(c), 0, 15) : 0;
            buf_.clear();
            appendStr(buf_, v, width, decimals);
            return buf_;
        }
        case Func::Dtoc:
        case Func::Dtos:
            buf_.clear();
            if (f_ == Func::Dtoc)
                appendDtoc(buf_, dayOf(*args_[0], c));
            else
                appendDtos(buf_, dayOf(*args_[0], c));
            return buf_;
        case Func::Iif: return args_[0]->b(c) ? args_[1]->s(c) : args_[2]->s(c);
        default: return {};
        }
    }

    std::int32_t d(const EvalContext& c) override {
        switch (f_) {
        case Func::Stod: {
            std::string_view v = args_[0]->s(c);
            return parseDtos(reinterpret_cast<const unsigned char*>(v.data()), v.size() == 8 ? 8 : 0);
        }
        case Func::Ctod: return parseCtod(args_[0]->s(c));
        case Func::Iif: return args_[0]->b(c) ? args_[1]->d(c) : args_[2]->d(c);
        default: return kEmptyDate;
        }
    }

    std::int64_t t(const EvalContext& c) override {
        if (type == Type::Date)
            return dateMillis(d(c));
        if (f_ == Func::Iif)
            return args_[0]->b(c) ? args_[1]->t(c) : args_[2]->t(c);
        return 0;
    }

private:
    static std::int32_t dayOf(Node& a, const EvalContext& c) {
        if (a.type == Type::Date)
            return a.d(c);
        std::int64_t ms = a.t(c);
        return ms <= 0 ? kEmptyDate : static_cast<std::int32_t>(ms / kMillisPerDay);
    }
    static bool empty(Node& a, const EvalContext& c) {
        switch (a.type) {
        case Type::Bool: return !a.b(c);
        case Type::Num: return a.n(c) == 0.0;
        case Type::Date: return a.d(c) == kEmptyDate;
        case Type::DateTime: return a.t(c) == 0;
        case Type::Text:
            // Field bytes are judged as stored: translation keeps blanks blank.
            for (char ch : trimRight(a.byteMap() ? a.rawText(c) : a.s(c)))
                if (!blankByte(ch))
                    return false;
            return true;
        }
        return true;
    }

    Func f_;
    std::vector<NodePtr> args_;
    CompareKind kind_;
    const CaseTables& cases_;
    std::string buf_;
    std::array<unsigned char, 256> composite_{};
    bool mapped_ = false;
};

int childDepth(std::initializer_list<const Node*> children) {
    int d = 0;
    for (const Node* c : children)
        d = std::max(d, c->depth);
    return d;
}

template <class N, class... A> NodePtr make(int depth, bool constant, A&&... args) {
    auto node = std::make_unique<N>(std::forward<A>(args)...);
    node->depth = depth + 1;
    node->constant = constant;
    return node;
}

} // namespace

// ---------------------------------------------------------------- factories

NodePtr makeBool(bool v, std::size_t pos) { return std::make_unique<BoolLit>(v, pos); }
NodePtr makeNum(double v, std::size_t pos) { return std::make_unique<NumLit>(v, pos); }
NodePtr makeText(std::string v, std::size_t pos) { return std::make_unique<TextLit>(std::move(v), pos); }
NodePtr makeDate(std::int32_t v, std::size_t pos) { return std::make_unique<DateLit>(v, pos); }

NodePtr makeField(const FieldPlace& f, std::size_t pos) {
    switch (f.reader) {
    case FieldReader::Text: return std::make_unique<TextField>(pos, f);
    case FieldReader::Memo: return std::make_unique<MemoField>(pos, f);
    case FieldReader::Number: return std::make_unique<NumField>(Type::Num, pos, f);
    case FieldReader::Int32: return std::make_unique<IntField>(Type::Num, pos, f);
    case FieldReader::Currency: return std::make_unique<CurrencyField>(Type::Num, pos, f);
    case FieldReader::Double: return std::make_unique<DoubleField>(Type::Num, pos, f);
    case FieldReader::Date: return std::make_unique<DateField>(Type::Date, pos, f);
    case FieldReader::DateTime: return std::make_unique<DateTimeField>(Type::DateTime, pos, f);
    case FieldReader::Logical: return std::make_unique<LogicalField>(Type::Bool, pos, f);
    case FieldReader::DecodedNum: return std::make_unique<DecodedField>(Type::Num, pos, f);
    case FieldReader::DecodedDate: return std::make_unique<DecodedField>(Type::Date, pos, f);
    case FieldReader::DecodedDateTime: return std::make_unique<DecodedField>(Type::DateTime, pos, f);
    case FieldReader::DecodedBool: return std::make_unique<DecodedField>(Type::Bool, pos, f);
    }
    return nullptr;
}

NodePtr makeLogic(bool isAnd, std::vector<NodePtr> parts, std::size_t pos) {
    int depth = 0;
    bool constant = true;
    for (auto& p : parts) {
        depth = std::max(depth, p->depth);
        constant = constant && p->constant;
    }
    if (isAnd)
        return make<AndNode>(depth, constant, std::move(parts), pos);
    return make<OrNode>(depth, constant, std::move(parts), pos);
}

NodePtr makeNot(NodePtr a, std::size_t pos) {
    int depth = a->depth;
    bool constant = a->constant;
    return make<NotNode>(depth, constant, std::move(a), pos);
}

NodePtr makeNeg(NodePtr a, std::size_t pos) {
    int depth = a->depth;
    bool constant = a->constant;
    return make<NegNode>(depth, constant, std::move(a), pos);
}

NodePtr makeCompare(CompareKind k, CompareOp op, NodePtr l, NodePtr r, std::size_t pos) {
    int depth = childDepth({l.get(), r.get()});
    bool constant = l->constant && r->constant;
    if (k == CompareKind::Text && !constant) {
        if (l->byteMap() && r->constant)
            return make<MappedTextCompare>(depth, false, op, std::move(l), std::move(r), pos);
        if (r->byteMap() && l->constant) {
            static const CompareOp mirrored[] = {CompareOp::Eq, CompareOp::Ne, CompareOp::Gt,
                                                 CompareOp::Ge, CompareOp::Lt, CompareOp::Le};
            return make<MappedTextCompare>(depth, false, mirrored[static_cast<int>(op)], std::move(r),
                                           std::move(l), pos);
        }
    }
    if (k == CompareKind::Time && l->type == Type::Date && r->type == Type::Date)
        k = CompareKind::Day;
    switch (k) {
    case CompareKind::Day: return make<CompareNode<CompareKind::Day>>(depth, constant, op, std::move(l), std::move(r), pos);
    case CompareKind::Num: return make<CompareNode<CompareKind::Num>>(depth, constant, op, std::move(l), std::move(r), pos);
    case CompareKind::Text: return make<CompareNode<CompareKind::Text>>(depth, constant, op, std::move(l), std::move(r), pos);
    case CompareKind::Time: return make<CompareNode<CompareKind::Time>>(depth, constant, op, std::move(l), std::move(r), pos);
    case CompareKind::Bool: return make<CompareNode<CompareKind::Bool>>(depth, constant, op, std::move(l), std::move(r), pos);
    }
    return nullptr;
}

NodePtr makeContains(NodePtr needle, NodePtr hay, std::size_t pos) {
    int depth = childDepth({needle.get(), hay.get()});
    bool constant = needle->constant && hay->constant;
    return make<ContainsNode>(depth, constant, std::move(needle), std::move(hay), pos);
}

NodePtr makeLike(NodePtr text, NodePtr pattern, const CaseTables& cases, std::size_t pos) {
    int depth = childDepth({text.get(), pattern.get()});
    bool constant = text->constant && pattern->constant;
    return make<LikeNode>(depth, constant, std::move(text), std::move(pattern), cases.upper.data(), pos);
}

NodePtr makeArith(char op, NodePtr l, NodePtr r, std::size_t pos) {
    int depth = childDepth({l.get(), r.get()});
    bool constant = l->constant && r->constant;
    if (l->type == Type::Num && r->type == Type::Num)
        return make<NumArith>(depth, constant, op, std::move(l), std::move(r), pos);
    if (l->type == Type::Text && r->type == Type::Text && (op == '+' || op == '-'))
        return make<TextConcat>(depth, constant, op, std::move(l), std::move(r), pos);
    if (l->type == Type::Date && r->type == Type::Num && (op == '+' || op == '-'))
        return make<DateShift>(depth, constant, std::move(l), std::move(r), op == '-', pos);
    if (l->type == Type::Num && r->type == Type::Date && op == '+')
        return make<DateShift>(depth, constant, std::move(r), std::move(l), false, pos);
    if ((l->type == Type::Date || l->type == Type::DateTime) &&
        (r->type == Type::Date || r->type == Type::DateTime) && op == '-')
        return make<DateDiff>(depth, constant, std::move(l), std::move(r), pos);
    return nullptr;
}

NodePtr makeFunc(Func f, Type type, std::vector<NodePtr> args, CompareKind kind, const CaseTables& cases,
                 bool pure, std::size_t pos) {
    int depth = 0;
    bool constant = pure;
    for (auto& a : args) {
        depth = std::max(depth, a->depth);
        constant = constant && a->constant;
    }
    return make<FuncNode>(depth, constant, f, type, std::move(args), kind, cases, pos);
}

NodePtr foldConstant(NodePtr node) {
    if (!node->constant || dynamic_cast<BoolLit*>(node.get()) || dynamic_cast<NumLit*>(node.get()) ||
        dynamic_cast<TextLit*>(node.get()) || dynamic_cast<DateLit*>(node.get()) ||
        dynamic_cast<DateTimeLit*>(node.get()))
        return node;
    const EvalContext none{};
    std::size_t pos = node->pos;
    switch (node->type) {
    case Type::Bool: return makeBool(node->b(none), pos);
    case Type::Num: return makeNum(node->n(none), pos);
    case Type::Text: return makeText(std::string(node->s(none)), pos);
    case Type::Date: return makeDate(node->d(none), pos);
    case Type::DateTime: return std::make_unique<DateTimeLit>(node->t(none), pos);
    }
    return node;
}

} // namespace tabvue::engine::expr
