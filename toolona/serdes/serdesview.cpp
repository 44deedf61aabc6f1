#include "serdes/serdesview.h"

#include "kit/tclcommand.h"
#include "serdes/serdeswidgets.h"
#include "widgets/targetnotice.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "pcsdata.h"

#include <QComboBox>
#include <QCompleter>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWindow>

namespace vemo::toolona {

namespace {

const QString kPlaceholder = QStringLiteral("Select New Value...");

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

// A choice box sized as the AdjustToMinimumContentsLengthWithIcon policy
// sizes one, 16 characters wide whatever its choices (the long loss-of-lock
// choices would widen the page beyond the window's default; the list still
// shows them whole, and so does the tool tip of the one chosen). Under that
// policy the size does not depend on the choices, so every box of the page
// takes the size of one hidden box that has the policy: the policy builds a
// box's popup at once, and for each box that was a share of the start-up.
class ChoiceBox : public QComboBox {
public:
    ChoiceBox(const QComboBox* sized, QWidget* parent) : QComboBox(parent), m_sized(sized) {}
    QSize sizeHint() const override { return m_sized ? m_sized->sizeHint() : QComboBox::sizeHint(); }
    QSize minimumSizeHint() const override {
        return m_sized ? m_sized->minimumSizeHint() : QComboBox::minimumSizeHint();
    }

private:
    // The page's; it may go first while the page is torn down.
    QPointer<const QComboBox> m_sized;
};

// The command of each control whose option is an item text in quotes.
const QHash<QString, QString>& quotedFormats() {
    static const QHash<QString, QString> formats = {
        {QStringLiteral("tx_term"), QStringLiteral("ona_set_pcs -control tx_term -option \"%1\"")},
        {QStringLiteral("tx_precur"), QStringLiteral("ona_set_pcs -control tx_precur -option \"%1\"")},
        {QStringLiteral("tx_postcur"), QStringLiteral("ona_set_pcs -control tx_postcur -option \"%1\"")},
        {QStringLiteral("tx_losslock"), QStringLiteral("ona_set_pcs -control tx_losslock -option \"%1\"")},
        {QStringLiteral("rx_term"), QStringLiteral("ona_set_pcs -control rx_term -option \"%1\"")},
        {QStringLiteral("rx_coupling"), QStringLiteral("ona_set_pcs -control rx_coupling -option \"%1\"")},
        {QStringLiteral("rx_channellength"), QStringLiteral("ona_set_pcs -control rx_channellength -option \"%1\"")},
        {QStringLiteral("rx_datarate"), QStringLiteral("ona_set_pcs -control rx_datarate -option \"%1\"")},
        {QStringLiteral("rx_leq"), QStringLiteral("ona_set_pcs -control rx_leq -option \"%1\"")},
        {QStringLiteral("rx_los_thres"), QStringLiteral("ona_set_pcs -control rx_los_thres -option \"%1\"")},
        {QStringLiteral("rx_losslock"), QStringLiteral("ona_set_pcs -control rx_losslock -option \"%1\"")},
        {QStringLiteral("loopback"), QStringLiteral("ona_set_pcs -control loopback -option \"%1\"")},
    };
    return formats;
}

// Settings shown by item index: the engine's index is taken when it is an
// item; the placeholder ones show "Select New Value..." for no value.
const QStringList kIndexed{"tx_term",     "tx_losslock", "rx_term",   "rx_coupling", "rx_los_thres",
                           "rx_losslock", "tx_invert",   "rx_invert", "loopback"};
const QStringList kPlaceheld{"tx_precur", "tx_postcur", "rx_channellength", "rx_datarate", "rx_leq"};
const QStringList kResetKeys{"tx_pll_reset", "macro_reset",  "dcu_reset",
                             "tx_pcs_reset", "rx_pcs_reset", "rx_cdr_reset"};

// A control the engine changed is drawn at once, even while a script keeps
// the event loop busy; until the window is first on screen that would paint
// the whole window for each control, and the first paint shows it anyway.
void repaintNow(QWidget* w) {
    const QWindow* window = w->window()->windowHandle();
    if (window && window->isExposed())
        w->repaint();
    else
        w->update();
}

QGroupBox* group(const QString& title, QWidget* parent, QGridLayout** grid) {
    auto* box = new QGroupBox(title, parent);
    *grid = new QGridLayout(box);
    return box;
}

} // namespace

SERDESView::SERDESView(QWidget* parent) : QScrollArea(parent), m_completer(new QCompleter(this)) {
    setWidgetResizable(true);
    auto* content = new QWidget(this);
    auto* grid = new QGridLayout(content);

    // Row 0: the channel and the buttons.
    auto* pick = new QHBoxLayout;
    pick->addWidget(new QLabel(tr("DCUA:"), content));
    m_dcua = new QComboBox(content);
    m_combos.insert(QStringLiteral("dcua"), m_dcua);
    pick->addWidget(m_dcua);
    grid->addLayout(pick, 0, 0);
    auto* pickChannel = new QHBoxLayout;
    pickChannel->addWidget(new QLabel(tr("Channel:"), content));
    m_channel = new QComboBox(content);
    m_combos.insert(QStringLiteral("channel"), m_channel);
    pickChannel->addWidget(m_channel);
    grid->addLayout(pickChannel, 0, 1);
    for (QComboBox* c : {m_dcua, m_channel}) {
        makeReadOnlyEditable(c);
        c->setMinimumContentsLength(3);
    }
    connect(m_dcua, &QComboBox::currentIndexChanged, this, &SERDESView::doDCUA);
    connect(m_channel, &QComboBox::currentIndexChanged, this, &SERDESView::doChannel);
    m_apply = gridButton(grid, 0, 4, tr("Apply"), this, &SERDESView::doApply);
    m_reload = gridButton(grid, 0, 5, tr("Config SRAM Reload"), this, &SERDESView::doConfigSRAMReload);
    m_import = gridButton(grid, 0, 6, tr("Import..."), this, &SERDESView::doImport);
    m_export = gridButton(grid, 0, 7, tr("Export..."), this, &SERDESView::doExport);

    const QStringList cursors = QStringList{QStringLiteral("Disabled")} + numbers(0, 11);
    const QStringList invert{QStringLiteral("Non-invert"), QStringLiteral("Invert")};

    // The box the page's choice boxes take their size from; never shown.
    m_sized = new QComboBox(content);
    makeReadOnlyEditable(m_sized);
    m_sized->hide();

    // Transmit.
    QGridLayout* tx = nullptr;
    grid->addWidget(group(tr("Transmit"), content, &tx), 1, 0, 1, 4);
    tx->addWidget(new QLabel(tr("Differential amplitude"), content), 0, 0, 1, 2);
    m_amplitude = new QLineEdit(content);
    m_amplitude->setPlaceholderText(kPlaceholder);
    tx->addWidget(m_amplitude, 0, 2, 1, 2);
    connect(m_amplitude, &QLineEdit::editingFinished, this, &SERDESView::doAmplitude);
    addCombo(tx, 1, QStringLiteral("tx_term"), tr("Output termination"), {"50ohms", "75ohms", "5Kohms"}, false,
             &SERDESView::doOutTerm);
    addCombo(tx, 2, QStringLiteral("tx_precur"), tr("De-emphasis pre-cursor select"), cursors, true,
             &SERDESView::doPrecursor);
    addCombo(tx, 3, QStringLiteral("tx_postcur"), tr("De-emphasis post-cursor select"), cursors, true,
             &SERDESView::doPostcursor);
    addCombo(tx, 4, QStringLiteral("tx_invert"), tr("Invert Tx data polarity"), invert, false, &SERDESView::doTxInvt);
    addCombo(tx, 5, QStringLiteral("tx_losslock"), tr("TxPLL Loss of lock setting"),
             {"Lock=+/-300ppm x2 Unlock=+/-600ppm x2", "Lock=+/-300ppm Unlock=+/-2000ppm",
              "Lock=+/-1500ppm Unlock=+/-2200ppm", "Lock=+/-4000ppm Unlock=+/-6000ppm"},
             false, &SERDESView::doTxLOL);
    addLamp(tx, 6, QStringLiteral("pll_lol_state"), tr("PLL lock status"));

    // Receive, with its equalisation group.
    QGridLayout* rx = nullptr;
    grid->addWidget(group(tr("Receive"), content, &rx), 2, 0, 1, 4);
    addCombo(rx, 0, QStringLiteral("rx_term"), tr("Input termination"), {"50ohms", "60ohms", "75ohms", "5Kohms"}, false,
             &SERDESView::doInTerm);
    addCombo(rx, 1, QStringLiteral("rx_coupling"), tr("AC/DC coupled"), {"DC", "AC"}, false, &SERDESView::doACCouple);
    QGridLayout* eq = nullptr;
    rx->addWidget(group(tr("Equalization"), content, &eq), 2, 0, 1, 4);
    addCombo(eq, 0, QStringLiteral("rx_channellength"), tr("Channel length"),
             {"Disabled", "5-10in", "10-15in", "15-20in"}, true, &SERDESView::doChLenth);
    addCombo(eq, 1, QStringLiteral("rx_datarate"), tr("Data rate"),
             {"Disabled", "0.5-1Gbps", "1-2Gbps", "2-2.5Gbps", "Above 2.5Gbps"}, true, &SERDESView::doDataRate);
    addCombo(eq, 2, QStringLiteral("rx_leq"), tr("EQ level"), {"6dB", "9dB", "12dB"}, true, &SERDESView::doEQ);
    addCombo(rx, 3, QStringLiteral("rx_los_thres"), tr("Loss of signal threshold select"), numbers(0, 7), false,
             &SERDESView::doLOSThres);
    addCombo(rx, 4, QStringLiteral("rx_invert"), tr("Invert Rx data polarity"), invert, false, &SERDESView::doRxInvt);
    addLamp(rx, 5, QStringLiteral("los_state"), tr("Receive input signal status"));
    addCombo(rx, 6, QStringLiteral("rx_losslock"), tr("CDR loss of lock setting"),
             {"Lock=+/-1000ppm x2 Unlock=+/-1500ppm x2", "Lock=+/-2000ppm x2 Unlock=+/-2500ppm x2",
              "Lock=+/-4000ppm Unlock=+/-7000ppm", "Lock=+/-300ppm Unlock=+/-450ppm"},
             false, &SERDESView::doLOL);
    addLamp(rx, 7, QStringLiteral("cdr_lol_state"), tr("CDR loss status"));

    // General: label in column 0, combo box in column 4.
    QGridLayout* general = nullptr;
    grid->addWidget(group(tr("General"), content, &general), 1, 4, 1, 4);
    general->addWidget(new QLabel(tr("Loopback mode"), content), 0, 0);
    auto* loopback = new ChoiceBox(m_sized, content);
    makeReadOnlyEditable(loopback, false);
    loopback->addItems({"Disabled", "Rx EQ to Tx", "Tx Output to Rx", "Rx Parallel to Tx by config bit"});
    general->addWidget(loopback, 0, 4);
    m_combos.insert(QStringLiteral("loopback"), loopback);
    connect(loopback, &QComboBox::currentIndexChanged, this, &SERDESView::doLoopback);

    // Resets: label in column 0, button in column 7.
    QGridLayout* resets = nullptr;
    grid->addWidget(group(tr("Resets"), content, &resets), 2, 4, 1, 4);
    addReset(resets, 0, QStringLiteral("tx_pll_reset"), tr("TxPLL reset (tx_rst - DCU based)"),
             &SERDESView::doTxPLLReset);
    addReset(resets, 1, QStringLiteral("macro_reset"), tr("Macro reset (Reset whole DCU)"), &SERDESView::doMacReset);
    addReset(resets, 2, QStringLiteral("dcu_reset"), tr("DCU reset (Ch reset - Rx & Tx PCS)"), &SERDESView::doDCUReset);
    addReset(resets, 3, QStringLiteral("tx_pcs_reset"), tr("Tx PCS reset (Ch reset - Tx PCS)"),
             &SERDESView::doTxPCSReset);
    addReset(resets, 4, QStringLiteral("rx_pcs_reset"), tr("Rx PCS reset (Ch reset - Rx PCS)"),
             &SERDESView::doRxPCSReset);
    addReset(resets, 5, QStringLiteral("rx_cdr_reset"), tr("Rx CDR reset (Ch reset - Rx CDR)"),
             &SERDESView::doRxCDRReset);
    resets->setColumnStretch(1, 1);

    grid->setRowStretch(3, 1);
    grid->setColumnStretch(8, 1);
    // The target's reason for having no SERDES sits above the controls it
    // disables, inside the scrolled page.
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    m_notice = new TargetNotice(page);
    column->addWidget(m_notice);
    column->addWidget(content, 1);
    const auto showFault = [this, content] { m_notice->setFault(PCSData::inst()->deviceFault(), content); };
    connect(PCSData::inst(), &PCSData::deviceChanged, this, showFault);
    showFault();
    setWidget(page);

    PCSData* pcs = PCSData::inst();
    connect(pcs, &PCSData::pcsDirty, this, &SERDESView::doSettingChanged);
    connect(pcs, &PCSData::pcsRead, this, &SERDESView::doSettingRead);
    // A page built late shows what the engine holds, as one built early would.
    readAll();
}

void SERDESView::makeReadOnlyEditable(QComboBox* combo, bool sized) {
    // What setEditable(true) would do, but the line edit comes with the
    // page's one completer: the combo box would make a completer of its own
    // for each, the costliest part of building the page, and a line edit that
    // takes no typing never completes.
    auto* edit = new QLineEdit(combo);
    edit->setPalette(combo->palette());
    edit->setCompleter(m_completer);
    combo->setLineEdit(edit);
    edit->setReadOnly(true);
    if (sized)
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(16);
    connect(combo, &QComboBox::currentTextChanged, combo, [combo, edit](const QString& text) {
        combo->setToolTip(text);
        edit->setCursorPosition(0); // the start of a long choice, not its end
    });
}

QComboBox* SERDESView::addCombo(QGridLayout* grid, int row, const QString& key, const QString& label,
                                const QStringList& items, bool placeholder, void (SERDESView::*slot)(int)) {
    grid->addWidget(new QLabel(label, grid->parentWidget()), row, 0, 1, 2);
    auto* combo = new ChoiceBox(m_sized, grid->parentWidget());
    makeReadOnlyEditable(combo, false);
    combo->addItems(items);
    if (placeholder) {
        combo->lineEdit()->setPlaceholderText(kPlaceholder);
        combo->setCurrentIndex(-1);
    }
    grid->addWidget(combo, row, 2, 1, 2);
    m_combos.insert(key, combo);
    connect(combo, &QComboBox::currentIndexChanged, this, slot);
    return combo;
}

void SERDESView::addLamp(QGridLayout* grid, int row, const QString& key, const QString& label) {
    grid->addWidget(new QLabel(label, grid->parentWidget()), row, 0, 1, 2);
    auto* lamp = new StatusLabel(StatusLEDWidget::Disc, grid->parentWidget());
    grid->addWidget(lamp, row, 2);
    m_lamps.insert(key, lamp);
}

void SERDESView::addReset(QGridLayout* grid, int row, const QString& key, const QString& label,
                          void (SERDESView::*slot)()) {
    grid->addWidget(new QLabel(label, grid->parentWidget()), row, 0);
    auto* button = new ResetButton(grid->parentWidget());
    grid->addWidget(button, row, 7);
    m_resets.insert(key, button);
    connect(button, &ResetButton::clicked, this, slot);
}

void SERDESView::sendQuoted(const QString& key, int index) {
    QComboBox* combo = m_combos.value(key);
    // Index -1 is no value (a cleared list or the placeholder): nothing to send.
    if (!combo || index < 0 || index >= combo->count())
        return;
    emit tclPCS(tclCommand(quotedFormats().value(key), tclQuoted(combo->itemText(index))));
}

void SERDESView::sendOnOff(const QString& key, bool on) {
    emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control %1 -option %2"), key,
                           on ? QStringLiteral("on") : QStringLiteral("off")));
}

