#include "changestore.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// A varint whose first byte carries `flagBits` flag bits below the value.
inline void putVarint(std::vector<quint8>& out, quint64 value, int flagBits, quint64 flags) {
    const int firstBits = 7 - flagBits;
    quint8 b = quint8(flags | ((value & ((quint64(1) << firstBits) - 1)) << flagBits));
    value >>= firstBits;
    while (value) {
        out.push_back(quint8(b | 0x80));
        b = quint8(value & 0x7f);
        value >>= 7;
    }
    out.push_back(b);
}

inline quint64 getVarint(const quint8* p, size_t* pos, int flagBits, quint64* flags) {
    quint8 b = p[(*pos)++];
    *flags = b & ((1u << flagBits) - 1);
    quint64 value = (b & 0x7f) >> flagBits;
    int shift = 7 - flagBits;
    while (b & 0x80) {
        b = p[(*pos)++];
        if (shift < 64)
            value |= quint64(b & 0x7f) << shift;
        shift += 7;
    }
    return value;
}

int flagBitsOf(ChangeStore::Kind k) { return k == ChangeStore::Bit ? 2 : k == ChangeStore::Vector ? 1 : 0; }

} // namespace

int ChangeStore::addSignal(Kind kind, int width) {
    Signal s;
    s.kind = kind;
    s.width = kind == Bit ? 1 : kind == Real ? 64 : width;
    m_signals.push_back(std::move(s));
    return int(m_signals.size()) - 1;
}

int ChangeStore::addScope(const Scope& s) {
    m_scopes.append(s);
    return m_scopes.size() - 1;
}

void ChangeStore::addVar(const Var& v) { m_vars.append(v); }

void ChangeStore::startRecord(Signal& s, qint64 time, int flagBits, quint64 flags) {
    quint64 delta = 0;
    if (s.blocks.empty() || s.changes - s.blocks.back().first >= kBlock)
        s.blocks.push_back({time, quint64(s.bytes.size()), s.changes});
    else
        delta = quint64(time - s.lastTime);
    putVarint(s.bytes, delta, flagBits, flags);
    s.lastTime = time;
    ++s.changes;
}

void ChangeStore::appendBits(int signal, qint64 time, const quint8* codes) {
    Signal& s = m_signals[size_t(signal)];
    if (s.kind == Bit) {
        startRecord(s, time, 2, codes[0] & 3);
        return;
    }
    bool four = false;
    for (int i = 0; i < s.width && !four; ++i)
        four = codes[i] > 1;
    startRecord(s, time, 1, four ? 1 : 0);
    const int perByte = four ? 4 : 8;
    const int shiftPer = four ? 2 : 1;
    const size_t at = s.bytes.size();
    s.bytes.resize(at + size_t(packedBytes(s.width, four)), 0);
    quint8* out = s.bytes.data() + at;
    for (int i = 0; i < s.width; ++i)
        out[i / perByte] |= quint8((codes[i] & 3) << ((i % perByte) * shiftPer));
}

void ChangeStore::appendPacked(int signal, qint64 time, bool fourState, const quint8* packed) {
    Signal& s = m_signals[size_t(signal)];
    startRecord(s, time, 1, fourState ? 1 : 0);
    s.bytes.insert(s.bytes.end(), packed, packed + packedBytes(s.width, fourState));
}

void ChangeStore::appendReal(int signal, qint64 time, double value) {
    Signal& s = m_signals[size_t(signal)];
    startRecord(s, time, 0, 0);
    quint8 b[8];
    std::memcpy(b, &value, 8);
    s.bytes.insert(s.bytes.end(), b, b + 8);
}

namespace {

template <typename T>
void makeRoom(std::vector<T>& v, size_t more, double expected) {
    const size_t need = v.size() + more;
    if (need > v.capacity())
        v.reserve(std::max(need, size_t(double(need) * std::max(1.0, expected))));
}

} // namespace

