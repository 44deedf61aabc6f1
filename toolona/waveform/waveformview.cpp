#include "waveform/waveformview.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "waveform/decoderdialog.h"
#include "waveform/wavecursorpanel.h"
#include "waveform/wavedialogs.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "waveform/wavemeasure.h"
#include "widgets/emptystatelabel.h"

#include "basgui/basemainwindow.h"
#include "basgui/dialogseam.h"

#include "analyzercore.h"
#include "changesource.h"
#include "decoderset.h"
#include "onadata.h"
#include "waveformmodel.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>

namespace vemo::toolona {

WaveformView::WaveformView(ToolGateway* gateway, QWidget* parent) : QFrame(parent), m_gateway(gateway) {
    m_tree = new WaveformSignal(this);
    m_tree->setObjectName(QStringLiteral("PNBorderTreeView"));
    m_tree->setItemDelegate(new WaveformDelegate(this));
    m_tree->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->setDropIndicatorShown(true);
    m_tree->setDragDropMode(QAbstractItemView::InternalMove);

    m_bar = new QScrollBar(Qt::Horizontal, this);
    m_bar->setObjectName(QStringLiteral("PNBorderScrollBar"));
    m_bar->setRange(0, 0);
    m_bar->setSingleStep(1);
    m_bar->setPageStep(0);
    m_bar->setValue(0);
    connect(m_bar, &QScrollBar::valueChanged, this, &WaveformView::updateView);

    m_empty =
        new EmptyStateLabel(tr("Captured signals appear here after a run.\nThis core has no captured data yet."), this);

    m_findBar = new QWidget(this);
    m_findBar->setObjectName(QStringLiteral("findBar"));
    auto* findLayout = new QHBoxLayout(m_findBar);
    findLayout->setContentsMargins(4, 2, 4, 2);
    findLayout->addWidget(new QLabel(tr("Find value:"), m_findBar));
    m_findEdit = new QLineEdit(m_findBar);
    m_findEdit->setPlaceholderText(tr("value in the bus radix, x = any digit, or a token"));
    findLayout->addWidget(m_findEdit, 1);
    auto* previous = new QToolButton(m_findBar);
    previous->setText(tr("Previous"));
    previous->setToolTip(tr("Find the previous sample with this value (Shift+F3)"));
    auto* next = new QToolButton(m_findBar);
    next->setText(tr("Next"));
    next->setToolTip(tr("Find the next sample with this value (F3, Enter)"));
    auto* close = new QToolButton(m_findBar);
    close->setText(tr("Close"));
    findLayout->addWidget(previous);
    findLayout->addWidget(next);
    findLayout->addWidget(close);
    connect(previous, &QToolButton::clicked, this, [this] { findValue(m_findEdit->text(), true); });
    connect(next, &QToolButton::clicked, this, [this] { findValue(m_findEdit->text(), false); });
    connect(m_findEdit, &QLineEdit::returnPressed, this, [this] { findValue(m_findEdit->text(), false); });
    connect(close, &QToolButton::clicked, this, [this] {
        m_findBar->hide();
        m_tree->setFocus();
    });
    m_findBar->hide();
    m_findEdit->installEventFilter(this);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("waveStatus"));
    // Figures are meant to be copied into notes and reports.
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_status->setContentsMargins(4, 1, 4, 1);