void SERDESView::sendReset(const QString& key) { sendOnOff(key, m_resets.value(key)->state()); }

void SERDESView::doAmplitude() {
    if (!m_amplitude->isModified())
        return;
    m_amplitude->setModified(false);
    bool ok = false;
    const int value = m_amplitude->text().toInt(&ok, 10);
    if (!ok || !((value >= 0 && value <= 9) || (value >= 100 && value <= 1300 && value % 20 == 0))) {
        m_amplitude->setText(QStringLiteral("100"));
        return;
    }
    // The number as the engine reads it: "0120" would be octal to Tcl.
    const QString plain = QString::number(value);
    m_amplitude->setText(plain);
    emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control tx_diffamp -option \"%1\""), plain));
}

void SERDESView::doOutTerm(int index) { sendQuoted(QStringLiteral("tx_term"), index); }
void SERDESView::doPrecursor(int index) { sendQuoted(QStringLiteral("tx_precur"), index); }
void SERDESView::doPostcursor(int index) { sendQuoted(QStringLiteral("tx_postcur"), index); }
void SERDESView::doTxLOL(int index) { sendQuoted(QStringLiteral("tx_losslock"), index); }
void SERDESView::doInTerm(int index) { sendQuoted(QStringLiteral("rx_term"), index); }
void SERDESView::doACCouple(int index) { sendQuoted(QStringLiteral("rx_coupling"), index); }
void SERDESView::doChLenth(int index) { sendQuoted(QStringLiteral("rx_channellength"), index); }
void SERDESView::doDataRate(int index) { sendQuoted(QStringLiteral("rx_datarate"), index); }
void SERDESView::doEQ(int index) { sendQuoted(QStringLiteral("rx_leq"), index); }
void SERDESView::doLOSThres(int index) { sendQuoted(QStringLiteral("rx_los_thres"), index); }
void SERDESView::doLOL(int index) { sendQuoted(QStringLiteral("rx_losslock"), index); }
void SERDESView::doLoopback(int index) { sendQuoted(QStringLiteral("loopback"), index); }

