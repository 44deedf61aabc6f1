#include "waveformmodel.h"

#include "changesource.h"

#include "bitwords.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

SigTreeData::SigTreeData(const QString& n, int index, int w, bool exp, bool hid, const QColor& c)
    : name(n), signalIndex(index), width(w), expanded(exp), hidden(hid), colour(c) {}

bool SigTreeData::operator==(const SigTreeData& o) const {
    return name == o.name && signalIndex == o.signalIndex && width == o.width && expanded == o.expanded &&
           hidden == o.hidden && colour == o.colour && radixName == o.radixName && radix == o.radix &&
           analog == o.analog && group == o.group && decoder == o.decoder && annotationRow == o.annotationRow &&
           realVar == o.realVar;
}

WaveformModel::WaveformModel(QObject* parent) : QStandardItemModel(0, 3, parent) {
    qRegisterMetaType<SigTreeData>();
    setHorizontalHeaderLabels({QStringLiteral("Bus/Signal"), QStringLiteral("Data"), QString()});
}

QList<QStandardItem*> WaveformModel::makeRow(const SigTreeData& d) {
    auto* name = new QStandardItem(d.name);
    name->setEditable(false);
    if (d.isBus())
        name->setToolTip(QStringLiteral("Bus=%1").arg(d.name));
    auto* data = new QStandardItem;
    data->setData(QVariant::fromValue(d), Qt::DisplayRole);
    data->setEditable(d.isBus());
    auto* wave = new QStandardItem;
    wave->setEditable(false);
    wave->setSelectable(false);
    return {name, data, wave};
}

QList<QStandardItem*> WaveformModel::makeDecoderRow(const DecoderRows& decoder, bool expanded) {
    SigTreeData d(decoder.name, -1, 0, expanded, false);
    d.decoder = decoder.name;
    d.radix = 0;
    QList<QStandardItem*> row = makeRow(d);
    row.at(0)->setToolTip(QStringLiteral("Decoder=%1").arg(decoder.name));
    row.at(1)->setEditable(false);
    for (int r = 0; r < decoder.rows.size(); ++r) {
        SigTreeData a(decoder.rows.at(r), -1, 0, false, false);
        a.decoder = decoder.name;
        a.annotationRow = r;
        a.radix = 0;
        const QList<QStandardItem*> child = makeRow(a);
        child.at(1)->setEditable(false);
        row.at(0)->appendRow(child);
    }
    return row;
}

SigTreeData WaveformModel::rowData(const QModelIndex& index) {
    if (!index.isValid())
        return SigTreeData();
    return index.sibling(index.row(), 1).data(Qt::DisplayRole).value<SigTreeData>();
}

void WaveformModel::setRowData(const QModelIndex& index, const SigTreeData& d) {
    if (index.isValid())
        setData(index.sibling(index.row(), 1), QVariant::fromValue(d), Qt::DisplayRole);
}

void WaveformModel::buildDefaultTree(const QList<QPair<QString, int>>& signalWidths) {
    removeRows(0, rowCount());
    int channel = 0;
    for (const auto& s : signalWidths) {
        const QString enumSet = m_enums.value(s.first);
        if (s.second == 1 && enumSet.isEmpty()) {
            appendRow(makeRow(SigTreeData(s.first, channel++, 1, false, false)));
            continue;
        }
        SigTreeData busData(s.first, -1, s.second, false, false);
        if (!enumSet.isEmpty()) {
            busData.radix = 0;
            busData.radixName = enumSet;
        }
        const QList<QStandardItem*> bus = makeRow(busData);
        // Members carry their channels' names (a one-bit signal's is its own).
        for (int b = s.second - 1; b >= 0; --b)
            bus.at(0)->appendRow(makeRow(SigTreeData(
                s.second == 1 ? s.first : QStringLiteral("%1[%2]").arg(s.first).arg(b), channel++, 1, false, false)));
        appendRow(bus);
    }
}

void WaveformModel::setTrace(std::shared_ptr<const TraceData> trace, const QList<QPair<QString, int>>& signalWidths) {
    const bool sameChannels = m_trace && trace && m_trace->channelNames() == trace->channelNames() && rowCount() > 0;
    beginResetModel();
    m_trace = std::move(trace);
    m_source = m_trace;
    m_tickFs = 0;
    endResetModel();
    if (!sameChannels)
        buildDefaultTree(signalWidths);
    syncDecoderRows();
    startView(!m_cursors.isEmpty());
}

void WaveformModel::setSource(std::shared_ptr<const WaveSource> source,
                              const QList<QPair<QString, int>>& signalWidths) {
    if (auto trace = std::dynamic_pointer_cast<const TraceData>(source)) {
        setTrace(std::move(trace), signalWidths);
        return;
    }
    beginResetModel();
    m_trace.reset();
    m_source = std::move(source);
    m_tickFs = 0;
    endResetModel();
    buildDumpTree();
    if (const auto* dump = dynamic_cast<const ChangeSource*>(m_source.get()))
        clockFromTimescale(dump->store());
    startView(!m_cursors.isEmpty());
}

