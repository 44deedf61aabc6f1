#include "rtlgen.h"

#include "projectfiles.h"
#include "registerradix.h"
#include "safefile.h"
#include "simdriver.h"
#include "triggerlang.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

using namespace ProjectFiles;

namespace RtlGen {

namespace {

constexpr quint64 kGamma = 0x9E3779B97F4A7C15ull;

// Verilog-2005 and SystemVerilog keywords: a design name, core, signal or
// clock spelt so would not compile in one tool or the other.
const char* const kKeywords[] = {"accept_on",
                                 "alias",
                                 "always",
                                 "always_comb",
                                 "always_ff",
                                 "always_latch",
                                 "and",
                                 "assert",
                                 "assign",
                                 "assume",
                                 "automatic",
                                 "before",
                                 "begin",
                                 "bind",
                                 "bins",
                                 "binsof",
                                 "bit",
                                 "break",
                                 "buf",
                                 "bufif0",
                                 "bufif1",
                                 "byte",
                                 "case",
                                 "casex",
                                 "casez",
                                 "cell",
                                 "chandle",
                                 "checker",
                                 "class",
                                 "clocking",
                                 "cmos",
                                 "config",
                                 "const",
                                 "constraint",
                                 "context",
                                 "continue",
                                 "cover",
                                 "covergroup",
                                 "coverpoint",
                                 "cross",
                                 "deassign",
                                 "default",
                                 "defparam",
                                 "design",
                                 "disable",
                                 "dist",
                                 "do",
                                 "edge",
                                 "else",
                                 "end",
                                 "endcase",
                                 "endchecker",
                                 "endclass",
                                 "endclocking",
                                 "endconfig",
                                 "endfunction",
                                 "endgenerate",
                                 "endgroup",
                                 "endinterface",
                                 "endmodule",
                                 "endpackage",
                                 "endprimitive",
                                 "endprogram",
                                 "endproperty",
                                 "endsequence",
                                 "endspecify",
                                 "endtable",
                                 "endtask",
                                 "enum",
                                 "event",
                                 "eventually",
                                 "expect",
                                 "export",
                                 "extends",
                                 "extern",
                                 "final",
                                 "first_match",
                                 "for",
                                 "force",
                                 "foreach",
                                 "forever",
                                 "fork",
                                 "forkjoin",
                                 "function",
                                 "generate",
                                 "genvar",
                                 "global",
                                 "highz0",
                                 "highz1",
                                 "if",
                                 "iff",
                                 "ifnone",
                                 "ignore_bins",
                                 "illegal_bins",
                                 "implements",
                                 "implies",
                                 "import",
                                 "incdir",
                                 "include",
                                 "initial",
                                 "inout",
                                 "input",
                                 "inside",
                                 "instance",
                                 "int",
                                 "integer",
                                 "interconnect",
                                 "interface",
                                 "intersect",
                                 "join",
                                 "join_any",
                                 "join_none",
                                 "large",
                                 "let",
                                 "liblist",
                                 "library",
                                 "local",
                                 "localparam",
                                 "logic",
                                 "longint",
                                 "macromodule",
                                 "matches",
                                 "medium",
                                 "modport",
                                 "module",
                                 "nand",
                                 "negedge",
                                 "nettype",
                                 "new",
                                 "nexttime",
                                 "nmos",
                                 "nor",
                                 "noshowcancelled",
                                 "not",
                                 "notif0",
                                 "notif1",
                                 "null",
                                 "or",
                                 "output",
                                 "package",
                                 "packed",
                                 "parameter",
                                 "pmos",
                                 "posedge",
                                 "primitive",
                                 "priority",
                                 "program",
                                 "property",
                                 "protected",
                                 "pull0",
                                 "pull1",
                                 "pulldown",
                                 "pullup",
                                 "pulsestyle_ondetect",
                                 "pulsestyle_onevent",
                                 "pure",
                                 "rand",
                                 "randc",
                                 "randcase",
                                 "randsequence",
                                 "rcmos",
                                 "real",
                                 "realtime",
                                 "ref",
                                 "reg",
                                 "reject_on",
                                 "release",
                                 "repeat",
                                 "restrict",
                                 "return",
                                 "rnmos",
                                 "rpmos",
                                 "rtran",
                                 "rtranif0",
                                 "rtranif1",
                                 "s_always",
                                 "s_eventually",
                                 "s_nexttime",
                                 "s_until",
                                 "s_until_with",
                                 "scalared",
                                 "sequence",
                                 "shortint",
                                 "shortreal",
                                 "showcancelled",
                                 "signed",
                                 "small",
                                 "soft",
                                 "solve",
                                 "specify",
                                 "specparam",
                                 "static",
                                 "string",
                                 "strong",
                                 "strong0",
                                 "strong1",
                                 "struct",
                                 "super",
                                 "supply0",
                                 "supply1",
                                 "sync_accept_on",
                                 "sync_reject_on",
                                 "table",
                                 "tagged",
                                 "task",
                                 "this",
                                 "throughout",
                                 "time",
                                 "timeprecision",
                                 "timeunit",
                                 "tran",
                                 "tranif0",
                                 "tranif1",
                                 "tri",
                                 "tri0",
                                 "tri1",
                                 "triand",
                                 "trior",
                                 "trireg",
                                 "type",
                                 "typedef",
                                 "union",
                                 "unique",
                                 "unique0",
                                 "unsigned",
                                 "until",
                                 "until_with",
                                 "untyped",
                                 "use",
                                 "uwire",
                                 "var",
                                 "vectored",
                                 "virtual",
                                 "void",
                                 "wait",
                                 "wait_order",
                                 "wand",
                                 "weak",
                                 "weak0",
                                 "weak1",
                                 "while",
                                 "wildcard",
                                 "wire",
                                 "with",
                                 "within",
                                 "wor",
                                 "xnor",
                                 "xor"};

struct Fail {
    QString text;
};

int wordsFor(int width) { return (width + 63) / 64; }

// Bits that hold every value up to `max` (at least one).
int bitsFor(quint64 max) {
    int n = 1;
    while (n < 64 && (max >> n))
        ++n;
    return n;
}

void maskTop(QVector<quint64>* v, int width) {
    v->resize(wordsFor(width));
    if (width % 64)
        v->last() &= (quint64(1) << (width % 64)) - 1;
}

// Adds a signed amount to a multi-word value (wrapping at its words).
void addSigned(QVector<quint64>* v, qint64 delta) {
    quint64 carry = 0;
    const quint64 ext = delta < 0 ? ~quint64(0) : 0;
    for (int i = 0; i < v->size(); ++i) {
        const quint64 add = i == 0 ? quint64(delta) : ext;
        const quint64 a = (*v)[i];
        const quint64 s = a + add;
        const quint64 c1 = s < a;
        const quint64 t = s + carry;
        carry = c1 | (t < s);
        (*v)[i] = t;
    }
}

// "W'hDIGITS" of the low `width` bits of `words`.
QString hexLit(const QVector<quint64>& words, int width) {
    QString digits;
    for (int d = (width + 3) / 4 - 1; d >= 0; --d) {
        const int bit = d * 4;
        const quint64 w = bit / 64 < words.size() ? words.at(bit / 64) : 0;
        digits += QLatin1Char("0123456789ABCDEF"[(w >> (bit % 64)) & 0xF]);
    }
    return QStringLiteral("%1'h%2").arg(width).arg(digits);
}

QString hexLit(quint64 v, int width) { return hexLit(QVector<quint64>{v}, width); }
QString dec(quint64 v, int width) { return QStringLiteral("%1'd%2").arg(width).arg(v); }
QString range(int width) { return QStringLiteral("[%1:0]").arg(width - 1); }

QVector<quint64> tokenWords(const QJsonValue& v, int width) {
    QString bits, why;
    if (!TriggerLang::parseTokenValue(v.toString(), width, &bits, &why))
        throw Fail{why}; // the reader accepted it; kept as a guard
    QVector<quint64> w = bitsToWords(bits);
    maskTop(&w, width);
    return w;
}

quint64 whole(const QJsonObject& o, const char* key, double def) {
    return quint64(o.value(QLatin1String(key)).toDouble(def));
}

// The names of one module: what the file names keeps its name; generated
// names get a suffix where they would meet one.
class Scope {
public:
    void reserve(const QString& name) { m_used.insert(name); }
    bool has(const QString& name) const { return m_used.contains(name); }
    QString fresh(const QString& base) {
        QString n = base;
        for (int i = 1; m_used.contains(n); ++i)
            n = QStringLiteral("%1_%2").arg(base).arg(i);
        m_used.insert(n);
        return n;
    }

private:
    QSet<QString> m_used;
};

// One stimulus module being written.
struct Module {
    Scope names;
    QString clk, rst;
    QString splitmix; // the mixing function's name once declared
    QStringList decls, body;
};

void seqLogic(Module& m, const QString& out, int width, const QVector<QVector<quint64>>& values,
              const QVector<quint64>& holds) {
    const int n = int(values.size());
    const QString r = range(width);
    if (n == 1) {
        m.decls << QStringLiteral("  wire %1 %2;").arg(r, out);
        m.body << QStringLiteral("  assign %1 = %2;").arg(out, hexLit(values.at(0), width));
        return;
    }
    quint64 maxHold = 0;
    bool uniform = true;
    for (quint64 h : holds) {
        maxHold = qMax(maxHold, h);
        uniform = uniform && h == holds.at(0);
    }
    const int iw = bitsFor(quint64(n - 1));
    const QString idx = m.names.fresh(out + QStringLiteral("_i"));
    m.decls << QStringLiteral("  reg %1 %2;").arg(r, out) << QStringLiteral("  reg %1 %2;").arg(range(iw), idx);
    const QString nextIdx =
        QStringLiteral("%1 <= %1 == %2 ? %3 : %1 + %4;").arg(idx, dec(n - 1, iw), dec(0, iw), dec(1, iw));
    QString last;
    if (uniform && maxHold == 1) {
        m.body << QStringLiteral("  always @(posedge %1)\n    if (%2) %3 <= %4;\n    else %5")
                      .arg(m.clk, m.rst, idx, dec(0, iw), nextIdx);
    } else {
        const int cw = bitsFor(maxHold - 1);
        const QString cnt = m.names.fresh(out + QStringLiteral("_n"));
        m.decls << QStringLiteral("  reg %1 %2;").arg(range(cw), cnt);
        if (uniform) {
            last = dec(maxHold - 1, cw);
        } else {
            last = m.names.fresh(out + QStringLiteral("_last"));
            m.decls << QStringLiteral("  reg %1 %2;").arg(range(cw), last);
        }
        m.body << QStringLiteral(
                      "  always @(posedge %1)\n"
                      "    if (%2) begin %3 <= %4; %5 <= %6; end\n"
                      "    else if (%5 == %7) begin %5 <= %6; %8 end\n"
                      "    else %5 <= %5 + %9;")
                      .arg(m.clk, m.rst, idx, dec(0, iw), cnt, dec(0, cw), last, nextIdx, dec(1, cw));
        if (uniform)
            last.clear();
    }
    QString table = QStringLiteral("  always @(*)\n    case (%1)\n").arg(idx);
    for (int i = 0; i < n; ++i) {
        const QString v = QStringLiteral("%1 = %2;").arg(out, hexLit(values.at(i), width));
        const QString label = i == n - 1 ? QStringLiteral("default") : dec(i, iw);
        if (last.isEmpty())
            table += QStringLiteral("      %1: %2\n").arg(label, v);
        else
            table += QStringLiteral("      %1: begin %2 %3 = %4; end\n")
                         .arg(label, v, last, dec(holds.at(i) - 1, bitsFor(maxHold - 1)));
    }
    m.body << table + QStringLiteral("    endcase");
}

// The register `out`, `init` at reset, takes the statement `step` every
// `every` clocks; a prescale counter of its own counts the clocks between.
void everyN(Module& m, const QString& out, const QString& init, quint64 every, const QString& step) {
    if (every == 1) {
        m.body << QStringLiteral("  always @(posedge %1)\n    if (%2) %3 <= %4;\n    else %5")
                      .arg(m.clk, m.rst, out, init, step);
        return;
    }
    const int cw = bitsFor(every - 1);
    const QString cnt = m.names.fresh(out + QStringLiteral("_n"));
    m.decls << QStringLiteral("  reg %1 %2;").arg(range(cw), cnt);
    m.body << QStringLiteral(
                  "  always @(posedge %1)\n"
                  "    if (%2) begin %3 <= %4; %5 <= %6; end\n"
                  "    else if (%5 == %7) begin %5 <= %6; %8 end\n"
                  "    else %5 <= %5 + %9;")
                  .arg(m.clk, m.rst, out, init, cnt, dec(0, cw), dec(every - 1, cw), step, dec(1, cw));
}

// Writes the logic that drives `out` (`width` bits) as `drv` says, and its
// declaration.
void driverLogic(Module& m, const QJsonObject& drv, int width, const QString& out) {
    const QString kind = drv.value(QLatin1String("kind")).toString();
    const QString r = range(width);
    const int words = wordsFor(width);
    if (drv.isEmpty() || kind == QLatin1String("constant")) {
        const QVector<quint64> v =
            drv.isEmpty() ? QVector<quint64>(words, 0) : tokenWords(drv.value(QLatin1String("value")), width);
        m.decls << QStringLiteral("  wire %1 %2;").arg(r, out);
        m.body << QStringLiteral("  assign %1 = %2;").arg(out, hexLit(v, width));
    } else if (kind == QLatin1String("clock")) {
        // Bit 0 toggles every period / 2 samples, starting low.
        const quint64 half = qMax<quint64>(1, whole(drv, "period", 2) / 2);
        m.decls << QStringLiteral("  reg %1 %2;").arg(r, out);
        everyN(m, out, dec(0, width), half, QStringLiteral("%1[0] <= ~%1[0];").arg(out));
    } else if (kind == QLatin1String("counter")) {
        QVector<quint64> start(words, 0);
        const QJsonValue s = drv.value(QLatin1String("start"));
        if (s.isString())
            start = tokenWords(s, width);
        else
            addSigned(&start, qint64(s.toDouble(0)));
        maskTop(&start, width);
        // A negative step adds its two's complement at the width.
        QVector<quint64> step(words, 0);
        addSigned(&step, qint64(drv.value(QLatin1String("step")).toDouble(1)));
        maskTop(&step, width);
        const quint64 every = whole(drv, "every", 1);
        m.decls << QStringLiteral("  reg %1 %2;").arg(r, out);
        const QString add = QStringLiteral("%1 <= %1 + %2;").arg(out, hexLit(step, width));
        everyN(m, out, hexLit(start, width), every, add);
    } else if (kind == QLatin1String("lfsr")) {
        // One LFSR per 64-bit word, the top word at its own width; a zero
        // seed becomes 1.
        const quint64 seed = whole(drv, "seed", 1);
        QVector<quint64> init(words, 0);
        QStringList steps;
        for (int i = 0; i < words; ++i) {
            const int w = i + 1 < words || width % 64 == 0 ? 64 : width % 64;
            const quint64 mask = w >= 64 ? ~quint64(0) : (quint64(1) << w) - 1;
            const quint64 s = (seed + quint64(i) * kGamma) & mask;
            init[i] = s ? s : 1;
            const int lo = 64 * i;
            if (w == 1) {
                steps << QStringLiteral("%1[%2] <= ~%1[%2];").arg(out).arg(lo);
                continue;
            }
            QStringList fb;
            for (quint8 t : lfsrTaps(w))
                if (t)
                    fb << QStringLiteral("%1[%2]").arg(out).arg(lo + t - 1);
            const QString shifted = w == 2 ? QStringLiteral("%1[%2]").arg(out).arg(lo)
                                           : QStringLiteral("%1[%2:%3]").arg(out).arg(lo + w - 2).arg(lo);
            steps << QStringLiteral("%1[%2:%3] <= {%4, %5};")
                         .arg(out)
                         .arg(lo + w - 1)
                         .arg(lo)
                         .arg(shifted, fb.join(QStringLiteral(" ^ ")));
        }
        m.decls << QStringLiteral("  reg %1 %2;").arg(r, out);
        m.body << QStringLiteral("  always @(posedge %1)\n    if (%2) %3 <= %4;\n    else begin\n      %5\n    end")
                      .arg(m.clk, m.rst, out, hexLit(init, width), steps.join(QStringLiteral("\n      ")));
    } else if (kind == QLatin1String("random")) {
        // SplitMix64: word i of sample n mixes seed + (n * words + i + 1) * gamma.
        if (m.splitmix.isEmpty()) {
            m.splitmix = m.names.fresh(QStringLiteral("splitmix64"));
            m.decls << QStringLiteral(
                           "  function [63:0] %1;\n"
                           "    input [63:0] x;\n"
                           "    reg [63:0] z;\n"
                           "    begin\n"
                           "      z = (x ^ (x >> 30)) * 64'hBF58476D1CE4E5B9;\n"
                           "      z = (z ^ (z >> 27)) * 64'h94D049BB133111EB;\n"
                           "      %1 = z ^ (z >> 31);\n"
                           "    end\n"
                           "  endfunction")
                           .arg(m.splitmix);
        }
        const QString st = m.names.fresh(out + QStringLiteral("_s"));
        m.decls << QStringLiteral("  reg [63:0] %1;").arg(st);
        m.body << QStringLiteral("  always @(posedge %1)\n    if (%2) %3 <= %4;\n    else %3 <= %3 + %5;")
                      .arg(m.clk, m.rst, st, hexLit(whole(drv, "seed", 1), 64), hexLit(quint64(words) * kGamma, 64));
        QStringList parts;
        for (int i = 0; i < words; ++i) {
            const QString w = m.names.fresh(QStringLiteral("%1_w%2").arg(out).arg(i));
            m.decls << QStringLiteral("  wire [63:0] %1 = %2(%3 + %4);")
                           .arg(w, m.splitmix, st, hexLit(quint64(i + 1) * kGamma, 64));
            const int bits = i + 1 < words || width % 64 == 0 ? 64 : width % 64;
            parts.prepend(bits == 64 ? w : QStringLiteral("%1[%2:0]").arg(w).arg(bits - 1));
        }
        m.decls << QStringLiteral("  wire %1 %2;").arg(r, out);
        m.body << QStringLiteral("  assign %1 = %2;")
                      .arg(out, parts.size() == 1 ? parts.at(0) : QStringLiteral("{%1}").arg(parts.join(", ")));
    } else if (kind == QLatin1String("pattern") || kind == QLatin1String("fsm")) {
        const bool fsm = kind == QLatin1String("fsm");
        const QJsonArray a = drv.value(QLatin1String(fsm ? "states" : "values")).toArray();
        const quint64 hold = fsm ? 1 : whole(drv, "hold", 1);
        QVector<QVector<quint64>> values;
        QVector<quint64> holds;
        for (const QJsonValue& e : a) {
            if (fsm) {
                values << tokenWords(e.toObject().value(QLatin1String("value")), width);
                holds << whole(e.toObject(), "hold", 1);
            } else {
                values << tokenWords(e, width);
                holds << hold;
            }
        }
        seqLogic(m, out, width, values, holds);
    } else if (kind == QLatin1String("uart")) {
        // The simulated device's levels (uartLevels), as a sequence.
        const quint64 bit = whole(drv, "bit", 16);
        const quint64 idle = whole(drv, "idle", double(2 * bit));
        QVector<quint8> bytes;
        for (const QJsonValue& b : drv.value(QLatin1String("bytes")).toArray())
            bytes << quint8(tokenWords(b, 8).value(0));
        QVector<QVector<quint64>> values;
        QVector<quint64> holds;
        uartLevels(bytes, bit, idle, &values, &holds);
        seqLogic(m, out, width, values, holds);
    } else if (kind == QLatin1String("bus")) {
        // The first part is the most significant.
        QStringList parts;
        int k = 0;
        for (const QJsonValue& pv : drv.value(QLatin1String("parts")).toArray()) {
            QJsonObject p = pv.toObject();
            const int w = int(p.value(QLatin1String("width")).toDouble(1));
            p.remove(QLatin1String("width"));
            const QString name = m.names.fresh(QStringLiteral("%1_p%2").arg(out).arg(k++));
            driverLogic(m, p, w, name);
            parts << name;
        }
        m.decls << QStringLiteral("  wire %1 %2;").arg(r, out);
        m.body << QStringLiteral("  assign %1 = {%2};").arg(out, parts.join(", "));
    } else {
        throw Fail{QStringLiteral("driver kind \"%1\" has no RTL").arg(kind)};
    }
}

QString checkedName(const QString& name, const QString& what) {
    if (!isIdentifier(name))
        throw Fail{QStringLiteral("%1 \"%2\" is not a Verilog identifier (letters, digits and _, not starting with a "
                                  "digit, not a Verilog keyword)")
                       .arg(what, name)};
    return name;
}

bool enabled(const RegisterListData& d) { return d.isDefined() && d.isEnabled(); }

// The simulated device's counts: LEDs and switches exist when defined
// (at most 32), memory and register blocks when defined and enabled.
struct ControllerShape {
    int leds = 0, switches = 0, shownLeds = 0, shownSwitches = 0;
    int memDepth = 0, memWidth = 0;
    QList<RegisterEntry> control, status;
};

ControllerShape shapeOf(const ControllerRecords& rec) {
    ControllerShape s;
    s.leds = rec.leds.isDefined() ? int(rec.leds.getNames().size()) : 0;
    s.switches = rec.switches.isDefined() ? int(rec.switches.getNames().size()) : 0;
    s.shownLeds = qMin(32, s.leds);
    s.shownSwitches = qMin(32, s.switches);
    if (rec.memory.isDefined() && rec.memory.isEnabled()) {
        s.memDepth = rec.memory.getMemDepth();
        s.memWidth = rec.memory.getMemWidth();
    }
    if (enabled(rec.control))
        s.control = rec.control.getEntries();
    if (enabled(rec.status))
        s.status = rec.status.getEntries();
    return s;
}

int totalWidth(const QList<RegisterEntry>& regs) {
    int t = 0;
    for (const RegisterEntry& e : regs)
        t += e.width;
    return t;
}

// "{16'd8, 16'd1}" with entry 0 in the least significant bits.
QString widthList(const QVector<int>& widths) {
    QStringList parts;
    for (int w : widths)
        parts.prepend(dec(quint64(w), 16));
    return parts.size() == 1 ? parts.at(0) : QStringLiteral("{%1}").arg(parts.join(", "));
}

QString header(const QString& what, const QString& file) {
    return QStringLiteral(
               "// %1\n// Generated by ondrel --generate-rtl from %2; generate it again rather than edit "
               "it.\n")
        .arg(what, file);
}

QByteArray analyzerStim(const OnlCore& c, const QString& module, const QString& file) {
    Module m;
    for (const OnlSignal& s : c.signalList)
        m.names.reserve(checkedName(s.name, QStringLiteral("core \"%1\": signal").arg(c.name)));
    m.clk = m.names.fresh(QStringLiteral("clk"));
    m.rst = m.names.fresh(QStringLiteral("rst"));
    QStringList ports{QStringLiteral("    input wire %1").arg(m.clk), QStringLiteral("    input wire %1").arg(m.rst)};
    for (const OnlSignal& s : c.signalList) {
        const QJsonObject drv = c.simulation.value(s.name).toObject();
        const int firstDecl = int(m.decls.size());
        m.body << QStringLiteral("\n  // %1: %2")
                      .arg(s.name,
                           drv.isEmpty() ? QStringLiteral("stays 0") : drv.value(QLatin1String("kind")).toString());
        driverLogic(m, drv, s.width, s.name);
        // The port list declares the signal instead of the driver.
        QString kindWord = QStringLiteral("wire");
        for (int i = firstDecl; i < m.decls.size(); ++i) {
            const QString& d = m.decls.at(i);
            for (const char* k : {"reg", "wire"})
                if (d == QStringLiteral("  %1 %2 %3;").arg(QLatin1String(k), range(s.width), s.name)) {
                    kindWord = QLatin1String(k);
                    m.decls.removeAt(i);
                    i = int(m.decls.size());
                    break;
                }
        }
        ports << QStringLiteral("    output %1 %2 %3").arg(kindWord, range(s.width), s.name);
    }
    QString text = header(QStringLiteral("%1: the signals of core \"%2\" as the simulated device drives them, "
                                         "sample n in clock cycle n after reset.")
                              .arg(module, c.name),
                          file);
    text += QStringLiteral("`default_nettype none\nmodule %1 (\n%2);\n").arg(module, ports.join(",\n"));
    text += m.decls.join(QLatin1Char('\n')) + QLatin1Char('\n');
    text += m.body.join(QLatin1Char('\n')) + QStringLiteral("\nendmodule\n`default_nettype wire\n");
    return text.toUtf8();
}

QByteArray controllerStim(const OnlCore& c, const ControllerShape& s, const QString& module, const QString& file) {
    const int nLeds = qMax(1, s.leds), nSw = qMax(1, s.switches);
    const int aw = s.memDepth > 0 ? bitsFor(quint64(s.memDepth - 1)) : 1, dw = qMax(1, s.memWidth);
    const int ctrlW = qMax(1, totalWidth(s.control)), statW = qMax(1, totalWidth(s.status));
    QStringList out;
    out << QStringLiteral("`default_nettype none\nmodule %1 #(parameter integer CLOCKS_PER_MS = %2) (")
               .arg(module)
               .arg(kClocksPerMs)
        << QStringLiteral("    input wire clk,\n    input wire rst,")
        << QStringLiteral("    input wire %1 switches,\n    output wire %2 leds,").arg(range(nSw), range(nLeds))
        << QStringLiteral(
               "    input wire %1 mem_addr,\n    input wire %2 mem_wdata,\n    input wire mem_we,\n"
               "    output reg %2 mem_rdata,")
               .arg(range(aw), range(dw))
        << QStringLiteral("    input wire %1 ctrl,\n    output wire %2 stat);").arg(range(ctrlW), range(statW));
    out << QStringLiteral(
        "\n  // The simulated device counts in milliseconds: one is CLOCKS_PER_MS clocks.\n"
        "  reg [31:0] ms_div;\n"
        "  wire ms = ms_div == CLOCKS_PER_MS - 1;\n"
        "  always @(posedge clk)\n"
        "    if (rst || ms) ms_div <= 32'd0;\n"
        "    else ms_div <= ms_div + 32'd1;");
    // LED i is switch i; the lower half of the first 32 also shows a
    // counter that ticks every 250 ms.
    const int shown = s.shownLeds;
    if (shown == 0) {
        out << QStringLiteral("\n  // No LEDs.\n  assign leds = %1;").arg(dec(0, nLeds));
    } else {
        const int cw = (shown + 1) / 2;
        QString sw;
        if (s.shownSwitches >= shown)
            sw = QStringLiteral("switches[%1:0]").arg(shown - 1);
        else if (s.shownSwitches == 0)
            sw = dec(0, shown);
        else
            sw = QStringLiteral("{%1, switches[%2:0]}").arg(dec(0, shown - s.shownSwitches)).arg(s.shownSwitches - 1);
        const QString cnt =
            cw == shown ? QStringLiteral("led_count") : QStringLiteral("{%1, led_count}").arg(dec(0, shown - cw));
        const QString value = QStringLiteral("%1 ^ %2").arg(sw, cnt);
        out << QStringLiteral(
                   "\n  // LEDs: LED i is switch i; LEDs 0 to %1 also show a counter that ticks every 250 ms.\n"
                   "  reg [7:0] led_ms;\n"
                   "  reg %2 led_count;\n"
                   "  always @(posedge clk)\n"
                   "    if (rst) begin led_ms <= 8'd0; led_count <= %3; end\n"
                   "    else if (ms) begin\n"
                   "      if (led_ms == 8'd249) begin led_ms <= 8'd0; led_count <= led_count + %4; end\n"
                   "      else led_ms <= led_ms + 8'd1;\n"
                   "    end\n"
                   "  assign leds = %5;")
                   .arg(cw - 1)
                   .arg(range(cw), dec(0, cw), dec(1, cw),
                        nLeds > shown
                            ? QStringLiteral("{%1, %2}").arg(dec(0, nLeds - shown), QStringLiteral("(%1)").arg(value))
                            : value);
    }
    if (s.memDepth > 0) {
        out << QStringLiteral(
                   "\n  // User memory: %1 words of %2 bits, 0 at first; read one clock after the address.\n"
                   "  reg %3 mem [0:%4];\n"
                   "  integer k;\n"
                   "  initial for (k = 0; k < %1; k = k + 1) mem[k] = %5;\n"
                   "  always @(posedge clk) begin\n"
                   "    if (mem_we && {1'b0, mem_addr} < %6) mem[mem_addr] <= mem_wdata;\n"
                   "    mem_rdata <= mem[mem_addr];\n"
                   "  end")
                   .arg(s.memDepth)
                   .arg(s.memWidth)
                   .arg(range(dw))
                   .arg(s.memDepth - 1)
                   .arg(dec(0, dw), dec(quint64(s.memDepth), aw + 1));
    } else {
        out << QStringLiteral("\n  // No user memory.\n  always @(posedge clk) mem_rdata <= %1;").arg(dec(0, dw));
    }
    // Status registers, register 0 in the least significant bits.
    QStringList parts;
    if (s.status.isEmpty())
        parts << dec(0, 1);
    for (int i = 0; i < s.status.size(); ++i) {
        const RegisterEntry& e = s.status.at(i);
        const QString name = QStringLiteral("stat%1").arg(i);
        const QString r = range(e.width);
        switch (e.source) {
            case RegisterEntry::Counter: {
                const int cw = bitsFor(quint64(qMax(1, e.every) - 1));
                out << QStringLiteral(
                           "\n  // %1: counts up every %2 ms.\n"
                           "  reg %3 %4;\n"
                           "  reg %5 %4_ms;\n"
                           "  always @(posedge clk)\n"
                           "    if (rst) begin %4 <= %6; %4_ms <= %7; end\n"
                           "    else if (ms) begin\n"
                           "      if (%4_ms == %8) begin %4_ms <= %7; %4 <= %4 + %9; end\n"
                           "      else %4_ms <= %4_ms + %10;\n"
                           "    end")
                           .arg(e.name)
                           .arg(e.every)
                           .arg(r, name, range(cw), dec(0, e.width), dec(0, cw), dec(quint64(qMax(1, e.every) - 1), cw),
                                dec(1, e.width), dec(1, cw));
                break;
            }
            case RegisterEntry::Control: {
                int offset = -1, at = 0;
                for (const RegisterEntry& k : s.control) {
                    if (k.name == e.control && e.lsb + e.width <= k.width)
                        offset = at + e.lsb;
                    at += k.width;
                }
                out << QStringLiteral("\n  // %1: bits %2 and up of control register %3.\n  wire %4 %5 = %6;")
                           .arg(e.name)
                           .arg(e.lsb)
                           .arg(e.control, r, name,
                                offset < 0 ? dec(0, e.width)
                                           : QStringLiteral("ctrl[%1:%2]").arg(offset + e.width - 1).arg(offset));
                break;
            }
            case RegisterEntry::Constant: {
                const QString bits = RegisterRadix::toBinary(e.constant, e.width, RegisterRadix::Hex);
                QVector<quint64> v = bitsToWords(bits);
                maskTop(&v, e.width);
                out << QStringLiteral("\n  // %1: constant.\n  wire %2 %3 = %4;")
                           .arg(e.name, r, name, hexLit(v, e.width));
                break;
            }
            case RegisterEntry::None:
                out << QStringLiteral("\n  // %1: reads 0.\n  wire %2 %3 = %4;").arg(e.name, r, name, dec(0, e.width));
                break;
        }
        parts.prepend(name);
    }
    out << QStringLiteral("  assign stat = %1;")
               .arg(parts.size() == 1 ? parts.at(0) : QStringLiteral("{%1}").arg(parts.join(", ")));
    if (s.control.isEmpty())
        out << QStringLiteral("  // No control registers: ctrl is unused.");
    QString text = header(QStringLiteral("%1: the design around controller core \"%2\" as the simulated device has it.")
                              .arg(module, c.name),
                          file);
    return (text + out.join(QLatin1Char('\n')) + QStringLiteral("\nendmodule\n`default_nettype wire\n")).toUtf8();
}

// A signal reference of a core ("wdata[7:0]") as the top's wire.
QString refExpr(const QString& ref, const QHash<QString, QString>& wires) {
    static const QRegularExpression re(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)(\\[.*\\])?$"));
    const auto m = re.match(ref.trimmed());
    return wires.value(m.captured(1)) + m.captured(2);
}

QString concat(const QStringList& msbFirst) {
    return msbFirst.size() == 1 ? msbFirst.at(0) : QStringLiteral("{%1}").arg(msbFirst.join(", "));
}

} // namespace

bool isIdentifier(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,1023}$"));
    if (!re.match(name).hasMatch())
        return false;
    static const QSet<QString> keywords = [] {
        QSet<QString> k;
        for (const char* w : kKeywords)
            k.insert(QLatin1String(w));
        return k;
    }();
    return !keywords.contains(name);
}

