#include "vcdreader.h"

#include "safefile.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <deque>
#include <future>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kMaxVars = 4 << 20;
constexpr int kMaxScopeDepth = 4096;
constexpr int kMaxWordBytes = 1 << 20;            // a header word or a vector value
constexpr qint64 kMaxStepBytes = qint64(1) << 30; // one time step's changes

// The bytes of a file or of memory, in order.
class Source {
public:
    virtual ~Source() = default;
    // Up to n bytes into `to`; 0 at the end, -1 with *why on failure.
    virtual qint64 read(char* to, qint64 n, QString* why) = 0;
    virtual qint64 size() const = 0;
};

class FileSource : public Source {
public:
    explicit FileSource(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    ~FileSource() override { ::close(m_fd); }
    qint64 read(char* to, qint64 n, QString* why) override {
        for (;;) {
            const ssize_t got = ::read(m_fd, to, size_t(n));
            if (got >= 0)
                return got;
            if (errno != EINTR) {
                *why = QStringLiteral("cannot read: %1").arg(QString::fromLocal8Bit(strerror(errno)));
                return -1;
            }
        }
    }
    qint64 size() const override { return m_size; }

private:
    int m_fd;
    qint64 m_size;
};

class MemorySource : public Source {
public:
    explicit MemorySource(const QByteArray& data) : m_data(data) {}
    qint64 read(char* to, qint64 n, QString*) override {
        const qint64 k = std::min<qint64>(n, m_data.size() - m_pos);
        std::memcpy(to, m_data.constData() + m_pos, size_t(k));
        m_pos += k;
        return k;
    }
    qint64 size() const override { return m_data.size(); }

private:
    const QByteArray& m_data;
    qint64 m_pos = 0;
};

struct Tables {
    bool space[256] = {};
    qint8 code[256]; // 0 1 x z, -1 for any other byte
    Tables() {
        for (int c : {' ', '\t', '\r', '\n', '\v', '\f'})
            space[c] = true;
        std::fill(std::begin(code), std::end(code), qint8(-1));
        code[int('0')] = 0;
        code[int('1')] = 1;
        code[int('x')] = code[int('X')] = 2;
        code[int('z')] = code[int('Z')] = 3;
    }
};
const Tables kT;

// Identifier codes to signals: codes of up to 8 bytes (nearly all) in an
// open-addressed table keyed by their bytes, longer ones in a map.
class IdTable {
public:
    int find(const char* p, size_t n) const {
        if (n <= 2) {
            const int i = shortIndex(p, n);
            return i >= 0 ? m_short[size_t(i)] : -1;
        }
        if (n > 8) {
            const auto it = m_long.find(std::string(p, n));
            return it == m_long.end() ? -1 : it->second;
        }
        const quint64 key = pack(p, n);
        if (m_keys.empty())
            return -1;
        for (size_t i = slot(key);; i = (i + 1) & m_mask) {
            if (m_keys[i] == key)
                return m_values[i];
            if (m_keys[i] == 0)
                return -1;
        }
    }
    void add(const char* p, size_t n, int signal) {
        if (n <= 2) {
            if (m_short.empty())
                m_short.assign(94 + 94 * 94, -1);
            m_short[size_t(shortIndex(p, n))] = signal;
            return;
        }
        if (n > 8) {
            m_long.emplace(std::string(p, n), signal);
            return;
        }
        if ((m_count + 1) * 2 > m_keys.size())
            grow();
        const quint64 key = pack(p, n);
        size_t i = slot(key);
        while (m_keys[i] != 0)
            i = (i + 1) & m_mask;
        m_keys[i] = key;
        m_values[i] = signal;
        ++m_count;
    }

private:
    // Codes of one or two printable characters (most files' all) index a
    // table straight; -1 for other bytes.
    int shortIndex(const char* p, size_t n) const {
        const int a = quint8(p[0]) - 33;
        if (m_short.empty() || a < 0 || a >= 94)
            return -1;
        if (n == 1)
            return a;
        const int b = quint8(p[1]) - 33;
        return b < 0 || b >= 94 ? -1 : 94 + a * 94 + b;
    }
    static quint64 pack(const char* p, size_t n) {
        quint64 k = 0;
        std::memcpy(&k, p, n); // codes hold no NUL, so distinct codes differ
        return k;
    }
    size_t slot(quint64 key) const { return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & m_mask; }
    void grow() {
        std::vector<quint64> keys = std::move(m_keys);
        std::vector<int> values = std::move(m_values);
        const size_t n = std::max<size_t>(64, keys.size() * 2);
        m_keys.assign(n, 0);
        m_values.assign(n, -1);
        m_mask = n - 1;
        m_count = 0;
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != 0) {
                size_t j = slot(keys[i]);
                while (m_keys[j] != 0)
                    j = (j + 1) & m_mask;
                m_keys[j] = keys[i];
                m_values[j] = values[i];
                ++m_count;
            }
    }
    std::vector<quint64> m_keys;
    std::vector<int> m_values;
    size_t m_mask = 0, m_count = 0;
    std::unordered_map<std::string, int> m_long;
    std::vector<int> m_short;
};