void WaveformModel::clockFromTimescale(const ChangeStore& store) {
    // A tick is the timescale: the ruler and the measurements read time as
    // they do for a capture with that sample period. Below a picosecond
    // (fs), or past what the period holds, ticks stay counted.
    static const QHash<QString, qint64> kPs{{QStringLiteral("s"), 1000000000000},
                                            {QStringLiteral("ms"), 1000000000},
                                            {QStringLiteral("us"), 1000000},
                                            {QStringLiteral("ns"), 1000},
                                            {QStringLiteral("ps"), 1}};
    const qint64 ps = kPs.value(store.timeUnit, 0) * store.timeMagnitude;
    m_tickFs = store.timeUnit == QLatin1String("fs") ? store.timeMagnitude : ps * 1000;
    m_clockPeriod = 0;
    if (ps > 0 && ps % 1000 == 0 && ps / 1000 <= std::numeric_limits<int>::max()) {
        m_clockPeriod = int(ps / 1000);
        m_clockUnit = QStringLiteral("ns");
    } else if (ps > 0 && ps <= std::numeric_limits<int>::max()) {
        m_clockPeriod = int(ps);
        m_clockUnit = QStringLiteral("ps");
    }
}

void WaveformModel::buildDumpTree() {
    removeRows(0, rowCount());
    const auto* dump = dynamic_cast<const ChangeSource*>(m_source.get());
    if (!dump)
        return;
    const ChangeStore& store = dump->store();
    // A scope's row, made when a variable first needs it; a broken parent
    // chain (a parent index out of range or a loop) ends at the top.
    QHash<int, QStandardItem*> scopeRows;
    std::function<QStandardItem*(int, int)> scopeRow = [&](int scope, int depth) -> QStandardItem* {
        if (scope < 0 || scope >= store.scopes().size() || depth > store.scopes().size())
            return invisibleRootItem();
        if (QStandardItem* made = scopeRows.value(scope))
            return made;
        QStandardItem* parent = scopeRow(store.scopes().at(scope).parent, depth + 1);
        SigTreeData d(store.scopes().at(scope).name, -1, 0, true, false);
        d.group = true;
        const QList<QStandardItem*> row = makeRow(d);
        parent->appendRow(row);
        scopeRows.insert(scope, row.at(0));
        return row.at(0);
    };
    // The channels come variable by variable, a vector's most significant
    // bit first.
    for (int ch = 0; ch < dump->channelCount();) {
        const int v = dump->varOf(ch);
        int end = ch;
        while (end < dump->channelCount() && dump->varOf(end) == v)
            ++end;
        const ChangeStore::Var& var = store.var(v);
        QStandardItem* parent = scopeRow(var.scope, 0);
        const QString name = var.range.isEmpty() || end - ch > 1 ? var.reference : var.reference + var.range;
        if (end - ch == 1) {
            parent->appendRow(makeRow(SigTreeData(name, ch, 1, false, false)));
        } else {
            const QList<QStandardItem*> bus = makeRow(SigTreeData(name, -1, end - ch, false, false));
            for (int b = ch; b < end; ++b)
                bus.at(0)->appendRow(
                    makeRow(SigTreeData(dump->channelName(b).section(QLatin1Char('.'), -1), b, 1, false, false)));
            parent->appendRow(bus);
        }
        ch = end;
    }
    // Real variables: a graph each, in its scope.
    for (int v : dump->realVars()) {
        const ChangeStore::Var& var = store.var(v);
        SigTreeData d(var.reference, -1, 1, false, false);
        d.realVar = v;
        d.analog = true;
        scopeRow(var.scope, 0)->appendRow(makeRow(d));
    }
    // Scopes take the width of what they hold, as buses do.
    refreshBusWidths(invisibleRootItem());
}

void WaveformModel::startView(bool hadCursors) {
    m_cursors.clear();
    m_cursorNames.clear();
    clearRuler();
    const qint64 n = getNumTime();
    m_dataPos = getNumTriggerPos() > 0 ? qBound(qint64(0), qint64(getTriggerPos(0)), qMax(qint64(0), n - 1)) : 0;
    m_viewStart = 0;
    m_viewCount = n;
    emit viewChanged();
    if (hadCursors)
        emit cursorsChanged();
}

void WaveformModel::clearTrace() {
    beginResetModel();
    m_trace.reset();
    m_source.reset();
    m_tickFs = 0;
    endResetModel();
    removeRows(0, rowCount());
    m_viewStart = m_viewCount = m_dataPos = 0;
    clearRuler();
    const bool hadCursors = !m_cursors.isEmpty();
    m_cursors.clear();
    m_cursorNames.clear();
    emit viewChanged();
    if (hadCursors)
        emit cursorsChanged();
}

void WaveformModel::collectChannels(QStandardItem* item, QVector<int>* out) const {
    const QModelIndex idx = item->index();
    const SigTreeData d = rowData(idx);
    if (!item->hasChildren()) {
        if (d.signalIndex >= 0)
            out->append(d.signalIndex);
        return;
    }
    for (int r = 0; r < item->rowCount(); ++r)
        collectChannels(item->child(r, 0), out);
}

