// Any bytes as a VCD file, read in blocks of 64 bytes by one or two workers
// (the first byte chooses): a refusal names its line and byte; a store that
// was read answers its look-ups in order, writes back, and reads again to
// the same changes, signal by signal.
#include "vcdreader.h"
#include "vcdwriter.h"

#include <QBuffer>

namespace {

bool sameChanges(const ChangeStore& a, int sa, const ChangeStore& b, int sb) {
    if (a.numChanges(sa) != b.numChanges(sb) || a.kind(sa) != b.kind(sb))
        return false;
    ChangeStore::Cursor x(a, sa), y(b, sb);
    for (; !x.atEnd(); x.next(), y.next())
        if (y.atEnd() || x.time() != y.time() || x.codes() != y.codes() ||
            (a.kind(sa) == ChangeStore::Real &&
             !(x.real() == y.real() || (x.real() != x.real() && y.real() != y.real()))))
            return false;
    return y.atEnd();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    VcdReader::Options o;
    o.threads = 1 + (data[0] & 1);
    o.blockBytes = 64;
    o.keepPartial = (data[0] & 2) != 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), int(size - 1));
    QString error;
    const auto store = VcdReader::readBytes(bytes, QStringLiteral("fuzz.vcd"), o, &error);
    if (!store) {
        if (!error.contains(QLatin1String(": line ")) && !error.contains(QLatin1String("cannot read")))
            __builtin_trap();
        if (error.contains(QChar(0)))
            __builtin_trap();
        return 0;
    }
    if (store->partial != !error.isEmpty())
        __builtin_trap();
    for (int s = 0; s < store->numSignals(); ++s) {
        for (qint64 t : {qint64(-1), qint64(0), store->endTime / 2, store->endTime}) {
            const qint64 n = store->nextChange(s, t);
            const qint64 p = store->prevChange(s, t);
            if ((n >= 0 && n <= t) || p > t)
                __builtin_trap();
            const ChangeStore::Change v = store->valueAt(s, t);
            if (store->kind(s) != ChangeStore::Real && v.bits.size() != store->width(s))
                __builtin_trap();
        }
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString why;
    if (!VcdWriter::write(*store, &out, &why))
        __builtin_trap();
    const auto again = VcdReader::readBytes(out.data(), QStringLiteral("again.vcd"), {}, &error);
    if (!again || again->numSignals() != store->numSignals() || again->numVars() != store->numVars())
        __builtin_trap();
    for (int s = 0; s < store->numSignals(); ++s)
        if (!sameChanges(*store, s, *again, s))
            __builtin_trap();
    return 0;
}
