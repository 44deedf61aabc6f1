#include "waveform/waveformdelegate.h"

#include "waveform/annotationpainter.h"
#include "waveform/comparepainter.h"
#include "waveform/waveanalog.h"
#include "waveform/waveformpainter.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "basgui/basehelp.h"
#include "changesource.h"
#include "basgui/directcombobox.h"
#include "decoderset.h"
#include "onadata.h"
#include "theme/themesetting.h"
#include "tokenmodel.h"
#include "waveformmodel.h"

#include <QApplication>
#include <QPainter>
#include <QPolygon>
#include <QStandardItemModel>

namespace vemo::toolona {

namespace {

// The radix words, in the order the combo offers them.
const QStringList& radixList() {
    static const QStringList list = [] {
        QStringList l;
        for (const auto& w : WaveformModel::radixWords())
            l << w.second;
        return l;
    }();
    return list;
}

BusFormat formatOf(const SigTreeData& d) {
    BusFormat f;
    f.radix = d.radix;
    f.radixName = d.radixName;
    f.width = d.width;
    f.token = &OnaData::matchToken;
    return f;
}

// The widest text a value of `width` bits can read as in `radix`.
int widestNumber(const QFontMetrics& fm, int width, int radix) {
    static const QString digits = QStringLiteral("0123456789ABCDEF");
    int count = 0;
    switch (radix) {
        case SigTreeData::Signed:
            // The sign and the digits of 2^(width - 1).
            return fm.horizontalAdvance(QLatin1Char('-')) + widestNumber(fm, qMax(1, width - 1), 10);
        case SigTreeData::Ascii:
            return fm.horizontalAdvance(QLatin1Char('W')) * ((width + 7) / 8);
        case 2:
            count = width;
            break;
        case 8:
            count = (width + 2) / 3;
            break;
        case 10:
            count = int(width * 0.30103) + 1; // digits of 2^width - 1
            break;
        case 16:
            count = (width + 3) / 4;
            break;
        default:
            return 0;
    }
    int widest = 0;
    for (int i = 0; i < radix && i < digits.size(); ++i)
        widest = qMax(widest, fm.horizontalAdvance(digits.at(i)));
    return widest * count;
}

// The widest text of a value under the token set `set`: a token's name, or
// the number a value without a token reads as.
int widestToken(const QFontMetrics& fm, int width, const QString& set) {
    const bool isEnum = set.startsWith(QLatin1String("ONL_"));
    int widest = widestNumber(fm, width, set.startsWith(QLatin1String("ONL_INT")) ? 10 : 16);
    const TokenModel* tokens = OnaData::inst()->getTokenModel();
    for (const TokenSetData& s : tokens->sets(isEnum ? QStringLiteral("ENUM") : QStringLiteral("user")))
        if (s.name == set)
            for (const auto& t : s.tokens)
                widest = qMax(widest, fm.horizontalAdvance(t.first));
    return widest;
}

// A decoder's error, readable on the light and the dark background.
const QColor kErrorColour(0xff, 0x50, 0x50);

bool holdsRow(const QModelIndex& index) {
    return index.siblingAtColumn(1).data(Qt::DisplayRole).canConvert<SigTreeData>() &&
           index.siblingAtColumn(1).data(Qt::DisplayRole).userType() == qMetaTypeId<SigTreeData>();
}

} // namespace

WaveformDelegate::WaveformDelegate(WaveformView* page) : QStyledItemDelegate(page), m_page(page) {}

WaveformModel* WaveformDelegate::model() const { return m_page ? m_page->waveformModel() : nullptr; }

QSize WaveformDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize base = QStyledItemDelegate::sizeHint(option, index) + QSize(0, 10);
    // An analog bus is drawn as a graph: its row is taller.
    if (holdsRow(index) && WaveformModel::rowData(index).analog)
        return base + QSize(0, kAnalogExtraHeight);
    return base;
}

void WaveformDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.column() == 1) {
        paintData(painter, option, index);
        return;
    }
    if (index.column() == 0) {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        // Every bus carries the bus icon, also those the engine built.
        if (opt.icon.isNull() && holdsRow(index) && WaveformModel::rowData(index).isBus()) {
            static const QIcon bus(QStringLiteral(":/images/bus.gif"));
            opt.icon = bus;
            opt.features |= QStyleOptionViewItem::HasDecoration;
        }
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        return;
    }
    if (index.column() != 2) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const WavePaintParams w = WavePaintParams::make(model(), option.rect);
    if (WaveformSignal* tree = m_page ? m_page->tree() : nullptr)
        tree->setWaveGeometry(option.rect.left(), option.rect.right(), w.px);
    painter->fillRect(option.rect, w.background);
    QStyledItemDelegate::paint(painter, option, index);
    paintWaveform(painter, w, index);
}

