#include "hardip/hardipwidget.h"

#include "controller/memorycommands.h"
#include "controller/onapathitemeditor.h"
#include "hardip/controlcombobox.h"
#include "hardip/controlspinbox.h"
#include "shell/tclcommand.h"
#include "shell/toolgateway.h"
#include "widgets/busyprogressdialog.h"
#include "widgets/hexvaluelineedit.h"
#include "widgets/statusledwidget.h"

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
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

QSpacerItem* gap() { return new QSpacerItem(20, 15, QSizePolicy::Minimum, QSizePolicy::Fixed); }

QString withPrefix(const QString& address) {
    return address.startsWith(QLatin1String("0x")) ? address : QStringLiteral("0x") + address;
}

// The digits of a stored address: the field shows "0x" itself.
QString digits(const QString& address) {
    return address.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? address.mid(2) : address;
}

} // namespace

HardIpWidget::HardIpWidget(ToolGateway* gateway, QWidget* parent) : QWidget(parent), m_gateway(gateway) {}

void HardIpWidget::setData(const HardIpData& data) {
    m_data = data;
    m_multiProtocol =
        data.getName().startsWith(QLatin1String("MPPHY")) || data.getName().startsWith(QLatin1String("MPPCIE"));
    m_beta = data.getName().startsWith(QLatin1String("MPPCIE"));
}

QString HardIpWidget::groupTitle() const {
    return m_beta ? m_data.getName() + QStringLiteral(" <b><i>(BETA)</i></b>") : m_data.getName();
}

QSize HardIpWidget::sizeHint() const { return {726, 26 * m_rows}; }

void HardIpWidget::buildFrame() {
    m_outer = new QVBoxLayout(this);
    m_outer->setContentsMargins(0, 0, 0, 0);
    const QString title = m_multiProtocol ? tr("MPPX4 Address (%1 ~ %2)") : tr("Address (%1 ~ %2)");
    m_group = new QGroupBox(title.arg(withPrefix(m_data.getStartAddress()), withPrefix(m_data.getEndAddress())), this);
    m_outer->addWidget(m_group);
    m_grid = new QGridLayout(m_group);

    int r = 1;
    m_hierarchyRow = r;
    m_grid->addWidget(new QLabel(tr("Instance Hierarchy:"), m_group), r, 0);
    m_hierarchy = new QLabel(m_group);
    m_hierarchy->setToolTip(m_data.getHierarchy());
    m_grid->addWidget(m_hierarchy, r, 1, 1, 7);
    elideHierarchy();
    ++r;

    createControls(r);

    if (!m_write)
        addMemoryForm(m_grid, m_group, r);
    m_rows = r - 1;

    connect(m_read, &QPushButton::clicked, this, &HardIpWidget::handleReadButtonClicked);
    connect(m_write, &QPushButton::clicked, this, &HardIpWidget::handleWriteButtonClicked);
    connect(m_dump, &QPushButton::clicked, this, &HardIpWidget::handleDumpButtonClicked);
    connect(m_load, &QPushButton::clicked, this, &HardIpWidget::handleLoadButtonClicked);
    connect(m_dumpPath, &OnaPathItemEditor::textChanged, this, &HardIpWidget::onDumpMemLineEditTextChanged);
    connect(m_loadPath, &OnaPathItemEditor::textChanged, this, &HardIpWidget::onLoadMemLineEditTextChanged);
    // Only now that every control holds its items and first value: no
    // panel sends a set command while it is being built.
    for (Bound& b : m_controls) {
        if (auto* combo = qobject_cast<ControlComboBox*>(b.widget))
            connect(combo, &QComboBox::currentTextChanged, this, &HardIpWidget::onCurrentIndexChanged);
        else if (auto* spin = qobject_cast<ControlSpinBox*>(b.widget))
            connect(spin, &QSpinBox::valueChanged, this, &HardIpWidget::onValueChanged);
        else if (auto* edit = qobject_cast<QLineEdit*>(b.widget); edit && b.control.kind == HardIpControl::Number)
            connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
                if (Bound* bound = boundFor(edit); bound && edit->hasAcceptableInput())
                    stage(*bound, edit->text());
            });
    }
    if (m_apply)
        connect(m_apply, &QPushButton::clicked, this, &HardIpWidget::onApplyBtnClicked);
    if (m_reload)
        connect(m_reload, &QPushButton::clicked, this, &HardIpWidget::onReloadBtnClicked);
}

