#include "hardip/mpphyx4widget.h"

#include "eye/eomflow.h"

#include "hardip/controlcombobox.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/fitmark.h"
#include "widgets/widgetgroupbox.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"
#include "oncdata.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace vemo::toolona {

namespace {

const QString kRed = QStringLiteral("QPushButton {background-color: red;}");
const QString kGreen = QStringLiteral("QPushButton {background-color: green;}");
const QString kFailedCombo = QStringLiteral("QComboBox {background-color: #ffd0d0;}");
const QString kPat0Initial = QStringLiteral("0");
// A status not read yet (or whose read failed) is not known: neither lamp.
const QString kUnknown = QStringLiteral("Unknown");

QStringList numbers(int count) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number(i);
    return out;
}

QString padded(const char* text, int width) { return QString::fromLatin1(text).leftJustified(width, QLatin1Char(' ')); }

MPPHYX4Widget::Row row(MPPHYX4Widget::Row::Kind kind, const QString& header, const char* key = "",
                       const QStringList& items = {}) {
    MPPHYX4Widget::Row r;
    r.kind = kind;
    r.header = header;
    r.key = QLatin1String(key);
    r.items = items;
    return r;
}

MPPHYX4Widget::Row setting(const QString& header, const char* key, const QStringList& items, bool twoBlanks = false) {
    MPPHYX4Widget::Row r = row(MPPHYX4Widget::Row::Combo, header, key, items);
    r.setFormat = QStringLiteral("ona_set_controller -hard_ip %1 -") + r.key +
                  (twoBlanks ? QStringLiteral("  %2") : QStringLiteral(" %2"));
    return r;
}

MPPHYX4Widget::Row status(const QString& header, const char* key, const QString& initial) {
    MPPHYX4Widget::Row r = row(MPPHYX4Widget::Row::Status, header, key);
    r.initial = initial;
    return r;
}

bool isBinaryWord(const QString& text) {
    static const QRegularExpression bits(QStringLiteral("^(?:[01]{8}|[01]{10})$"));
    return bits.match(text).hasMatch();
}

} // namespace

MPPHYX4Widget::MPPHYX4Widget(ToolGateway* gateway, QWidget* parent) : HardIpWidget(gateway, parent) {}