QVector<int> WaveformModel::channelsOf(const QModelIndex& index) const {
    QVector<int> out;
    if (QStandardItem* it = itemFromIndex(index.sibling(index.row(), 0)))
        collectChannels(it, &out);
    return out;
}

QString WaveformModel::getBits(const QModelIndex& index, qint64 sample) const {
    return m_source ? m_source->bitsAt(channelsOf(index), sample) : QString();
}

int WaveformModel::getNumTriggerFrame() const {
    return hasData() ? qMax(1, m_trace ? int(m_trace->frameStarts.size()) : 0) : 0;
}

int WaveformModel::getTriggerFrame(int frame) const {
    if (!hasData() || !m_trace || frame < 0 || frame >= m_trace->frameStarts.size())
        return 0;
    return int(m_trace->frameStarts.at(frame));
}

int WaveformModel::getNumTriggerPos() const { return hasData() && m_trace ? int(m_trace->triggerPositions.size()) : 0; }

int WaveformModel::getTriggerPos(int i) const {
    if (!hasData() || !m_trace || i < 0 || i >= m_trace->triggerPositions.size())
        return 0;
    return int(m_trace->triggerPositions.at(i));
}

void WaveformModel::setDataPos(qint64 sample) {
    if (hasData())
        m_dataPos = qBound(qint64(0), sample, getNumTime() - 1);
}

void WaveformModel::setRulerPos(qint64 sample) {
    m_rulerShown = hasData();
    m_rulerPos = m_rulerShown ? qBound(qint64(0), sample, getNumTime() - 1) : 0;
}

QString WaveformModel::freeCursorName() const {
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("C%1").arg(n);
        if (!m_cursorNames.contains(name))
            return name;
    }
}

static bool cursorNameFits(const QString& name, QString* why) {
    if (name.isEmpty() || name.size() > 64) {
        *why = QStringLiteral("a cursor name has 1 to 64 characters");
        return false;
    }
    // By code point: an emoji is two UTF-16 units and one printable
    // character; half of one is no character at all.
    if (!name.isValidUtf16()) {
        *why = QStringLiteral("a cursor name has only printable characters");
        return false;
    }
    for (const char32_t c : name.toUcs4())
        if (!QChar::isPrint(c)) {
            // Control characters would break the ruler's flag and the table.
            *why = QStringLiteral("a cursor name has only printable characters");
            return false;
        }
    return true;
}

bool WaveformModel::addCurPos(qint64 sample, const QString& name) {
    if (!hasData() || sample < 0 || sample >= getNumTime() || m_cursors.contains(sample))
        return false;
    QString why;
    if (!name.isEmpty() && (!cursorNameFits(name, &why) || m_cursorNames.contains(name)))
        return false;
    const auto at = std::lower_bound(m_cursors.begin(), m_cursors.end(), sample) - m_cursors.begin();
    m_cursors.insert(at, sample);
    m_cursorNames.insert(at, name.isEmpty() ? freeCursorName() : name);
    emit cursorsChanged();
    return true;
}

bool WaveformModel::removeCurPos(qint64 sample) {
    if (m_cursors.isEmpty())
        return false;
    int at = -1;
    if (sample < 0) {
        at = 0;
        for (int i = 1; i < m_cursors.size(); ++i)
            if (qAbs(m_cursors.at(i) - m_dataPos) < qAbs(m_cursors.at(at) - m_dataPos))
                at = i;
    } else {
        at = int(m_cursors.indexOf(sample));
    }
    if (at < 0)
        return false;
    m_cursors.removeAt(at);
    m_cursorNames.removeAt(at);
    emit cursorsChanged();
    return true;
}

void WaveformModel::clearCurPos() {
    if (m_cursors.isEmpty())
        return;
    m_cursors.clear();
    m_cursorNames.clear();
    emit cursorsChanged();
}

QString WaveformModel::cursorName(qint64 sample) const {
    const qsizetype i = m_cursors.indexOf(sample);
    return i < 0 ? QString() : m_cursorNames.at(i);
}

qint64 WaveformModel::cursorNamed(const QString& name) const {
    const qsizetype i = m_cursorNames.indexOf(name);
    return i < 0 ? -1 : m_cursors.at(i);
}

QList<QPair<QString, qint64>> WaveformModel::cursors() const {
    QList<QPair<QString, qint64>> out;
    for (int i = 0; i < m_cursors.size(); ++i)
        out.append({m_cursorNames.at(i), m_cursors.at(i)});
    return out;
}

bool WaveformModel::renameCurPos(qint64 sample, const QString& name, QString* error) {
    const qsizetype i = m_cursors.indexOf(sample);
    if (i < 0) {
        *error = QStringLiteral("there is no cursor at sample %1").arg(sample);
        return false;
    }
    if (!cursorNameFits(name, error))
        return false;
    if (m_cursorNames.at(i) == name)
        return true;
    if (m_cursorNames.contains(name)) {
        *error = QStringLiteral("a cursor named \"%1\" exists").arg(name);
        return false;
    }
    m_cursorNames[i] = name;
    emit cursorsChanged();
    return true;
}

