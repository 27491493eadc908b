// Recursive-descent parser of the filter language; it type-checks while it builds the tree.
//
//   or      := and { (OR | .OR.) and }
//   and     := not { (AND | .AND.) not }
//   not     := (NOT | .NOT. | !) not | compare
//   compare := sum { (= | == | <> | # | != | < | <= | > | >= | $ | LIKE | NOT LIKE) sum }
//   sum     := product { (+ | -) product }
//   product := unary { (* | /) unary }
//   unary   := (- | +) unary | primary
//   primary := number | text | .T. | .F. | TRUE | FALSE | field | name ( args ) | ( or )
#include <ctime>

#include "engine/expr_build.h"
#include "engine/expr_lexer.h"

namespace tabvue::engine::expr {

Condition::Condition(std::unique_ptr<Node> root) : root_(std::move(root)) {}
Condition::~Condition() = default;
bool Condition::matches(const EvalContext& ctx) const { return root_->b(ctx); }

namespace {

// Deeper trees than this are refused; it bounds the recursion of evaluation.
constexpr int kMaxTreeDepth = 2 * kMaxNesting + 50;

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

struct FuncInfo {
    const char* name;
    Func f;
    int minArgs;
    int maxArgs;
};

const FuncInfo kFunctions[] = {
    {"UPPER", Func::Upper, 1, 1},     {"LOWER", Func::Lower, 1, 1},     {"TRIM", Func::Trim, 1, 1},
    {"RTRIM", Func::Trim, 1, 1},      {"LTRIM", Func::Ltrim, 1, 1},     {"ALLTRIM", Func::Alltrim, 1, 1},
    {"SUBSTR", Func::Substr, 2, 3},   {"LEFT", Func::Left, 2, 2},       {"RIGHT", Func::Right, 2, 2},
    {"LEN", Func::Len, 1, 1},         {"AT", Func::At, 2, 2},           {"VAL", Func::Val, 1, 1},
    {"STR", Func::Str, 1, 3},         {"DTOC", Func::Dtoc, 1, 1},       {"DTOS", Func::Dtos, 1, 1},
    {"STOD", Func::Stod, 1, 1},       {"CTOD", Func::Ctod, 1, 1},       {"YEAR", Func::Year, 1, 1},
    {"MONTH", Func::Month, 1, 1},     {"DAY", Func::Day, 1, 1},         {"DATE", Func::Date, 0, 0},
    {"EMPTY", Func::Empty, 1, 1},     {"DELETED", Func::Deleted, 0, 0}, {"RECNO", Func::Recno, 0, 0},
    {"IIF", Func::Iif, 3, 3},         {"ABS", Func::Abs, 1, 1},         {"INT", Func::Int, 1, 1},
    {"ROUND", Func::Round, 1, 2},     {"BETWEEN", Func::Between, 3, 3}, {"INLIST", Func::Inlist, 2, 255},
};

// A function by its name, or by the first four or more letters of exactly one name.
const FuncInfo* findFunction(std::string_view name) {
    for (const auto& info : kFunctions)
        if (sameName(name, info.name))
            return &info;
    if (name.size() < 4)
        return nullptr;
    const FuncInfo* found = nullptr;
    for (const auto& info : kFunctions) {
        std::string_view full(info.name);
        if (full.size() > name.size() && sameName(full.substr(0, name.size()), name)) {
            if (found && found->f != info.f)
                return nullptr;
            found = &info;
        }
    }
    return found;
}

bool comparable(Type a, Type b, CompareKind& kind) {
    auto time = [](Type t) { return t == Type::Date || t == Type::DateTime; };
    if (a == Type::Num && b == Type::Num)
        kind = CompareKind::Num;
    else if (a == Type::Text && b == Type::Text)
        kind = CompareKind::Text;
    else if (time(a) && time(b))
        kind = CompareKind::Time;
    else if (a == Type::Bool && b == Type::Bool)
        kind = CompareKind::Bool;
    else
        return false;
    return true;
}

std::int32_t today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

class Parser {
public:
    Parser(std::vector<Token> tokens, const Schema& schema)
        : toks_(std::move(tokens)), schema_(schema),
          cases_(schema.cases ? *schema.cases : ansiCaseTables()) {
        for (const auto& d : *schema_.descriptors)
            if (d.type == '0')
                nullFlags_ = &d;
    }

