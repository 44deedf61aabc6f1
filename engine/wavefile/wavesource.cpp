#include "wavesource.h"

WaveSource::~WaveSource() = default;

QString WaveSource::bitsAt(const QVector<int>& channels, qint64 at) const {
    QString s(channels.size(), QLatin1Char('0'));
    for (int i = 0; i < channels.size(); ++i)
        s[i] = QLatin1Char(codeChar(codeAt(channels.at(i), at)));
    return s;
}

qint64 WaveSource::changeAfter(const QVector<int>& channels, qint64 from) const {
    qint64 best = -1;
    for (int ch : channels) {
        const qint64 c = changeAfter(ch, from);
        if (c >= 0 && (best < 0 || c < best))
            best = c;
    }
    return best;
}

qint64 WaveSource::changeAtOrBefore(const QVector<int>& channels, qint64 at) const {
    qint64 best = -1;
    for (int ch : channels)
        best = qMax(best, changeAtOrBefore(ch, at));
    return best;
}

bool WaveSource::changeWithin(int channel, qint64 first, qint64 last) const {
    const qint64 c = changeAfter(channel, qMax(first, firstPosition() + 1) - 1);
    return c >= 0 && c <= qMin(last, lastPosition());
}

bool WaveSource::changeWithin(const QVector<int>& channels, qint64 first, qint64 last) const {
    for (int ch : channels)
        if (changeWithin(ch, first, last))
            return true;
    return false;
}

bool WaveSource::fits(const QVector<int>& channels, const QByteArray& pattern) const {
    if (pattern.size() != channels.size())
        return false;
    for (int i = 0; i < channels.size(); ++i)
        if (channels.at(i) < 0 || channels.at(i) >= channelCount() || !QByteArray("01xz?").contains(pattern.at(i)))
            return false;
    return true;
}

qint64 WaveSource::find(const QVector<int>& channels, const QByteArray& pattern, qint64 from, bool backward) const {
    const qint64 first = firstPosition(), last = lastPosition();
    if (!fits(channels, pattern) || last < first || (backward ? from < first : from > last))
        return -1;
    const auto reads = [&](qint64 at) {
        const QString bits = bitsAt(channels, at);
        for (int i = 0; i < pattern.size(); ++i)
            if (pattern.at(i) != '?' && bits.at(i) != QLatin1Char(pattern.at(i)))
                return false;
        return true;
    };
    // The value holds from one change to the next: only `from` and the
    // changes on the way can answer. Each step moves strictly towards an
    // end, so the walk ends after at most the changes in between.
    for (qint64 at = qBound(first, from, last);;) {
        if (reads(at))
            return at;
        if (!backward) {
            at = changeAfter(channels, at);
            if (at < 0)
                return -1;
        } else {
            const qint64 c = changeAtOrBefore(channels, at);
            if (c <= first)
                return -1;
            at = c - 1;
        }
    }
}
