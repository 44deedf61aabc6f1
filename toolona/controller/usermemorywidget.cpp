#include "controller/usermemorywidget.h"

#include "controller/memorycommands.h"
#include "controller/onapathitemeditor.h"
#include "shell/tclcommand.h"
#include "shell/toolgateway.h"
#include "widgets/busyprogressdialog.h"
#include "widgets/hexvaluelineedit.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"
#include "oncdata.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

QSpacerItem* gap() { return new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding); }

} // namespace

UserMemoryWidget::UserMemoryWidget(ToolGateway* gateway, QWidget* parent) : QWidget(parent), m_gateway(gateway) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    auto* outer = new QVBoxLayout(this);
    m_group = new QGroupBox(tr("User Memory"), this);
    outer->addWidget(m_group);
    auto* grid = new QGridLayout(m_group);
    const auto row = [&](int r, const QString& label, QWidget* field, QPushButton* button) {
        grid->addWidget(new QLabel(label, m_group), r, 0);
        grid->addWidget(field, r, 1, 1, 6);
        if (button)
            grid->addWidget(button, r, 7);
    };
    grid->addItem(gap(), 1, 0, 1, 8);
    m_defaultData = new HexValueLineEdit(m_group);
    m_init = new QPushButton(tr("Initialize"), m_group);
    row(2, tr("Default Data:"), m_defaultData, m_init);
    grid->addItem(gap(), 3, 0, 1, 8);
    m_writeAddress = new HexValueLineEdit(m_group);
    row(4, tr("Write Address:"), m_writeAddress, nullptr);
    m_writeData = new HexValueLineEdit(m_group);
    m_write = new QPushButton(tr("Write"), m_group);
    row(5, tr("Write Data:"), m_writeData, m_write);
    grid->addItem(gap(), 6, 0, 1, 8);
    m_readAddress = new HexValueLineEdit(m_group);
    row(7, tr("Read Address:"), m_readAddress, nullptr);
    m_readData = new QLineEdit(m_group);
    m_readData->setReadOnly(true);
    m_read = new QPushButton(tr("Read"), m_group);
    row(8, tr("Read Data:"), m_readData, m_read);
    grid->addItem(gap(), 9, 0, 1, 8);
    grid->addWidget(new QLabel(tr("Dump From (Offset):"), m_group), 10, 0);
    m_offset = new HexValueLineEdit(m_group);
    m_offset->setText(QStringLiteral("00000000"));
    m_offset->setMaxLength(8);
    m_offset->setFixedSize(120, m_offset->sizeHint().height());
    grid->addWidget(m_offset, 10, 1);
    grid->addWidget(new QLabel(tr("Range:"), m_group), 10, 3);
    m_range = new QLineEdit(m_group);
    m_range->setValidator(new QIntValidator(1, 1 << 30, m_range));
    m_range->setFixedSize(100, m_range->sizeHint().height());
    grid->addWidget(m_range, 10, 4);
    m_dumpPath = new OnaPathItemEditor(m_group, QStringLiteral("dump"));
    m_dump = new QPushButton(tr("Dump"), m_group);
    m_dump->setEnabled(false);
    row(11, tr("Dump MemFile:"), m_dumpPath, m_dump);
    m_loadPath = new OnaPathItemEditor(m_group, QStringLiteral("load"));
    m_load = new QPushButton(tr("Load"), m_group);
    m_load->setEnabled(false);
    row(12, tr("Load MemFile:"), m_loadPath, m_load);
    // Addresses are at most 32 bits.
    m_writeAddress->setMaxLength(8);
    m_readAddress->setMaxLength(8);

    connect(m_init, &QPushButton::clicked, this, &UserMemoryWidget::handleInitButtonClicked);
    connect(m_read, &QPushButton::clicked, this, &UserMemoryWidget::handleReadButtonClicked);
    connect(m_write, &QPushButton::clicked, this, &UserMemoryWidget::handleWriteButtonClicked);
    connect(m_dump, &QPushButton::clicked, this, &UserMemoryWidget::handleDumpButtonClicked);
    connect(m_load, &QPushButton::clicked, this, &UserMemoryWidget::handleLoadButtonClicked);
    connect(m_dumpPath, &OnaPathItemEditor::textChanged, this, &UserMemoryWidget::onDumpMemLineEditTextChanged);
    connect(m_loadPath, &OnaPathItemEditor::textChanged, this, &UserMemoryWidget::onLoadMemLineEditTextChanged);
    hide();
}

