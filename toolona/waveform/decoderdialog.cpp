#include "waveform/decoderdialog.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"

#include "decoderset.h"
#include "waveformmodel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

const QString kNone = QStringLiteral("(none)");
const QString kCapture = QStringLiteral("(the capture)");

} // namespace

QString DecoderDialog::listElement(const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("{}");
    QString out;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() || QStringLiteral("_.:/-").contains(c))
            out += c;
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += QLatin1Char('\\') + c;
    }
    return out;
}

DecoderDialog::DecoderDialog(ToolGateway* gateway, DecoderSet* decoders, WaveformModel* model, QWidget* parent)
    : QDialog(parent), m_gateway(gateway), m_decoders(decoders), m_model(model) {
    setWindowTitle(tr("Add Decoder"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QFormLayout;
    m_decoder = new QComboBox(this);
    QString why;
    if (DecodeLibrary::inst().ready(&why))
        for (const DecoderInfo& d : DecodeLibrary::inst().decoders()) {
            m_decoder->addItem(QStringLiteral("%1 - %2").arg(d.id, d.longName), d.id);
            m_decoder->setItemData(m_decoder->count() - 1, d.desc, Qt::ToolTipRole);
        }
    top->addRow(tr("Decoder:"), m_decoder);
    m_desc = new QLabel(this);
    m_desc->setWordWrap(true);
    top->addRow(QString(), m_desc);
    m_name = new QLineEdit(this);
    top->addRow(tr("Name:"), m_name);
    m_stack = new QComboBox(this);
    m_stack->addItem(kCapture, QString());
    if (m_decoders)
        for (const QString& n : m_decoders->names())
            m_stack->addItem(n, n);
    top->addRow(tr("Input:"), m_stack);
    layout->addLayout(top);

    auto* channels = new QGroupBox(tr("Channels (* required)"), this);
    m_channelForm = new QFormLayout(channels);
    layout->addWidget(channels);
    auto* options = new QGroupBox(tr("Options"), this);
    m_optionForm = new QFormLayout(options);
    layout->addWidget(options);

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("decoderError"));
    m_error->setStyleSheet(QStringLiteral("color: #d03030;"));
    m_error->setWordWrap(true);
    m_error->setText(why);
    layout->addWidget(m_error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &DecoderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DecoderDialog::reject);
    layout->addWidget(buttons);

    connect(m_decoder, &QComboBox::currentIndexChanged, this, &DecoderDialog::showDecoder);
    connect(m_stack, &QComboBox::currentIndexChanged, this, [this] {
        for (QComboBox* box : std::as_const(m_channels))
            box->setEnabled(m_stack->currentData().toString().isEmpty());
    });
    const int uart = m_decoder->findData(QStringLiteral("uart"));
    m_decoder->setCurrentIndex(uart >= 0 ? uart : 0);
    showDecoder();
}

void DecoderDialog::showDecoder() {
    while (m_channelForm->rowCount() > 0)
        m_channelForm->removeRow(0);
    while (m_optionForm->rowCount() > 0)
        m_optionForm->removeRow(0);
    m_channels.clear();
    m_options.clear();
    m_defaults.clear();
    const DecoderInfo* info = DecodeLibrary::inst().find(m_decoder->currentData().toString());
    m_desc->setText(info ? info->desc : QString());
    if (!info)
        return;
    const QStringList signalNames = m_decoders ? m_decoders->channelNames() : QStringList();
    auto addChannel = [&](const DecoderChannel& c, bool required) {
        auto* box = new QComboBox(this);
        box->addItem(kNone, QString());
        for (const QString& s : signalNames)
            box->addItem(s, s);
        // A signal named like the channel is the likely one.
        const int same = box->findData(c.id);
        if (same > 0)
            box->setCurrentIndex(same);
        box->setToolTip(c.desc);
        box->setEnabled(m_stack->currentData().toString().isEmpty());
        m_channelForm->addRow(
            QStringLiteral("%1 (%2)%3").arg(c.name, c.id, required ? QStringLiteral(" *") : QString()), box);
        m_channels.insert(c.id, box);
        connect(box, &QComboBox::currentIndexChanged, this, &DecoderDialog::guessBaud);
    };
    for (const DecoderChannel& c : info->channels)
        addChannel(c, true);
    for (const DecoderChannel& c : info->optChannels)
        addChannel(c, false);
    for (const DecoderOption& o : info->options) {
        QWidget* editor = nullptr;
        if (!o.values.isEmpty()) {
            auto* box = new QComboBox(this);
            box->addItems(o.values);
            box->setCurrentText(o.defaultText);
            editor = box;
        } else {
            editor = new QLineEdit(o.defaultText, this);
        }
        editor->setToolTip(o.id);
        m_optionForm->addRow(o.desc + QLatin1Char(':'), editor);
        m_options.insert(o.id, editor);
        m_defaults.insert(o.id, o.defaultText);
    }
    guessBaud();
}

// A baud rate from the capture: the clock's rate over the shortest pulse on
// the first channel mapped. The user may type another.
void DecoderDialog::guessBaud() {
    auto* edit = qobject_cast<QLineEdit*>(m_options.value(QStringLiteral("baudrate")));
    const auto trace = m_model ? m_model->traceData() : nullptr;
    if (!edit || !trace)
        return;
    if (edit->isModified())
        return; // the user's own value stays
    for (const DecoderChannel* c : [&] {
             QVector<const DecoderChannel*> all;
             if (const DecoderInfo* info = DecodeLibrary::inst().find(m_decoder->currentData().toString())) {
                 for (const DecoderChannel& x : info->channels)
                     all << &x;
                 for (const DecoderChannel& x : info->optChannels)
                     all << &x;
             }
             return all;
         }()) {
        const QString signal = m_channels.value(c->id)->currentData().toString();
        if (signal.isEmpty())
            continue;
        const qint64 baud =
            DecoderSet::baudGuess(*trace, trace->channelOf(signal),
                                  DecoderSet::sampleRate(m_model->getClockPeriod(), m_model->getClockUnit()));
        if (baud > 0) {
            edit->setText(QString::number(baud));
            m_defaults.insert(QStringLiteral("baudrate"), QString()); // a guess is always sent
        }
        return;
    }
}

QString DecoderDialog::command() const {
    const QString stack = m_stack->currentData().toString();
    QString cmd = tclCommand(QStringLiteral("ona_add_decoder %1"), tclWord(m_decoder->currentData().toString()));
    if (!m_name->text().trimmed().isEmpty())
        cmd += tclCommand(QStringLiteral(" -name %1"), tclWord(m_name->text().trimmed()));
    if (!stack.isEmpty()) {
        cmd += tclCommand(QStringLiteral(" -stack %1"), tclWord(stack));
    } else {
        QStringList pairs;
        QStringList ids = m_channels.keys();
        ids.sort();
        for (const QString& id : ids) {
            const QString signal = m_channels.value(id)->currentData().toString();
            if (!signal.isEmpty())
                pairs << listElement(id) + QLatin1Char(' ') + listElement(signal);
        }
        if (!pairs.isEmpty())
            cmd += tclCommand(QStringLiteral(" -channels %1"), tclWord(pairs.join(QLatin1Char(' '))));
    }
    QStringList options;
    QStringList ids = m_options.keys();
    ids.sort();
    for (const QString& id : ids) {
        QWidget* w = m_options.value(id);
        const QString value = qobject_cast<QComboBox*>(w) ? static_cast<QComboBox*>(w)->currentText()
                                                          : static_cast<QLineEdit*>(w)->text();
        // Only what differs from the decoder's default (and a guessed baud rate).
        if (value != m_defaults.value(id))
            options << listElement(id) + QLatin1Char(' ') + listElement(value);
    }
    if (!options.isEmpty())
        cmd += tclCommand(QStringLiteral(" -options %1"), tclWord(options.join(QLatin1Char(' '))));
    return cmd;
}

void DecoderDialog::accept() {
    QString result;
    if (!m_gateway || !m_gateway->tclEval(command(), &result)) {
        m_error->setText(result.isEmpty() ? tr("The decoder was not added.") : result);
        return;
    }
    QDialog::accept();
}

} // namespace vemo::toolona
