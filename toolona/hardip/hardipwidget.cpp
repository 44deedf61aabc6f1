#include "hardip/hardipwidget.h"

#include "hardip/controlcombobox.h"
#include "hardip/controlspinbox.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/fitmark.h"
#include "widgets/statusledwidget.h"

#include "basgui/busycursor.h"
#include "oncdata.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

QString withPrefix(const QString& address) {
    return address.startsWith(QLatin1String("0x")) ? address : QStringLiteral("0x") + address;
}

} // namespace

HardIpWidget::HardIpWidget(ToolGateway* gateway, QWidget* parent)
    : MemoryFormWidget(gateway, parent), m_gateway(gateway) {}

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

    if (!hasMemoryForm())
        addBlockMemoryForm(m_grid, m_group, r);
    m_rows = r - 1;

    // Only now that every control holds its items and first value: no
    // panel sends a set command while it is being built.
    for (Bound& b : m_controls) {
        if (auto* combo = qobject_cast<ControlComboBox*>(b.widget))
            connect(combo, &QComboBox::currentTextChanged, this, &HardIpWidget::onCurrentIndexChanged);
        else if (auto* spin = qobject_cast<ControlSpinBox*>(b.widget)) {
            connect(spin, &QSpinBox::valueChanged, this, &HardIpWidget::onValueChanged);
            connect(spin, &ControlSpinBox::refused, this, [this, spin](const QString& text) {
                if (m_gateway)
                    m_gateway->reportRefusal(tr("%1 is outside %2 .. %3; the setting stays %4.")
                                                 .arg(text)
                                                 .arg(spin->minimum())
                                                 .arg(spin->maximum())
                                                 .arg(spin->value()));
            });
        } else if (auto* edit = qobject_cast<QLineEdit*>(b.widget); edit && b.control.kind == HardIpControl::Number) {
            const HardIpControl c = b.control;
            connect(edit, &QLineEdit::textChanged, edit, [edit, c](const QString& text) {
                bool ok = false;
                const qlonglong v = text.toLongLong(&ok);
                markUnfit(edit, text.isEmpty() || (ok && v >= c.min && v <= c.max)
                                    ? QString()
                                    : tr("%1 is outside %2 .. %3.").arg(text).arg(c.min).arg(c.max));
            });
            connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
                Bound* bound = boundFor(edit);
                if (!bound || edit->text().isEmpty())
                    return;
                // Out of range: kept as typed and marked, never staged.
                if (!unfitReason(edit).isEmpty()) {
                    if (m_gateway)
                        m_gateway->reportRefusal(
                            tr("%1: %2 Nothing was set.").arg(bound->control.label.trimmed(), unfitReason(edit)));
                    return;
                }
                stage(*bound, edit->text());
            });
        }
    }
    if (m_apply)
        connect(m_apply, &QPushButton::clicked, this, &HardIpWidget::onApplyBtnClicked);
    if (m_reload)
        connect(m_reload, &QPushButton::clicked, this, &HardIpWidget::onReloadBtnClicked);
}

void HardIpWidget::addBlockMemoryForm(QGridLayout* grid, QWidget* parent, int& r) {
    MemorySpace space;
    space.hardIp = name();
    space.shadowRegisterNote = m_data.getType() == QLatin1String("pll");
    space.checkTypedPaths = true;
    space.emptyDumpName = tr("File name cannot be empty.");
    addMemoryForm(grid, parent, r, space);
    setStartAddress(m_data.getStartAddress());
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
            if (c.kind == HardIpControl::Status) {
                // A reading, not a field to type in: no frame, no field
                // background, no focus (the text stays selectable).
                edit->setReadOnly(true);
                edit->setFrame(false);
                edit->setFocusPolicy(Qt::NoFocus);
                edit->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; font-weight: bold; }"));
            } else
                // Digits are never dropped for being too many: an out-of-range
                // number is marked and refused when committed.
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(c.min < 0 ? QStringLiteral("-?[0-9]*") : QStringLiteral("[0-9]*")), edit));
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

void HardIpWidget::stage(Bound& bound, const QString& value) {
    QString result;
    const bool ok = run(setCommand(bound.control, value), &result);
    // A refused choice stays in the box, marked with the engine's reason, so
    // the panel never seems to hold a setting the engine did not take.
    if (auto* combo = qobject_cast<ControlComboBox*>(bound.widget)) {
        combo->setStyleSheet(ok ? QString() : QStringLiteral("QComboBox {background-color: #ffd0d0; color: black;}"));
        combo->setToolTip(ok ? QString() : tr("Not taken: %1").arg(result));
    }
    if (!ok)
        report(tr("%1 \"%2\" was refused: %3").arg(bound.control.label.trimmed(), value, result));
}

void HardIpWidget::report(const QString& text) {
    if (m_gateway)
        m_gateway->reportRefusal(text);
}

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

void HardIpWidget::onApplyBtnClicked() {
    QString result;
    if (!run(tclCommand(QStringLiteral("ona_run_controller -write_ip %1"), name()), &result))
        report(tr("%1: Apply failed, the device was not written: %2").arg(name(), result));
    else if (m_gateway)
        m_gateway->reportDone(tr("%1: Apply wrote the panel's settings to the device.").arg(name()));
}

void HardIpWidget::onReloadBtnClicked() {
    QString result;
    // A failed read leaves every control as it was: the engine's cached
    // values are not what the device holds.
    if (!run(tclCommand(QStringLiteral("ona_run_controller -read_ip %1"), name()), &result)) {
        report(tr("%1: Reload failed, the controls are unchanged: %2").arg(name(), result));
        return;
    }
    reloadControls();
    if (m_gateway)
        m_gateway->reportDone(tr("%1: Reload read the settings and status back from the device.").arg(name()));
}

} // namespace vemo::toolona