bool WaveformModel::moveCurPos(qint64 from, qint64 to) {
    const qsizetype i = m_cursors.indexOf(from);
    if (i < 0 || !hasData() || to < 0 || to >= getNumTime() || (to != from && m_cursors.contains(to)))
        return false;
    const QString name = m_cursorNames.at(i);
    m_cursors.removeAt(i);
    m_cursorNames.removeAt(i);
    const auto at = std::lower_bound(m_cursors.begin(), m_cursors.end(), to) - m_cursors.begin();
    m_cursors.insert(at, to);
    m_cursorNames.insert(at, name);
    emit cursorsChanged();
    return true;
}

qint64 WaveformModel::nextCurPos(qint64 sample, bool forward) const {
    if (forward) {
        const auto it = std::upper_bound(m_cursors.begin(), m_cursors.end(), sample);
        return it == m_cursors.end() ? -1 : *it;
    }
    const auto it = std::lower_bound(m_cursors.begin(), m_cursors.end(), sample);
    return it == m_cursors.begin() ? -1 : *(it - 1);
}

qint64 WaveformModel::minCount(int width) const {
    // At most 32 pixels per sample: closer than that shows nothing new.
    return qBound(qint64(1), qint64(width / 32), qMax(qint64(1), getNumTime()));
}

void WaveformModel::setWindow(qint64 start, qint64 count, int width) {
    const qint64 n = getNumTime();
    if (n <= 0)
        return;
    count = qBound(qMin(minCount(width), n), count, n);
    start = qBound(qint64(0), start, n - count);
    m_viewStart = start;
    m_viewCount = count;
    m_panLimit = width > 0 ? double(width) / count : 5.0;
    emit viewChanged();
}

static qint64 centreOf(qint64 start, qint64 count, qint64 dataPos) {
    return dataPos >= start && dataPos < start + count ? dataPos : start + count / 2;
}

void WaveformModel::zoomIn(int width) {
    if (!hasData())
        return;
    const qint64 c = centreOf(m_viewStart, m_viewCount, m_dataPos);
    const qint64 count = qMax(qint64(1), m_viewCount / 2);
    setWindow(c - count / 2, count, width);
}

void WaveformModel::zoomOut(int width) {
    if (!hasData())
        return;
    const qint64 c = centreOf(m_viewStart, m_viewCount, m_dataPos);
    const qint64 count = qMin(m_viewCount * 2, getNumTime());
    setWindow(c - count / 2, count, width);
}

void WaveformModel::zoomFit(int width) { setWindow(0, getNumTime(), width); }

void WaveformModel::zoomTrigger(int width, int frame) {
    if (!hasData())
        return;
    const int frames = getNumTriggerFrame();
    frame = qBound(0, frame, frames - 1);
    const qint64 start = getTriggerFrame(frame);
    const qint64 end = frame + 1 < getNumTriggerFrame() && m_trace ? getTriggerFrame(frame + 1) : getNumTime();
    if (frame < getNumTriggerPos())
        setDataPos(getTriggerPos(frame));
    setWindow(start, end - start, width);
}

void WaveformModel::zoomPos(int width, qint64 sample, bool setData) {
    if (!hasData())
        return;
    sample = qBound(qint64(0), sample, getNumTime() - 1);
    if (setData)
        m_dataPos = sample;
    const qint64 count = m_viewCount > 0 ? m_viewCount : getNumTime();
    setWindow(sample - count / 2, count, width);
}

void WaveformModel::zoomBox(int width, qint64 centre, qint64 span) {
    if (!hasData() || span <= 0)
        return;
    setWindow(centre - span / 2, span, width);
}

void WaveformModel::moveLeft(int width) {
    if (hasData())
        setWindow(m_viewStart - qMax(qint64(1), m_viewCount / 4), m_viewCount, width);
}

void WaveformModel::moveRight(int width) {
    if (hasData())
        setWindow(m_viewStart + qMax(qint64(1), m_viewCount / 4), m_viewCount, width);
}

void WaveformModel::moveLeftEnd(int width) {
    if (hasData())
        setWindow(0, m_viewCount, width);
}

void WaveformModel::moveRightEnd(int width) {
    if (hasData())
        setWindow(getNumTime() - m_viewCount, m_viewCount, width);
}

void WaveformModel::refreshBusWidths(QStandardItem* parent) {
    for (int r = 0; r < parent->rowCount(); ++r) {
        QStandardItem* child = parent->child(r, 0);
        if (!child)
            continue;
        SigTreeData d = rowData(child->index());
        if (!d.isBus())
            continue;
        refreshBusWidths(child);
        QVector<int> ch;
        collectChannels(child, &ch);
        if (d.width != ch.size()) {
            d.width = ch.size();
            setRowData(child->index(), d);
        }
    }
}