    NodePtr parseCondition() {
        NodePtr e = parseOr();
        if (peek().kind != Tok::End) {
            if (peek().kind == Tok::RParen)
                fail("Unbalanced parenthesis: ')' without '('", peek().pos);
            unexpected(peek());
        }
        if (e->type != Type::Bool)
            fail(std::string("Condition expected, but the expression gives ") + typeName(e->type), 1);
        return e;
    }

private:
    struct Nest {
        Nest(Parser& p, std::size_t pos) : p(p) {
            if (++p.nesting_ > kMaxNesting)
                fail("Expression nested too deeply", pos);
        }
        ~Nest() { --p.nesting_; }
        Parser& p;
    };

    const Token& peek(std::size_t ahead = 0) const {
        std::size_t i = std::min(at_ + ahead, toks_.size() - 1);
        return toks_[i];
    }
    const Token& take() {
        const Token& t = toks_[at_];
        if (at_ + 1 < toks_.size())
            ++at_;
        return t;
    }
    bool isWord(const Token& t, std::string_view word) const {
        return t.kind == Tok::Name && sameName(t.spelling, word);
    }

    [[noreturn]] static void unexpected(const Token& t) {
        if (t.kind == Tok::End)
            fail("Unexpected end of expression", t.pos);
        fail("Unexpected '" + std::string(t.spelling.substr(0, 40)) + "'", t.pos);
    }

    NodePtr checked(NodePtr node) {
        if (node->depth > kMaxTreeDepth)
            fail("Expression nested too deeply", node->pos);
        return foldConstant(std::move(node));
    }

    NodePtr parseLogic(bool isAnd) {
        const std::size_t pos = peek().pos;
        std::vector<NodePtr> parts;
        auto operand = [&]() {
            NodePtr e = isAnd ? parseNot() : parseLogic(true);
            if (e->type != Type::Bool)
                fail(std::string("Type mismatch: ") + (isAnd ? "AND" : "OR") + " needs logical values, not " +
                         typeName(e->type),
                     e->pos);
            return e;
        };
        NodePtr first = isAnd ? parseNot() : parseLogic(true);
        const Tok symbol = isAnd ? Tok::And : Tok::Or;
        const char* word = isAnd ? "AND" : "OR";
        while (peek().kind == symbol || isWord(peek(), word)) {
            if (parts.empty()) {
                if (first->type != Type::Bool)
                    fail(std::string("Type mismatch: ") + word + " needs logical values, not " +
                             typeName(first->type),
                         first->pos);
                parts.push_back(std::move(first));
            }
            take();
            parts.push_back(operand());
        }
        if (parts.empty())
            return first;
        return checked(makeLogic(isAnd, std::move(parts), pos));
    }
    NodePtr parseOr() { return parseLogic(false); }

    NodePtr parseNot() {
        if (peek().kind == Tok::Not || isWord(peek(), "NOT")) {
            const Token& op = take();
            Nest nest(*this, op.pos);
            NodePtr a = parseNot();
            if (a->type != Type::Bool)
                fail(std::string("Type mismatch: NOT needs a logical value, not ") + typeName(a->type), a->pos);
            return checked(makeNot(std::move(a), op.pos));
        }
        return parseCompare();
    }

    NodePtr parseCompare() {
        NodePtr l = parseSum();
        for (;;) {
            const Token& t = peek();
            CompareOp op;
            bool negate = false;
            switch (t.kind) {
            case Tok::Eq:
            case Tok::EqEq: op = CompareOp::Eq; break;
            case Tok::Ne: op = CompareOp::Ne; break;
            case Tok::Lt: op = CompareOp::Lt; break;
            case Tok::Le: op = CompareOp::Le; break;
            case Tok::Gt: op = CompareOp::Gt; break;
            case Tok::Ge: op = CompareOp::Ge; break;
            case Tok::Dollar: {
                take();
                NodePtr r = parseSum();
                requireText(*l, *r, "$", t.pos);
                l = checked(makeContains(std::move(l), std::move(r), t.pos));
                continue;
            }
            default:
                if ((t.kind == Tok::Not || isWord(t, "NOT")) && isWord(peek(1), "LIKE")) {
                    take();
                    negate = true;
                } else if (!isWord(t, "LIKE")) {
                    return l;
                }
                {
                    const Token& like = take();
                    NodePtr r = parseSum();
                    requireText(*l, *r, "LIKE", like.pos);
                    l = checked(makeLike(std::move(l), std::move(r), cases_, like.pos));
                    if (negate)
                        l = checked(makeNot(std::move(l), t.pos));
                }
                continue;
            }
            take();
            NodePtr r = parseSum();
            CompareKind kind;
            if (!comparable(l->type, r->type, kind))
                fail(std::string("Type mismatch: ") + typeName(l->type) + " compared with " + typeName(r->type),
                     t.pos);
            l = checked(makeCompare(kind, op, std::move(l), std::move(r), t.pos));
        }
    }