QString shownBytes(const char* p, size_t n) {
    return SafeFile::shown(QString::fromUtf8(p, int(std::min<size_t>(n, 200))), 40);
}

// ---------------------------------------------------------------- body ----

// Digits d[0, n) of a value that holds only 0 and 1, packed as the store
// keeps a two-state vector; false when another digit is there. Eight
// digits at a time: each byte 0 or 1 after the xor, gathered into one
// byte by a multiply whose partial products never overlap.
bool packTwoState(const char* d, qint64 n, int width, std::vector<quint8>* packed) {
    packed->assign(size_t(ChangeStore::packedBytes(width, false)), 0);
    quint8* out = packed->data();
    qint64 end = n;
    size_t byte = 0;
    for (; end >= 8; end -= 8, ++byte) {
        quint64 v;
        std::memcpy(&v, d + end - 8, 8);
        v ^= 0x3030303030303030ull;
        if (v & 0xFEFEFEFEFEFEFEFEull)
            return false;
        out[byte] = quint8((v * 0x8040201008040201ull) >> 56);
    }
    for (qint64 i = 0; i < end; ++i) {
        const char c = d[end - 1 - i];
        if (c != '0' && c != '1')
            return false;
        out[byte] |= quint8((c - '0') << i);
    }
    return true;
}

// What one block of value changes gave.
struct Part {
    std::unique_ptr<ChangeStore> store;
    std::vector<int> touched; // signals with changes, in first-change order
    qint64 firstTime = -1, lastTime = -1;
    qint64 lines = 0;
    qint64 errorOffset = -1; // in the block
    qint64 errorLines = 0;   // newlines before the fault
    QString error;
};

struct BodyContext {
    const ChangeStore* shape;
    const IdTable* ids;
    const std::atomic<bool>* stop;
};