bool render(const QByteArray& data, const QString& fileName, QMap<QString, QByteArray>* files, QString* error) {
    OnlDesign design;
    if (!parseOnl(data, fileName, &design, error))
        return false;
    const QJsonArray rawCores = QJsonDocument::fromJson(data).object().value(QLatin1String("cores")).toArray();
    const QString file = QFileInfo(fileName).fileName();
    try {
        const QString name =
            checkedName(QFileInfo(fileName).completeBaseName(), QStringLiteral("the design name (from the file name)"));
        if (design.cores.isEmpty())
            throw Fail{QStringLiteral("the file has no cores")};
        const QString top = name + QStringLiteral("_top");
        QMap<QString, QByteArray> out;

        // The top's ports: each core clock once, in file order; a core
        // without a clock and every controller use the first clock.
        const QStringList fixedPorts{QStringLiteral("rst"), QStringLiteral("tck"),    QStringLiteral("tms"),
                                     QStringLiteral("tdi"), QStringLiteral("trst_n"), QStringLiteral("tdo")};
        QStringList clocks;
        QVector<QString> coreClock(design.cores.size());
        for (int i = 0; i < design.cores.size(); ++i) {
            const OnlCore& c = design.cores.at(i);
            checkedName(c.name, QStringLiteral("core"));
            if (c.kind != 1 || c.clock.isEmpty())
                continue;
            const QString clk = checkedName(c.clock, QStringLiteral("core \"%1\": clock").arg(c.name));
            if (fixedPorts.contains(clk) || clk == QLatin1String("CLOCKS_PER_MS"))
                throw Fail{QStringLiteral("core \"%1\": clock \"%2\" has the name of a port of the design's JTAG or "
                                          "reset pins")
                               .arg(c.name, clk)};
            if (!clocks.contains(clk))
                clocks << clk;
            coreClock[i] = clk;
        }
        if (clocks.isEmpty())
            clocks << QStringLiteral("clk");
        for (QString& clk : coreClock)
            if (clk.isEmpty())
                clk = clocks.first();

        Scope names;
        for (const QString& p : clocks + fixedPorts)
            names.reserve(p);
        names.reserve(QStringLiteral("CLOCKS_PER_MS"));
        QStringList instances;
        for (const OnlCore& c : design.cores)
            instances << names.fresh(c.name);
        const QString tap = names.fresh(QStringLiteral("tap")), hub = names.fresh(QStringLiteral("hub"));
        QHash<QString, QString> h;
        for (const char* w : {"hub_tdi", "hub_capture", "hub_shift", "hub_update", "hub_sel", "hub_reset", "hub_tdo",
                              "bus_sel", "bus_addr", "bus_wdata", "bus_we", "bus_re", "bus_rdata"})
            h.insert(QLatin1String(w), names.fresh(QLatin1String(w)));
        const int n = int(design.cores.size());

        QStringList t;
        t << header(QStringLiteral("%1: the debug cores of %2 behind one JTAG TAP (IDCODE %3), with the design they "
                                   "watch simulated.")
                        .arg(top, file, hexLit(kIdcode, 32)),
                    file)
                 .trimmed();
        t << QStringLiteral("// ona_tap -> ona_hub -> core i on bus_sel[i] / bus_rdata[32*i +: 32]:");
        for (int i = 0; i < n; ++i)
            t << QStringLiteral("//   %1 %2: %3, clock %4")
                     .arg(i)
                     .arg(design.cores.at(i).name,
                          design.cores.at(i).kind == 1 ? QStringLiteral("analyzer") : QStringLiteral("controller"),
                          coreClock.at(i));
        t << QStringLiteral(
            "// rst is the design's reset (active high, synchronous); the simulated device's "
            "millisecond is CLOCKS_PER_MS clocks.");
        t << QStringLiteral("`default_nettype none\nmodule %1 #(parameter integer CLOCKS_PER_MS = %2) (")
                 .arg(top)
                 .arg(kClocksPerMs);
        for (const QString& c : clocks)
            t << QStringLiteral("    input wire %1,").arg(c);
        t << QStringLiteral(
            "    input wire rst,\n    input wire tck, input wire tms, input wire tdi, input wire "
            "trst_n,\n    output wire tdo);\n");
        t << QStringLiteral("  wire %1, %2, %3, %4, %5, %6, %7;")
                 .arg(h["hub_tdi"], h["hub_capture"], h["hub_shift"], h["hub_update"], h["hub_sel"], h["hub_reset"],
                      h["hub_tdo"]);
        t << QStringLiteral(
                 "  ona_tap #(.IDCODE(%1)) %2 (\n"
                 "      .tck(tck), .tms(tms), .tdi(tdi), .trst_n(trst_n), .tdo(tdo),\n"
                 "      .hub_tdi(%3), .hub_capture(%4), .hub_shift(%5), .hub_update(%6),\n"
                 "      .hub_sel(%7), .hub_reset(%8), .hub_tdo(%9));\n")
                 .arg(hexLit(kIdcode, 32), tap, h["hub_tdi"], h["hub_capture"], h["hub_shift"], h["hub_update"],
                      h["hub_sel"], h["hub_reset"], h["hub_tdo"]);
        t << QStringLiteral("  wire %1 %2;\n  wire [15:0] %3;\n  wire [31:0] %4;\n  wire %5, %6;\n  wire %7 %8;")
                 .arg(range(n), h["bus_sel"], h["bus_addr"], h["bus_wdata"], h["bus_we"], h["bus_re"], range(32 * n),
                      h["bus_rdata"]);
        t << QStringLiteral(
                 "  ona_hub #(.N_CORES(%1)) %2 (\n"
                 "      .tck(tck), .tdi(%3), .tdo(%4), .capture(%5), .shift(%6), .update(%7), .sel(%8),\n"
                 "      .reset(%9),")
                 .arg(n)
                 .arg(hub, h["hub_tdi"], h["hub_tdo"], h["hub_capture"], h["hub_shift"], h["hub_update"], h["hub_sel"],
                      h["hub_reset"]);
        t << QStringLiteral(
                 "      .bus_sel(%1), .bus_addr(%2), .bus_wdata(%3), .bus_we(%4), .bus_re(%5),\n"
                 "      .bus_rdata(%6));")
                 .arg(h["bus_sel"], h["bus_addr"], h["bus_wdata"], h["bus_we"], h["bus_re"], h["bus_rdata"]);
        const QString busPorts = QStringLiteral(
                                     "      .tck(tck), .bus_sel(%1[%6]), .bus_addr(%2), .bus_wdata(%3), "
                                     ".bus_we(%4), .bus_re(%5),\n      .bus_rdata(%7[%8 +: 32])")
                                     .arg(h["bus_sel"], h["bus_addr"], h["bus_wdata"], h["bus_we"], h["bus_re"]);

        // The harness's view: X(core, value, bits, model member, lsb).
        QStringList values;
        const auto publicWire = [&](const QString& wire, int width) {
            return QStringLiteral("  wire %1 %2 /*verilator public_flat_rd*/;").arg(range(width), wire);
        };
        const auto member = [&](const QString& wire) { return QStringLiteral("%1__DOT__%2").arg(top, wire); };

        for (int i = 0; i < n; ++i) {
            const OnlCore& c = design.cores.at(i);
            const QString inst = instances.at(i), clk = coreClock.at(i);
            const QString stimModule = QStringLiteral("%1_%2_stim").arg(name, c.name);
            const QString stimInst = names.fresh(inst + QStringLiteral("_stim"));
            const QString hash = hexLit(coreHash(rawCores.at(i).toObject()), 32);
            const QString bus = QString(busPorts).arg(i).arg(h["bus_rdata"]).arg(32 * i);
            t << QStringLiteral("\n  // core %1: %2").arg(i).arg(c.name);
            if (c.kind == 1) {
                out.insert(stimModule + QStringLiteral(".v"), analyzerStim(c, stimModule, file));
                QHash<QString, QString> wires;
                QStringList conns, probe;
                int sampleWidth = 0;
                for (const OnlSignal& s : c.signalList) {
                    const QString w = names.fresh(QStringLiteral("%1_%2").arg(inst, s.name));
                    wires.insert(s.name, w);
                    t << publicWire(w, s.width);
                    conns << QStringLiteral(".%1(%2)").arg(s.name, w);
                    probe << w;
                    sampleWidth += s.width;
                    values << QStringLiteral("X(\"%1\", \"%2\", %3, %4, 0)")
                                  .arg(c.name, s.name)
                                  .arg(s.width)
                                  .arg(member(w));
                }
                // The stimulus ports are named after the signals; its clock
                // and reset ports take what name is left.
                Scope stimNames;
                for (const OnlSignal& s : c.signalList)
                    stimNames.reserve(s.name);
                t << QStringLiteral("  %1 %2 (.%3(%4), .%5(rst),\n      %6);")
                         .arg(stimModule, stimInst, stimNames.fresh(QStringLiteral("clk")), clk,
                              stimNames.fresh(QStringLiteral("rst")), conns.join(QStringLiteral(", ")));
                QVector<int> unitWidths, unitSerial;
                QStringList unitIn;
                int unitInWidth = 0;
                for (const OnlTriggerUnit& u : c.units) {
                    unitWidths << u.width;
                    unitSerial << u.serial;
                    QStringList refs;
                    for (const QString& ref : u.refs)
                        refs << refExpr(ref, wires);
                    unitIn.prepend(concat(refs));
                    QString why;
                    int w = 0;
                    for (const QString& ref : u.refs)
                        w += refWidth(ref, c.signalList, &why);
                    unitInWidth += w;
                }
                if (c.units.isEmpty()) {
                    // The core needs one unit; it watches nothing.
                    unitWidths << 1;
                    unitSerial << 0;
                    unitIn << dec(0, 1);
                    unitInWidth = 1;
                }
                const TriggerOptionValues& l = c.limits;
                t << QStringLiteral(
                         "  ona_analyzer #(\n"
                         "      .SAMPLE_WIDTH(%1), .DEPTH_MIN(%2), .DEPTH_MAX(%3), .CAPACITY(%4),\n"
                         "      .MAX_TRIGGERS(%5), .FINAL_COUNTER_MAX(%6),\n"
                         "      .N_UNITS(%7), .UNIT_WIDTHS(%8),\n"
                         "      .UNIT_SERIAL(%9),")
                         .arg(sampleWidth)
                         .arg(l.minSamples)
                         .arg(l.maxSamples)
                         .arg(l.multiTriggerCapacity)
                         .arg(l.maxTriggers)
                         .arg(l.finalCounterMax)
                         .arg(unitWidths.size())
                         .arg(widthList(unitWidths), widthList(unitSerial));
                t << QStringLiteral(
                         "      .UNIT_IN_WIDTH(%1), .N_EXPRS(%2), .HASH(%3)) %4 (\n"
                         "      .clk(%5), .rst(rst),\n"
                         "      .probe(%6),\n"
                         "      .unit_in(%7),\n%8);")
                         .arg(unitInWidth)
                         .arg(qMax(1, int(c.expressions.size())))
                         .arg(hash, inst, clk, concat(probe), concat(unitIn), bus);
            } else {
                const ControllerShape s = shapeOf(c.records);
                out.insert(stimModule + QStringLiteral(".v"), controllerStim(c, s, stimModule, file));
                const int nLeds = qMax(1, s.leds), nSw = qMax(1, s.switches);
                const int aw = s.memDepth > 0 ? bitsFor(quint64(s.memDepth - 1)) : 1, dw = qMax(1, s.memWidth);
                QVector<int> cw, sw;
                for (const RegisterEntry& e : s.control)
                    cw << e.width;
                for (const RegisterEntry& e : s.status)
                    sw << e.width;
                const int ctrlW = qMax(1, totalWidth(s.control)), statW = qMax(1, totalWidth(s.status));
                QHash<QString, QString> w;
                for (const char* p :
                     {"leds", "switches", "mem_addr", "mem_wdata", "mem_we", "mem_rdata", "ctrl", "stat"})
                    w.insert(QLatin1String(p), names.fresh(QStringLiteral("%1_%2").arg(inst, QLatin1String(p))));
                t << publicWire(w["leds"], nLeds) << QStringLiteral("  wire %1 %2;").arg(range(nSw), w["switches"])
                  << QStringLiteral("  wire %1 %2;\n  wire %3 %4;\n  wire %5;\n  wire %3 %6;")
                         .arg(range(aw), w["mem_addr"], range(dw), w["mem_wdata"], w["mem_we"], w["mem_rdata"])
                  << QStringLiteral("  wire %1 %2;").arg(range(ctrlW), w["ctrl"]) << publicWire(w["stat"], statW);
                if (s.leds > 0)
                    values << QStringLiteral("X(\"%1\", \"leds\", %2, %3, 0)")
                                  .arg(c.name)
                                  .arg(s.shownLeds)
                                  .arg(member(w["leds"]));
                int lsb = 0;
                for (const RegisterEntry& e : s.status) {
                    values << QStringLiteral("X(\"%1\", \"%2\", %3, %4, %5)")
                                  .arg(c.name, e.name)
                                  .arg(e.width)
                                  .arg(member(w["stat"]))
                                  .arg(lsb);
                    lsb += e.width;
                }
                const QString ports = QStringLiteral(
                                          ".clk(%1), .rst(rst), .leds(%2), .switches(%3),\n"
                                          "      .mem_addr(%4), .mem_wdata(%5), .mem_we(%6), "
                                          ".mem_rdata(%7),\n      .ctrl(%8), .stat(%9)")
                                          .arg(clk, w["leds"], w["switches"], w["mem_addr"], w["mem_wdata"],
                                               w["mem_we"], w["mem_rdata"], w["ctrl"], w["stat"]);
                t << QStringLiteral("  %1 #(.CLOCKS_PER_MS(CLOCKS_PER_MS)) %2 (\n      %3);")
                         .arg(stimModule, stimInst, ports);
                t << QStringLiteral(
                         "  ona_controller #(\n"
                         "      .N_LEDS(%1), .N_SWITCHES(%2), .MEM_AW(%3), .MEM_DW(%4),\n"
                         "      .N_CTRL(%5), .CTRL_WIDTHS(%6), .CTRL_TOTAL(%7),")
                         .arg(nLeds)
                         .arg(nSw)
                         .arg(aw)
                         .arg(dw)
                         .arg(qMax(1, int(cw.size())))
                         .arg(widthList(cw.isEmpty() ? QVector<int>{1} : cw))
                         .arg(ctrlW);
                t << QStringLiteral(
                         "      .N_STAT(%1), .STAT_WIDTHS(%2), .STAT_TOTAL(%3),\n"
                         "      .HASH(%4)) %5 (\n      %6,\n%7);")
                         .arg(qMax(1, int(sw.size())))
                         .arg(widthList(sw.isEmpty() ? QVector<int>{1} : sw))
                         .arg(statW)
                         .arg(hash, inst, ports, bus);
            }
        }
        t << QStringLiteral("endmodule\n`default_nettype wire\n");
        out.insert(top + QStringLiteral(".v"), t.join(QLatin1Char('\n')).toUtf8());

        QStringList clockList;
        for (const QString& c : clocks)
            clockList << QStringLiteral("X(%1)").arg(c);
        QString sim = QStringLiteral(
                          "// %1_sim.h: what the simulation harness (rtl/sim) needs to know of %2.\n"
                          "// Generated by ondrel --generate-rtl from %3; generate it again rather than "
                          "edit it.\n#pragma once\n"
                          "#include \"V%2.h\"\n#include \"V%2___024root.h\"\n\n"
                          "#define ONA_SIM_DESIGN \"%1\"\n#define ONA_SIM_TOP V%2\n"
                          "#define ONA_SIM_CLOCKS_PER_MS %4\n#define ONA_SIM_IDCODE 0x%5u\n"
                          "// The clock inputs.\n#define ONA_SIM_CLOCKS(X) %6\n"
                          "// The probed values: X(core, name, bits, member of the model's root, lsb).\n"
                          "#define ONA_SIM_VALUES(X) \\\n    %7\n")
                          .arg(name, top, file)
                          .arg(kClocksPerMs)
                          .arg(kIdcode, 8, 16, QLatin1Char('0'))
                          .arg(clockList.join(QLatin1Char(' ')), values.join(QStringLiteral(" \\\n    ")));
        out.insert(name + QStringLiteral("_sim.h"), sim.toUtf8());
        *files = out;
        return true;
    } catch (const Fail& f) {
        *error = QStringLiteral("%1: %2").arg(file, f.text);
        return false;
    }
}