    static void requireText(const Node& l, const Node& r, const char* op, std::size_t pos) {
        if (l.type != Type::Text || r.type != Type::Text)
            fail(std::string("Type mismatch: ") + op + " needs text on both sides, not " +
                     typeName(l.type != Type::Text ? l.type : r.type),
                 pos);
    }

    NodePtr parseSum() {
        NodePtr l = parseProduct();
        while (peek().kind == Tok::Plus || peek().kind == Tok::Minus) {
            const Token& t = take();
            NodePtr r = parseProduct();
            l = arith(t, std::move(l), std::move(r));
        }
        return l;
    }

    NodePtr parseProduct() {
        NodePtr l = parseUnary();
        while (peek().kind == Tok::Star || peek().kind == Tok::Slash) {
            const Token& t = take();
            NodePtr r = parseUnary();
            l = arith(t, std::move(l), std::move(r));
        }
        return l;
    }

    NodePtr arith(const Token& t, NodePtr l, NodePtr r) {
        const char op = t.spelling[0];
        const Type lt = l->type, rt = r->type;
        NodePtr node = makeArith(op, std::move(l), std::move(r), t.pos);
        if (!node)
            fail(std::string("Type mismatch: ") + typeName(lt) + " " + op + " " + typeName(rt), t.pos);
        return checked(std::move(node));
    }

    NodePtr parseUnary() {
        if (peek().kind == Tok::Minus || peek().kind == Tok::Plus) {
            const Token& t = take();
            Nest nest(*this, t.pos);
            NodePtr a = parseUnary();
            if (a->type != Type::Num)
                fail(std::string("Type mismatch: sign before ") + typeName(a->type), t.pos);
            if (t.kind == Tok::Plus)
                return a;
            return checked(makeNeg(std::move(a), t.pos));
        }
        return parsePrimary();
    }

    NodePtr parsePrimary() {
        const Token& t = take();
        switch (t.kind) {
        case Tok::Number:
            return makeNum(parseNumber(t.spelling), t.pos);
        case Tok::Text:
            return makeText(t.text, t.pos);
        case Tok::True:
        case Tok::False:
            return makeBool(t.kind == Tok::True, t.pos);
        case Tok::LParen: {
            Nest nest(*this, t.pos);
            NodePtr e = parseOr();
            if (peek().kind != Tok::RParen) {
                if (peek().kind == Tok::End)
                    fail("Unbalanced parenthesis: '(' without ')'", t.pos);
                unexpected(peek());
            }
            take();
            return e;
        }
        case Tok::RParen:
            fail("Unbalanced parenthesis: ')' without '('", t.pos);
        case Tok::Name:
            if (peek().kind == Tok::LParen)
                return parseCall(t);
            return parseName(t);
        default:
            unexpected(t);
        }
    }

    NodePtr parseName(const Token& t) {
        if (NodePtr f = field(t))
            return f;
        if (sameName(t.spelling, "TRUE") || sameName(t.spelling, "FALSE"))
            return makeBool(sameName(t.spelling, "TRUE"), t.pos);
        if (sameName(t.spelling, "AND") || sameName(t.spelling, "OR") || sameName(t.spelling, "NOT") ||
            sameName(t.spelling, "LIKE"))
            unexpected(t);
        if (sameName(t.spelling, "NULL"))
            fail("NULL is not a value; test with EMPTY(field)", t.pos);
        fail("Unknown field '" + std::string(t.spelling.substr(0, 60)) + "'", t.pos);
    }