void UserMemoryWidget::setData(const UserRegisterData& data) {
    m_data = data;
    if (!m_data.isDefined() || !m_data.isEnabled()) {
        m_group->setTitle(tr("User Memory"));
        hide();
    } else {
        m_group->setTitle(
            QStringLiteral("%1 (%2 ~ %3)").arg(tr("User Memory"), m_data.getStartAddress(), m_data.getEndAddress()));
        show();
        QString start = m_data.getStartAddress();
        if (start.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            start = start.mid(2);
        m_writeAddress->setText(start);
        m_readAddress->setText(start);
    }
    // A word has as many digits as the memory's width needs.
    const int digits = m_data.getMemWidth() > 0 ? (m_data.getMemWidth() + 3) / 4 : 16;
    m_defaultData->setMaxLength(digits);
    m_writeData->setMaxLength(digits);
    m_defaultData->setText(QStringLiteral("0"));
    m_writeData->setText(QStringLiteral("0"));
}

void UserMemoryWidget::warn(const QString& text) { memorycommands::warn(this, text); }

void UserMemoryWidget::copyMemoryParameters() {
    ONCData::inst()->setMemWidth(m_data.getMemWidth());
    ONCData::inst()->setMemDepth(m_data.getMemDepth());
}

void UserMemoryWidget::handleInitButtonClicked() {
    memorycommands::runLong(
        m_gateway, this, tr("Initializing user memory..."),
        QStringLiteral("ona_run_controller -init_mem ") + QStringLiteral("0x") + m_defaultData->text());
}

void UserMemoryWidget::handleReadButtonClicked() {
    QString result;
    bool ok;
    {
        vemo::basgui::BusyCursor busy;
        ok = m_gateway &&
             m_gateway->tclEval(
                 QStringLiteral("ona_read_controller -addr ") + QStringLiteral("0x") + m_readAddress->text(), &result);
    }
    if (!ok) {
        warn(tr("Invalid address, please check usage."));
        return;
    }
    if (!result.isEmpty() && !result.contains(QLatin1String("ERROR")))
        m_readData->setText(QStringLiteral("0x") + result);
}

void UserMemoryWidget::handleWriteButtonClicked() {
    bool ok;
    {
        vemo::basgui::BusyCursor busy;
        ok = m_gateway && m_gateway->tclEval(tclCommand(QStringLiteral("ona_write_controller -addr %1 -data %2"),
                                                        QStringLiteral("0x") + m_writeAddress->text(),
                                                        QStringLiteral("0x") + m_writeData->text()));
    }
    if (!ok)
        warn(tr("Invalid address or data, please check usage."));
}

void UserMemoryWidget::onDumpMemLineEditTextChanged(const QString& text) { m_dump->setEnabled(!text.isEmpty()); }

void UserMemoryWidget::onLoadMemLineEditTextChanged(const QString& text) { m_load->setEnabled(!text.isEmpty()); }

void UserMemoryWidget::handleDumpButtonClicked() {
    const QString path = m_dumpPath->text();
    if (path.isEmpty()) {
        warn(tr("Memory file name cannot be empty."));
        return;
    }
    copyMemoryParameters();
    const QString command = memorycommands::dump(path, m_offset->text(), m_range->text());
    memorycommands::runLong(m_gateway, this, tr("Dumping to memory file..."), command);
}

void UserMemoryWidget::handleLoadButtonClicked() {
    const QString path = m_loadPath->text();
    if (path.isEmpty()) {
        warn(tr("Memory file name cannot be empty."));
        return;
    }
    if (!QFileInfo::exists(path)) {
        warn(tr("'%1' doesn't exist.").arg(path));
        return;
    }
    copyMemoryParameters();
    memorycommands::runLong(m_gateway, this, tr("Loading from memory file..."), memorycommands::load(path));
}

} // namespace vemo::toolona