void HardIpWidget::addMemoryForm(QGridLayout* grid, QWidget* parent, int& r) {
    const auto row = [&](int at, const QString& label, QWidget* field, QPushButton* button) {
        grid->addWidget(new QLabel(label, parent), at, 0);
        grid->addWidget(field, at, 1, 1, 6);
        if (button)
            grid->addWidget(button, at, 7);
    };
    grid->addItem(gap(), r++, 0, 1, 8);
    const QString start = digits(m_data.getStartAddress());
    m_writeAddress = new HexValueLineEdit(parent);
    m_writeAddress->setMaxLength(8);
    m_writeAddress->setText(start);
    row(r++, tr("Write Address:"), m_writeAddress, nullptr);
    m_writeData = new HexValueLineEdit(parent);
    m_writeData->setMaxLength(8);
    m_writeData->setText(QStringLiteral("0"));
    m_write = new QPushButton(tr("Write"), parent);
    row(r++, tr("Write Data:"), m_writeData, m_write);
    if (m_data.getType() == QLatin1String("pll")) {
        m_note = new QLabel(tr("After you enter Address, Data and click Write button, you need to assert the shadow "
                               "register by writing 1 to offset zero."),
                            parent);
        m_note->setWordWrap(true);
        grid->addWidget(m_note, r++, 1, 1, 7);
    }
    grid->addItem(gap(), r++, 0, 1, 8);
    m_readAddress = new HexValueLineEdit(parent);
    m_readAddress->setMaxLength(8);
    m_readAddress->setText(start);
    row(r++, tr("Read Address:"), m_readAddress, nullptr);
    m_readData = new QLineEdit(parent);
    m_readData->setReadOnly(true);
    m_read = new QPushButton(tr("Read"), parent);
    row(r++, tr("Read Data:"), m_readData, m_read);
    grid->addItem(gap(), r++, 0, 1, 8);
    grid->addWidget(new QLabel(tr("Dump From (Offset):"), parent), r, 0);
    m_offset = new HexValueLineEdit(parent);
    m_offset->setText(QStringLiteral("00000000"));
    m_offset->setMaxLength(8);
    m_offset->setFixedSize(120, m_offset->sizeHint().height());
    grid->addWidget(m_offset, r, 1);
    grid->addWidget(new QLabel(tr("Range:"), parent), r, 3);
    m_range = new QLineEdit(parent);
    m_range->setValidator(new QIntValidator(1, 1 << 30, m_range));
    m_range->setFixedSize(100, m_range->sizeHint().height());
    grid->addWidget(m_range, r++, 4);
    // Any path the file dialog can give may be typed too, blanks and a
    // leading "/" included; commands escape it.
    const QRegularExpression pathRule(QStringLiteral("\\S.*"));
    m_dumpPath = new OnaPathItemEditor(parent, QStringLiteral("dump"));
    m_dumpPath->lineEdit()->setValidator(new QRegularExpressionValidator(pathRule, m_dumpPath));
    m_dump = new QPushButton(tr("Dump"), parent);
    m_dump->setEnabled(false);
    row(r++, tr("Dump MemFile:"), m_dumpPath, m_dump);
    m_loadPath = new OnaPathItemEditor(parent, QStringLiteral("load"));
    m_loadPath->lineEdit()->setValidator(new QRegularExpressionValidator(pathRule, m_loadPath));
    m_load = new QPushButton(tr("Load"), parent);
    m_load->setEnabled(false);
    row(r++, tr("Load MemFile:"), m_loadPath, m_load);
}

void HardIpWidget::elideHierarchy() {
    m_hierarchy->setText(
        m_hierarchy->fontMetrics().elidedText(m_data.getHierarchy(), Qt::ElideRight, m_hierarchyWidth));
}

