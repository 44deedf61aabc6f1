#include "waveform/comparedialog.h"

#include "kit/counttext.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "waveform/comparepainter.h"
#include "waveform/decoderdialog.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "basgui/dialogseam.h"
#include "changestore.h"
#include "openwaveform.h"
#include "simcompare.h"
#include "tcltext.h"
#include "waveformmodel.h"

#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <tcl.h>

namespace vemo::toolona {

namespace {

// The clock names offered: one-bit variables, those named like a clock first.
constexpr int kMaxClocks = 500;

// The elements of a Tcl list; false when the text is no list.
bool splitList(const QString& text, QStringList* out) {
    const QByteArray t = TclText::toTcl(text);
    int n = 0;
    const char** items = nullptr;
    if (Tcl_SplitList(nullptr, t.constData(), &n, &items) != TCL_OK)
        return false;
    out->clear();
    for (int i = 0; i < n; ++i)
        out->append(TclText::fromTcl(items[i]));
    Tcl_Free(reinterpret_cast<char*>(items));
    return true;
}

std::shared_ptr<const TraceData> captureOf(const WaveformView* page) {
    const WaveformModel* m = page ? page->waveformModel() : nullptr;
    return m && m->hasData() ? m->traceData() : nullptr;
}

} // namespace

CompareDialog::CompareDialog(WaveformView* page, QWidget* parent) : QDialog(parent), m_page(page) {
    setWindowTitle(tr("Compare with Capture"));
    const auto store = OpenWaveform::current();
    const auto trace = captureOf(page);
    if (trace)
        for (const SimCompare::CaptureSignal& s : SimCompare::captureSignals(*trace))
            m_captureNames << s.name;

    auto* layout = new QVBoxLayout(this);
    m_file = new QLabel(this);
    m_file->setWordWrap(true);
    m_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!store)
        m_file->setText(tr("No simulator waveform is open: open one with ona_open_waveform in the console first."));
    else if (!trace)
        m_file->setText(tr("The current core has no capture to compare with."));
    else
        m_file->setText(tr("Simulation: %1 (%2%3, %4 variables)")
                            .arg(store->file, QString::number(store->timeMagnitude), store->timeUnit)
                            .arg(store->numVars()));
    layout->addWidget(m_file);

    layout->addWidget(new QLabel(tr("Simulation variables paired with capture signals:"), this));
    m_map = new QTableWidget(0, 2, this);
    m_map->setHorizontalHeaderLabels({tr("Simulation variable"), tr("Capture signal")});
    m_map->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_map->verticalHeader()->hide();
    m_map->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(m_map, 2);
    auto* mapButtons = new QHBoxLayout;
    auto* add = new QPushButton(tr("Add Pair"), this);
    auto* remove = new QPushButton(tr("Remove Pair"), this);
    auto* byName = new QPushButton(tr("Pair by Name"), this);
    mapButtons->addWidget(add);
    mapButtons->addWidget(remove);
    mapButtons->addWidget(byName);
    mapButtons->addStretch();
    layout->addLayout(mapButtons);
    connect(add, &QPushButton::clicked, this, [this] { addPair(QString(), QString()); });
    connect(remove, &QPushButton::clicked, this, [this] {
        for (int r = m_map->rowCount() - 1; r >= 0; --r)
            if (m_map->selectionModel()->isRowSelected(r, QModelIndex()))
                m_map->removeRow(r);
    });
    connect(byName, &QPushButton::clicked, this, &CompareDialog::fillMapping);
    m_unpaired = new QLabel(this);
    m_unpaired->setWordWrap(true);
    layout->addWidget(m_unpaired);