void ChangeStore::appendFrom(int signal, const ChangeStore& part, int partSignal, double expected) {
    const Signal& from = part.m_signals[size_t(partSignal)];
    if (from.changes == 0)
        return;
    // The part's blocks move as they are: each starts with its own time, so
    // only the offsets and first indexes shift.
    Signal& s = m_signals[size_t(signal)];
    makeRoom(s.bytes, from.bytes.size(), expected);
    makeRoom(s.blocks, from.blocks.size(), expected);
    const quint64 base = s.bytes.size();
    s.bytes.insert(s.bytes.end(), from.bytes.begin(), from.bytes.end());
    for (const Block& b : from.blocks)
        s.blocks.push_back({b.time, b.offset + base, b.first + s.changes});
    s.changes += from.changes;
    s.lastTime = from.lastTime;
}

void ChangeStore::finish() {
    // A shrink copies: worth it only for more than an eighth to give back.
    for (Signal& s : m_signals) {
        if (s.bytes.capacity() > s.bytes.size() + s.bytes.size() / 8)
            s.bytes.shrink_to_fit();
        if (s.blocks.capacity() > s.blocks.size() + s.blocks.size() / 8)
            s.blocks.shrink_to_fit();
    }
    m_byName.clear();
    m_byName.reserve(m_vars.size());
    for (int i = m_vars.size() - 1; i >= 0; --i)
        m_byName.insert(m_vars.at(i).name, i);
}

int ChangeStore::varNamed(const QString& name) const {
    if (m_byName.isEmpty()) {
        for (int i = 0; i < m_vars.size(); ++i)
            if (m_vars.at(i).name == name)
                return i;
        return -1;
    }
    return m_byName.value(name, -1);
}

qint64 ChangeStore::totalChanges() const {
    qint64 n = 0;
    for (const Signal& s : m_signals)
        n += s.changes;
    return n;
}

qint64 ChangeStore::storageBytes() const {
    qint64 n = qint64(sizeof(*this));
    for (const Signal& s : m_signals)
        n += qint64(sizeof(Signal) + s.bytes.capacity() + s.blocks.capacity() * sizeof(Block));
    for (const Var& v : m_vars)
        n += qint64(sizeof(Var)) + 2 * (v.kind.size() + v.reference.size() + v.range.size() + v.name.size());
    for (const Scope& s : m_scopes)
        n += qint64(sizeof(Scope)) + 2 * (s.type.size() + s.name.size());
    return n;
}

ChangeStore::Cursor::Cursor(const ChangeStore& store, int signal, size_t block) : m_store(&store), m_signal(signal) {
    const Signal& s = store.m_signals[size_t(signal)];
    m_count = s.changes;
    m_codes.assign(size_t(s.kind == Real ? 0 : s.width), 2);
    if (block >= s.blocks.size()) {
        m_index = m_count;
        return;
    }
    m_block = block;
    m_index = s.blocks[block].first;
    m_pos = size_t(s.blocks[block].offset);
    m_nextBlock = block + 1 < s.blocks.size() ? s.blocks[block + 1].first : m_count;
    decode(true);
}

void ChangeStore::Cursor::decode(bool blockStart) {
    const Signal& s = m_store->m_signals[size_t(m_signal)];
    const quint64 delta = getVarint(s.bytes.data(), &m_pos, flagBitsOf(s.kind), &m_flags);
    if (blockStart)
        m_time = s.blocks[m_block].time;
    else
        m_time += qint64(delta);
    m_valuePos = m_pos;
    m_decoded = false;
    if (s.kind == Real)
        m_pos += 8;
    else if (s.kind == Vector)
        m_pos += size_t(packedBytes(s.width, m_flags != 0));
}