    // Fields by their dataset names (what the grid shows; a repeated name gets a suffix there).
    NodePtr field(const Token& t) {
        const auto& descs = *schema_.descriptors;
        auto build = [&](const FieldDescriptor& d) {
            if (d.offset < 1 || d.width < 0 ||
                (schema_.recordLength > 0 && d.offset + d.width > schema_.recordLength))
                fail("Field '" + d.name + "' lies outside the record", t.pos);
            return makeField(place(d), t.pos);
        };
        if (schema_.fields) {
            for (const auto& f : *schema_.fields)
                if (sameName(f.name, t.spelling) && f.descriptor >= 0 &&
                    f.descriptor < static_cast<int>(descs.size()))
                    return build(descs[static_cast<std::size_t>(f.descriptor)]);
            return nullptr;
        }
        for (const auto& d : descs)
            if (d.datasetField >= 0 && sameName(d.name, t.spelling))
                return build(d);
        return nullptr;
    }

    FieldPlace place(const FieldDescriptor& d) const {
        FieldPlace p;
        p.offset = d.offset;
        p.width = d.width;
        p.datasetField = d.datasetField;
        if (nullFlags_) {
            auto flagByte = [&](int bit, int& byte, unsigned char& mask) {
                if (bit >= 0 && bit / 8 < nullFlags_->width) {
                    byte = nullFlags_->offset + bit / 8;
                    mask = static_cast<unsigned char>(1u << (bit % 8));
                }
            };
            flagByte(d.nullBit, p.nullByte, p.nullMask);
            flagByte(d.varLengthBit, p.varLengthByte, p.varLengthMask);
            if (schema_.recordLength > 0 && nullFlags_->offset + nullFlags_->width > schema_.recordLength)
                p.nullByte = p.varLengthByte = -1;
        }
        const bool dbase7 = (schema_.versionByte & 0x07) == 0x04;
        const bool fields = schema_.fields && d.datasetField < static_cast<int>(schema_.fields->size());
        const FieldKind kind = fields ? (*schema_.fields)[static_cast<std::size_t>(d.datasetField)].kind
                                      : FieldKind::String;
        switch (kind) {
        case FieldKind::String:
            p.reader = FieldReader::Text;
            p.translate = schema_.oemToAnsi;
            break;
        case FieldKind::Memo:
            p.reader = FieldReader::Memo;
            p.translate = schema_.oemToAnsi;
            break;
        case FieldKind::Blob:
            p.reader = d.type == 'Q' ? FieldReader::Text : FieldReader::Memo;
            break;
        case FieldKind::Date:
            p.reader = d.type == 'D' && d.width == 8 ? FieldReader::Date : FieldReader::DecodedDate;
            break;
        case FieldKind::DateTime:
            p.reader = d.type == 'T' && d.width == 8 && !dbase7 ? FieldReader::DateTime : FieldReader::DecodedDateTime;
            break;
        case FieldKind::SmallInt:
        case FieldKind::Float:
            if (d.type == 'N' || d.type == 'F')
                p.reader = FieldReader::Number;
            else if (d.type == 'B' && d.width == 8 && !dbase7)
                p.reader = FieldReader::Double;
            else
                p.reader = FieldReader::DecodedNum;
            break;
        case FieldKind::Integer:
        case FieldKind::AutoInc:
            p.reader = d.width == 4 && !dbase7 ? FieldReader::Int32 : FieldReader::DecodedNum;
            break;
        case FieldKind::Currency:
            p.reader = d.width == 8 ? FieldReader::Currency : FieldReader::DecodedNum;
            break;
        case FieldKind::Boolean:
            p.reader = d.width >= 1 ? FieldReader::Logical : FieldReader::DecodedBool;
            break;
        }
        return p;
    }

    NodePtr parseCall(const Token& name) {
        Nest nest(*this, name.pos);
        const FuncInfo* info = findFunction(name.spelling);
        if (!info)
            fail("Unknown function '" + std::string(name.spelling.substr(0, 60)) + "'", name.pos);
        take(); // '('
        std::vector<NodePtr> args;
        if (peek().kind != Tok::RParen) {
            for (;;) {
                args.push_back(parseOr());
                if (peek().kind == Tok::Comma) {
                    take();
                    continue;
                }
                if (peek().kind == Tok::RParen)
                    break;
                if (peek().kind == Tok::End)
                    fail("Unbalanced parenthesis: '(' without ')'", name.pos + name.spelling.size());
                unexpected(peek());
            }
        }
        take(); // ')'
        const int count = static_cast<int>(args.size());
        if (count < info->minArgs || count > info->maxArgs) {
            std::string expected = std::to_string(info->minArgs);
            if (info->maxArgs != info->minArgs)
                expected += info->maxArgs > 3 ? " or more" : " to " + std::to_string(info->maxArgs);
            fail("Wrong number of arguments for " + std::string(info->name) + ": " + expected + " expected, " +
                     std::to_string(count) + " given",
                 name.pos);
        }
        return checked(call(*info, std::move(args), name.pos));
    }