    m_toolBar = new QToolBar(tr("Waveform"), this);
    m_toolBar->setObjectName(QStringLiteral("waveToolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_addDecoder = new QAction(tr("Add Decoder…"), this);
    m_addDecoder->setObjectName(QStringLiteral("addDecoder"));
    m_addDecoder->setToolTip(tr("Add a protocol decoder over signals of the capture"));
    m_addDecoder->setEnabled(false);
    connect(m_addDecoder, &QAction::triggered, this, [this] { addDecoder(); });
    m_toolBar->addAction(m_addDecoder);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar, 0, 0);
    layout->addWidget(m_empty, 1, 0);
    layout->addWidget(m_tree, 2, 0);
    layout->addWidget(m_bar, 3, 0);
    layout->addWidget(m_findBar, 4, 0);
    layout->addWidget(m_status, 5, 0);
    m_cursorPanel = new WaveCursorPanel(this);
    m_cursorPanel->hide();
    placeCursorPanel();

    setMouseTracking(true);
    installEventFilter(this);
    takeWindowActions();
    showState();
}

void WaveformView::takeWindowActions() {
    if (m_windowActions)
        return;
    // The window's own zoom actions, not copies: they follow the window's
    // enabling and act on the page in front.
    basgui::BaseMainWindow* window = nullptr;
    for (QWidget* w = parentWidget(); w && !window; w = w->parentWidget())
        window = qobject_cast<basgui::BaseMainWindow*>(w);
    if (!window)
        return;
    QList<QAction*> zoom;
    for (const char* name : {"zoom in", "zoom out", "zoom fit"})
        if (QAction* a = window->sharedAction(QLatin1String(name)))
            zoom << a;
    if (zoom.isEmpty())
        return;
    m_windowActions = true;
    m_toolBar->addSeparator();
    m_toolBar->addActions(zoom);
}

void WaveformView::showEvent(QShowEvent* event) {
    takeWindowActions();
    QFrame::showEvent(event);
}

void WaveformView::setEmptyText(const QString& text) { m_empty->setText(text); }

QString WaveformView::dumpVariable(const QModelIndex& row) const {
    const auto* dump = m_model ? dynamic_cast<const ChangeSource*>(m_model->source().get()) : nullptr;
    if (!dump)
        return {};
    const QVector<int> channels = m_model->channelsOf(row);
    if (channels.isEmpty())
        return {};
    return dump->store().var(dump->varOf(channels.first())).name;
}

DecoderSet* WaveformView::decoders() const {
    if (!m_model)
        return nullptr;
    OnaData* data = OnaData::inst();
    for (int c = 0; c < data->getNumCore(); ++c)
        if (const auto core = data->getCorePtr(c); core && core->getWDModel() == m_model)
            return core->getDecoders();
    return nullptr;
}

const DecoderEntry* WaveformView::decoderEntry(const SigTreeData& row) const {
    DecoderSet* set = row.isDecoderPart() ? decoders() : nullptr;
    const int at = set ? set->indexOf(row.decoder) : -1;
    return at >= 0 ? &set->entries().at(at) : nullptr;
}

WaveformModel* WaveformView::waveformModel() const { return m_model; }

bool WaveformView::hasCapturedData() const { return m_model && m_model->hasData(); }

void WaveformView::setWaveformModel(WaveformModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    m_tree->setWaveformModel(model);
    m_cursorPanel->setWaveformModel(model);
    if (m_tree->selectionModel())
        connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &WaveformView::updateMeasurement, Qt::UniqueConnection);
    if (DecoderSet* set = decoders()) {
        // A decode's progress and end show in the decoders' rows.
        for (auto signal : {&DecoderSet::entriesChanged, &DecoderSet::decodeStarted, &DecoderSet::decodeFinished,
                            &DecoderSet::decodeProgress})
            connect(set, signal, m_tree, &WaveformSignal::showDecoderRows, Qt::UniqueConnection);
        set->sync(); // a capture that came before the page
    }
    m_tree->showDecoderRows();
    if (model) {
        connect(model, &WaveformModel::viewChanged, this, &WaveformView::updateViewBar);
        // Tree edits are direct model edits that no engine command reports:
        // each one's change notice marks the project modified.
        connect(model, &QStandardItemModel::itemChanged, this, [this] {
            // A dump's rows are no part of the project.
            if (m_gateway && m_model && m_model->traceData())
                m_gateway->markModified();
        });
        connect(model, &WaveformModel::cursorsChanged, this, [this] { m_tree->repaintWave(); });
    }
    updateViewBar();
}

int WaveformView::addDecoder() {
    DecoderSet* set = decoders();
    if (!set)
        return 0;
    DecoderDialog dialog(m_gateway, set, m_model, this);
    return basgui::Dialogs::provider()->execDialog(&dialog);
}

void WaveformView::showState() {
    const bool data = hasCapturedData();
    m_addDecoder->setEnabled(data && decoders());
    m_empty->setVisible(!data);
    m_tree->setVisible(data);
    m_bar->setVisible(data);
    m_status->setVisible(data);
    if (!data) {
        m_findBar->hide();
        m_cursorPanel->hide();
    }
}

void WaveformView::placeCursorPanel() {
    if (m_cursorPanel->isDetached())
        return;
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_cursorPanel, 6, 0);
}

