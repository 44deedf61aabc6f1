#include "waveform/decoderpanel.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "waveform/annotationpainter.h"
#include "waveform/decoderdialog.h"
#include "waveform/waveformpainter.h"
#include "waveform/waveformsignal.h"
#include "waveform/wavepaintparams.h"

#include "basgui/dialogseam.h"

#include "analyzercore.h"
#include "decoderset.h"
#include "onadata.h"
#include "waveformmodel.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace vemo::toolona {

DecoderPanel::DecoderPanel(ToolGateway* gateway, WaveformSignal* tree, QWidget* parent)
    : QWidget(parent), m_gateway(gateway), m_tree(tree) {
    setObjectName(QStringLiteral("decoderPanel"));
    // The columns follow the tree's.
    connect(tree->header(), &QHeaderView::sectionResized, this, qOverload<>(&QWidget::update));
    hide();
}

void DecoderPanel::setModel(WaveformModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    if (m_decoders)
        disconnect(m_decoders, nullptr, this, nullptr);
    m_model = model;
    m_decoders = nullptr;
    OnaData* data = OnaData::inst();
    for (int c = 0; model && c < data->getNumCore(); ++c)
        if (const auto core = data->getCorePtr(c); core && core->getWDModel() == model)
            m_decoders = core->getDecoders();
    if (m_model)
        connect(m_model, &WaveformModel::viewChanged, this, qOverload<>(&QWidget::update));
    if (m_decoders) {
        for (auto signal : {&DecoderSet::entriesChanged, &DecoderSet::decodeStarted, &DecoderSet::decodeFinished,
                            &DecoderSet::decodeProgress})
            connect(m_decoders, signal, this, &DecoderPanel::rebuild);
        m_decoders->sync(); // a capture that came before the page
    }
    rebuild();
}

void DecoderPanel::rebuild() {
    m_lines.clear();
    if (m_decoders) {
        const auto& entries = m_decoders->entries();
        for (int i = 0; i < entries.size(); ++i) {
            const DecoderEntry& e = entries.at(i);
            const DecoderSet::Status st = m_decoders->status(e.name);
            const auto result = m_decoders->result(e.name);
            Line head{i, -1, e.name, QString(), QString()};
            switch (st.state) {
                case DecoderSet::Running: {
                    const qint64 total = qMax<qint64>(1, m_decoders->progressTotal());
                    head.percent = int(100 * m_decoders->progressDone() / total);
                    head.state = tr("decoding");
                    head.detail = tr("decoding %1 %").arg(head.percent);
                    break;
                }
                case DecoderSet::Failed:
                    head.state = tr("error");
                    head.detail = st.error;
                    break;
                case DecoderSet::Done:
                    head.state = tr("done");
                    head.detail = result ? tr("%1 annotations").arg(result->count()) : QString();
                    break;
                default:
                    head.detail = tr("no capture");
            }
            if (e.hidden)
                head.state = tr("hidden");
            m_lines.append(head);
            const DecoderInfo* info = DecodeLibrary::inst().find(e.decoder);
            if (e.hidden || !result || !info)
                continue;
            for (int r = 0; r < result->rows.size() && r < info->rows.size(); ++r)
                if (!result->rows.at(r).isEmpty())
                    m_lines.append({i, r, QStringLiteral("    ") + info->rows.at(r).desc, QString()});
        }
    }
    setVisible(!m_lines.isEmpty() && m_model && m_model->hasData());
    setFixedHeight(int(qMin<qsizetype>(m_lines.size(), kMaxShownRows)) * kRowHeight);
    update();
}

QSize DecoderPanel::sizeHint() const {
    return QSize(200, int(qMin<qsizetype>(m_lines.size(), kMaxShownRows)) * kRowHeight);
}

void DecoderPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette pal = palette();
    p.fillRect(rect(), pal.base());
    if (!m_decoders || !m_model)
        return;
    // The tree's columns, in this widget's coordinates.
    QHeaderView* head = m_tree->header();
    const int origin = m_tree->viewport()->mapTo(parentWidget(), QPoint(0, 0)).x() - x();
    const int nameW = head->sectionSize(0), dataX = origin + head->sectionViewportPosition(1),
              dataW = head->sectionSize(1), waveX = origin + head->sectionViewportPosition(2),
              waveW = m_tree->waveWidth();
    const auto& entries = m_decoders->entries();
    for (int l = 0; l < m_lines.size(); ++l) {
        const Line& line = m_lines.at(l);
        const QRect row(0, l * kRowHeight, width(), kRowHeight);
        if (row.top() > height())
            break;
        const DecoderEntry& e = entries.at(line.entry);
        const QRect wave(waveX, row.top(), waveW, kRowHeight);
        const WavePaintParams w = WavePaintParams::make(m_model, wave);
        p.fillRect(wave, w.background);
        const bool searched = e.name == m_search;
        if (searched)
            p.fillRect(QRect(origin, row.top(), nameW, kRowHeight), pal.highlight());
        p.setPen(pal.color(searched ? QPalette::HighlightedText : QPalette::Text));
        p.drawText(QRect(origin + 4, row.top(), nameW - 8, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   wavepaint::fittedLabel(p.fontMetrics(), line.label, nameW - 8));
        if (line.row < 0) {
            const bool failed = m_decoders->status(e.name).state == DecoderSet::Failed;
            p.setPen(pal.color(QPalette::PlaceholderText));
            p.drawText(QRect(dataX + 4, row.top(), dataW - 8, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                       wavepaint::fittedLabel(p.fontMetrics(), line.state, dataW - 8));
            if (line.percent >= 0) // how far a long decode is
                p.fillRect(QRect(wave.left(), wave.top() + 4, wave.width() * line.percent / 100, 3),
                           e.colour.isValid() ? e.colour : w.wave);
            p.setPen(failed ? QColor(0xff, 0x60, 0x60) : QColor(0xb0, 0xb0, 0xb0));
            p.drawText(wave.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       wavepaint::fittedLabel(p.fontMetrics(), line.detail, waveW - 12));
        } else if (const auto result = m_decoders->result(e.name)) {
            wavepaint::paintAnnotations(&p, w, *result, line.row, e.colour.isValid() ? e.colour : w.wave);
        }
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawLine(row.bottomLeft(), row.bottomRight());
    }
}

void DecoderPanel::send(const QString& cmd) { sendCommand(m_gateway, cmd); }

int DecoderPanel::addDecoder() {
    if (!m_decoders)
        return 0;
    DecoderDialog dialog(m_gateway, m_decoders, m_model, this);
    return basgui::Dialogs::provider()->execDialog(&dialog);
}

void DecoderPanel::fillMenu(QMenu* menu, int at) {
    menu->addAction(tr("Add Decoder…"), this, [this] { addDecoder(); });
    if (!m_decoders || at < 0 || at >= m_lines.size())
        return;
    const int index = m_lines.at(at).entry;
    const DecoderEntry e = m_decoders->entries().at(index);
    const QString name = tclWord(e.name);
    menu->addSeparator();
    menu->addAction(tr("Edit Color..."), this, [this, e, name] {
        const QColor c = QColorDialog::getColor(e.colour.isValid() ? e.colour : QColor(0x3c, 0xd0, 0x70), this);
        if (c.isValid() && c != e.colour)
            send(tclCommand(QStringLiteral("ona_set_decoder %1 -colour %2"), name, tclWord(c.name())));
    });
    if (e.colour.isValid())
        menu->addAction(tr("Revert to Default Color"), this,
                        [this, name] { send(tclCommand(QStringLiteral("ona_set_decoder %1 -colour {}"), name)); });
    menu->addAction(e.hidden ? tr("Show Rows") : tr("Hide Rows"), this, [this, e, name] {
        send(tclCommand(QStringLiteral("ona_set_decoder %1 -hidden %2"), name,
                        e.hidden ? QStringLiteral("0") : QStringLiteral("1")));
    });
    QAction* up = menu->addAction(tr("Move Up"), this, [this, index, name] {
        send(tclCommand(QStringLiteral("ona_set_decoder %1 -position %2"), name, QString::number(index - 1)));
    });
    up->setEnabled(index > 0);
    QAction* down = menu->addAction(tr("Move Down"), this, [this, index, name] {
        send(tclCommand(QStringLiteral("ona_set_decoder %1 -position %2"), name, QString::number(index + 1)));
    });
    down->setEnabled(index + 1 < m_decoders->entries().size());
    menu->addAction(tr("Remove Decoder"), this,
                    [this, name] { send(tclCommand(QStringLiteral("ona_remove_decoder %1"), name)); });
}

void DecoderPanel::setSearchDecoder(const QString& name) {
    if (name == m_search)
        return;
    m_search = name;
    update();
}

void DecoderPanel::mousePressEvent(QMouseEvent* event) {
    const int at = lineAt(event->pos().y());
    if (m_decoders && at >= 0 && at < m_lines.size()) {
        // The tree's selection gives way: one thing is searched at a time.
        m_tree->clearSelection();
        setSearchDecoder(m_decoders->entries().at(m_lines.at(at).entry).name);
    }
    QWidget::mousePressEvent(event);
}

void DecoderPanel::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    fillMenu(&menu, lineAt(event->pos().y()));
    menu.exec(event->globalPos());
}

} // namespace vemo::toolona