WaveformDelegate::DecoderState WaveformDelegate::decoderState(const QModelIndex& index) const {
    DecoderState out;
    const SigTreeData d = holdsRow(index) ? WaveformModel::rowData(index) : SigTreeData();
    DecoderSet* set = d.isDecoder() && m_page ? m_page->decoders() : nullptr;
    const DecoderEntry* entry = set ? m_page->decoderEntry(d) : nullptr;
    if (!entry)
        return out;
    const DecoderSet::Status st = set->status(d.decoder);
    switch (st.state) {
        case DecoderSet::Running: {
            const qint64 total = qMax<qint64>(1, set->progressTotal());
            out.percent = int(qBound<qint64>(qint64(0), 100 * set->progressDone() / total, qint64(100)));
            out.state = tr("decoding");
            out.detail = tr("decoding %1 %").arg(out.percent);
            break;
        }
        case DecoderSet::Failed:
            out.state = tr("error");
            out.detail = st.error;
            out.failed = true;
            break;
        case DecoderSet::Done: {
            const auto result = set->result(d.decoder);
            out.state = tr("done");
            out.detail = result ? tr("%1 annotations").arg(result->count()) : QString();
            break;
        }
        default:
            out.detail = tr("no capture");
    }
    if (entry->hidden)
        out.state = tr("hidden");
    return out;
}

// The longest text of the annotation of an annotation row at `sample`.
static QString annotationAt(const DecodeResult& r, int row, qint64 sample) {
    if (row < 0 || row >= r.rows.size())
        return QString();
    const QVector<Annotation>& v = r.rows.at(row);
    // The last annotation starting at or before the sample that still covers
    // it; a long one far back is not worth a long walk.
    const int last = r.firstStartingAt(row, sample + 1) - 1;
    for (int i = last; i >= 0 && i > last - 4096 && r.maxEnd.at(row).at(i) > sample; --i)
        if (qMax(v.at(i).end, v.at(i).start + 1) > sample)
            return v.at(i).texts.value(0);
    return QString();
}

QString WaveformDelegate::dataText(const QModelIndex& index) const {
    WaveformModel* m = model();
    if (!m || !m->hasData() || !holdsRow(index))
        return QString();
    const SigTreeData d = WaveformModel::rowData(index);
    const qint64 pos = qBound(qint64(0), m->getDataPos(), m->getNumTime() - 1);
    if (d.isDecoder())
        return decoderState(index).state;
    if (d.isAnnotation()) {
        DecoderSet* set = m_page ? m_page->decoders() : nullptr;
        const auto result = set ? set->result(d.decoder) : nullptr;
        return result ? annotationAt(*result, d.annotationRow, pos) : QString();
    }
    if (d.isReal()) {
        const auto* dump = dynamic_cast<const ChangeSource*>(m->source().get());
        return dump ? dump->realText(d.realVar, pos) : QString();
    }
    if (!d.isBus())
        return QString(QLatin1Char(WaveSource::codeChar(m->getData(d.signalIndex, pos))));
    if (d.group)
        return QString();
    return formatOf(d).text(m->getBits(index, pos));
}

int WaveformDelegate::dataWidthHint(const QModelIndex& index, const QStyleOptionViewItem& option) const {
    if (!holdsRow(index))
        return 0;
    const SigTreeData d = WaveformModel::rowData(index);
    if (d.isDecoderPart())
        return 0; // a state word or a text cut to fit, never wider than a value
    const QFontMetrics& fm = option.fontMetrics;
    constexpr int kMargin = 8;
    if (d.isReal()) // room for a double in its shortest form
        return fm.horizontalAdvance(QStringLiteral("-2.2250738585072014e-308")) + 2 * kMargin;
    if (!d.isBus() || d.radixName.startsWith(QLatin1String("ONL_"))) {
        const int text = d.isBus() ? widestToken(fm, d.width, d.radixName) : fm.horizontalAdvance(QLatin1Char('0'));
        return text + 2 * kMargin;
    }
    const int text = d.hasNumericRadix() ? widestNumber(fm, d.width, d.radix) : widestToken(fm, d.width, d.radixName);
    QStyleOptionComboBox combo;
    combo.fontMetrics = fm;
    combo.rect = option.rect;
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ComboBox, &combo, QSize(text, fm.height()), option.widget).width() +
           kMargin;
}