Part parseBlock(const BodyContext& ctx, const char* begin, const char* end) {
    Part part;
    part.store = std::make_unique<ChangeStore>();
    const int count = ctx.shape->numSignals();
    for (int s = 0; s < count; ++s)
        part.store->addSignal(ctx.shape->kind(s), ctx.shape->width(s));
    std::vector<char> seen(size_t(count), 0);
    std::vector<quint8> codes, packed;
    qint64 time = 0; // a block after the first begins with its time
    qint64 lines = 0, wordLines = 0;
    const char* p = begin;
    auto fail = [&](const char* at, const QString& why) {
        part.errorOffset = at - begin;
        part.errorLines = wordLines;
        part.error = why;
        return std::move(part);
    };
    auto word = [&](const char* from) {
        const char* q = from;
        while (q < end && !kT.space[quint8(*q)])
            ++q;
        return q;
    };
    auto skipSpace = [&](const char* q) {
        while (q < end && kT.space[quint8(*q)]) {
            lines += *q == '\n';
            ++q;
        }
        return q;
    };
    auto signalOf = [&](const char* idStart, const char* idEnd, int* signal) {
        if (idStart == idEnd)
            return false;
        *signal = ctx.ids->find(idStart, size_t(idEnd - idStart));
        return *signal >= 0;
    };
    auto touch = [&](int s) {
        if (!seen[size_t(s)]) {
            seen[size_t(s)] = 1;
            part.touched.push_back(s);
        }
    };
    int countdown = 1 << 16;
    while (true) {
        p = skipSpace(p);
        if (p >= end)
            break;
        wordLines = lines;
        if (--countdown == 0) {
            countdown = 1 << 16;
            if (ctx.stop && ctx.stop->load(std::memory_order_relaxed))
                return fail(p, QStringLiteral("stopped"));
        }
        const char c = *p;
        const char* start = p;
        if (c == '#') {
            const char* q = word(p + 1);
            quint64 t = 0;
            auto r = std::from_chars(p + 1, q, t);
            if (r.ec != std::errc() || r.ptr != q || t > quint64(std::numeric_limits<qint64>::max()))
                return fail(start, QStringLiteral("\"%1\" is not a time").arg(shownBytes(p, size_t(q - p))));
            if (qint64(t) < time)
                return fail(start, QStringLiteral("time %1 goes back from %2").arg(t).arg(time));
            time = qint64(t);
            if (part.firstTime < 0)
                part.firstTime = time;
            part.lastTime = time;
            p = q;
            continue;
        }
        const qint8 scalar = kT.code[quint8(c)];
        if (scalar >= 0) {
            const char* q = word(p + 1);
            int s;
            if (!signalOf(p + 1, q, &s))
                return fail(
                    start, p + 1 == q
                               ? QStringLiteral("a value change without an identifier")
                               : QStringLiteral("unknown identifier \"%1\"").arg(shownBytes(p + 1, size_t(q - p - 1))));
            const ChangeStore::Kind k = ctx.shape->kind(s);
            if (k == ChangeStore::Real)
                return fail(start, QStringLiteral("a bit value for the real variable \"%1\"")
                                       .arg(shownBytes(p + 1, size_t(q - p - 1))));
            if (k == ChangeStore::Bit) {
                const quint8 v = quint8(scalar);
                part.store->appendBits(s, time, &v);
            } else {
                // A scalar for a vector: extended as a one-digit vector is.
                codes.assign(size_t(ctx.shape->width(s)), scalar == 1 ? 0 : quint8(scalar));
                codes[0] = quint8(scalar);
                part.store->appendBits(s, time, codes.data());
            }
            touch(s);
            p = q;
            continue;
        }
        if (c == 'b' || c == 'B' || c == 'r' || c == 'R') {
            const char* vEnd = word(p + 1);
            const char* idStart = vEnd;
            while (idStart < end && (*idStart == ' ' || *idStart == '\t'))
                ++idStart;
            const char* idEnd = word(idStart);
            if (idStart == idEnd)
                return fail(start, idStart >= end ? QStringLiteral("the file ends inside a value change")
                                                  : QStringLiteral("a value change without an identifier"));
            int s;
            if (!signalOf(idStart, idEnd, &s))
                return fail(
                    start,
                    QStringLiteral("unknown identifier \"%1\"").arg(shownBytes(idStart, size_t(idEnd - idStart))));
            const ChangeStore::Kind k = ctx.shape->kind(s);
            if (c == 'r' || c == 'R') {
                if (k != ChangeStore::Real)
                    return fail(start, QStringLiteral("a real value for the bit variable \"%1\"")
                                           .arg(shownBytes(idStart, size_t(idEnd - idStart))));
                double v = 0;
                auto r = std::from_chars(p + 1, vEnd, v);
                if (r.ec != std::errc() || r.ptr != vEnd)
                    return fail(
                        start,
                        QStringLiteral("\"%1\" is not a real number").arg(shownBytes(p + 1, size_t(vEnd - p - 1))));
                part.store->appendReal(s, time, v);
            } else {
                if (k == ChangeStore::Real)
                    return fail(start, QStringLiteral("a bit value for the real variable \"%1\"")
                                           .arg(shownBytes(idStart, size_t(idEnd - idStart))));
                const int width = ctx.shape->width(s);
                const char* d = p + 1;
                qint64 n = vEnd - d;
                if (n == 0)
                    return fail(start, QStringLiteral("a vector value without digits"));
                // More digits than bits: only leading zeros may go.
                while (n > width && *d == '0') {
                    ++d;
                    --n;
                }
                if (n > width)
                    return fail(start, QStringLiteral("a value of %1 bits for a variable of %2").arg(n).arg(width));
                if (k == ChangeStore::Vector && packTwoState(d, n, width, &packed)) {
                    part.store->appendPacked(s, time, false, packed.data());
                    touch(s);
                    p = idEnd;
                    continue;
                }
                codes.resize(size_t(width));
                for (qint64 i = 0; i < n; ++i) {
                    const qint8 v = kT.code[quint8(d[n - 1 - i])];
                    if (v < 0)
                        return fail(
                            start, QStringLiteral("\"%1\" is not a binary value").arg(shownBytes(p, size_t(vEnd - p))));
                    codes[size_t(i)] = quint8(v);
                }
                // Left extension: x and z extend themselves, 0 and 1 with 0.
                const quint8 lead = quint8(kT.code[quint8(d[0])]);
                const quint8 fill = lead >= 2 ? lead : 0;
                for (int i = int(n); i < width; ++i)
                    codes[size_t(i)] = fill;
                part.store->appendBits(s, time, codes.data());
            }
            touch(s);
            p = idEnd;
            continue;
        }
        if (c == '$') {
            const char* q = word(p);
            const std::string_view kw(p, size_t(q - p));
            if (kw == "$dumpvars" || kw == "$dumpall" || kw == "$dumpon" || kw == "$dumpoff" || kw == "$end") {
                p = q;
                continue;
            }
            if (kw == "$comment") {
                // To its $end, which stands alone as a word.
                for (p = q;;) {
                    p = skipSpace(p);
                    if (p >= end)
                        return fail(start, QStringLiteral("the file ends inside $comment"));
                    const char* e = word(p);
                    if (std::string_view(p, size_t(e - p)) == "$end") {
                        p = e;
                        break;
                    }
                    p = e;
                }
                continue;
            }
            return fail(start,
                        QStringLiteral("\"%1\" does not belong among value changes").arg(shownBytes(p, size_t(q - p))));
        }
        return fail(start, QStringLiteral("\"%1\" is not a value change").arg(shownBytes(p, size_t(word(p) - p))));
    }
    part.lines = lines;
    return part;
}