void SERDESView::doTxInvt(int index) {
    if (index >= 0)
        emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control tx_invert -option %1"),
                               index == 0 ? QStringLiteral("off") : QStringLiteral("on")));
}

void SERDESView::doRxInvt(int index) {
    if (index >= 0)
        emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control rx_invert -option %1"),
                               index == 0 ? QStringLiteral("off") : QStringLiteral("on")));
}

void SERDESView::doTxPLLReset() { sendReset(QStringLiteral("tx_pll_reset")); }
void SERDESView::doMacReset() { sendReset(QStringLiteral("macro_reset")); }
void SERDESView::doDCUReset() { sendReset(QStringLiteral("dcu_reset")); }
void SERDESView::doTxPCSReset() { sendReset(QStringLiteral("tx_pcs_reset")); }
void SERDESView::doRxPCSReset() { sendReset(QStringLiteral("rx_pcs_reset")); }
void SERDESView::doRxCDRReset() { sendReset(QStringLiteral("rx_cdr_reset")); }

void SERDESView::doDCUA(int index) {
    if (index >= 0)
        emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control dcua -option %1"), m_dcua->itemText(index)));
}

void SERDESView::doChannel(int index) {
    if (index >= 0)
        emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control channel -option %1"), m_channel->itemText(index)));
}

