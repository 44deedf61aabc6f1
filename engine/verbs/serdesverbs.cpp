// The SERDES verbs: the settings, resets and selection of the current DCU
// channel (ona_set_pcs), Apply, configuration reload and scripts
// (ona_run_pcs), the Wishbone bus (ona_open_pcs, ona_pcs) and the register
// files (ona_import_pcs, ona_export_pcs).

#include "onaverbs.h"
#include "pcsdata.h"
#include "safefile.h"
#include "tcltext.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <climits>
#include <cstdio>
#include <cstring>

using namespace Verbs;

namespace {

PCSData* pcs() { return PCSData::inst(); }

// Scripts of SERDES commands run in an interpreter of their own; one does
// not start another.
int g_scriptDepth = 0;

bool hexValue(const QString& s, quint32 maxValue, quint32* out) {
    static const QRegularExpression re(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,8}$"));
    if (!re.match(s).hasMatch())
        return false;
    bool ok = false;
    const quint64 v = s.toULongLong(&ok, 16);
    if (!ok || v > maxValue)
        return false;
    *out = quint32(v);
    return true;
}

bool fileName(const QString& verb, const QString& path, QString* error) {
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("%1: the file name is empty").arg(verb);
        return false;
    }
    if (path.contains(QChar(0))) {
        *error = QStringLiteral("%1: the file name contains a NUL character").arg(verb);
        return false;
    }
    return true;
}

// Takes the pair `o` when it is the option `word`, seen for the first time.
bool takeOnce(const QPair<QString, QString>& o, const char* word, QString* value, bool* seen) {
    if (*seen || o.first != QLatin1String(word))
        return false;
    *value = o.second;
    *seen = true;
    return true;
}

ONA_CMD(cmdSetPcs) {
    VerbOptions::Pairs options;
    QString error, control, option;
    bool hasControl = false, hasOption = false;
    if (objc != 5)
        return usage(ip, "ona_set_pcs -control NAME -option VALUE");
    if (!optionPairs(objc, objv, 1, &options, &error))
        return fail(ip, error);
    for (const auto& o : options)
        if (!takeOnce(o, "-control", &control, &hasControl) && !takeOnce(o, "-option", &option, &hasOption))
            return fail(ip,
                        QStringLiteral("ona_set_pcs: unexpected option \"%1\": expected -control and -option once each")
                            .arg(o.first));
    if (!hasControl || !hasOption)
        return usage(ip, "ona_set_pcs -control NAME -option VALUE");
    return finish(ip, pcs()->setControl(control, option, &error), error);
}

int runScript(Tcl_Interp* ip, const QString& path);

ONA_CMD(cmdRunPcs) {
    const char* use = "ona_run_pcs ?-config_sram | -file FILE | -stop?";
    QString error;
    if (objc == 1)
        return finish(ip, pcs()->apply(&error), error);
    const QString action = text(objv[1]);
    if (objc == 2 && action == QLatin1String("-config_sram"))
        return finish(ip, pcs()->reloadConfig(&error), error);
    if (objc == 3 && action == QLatin1String("-file"))
        return runScript(ip, text(objv[2]));
    if (objc == 2 && action == QLatin1String("-stop")) {
        if (g_scriptDepth > 0)
            pcs()->stopScript();
        return done(ip);
    }
    return usage(ip, use);
}

ONA_CMD(cmdOpenPcs) {
    Q_UNUSED(objv);
    return bareVerb(ip, objc, "ona_open_pcs", [](QString* error) { return pcs()->openWishbone(error); });
}