bool generate(const QString& onlPath, const QString& dir, QStringList* written, QString* error) {
    written->clear();
    if (dir.isEmpty()) {
        *error = QStringLiteral("no output folder given");
        return false;
    }
    QByteArray data;
    QString why;
    if (!SafeFile::readRegular(onlPath, kMaxFileSize, &data, &why)) {
        *error = QStringLiteral("%1: %2").arg(onlPath, why);
        return false;
    }
    QMap<QString, QByteArray> files;
    if (!render(data, onlPath, &files, error))
        return false;
    // The folder itself must not be a link: what is written stays in it.
    const QByteArray native = QFile::encodeName(QDir::cleanPath(dir));
    struct stat st;
    if (::lstat(native.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            *error = QStringLiteral("%1: is a link; name the folder itself").arg(dir);
            return false;
        }
        if (!S_ISDIR(st.st_mode)) {
            *error = QStringLiteral("%1: is not a folder").arg(dir);
            return false;
        }
    } else if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("%1: cannot create the folder").arg(dir);
        return false;
    }
    const QDir d(dir);
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        const QString path = d.filePath(it.key());
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
            *error = QStringLiteral("%1: %2; nothing was written")
                         .arg(path, S_ISLNK(st.st_mode) ? QStringLiteral("is a link")
                                                        : QStringLiteral("is not a regular file"));
            return false;
        }
    }
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        const QString path = d.filePath(it.key());
        const QByteArray& text = it.value();
        if (!SafeFile::writeAtomically(
                path, [&text](QIODevice* f, QString*) { return f->write(text) == text.size(); }, &why)) {
            *error = QStringLiteral("%1: cannot write: %2").arg(path, why);
            return false;
        }
        *written << path;
    }
    return true;
}

} // namespace RtlGen