void WaveformView::showCursorPanel(bool shown) {
    if (!hasCapturedData())
        shown = false;
    m_cursorPanel->setVisible(shown);
    if (shown && m_cursorPanel->isDetached())
        m_cursorPanel->raise();
}

bool WaveformView::addCursorAt(qint64 sample) {
    if (!hasCapturedData() || sample < 0)
        return false;
    if (!m_model->addCurPos(sample)) {
        showStatus(tr("A cursor is at sample %1 already.").arg(sample));
        return false;
    }
    if (m_gateway)
        m_gateway->markModified();
    showStatus(tr("Cursor %1 at sample %2").arg(m_model->cursorName(sample)).arg(sample));
    return true;
}

bool WaveformView::jumpToCursor(bool forward) {
    if (!hasCapturedData())
        return false;
    const qint64 pos = m_model->getDataPos();
    const qint64 c = m_model->nextCurPos(pos, forward);
    if (c < 0) {
        showStatus(forward ? tr("No cursor after sample %1.").arg(pos) : tr("No cursor before sample %1.").arg(pos));
        return false;
    }
    m_tree->zoomToPosition(c, true);
    showStatus(tr("At cursor %1, sample %2").arg(m_model->cursorName(c)).arg(c));
    return true;
}

void WaveformView::showStatus(const QString& text) { m_status->setText(text); }

QModelIndex WaveformView::searchRow() const {
    if (!hasCapturedData() || !m_tree->selectionModel())
        return QModelIndex();
    const QModelIndex current = m_tree->currentIndex().siblingAtColumn(0);
    if (current.isValid() && m_tree->selectionModel()->isSelected(current))
        return current;
    const QModelIndexList rows = m_tree->selectionModel()->selectedRows(0);
    return rows.isEmpty() ? QModelIndex() : rows.constFirst();
}

bool WaveformView::gotoEdge(bool forward) {
    const QModelIndex row = searchRow();
    if (!row.isValid()) {
        showStatus(tr("Select a signal or bus to step through its edges."));
        return false;
    }
    if (WaveformModel::rowData(row).isDecoderPart())
        return gotoAnnotation(WaveformModel::rowData(row), forward);
    if (WaveformModel::rowData(row).isReal()) {
        showStatus(tr("A real variable has no edges to step through; select a signal or bus."));
        return false;
    }
    const QString name = WaveformModel::rowData(row).name;
    const QVector<int> channels = m_model->channelsOf(row);
    const auto source = m_model->source();
    const qint64 pos = m_model->getDataPos();
    const qint64 s = forward ? source->changeAfter(channels, pos) : source->changeAtOrBefore(channels, pos - 1);
    if (s < 0) {
        showStatus(forward ? tr("No later edge of %1 after sample %2.").arg(name).arg(pos)
                           : tr("No earlier edge of %1 before sample %2.").arg(name).arg(pos));
        return false;
    }
    moveDataTo(s);
    return true;
}

// The start of the next (previous) annotation of a decoder's row (any of
// its annotation rows) or of one annotation row, from the data position.
bool WaveformView::gotoAnnotation(const SigTreeData& row, bool forward) {
    DecoderSet* set = decoders();
    const auto result = set ? set->result(row.decoder) : nullptr;
    const qint64 pos = m_model->getDataPos();
    qint64 best = -1;
    for (int r = 0; result && r < result->rows.size(); ++r) {
        if (row.isAnnotation() && r != row.annotationRow)
            continue;
        const QVector<Annotation>& v = result->rows.at(r);
        const int i = result->firstStartingAt(r, forward ? qint64(pos) + 1 : qint64(pos));
        if (forward && i < v.size() && (best < 0 || v.at(i).start < best))
            best = v.at(i).start;
        if (!forward && i > 0)
            best = qMax(best, v.at(i - 1).start);
    }
    if (best < 0 || best >= m_model->getNumTime()) {
        showStatus(forward ? tr("No later annotation of %1 after sample %2.").arg(row.name).arg(pos)
                           : tr("No earlier annotation of %1 before sample %2.").arg(row.name).arg(pos));
        return false;
    }
    moveDataTo(best);
    return true;
}

