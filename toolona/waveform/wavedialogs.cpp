#include "waveform/wavedialogs.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "waveform/waveformsignal.h"

#include "basgui/basehelp.h"
#include "basgui/dialogseam.h"
#include "onadata.h"
#include "waveformmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpacerItem>

#include <algorithm>
#include <functional>
#include <iterator>

namespace vemo::toolona {

namespace {

QLabel* errorLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("error"));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #c62828"));
    label->hide();
    return label;
}

// 1000 / value in whole units, when it lies in 1..1000.
int reciprocal(const QString& text) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v <= 0)
        return -1;
    const int r = int(1000.0 / v);
    return r >= 1 && r <= 1000 ? r : -1;
}

// Period and frequency follow each other: `other` shows the reciprocal of
// `text`, empty with it, unchanged while it is out of range.
void showReciprocal(const QString& text, QLineEdit* other) {
    if (text.isEmpty()) {
        other->clear();
        return;
    }
    const int r = reciprocal(text);
    if (r > 0)
        other->setText(QString::number(r));
}

} // namespace

// ---------------------------------------------------------------------------
// Bus radix

BusDialog::BusDialog(WaveformSignal* tree) : QDialog(tree), m_tree(tree) {
    setWindowTitle(QStringLiteral("Set Bus Radix"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Radix:"), this), 0, 0);
    m_radix = new QComboBox(this);
    for (const auto& r : WaveformModel::radixWords())
        m_radix->addItem(r.second);
    grid->addWidget(m_radix, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Range:"), this), 1, 0);
    m_range = new QComboBox(this);
    m_range->addItems({QStringLiteral("All signals"), QStringLiteral("Selected signals")});
    grid->addWidget(m_range, 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &BusDialog::doAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 2, 0, 1, 2);

    // Opens on the radix in use: the current bus's, else the first bus's.
    const QAbstractItemModel* model = tree ? tree->model() : nullptr;
    // (0: none, as the radix word of no radix is empty.)
    const auto numericRadix = [](const QModelIndex& idx) {
        const SigTreeData d = WaveformModel::rowData(idx);
        return d.isBus() && d.hasNumericRadix() && !WaveformModel::radixWord(d.radix).isEmpty() ? d.radix : 0;
    };
    std::function<int(const QModelIndex&)> firstBus = [&](const QModelIndex& parent) {
        for (int r = 0; model && r < model->rowCount(parent); ++r) {
            const QModelIndex idx = model->index(r, 0, parent);
            const int radix = numericRadix(idx) != 0 ? numericRadix(idx) : firstBus(idx);
            if (radix != 0)
                return radix;
        }
        return 0;
    };
    int inUse = tree ? numericRadix(tree->currentIndex().siblingAtColumn(0)) : 0;
    if (inUse == 0)
        inUse = firstBus(QModelIndex());
    if (inUse != 0)
        m_radix->setCurrentText(radixName(inUse));
}

int BusDialog::radixOfIndex(int index) {
    const auto& words = WaveformModel::radixWords();
    return index >= 0 && index < words.size() ? words.at(index).first : 0;
}

QString BusDialog::radixName(int radix) {
    const QString word = WaveformModel::radixWord(radix);
    return word.isEmpty() ? QStringLiteral("Hex") : word;
}

void BusDialog::doAccept() {
    if (m_tree)
        m_tree->applyBusRadix(radixOfIndex(m_radix->currentIndex()),
                              m_range->currentText().startsWith(QLatin1String("Selected")));
    accept();
}

// ---------------------------------------------------------------------------
// Clock

ClockDialog::ClockDialog(ToolGateway* gateway, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_gateway(gateway) {
    setWindowTitle(QStringLiteral("Set Clock Period"));
    auto* grid = new QGridLayout(this);
    const QRegularExpression whole(QStringLiteral("([1-9]\\d{0,2}|1000)"));
    grid->addWidget(new QLabel(QStringLiteral("Period:"), this), 0, 0);
    m_period = new QLineEdit(this);
    m_period->setMaximumWidth(125);
    m_period->setValidator(new QRegularExpressionValidator(whole, m_period));
    grid->addWidget(m_period, 0, 1);
    m_unit = new QComboBox(this);
    m_unit->addItems({QStringLiteral("ns"), QStringLiteral("ps")});
    grid->addWidget(m_unit, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Frequency:"), this), 1, 0);
    m_frequency = new QLineEdit(this);
    m_frequency->setMaximumWidth(125);
    m_frequency->setValidator(new QRegularExpressionValidator(whole, m_frequency));
    grid->addWidget(m_frequency, 1, 1);
    m_frequencyUnit = new QLabel(QStringLiteral("MHz"), this);
    grid->addWidget(m_frequencyUnit, 1, 2);

    const basgui::BaseHelp help(QStringLiteral("ondrel"));
    const QString periodTip =
        help.getWhatsThisText(QStringLiteral("specify_clock_frequency"), QStringLiteral("Period"));
    const QString freqTip =
        help.getWhatsThisText(QStringLiteral("specify_clock_frequency"), QStringLiteral("Frequency"));
    m_period->setWhatsThis(periodTip.isEmpty() ? QStringLiteral("Specify clock period to export or display waveform")
                                               : periodTip);
    m_frequency->setWhatsThis(
        freqTip.isEmpty() ? QStringLiteral("Specify clock frequency to export or display waveform") : freqTip);

    m_error = errorLabel(this);
    grid->addWidget(m_error, 2, 0, 1, 3);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ClockDialog::doAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &ClockDialog::doHelp);
    grid->addWidget(buttons, 3, 0, 1, 3);

    // Only the user's own edits convert: a conversion's result must not be
    // converted back (600 MHz would return as 1000).
    connect(m_period, &QLineEdit::textEdited, this, &ClockDialog::pConvert);
    connect(m_frequency, &QLineEdit::textEdited, this, &ClockDialog::fConvert);
    connect(m_unit, &QComboBox::currentIndexChanged, this, &ClockDialog::uToggle);

    // A period of 0 is no period: both fields start empty.
    const int period = OnaData::inst()->getPeriod();
    if (period > 0 && period <= 1000) {
        m_period->setText(QString::number(period));
        pConvert(m_period->text());
    }
    m_unit->setCurrentIndex(OnaData::inst()->getClockUnit() == QLatin1String("ns") ? 0 : 1);
    uToggle(m_unit->currentIndex());
}

QString ClockDialog::errorText() const { return m_error->isHidden() ? QString() : m_error->text(); }

void ClockDialog::showError(const QString& text) {
    m_error->setText(text);
    m_error->setVisible(!text.isEmpty());
}

void ClockDialog::uToggle(int) {
    m_frequencyUnit->setText(m_unit->currentText().startsWith(QLatin1String("ns")) ? QStringLiteral("MHz")
                                                                                   : QStringLiteral("GHz"));
}

void ClockDialog::pConvert(const QString& text) { showReciprocal(text, m_frequency); }

void ClockDialog::fConvert(const QString& text) { showReciprocal(text, m_period); }

void ClockDialog::doHelp() {
    basgui::BaseHelp(QStringLiteral("ondrel")).openDialogHelpUrl(QStringLiteral("specify_clock_frequency"));
}

void ClockDialog::doAccept() {
    QString text = m_period->text();
    int pos = 0;
    if (text.isEmpty()) {
        showError(QStringLiteral("Enter a period from 1 to 1000 (or a frequency)."));
        return;
    }
    if (m_period->validator()->validate(text, pos) != QValidator::Acceptable) {
        showError(QStringLiteral("The period must be a whole number from 1 to 1000."));
        return;
    }
    const QString cmd = tclCommand(QStringLiteral("ona_set_project -period %1%2"), QString::number(text.toInt()),
                                   m_unit->currentText());
    QString result;
    if (!m_gateway || !m_gateway->tclEval(cmd, &result)) {
        showError(result.isEmpty() ? QStringLiteral("The clock period was not set.") : result);
        return;
    }
    showError(QString());
    accept();
}

// ---------------------------------------------------------------------------
// Export

ExportDlg::ExportDlg(ToolGateway* gateway, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_gateway(gateway) {
    setWindowTitle(QStringLiteral("Export Waveform"));
    resize(400, 200);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Range:"), this), 0, 0);
    m_range = new QComboBox(this);
    m_range->addItems({QStringLiteral("All signals"), QStringLiteral("Selected signals")});
    grid->addWidget(m_range, 0, 1, 1, 2);
    m_moduleLabel = new QLabel(QStringLiteral("Module name:"), this);
    grid->addWidget(m_moduleLabel, 1, 0);
    // The core's name is the module the engine would choose; shown so that
    // the user sees what the file will say.
    m_module = new QLineEdit(OnaData::inst()->getCoreName(-1), this);
    grid->addWidget(m_module, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Format:"), this), 2, 0);
    m_format = new QComboBox(this);
    m_format->addItems({QStringLiteral("VCD file"), QStringLiteral("TEXT file")});
    grid->addWidget(m_format, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Output file:"), this), 3, 0);
    m_file = new QLineEdit(this);
    grid->addWidget(m_file, 3, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    grid->addWidget(browse, 3, 2);
    // The sigrok tools (and so PulseView) read no samples from a file that
    // holds a vector: buses can go as their one-bit signals instead.
    m_scalar = new QCheckBox(QStringLiteral("Buses as one-bit signals (for PulseView and sigrok)"), this);
    m_scalar->setObjectName(QStringLiteral("scalar"));
    grid->addWidget(m_scalar, 4, 1, 1, 2);
    grid->addItem(new QSpacerItem(20, 20), 4, 0);
    m_error = errorLabel(this);
    grid->addWidget(m_error, 5, 0, 1, 3);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDlg::doAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 6, 0, 1, 3);
    connect(m_format, &QComboBox::currentTextChanged, this, &ExportDlg::formatComboValueChanged);
    connect(browse, &QPushButton::clicked, this, &ExportDlg::chooseFileButtonClicked);
}

QString ExportDlg::errorText() const { return m_error->isHidden() ? QString() : m_error->text(); }

void ExportDlg::formatComboValueChanged(const QString& text) {
    m_file->clear();
    const bool vcd = text == QLatin1String("VCD file");
    m_moduleLabel->setEnabled(vcd);
    m_module->setEnabled(vcd);
    m_scalar->setEnabled(vcd);
}

void ExportDlg::chooseFileButtonClicked() {
    const bool vcd = m_format->currentText() == QLatin1String("VCD file");
    const QString file = basgui::Dialogs::provider()->getSaveFileName(
        this, windowTitle(), m_file->text(),
        vcd ? QStringLiteral("VCD files (*.vcd)") : QStringLiteral("TEXT files (*.txt)"));
    if (!file.isEmpty())
        m_file->setText(file);
}

bool ExportDlg::selectedOnly() const { return m_range->currentText().startsWith(QLatin1String("Selected")); }

QString ExportDlg::command() const {
    const QString file = m_file->text();
    const QString names = selectedOnly() ? m_signals : QString();
    if (m_format->currentText() == QLatin1String("TEXT file"))
        return tclCommand(QStringLiteral("ona_export_project -txt \"%1\" -siglist \"%2\""), tclQuoted(file),
                          tclQuoted(names));
    QString cmd = tclCommand(QStringLiteral("ona_export_project -vcd \"%1\""), tclQuoted(file));
    // No name: the engine names the module after the core.
    if (!m_module->text().trimmed().isEmpty())
        cmd += tclCommand(QStringLiteral(" -module %1"), tclWord(m_module->text()));
    if (!names.isEmpty())
        cmd += tclCommand(QStringLiteral(" -siglist \"%1\""), tclQuoted(names));
    if (m_scalar->isChecked())
        cmd += QStringLiteral(" -scalar");
    return cmd;
}

void ExportDlg::doAccept() {
    // An empty list would make the engine export every signal: "Selected"
    // with nothing listed (no signal selected, or only buses) is refused.
    if (m_range->currentText().startsWith(QLatin1String("Selected")) && m_signals.trimmed().isEmpty()) {
        m_error->setText(
            QStringLiteral("No signal is selected. Select the signals to export in the signal list "
                           "(for a bus, its signals), or export All signals."));
        m_error->show();
        return;
    }
    QString result;
    if (!m_gateway || !m_gateway->tclEval(command(), &result)) {
        m_error->setText(result.isEmpty() ? QStringLiteral("The waveform was not exported.") : result);
        m_error->show();
        return;
    }
    m_error->hide();
    m_written = result.isEmpty() ? m_file->text() : result;
    accept();
}

} // namespace vemo::toolona
