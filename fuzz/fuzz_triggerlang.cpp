// Any text as a trigger-unit value (every operator and radix) and as a
// trigger expression.
#include "triggerlang.h"

using namespace TriggerLang;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 2, int(size - 2));
    static const char* const ops[] = {
        "==", "!=", "<", "<=", ">", ">=", "rising edge", "falling edge", "any edge", "in range", "not in range"};
    static const char* const radixes[] = {"Bin", "Oct", "Dec", "Hex", "tok", "ONL_INT_n"};
    TUSpec unit;
    unit.width = 1 + data[0] % 130;
    unit.op = QLatin1String(ops[data[1] % 11]);
    unit.radix = QLatin1String(radixes[(data[1] / 11) % 6]);
    unit.serial = data[1] & 0x80 ? unit.width : 0;
    unit.value = text;
    TokenLookup tokens;
    tokens.set = [&](const QString&, int* w) {
        *w = unit.width;
        return true;
    };
    tokens.token = [&](const QString&, const QString& t, QString* b) {
        if (t != QLatin1String("ONE"))
            return false;
        *b = QString(unit.width - 1, QLatin1Char('0')) + QLatin1Char('1');
        return true;
    };
    TUCondition cond;
    QString error;
    if (compileTU(unit, tokens, &cond, &error)) {
        if (cond.value.size() != unit.width)
            __builtin_trap();
        for (int r = 0; r < 4; ++r) {
            QString out, back;
            if (formatNumber(cond.value, r, &out) &&
                (!parseNumber(out, r, unit.width, true, &back, &error) || back != cond.value))
                __builtin_trap(); // what is written reads back the same
        }
    }
    TEProgram prog;
    if (parseTE(text, {QStringLiteral("TU1"), QStringLiteral("TU2"), QStringLiteral("a")}, &prog, &error)) {
        for (const TEStep& s : prog.steps)
            if (s.root < 0 || s.root >= prog.nodes.size() || s.count < 1)
                __builtin_trap();
        const QString renamed = renameInExpression(text, QStringLiteral("TU1"), QStringLiteral("X_1"));
        if (!parseTE(renamed, {QStringLiteral("X_1"), QStringLiteral("TU2"), QStringLiteral("a")}, &prog, &error))
            __builtin_trap();
    }
    return 0;
}