void WaveformDelegate::paintData(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    WaveformModel* m = model();
    if (m && m->hasData() && holdsRow(index)) {
        painter->save();
        painter->setPen(theme::ThemeSetting::color(QStringLiteral("itemview_text")));
        const SigTreeData d = WaveformModel::rowData(index);
        const QString text = dataText(index);
        if (d.isDecoder()) {
            // The state of its decode, quieter than a value; an error in red.
            painter->setPen(decoderState(index).failed ? kErrorColour
                                                       : option.palette.color(QPalette::PlaceholderText));
            painter->drawText(option.rect.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                              wavepaint::fittedLabel(option.fontMetrics, text, option.rect.width() - 8));
        } else if (d.group) {
            // A scope: no value, no radix to choose.
        } else if (!d.isBus() || d.radixName.startsWith(QLatin1String("ONL_"))) {
            // A value wider than the column (its width is capped) shows its
            // leading digits, as the waveform's labels do.
            painter->drawText(option.rect, Qt::AlignCenter,
                              wavepaint::fittedLabel(option.fontMetrics, text, option.rect.width() - 4));
        } else {
            QStyleOptionComboBox combo;
            combo.rect = option.rect;
            combo.state = option.state;
            combo.fontMetrics = option.fontMetrics;
            combo.palette = option.palette;
            QStyle* style = option.widget ? option.widget->style() : QApplication::style();
            const QRect field =
                style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxEditField, option.widget);
            combo.currentText = wavepaint::fittedLabel(option.fontMetrics, text, field.width());
            style->drawComplexControl(QStyle::CC_ComboBox, &combo, painter, option.widget);
            style->drawControl(QStyle::CE_ComboBoxLabel, &combo, painter, option.widget);
        }
        painter->restore();
    }
    painter->save();
    painter->setPen(Qt::gray);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void WaveformDelegate::paintWaveform(QPainter* painter, const WavePaintParams& w, const QModelIndex& index) const {
    WaveformModel* m = model();
    if (!m || !m->hasData() || !holdsRow(index) || !m->source() || !w.isValid() || w.numTime != m->getNumTime())
        return;
    const QRect& cell = w.cell;
    const WaveSource& source = *m->source();
    const SigTreeData d = WaveformModel::rowData(index);
    painter->save();
    painter->setClipRect(cell, Qt::IntersectClip);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(d.colour.isValid() ? d.colour : w.wave);
    if (d.isDecoderPart())
        paintDecoder(painter, w, index);
    else if (d.group)
        ; // a scope: its members draw their own
    else if (d.isReal()) {
        if (const auto* dump = dynamic_cast<const ChangeSource*>(&source))
            wavepaint::paintReal(painter, w, *dump, d.realVar);
    }
    else if (!d.isBus())
        wavepaint::paintSignal(painter, w, source, d.signalIndex);
    else if (d.analog && m->traceData())
        wavepaint::paintAnalog(painter, w,
                               *AnalogTrace::of(m->traceData(), m->channelsOf(index), d.radix == SigTreeData::Signed));
    else
        wavepaint::paintBus(painter, w, source, m->channelsOf(index), formatOf(d));
    comparepaint::paintMarks(painter, w, *m, index, m_page);

    auto vline = [&](qint64 s) { painter->drawLine(w.x(s), cell.bottom(), w.x(s), cell.top()); };
    painter->setPen(QPen(Qt::yellow, 2));
    for (int f = 1; f < m->getNumTriggerFrame(); ++f)
        if (w.isVisible(m->getTriggerFrame(f)))
            vline(m->getTriggerFrame(f));
    const qint64 dataPos = m->getDataPos();
    painter->setPen(QPen(w.marker, 1));
    if (w.isVisible(dataPos))
        vline(dataPos);
    painter->setPen(QPen(w.cursor, 1));
    for (qint64 c : m->getCurPos())
        if (c != dataPos && w.isVisible(c))
            vline(c);
    painter->setPen(QPen(w.trigger, 1));
    for (int i = 0; i < m->getNumTriggerPos(); ++i) {
        const int t = m->getTriggerPos(i);
        if (t != dataPos && w.isVisible(t))
            vline(t);
    }

    WaveformSignal* tree = m_page ? m_page->tree() : nullptr;
    int x0 = 0, x1 = 0;
    if (tree && tree->zoomBand(&x0, &x1))
        painter->fillRect(QRect(x0, cell.top(), x1 - x0, cell.height()), QColor(150, 100, 100, 100));

    const qint64 rulerPos = m->getRulerPos();
    if (m->hasRuler() && w.isVisible(rulerPos)) {
        painter->setPen(QPen(w.marker, 1));
        vline(rulerPos);
        const int py = tree ? tree->pointerY() : -1;
        if (py >= cell.top() && py <= cell.bottom()) {
            const int xd = w.x(dataPos), xr = w.x(rulerPos), y = cell.bottom();
            painter->drawLine(xr, y, xd, y);
            painter->setBrush(w.marker);
            const int dir = xd <= xr ? 1 : -1;
            painter->drawPolygon(QPolygon({QPoint(xd, y), QPoint(xd, y - 5), QPoint(xd + dir * 8, y)}));
            painter->drawPolygon(QPolygon({QPoint(xr, y), QPoint(xr, y - 5), QPoint(xr - dir * 8, y)}));
            const qint64 dist = qAbs(qint64(rulerPos) - dataPos);
            const QString text = m->getClockPeriod() < 1
                                     ? QString::number(dist)
                                     : QStringLiteral("%1 %2").arg(dist * m->getClockPeriod()).arg(m->getClockUnit());
            painter->drawText(QRect(qMin(xd, xr), cell.bottom() - 18, qAbs(xr - xd), 15), Qt::AlignCenter, text);
        }
    }
    painter->restore();
}