void SERDESView::doApply() { emit tclPCS(QStringLiteral("ona_run_pcs")); }

void SERDESView::doConfigSRAMReload() { emit tclPCS(QStringLiteral("ona_run_pcs -config_sram")); }

void SERDESView::doImport() {
    const QString file = basgui::Dialogs::provider()->getOpenFileName(
        nullptr, tr("Import SERDES File"), OnaData::inst()->getCurrentDirectory(), tr("SERDES Register File (*.srv)"));
    if (!file.isEmpty())
        emit tclPCS(tclCommand(QStringLiteral("ona_import_pcs \"%1\""), tclQuoted(QFileInfo(file).absoluteFilePath())));
}

void SERDESView::doExport() {
    const QString file = basgui::Dialogs::provider()->getSaveFileName(nullptr, tr("Export SERDES Register File"),
                                                                      OnaData::inst()->getCurrentDirectory(),
                                                                      tr("SERDES Register File (*.srv)"));
    if (!file.isEmpty())
        emit tclPCS(tclCommand(QStringLiteral("ona_export_pcs \"%1\""), tclQuoted(QFileInfo(file).absoluteFilePath())));
}

void SERDESView::fillDCUChannelLists() {
    const PCSData* pcs = PCSData::inst();
    const SerdesLayout& layout = pcs->layout();
    const QSignalBlocker blockDcu(m_dcua);
    const QSignalBlocker blockChannel(m_channel);
    m_dcua->clear();
    for (int d = 0; d < 2; ++d)
        if (layout.hasDcu(d))
            m_dcua->addItem(QString::number(d));
    m_dcua->setCurrentIndex(m_dcua->findText(QString::number(pcs->getValue(QStringLiteral("dcua")))));
    // Only the channels of the DCU shown: a pair the design lacks is never offered.
    const int dcu = m_dcua->currentIndex() >= 0 ? m_dcua->currentText().toInt() : -1;
    m_channel->clear();
    for (int c = 0; c < 2; ++c)
        if (layout.has(dcu, c))
            m_channel->addItem(QString::number(c));
    m_channel->setCurrentIndex(m_channel->findText(QString::number(pcs->getValue(QStringLiteral("channel")))));
}