ONA_CMD(cmdPcs) {
    const char* use = "ona_pcs read -byte 1 -addr HEX | write -byte 1 -addr HEX -data HEX | close";
    if (objc < 2)
        return usage(ip, use);
    const QString action = text(objv[1]);
    if (action == QLatin1String("close")) {
        if (objc != 2)
            return usage(ip, use);
        pcs()->closeWishbone();
        return done(ip);
    }
    const bool write = action == QLatin1String("write");
    if (!write && action != QLatin1String("read"))
        return usage(ip, use);
    const QString verb = QStringLiteral("ona_pcs %1").arg(action);
    // Whatever is wrong with an access, the bus does not stay open.
    const auto refuse = [ip](const QString& why) {
        pcs()->closeWishbone();
        return fail(ip, why);
    };
    VerbOptions::Pairs options;
    QString error;
    if (!optionPairs(objc, objv, 2, &options, &error))
        return refuse(error);
    QString bytes, addr, data;
    bool hasBytes = false, hasAddr = false, hasData = false;
    for (const auto& o : options)
        if (!takeOnce(o, "-byte", &bytes, &hasBytes) && !takeOnce(o, "-addr", &addr, &hasAddr) &&
            !(write && takeOnce(o, "-data", &data, &hasData)))
            return refuse(QStringLiteral("%1: unexpected option \"%2\"").arg(verb, o.first));
    if (!hasAddr || (write && !hasData))
        return refuse(QStringLiteral("%1: %2 is required")
                          .arg(verb, hasAddr ? QStringLiteral("-data") : QStringLiteral("-addr")));
    if (hasBytes && bytes != QLatin1String("1"))
        return refuse(QStringLiteral("%1: -byte \"%2\": the bus moves one byte at a time (-byte 1)").arg(verb, bytes));
    quint32 address = 0, value = 0;
    if (!hexValue(addr, 0xFFFFFFFFu, &address))
        return refuse(QStringLiteral("%1: -addr takes a hexadecimal address, not \"%2\"").arg(verb, addr));
    if (write && !hexValue(data, 0xFFu, &value))
        return refuse(QStringLiteral("%1: -data takes a hexadecimal byte (00 to FF), not \"%2\"").arg(verb, data));
    if (write)
        return finish(ip, pcs()->writeWishbone(address, quint8(value), &error), error);
    QString read;
    return pcs()->readWishbone(address, &read, &error) ? done(ip, read) : fail(ip, error);
}

// A verb of one file name (`use`: its usage text), which is checked before
// `work` gets it.
template <class Work>
int fileVerb(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], const char* verb, const char* use, Work work) {
    if (objc != 2)
        return usage(ip, use);
    QString error;
    const QString path = text(objv[1]);
    return finish(ip, fileName(QLatin1String(verb), path, &error) && work(path, &error), error);
}

ONA_CMD(cmdImportPcs) {
    return fileVerb(ip, objc, objv, "ona_import_pcs", "ona_import_pcs FILE",
                    [](const QString& path, QString* error) { return pcs()->importFile(path, error); });
}

ONA_CMD(cmdExportPcs) {
    return fileVerb(ip, objc, objv, "ona_export_pcs", "ona_export_pcs FILE",
                    [](const QString& path, QString* error) { return pcs()->exportFile(path, error); });
}

void createSerdesVerbs(Tcl_Interp* interp) {
    create(interp, {
                       {"ona_set_pcs", cmdSetPcs},
                       {"ona_run_pcs", cmdRunPcs},
                       {"ona_open_pcs", cmdOpenPcs},
                       {"ona_pcs", cmdPcs},
                       {"ona_import_pcs", cmdImportPcs},
                       {"ona_export_pcs", cmdExportPcs},
                   });
}

// What a running script may still do. Tcl's interpreter limits count its
// commands and its time; a trace on every command refuses one that would
// build a value larger than the limit (Tcl aborts the whole program on a
// value past 2 GB, so it must never get that far); at each time slice the
// window's events are handled and a Stop is honoured. The memory the
// process holds is checked every few commands.
struct ScriptGuard {
    PCSData::ScriptLimits limits;
    QElapsedTimer clock;
    qint64 memoryAtStart = 0;
    int commandsSinceCheck = 0;
    QString exceeded; // why the script ends, once a limit is passed
    const Tcl_ObjType* listType = Tcl_GetObjType("list");
    const Tcl_ObjType* dictType = Tcl_GetObjType("dict");
    const Tcl_ObjType* bytesType = Tcl_GetObjType("bytearray");
    // The commands that can make a value much larger than their words.
    Tcl_ObjCmdProc *repeat = nullptr, *lrepeat = nullptr, *map = nullptr, *join = nullptr, *format = nullptr,
                   *binaryFormat = nullptr, *regsub = nullptr;
    // The commands that grow the variable named by their first word.
    QSet<Tcl_ObjCmdProc*> growVariable;
};