void ChangeStore::Cursor::decodeValue() const {
    const Signal& s = m_store->m_signals[size_t(m_signal)];
    const quint8* p = s.bytes.data() + m_valuePos;
    m_decoded = true;
    switch (s.kind) {
        case Bit:
            m_codes[0] = quint8(m_flags);
            break;
        case Real:
            std::memcpy(&m_real, p, 8);
            break;
        case Vector:
            if (m_flags) {
                for (int i = 0; i < s.width; ++i)
                    m_codes[size_t(i)] = quint8((p[i >> 2] >> ((i & 3) * 2)) & 3);
            } else {
                for (int i = 0; i < s.width; ++i)
                    m_codes[size_t(i)] = quint8((p[i >> 3] >> (i & 7)) & 1);
            }
            break;
    }
}

void ChangeStore::Cursor::next() {
    if (++m_index >= m_count)
        return;
    const bool blockStart = m_index == m_nextBlock;
    if (blockStart) {
        const Signal& s = m_store->m_signals[size_t(m_signal)];
        ++m_block;
        m_pos = size_t(s.blocks[m_block].offset);
        m_nextBlock = m_block + 1 < s.blocks.size() ? s.blocks[m_block + 1].first : m_count;
    }
    decode(blockStart);
}

qint64 ChangeStore::lastAtOrBefore(int signal, qint64 t, qint64* time) const {
    const Signal& s = m_signals[size_t(signal)];
    auto it =
        std::upper_bound(s.blocks.begin(), s.blocks.end(), t, [](qint64 v, const Block& b) { return v < b.time; });
    if (it == s.blocks.begin())
        return -1;
    const size_t block = size_t(it - s.blocks.begin()) - 1;
    Cursor c(*this, signal, block);
    qint64 index = c.m_index;
    qint64 at = c.time();
    const qint64 end = c.m_nextBlock;
    for (c.next(); !c.atEnd() && c.m_index < end && c.time() <= t; c.next()) {
        index = c.m_index;
        at = c.time();
    }
    *time = at;
    return index;
}

qint64 ChangeStore::nextChange(int signal, qint64 t) const {
    const Signal& s = m_signals[size_t(signal)];
    auto it =
        std::upper_bound(s.blocks.begin(), s.blocks.end(), t, [](qint64 v, const Block& b) { return v < b.time; });
    if (it == s.blocks.begin())
        return s.blocks.empty() ? -1 : s.blocks.front().time;
    const size_t block = size_t(it - s.blocks.begin()) - 1;
    for (Cursor c(*this, signal, block); !c.atEnd(); c.next())
        if (c.time() > t)
            return c.time();
    return -1;
}

qint64 ChangeStore::prevChange(int signal, qint64 t) const {
    qint64 time = -1;
    return lastAtOrBefore(signal, t, &time) < 0 ? -1 : time;
}

ChangeStore::Change ChangeStore::valueAt(int signal, qint64 t) const {
    const Signal& s = m_signals[size_t(signal)];
    Change out;
    const qint64 index = lastAtOrBefore(signal, t, &out.time);
    if (index < 0) {
        out.time = -1;
        if (s.kind != Real)
            out.bits = QByteArray(s.width, 'x');
        return out;
    }
    Cursor c(*this, signal, blockOf(signal, index));
    while (c.m_index < index)
        c.next();
    if (s.kind == Real) {
        out.real = c.real();
    } else {
        static const char kChars[] = "01xz";
        out.bits.resize(s.width);
        for (int i = 0; i < s.width; ++i)
            out.bits[s.width - 1 - i] = kChars[c.codes()[size_t(i)] & 3];
    }
    return out;
}

bool ChangeStore::changes(int signal, qint64 from, qint64 to, qint64 limit, QVector<Change>* out) const {
    const Signal& s = m_signals[size_t(signal)];
    auto it =
        std::upper_bound(s.blocks.begin(), s.blocks.end(), from, [](qint64 v, const Block& b) { return v <= b.time; });
    size_t block = it == s.blocks.begin() ? 0 : size_t(it - s.blocks.begin()) - 1;
    static const char kChars[] = "01xz";
    for (Cursor c(*this, signal, block); !c.atEnd() && c.time() <= to; c.next()) {
        if (c.time() < from)
            continue;
        if (out->size() >= limit)
            return false;
        Change ch;
        ch.time = c.time();
        if (s.kind == Real) {
            ch.real = c.real();
        } else {
            ch.bits.resize(s.width);
            for (int i = 0; i < s.width; ++i)
                ch.bits[s.width - 1 - i] = kChars[c.codes()[size_t(i)] & 3];
        }
        out->append(ch);
    }
    return true;
}