void HardIpWidget::setHierarchyWidth(int width, int lastColumn) {
    m_hierarchyWidth = width;
    m_grid->removeWidget(m_hierarchy);
    m_grid->addWidget(m_hierarchy, m_hierarchyRow, 1, 1, lastColumn);
    elideHierarchy();
}

void HardIpWidget::createControls(int&) {}

void HardIpWidget::updateFromEngine() { loadControls(true); }

void HardIpWidget::reloadControls() { updateFromEngine(); }

void HardIpWidget::addControls(const QList<HardIpControl>& table, int& row) {
    for (const HardIpControl& c : table) {
        switch (c.kind) {
            case HardIpControl::Spacer:
                m_grid->addItem(new QSpacerItem(20, 15, QSizePolicy::Minimum, QSizePolicy::Fixed), row++, 0, 1, 3);
                continue;
            case HardIpControl::Section:
                m_grid->addWidget(new QLabel(c.label, m_group), row++, 0);
                continue;
            default:
                break;
        }
        QWidget* w = nullptr;
        if (c.kind == HardIpControl::Combo) {
            auto* combo = new ControlComboBox(m_group);
            combo->addItems(c.items);
            if (c.visibleItems > 0)
                combo->setMaxVisibleItems(c.visibleItems);
            if (c.contentsLength > 0) {
                combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
                combo->setMinimumContentsLength(c.contentsLength);
            }
            w = combo;
        } else if (c.kind == HardIpControl::Lamp) {
            w = new StatusLEDWidget(m_group);
        } else if (c.kind == HardIpControl::Spin) {
            auto* spin = new ControlSpinBox(m_group);
            spin->setRange(c.min, c.max);
            w = spin;
        } else {
            auto* edit = new QLineEdit(m_group);
            if (c.kind == HardIpControl::Status)
                edit->setReadOnly(true);
            else
                edit->setValidator(new QIntValidator(c.min, c.max, edit));
            if (c.kind == HardIpControl::Number)
                edit->setText(QStringLiteral("0"));
            w = edit;
        }
        w->setObjectName(c.key);
        if (c.fixedSize)
            w->setFixedSize(w->sizeHint());
        m_grid->addWidget(new QLabel(c.label, m_group), row, 0);
        m_grid->addWidget(w, row++, 1, 1, c.columnSpan);
        Bound b;
        b.control = c;
        b.widget = w;
        b.accepted = c.kind == HardIpControl::Spin ? static_cast<ControlSpinBox*>(w)->value() : 0;
        m_controls.append(b);
    }
}

void HardIpWidget::addApplyReload(int& row, bool onLastRow) {
    m_apply = new QPushButton(tr("Apply"), m_group);
    m_reload = new QPushButton(tr("Reload"), m_group);
    if (onLastRow)
        --row;
    m_grid->addWidget(m_apply, row, 6);
    m_grid->addWidget(m_reload, row++, 7);
}

QWidget* HardIpWidget::control(const QString& key) const {
    for (const Bound& b : m_controls)
        if (b.control.key == key)
            return b.widget;
    return nullptr;
}

HardIpWidget::Bound* HardIpWidget::boundFor(QObject* widget) {
    for (Bound& b : m_controls)
        if (b.widget == widget)
            return &b;
    return nullptr;
}

void HardIpWidget::loadControls(bool quiet) {
    auto* oncData = ONCData::inst();
    for (Bound& b : m_controls) {
        const QString value = oncData->getHardIP(name(), b.control.key);
        const QSignalBlocker blocker(quiet ? b.widget : nullptr);
        if (auto* combo = qobject_cast<ControlComboBox*>(b.widget)) {
            const int index = combo->findText(value);
            if (index >= 0)
                combo->setCurrentIndex(index);
        } else if (auto* spin = qobject_cast<ControlSpinBox*>(b.widget)) {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (ok)
                spin->setValue(v);
            b.accepted = spin->value();
        } else if (auto* edit = qobject_cast<QLineEdit*>(b.widget)) {
            edit->setText(value);
        } else if (auto* lamp = qobject_cast<StatusLEDWidget*>(b.widget)) {
            // Anything but "1", an empty read included, is off.
            lamp->setState(value == QLatin1String("1") ? b.control.lampOn : 0);
            lamp->repaint();
        }
    }
}

