#include "vcdwriter.h"

#include "safefile.h"

#include <QDateTime>
#include <QIODevice>

#include <algorithm>
#include <memory>
#include <queue>
#include <vector>

namespace {

// The scopes from the top down to `scope`.
std::vector<int> chainOf(const ChangeStore& store, int scope) {
    std::vector<int> chain;
    for (int s = scope; s >= 0; s = store.scopes().at(s).parent)
        chain.push_back(s);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

} // namespace

namespace VcdWriter {

QByteArray identifier(int n) {
    QByteArray id;
    do {
        id.append(char('!' + n % 94));
        n /= 94;
    } while (n > 0);
    return id;
}

bool write(const ChangeStore& store, QIODevice* out, QString* why) {
    QByteArray buf;
    auto flush = [&](bool force) {
        if (!force && buf.size() < (1 << 20))
            return true;
        if (out->write(buf) != buf.size()) {
            *why = out->errorString();
            return false;
        }
        buf.clear();
        return true;
    };
    buf += "$date\n   " + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n$end\n";
    buf += "$version\n   Ondrel Analyzer\n$end\n";
    buf += "$timescale " + QByteArray::number(store.timeMagnitude) + store.timeUnit.toLatin1() + " $end\n";
    std::vector<int> open;
    for (const ChangeStore::Var& v : store.vars()) {
        const std::vector<int> chain = chainOf(store, v.scope);
        size_t common = 0;
        while (common < open.size() && common < chain.size() && open[common] == chain[common])
            ++common;
        for (size_t i = open.size(); i > common; --i)
            buf += "$upscope $end\n";
        for (size_t i = common; i < chain.size(); ++i) {
            const ChangeStore::Scope& s = store.scopes().at(chain[i]);
            buf += "$scope " + s.type.toUtf8() + ' ' + s.name.toUtf8() + " $end\n";
        }
        open = chain;
        buf += "$var " + v.kind.toUtf8() + ' ' + QByteArray::number(v.width) + ' ' + VcdWriter::identifier(v.signal) + ' ' +
               v.reference.toUtf8() + (v.range.isEmpty() ? QByteArray() : ' ' + v.range.toUtf8()) + " $end\n";
        if (!flush(false))
            return false;
    }
    for (size_t i = open.size(); i > 0; --i)
        buf += "$upscope $end\n";
    buf += "$enddefinitions $end\n";

    // Every signal's changes merged by time.
    std::vector<std::unique_ptr<ChangeStore::Cursor>> cursors;
    using Item = std::pair<qint64, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
    std::vector<QByteArray> ids;
    for (int s = 0; s < store.numSignals(); ++s) {
        cursors.push_back(std::make_unique<ChangeStore::Cursor>(store, s));
        ids.push_back(VcdWriter::identifier(s));
        if (!cursors.back()->atEnd())
            heap.push({cursors.back()->time(), s});
    }
    static const char kChars[] = "01xz";
    qint64 now = -1;
    while (!heap.empty()) {
        const auto [t, s] = heap.top();
        heap.pop();
        ChangeStore::Cursor& c = *cursors[size_t(s)];
        if (t != now) {
            buf += '#' + QByteArray::number(t) + '\n';
            now = t;
        }
        switch (store.kind(s)) {
            case ChangeStore::Bit:
                buf += kChars[c.codes()[0] & 3];
                break;
            case ChangeStore::Real:
                buf += 'r' + QByteArray::number(c.real(), 'g', 17) + ' ';
                break;
            case ChangeStore::Vector: {
                // Leading zeros go (0 and 1 extend with 0); one stays before x or z.
                const auto& codes = c.codes();
                int top = int(codes.size()) - 1;
                while (top > 0 && codes[size_t(top)] == 0 && codes[size_t(top - 1)] <= 1)
                    --top;
                buf += 'b';
                for (int i = top; i >= 0; --i)
                    buf += kChars[codes[size_t(i)] & 3];
                buf += ' ';
                break;
            }
        }
        buf += ids[size_t(s)];
        buf += '\n';
        c.next();
        if (!c.atEnd())
            heap.push({c.time(), s});
        if (!flush(false))
            return false;
    }
    if (store.endTime > now)
        buf += '#' + QByteArray::number(store.endTime) + '\n';
    return flush(true);
}

bool writeFile(const ChangeStore& store, const QString& path, QString* error) {
    QString why;
    if (!SafeFile::writeAtomically(
            path, [&](QIODevice* out, QString* w) { return write(store, out, w); }, &why)) {
        *error = QStringLiteral("%1: cannot write: %2").arg(path, why);
        return false;
    }
    return true;
}

} // namespace VcdWriter