QList<MPPHYX4Widget::Row> MPPHYX4Widget::rows(Table table) {
    const QStringList ohms{QStringLiteral("54-ohm"), QStringLiteral("52-ohm"), QStringLiteral("50-ohm"),
                           QStringLiteral("48-ohm"), QStringLiteral("46-ohm"), QStringLiteral("44-ohm"),
                           QStringLiteral("42-ohm"), QStringLiteral("40-ohm")};
    const QStringList widths{QStringLiteral("8-bit"),  QStringLiteral("10-bit"), QStringLiteral("16-bit"),
                             QStringLiteral("20-bit"), QStringLiteral("32-bit"), QStringLiteral("40-bit")};
    const QStringList offOn{QStringLiteral("Off"), QStringLiteral("On")};
    switch (table) {
        case IBERT: {
            const QStringList prbs{
                QStringLiteral("Disabled"),    QStringLiteral("PRBS31"),       QStringLiteral("PRBS23_18"),
                QStringLiteral("PRBS23_21"),   QStringLiteral("PRBS16"),       QStringLiteral("PRBS15"),
                QStringLiteral("PRBS11"),      QStringLiteral("PRBS7"),        QStringLiteral("Fixed Word"),
                QStringLiteral("DC Balanced"), QStringLiteral("Fixed Pattern")};
            Row loopback =
                row(Row::Combo, QStringLiteral("Loopback Mode"), "loopback_mode",
                    {QStringLiteral("Disabled"), QStringLiteral("Near-End Serial"), QStringLiteral("Parallel")});
            loopback.setFormat = QStringLiteral("ona_set_controller -hard_ip %1 -loopback_mode \"%2\"");
            // The patterns are only staged: Restart applies them.
            Row tx = row(Row::Combo, QStringLiteral("TX PRBS Pattern"), "tx_prbs_pattern", prbs);
            tx.setFormat = QStringLiteral("ona_set_controller -hard_ip %1 -tx_prbs_pattern \"%2\"");
            tx.write = false;
            Row rx = row(Row::Combo, QStringLiteral("RX PRBS Pattern"), "rx_prbs_pattern", prbs);
            rx.setFormat = QStringLiteral("ona_set_controller -hard_ip %1 -rx_prbs_pattern \"%2\"");
            rx.write = false;
            return {row(Row::ReadButton, QStringLiteral("IBERT")),
                    loopback,
                    tx,
                    rx,
                    row(Row::Pat0, QStringLiteral("PAT0 "), "tx_prbs_pat0"),
                    row(Row::Restart, QStringLiteral("Restart")),
                    row(Row::Inject, padded("Inject 1-bit Error", 34)),
                    row(Row::Count, padded("PRBS Error Count", 34), "rx_prbs_errcount")};
        }
        case TX:
            return {row(Row::ReadButton, QStringLiteral("TX")),
                    status(QStringLiteral("PLL Lock Status"), "pll_lock_status", kUnknown),
                    setting(QStringLiteral("TX Data Polarity"), "tx_data_polarity",
                            {QStringLiteral("Non-invert"), QStringLiteral("Invert")}),
                    setting(QStringLiteral("TX Data Width"), "tx_data_width", widths),
                    setting(QStringLiteral("TX Data Enable"), "tx_data_enable", offOn, true),
                    setting(QStringLiteral("TX Equal Pre-cursor"), "tx_equal_pre", numbers(28)),
                    setting(QStringLiteral("TX Equal Main-cursor"), "tx_equal_main", numbers(25)),
                    setting(QStringLiteral("TX Equal Post-cursor"), "tx_equal_post", numbers(36)),
                    setting(QStringLiteral("TX Termination"), "tx_termination", ohms),
                    setting(QStringLiteral("TX Diff Amplitude Enable"), "tx_amp_enable", offOn),
                    setting(QStringLiteral("TX Diff Amplitude (iboost)"), "tx_amp_iboost", numbers(16)),
                    setting(QStringLiteral("TX Diff Amplitude (vboost)"), "tx_amp_vboost", numbers(8))};
        case RX:
            return {row(Row::ReadButton, QStringLiteral("RX")),
                    status(QStringLiteral("CDR Lock Status"), "cdr_lock_status", kUnknown),
                    status(QStringLiteral("RX Signal Status"), "rx_signal_status", kUnknown),
                    setting(QStringLiteral("RX Loss of Signal Threshold"), "rx_signal_threshold",
                            {QStringLiteral("60mVpp"), QStringLiteral("80mVpp"), QStringLiteral("100mVpp"),
                             QStringLiteral("120mVpp"), QStringLiteral("140mVpp"), QStringLiteral("160mVpp"),
                             QStringLiteral("180mVpp")}),
                    setting(QStringLiteral("RX Data Polarity"), "rx_data_polarity",
                            {QStringLiteral("Non-Invert"), QStringLiteral("Invert")}),
                    setting(QStringLiteral("RX Data Width"), "rx_data_width", widths, true),
                    setting(QStringLiteral("RX Equal Afe Rate"), "rx_equal_afe", numbers(8)),
                    setting(QStringLiteral("RX Equal Atten Level"), "rx_equal_atten", numbers(8)),
                    setting(QStringLiteral("RX Equal Ctle Pole"), "rx_equal_pole", numbers(4)),
                    setting(padded("RX Equal Ctle Boost", 26), "rx_equal_boost", numbers(32)),
                    setting(padded("RX Equal Vga1 Gain", 26), "rx_equal_vga1", numbers(8)),
                    setting(QStringLiteral("RX Equal Vga2 Gain"), "rx_equal_vga2", numbers(8)),
                    setting(QStringLiteral("RX Termination"), "rx_termination", ohms),
                    setting(QStringLiteral("RX Termination Acdc"), "rx_term_acdc",
                            {QStringLiteral("DC"), QStringLiteral("AC")})};
    }
    return {};
}

QList<int> MPPHYX4Widget::laneMap() const {
    QList<int> out;
    for (const QString& l : data().lanes)
        out << l.toInt();
    return out;
}

QSize MPPHYX4Widget::sizeHint() const { return layout() ? layout()->sizeHint() : QWidget::sizeHint(); }