// ---------------------------------------------------------------- header ----

// Words of the header, read from the source through a buffer, with the line
// and byte offset of each.
class HeaderWords {
public:
    HeaderWords(Source& src, QString* why) : m_src(src), m_why(why) {}
    // The next word; false at the end of the file or on a read failure
    // (*failed then set).
    bool next(std::string* w, bool* failed) {
        *failed = false;
        for (;;) {
            while (m_pos < m_buf.size() && kT.space[quint8(m_buf[m_pos])]) {
                m_line += m_buf[m_pos] == '\n';
                ++m_pos;
            }
            if (m_pos < m_buf.size())
                break;
            if (!fill(failed))
                return false;
        }
        m_wordOffset = m_base + qint64(m_pos);
        m_wordLine = m_line;
        size_t e = m_pos;
        for (;;) {
            while (e < m_buf.size() && !kT.space[quint8(m_buf[e])])
                ++e;
            if (e < m_buf.size() || m_eof)
                break;
            if (e - m_pos > size_t(kMaxWordBytes)) {
                *m_why = QStringLiteral("a word longer than %1 bytes").arg(kMaxWordBytes);
                *failed = true;
                return false;
            }
            const size_t from = m_pos;
            if (!fill(failed)) {
                if (*failed)
                    return false;
            }
            e -= from - m_pos; // fill() moves the unread bytes to the front
        }
        w->assign(m_buf.data() + m_pos, e - m_pos);
        m_pos = e;
        return true;
    }
    qint64 wordOffset() const { return m_wordOffset; }
    qint64 wordLine() const { return m_wordLine; }
    // The bytes read but not yet used, and where they begin.
    std::string rest() { return m_buf.substr(m_pos); }
    qint64 restOffset() const { return m_base + qint64(m_pos); }
    qint64 line() const { return m_line; }
    bool atEof() const { return m_eof; }

private:
    bool fill(bool* failed) {
        if (m_eof)
            return false;
        m_base += qint64(m_pos);
        m_buf.erase(0, m_pos);
        m_pos = 0;
        const size_t at = m_buf.size();
        m_buf.resize(at + (1 << 16));
        const qint64 got = m_src.read(&m_buf[at], 1 << 16, m_why);
        if (got < 0) {
            *failed = true;
            m_buf.resize(at);
            return false;
        }
        m_buf.resize(at + size_t(got));
        if (got == 0) {
            m_eof = true;
            return false;
        }
        return true;
    }
    Source& m_src;
    QString* m_why;
    std::string m_buf;
    size_t m_pos = 0;
    qint64 m_base = 0, m_line = 1, m_wordOffset = 0, m_wordLine = 1;
    bool m_eof = false;
};

