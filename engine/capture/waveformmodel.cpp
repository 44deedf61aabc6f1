#include "waveformmodel.h"

#include "bitwords.h"

#include <QJsonArray>
#include <algorithm>

SigTreeData::SigTreeData(const QString& n, int index, int w, bool exp, bool hid, const QColor& c)
    : name(n), signalIndex(index), width(w), expanded(exp), hidden(hid), colour(c) {}

bool SigTreeData::operator==(const SigTreeData& o) const {
    return name == o.name && signalIndex == o.signalIndex && width == o.width && expanded == o.expanded &&
           hidden == o.hidden && colour == o.colour && radixName == o.radixName && radix == o.radix;
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
    endResetModel();
    if (!sameChannels)
        buildDefaultTree(signalWidths);
    m_cursors.clear();
    clearRuler();
    const int n = getNumTime();
    m_dataPos = getNumTriggerPos() > 0 ? qBound(0, getTriggerPos(0), qMax(0, n - 1)) : 0;
    m_viewStart = 0;
    m_viewCount = n;
    emit viewChanged();
}

void WaveformModel::clearTrace() {
    beginResetModel();
    m_trace.reset();
    endResetModel();
    removeRows(0, rowCount());
    m_viewStart = m_viewCount = m_dataPos = 0;
    clearRuler();
    m_cursors.clear();
    emit viewChanged();
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

QString WaveformModel::getBits(const QModelIndex& index, int sample) const {
    return m_trace ? m_trace->bits(channelsOf(index), sample) : QString();
}

int WaveformModel::getNumTriggerFrame() const { return hasData() ? qMax(1, int(m_trace->frameStarts.size())) : 0; }

int WaveformModel::getTriggerFrame(int frame) const {
    if (!hasData() || frame < 0 || frame >= m_trace->frameStarts.size())
        return 0;
    return int(m_trace->frameStarts.at(frame));
}

int WaveformModel::getNumTriggerPos() const { return hasData() ? int(m_trace->triggerPositions.size()) : 0; }

int WaveformModel::getTriggerPos(int i) const {
    if (!hasData() || i < 0 || i >= m_trace->triggerPositions.size())
        return 0;
    return int(m_trace->triggerPositions.at(i));
}

void WaveformModel::setDataPos(int sample) {
    if (hasData())
        m_dataPos = qBound(0, sample, getNumTime() - 1);
}

void WaveformModel::setRulerPos(int sample) {
    m_rulerShown = hasData();
    m_rulerPos = m_rulerShown ? qBound(0, sample, getNumTime() - 1) : 0;
}

bool WaveformModel::addCurPos(int sample) {
    if (!hasData() || sample < 0 || sample >= getNumTime() || m_cursors.contains(sample))
        return false;
    m_cursors.insert(std::lower_bound(m_cursors.begin(), m_cursors.end(), sample), sample);
    return true;
}

bool WaveformModel::removeCurPos(int sample) {
    if (m_cursors.isEmpty())
        return false;
    if (sample < 0) {
        int best = 0;
        for (int i = 1; i < m_cursors.size(); ++i)
            if (qAbs(qint64(m_cursors.at(i)) - m_dataPos) < qAbs(qint64(m_cursors.at(best)) - m_dataPos))
                best = i;
        m_cursors.removeAt(best);
        return true;
    }
    return m_cursors.removeOne(sample);
}

void WaveformModel::clearCurPos() { m_cursors.clear(); }

int WaveformModel::minCount(int width) const {
    // At most 32 pixels per sample: closer than that shows nothing new.
    return qBound(1, width / 32, qMax(1, getNumTime()));
}

void WaveformModel::setWindow(int start, int count, int width) {
    const int n = getNumTime();
    if (n <= 0)
        return;
    count = qBound(qMin(minCount(width), n), count, n);
    start = qBound(0, start, n - count);
    m_viewStart = start;
    m_viewCount = count;
    m_panLimit = width > 0 ? double(width) / count : 5.0;
    emit viewChanged();
}

static int centreOf(int start, int count, int dataPos) {
    return dataPos >= start && dataPos < start + count ? dataPos : start + count / 2;
}

void WaveformModel::zoomIn(int width) {
    if (!hasData())
        return;
    const int c = centreOf(m_viewStart, m_viewCount, m_dataPos);
    const int count = qMax(1, m_viewCount / 2);
    setWindow(c - count / 2, count, width);
}

void WaveformModel::zoomOut(int width) {
    if (!hasData())
        return;
    const int c = centreOf(m_viewStart, m_viewCount, m_dataPos);
    const int count = int(qMin<qint64>(qint64(m_viewCount) * 2, getNumTime()));
    setWindow(c - count / 2, count, width);
}

void WaveformModel::zoomFit(int width) { setWindow(0, getNumTime(), width); }

void WaveformModel::zoomTrigger(int width, int frame) {
    if (!hasData())
        return;
    const int frames = getNumTriggerFrame();
    frame = qBound(0, frame, frames - 1);
    const int start = getTriggerFrame(frame);
    const int end = frame + 1 < m_trace->frameStarts.size() ? getTriggerFrame(frame + 1) : getNumTime();
    if (frame < getNumTriggerPos())
        setDataPos(getTriggerPos(frame));
    setWindow(start, end - start, width);
}

void WaveformModel::zoomPos(int width, int sample, bool setData) {
    if (!hasData())
        return;
    sample = qBound(0, sample, getNumTime() - 1);
    if (setData)
        m_dataPos = sample;
    const int count = m_viewCount > 0 ? m_viewCount : getNumTime();
    setWindow(sample - count / 2, count, width);
}

void WaveformModel::zoomBox(int width, int centre, int span) {
    if (!hasData() || span <= 0)
        return;
    setWindow(centre - span / 2, span, width);
}

void WaveformModel::moveLeft(int width) {
    if (hasData())
        setWindow(m_viewStart - qMax(1, m_viewCount / 4), m_viewCount, width);
}

void WaveformModel::moveRight(int width) {
    if (hasData())
        setWindow(m_viewStart + qMax(1, m_viewCount / 4), m_viewCount, width);
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

QString WaveformModel::radixText(const QString& bits, int radix) {
    const int n = bits.size();
    if (radix == 2)
        return bits;
    if (radix == 8 || radix == 16) {
        const int g = radix == 8 ? 3 : 4;
        QString out;
        out.reserve(n / g + 1);
        int first = n % g ? n % g : g;
        for (int i = 0; i < n;) {
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

// ---------------------------------------------------------------------------
// Layout

static QJsonObject rowLayout(const WaveformModel* m, QStandardItem* item, const TraceData* trace) {
    const SigTreeData d = WaveformModel::rowData(item->index());
    QJsonObject o;
    o.insert(QStringLiteral("name"), d.name);
    if (d.colour.isValid())
        o.insert(QStringLiteral("colour"), d.colour.name());
    if (d.isBus()) {
        o.insert(QStringLiteral("expanded"), d.expanded);
        if (!d.radixName.isEmpty())
            o.insert(QStringLiteral("radix"), d.radixName);
        else
            o.insert(QStringLiteral("radix"), d.radix);
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
    return QJsonObject{{QStringLiteral("rows"), rows}};
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
            d.radix = (r == 2 || r == 8 || r == 10) ? r : 16;
        }
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

void WaveformModel::restoreLayout(const QJsonObject& layout) {
    const QJsonArray rows = layout.value(QLatin1String("rows")).toArray();
    if (!m_trace || rows.isEmpty())
        return;
    QList<QList<QStandardItem*>> built;
    QSet<int> seen;
    for (const QJsonValue& v : rows) {
        const QList<QStandardItem*> r = restoreRow(v.toObject(), m_trace.get(), 0);
        if (!r.isEmpty())
            built.append(r);
    }
    if (built.isEmpty())
        return;
    removeRows(0, rowCount());
    for (const auto& r : built)
        appendRow(r);
    refreshBusWidths(invisibleRootItem());
}