QString HardIpWidget::setCommand(const HardIpControl& control, const QString& value) const {
    const bool quoted = control.command.contains(QLatin1String("\"%2\""));
    return tclCommand(control.command, name(), quoted ? tclQuoted(value) : tclWord(value));
}

bool HardIpWidget::run(const QString& command, QString* result) {
    vemo::basgui::BusyCursor busy;
    return m_gateway && m_gateway->tclEval(command, result);
}

void HardIpWidget::stage(Bound& bound, const QString& value) { run(setCommand(bound.control, value)); }

void HardIpWidget::onCurrentIndexChanged(const QString& text) {
    Bound* b = boundFor(sender());
    if (b && b->control.kind == HardIpControl::Combo)
        stage(*b, text);
}

void HardIpWidget::onValueChanged(int value) {
    Bound* b = boundFor(sender());
    if (!b || b->control.kind != HardIpControl::Spin)
        return;
    QString result;
    if (run(setCommand(b->control, QString::number(value)), &result)) {
        b->accepted = value;
        return;
    }
    showRefusal(b->control, result);
    // Back to what the engine holds, without staging it a second time.
    auto* spin = static_cast<ControlSpinBox*>(b->widget);
    const QSignalBlocker blocker(spin);
    spin->setValue(b->accepted);
}

void HardIpWidget::showRefusal(const HardIpControl&, const QString& result) {
    if (m_gateway && !result.isEmpty())
        m_gateway->reportRefusal(result);
}

void HardIpWidget::onApplyBtnClicked() { run(tclCommand(QStringLiteral("ona_run_controller -write_ip %1"), name())); }

void HardIpWidget::onReloadBtnClicked() {
    run(tclCommand(QStringLiteral("ona_run_controller -read_ip %1"), name()));
    reloadControls();
}

void HardIpWidget::warn(const QString& text) { memorycommands::warn(this, text); }

void HardIpWidget::handleReadButtonClicked() {
    QString result;
    const bool ok =
        run(QStringLiteral("ona_read_controller -addr ") + QStringLiteral("0x") + m_readAddress->text(), &result);
    if (!ok) {
        warn(tr("Invalid address, please check usage."));
        return;
    }
    if (!result.isEmpty() && !result.contains(QLatin1String("ERROR")))
        m_readData->setText(QStringLiteral("0x") + result);
}

void HardIpWidget::handleWriteButtonClicked() {
    if (!run(tclCommand(QStringLiteral("ona_write_controller -addr %1 -data %2"),
                        QStringLiteral("0x") + m_writeAddress->text(), QStringLiteral("0x") + m_writeData->text())))
        warn(tr("Invalid address or data, please check usage."));
}

void HardIpWidget::onDumpMemLineEditTextChanged(const QString& text) { m_dump->setEnabled(!text.isEmpty()); }

void HardIpWidget::onLoadMemLineEditTextChanged(const QString& text) { m_load->setEnabled(!text.isEmpty()); }

void HardIpWidget::handleDumpButtonClicked() {
    const QString path = m_dumpPath->text();
    if (path.isEmpty()) {
        warn(tr("File name cannot be empty."));
        return;
    }
    const QString command = memorycommands::dump(path, m_offset->text(), m_range->text(), name());
    memorycommands::runLong(m_gateway, this, tr("Dumping to memory file..."), command);
}

void HardIpWidget::handleLoadButtonClicked() {
    const QString path = m_loadPath->text();
    if (path.isEmpty()) {
        warn(tr("Memory file name cannot be empty."));
        return;
    }
    if (!QFileInfo::exists(path)) {
        warn(tr("'%1' doesn't exist.").arg(path));
        return;
    }
    memorycommands::runLong(m_gateway, this, tr("Loading from memory file..."), memorycommands::load(path, name()));
}

} // namespace vemo::toolona