void SERDESView::showAmplitude(int value) {
    if (value < 0) {
        m_amplitude->setPlaceholderText(kPlaceholder);
        m_amplitude->clear();
    } else if ((value <= 9) || (value >= 100 && value <= 1300 && value % 20 == 0)) {
        m_amplitude->setPlaceholderText(kPlaceholder);
        m_amplitude->setText(QString::number(value));
    } else {
        // Never a plausible number for a value the device does not hold.
        m_amplitude->clear();
        m_amplitude->setPlaceholderText(tr("Invalid value %1").arg(value));
    }
}

void SERDESView::doSettingChanged(QString key) {
    const PCSData* pcs = PCSData::inst();
    if (key == QLatin1String("dcua") || key == QLatin1String("channel")) {
        fillDCUChannelLists();
        return;
    }
    const int value = pcs->getValue(key);
    if (key == QLatin1String("tx_diffamp")) {
        showAmplitude(value);
        return;
    }
    if (kResetKeys.contains(key)) {
        ResetButton* button = m_resets.value(key);
        if (button->state() != (value == 1)) {
            button->setState(value == 1);
            repaintNow(button);
        }
        return;
    }
    QComboBox* combo = m_combos.value(key);
    if (!combo)
        return;
    if (value >= 0 && value < combo->count())
        combo->setCurrentIndex(value); // as a user change: its command follows
    else if (value < 0 && kPlaceheld.contains(key))
        combo->setCurrentIndex(-1); // text and index both cleared: the placeholder shows
    // Anything else is not a value of this control (an invert of -1 or 2
    // would otherwise send "on"): nothing changes, nothing is sent.
}

void SERDESView::doSettingRead(QString key) {
    StatusLabel* lamp = m_lamps.value(key);
    if (!lamp)
        return;
    // 1 is the fault (loss of lock, loss of signal); no value at all (no
    // device, nothing read) is unknown, drawn off rather than as "locked".
    const int value = PCSData::inst()->getValue(key);
    lamp->setColor(value == 1 ? Qt::red : value == 0 ? Qt::green : Qt::gray);
    repaintNow(lamp);
}

void SERDESView::readAll() {
    fillDCUChannelLists();
    const PCSData* pcs = PCSData::inst();
    // Without sending: the engine already holds these values.
    for (auto it = m_combos.constBegin(); it != m_combos.constEnd(); ++it) {
        if (it.key() == QLatin1String("dcua") || it.key() == QLatin1String("channel"))
            continue;
        const QSignalBlocker block(it.value());
        doSettingChanged(it.key());
    }
    showAmplitude(pcs->getValue(QStringLiteral("tx_diffamp")));
    for (const QString& key : kResetKeys)
        doSettingChanged(key);
    for (auto it = m_lamps.constBegin(); it != m_lamps.constEnd(); ++it)
        doSettingRead(it.key());
}

} // namespace vemo::toolona