constexpr int kSliceMs = 50;
constexpr int kCommandsPerMemoryCheck = 16;

// The process's resident memory; what the script adds to it is its own.
qint64 memoryInUse() {
    static const long page = ::sysconf(_SC_PAGESIZE);
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[128];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    text[n] = 0;
    long long size = 0, resident = 0;
    return std::sscanf(text, "%lld %lld", &size, &resident) == 2 ? qint64(resident) * page : 0;
}

void checkMemory(ScriptGuard* g) {
    g->commandsSinceCheck = 0;
    if (g->exceeded.isEmpty() && memoryInUse() - g->memoryAtStart > g->limits.memoryBytes)
        g->exceeded =
            QStringLiteral("the script took more memory than its limit of %1 bytes").arg(g->limits.memoryBytes);
}

// The length of a value's text, made or not yet made (a list's text is made
// only when asked for), counted up to `cap` and a little beyond.
qint64 valueSize(const ScriptGuard& g, Tcl_Obj* o, qint64 cap, int depth = 0) {
    if (o->bytes)
        return o->length;
    if (depth > 1000)
        return cap + 1;
    qint64 size = 0;
    if (o->typePtr == g.listType) {
        int n = 0;
        Tcl_Obj** items = nullptr;
        Tcl_ListObjGetElements(nullptr, o, &n, &items);
        for (int i = 0; i < n && size <= cap; ++i)
            size += valueSize(g, items[i], cap - size, depth + 1) + 3; // a blank, maybe braces
        return size;
    }
    if (o->typePtr == g.dictType) {
        Tcl_DictSearch search;
        Tcl_Obj *key = nullptr, *value = nullptr;
        int done = 0;
        if (Tcl_DictObjFirst(nullptr, o, &search, &key, &value, &done) != TCL_OK)
            return 32;
        for (; !done && size <= cap; Tcl_DictObjNext(&search, &key, &value, &done))
            size += valueSize(g, key, cap - size, depth + 1) + valueSize(g, value, cap - size, depth + 1) + 6;
        Tcl_DictObjDone(&search);
        return size;
    }
    if (o->typePtr == g.bytesType) {
        int n = 0;
        Tcl_GetByteArrayFromObj(o, &n);
        return 2 * qint64(n); // a byte above 127 takes two in the text
    }
    return 32; // a number
}

qint64 wordCount(Tcl_Obj* o) {
    Tcl_WideInt n = 0;
    return Tcl_GetWideIntFromObj(nullptr, o, &n) == TCL_OK && n > 0 ? qint64(n) : 0;
}

// The sum of the decimal numbers in a format string (widths, precisions, counts).
qint64 formatNumbers(Tcl_Obj* o) {
    int length = 0;
    const char* s = Tcl_GetStringFromObj(o, &length);
    qint64 sum = 0, n = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && s[i] >= '0' && s[i] <= '9') {
            n = qMin<qint64>(n * 10 + (s[i] - '0'), qint64(1) << 40);
        } else {
            sum += n;
            n = 0;
        }
    }
    return sum;
}