qint64 WaveformView::findValue(const QString& text, bool backward) {
    const QModelIndex row = searchRow();
    if (!row.isValid()) {
        showStatus(tr("Select a bus or signal to search."));
        return -1;
    }
    const SigTreeData d = WaveformModel::rowData(row);
    if (d.isDecoderPart())
        return findAnnotation(text, backward);
    if (d.isReal()) {
        showStatus(tr("Find does not search a real variable such as %1; select a signal or bus.").arg(d.name));
        return -1;
    }
    QString value = text.trimmed();
    QString radix;
    static const QList<QPair<QString, QString>> prefixes{{QStringLiteral("0x"), QStringLiteral("Hex")},
                                                         {QStringLiteral("0o"), QStringLiteral("Oct")},
                                                         {QStringLiteral("0b"), QStringLiteral("Bin")}};
    for (const auto& p : prefixes)
        if (value.startsWith(p.first, Qt::CaseInsensitive)) {
            value = value.mid(2);
            radix = p.second;
        }
    if (radix.isEmpty()) {
        if (!d.isBus())
            radix = QStringLiteral("Bin");
        else if (d.hasNumericRadix())
            radix = BusDialog::radixName(d.radix);
        else
            radix = d.radixName;
    }
    if (value.isEmpty()) {
        showStatus(tr("Type a value to find."));
        return -1;
    }
    const qint64 pos = m_model->getDataPos();
    // A dump's row is searched in the open waveform, by its variable's full
    // name; its positions are ticks.
    const QString var = dumpVariable(row);
    const bool dump = !var.isEmpty();
    QString cmd = tclCommand(QStringLiteral("ona_find%1 -signal %2 -value %3 -radix %4 -from %5"),
                             dump ? QStringLiteral(" -waveform") : QString(), tclWord(dump ? var : d.name),
                             tclWord(value), tclWord(radix), QString::number(backward ? pos - 1 : pos + 1));
    if (backward)
        cmd += QStringLiteral(" -backward");
    const QString unit = dump ? tr("tick") : tr("sample");
    return moveToFound(cmd, backward
                                ? tr("%1 = %2 does not occur before %3 %4.").arg(d.name, text.trimmed(), unit).arg(pos)
                                : tr("%1 = %2 does not occur after %3 %4.").arg(d.name, text.trimmed(), unit).arg(pos));
}

// Runs a search command; on a hit the data position moves there (and the
// view follows), else `missing` goes to the status line.
qint64 WaveformView::moveToFound(const QString& cmd, const QString& missing) {
    QString result;
    if (!m_gateway || !m_gateway->tclEval(cmd, &result)) {
        showStatus(result.isEmpty() ? tr("The search could not run.") : result);
        return -1;
    }
    bool number = false;
    const qint64 s = result.trimmed().toLongLong(&number);
    if (!number || s < 0) {
        showStatus(missing);
        return -1;
    }
    moveDataTo(s);
    return s;
}

void WaveformView::moveDataTo(qint64 sample) {
    m_model->setDataPos(sample);
    if (sample < m_model->getViewStart() || sample > m_model->getViewEnd())
        m_tree->zoomToPosition(sample, true);
    m_tree->repaintWave();
}

// The next (previous) annotation of the chosen decoder whose text holds
// `text` (a 0x number also matches the bytes decoders write without it).
qint64 WaveformView::findAnnotation(const QString& text, bool backward) {
    const SigTreeData row = WaveformModel::rowData(searchRow());
    if (!row.isDecoderPart()) {
        showStatus(tr("Select a decoder's row to search its texts."));
        return -1;
    }
    const QString name = row.decoder;
    if (text.trimmed().isEmpty()) {
        showStatus(tr("Type a text to find."));
        return -1;
    }
    // An annotation row searches only its own annotations.
    QString rowOption;
    const DecoderEntry* entry = decoderEntry(row);
    const DecoderInfo* info = entry && row.isAnnotation() ? DecodeLibrary::inst().find(entry->decoder) : nullptr;
    if (info && row.annotationRow < info->rows.size())
        rowOption = tclCommand(QStringLiteral(" -row %1"), tclWord(info->rows.at(row.annotationRow).id));
    const qint64 pos = m_model->getDataPos();
    QString cmd = tclCommand(QStringLiteral("ona_find -decoder %1 -text %2%3 -from %4"), tclWord(name),
                             tclWord(text.trimmed()), rowOption, QString::number(backward ? pos - 1 : pos + 1));
    if (backward)
        cmd += QStringLiteral(" -backward");
    return moveToFound(cmd, backward
                                ? tr("%1: \"%2\" does not occur before sample %3.").arg(name, text.trimmed()).arg(pos)
                                : tr("%1: \"%2\" does not occur after sample %3.").arg(name, text.trimmed()).arg(pos));
}