void MPPHYX4Widget::createControls(int& row) {
    Q_UNUSED(row);
    m_eom = new QPushButton(tr("Eye-Opening Monitor..."), addressGroup());
    grid()->addWidget(m_eom, hierarchyRow(), 5, 1, 3);
    setHierarchyWidth(376, 4);
    connect(m_eom, &QPushButton::clicked, this, &MPPHYX4Widget::onEomBtnClicked);

    if (!data().quad.isEmpty()) {
        m_quadLabel = new QLabel(tr("Assigned Quad: ") + data().quad, this);
        outerLayout()->addWidget(m_quadLabel);
    }

    const QList<int> lanes = laneMap();
    const auto belongs = [&lanes](int lane) { return lanes.isEmpty() || lanes.contains(lane); };
    m_groups = new WidgetGroupBox(this);
    const char* names[] = {"tableIBERT", "tableTX", "tableRX"};
    const QString titles[] = {tr("IBERT Settings"), tr("TX Settings"), tr("RX Settings")};
    for (Table t : {IBERT, TX, RX}) {
        m_rows[t] = rows(t);
        QStringList headers;
        for (const Row& r : std::as_const(m_rows[t]))
            headers << r.header;
        auto* table = new LaneTable(QLatin1String(names[t]), headers, m_groups);
        m_tables[t] = table;
        for (int r = 0; r < m_rows[t].size(); ++r) {
            const Row& rowDef = m_rows[t].at(r);
            table->fillRow(r, [&](int lane) -> QWidget* {
                switch (rowDef.kind) {
                    case Row::ReadButton:
                        return new QPushButton(tr("Read"), table);
                    case Row::Restart:
                        return new QPushButton(tr("Restart"), table);
                    case Row::Inject:
                        return new QPushButton(tr("Inject"), table);
                    case Row::Count:
                        return new QPushButton(QStringLiteral("0"), table);
                    case Row::Status: {
                        auto* b = new QPushButton(rowDef.initial, table);
                        b->setAttribute(Qt::WA_TransparentForMouseEvents);
                        // A status to read, not a button to press.
                        b->setFlat(true);
                        b->setFocusPolicy(Qt::NoFocus);
                        b->setToolTip(tr("Not read yet: Read shows the device's status."));
                        return b;
                    }
                    case Row::Pat0: {
                        auto* e = new QLineEdit(kPat0Initial, table);
                        e->setAlignment(Qt::AlignCenter);
                        // Binary digits only; an eleventh stays, marked, and
                        // Restart refuses it instead of a cut word being sent.
                        e->setValidator(
                            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[01]*")), e));
                        connect(e, &QLineEdit::textChanged, e, [e](const QString& t) {
                            markUnfit(e, t.size() > 10 ? tr("PAT0 holds at most 10 binary digits.") : QString());
                        });
                        return e;
                    }
                    case Row::Combo: {
                        auto* c = new ControlComboBox(table);
                        c->addItems(rowDef.items);
                        return c;
                    }
                }
                return nullptr;
            });
        }
        table->fitToContents();
        m_groups->addGroupWidget(table, titles[t]);
    }

    // Only now that every cell holds its items and first value: nothing is
    // sent while the panel is built.
    for (Table t : {IBERT, TX, RX}) {
        for (int r = 0; r < m_rows[t].size(); ++r) {
            for (QWidget* cell : m_tables[t]->row(r)) {
                auto* button = qobject_cast<QPushButton*>(cell);
                switch (m_rows[t].at(r).kind) {
                    case Row::ReadButton:
                        connect(button, &QPushButton::clicked, this,
                                t == IBERT ? &MPPHYX4Widget::onIBERTReadALL
                                : t == TX  ? &MPPHYX4Widget::onTXReadALL
                                           : &MPPHYX4Widget::onRXReadALL);
                        break;
                    case Row::Restart:
                        connect(button, &QPushButton::clicked, this, &MPPHYX4Widget::onIBERTRestart);
                        break;
                    case Row::Inject:
                        connect(button, &QPushButton::clicked, this, &MPPHYX4Widget::onIBERTInjectError);
                        break;
                    case Row::Count:
                        connect(button, &QPushButton::clicked, this, &MPPHYX4Widget::onIBERTErrorCount);
                        break;
                    case Row::Combo:
                        connect(static_cast<ControlComboBox*>(cell), &QComboBox::currentTextChanged, this,
                                &MPPHYX4Widget::onLaneSettingChanged);
                        break;
                    default:
                        break;
                }
            }
        }
    }
    if (!lanes.isEmpty())
        for (int lane = 0; lane < LaneTable::kLanes; ++lane)
            if (!belongs(lane))
                for (LaneTable* table : m_tables)
                    table->switchOffLane(lane, this);

    auto* settings = new QWidget(m_groups);
    auto* form = new QGridLayout(settings);
    int formRow = 0;
    addBlockMemoryForm(form, settings, formRow);
    m_groups->addGroupWidget(settings, tr("Controller Settings"));
    m_groups->buildLayout();
    outerLayout()->addWidget(m_groups);
}

bool MPPHYX4Widget::eval(const QString& command, QString* result) {
    QString local;
    return gateway() && gateway()->tclEval(command, result ? result : &local);
}

bool MPPHYX4Widget::selectLane(int lane) { return eval(QStringLiteral("ona_set_controller -pcs_lane %1").arg(lane)); }

int MPPHYX4Widget::senderLane(Table t, int row) const { return m_tables[t] ? m_tables[t]->laneOf(row, sender()) : -1; }

void MPPHYX4Widget::onLaneSettingChanged(const QString& text) {
    for (Table t : {IBERT, TX, RX}) {
        int r = -1, lane = -1;
        if (!m_tables[t] || !m_tables[t]->find(sender(), &r, &lane))
            continue;
        const Row& rowDef = m_rows[t].at(r);
        if (rowDef.kind != Row::Combo)
            return;
        vemo::basgui::BusyCursor busy;
        selectLane(lane);
        const bool quoted = rowDef.setFormat.contains(QLatin1String("\"%2\""));
        eval(tclCommand(rowDef.setFormat, name(), quoted ? tclQuoted(text) : tclWord(text.toLower())));
        if (rowDef.write)
            eval(tclCommand(QStringLiteral("ona_run_controller -write_ip %1 -%2"), name(), rowDef.key));
        return;
    }
    // Not one of the lanes' controls: no lane to write to.
}

void MPPHYX4Widget::onIBERTRestart() {
    const int lane = senderLane(IBERT, 5);
    if (lane < 0)
        return;
    auto* pat0 = static_cast<QLineEdit*>(m_tables[IBERT]->row(4)[lane]);
    const QString word = pat0->text();
    const bool send = isBinaryWord(word);
    if (!send && !word.isEmpty() && word != kPat0Initial) {
        warn(tr("PAT0 must be exactly 8 or 10 binary digits (0 or 1), not \"%1\". Nothing was sent.").arg(word));
        return;
    }
    vemo::basgui::BusyCursor busy;
    selectLane(lane);
    if (send)
        eval(tclCommand(QStringLiteral("ona_set_controller -hard_ip %1 -tx_prbs_pat0 %2"), name(), word));
    eval(tclCommand(QStringLiteral("ona_run_controller -restart_prbs %1"), name()));
}

void MPPHYX4Widget::onIBERTInjectError() {
    const int lane = senderLane(IBERT, 6);
    if (lane < 0)
        return;
    vemo::basgui::BusyCursor busy;
    selectLane(lane);
    eval(tclCommand(QStringLiteral("ona_run_controller -inject_error %1"), name()));
}

void MPPHYX4Widget::onIBERTErrorCount() {
    const int lane = senderLane(IBERT, 7);
    if (lane < 0)
        return;
    vemo::basgui::BusyCursor busy;
    selectLane(lane);
    readErrorCount(lane);
}

void MPPHYX4Widget::readErrorCount(int lane) {
    auto* button = static_cast<QPushButton*>(m_tables[IBERT]->row(7)[lane]);
    vemo::basgui::BusyCursor busy;
    QString result;
    const bool ok = eval(tclCommand(QStringLiteral("ona_run_controller -count_error %1"), name()), &result);
    const QString value = ONCData::inst()->getHardIP(name(), QStringLiteral("rx_prbs_errcount"));
    bool number = false;
    value.toULongLong(&number, 10);
    if (ok && number) {
        button->setText(value);
        button->setStyleSheet(QString());
        button->setToolTip(QString());
        return;
    }
    // A count that could not be read is not zero errors.
    button->setText(tr("Read failed"));
    button->setStyleSheet(kRed);
    button->setToolTip(result.isEmpty() ? tr("The error count could not be read.") : result);
}

void MPPHYX4Widget::onIBERTReadALL() { readAll(IBERT); }
void MPPHYX4Widget::onTXReadALL() { readAll(TX); }
void MPPHYX4Widget::onRXReadALL() { readAll(RX); }

void MPPHYX4Widget::readAll(Table t) {
    const int lane = senderLane(t, 0);
    if (lane < 0)
        return;
    const QList<Row>& rows = m_rows[t];
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (int r = 0; r < rows.size(); ++r)
        blockers.push_back(std::make_unique<QSignalBlocker>(m_tables[t]->row(r)[lane]));
    setEnabled(false);
    {
        vemo::basgui::BusyCursor busy;
        selectLane(lane);
        if (t == TX)
            onTXReadPLL(lane);
        else if (t == RX)
            onRXReadPLL(lane);
        for (int r = 0; r < rows.size(); ++r) {
            const Row& rowDef = rows.at(r);
            // The loopback mode is set from here only, never read back.
            if (rowDef.kind != Row::Combo || rowDef.key == QLatin1String("loopback_mode"))
                continue;
            readCombo(rowDef.key, m_tables[t]->row(r)[lane]);
        }
        if (t == IBERT) {
            auto* pat0 = static_cast<QLineEdit*>(m_tables[t]->row(4)[lane]);
            if (eval(tclCommand(QStringLiteral("ona_run_controller -read_ip %1 -tx_prbs_pat0"), name())))
                pat0->setText(ONCData::inst()->getHardIP(name(), QStringLiteral("tx_prbs_pat0")));
            // Read reads the whole lane, its error count too.
            readErrorCount(lane);
        }
    }
    blockers.clear();
    setEnabled(true);
    if (!data().isEnabled())
        setEnabled(false);
}

bool MPPHYX4Widget::readCombo(const QString& key, QWidget* cell) {
    auto* combo = static_cast<ControlComboBox*>(cell);
    QString result;
    const bool ok = eval(tclCommand(QStringLiteral("ona_run_controller -read_ip %1 -%2"), name(), key), &result);
    const QString value = ONCData::inst()->getHardIP(name(), key);
    int index = -1;
    for (int i = 0; i < combo->count() && index < 0; ++i)
        if (combo->itemText(i).compare(value, Qt::CaseInsensitive) == 0)
            index = i;
    if (!ok || index < 0) {
        // The device's value is unknown: the box keeps what it shows.
        markRead(
            combo, false,
            !ok && !result.isEmpty() ? result : tr("The device gave \"%1\", which is none of the choices.").arg(value));
        return false;
    }
    combo->setCurrentIndex(index);
    markRead(combo, true, QString());
    return true;
}

void MPPHYX4Widget::markRead(QWidget* cell, bool ok, const QString& why) {
    cell->setStyleSheet(ok ? QString() : kFailedCombo);
    cell->setToolTip(ok ? QString() : tr("The last read failed: %1").arg(why));
}

void MPPHYX4Widget::showStatus(QWidget* cell, bool good, const QString& goodText, const QString& badText) {
    auto* button = static_cast<QPushButton*>(cell);
    button->setText(good ? goodText : badText);
    button->setStyleSheet(good ? kGreen : kRed);
    button->setToolTip(QString());
}

bool MPPHYX4Widget::readStatus(const QString& key, QWidget* cell, QString* value) {
    QString result;
    const bool ok = eval(tclCommand(QStringLiteral("ona_run_controller -read_ip %1 -%2"), name(), key), &result);
    *value = ONCData::inst()->getHardIP(name(), key);
    if (ok && !value->isEmpty())
        return true;
    auto* button = static_cast<QPushButton*>(cell);
    button->setText(kUnknown);
    button->setStyleSheet(QString());
    button->setToolTip(tr("The status could not be read: %1").arg(result.isEmpty() ? tr("no value") : result));
    return false;
}

void MPPHYX4Widget::onTXReadPLL(int lane) {
    if (lane < 0 || lane >= LaneTable::kLanes)
        return;
    QString v;
    if (readStatus(QStringLiteral("pll_lock_status"), m_tables[TX]->row(1)[lane], &v))
        showStatus(m_tables[TX]->row(1)[lane], v.compare(QLatin1String("locked"), Qt::CaseInsensitive) == 0,
                   QStringLiteral("Locked"), QStringLiteral("Unlocked"));
}

void MPPHYX4Widget::onRXReadPLL(int lane) {
    if (lane < 0 || lane >= LaneTable::kLanes)
        return;
    QString lock, signal;
    if (readStatus(QStringLiteral("cdr_lock_status"), m_tables[RX]->row(1)[lane], &lock))
        showStatus(m_tables[RX]->row(1)[lane], lock.compare(QLatin1String("locked"), Qt::CaseInsensitive) == 0,
                   QStringLiteral("Locked"), QStringLiteral("Unlocked"));
    if (readStatus(QStringLiteral("rx_signal_status"), m_tables[RX]->row(2)[lane], &signal))
        showStatus(m_tables[RX]->row(2)[lane], signal.compare(QLatin1String("valid"), Qt::CaseInsensitive) == 0,
                   QStringLiteral("Valid"), QStringLiteral("Invalid"));
}

void MPPHYX4Widget::onEomBtnClicked() { EomFlow::runQuad(this, gateway()); }

void MPPHYX4Widget::warn(const QString& text) {
    vemo::basgui::Dialogs::message(QMessageBox::Warning, this, tr("Warning"), text, QMessageBox::Ok);
}

} // namespace vemo::toolona