    auto* form = new QFormLayout;
    auto* resample = new QWidget(this);
    auto* resampleRow = new QHBoxLayout(resample);
    resampleRow->setContentsMargins(0, 0, 0, 0);
    m_onClock = new QRadioButton(tr("Rising edges of"), resample);
    m_clock = new QComboBox(resample);
    m_clock->setEditable(true);
    m_clock->setMinimumContentsLength(16);
    m_onPeriod = new QRadioButton(tr("Every"), resample);
    m_period = new QLineEdit(resample);
    m_period->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,15}")), m_period));
    m_period->setPlaceholderText(tr("ticks"));
    m_period->setMaximumWidth(120);
    resampleRow->addWidget(m_onClock);
    resampleRow->addWidget(m_clock, 1);
    resampleRow->addWidget(m_onPeriod);
    resampleRow->addWidget(m_period);
    resampleRow->addWidget(new QLabel(tr("ticks"), resample));
    form->addRow(tr("Resample at:"), resample);

    auto* offset = new QWidget(this);
    auto* offsetRow = new QHBoxLayout(offset);
    offsetRow->setContentsMargins(0, 0, 0, 0);
    m_align = new QCheckBox(tr("Align on the trigger"), offset);
    m_align->setChecked(true);
    m_offset = new QLineEdit(offset);
    m_offset->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,13}")), m_offset));
    m_offset->setPlaceholderText(tr("simulation sample of capture sample 0"));
    m_offset->setEnabled(false);
    offsetRow->addWidget(m_align);
    offsetRow->addWidget(m_offset, 1);
    form->addRow(tr("Offset:"), offset);
    connect(m_align, &QCheckBox::toggled, m_offset, [this](bool on) { m_offset->setEnabled(!on); });

    m_limit = new QSpinBox(this);
    m_limit->setRange(1, SimCompare::kMaxLimit);
    m_limit->setValue(100);
    form->addRow(tr("Differences listed per signal:"), m_limit);
    layout->addLayout(form);

    m_run = new QPushButton(tr("Compare"), this);
    m_run->setDefault(true);
    m_run->setEnabled(store && trace);
    connect(m_run, &QPushButton::clicked, this, &CompareDialog::runCompare);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(m_run);
    runRow->addStretch();
    layout->addLayout(runRow);

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("compareError"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #d03030;"));
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_error);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_list = new QTreeWidget(this);
    m_list->setHeaderLabels({tr("Signal"), tr("Samples"), tr("Capture"), tr("Simulation")});
    m_list->setRootIsDecorated(true);
    layout->addWidget(m_list, 3);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QVariant s = item->data(1, Qt::UserRole);
        if (s.isValid())
            jumpTo(s.toLongLong());
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    fillMapping();
    fillClocks();
    resize(760, 640);
}

void CompareDialog::addPair(const QString& simName, const QString& capName) {
    const int r = m_map->rowCount();
    m_map->insertRow(r);
    m_map->setItem(r, 0, new QTableWidgetItem(simName));
    auto* cap = new QComboBox(m_map);
    cap->setEditable(true);
    cap->addItems(m_captureNames);
    cap->setCurrentText(capName);
    m_map->setCellWidget(r, 1, cap);
}

void CompareDialog::fillMapping() {
    m_map->setRowCount(0);
    m_unpaired->clear();
    const auto store = OpenWaveform::current();
    const auto trace = captureOf(m_page);
    if (!store || !trace)
        return;
    QVector<SimCompare::Mapping> pairs;
    QStringList unpaired;
    QString error;
    if (!SimCompare::pairs(*store, *trace, {}, &pairs, &unpaired, &error)) {
        m_unpaired->setText(tr("No capture signal has a variable of its name and width: add the pairs by hand."));
        return;
    }
    for (const SimCompare::Mapping& p : pairs)
        addPair(p.simName, p.capName);
    if (!unpaired.isEmpty())
        m_unpaired->setText(tr("Capture signals without a variable: %1").arg(unpaired.join(QStringLiteral(", "))));
}