void WaveformDelegate::paintDecoder(QPainter* painter, const WavePaintParams& w, const QModelIndex& index) const {
    const SigTreeData d = WaveformModel::rowData(index);
    const DecoderEntry* entry = m_page ? m_page->decoderEntry(d) : nullptr;
    if (!entry)
        return;
    const QColor colour = entry->colour.isValid() ? entry->colour : w.wave;
    if (d.isAnnotation()) {
        if (const auto result = m_page->decoders()->result(d.decoder))
            wavepaint::paintAnnotations(painter, w, *result, d.annotationRow, colour);
        return;
    }
    const DecoderState st = decoderState(index);
    const QRect& cell = w.cell;
    if (st.percent >= 0) // how far a long decode is
        painter->fillRect(QRect(cell.left(), cell.top() + 4, cell.width() * st.percent / 100, 3), colour);
    painter->setPen(st.failed ? kErrorColour : QColor(0xb0, 0xb0, 0xb0));
    painter->drawText(cell.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      wavepaint::fittedLabel(painter->fontMetrics(), st.detail, cell.width() - 12));
}

QWidget* WaveformDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const {
    if (index.column() != 1 || !holdsRow(index))
        return nullptr;
    const SigTreeData d = WaveformModel::rowData(index);
    if (!d.isBus() || d.group)
        return nullptr;
    auto* combo = new basgui::DirectComboBox(parent);
    combo->addItems(radixList());
    // User token sets as wide as the bus.
    if (QStandardItemModel* sets = OnaData::inst()->getTokenModel()->getUserModel())
        for (int r = 0; r < sets->rowCount(); ++r)
            if (sets->item(r, 1) && sets->item(r, 1)->text() == QString::number(d.width))
                combo->addItem(sets->item(r, 0)->text());
    connect(combo, &QComboBox::activated, this, &WaveformDelegate::doCommitCB);
    combo->setWhatsThis(
        basgui::BaseHelp(QStringLiteral("ondrel")).getWhatsThisText(QStringLiteral("Bus_Radix"), QString()));
    return combo;
}

void WaveformDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo || !holdsRow(index))
        return;
    const SigTreeData d = WaveformModel::rowData(index);
    const QString word = d.hasNumericRadix() ? WaveformModel::radixWord(d.radix) : d.radixName;
    combo->setCurrentIndex(combo->findText(word, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void WaveformDelegate::setModelData(QWidget* editor, QAbstractItemModel* itemModel, const QModelIndex& index) const {
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo || !holdsRow(index))
        return;
    SigTreeData d = WaveformModel::rowData(index);
    d.radixName.clear();
    d.radix = 0;
    const QString text = combo->currentText();
    // The radix words come first in the list; the rest are token sets.
    if (combo->currentIndex() >= 0 && combo->currentIndex() < radixList().size())
        d.radix = WaveformModel::radixOfWord(text);
    else
        d.radixName = text;
    itemModel->setData(index.siblingAtColumn(1), QVariant::fromValue(d), Qt::DisplayRole);
    if (WaveformSignal* tree = m_page ? m_page->tree() : nullptr) {
        tree->viewport()->update();
        tree->ruler()->viewport()->update();
    }
}

void WaveformDelegate::doCloseCB() {
    if (auto* editor = qobject_cast<QWidget*>(sender()))
        emit closeEditor(editor);
}

void WaveformDelegate::doCommitCB(int) {
    if (auto* editor = qobject_cast<QWidget*>(sender())) {
        emit commitData(editor);
        emit closeEditor(editor);
    }
}

} // namespace vemo::toolona