QStandardItem* WaveformModel::dropItem(const QModelIndex& source, const QModelIndex& parent, int row) {
    if (!source.isValid() || source.model() != this)
        return nullptr;
    const QModelIndex src = source.sibling(source.row(), 0);
    const QModelIndex dst = parent.isValid() ? parent.sibling(parent.row(), 0) : QModelIndex();
    for (QModelIndex p = dst; p.isValid(); p = p.parent())
        if (p == src)
            return nullptr; // into itself
    if (dst.isValid() && !rowData(dst).isBus())
        return nullptr;
    const SigTreeData moving = rowData(src);
    if (moving.isAnnotation() || (moving.isDecoder() && dst.isValid()))
        return nullptr;
    QStandardItem* from = src.parent().isValid() ? itemFromIndex(src.parent()) : invisibleRootItem();
    QStandardItem* to = dst.isValid() ? itemFromIndex(dst) : invisibleRootItem();
    const QList<QStandardItem*> items = from->takeRow(src.row());
    if (items.isEmpty())
        return nullptr;
    if (row < 0 || row > to->rowCount())
        row = to->rowCount();
    to->insertRow(row, items);
    // A bus that lost its last member goes.
    if (from != invisibleRootItem() && from != to && from->rowCount() == 0) {
        QStandardItem* grand = from->parent() ? from->parent() : invisibleRootItem();
        grand->removeRow(from->row());
    }
    refreshBusWidths(invisibleRootItem());
    return items.at(0);
}

QStandardItem* WaveformModel::pasteItems(const QList<QStandardItem*>& items, QStandardItem* parent, int row) {
    if (items.isEmpty() || !items.at(0))
        return nullptr;
    const bool decoderCopy =
        items.size() > 1 && items.at(1) && items.at(1)->data(Qt::DisplayRole).value<SigTreeData>().isDecoderPart();
    if (decoderCopy || (parent && rowData(parent->index()).isDecoderPart()))
        return nullptr;
    QList<QStandardItem*> row3 = items;
    while (row3.size() < 3)
        row3.append(new QStandardItem);
    QStandardItem* to = parent ? parent : invisibleRootItem();
    if (row < 0 || row > to->rowCount())
        row = to->rowCount();
    to->insertRow(row, row3);
    refreshBusWidths(invisibleRootItem());
    return row3.at(0);
}

// bits + 1, as wide as bits (the carry out of the top is dropped).
static QString plusOne(QString bits) {
    for (qsizetype i = bits.size() - 1; i >= 0; --i) {
        if (bits.at(i) == QLatin1Char('0')) {
            bits[i] = QLatin1Char('1');
            return bits;
        }
        bits[i] = QLatin1Char('0');
    }
    return bits;
}

// A digit of bits holding x or z: z when all of them are z (a released
// bus), else x (nothing certain about the digit).
static QChar unknownDigit(QStringView bits) {
    for (const QChar c : bits)
        if (c != QLatin1Char('z'))
            return QLatin1Char('x');
    return QLatin1Char('z');
}

QString WaveformModel::radixText(const QString& bits, int radix) {
    const int n = bits.size();
    // A dump's unknown or floating bits: shown digit by digit where a digit
    // stands for whole bits, else the whole value is unknown.
    const bool fourState = bits.contains(QLatin1Char('x')) || bits.contains(QLatin1Char('z'));
    if (fourState && radix != 2 && radix != 8 && radix != 16)
        return unknownDigit(bits) == QLatin1Char('z') ? QStringLiteral("Z") : QStringLiteral("X");
    if (radix == SigTreeData::Signed) {
        if (n == 0 || bits.at(0) != QLatin1Char('1'))
            return radixText(bits, 10);
        // Negative: the magnitude is the two's complement of the bits.
        QString inverted(bits);
        for (QChar& c : inverted)
            c = c == QLatin1Char('1') ? QLatin1Char('0') : QLatin1Char('1');
        const QString magnitude = plusOne(inverted);
        // -2^(n-1) has no positive counterpart in n bits: its magnitude
        // reads back as the same pattern, read unsigned it is right.
        return QLatin1Char('-') + radixText(magnitude, 10);
    }
    if (radix == SigTreeData::Ascii) {
        QString out;
        out.reserve(n / 8 + 1);
        int first = n % 8 ? n % 8 : 8;
        for (int i = 0; i < n;) {
            int v = 0;
            for (int k = 0; k < first; ++k, ++i)
                v = v * 2 + (bits.at(i) == QLatin1Char('1'));
            out += v >= 0x20 && v < 0x7F ? QChar(v) : QLatin1Char('.');
            first = 8;
        }
        return out;
    }
    if (radix == 2)
        return bits;
    if (radix == 8 || radix == 16) {
        const int g = radix == 8 ? 3 : 4;
        QString out;
        out.reserve(n / g + 1);
        int first = n % g ? n % g : g;
        for (int i = 0; i < n;) {
            const QStringView digit = QStringView(bits).mid(i, first);
            if (fourState && (digit.contains(QLatin1Char('x')) || digit.contains(QLatin1Char('z')))) {
                out += unknownDigit(digit);
                i += first;
                first = g;
                continue;
            }
            int v = 0;
            for (int k = 0; k < first; ++k, ++i)
                v = v * 2 + (bits.at(i) == QLatin1Char('1'));
            out += QLatin1Char("0123456789ABCDEF"[v]);
            first = g;
        }
        return out;
    }
    if (radix == 10) {
        QVector<quint64> w = bitsToWords(bits);
        QString out;
        const quint64 chunk = 1000000000000000000ull; // 10^18
        bool zero = false;
        while (!zero) {
            unsigned __int128 rem = 0;
            zero = true;
            for (int i = w.size() - 1; i >= 0; --i) {
                const unsigned __int128 cur = (rem << 64) | w[i];
                w[i] = quint64(cur / chunk);
                rem = cur % chunk;
                zero &= w[i] == 0;
            }
            QString part = QString::number(quint64(rem));
            if (!zero)
                part = part.rightJustified(18, QLatin1Char('0'));
            out.prepend(part);
        }
        return out;
    }
    return QString();
}

