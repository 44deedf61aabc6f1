#pragma once

// The trigger language: trigger-unit values (per radix, with don't-care
// digits and token names) and trigger expressions over trigger-unit names.
// Pure functions, shared by the models, the commands and the capture.

#include "onaglobal.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace TriggerLang {

// Indexes into OnaData::radix_list.
enum Radix { RadixBin = 0, RadixOct = 1, RadixDec = 2, RadixHex = 3 };

// The vocabularies of the trigger table: radix texts in Radix order, the
// operators of a parallel unit and those of a serial unit. OnaData
// publishes them as radix_list, operator_list and serial_list.
ONA_EXPORT const QStringList& radixNames();
ONA_EXPORT const QStringList& operatorNames();
ONA_EXPORT const QStringList& serialOperatorNames();

enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Rising, Falling, AnyEdge, InRange, OutRange, Invalid };

ONA_EXPORT Op opFromText(const QString& text);
ONA_EXPORT bool isEdgeOp(Op op);
ONA_EXPORT bool isOrderOp(Op op);
ONA_EXPORT bool isRangeOp(Op op);

// Limits the hardware model imposes.
constexpr int kMaxWidth = 4096;  // bits of one trigger unit or signal
constexpr int kMaxSteps = 16;    // THEN steps of one expression
constexpr int kMaxCount = 65535; // occurrence count of one step
constexpr int kMaxNameLength = 128;

// A bit pattern is a string of '0', '1' and 'x' (don't care), most
// significant bit first, exactly `width` characters long.

// Parses a number written in `radix` (0..3) into a pattern of `width` bits.
// Underscores separate digit groups. 'x' digits are allowed in Bin, Oct and
// Hex when allowX. A value wider than `width` is refused unless its extra
// digits are zero.
ONA_EXPORT bool parseNumber(const QString& text, int radix, int width, bool allowX, QString* bits, QString* error);

// Writes a pattern in `radix`; fails when the pattern cannot be shown there
// (a don't-care that does not cover whole digits, or any don't-care in Dec).
ONA_EXPORT bool formatNumber(const QString& bits, int radix, QString* text);

// A token value: "b'0101", "o'17", "d'12" or "h'F" (case of the prefix
// letter ignored); no don't-care digits.
ONA_EXPORT bool parseTokenValue(const QString& text, int width, QString* bits, QString* error);
ONA_EXPORT QString tokenValueText(const QString& bits); // canonical "b'..."

// -1 / 0 / 1 for two patterns of equal width without don't-cares.
ONA_EXPORT int compareBits(const QString& a, const QString& b);

// Names of trigger units, trigger expressions, token sets and tokens.
ONA_EXPORT bool isIdentifier(const QString& name);
ONA_EXPORT bool isKeyword(const QString& name);
// Explains why `name` is not acceptable as a `what` name; empty when it is.
ONA_EXPORT QString checkName(const QString& name, const QString& what);

// Everything needed to judge one trigger-unit row.
struct TUSpec {
    int width = 1;  // bits compared (serial word width for a serial TU)
    int serial = 0; // serial bits, 0 for a parallel TU
    QString op;
    QString radix;
    QString value;
};

// Looks a token up: the set's width and the token's pattern. The set
// function answers whether a set of that name exists and its width.
struct TokenLookup {
    std::function<bool(const QString& set, int* width)> set;
    std::function<bool(const QString& set, const QString& token, QString* bits)> token;
};

// The compiled condition of a trigger unit.
struct TUCondition {
    Op op = Op::Invalid;
    int width = 0;
    QString value; // pattern; for edges the bits marked '1' are watched
    QString high;  // upper bound of a range
};

ONA_EXPORT bool compileTU(const TUSpec& tu, const TokenLookup& tokens, TUCondition* out, QString* error);

// Trigger expressions. Nodes are kept in one vector; a step's root is the
// index of its top node.
struct TENode {
    enum Kind { Ref, Not, And, Or, Xor } kind = Ref;
    int tu = -1; // Ref: trigger-unit row
    int a = -1;
    int b = -1;
};
struct TEStep {
    int root = -1;
    int count = 1;
};
struct TEProgram {
    QVector<TENode> nodes;
    QVector<TEStep> steps;
};

ONA_EXPORT bool parseTE(const QString& text, const QStringList& tuNames, TEProgram* out, QString* error);

// Replaces whole identifiers `from` by `to` in an expression, leaving
// everything else (blanks, operators, unknown words) as it was.
ONA_EXPORT QString renameInExpression(const QString& text, const QString& from, const QString& to);

} // namespace TriggerLang