void CompareDialog::fillClocks() {
    const auto store = OpenWaveform::current();
    QStringList clocks, others;
    static const QRegularExpression clockLike(QStringLiteral("(^|_)(clk|clock)"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (store)
        for (const ChangeStore::Var& v : store->vars()) {
            if (v.width != 1 || store->kind(v.signal) == ChangeStore::Real || clocks.size() >= kMaxClocks)
                continue;
            const QString last = v.name.mid(v.name.lastIndexOf(QLatin1Char('.')) + 1);
            (clockLike.match(last).hasMatch() ? clocks : others).append(v.name);
        }
    const bool found = !clocks.isEmpty();
    m_clock->addItems(clocks + others.mid(0, qMax(0, kMaxClocks - int(clocks.size()))));
    m_onClock->setChecked(found);
    m_onPeriod->setChecked(!found);
    // A capture sample's time in the dump's ticks, when the capture's clock
    // period is set and comes to a whole number of ticks.
    const WaveformModel* m = m_page ? m_page->waveformModel() : nullptr;
    if (store && m && m->getClockPeriod() > 0 && m_period->text().isEmpty()) {
        static const QStringList units{QStringLiteral("s"), QStringLiteral("ms"), QStringLiteral("us"),
                                       QStringLiteral("ns"), QStringLiteral("ps"), QStringLiteral("fs")};
        const int from = int(units.indexOf(m->getClockUnit())), to = int(units.indexOf(store->timeUnit));
        if (from >= 0 && to >= 0 && store->timeMagnitude > 0) {
            // Both in femtoseconds: at most 2^31 s of period, 100 s a tick.
            const long double period = m->getClockPeriod() * std::pow(10.0L, 3 * (5 - from));
            const long double tick = store->timeMagnitude * std::pow(10.0L, 3 * (5 - to));
            const long double ticks = period / tick;
            if (ticks >= 1 && ticks < 1e15L && ticks == std::floor(ticks))
                m_period->setText(QString::number(qint64(ticks)));
        }
    }
}

void CompareDialog::fail(const QString& text) {
    m_error->setText(text);
    m_summary->clear();
}

QString CompareDialog::command() {
    QStringList pairs;
    for (int r = 0; r < m_map->rowCount(); ++r) {
        const QString sim = m_map->item(r, 0) ? m_map->item(r, 0)->text().trimmed() : QString();
        const auto* box = qobject_cast<QComboBox*>(m_map->cellWidget(r, 1));
        const QString cap = box ? box->currentText().trimmed() : QString();
        if (sim.isEmpty() && cap.isEmpty())
            continue;
        if (sim.isEmpty() || cap.isEmpty()) {
            fail(tr("Pair %1 needs both a simulation variable and a capture signal.").arg(r + 1));
            return QString();
        }
        pairs << DecoderDialog::listElement(sim) + QLatin1Char(' ') + DecoderDialog::listElement(cap);
    }
    if (pairs.isEmpty()) {
        fail(tr("Pair at least one simulation variable with a capture signal."));
        return QString();
    }
    QString cmd = tclCommand(QStringLiteral("ona_compare -map %1"), tclWord(pairs.join(QLatin1Char(' '))));
    if (m_onClock->isChecked()) {
        const QString clock = m_clock->currentText().trimmed();
        if (clock.isEmpty()) {
            fail(tr("Name the clock whose rising edges take the samples."));
            return QString();
        }
        cmd += tclCommand(QStringLiteral(" -clock %1"), tclWord(clock));
    } else {
        const qint64 period = m_period->text().toLongLong();
        if (period < 1) {
            fail(tr("Give the period in ticks of the simulation, 1 or more."));
            return QString();
        }
        cmd += QStringLiteral(" -period %1").arg(period);
    }
    if (!m_align->isChecked()) {
        bool ok = false;
        const qint64 offset = m_offset->text().toLongLong(&ok);
        if (!ok) {
            fail(tr("Give the offset in samples, or align on the trigger."));
            return QString();
        }
        cmd += QStringLiteral(" -offset %1").arg(offset);
    }
    return cmd + QStringLiteral(" -limit %1").arg(m_limit->value());
}

bool CompareDialog::runCompare() {
    m_error->clear();
    const QString cmd = command();
    if (cmd.isEmpty() || !m_page)
        return false;
    QString result;
    if (!m_page->gateway() || !m_page->gateway()->tclEval(cmd, &result)) {
        fail(result.isEmpty() ? tr("The compare did not run.") : result);
        return false;
    }
    showResult(result);
    return true;
}

void CompareDialog::showResult(const QString& result) {
    QStringList words;
    if (!splitList(result, &words) || words.size() % 2) {
        fail(tr("The engine's answer is not a compare result: %1").arg(result.left(200)));
        return;
    }
    QHash<QString, QString> d;
    for (int i = 0; i + 1 < words.size(); i += 2)
        d.insert(words.at(i), words.at(i + 1));
    const auto trace = captureOf(m_page);
    QHash<QString, QVector<int>> channels;
    if (trace)
        for (const SimCompare::CaptureSignal& s : SimCompare::captureSignals(*trace))
            if (!channels.contains(s.name))
                channels.insert(s.name, s.channels);

    m_list->clear();
    QVector<CompareMarks::Mark> marks;
    QStringList signalList, samples, trigger;
    splitList(d.value(QStringLiteral("signals")), &signalList);
    splitList(d.value(QStringLiteral("samples")), &samples);
    splitList(d.value(QStringLiteral("trigger")), &trigger);
    qint64 first = -1, spans = 0;
    int differing = 0;
    for (const QString& one : signalList) {
        QStringList s, listed;
        if (!splitList(one, &s) || s.size() != 4 || !splitList(s.at(3), &listed))
            continue;
        const qint64 count = s.at(2).toLongLong();
        auto* top = new QTreeWidgetItem(m_list, {QStringLiteral("%1 ↔ %2").arg(s.at(0), s.at(1)),
                                                 countText(count, tr("span"), tr("spans"))});
        CompareMarks::Mark mark{channels.value(s.at(0)), {}};
        for (const QString& span : listed) {
            QStringList v;
            if (!splitList(span, &v) || v.size() != 4)
                continue;
            const qint64 a = v.at(0).toLongLong(), b = v.at(1).toLongLong();
            mark.spans.append({a, b});
            auto* item = new QTreeWidgetItem(
                top, {QString(), a == b ? QString::number(a) : QStringLiteral("%1 – %2").arg(a).arg(b), v.at(2), v.at(3)});
            item->setData(1, Qt::UserRole, a);
            if (first < 0 || a < first)
                first = a;
        }
        if (count > listed.size())
            new QTreeWidgetItem(top, {QString(), tr("… %1 more, not listed or marked").arg(count - listed.size())});
        if (!mark.spans.isEmpty()) {
            top->setData(1, Qt::UserRole, mark.spans.first().first);
            marks.append(mark);
        }
        top->setExpanded(count > 0);
        differing += count > 0;
        spans += count;
    }
    m_list->resizeColumnToContents(0);
    if (m_page) {
        CompareMarks::of(m_page, true)->setMarks(marks, trace);
        if (first >= 0)
            jumpTo(first);
        else if (m_page->tree())
            m_page->tree()->viewport()->update();
    }
    const QString offset = d.value(QStringLiteral("offset"));
    const QString how =
        d.value(QStringLiteral("aligned")) == QLatin1String("trigger") && trigger.size() == 3
            ? tr("Offset %1: the capture's trigger sample %2 falls on simulation sample %3 (tick %4), the first where "
                 "the paired signals read what the capture reads there.")
                  .arg(offset, trigger.at(0), trigger.at(1), trigger.at(2))
            : tr("Offset %1, as given.").arg(offset);
    const QString range =
        samples.size() == 2 ? tr(" Capture samples %1 to %2 compared.").arg(samples.at(0), samples.at(1)) : QString();
    const QString found = spans == 0 ? tr(" No differences.")
                                     : tr(" %1 of %2 signals differ, in %3; x and z in the simulation differ "
                                          "from any 0 or 1.")
                                           .arg(differing)
                                           .arg(signalList.size())
                                           .arg(countText(spans, tr("span"), tr("spans")));
    m_summary->setText(how + range + found);
}

void CompareDialog::jumpTo(qint64 sample) {
    WaveformModel* m = m_page ? m_page->waveformModel() : nullptr;
    if (!m || !m->hasData() || sample < 0 || sample >= m->getNumTime())
        return;
    const int s = int(sample);
    m->setDataPos(s);
    if (s < m->getViewStart() || s > m->getViewEnd())
        m_page->tree()->zoomToPosition(s, true);
    m_page->tree()->repaintWave();
}

} // namespace vemo::toolona