const QList<QPair<int, QString>>& WaveformModel::radixWords() {
    static const QList<QPair<int, QString>> words{
        {SigTreeData::Bin, QStringLiteral("Bin")},       {SigTreeData::Oct, QStringLiteral("Oct")},
        {SigTreeData::Dec, QStringLiteral("Dec")},       {SigTreeData::Hex, QStringLiteral("Hex")},
        {SigTreeData::Signed, QStringLiteral("Signed")}, {SigTreeData::Ascii, QStringLiteral("ASCII")}};
    return words;
}

QString WaveformModel::radixWord(int radix) {
    for (const auto& w : radixWords())
        if (w.first == radix)
            return w.second;
    return QString();
}

int WaveformModel::radixOfWord(const QString& word) {
    for (const auto& w : radixWords())
        if (w.second == word)
            return w.first;
    return 0;
}

bool WaveformModel::parseRadixValue(const QString& value, int radix, int width, QString* bits, QString* error) {
    const QString v = value.trimmed();
    if (width < 1 || width > 65536) {
        *error = QStringLiteral("a width of %1 bits cannot hold a value").arg(width);
        return false;
    }
    if (radix == SigTreeData::Ascii) {
        const int bytes = (width + 7) / 8;
        if (v.size() != bytes) {
            *error =
                QStringLiteral("\"%1\" is not %2 character(s), one per byte of %3 bits").arg(v).arg(bytes).arg(width);
            return false;
        }
        QString out;
        for (int i = 0; i < bytes; ++i) {
            const ushort c = v.at(i).unicode();
            if (c < 0x20 || c >= 0x7F) {
                *error = QStringLiteral("\"%1\" holds a character that is not printable ASCII").arg(v);
                return false;
            }
            const int keep = i == 0 && width % 8 ? width % 8 : 8;
            if (keep < 8 && (c >> keep)) {
                *error = QStringLiteral("\"%1\" does not fit in %2 bits").arg(v).arg(width);
                return false;
            }
            for (int b = keep - 1; b >= 0; --b)
                out += (c >> b) & 1 ? QLatin1Char('1') : QLatin1Char('0');
        }
        *bits = out;
        return true;
    }
    if (radix != SigTreeData::Signed) {
        *error = QStringLiteral("radix %1 is not Signed or ASCII").arg(radix);
        return false;
    }
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)$"));
    if (!number.match(v).hasMatch() || v == QLatin1String("-0")) {
        *error = QStringLiteral("\"%1\" is not a signed decimal number").arg(v);
        return false;
    }
    const bool negative = v.startsWith(QLatin1Char('-'));
    // The magnitude in binary, by repeated halving of the decimal digits.
    QString digits = negative ? v.mid(1) : v;
    QString magnitude;
    while (digits != QLatin1String("0") && magnitude.size() <= width + 1) {
        QString half;
        int carry = 0;
        for (const QChar d : digits) {
            const int cur = carry * 10 + (d.unicode() - '0');
            if (!half.isEmpty() || cur / 2)
                half += QChar('0' + cur / 2);
            carry = cur % 2;
        }
        magnitude.prepend(carry ? QLatin1Char('1') : QLatin1Char('0'));
        digits = half.isEmpty() ? QStringLiteral("0") : half;
    }
    // In range: 0 .. 2^(w-1) - 1, or down to -2^(w-1).
    const bool fits =
        negative ? magnitude.size() < width || (magnitude.size() == width && magnitude.indexOf(QLatin1Char('1'), 1) < 0)
                 : magnitude.size() < width;
    if (digits != QLatin1String("0") || !fits) {
        *error = QStringLiteral("%1 does not fit in %2 bits as a signed number").arg(v).arg(width);
        return false;
    }
    QString out = magnitude.rightJustified(width, QLatin1Char('0'));
    if (negative) {
        for (QChar& c : out)
            c = c == QLatin1Char('1') ? QLatin1Char('0') : QLatin1Char('1');
        out = plusOne(out);
    }
    *bits = out;
    return true;
}

// ---------------------------------------------------------------------------
// Layout