bool kindOf(const std::string& type, int width, ChangeStore::Kind* kind) {
    static const char* const kBits[] = {"event", "integer",  "parameter", "reg",   "supply0", "supply1",
                                        "time",  "tri",      "triand",    "trior", "trireg",  "tri0",
                                        "tri1",  "wand",     "wire",      "wor",   "logic",   "bit",
                                        "int",   "shortint", "longint",   "byte",  "enum"};
    if (type == "real" || type == "realtime" || type == "shortreal") {
        *kind = ChangeStore::Real;
        return true;
    }
    for (const char* k : kBits)
        if (type == k) {
            *kind = width == 1 ? ChangeStore::Bit : ChangeStore::Vector;
            return true;
        }
    return false;
}

bool hasControlBytes(const std::string& w) {
    for (char c : w)
        if (quint8(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

struct Header {
    IdTable ids;
    qint64 bodyLine = 1;
};

// Reads the header into `store`; false with *why (and *line, *offset).
bool readHeader(HeaderWords& in, ChangeStore* store, Header* h, QString* why, qint64* line, qint64* offset) {
    std::string w;
    bool failed = false;
    std::vector<int> scopes;
    qint64 kwLine = 1, kwOffset = 0;
    auto fault = [&](const QString& text) {
        *why = text;
        *line = in.wordLine();
        *offset = in.wordOffset();
        return false;
    };
    auto faultHere = [&](const QString& text) {
        *why = text;
        *line = kwLine;
        *offset = kwOffset;
        return false;
    };
    // The words up to $end; a fault there is the keyword's.
    auto until = [&](std::vector<std::string>* words, const char* what) {
        for (;;) {
            if (!in.next(&w, &failed))
                return faultHere(failed ? *why : QStringLiteral("the file ends inside %1").arg(QLatin1String(what)));
            if (w == "$end")
                return true;
            if (words) {
                if (words->size() >= 16)
                    return faultHere(QStringLiteral("%1 has too many words").arg(QLatin1String(what)));
                words->push_back(w);
            }
        }
    };
    for (;;) {
        if (!in.next(&w, &failed)) {
            if (failed)
                return fault(*why);
            *why = QStringLiteral("the file ends in its header (no $enddefinitions)");
            *line = in.line();
            *offset = in.restOffset();
            return false;
        }
        kwLine = in.wordLine();
        kwOffset = in.wordOffset();
        if (w.empty() || w[0] != '$')
            return fault(
                QStringLiteral("expected a $ keyword of the header, found \"%1\"").arg(shownBytes(w.data(), w.size())));
        if (w == "$enddefinitions") {
            if (!until(nullptr, "$enddefinitions"))
                return false;
            h->bodyLine = in.line();
            return true;
        }
        std::vector<std::string> words;
        if (w == "$date" || w == "$version" || w == "$comment") {
            const std::string kw = w;
            if (!until(nullptr, kw.c_str()))
                return false;
        } else if (w == "$timescale") {
            if (!until(&words, "$timescale"))
                return false;
            std::string all;
            for (const auto& x : words)
                all += x;
            static const QRegularExpression re(QStringLiteral("^(1|10|100)(s|ms|us|ns|ps|fs)$"));
            const auto m = re.match(QString::fromLatin1(all.data(), int(all.size())));
            if (!m.hasMatch())
                return faultHere(QStringLiteral("\"%1\" is not a timescale (1, 10 or 100 of s, ms, us, ns, ps or fs)")
                                     .arg(shownBytes(all.data(), all.size())));
            store->timeMagnitude = m.captured(1).toInt();
            store->timeUnit = m.captured(2);
        } else if (w == "$scope") {
            if (!until(&words, "$scope"))
                return false;
            if (words.empty() || words.size() > 2 || hasControlBytes(words.back()))
                return faultHere(QStringLiteral("$scope takes a type and a name"));
            if (int(scopes.size()) >= kMaxScopeDepth)
                return faultHere(QStringLiteral("scopes nested deeper than %1").arg(kMaxScopeDepth));
            ChangeStore::Scope s;
            s.parent = scopes.empty() ? -1 : scopes.back();
            s.type =
                words.size() == 2 ? QString::fromUtf8(words[0].data(), int(words[0].size())) : QStringLiteral("module");
            s.name = QString::fromUtf8(words.back().data(), int(words.back().size()));
            scopes.push_back(store->addScope(s));
        } else if (w == "$upscope") {
            if (!until(nullptr, "$upscope"))
                return false;
            if (scopes.empty())
                return faultHere(QStringLiteral("$upscope without a $scope"));
            scopes.pop_back();
        } else if (w == "$var") {
            if (!until(&words, "$var"))
                return false;
            if (words.size() < 4 || words.size() > 5)
                return faultHere(QStringLiteral("$var takes a type, a width, an identifier, a name and a range"));
            quint64 width = 0;
            const std::string& ws = words[1];
            auto r = std::from_chars(ws.data(), ws.data() + ws.size(), width);
            if (r.ptr != ws.data() + ws.size() || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range))
                return faultHere(QStringLiteral("\"%1\" is not a width").arg(shownBytes(ws.data(), ws.size())));
            if (r.ec == std::errc::result_out_of_range || width > quint64(ChangeStore::kMaxWidth))
                return faultHere(QStringLiteral("a width of %1 bits is more than %2")
                                     .arg(shownBytes(ws.data(), ws.size()))
                                     .arg(ChangeStore::kMaxWidth));
            if (width == 0)
                return faultHere(QStringLiteral("a width of 0 bits"));
            ChangeStore::Kind kind;
            if (!kindOf(words[0], int(width), &kind))
                return faultHere(
                    QStringLiteral("unknown variable type \"%1\"").arg(shownBytes(words[0].data(), words[0].size())));
            const std::string& id = words[2];
            for (char c : id)
                if (quint8(c) < 33 || quint8(c) > 126)
                    return faultHere(QStringLiteral("an identifier must be printable ASCII"));
            if (hasControlBytes(words[3]) || (words.size() == 5 && hasControlBytes(words[4])))
                return faultHere(QStringLiteral("a control byte in a variable's name"));
            if (store->numVars() >= kMaxVars)
                return faultHere(QStringLiteral("more than %1 variables").arg(kMaxVars));
            int signal = h->ids.find(id.data(), id.size());
            if (signal >= 0) {
                if (store->kind(signal) != kind || (kind != ChangeStore::Real && store->width(signal) != int(width)))
                    return faultHere(QStringLiteral("identifier \"%1\" declared again with another type or width")
                                         .arg(shownBytes(id.data(), id.size())));
            } else {
                signal = store->addSignal(kind, int(width));
                h->ids.add(id.data(), id.size(), signal);
            }
            ChangeStore::Var v;
            v.scope = scopes.empty() ? -1 : scopes.back();
            v.kind = QString::fromLatin1(words[0].data(), int(words[0].size()));
            v.reference = QString::fromUtf8(words[3].data(), int(words[3].size()));
            if (words.size() == 5)
                v.range = QString::fromUtf8(words[4].data(), int(words[4].size()));
            v.width = kind == ChangeStore::Real ? 64 : int(width);
            v.signal = signal;
            QStringList path;
            for (int s = v.scope; s >= 0; s = store->scopes().at(s).parent)
                path.prepend(store->scopes().at(s).name);
            // A bit select ("data [3]") is its own variable: it keeps its index.
            static const QRegularExpression bitSelect(QStringLiteral("^\\[-?[0-9]+\\]$"));
            path << v.reference + (bitSelect.match(v.range).hasMatch() ? v.range : QString());
            v.name = path.join(QLatin1Char('.'));
            store->addVar(v);
        } else {
            // A keyword this reader does not use ($attrbegin...): skipped.
            const std::string kw = w;
            if (!until(nullptr, kw.c_str()))
                return false;
        }
    }
}

// The end of the last whole time step in buf[0, n): the offset of a line
// that begins with '#', outside any $comment; 0 when there is none. The
// search for the line starts after `from` (what an earlier call found
// none in), unless a comment sends it further back.
size_t stepCut(const char* buf, size_t n, size_t from) {
    size_t limit = n;
    for (;;) {
        const char* hash = nullptr;
        for (size_t i = limit; i > std::max<size_t>(from, 1); --i)
            if (buf[i - 1] == '#' && buf[i - 2] == '\n') {
                hash = buf + i - 1;
                break;
            }
        if (!hash)
            return 0;
        // An open $comment before the cut moves it before the comment.
        const char* q = hash;
        bool open = false;
        while (const void* d = memrchr(buf, '$', size_t(q - buf))) {
            q = static_cast<const char*>(d);
            if (q > buf && !kT.space[quint8(q[-1])])
                continue;
            const size_t left = size_t(hash - q);
            if (left >= 4 && std::memcmp(q, "$end", 4) == 0 && (left == 4 || kT.space[quint8(q[4])]))
                break;
            if (left >= 8 && std::memcmp(q, "$comment", 8) == 0 && (left == 8 || kT.space[quint8(q[8])])) {
                open = true;
                break;
            }
        }
        if (!open)
            return size_t(hash - buf);
        limit = size_t(q - buf);
        from = 0;
    }
}

QString where(const QString& name, qint64 line, qint64 offset, const QString& why) {
    return QStringLiteral("%1: line %2, byte %3: %4").arg(name).arg(line).arg(offset).arg(why);
}

std::unique_ptr<ChangeStore> readChecked(Source& src, const QString& name, const VcdReader::Options& options,
                                         QString* error) {
    auto store = std::make_unique<ChangeStore>();
    store->file = name;
    QString why;
    HeaderWords in(src, &why);
    Header header;
    qint64 line = 0, offset = 0;
    if (!readHeader(in, store.get(), &header, &why, &line, &offset)) {
        *error = where(name, line, offset, why);
        return nullptr;
    }
    // The value changes, block by block.
    std::atomic<bool> stop{false};
    const BodyContext ctx{store.get(), &header.ids, &stop};
    struct Pending {
        std::future<Part> part;
        std::shared_ptr<std::string> bytes;
        qint64 offset;
    };
    std::deque<Pending> pending;
    std::string buf = in.rest();
    qint64 bufOffset = in.restOffset();
    qint64 lineBase = header.bodyLine;
    qint64 lastTime = 0;
    bool eof = in.atEof(), failed = false;
    const qint64 total = src.size();
    const size_t blockBytes = size_t(std::max<qint64>(options.blockBytes, 64));
    const int threads = std::max(1, options.threads);

    // Appends a part in file order; false at a fault, *error then set.
    auto merge = [&](Pending& p) {
        Part part = p.part.get();
        // A block that begins before the last one ended: that fault comes
        // first, whatever the block found further on.
        if (part.firstTime >= 0 && part.firstTime < lastTime) {
            part.error = QStringLiteral("time %1 goes back from %2").arg(part.firstTime).arg(lastTime);
            part.errorOffset = 0;
            part.errorLines = 0;
            part.touched.clear();
            part.lastTime = -1;
        }
        if (part.error.isEmpty() || options.keepPartial) {
            // What the file's rest will likely add, as a share of what is read.
            const qint64 done = p.offset + qint64(p.bytes->size());
            const double expected = done > 0 && total > done ? 1.05 * double(total) / double(done) : 1.0;
            for (int s : part.touched)
                store->appendFrom(s, *part.store, s, expected);
            if (part.lastTime >= 0)
                lastTime = part.lastTime;
        }
        if (!part.error.isEmpty()) {
            *error = where(name, lineBase + part.errorLines, p.offset + part.errorOffset, part.error);
            return false;
        }
        lineBase += part.lines;
        return true;
    };
    auto cancelled = [&] { return options.cancel && options.cancel->load(); };

    while (!failed) {
        // Read on to a whole block: at least blockBytes and a cut after it.
        size_t cut = 0, searched = 0;
        while (!eof) {
            if (buf.size() >= blockBytes && (cut = stepCut(buf.data(), buf.size(), searched)) > 0)
                break;
            if (buf.size() >= blockBytes)
                searched = buf.size() - 1; // a '\n' there may begin the next cut
            if (qint64(buf.size()) > kMaxStepBytes) {
                *error = where(name, lineBase, bufOffset,
                               QStringLiteral("a time step longer than %1 bytes").arg(kMaxStepBytes));
                failed = true;
                break;
            }
            const size_t at = buf.size();
            buf.resize(at + blockBytes);
            const qint64 got = src.read(&buf[at], qint64(blockBytes), &why);
            if (got < 0) {
                *error = QStringLiteral("%1: %2").arg(name, why);
                buf.resize(at);
                failed = true;
                break;
            }
            buf.resize(at + size_t(got));
            eof = got == 0;
        }
        if (failed)
            break;
        if (eof)
            cut = buf.size();
        if (cut > 0) {
            auto bytes = std::make_shared<std::string>(buf.substr(0, cut));
            buf.erase(0, cut);
            auto work = [&ctx, bytes] { return parseBlock(ctx, bytes->data(), bytes->data() + bytes->size()); };
            std::future<Part> future;
            try {
                future = std::async(threads > 1 ? std::launch::async : std::launch::deferred, work);
            } catch (const std::system_error&) {
                future = std::async(std::launch::deferred, work); // no thread to be had: parse here
            }
            Pending p{std::move(future), bytes, bufOffset};
            bufOffset += qint64(cut);
            pending.push_back(std::move(p));
        }
        while (!pending.empty() && (int(pending.size()) >= threads || eof)) {
            Pending p = std::move(pending.front());
            pending.pop_front();
            if (!merge(p)) {
                failed = true;
                break;
            }
            if (options.progress)
                options.progress(std::min(p.offset + qint64(p.bytes->size()), total), total);
        }
        if (!failed && cancelled()) {
            *error = QStringLiteral("%1: reading was cancelled at byte %2").arg(name).arg(bufOffset);
            failed = true;
        }
        if (eof && pending.empty())
            break;
    }
    stop = true;
    pending.clear(); // waits for the workers still running
    store->endTime = lastTime;
    store->finish();
    if (failed) {
        if (!options.keepPartial)
            return nullptr;
        store->partial = true;
        store->error = *error;
    }
    return store;
}

std::unique_ptr<ChangeStore> readFrom(Source& src, const QString& name, const VcdReader::Options& options,
                                      QString* error) {
    try {
        return readChecked(src, name, options, error);
    } catch (const std::bad_alloc&) {
        *error = QStringLiteral("%1: not enough memory to hold its changes").arg(name);
        return nullptr;
    }
}

} // namespace

std::unique_ptr<ChangeStore> VcdReader::read(const QString& path, const Options& options, QString* error) {
    const QByteArray local = QFile::encodeName(path);
    // Without O_NONBLOCK a FIFO would hang here until a writer came.
    const int fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("%1: cannot open: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        *error = QStringLiteral("%1: %2").arg(
            path, folder ? QStringLiteral("is a folder, not a file")
                         : QStringLiteral("is not a regular file (a pipe, socket or device)"));
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    FileSource src(fd, qint64(st.st_size));
    return readFrom(src, path, options, error);
}

std::unique_ptr<ChangeStore> VcdReader::readBytes(const QByteArray& data, const QString& name, const Options& options,
                                                  QString* error) {
    MemorySource src(data);
    return readFrom(src, name, options, error);
}
