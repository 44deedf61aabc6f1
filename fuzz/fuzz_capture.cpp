// Any bytes as a capture sidecar. Parsed once as given (magic, version and
// checksum faults), then again with the checksum made to match, so that
// mutations reach the structure behind it. What is accepted must be a sound
// store: bits past the last sample clear, frames and triggers in range,
// nextChange agreeing with the bits, and it must write back and read again
// to the same captures.
#include "capturefile.h"

#include <algorithm>
#include <cstring>

namespace {

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void checkTrace(const CaptureFile::Entry& e) {
    const TraceData& t = *e.trace;
    int width = 0;
    for (const auto& s : e.signalWidths)
        width += s.second;
    check(t.numChannels() == width);
    const qint64 n = t.numSamples();
    check(n >= 0 && t.wordsPerChannel() == (n + 63) / 64);
    for (int f = 0; f < t.frameStarts.size(); ++f)
        check(t.frameStarts.at(f) >= 0 && (f == 0 || t.frameStarts.at(f) > t.frameStarts.at(f - 1)));
    for (qint64 p : t.triggerPositions)
        check(p >= 0 && p < n);
    for (int ch = 0; ch < t.numChannels(); ++ch) {
        if (n % 64)
            check((t.channelWords(ch)[t.wordsPerChannel() - 1] >> (n % 64)) == 0);
        // Every change, walked with the summaries, against the bits one by one.
        qint64 s = 0;
        for (qint64 next = t.nextChange(ch, -1); next >= 0; next = t.nextChange(ch, next)) {
            check(next > s && next < n);
            for (++s; s < next; ++s)
                check(t.bit(ch, s) == t.bit(ch, s - 1));
            check(t.bit(ch, next) != t.bit(ch, next - 1));
        }
        for (++s; s < n; ++s)
            check(t.bit(ch, s) == t.bit(ch, s - 1));
    }
}

// QList's own == hands memcmp a null pointer for an empty list (Qt 6.4).
template <typename List>
bool equal(const List& a, const List& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool same(const CaptureFile::Entry& a, const CaptureFile::Entry& b) {
    const TraceData& x = *a.trace;
    const TraceData& y = *b.trace;
    if (a.core != b.core || a.signalWidths != b.signalWidths || x.channelNames() != y.channelNames() ||
        x.numSamples() != y.numSamples() || !equal(x.frameStarts, y.frameStarts) ||
        !equal(x.frameTimes, y.frameTimes) || !equal(x.triggerPositions, y.triggerPositions))
        return false;
    if (x.wordsPerChannel() == 0) // no samples: no words to compare, and no buffers
        return true;
    for (int ch = 0; ch < x.numChannels(); ++ch)
        if (std::memcmp(x.channelWords(ch), y.channelWords(ch), size_t(x.wordsPerChannel()) * 8) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    std::vector<CaptureFile::Entry> entries;
    QString error;
    if (!CaptureFile::parse(bytes, &entries, &error))
        check(!error.isEmpty());
    if (bytes.size() >= 16) {
        const quint32 crc = CaptureFile::crc32(bytes.constData() + 12, bytes.size() - 16);
        std::memcpy(bytes.data() + bytes.size() - 4, &crc, 4);
    }
    entries.clear();
    error.clear();
    if (!CaptureFile::parse(bytes, &entries, &error)) {
        check(!error.isEmpty());
        return 0;
    }
    for (const auto& e : entries)
        checkTrace(e);
    std::vector<CaptureFile::Entry> again;
    check(CaptureFile::parse(CaptureFile::serialize(entries), &again, &error));
    check(again.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        check(same(entries[i], again[i]));
    return 0;
}