static QJsonObject rowLayout(const WaveformModel* m, QStandardItem* item, const TraceData* trace) {
    const SigTreeData d = WaveformModel::rowData(item->index());
    QJsonObject o;
    if (d.isDecoderPart()) // its annotation rows are its decoder's
        return QJsonObject{{QStringLiteral("decoder"), d.decoder}, {QStringLiteral("expanded"), d.expanded}};
    o.insert(QStringLiteral("name"), d.name);
    if (d.colour.isValid())
        o.insert(QStringLiteral("colour"), d.colour.name());
    if (d.isBus()) {
        o.insert(QStringLiteral("expanded"), d.expanded);
        if (!d.radixName.isEmpty())
            o.insert(QStringLiteral("radix"), d.radixName);
        else
            o.insert(QStringLiteral("radix"), d.radix);
        if (d.analog)
            o.insert(QStringLiteral("analog"), true);
        QJsonArray children;
        for (int r = 0; r < item->rowCount(); ++r)
            children.append(rowLayout(m, item->child(r, 0), trace));
        o.insert(QStringLiteral("members"), children);
    } else if (trace) {
        o.insert(QStringLiteral("channel"), trace->channelNames().value(d.signalIndex));
    }
    return o;
}

QJsonObject WaveformModel::layout() const {
    QJsonArray rows;
    if (!m_trace)
        return QJsonObject();
    for (int r = 0; r < rowCount(); ++r)
        rows.append(rowLayout(this, item(r, 0), m_trace.get()));
    QJsonObject out{{QStringLiteral("rows"), rows}};
    if (!m_cursors.isEmpty()) {
        QJsonArray cursors;
        for (int i = 0; i < m_cursors.size(); ++i)
            cursors.append(QJsonObject{{QStringLiteral("name"), m_cursorNames.at(i)},
                                       {QStringLiteral("sample"), double(m_cursors.at(i))}});
        out.insert(QStringLiteral("cursors"), cursors);
    }
    return out;
}

static QList<QStandardItem*> restoreRow(const QJsonObject& o, const TraceData* trace, int depth) {
    const QString name = o.value(QLatin1String("name")).toString();
    if (name.isEmpty() || name.size() > 256 || depth > 16)
        return {};
    const QColor colour(o.value(QLatin1String("colour")).toString());
    if (o.contains(QLatin1String("members"))) {
        SigTreeData d(name, -1, 0, o.value(QLatin1String("expanded")).toBool(), false,
                      colour.isValid() ? colour : QColor());
        const QJsonValue rv = o.value(QLatin1String("radix"));
        if (rv.isString()) {
            d.radixName = rv.toString();
            d.radix = 0;
        } else {
            const int r = rv.toInt(16);
            d.radix = WaveformModel::radixWord(r).isEmpty() ? 16 : r;
        }
        d.analog = o.value(QLatin1String("analog")).toBool();
        QList<QStandardItem*> bus = WaveformModel::makeRow(d);
        for (const QJsonValue& c : o.value(QLatin1String("members")).toArray()) {
            const QList<QStandardItem*> child = restoreRow(c.toObject(), trace, depth + 1);
            if (!child.isEmpty())
                bus.at(0)->appendRow(child);
        }
        if (bus.at(0)->rowCount() == 0) {
            qDeleteAll(bus);
            return {};
        }
        return bus;
    }
    const int ch = trace->channelOf(o.value(QLatin1String("channel")).toString());
    if (ch < 0)
        return {};
    return WaveformModel::makeRow(SigTreeData(name, ch, 1, false, false, colour.isValid() ? colour : QColor()));
}

void WaveformModel::restoreCursors(const QJsonArray& cursors) {
    // Cursors past the capture or named twice are left out, as rows naming
    // unknown channels are; at most as many as a hand could place.
    int taken = 0;
    for (const QJsonValue& v : cursors) {
        if (taken >= 1000)
            break;
        const QJsonObject o = v.toObject();
        const QJsonValue sample = o.value(QLatin1String("sample"));
        // A whole number of samples, as written: integers a double holds
        // exactly (a dump's ticks pass int).
        const double d = sample.toDouble(-1.0);
        if (!sample.isDouble() || !(d >= 0.0 && d <= 9007199254740992.0) || d != std::floor(d))
            continue;
        taken += addCurPos(qint64(d), o.value(QLatin1String("name")).toString()) ? 1 : 0;
    }
}

