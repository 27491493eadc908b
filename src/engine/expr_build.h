#pragma once
// Building blocks the parser assembles into an evaluation tree.
#include <array>
#include <string>
#include <vector>

#include "engine/expr_nodes.h"

namespace tabvue::engine::expr {

enum class FieldReader {
    Text,      // bytes in the record (C, V, Q)
    Memo,      // through RecordSource::memoText (M, and memo-held blobs)
    Number,    // ASCII digits (N, F)
    Int32,     // little-endian integer (I, +)
    Currency,  // little-endian 64-bit, 1/10000 units (Y)
    Double,    // little-endian IEEE double (B)
    Date,      // "yyyymmdd" (D)
    DateTime,  // little-endian day number and milliseconds (T)
    Logical,   // one of "TtYy" is true (L)
    DecodedNum, DecodedDate, DecodedDateTime, DecodedBool, // through RecordSource::value
};

// Where and how a field is read.
struct FieldPlace {
    FieldReader reader = FieldReader::Text;
    int offset = 0;
    int width = 0;
    int datasetField = -1;
    int nullByte = -1;        // record byte holding the field's null flag, or -1
    unsigned char nullMask = 0;
    int varLengthByte = -1;   // record byte holding the short-value flag, or -1
    unsigned char varLengthMask = 0;
    const std::array<unsigned char, 256>* translate = nullptr; // OEM->ANSI for text, or nullptr
};

enum class CompareOp { Eq, Ne, Lt, Le, Gt, Ge };
// Time: dates and date-times as milliseconds; Day: two dates, as day numbers.
enum class CompareKind { Num, Text, Time, Bool, Day };

enum class Func {
    Upper, Lower, Trim, Ltrim, Alltrim, Substr, Left, Right, Len, At, Val, Str,
    Dtoc, Dtos, Stod, Ctod, Year, Month, Day, Date, Empty, Deleted, Recno, Iif,
    Abs, Int, Round, Between, Inlist,
};

NodePtr makeBool(bool v, std::size_t pos);
NodePtr makeNum(double v, std::size_t pos);
NodePtr makeText(std::string v, std::size_t pos);
NodePtr makeDate(std::int32_t v, std::size_t pos);
NodePtr makeField(const FieldPlace& f, std::size_t pos);
NodePtr makeLogic(bool isAnd, std::vector<NodePtr> parts, std::size_t pos);
NodePtr makeNot(NodePtr a, std::size_t pos);
NodePtr makeNeg(NodePtr a, std::size_t pos);
NodePtr makeCompare(CompareKind k, CompareOp op, NodePtr l, NodePtr r, std::size_t pos);
NodePtr makeContains(NodePtr needle, NodePtr hay, std::size_t pos);
NodePtr makeLike(NodePtr text, NodePtr pattern, const CaseTables& cases, std::size_t pos);
// nullptr when the operand types do not combine.
NodePtr makeArith(char op, NodePtr l, NodePtr r, std::size_t pos);
NodePtr makeFunc(Func f, Type type, std::vector<NodePtr> args, CompareKind kind, const CaseTables& cases,
                 bool pure, std::size_t pos);
// A node whose value depends on nothing becomes a literal holding that value.
NodePtr foldConstant(NodePtr node);

} // namespace tabvue::engine::expr