void WaveformView::showFindBar() {
    if (!hasCapturedData())
        return;
    m_findBar->show();
    m_findEdit->setFocus();
    m_findEdit->selectAll();
}

void WaveformView::updateMeasurement() {
    if (!hasCapturedData())
        return;
    const qint64 pos = m_model->getDataPos();
    const QList<qint64> cursors = m_model->getCurPos();
    const QModelIndex row = searchRow();
    if (cursors.isEmpty()) {
        showStatus(tr("Data position %1").arg(pos));
        return;
    }
    qint64 nearest = cursors.constFirst();
    for (qint64 c : cursors)
        if (qAbs(c - pos) < qAbs(nearest - pos))
            nearest = c;
    // A decoder's row or a real variable's has no edges to count: the span alone.
    const bool signal =
        row.isValid() && !WaveformModel::rowData(row).isDecoderPart() && !WaveformModel::rowData(row).isReal();
    const QVector<int> channels = signal ? m_model->channelsOf(row) : QVector<int>();
    const WaveMeasure m = WaveMeasure::measure(*m_model, channels, nearest, pos);
    showStatus(m.text(signal ? WaveformModel::rowData(row).name : QString()));
}

void WaveformView::updateViewBar() {
    showState();
    QSignalBlocker block(m_bar);
    if (!hasCapturedData()) {
        m_bar->setRange(0, 0);
        m_bar->setPageStep(0);
        m_bar->setValue(0);
    } else {
        const qint64 n = m_model->getNumTime();
        const qint64 count = m_model->getViewCount();
        if (count > 0 && count != n) {
            const qint64 scale = barScale();
            m_bar->setRange(0, int((n - count) / scale));
            m_bar->setPageStep(int(qMax(qint64(1), count / scale)));
            m_bar->setValue(int(m_model->getViewStart() / scale));
        } else {
            m_bar->setRange(0, 0);
        }
    }
    m_tree->viewport()->update();
    m_tree->ruler()->viewport()->update();
    updateMeasurement();
}

void WaveformView::updateView(int value) {
    if (!hasCapturedData())
        return;
    const qint64 count = m_model->getViewCount() > 0 ? m_model->getViewCount() : m_model->getNumTime();
    // zoomPos centres its sample: the centre of a window starting at value.
    m_model->zoomPos(m_tree->waveWidth(), qint64(value) * barScale() + count / 2, false);
}

qint64 WaveformView::barScale() const {
    // The bar's int steps: positions of a dump past 2^30 ticks are scaled
    // down to fit.
    const qint64 n = m_model ? m_model->getNumTime() : 0;
    return qMax(qint64(1), (n + (qint64(1) << 30) - 1) >> 30);
}

void WaveformView::refreshHeader() {
    updateViewBar();
    m_cursorPanel->refresh();
}

void WaveformView::applyAllBusRadix(int index) {
    // The menus give an index; buses hold the radix itself.
    const int radix = BusDialog::radixOfIndex(index);
    if (radix == 0)
        return;
    m_radix = radix;
    m_tree->applyBusRadix(radix, false);
}

void WaveformView::runExportDialog() { m_tree->runExportDialog(); }

void WaveformView::zoomIn() {
    if (hasCapturedData())
        m_model->zoomIn(m_tree->waveWidth());
}

void WaveformView::zoomOut() {
    if (hasCapturedData())
        m_model->zoomOut(m_tree->waveWidth());
}

void WaveformView::zoomFit() {
    if (hasCapturedData())
        m_model->zoomFit(m_tree->waveWidth());
}

void WaveformView::zoomTrigger() {
    if (hasCapturedData())
        m_model->zoomTrigger(m_tree->waveWidth(), 0);
}

bool WaveformView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_findEdit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            m_findBar->hide();
            m_tree->setFocus();
            return true;
        }
        if (key->matches(QKeySequence::FindNext) || key->matches(QKeySequence::FindPrevious)) {
            findValue(m_findEdit->text(), key->matches(QKeySequence::FindPrevious));
            return true;
        }
    }
    return openHelpOnF1(m_gateway, this, watched, event, "Waveform_View") || QFrame::eventFilter(watched, event);
}

} // namespace vemo::toolona