void WaveformModel::restoreLayout(const QJsonObject& layout) {
    if (m_trace)
        restoreCursors(layout.value(QLatin1String("cursors")).toArray());
    const QJsonArray rows = layout.value(QLatin1String("rows")).toArray();
    if (!m_trace || rows.isEmpty())
        return;
    QList<QList<QStandardItem*>> built;
    int signalRows = 0;
    for (const QJsonValue& v : rows) {
        const QJsonObject o = v.toObject();
        if (o.contains(QLatin1String("decoder"))) {
            // A decoder's place; one it no longer has is left out.
            const int at = decoderIndex(o.value(QLatin1String("decoder")).toString());
            if (at >= 0)
                built.append(makeDecoderRow(m_decoders.at(at), o.value(QLatin1String("expanded")).toBool(true)));
            continue;
        }
        const QList<QStandardItem*> r = restoreRow(o, m_trace.get(), 0);
        if (!r.isEmpty()) {
            built.append(r);
            ++signalRows;
        }
    }
    if (signalRows == 0) {
        for (const auto& r : built)
            qDeleteAll(r);
        return;
    }
    removeRows(0, rowCount());
    for (const auto& r : built)
        appendRow(r);
    refreshBusWidths(invisibleRootItem());
    // A decoder named twice keeps its first place; one not named (a file
    // from before decoders had rows) goes at the end.
    syncDecoderRows();
}

// ---------------------------------------------------------------------------
// Decoder rows

int WaveformModel::decoderIndex(const QString& name) const {
    for (int i = 0; i < m_decoders.size(); ++i)
        if (m_decoders.at(i).name == name)
            return i;
    return -1;
}

QModelIndex WaveformModel::decoderRow(const QString& name) const {
    for (int r = 0; r < rowCount(); ++r) {
        const SigTreeData d = rowData(index(r, 0));
        if (d.isDecoder() && d.decoder == name)
            return index(r, 0);
    }
    return QModelIndex();
}

QModelIndex WaveformModel::rowNamed(const QString& name) const {
    std::function<QModelIndex(const QModelIndex&)> find = [&](const QModelIndex& parent) {
        for (int r = 0; r < rowCount(parent); ++r) {
            const QModelIndex idx = index(r, 0, parent);
            const SigTreeData d = rowData(idx);
            if (d.isDecoderPart())
                continue;
            if (d.name == name)
                return idx;
            const QModelIndex inner = find(idx);
            if (inner.isValid())
                return inner;
        }
        return QModelIndex();
    };
    return find(QModelIndex());
}

void WaveformModel::setAnnotationRows(QStandardItem* row, const DecoderRows& decoder) {
    bool same = row->rowCount() == decoder.rows.size();
    for (int r = 0; same && r < row->rowCount(); ++r)
        same = row->child(r, 0) && row->child(r, 0)->text() == decoder.rows.at(r);
    if (same)
        return;
    row->removeRows(0, row->rowCount());
    const QList<QStandardItem*> fresh = makeDecoderRow(decoder, false);
    while (fresh.at(0)->rowCount() > 0)
        row->appendRow(fresh.at(0)->takeRow(0));
    qDeleteAll(fresh);
}

void WaveformModel::syncDecoderRows() {
    if (!m_trace)
        return;
    QSet<QString> placed;
    for (int r = 0; r < rowCount();) {
        const SigTreeData d = rowData(index(r, 0));
        if (!d.isDecoderPart()) {
            ++r;
            continue;
        }
        const int at = decoderIndex(d.decoder);
        if (!d.isDecoder() || at < 0 || placed.contains(d.decoder)) {
            removeRow(r);
            continue;
        }
        placed.insert(d.decoder);
        setAnnotationRows(item(r, 0), m_decoders.at(at));
        ++r;
    }
    for (const DecoderRows& dec : std::as_const(m_decoders))
        if (!placed.contains(dec.name))
            appendRow(makeDecoderRow(dec, true));
}

void WaveformModel::setDecoders(const QVector<DecoderRows>& decoders) {
    if (decoders == m_decoders)
        return;
    m_decoders = decoders;
    syncDecoderRows();
}

void WaveformModel::renameDecoder(const QString& from, const QString& to) {
    const int at = decoderIndex(from);
    if (at < 0 || from == to || decoderIndex(to) >= 0)
        return;
    m_decoders[at].name = to;
    const QModelIndex row = decoderRow(from);
    if (!row.isValid())
        return;
    QStandardItem* it = itemFromIndex(row);
    it->setText(to);
    it->setToolTip(QStringLiteral("Decoder=%1").arg(to));
    SigTreeData d = rowData(row);
    d.name = d.decoder = to;
    setRowData(row, d);
    for (int r = 0; r < it->rowCount(); ++r) {
        const QModelIndex child = index(r, 0, row);
        SigTreeData a = rowData(child);
        a.decoder = to;
        setRowData(child, a);
    }
}

void WaveformModel::orderDecoderRows() {
    QList<int> places;
    QHash<QString, QList<QStandardItem*>> taken;
    for (int r = 0; r < rowCount(); ++r)
        if (rowData(index(r, 0)).isDecoder())
            places.append(r);
    for (int i = int(places.size()) - 1; i >= 0; --i) {
        const QList<QStandardItem*> row = takeRow(places.at(i));
        taken.insert(row.at(1)->data(Qt::DisplayRole).value<SigTreeData>().decoder, row);
    }
    int next = 0;
    for (const DecoderRows& dec : std::as_const(m_decoders))
        if (taken.contains(dec.name) && next < places.size())
            insertRow(places.at(next++), taken.take(dec.name));
    for (auto& rest : taken) // not listed: cannot be, but nothing is lost
        appendRow(rest);
}