// The size of what the command may build, beyond the sum of its words.
qint64 predictedSize(ScriptGuard& g, Tcl_Interp* ip, Tcl_ObjCmdProc* proc, int objc, Tcl_Obj* const objv[]) {
    const qint64 cap = g.limits.valueBytes;
    const auto size = [&](Tcl_Obj* o) { return valueSize(g, o, cap); };
    if (proc == g.repeat && objc == 3)
        return size(objv[1]) * wordCount(objv[2]);
    if (proc == g.lrepeat && objc >= 2) {
        qint64 one = 0;
        for (int i = 2; i < objc; ++i)
            one += size(objv[i]) + 1;
        return one * wordCount(objv[1]);
    }
    if (proc == g.map && objc >= 3) {
        int n = 0;
        Tcl_Obj** pairs = nullptr;
        qint64 longest = 1;
        if (Tcl_ListObjGetElements(nullptr, objv[objc - 2], &n, &pairs) == TCL_OK)
            for (int i = 1; i < n; i += 2)
                longest = qMax(longest, size(pairs[i]));
        return size(objv[objc - 1]) * longest;
    }
    if (proc == g.join && objc >= 2) {
        int n = 0;
        Tcl_ListObjLength(nullptr, objv[1], &n);
        return size(objv[1]) + qint64(n) * (objc > 2 ? size(objv[2]) : 1);
    }
    if ((proc == g.format || proc == g.binaryFormat) && objc >= 2) {
        qint64 extra = formatNumbers(objv[1]) * (proc == g.binaryFormat ? 8 : 1);
        if (proc == g.format && strchr(Tcl_GetString(objv[1]), '*'))
            for (int i = 2; i < objc; ++i)
                extra += wordCount(objv[i]);
        return extra;
    }
    if (proc == g.regsub) {
        int i = 1;
        bool all = false;
        for (; i < objc && Tcl_GetString(objv[i])[0] == '-'; ++i) {
            const QByteArray option = Tcl_GetString(objv[i]);
            if (option == "--") {
                ++i;
                break;
            }
            all = all || option == "-all";
            if (option == "-start")
                ++i;
        }
        if (i + 2 < objc)
            return size(objv[i + 1]) * (all ? size(objv[i + 2]) + 1 : 2) + size(objv[i + 2]);
        return 0;
    }
    if (g.growVariable.contains(proc) && objc >= 2) {
        Tcl_Obj* value = Tcl_ObjGetVar2(ip, objv[1], nullptr, 0);
        return value ? size(value) : 0;
    }
    return 0;
}

int onCommand(ClientData data, Tcl_Interp* ip, int, const char*, Tcl_Command token, int objc, Tcl_Obj* const objv[]) {
    auto* g = static_cast<ScriptGuard*>(data);
    const qint64 cap = g->limits.valueBytes;
    if (g->exceeded.isEmpty()) {
        qint64 total = 0;
        for (int i = 1; i < objc && total <= cap; ++i)
            total += valueSize(*g, objv[i], cap - total);
        Tcl_CmdInfo info;
        if (total <= cap && Tcl_GetCommandInfoFromToken(token, &info))
            total += predictedSize(*g, ip, info.objProc, objc, objv);
        if (total > cap)
            g->exceeded = QStringLiteral("the script built a value larger than its limit of %1 bytes").arg(cap);
    }
    if (++g->commandsSinceCheck >= kCommandsPerMemoryCheck)
        checkMemory(g);
    if (g->exceeded.isEmpty())
        return TCL_OK;
    // Every command from here on fails, so a catch cannot carry on.
    Tcl_SetObjResult(ip, Tcl_NewStringObj(g->exceeded.toUtf8().constData(), -1));
    return TCL_ERROR;
}

void setSlice(Tcl_Interp* child, const ScriptGuard& g) {
    const qint64 left = qint64(g.limits.seconds) * 1000 - g.clock.elapsed();
    Tcl_Time t;
    Tcl_GetTime(&t);
    const qint64 usec = qint64(t.usec) + qBound(qint64(0), left, qint64(kSliceMs)) * 1000;
    t.sec += long(usec / 1000000);
    t.usec = long(usec % 1000000);
    Tcl_LimitSetTime(child, &t);
}

// A time slice is over: the window's turn, then the script goes on unless a
// limit is passed or it was stopped (a limit not extended ends it).
void onSlice(ClientData data, Tcl_Interp* child) {
    auto* g = static_cast<ScriptGuard*>(data);
    if (!g->exceeded.isEmpty())
        return;
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, kSliceMs / 2);
    if (pcs()->takeStopRequest())
        g->exceeded = QStringLiteral("the script was stopped");
    else if (g->clock.elapsed() >= qint64(g->limits.seconds) * 1000)
        g->exceeded = QStringLiteral("the script ran longer than its limit of %1 seconds").arg(g->limits.seconds);
    else
        checkMemory(g);
    if (g->exceeded.isEmpty())
        setSlice(child, *g);
}

void onCommandLimit(ClientData data, Tcl_Interp*) {
    auto* g = static_cast<ScriptGuard*>(data);
    if (g->exceeded.isEmpty())
        g->exceeded = QStringLiteral("the script ran more than its limit of %1 commands").arg(g->limits.commands);
}