template <typename Reads>
qint64 ChangeStore::findIn(int signal, qint64 from, bool backward, qint64 end, bool initial, Reads reads) const {
    if (from < 0 || from > end)
        return -1;
    qint64 at = -1;
    const qint64 holding = lastAtOrBefore(signal, from, &at); // the change that holds at `from`
    if (holding < 0 ? initial : [&] {
            Cursor c(*this, signal, blockOf(signal, holding));
            while (c.m_index < holding)
                c.next();
            return reads(c);
        }())
        return from;
    if (!backward) {
        // Each later change, where it is the last at its time.
        Cursor c(*this, signal, holding < 0 ? 0 : blockOf(signal, holding));
        while (!c.atEnd() && c.time() <= from)
            c.next();
        while (!c.atEnd() && c.time() <= end) {
            const qint64 t = c.time();
            const bool r = reads(c);
            c.next();
            if ((c.atEnd() || c.time() != t) && r)
                return t;
        }
        return -1;
    }
    // Backward: block by block, each change's stretch up to the next
    // change; the answer is the last tick of the latest stretch that reads
    // the value.
    if (holding < 0)
        return -1;
    qint64 stretchEnd = at; // where the stretch of the change before ends
    std::vector<std::pair<qint64, bool>> block;
    for (qint64 b = qint64(blockOf(signal, holding)); b >= 0; --b) {
        block.clear();
        for (Cursor c(*this, signal, size_t(b)); !c.atEnd() && c.m_block == size_t(b) && c.m_index < holding; c.next())
            block.emplace_back(c.time(), reads(c));
        for (auto it = block.rbegin(); it != block.rend(); ++it) {
            if (it->first < stretchEnd && it->second)
                return stretchEnd - 1;
            stretchEnd = it->first;
        }
    }
    return stretchEnd > 0 && initial ? stretchEnd - 1 : -1;
}

size_t ChangeStore::blockOf(int signal, qint64 index) const {
    const Signal& s = m_signals[size_t(signal)];
    auto it =
        std::upper_bound(s.blocks.begin(), s.blocks.end(), index, [](qint64 v, const Block& b) { return v < b.first; });
    return size_t(it - s.blocks.begin()) - 1;
}

qint64 ChangeStore::findBits(int signal, const QByteArray& pattern, qint64 from, bool backward, qint64 end) const {
    const Signal& s = m_signals[size_t(signal)];
    if (s.kind == Real || pattern.size() != s.width)
        return -1;
    static const char kChars[] = "01xz";
    bool initial = true; // before the first change every bit is x
    for (char ch : pattern)
        initial = initial && (ch == '?' || ch == 'x');
    const int w = s.width;
    return findIn(signal, from, backward, end, initial, [&](const Cursor& c) {
        const std::vector<quint8>& codes = c.codes();
        for (int i = 0; i < w; ++i) {
            const char want = pattern.at(w - 1 - i);
            if (want != '?' && want != kChars[codes[size_t(i)] & 3])
                return false;
        }
        return true;
    });
}

qint64 ChangeStore::findReal(int signal, double value, qint64 from, bool backward, qint64 end) const {
    if (m_signals[size_t(signal)].kind != Real)
        return -1;
    return findIn(signal, from, backward, end, value == 0, [&](const Cursor& c) { return c.real() == value; });
}

QString changeText(const ChangeStore::Change& c, ChangeStore::Kind kind) {
    if (kind == ChangeStore::Real)
        return QString::number(c.real, 'g', 17);
    return QString::fromLatin1(c.bits);
}