    static void argType(const FuncInfo& info, const std::vector<NodePtr>& args, std::size_t i,
                        std::initializer_list<Type> allowed) {
        if (i >= args.size())
            return;
        for (Type t : allowed)
            if (args[i]->type == t)
                return;
        fail("Type mismatch: argument " + std::to_string(i + 1) + " of " + info.name + " must be " +
                 typeName(*allowed.begin()) + ", not " + typeName(args[i]->type),
             args[i]->pos);
    }

    NodePtr call(const FuncInfo& info, std::vector<NodePtr> args, std::size_t pos) {
        const Type T = Type::Text, N = Type::Num, D = Type::Date, DT = Type::DateTime, B = Type::Bool;
        Type result = T;
        CompareKind kind = CompareKind::Num;
        bool pure = true;
        switch (info.f) {
        case Func::Upper: case Func::Lower: case Func::Trim: case Func::Ltrim: case Func::Alltrim:
            argType(info, args, 0, {T});
            break;
        case Func::Substr: case Func::Left: case Func::Right:
            argType(info, args, 0, {T});
            argType(info, args, 1, {N});
            argType(info, args, 2, {N});
            break;
        case Func::Len: case Func::Val:
            argType(info, args, 0, {T});
            result = N;
            break;
        case Func::At:
            argType(info, args, 0, {T});
            argType(info, args, 1, {T});
            result = N;
            break;
        case Func::Str:
            for (std::size_t i = 0; i < args.size(); ++i)
                argType(info, args, i, {N});
            break;
        case Func::Dtoc: case Func::Dtos:
            argType(info, args, 0, {D, DT});
            break;
        case Func::Stod: case Func::Ctod:
            argType(info, args, 0, {T});
            result = D;
            break;
        case Func::Year: case Func::Month: case Func::Day:
            argType(info, args, 0, {D, DT});
            result = N;
            break;
        case Func::Date:
            return makeDate(today(), pos);
        case Func::Empty:
            result = B;
            break;
        case Func::Deleted:
            result = B;
            pure = false;
            break;
        case Func::Recno:
            result = N;
            pure = false;
            break;
        case Func::Iif:
            argType(info, args, 0, {B});
            if (args[1]->type != args[2]->type)
                fail(std::string("Type mismatch: IIF gives ") + typeName(args[1]->type) + " or " +
                         typeName(args[2]->type),
                     args[2]->pos);
            result = args[1]->type;
            break;
        case Func::Abs: case Func::Int: case Func::Round:
            for (std::size_t i = 0; i < args.size(); ++i)
                argType(info, args, i, {N});
            result = N;
            break;
        case Func::Between: case Func::Inlist:
            for (std::size_t i = 1; i < args.size(); ++i)
                if (!comparable(args[0]->type, args[i]->type, kind))
                    fail(std::string("Type mismatch: ") + typeName(args[0]->type) + " compared with " +
                             typeName(args[i]->type),
                         args[i]->pos);
            result = B;
            break;
        }
        return makeFunc(info.f, result, std::move(args), kind, cases_, pure, pos);
    }

    std::vector<Token> toks_;
    std::size_t at_ = 0;
    const Schema& schema_;
    const CaseTables& cases_;
    const FieldDescriptor* nullFlags_ = nullptr;
    int nesting_ = 0;
};

} // namespace

std::shared_ptr<const Condition> compileCondition(std::string_view text, const Schema& schema) {
    if (text.size() > kMaxExpressionLength)
        throw Error("Invalid Query Expression\nExpression too long: " + std::to_string(text.size()) +
                    " characters, at most " + std::to_string(kMaxExpressionLength));
    std::vector<Token> tokens = tokenize(text);
    if (tokens.size() == 1)
        return nullptr; // blank: no restriction
    static const std::vector<FieldDescriptor> noFields;
    Schema s = schema;
    if (!s.descriptors)
        s.descriptors = &noFields;
    Parser parser(std::move(tokens), s);
    return std::make_shared<Condition>(parser.parseCondition());
}

} // namespace tabvue::engine::expr