// A script of SERDES commands: Tcl with the bus verbs only, without files,
// processes, timers, event loops or further interpreters, and within the
// limits above. The bus is closed afterwards whatever the script did.
int runScript(Tcl_Interp* ip, const QString& path) {
    const QString verb = QStringLiteral("ona_run_pcs -file");
    QString error;
    if (!fileName(verb, path, &error))
        return fail(ip, error);
    if (g_scriptDepth > 0)
        return fail(ip, QStringLiteral("%1: a SERDES script cannot run another script").arg(verb));
    QString why;
    if (pcs()->layout().isEmpty())
        return fail(ip, QStringLiteral("%1: the project has no SERDES").arg(verb));
    QByteArray script;
    if (!SafeFile::readRegular(path, PCSData::kMaxSrvSize, &script, &why))
        return fail(ip, QStringLiteral("%1: %2 %3").arg(verb, path, why));
    Tcl_Interp* child = Tcl_CreateInterp();
    Tcl_MakeSafe(child);
    // Safe Tcl still waits (after, vwait), runs the event loop (update),
    // makes interpreters of its own (without these limits) and inflates
    // data (zlib): none of it belongs in a script of bus accesses.
    for (const char* name : {"after", "vwait", "update", "interp", "zlib"})
        Tcl_DeleteCommand(child, name);
    create(child, {
                      {"ona_set_pcs", cmdSetPcs},
                      {"ona_run_pcs", cmdRunPcs},
                      {"ona_open_pcs", cmdOpenPcs},
                      {"ona_pcs", cmdPcs},
                  });
    ScriptGuard guard;
    guard.limits = PCSData::scriptLimits();
    const auto procOf = [child](const char* name) {
        Tcl_CmdInfo info;
        return Tcl_GetCommandInfo(child, name, &info) ? info.objProc : nullptr;
    };
    guard.repeat = procOf("::tcl::string::repeat");
    guard.lrepeat = procOf("::lrepeat");
    guard.map = procOf("::tcl::string::map");
    guard.join = procOf("::join");
    guard.format = procOf("::format");
    guard.binaryFormat = procOf("::tcl::binary::format");
    guard.regsub = procOf("::regsub");
    for (const char* name : {"::append", "::lset", "::tcl::dict::set", "::tcl::dict::append", "::tcl::dict::lappend"})
        if (Tcl_ObjCmdProc* p = procOf(name))
            guard.growVariable.insert(p);
    // Without inline compilation every command reaches the trace.
    Tcl_CreateObjTrace(child, 0, 0, onCommand, &guard, nullptr);
    Tcl_LimitTypeSet(child, TCL_LIMIT_COMMANDS);
    Tcl_LimitSetCommands(child, int(qMin<qint64>(guard.limits.commands, INT_MAX)));
    Tcl_LimitAddHandler(child, TCL_LIMIT_COMMANDS, onCommandLimit, &guard, nullptr);
    Tcl_LimitTypeSet(child, TCL_LIMIT_TIME);
    Tcl_LimitSetGranularity(child, TCL_LIMIT_TIME, 1);
    Tcl_LimitAddHandler(child, TCL_LIMIT_TIME, onSlice, &guard, nullptr);
    pcs()->takeStopRequest(); // a Stop sent before this script is not for it
    guard.memoryAtStart = memoryInUse();
    guard.clock.start();
    setSlice(child, guard);

    ++g_scriptDepth;
    emit pcs()->scriptRunning(true);
    const int code = Tcl_EvalEx(child, script.constData(), int(script.size()), TCL_EVAL_GLOBAL);
    --g_scriptDepth;
    emit pcs()->scriptRunning(false);
    const QString result = guard.exceeded.isEmpty() ? TclText::fromTcl(Tcl_GetStringResult(child)) : guard.exceeded;
    const int line = Tcl_GetErrorLine(child);
    Tcl_DeleteInterp(child);
    pcs()->closeWishbone();
    if (!guard.exceeded.isEmpty() || (code != TCL_OK && code != TCL_RETURN))
        return fail(ip,
                    QStringLiteral("%1: %2 line %3: %4").arg(verb, QFileInfo(path).fileName()).arg(line).arg(result));
    return done(ip, result);
}

} // namespace

namespace SerdesVerbs {

void registerVerbs(Tcl_Interp* interp) { createSerdesVerbs(interp); }

} // namespace SerdesVerbs
