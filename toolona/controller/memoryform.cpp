#include "controller/memoryform.h"

#include "controller/memorycommands.h"
#include "controller/onapathitemeditor.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/fitmark.h"
#include "widgets/hexvaluelineedit.h"

#include "basgui/busycursor.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpacerItem>

namespace vemo::toolona {

MemoryFormWidget::MemoryFormWidget(ToolGateway* gateway, QWidget* parent) : QWidget(parent), m_formGateway(gateway) {}

void MemoryFormWidget::addMemoryForm(QGridLayout* grid, QWidget* parent, int& r, const MemorySpace& space) {
    m_space = space;
    const auto gap = [&] {
        grid->addItem(space.stretchingGaps ? new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding)
                                           : new QSpacerItem(20, 15, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      r++, 0, 1, 8);
    };
    const auto row = [&](const QString& label, QWidget* field, QPushButton* button) {
        grid->addWidget(new QLabel(label, parent), r, 0);
        grid->addWidget(field, r, 1, 1, 6);
        if (button)
            grid->addWidget(button, r, 7);
        ++r;
    };
    gap();
    if (space.canInitialize) {
        m_defaultData = new HexValueLineEdit(parent);
        m_init = new QPushButton(tr("Initialize"), parent);
        row(tr("Default Data:"), m_defaultData, m_init);
        gap();
        connect(m_init, &QPushButton::clicked, this, &MemoryFormWidget::handleInitButtonClicked);
    }
    m_writeAddress = new HexValueLineEdit(parent);
    row(tr("Write Address:"), m_writeAddress, nullptr);
    m_writeData = new HexValueLineEdit(parent);
    m_writeData->setText(QStringLiteral("0"));
    m_write = new QPushButton(tr("Write"), parent);
    row(tr("Write Data:"), m_writeData, m_write);
    if (space.shadowRegisterNote) {
        m_note = new QLabel(tr("After you enter Address, Data and click Write button, you need to assert the "
                               "shadow register by writing 1 to offset zero."),
                            parent);
        m_note->setWordWrap(true);
        grid->addWidget(m_note, r++, 1, 1, 7);
    }
    gap();
    m_readAddress = new HexValueLineEdit(parent);
    row(tr("Read Address:"), m_readAddress, nullptr);
    m_readData = new QLineEdit(parent);
    m_readData->setReadOnly(true);
    m_read = new QPushButton(tr("Read"), parent);
    row(tr("Read Data:"), m_readData, m_read);
    gap();
    grid->addWidget(new QLabel(tr("Dump From (Offset):"), parent), r, 0);
    m_offset = new HexValueLineEdit(parent);
    m_offset->setText(QStringLiteral("00000000"));
    m_offset->setFixedSize(120, m_offset->sizeHint().height());
    grid->addWidget(m_offset, r, 1);
    grid->addWidget(new QLabel(tr("Range:"), parent), r, 3);
    m_range = new QLineEdit(parent);
    m_range->setValidator(new QIntValidator(1, 1 << 30, m_range));
    m_range->setFixedSize(100, m_range->sizeHint().height());
    grid->addWidget(m_range, r++, 4);
    m_dumpPath = new OnaPathItemEditor(parent, QStringLiteral("dump"));
    m_dump = new QPushButton(tr("Dump"), parent);
    m_dump->setEnabled(false);
    row(tr("Dump MemFile:"), m_dumpPath, m_dump);
    m_loadPath = new OnaPathItemEditor(parent, QStringLiteral("load"));
    m_load = new QPushButton(tr("Load"), parent);
    m_load->setEnabled(false);
    row(tr("Load MemFile:"), m_loadPath, m_load);
    if (space.checkTypedPaths) {
        // Any path the file dialog can give may be typed too, blanks and a
        // leading "/" included; commands escape it.
        const QRegularExpression pathRule(QStringLiteral("\\S.*"));
        m_dumpPath->lineEdit()->setValidator(new QRegularExpressionValidator(pathRule, m_dumpPath));
        m_loadPath->lineEdit()->setValidator(new QRegularExpressionValidator(pathRule, m_loadPath));
    }

    // Addresses are at most 32 bits. Wider text is kept and marked, and
    // refused where it would be sent: never cut to a different number.
    static const int kAddressBits = 32;
    guardWidth(m_writeAddress, &kAddressBits, tr("Write Address"));
    guardWidth(m_readAddress, &kAddressBits, tr("Read Address"));
    guardWidth(m_offset, &kAddressBits, tr("Dump From (Offset)"));
    guardWidth(m_writeData, &m_dataBits, tr("Write Data"));
    if (m_defaultData)
        guardWidth(m_defaultData, &m_dataBits, tr("Default Data"));

    connect(m_read, &QPushButton::clicked, this, &MemoryFormWidget::handleReadButtonClicked);
    connect(m_write, &QPushButton::clicked, this, &MemoryFormWidget::handleWriteButtonClicked);
    connect(m_dump, &QPushButton::clicked, this, &MemoryFormWidget::handleDumpButtonClicked);
    connect(m_load, &QPushButton::clicked, this, &MemoryFormWidget::handleLoadButtonClicked);
    connect(m_dumpPath, &OnaPathItemEditor::textChanged, this, &MemoryFormWidget::onDumpMemLineEditTextChanged);
    connect(m_loadPath, &OnaPathItemEditor::textChanged, this, &MemoryFormWidget::onLoadMemLineEditTextChanged);
}

void MemoryFormWidget::setStartAddress(const QString& address) {
    const QString digits = address.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? address.mid(2) : address;
    m_writeAddress->setText(digits);
    m_readAddress->setText(digits);
}

void MemoryFormWidget::warn(const QString& text) { memorycommands::warn(this, text); }

void MemoryFormWidget::guardWidth(HexValueLineEdit* edit, const int* bits, const QString& what) {
    connect(edit, &QLineEdit::textChanged, this,
            [edit, bits, what](const QString& text) { markUnfit(edit, hexUnfit(text, *bits, what)); });
}

void MemoryFormWidget::setDataBits(int bits) {
    m_dataBits = bits;
    for (HexValueLineEdit* edit : {m_writeData, m_defaultData})
        if (edit)
            markUnfit(edit, hexUnfit(edit->text(), bits, edit == m_writeData ? tr("Write Data") : tr("Default Data")));
}

bool MemoryFormWidget::refuseUnfit(std::initializer_list<QLineEdit*> edits) {
    for (QLineEdit* edit : edits) {
        if (edit && !unfitReason(edit).isEmpty()) {
            warn(unfitReason(edit));
            edit->setFocus();
            return true;
        }
    }
    return false;
}

void MemoryFormWidget::handleInitButtonClicked() {
    if (!m_defaultData || refuseUnfit({m_defaultData}))
        return;
    memorycommands::runLong(
        m_formGateway, this, tr("Initializing user memory..."),
        QStringLiteral("ona_run_controller -init_mem ") + QStringLiteral("0x") + m_defaultData->text());
}

void MemoryFormWidget::handleReadButtonClicked() {
    if (refuseUnfit({m_readAddress}))
        return;
    QString result;
    bool ok;
    {
        vemo::basgui::BusyCursor busy;
        ok = m_formGateway &&
             m_formGateway->tclEval(
                 QStringLiteral("ona_read_controller -addr ") + QStringLiteral("0x") + m_readAddress->text(), &result);
    }
    if (!ok) {
        warn(tr("Invalid address, please check usage."));
        return;
    }
    if (!result.isEmpty() && !result.contains(QLatin1String("ERROR")))
        m_readData->setText(QStringLiteral("0x") + result);
}

void MemoryFormWidget::handleWriteButtonClicked() {
    if (refuseUnfit({m_writeAddress, m_writeData}))
        return;
    bool ok;
    {
        vemo::basgui::BusyCursor busy;
        ok =
            m_formGateway && m_formGateway->tclEval(tclCommand(QStringLiteral("ona_write_controller -addr %1 -data %2"),
                                                               QStringLiteral("0x") + m_writeAddress->text(),
                                                               QStringLiteral("0x") + m_writeData->text()));
    }
    if (!ok)
        warn(tr("Invalid address or data, please check usage."));
}

void MemoryFormWidget::onDumpMemLineEditTextChanged(const QString& text) { m_dump->setEnabled(!text.isEmpty()); }

void MemoryFormWidget::onLoadMemLineEditTextChanged(const QString& text) { m_load->setEnabled(!text.isEmpty()); }

void MemoryFormWidget::handleDumpButtonClicked() {
    const QString path = m_dumpPath->text();
    if (path.isEmpty()) {
        warn(m_space.emptyDumpName);
        return;
    }
    if (refuseUnfit({m_offset}))
        return;
    if (m_space.beforeTransfer)
        m_space.beforeTransfer();
    const QString command = memorycommands::dump(path, m_offset->text(), m_range->text(), m_space.hardIp);
    if (memorycommands::runLong(m_formGateway, this, tr("Dumping to memory file..."), command) && m_formGateway) {
        const QString offset = m_offset->text().isEmpty() ? QStringLiteral("0") : m_offset->text();
        const QString words = m_range->text().isEmpty() ? tr("the words from 0x%1 to the end").arg(offset)
                                                        : tr("%1 word(s) from 0x%2").arg(m_range->text(), offset);
        m_formGateway->reportDone(tr("%1: dumped %2 to %3").arg(spaceName(), words, path));
    }
}

QString MemoryFormWidget::spaceName() const { return m_space.hardIp.isEmpty() ? tr("User memory") : m_space.hardIp; }

void MemoryFormWidget::handleLoadButtonClicked() {
    const QString path = m_loadPath->text();
    if (path.isEmpty()) {
        warn(tr("Memory file name cannot be empty."));
        return;
    }
    if (!QFileInfo::exists(path)) {
        warn(tr("'%1' doesn't exist.").arg(path));
        return;
    }
    if (m_space.beforeTransfer)
        m_space.beforeTransfer();
    if (memorycommands::runLong(m_formGateway, this, tr("Loading from memory file..."),
                                memorycommands::load(path, m_space.hardIp)) &&
        m_formGateway)
        m_formGateway->reportDone(tr("%1: loaded %2").arg(spaceName(), path));
}

} // namespace vemo::toolona
