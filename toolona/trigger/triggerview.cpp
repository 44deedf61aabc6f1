#include "trigger/triggerview.h"

#include "kit/labelgroupbox.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "trigger/onatedelegate.h"
#include "trigger/onatudelegate.h"
#include "trigger/triggercommand.h"
#include "widgets/emptystatelabel.h"

#include "onadata.h"
#include "theme/themesetting.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <optional>
#include <vector>

namespace vemo::toolona {

namespace {

QTableView* makeTable(QWidget* parent) {
    auto* table = new QTableView(parent);
    table->setObjectName(QStringLiteral("PNBorderTableView"));
    table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->horizontalHeader()->setStretchLastSection(true);
    // Rows just tall enough for the closed lists drawn in them, and room
    // for a few rows however small the window gets.
    const int row = table->fontMetrics().height() + 10;
    table->verticalHeader()->setDefaultSectionSize(row);
    // (The header has no sections yet, so its height is estimated.)
    table->setMinimumHeight(row + 3 * row + 2 * table->frameWidth());
    return table;
}

LabelGroupBox* newGroup(QWidget* parent, const char* name) {
    auto* group = new LabelGroupBox(parent);
    group->setObjectName(QLatin1String(name));
    return group;
}

// Shows `model` in `table` with the columns fitted to their contents; false
// when there is no model.
bool showModel(QTableView* table, QAbstractItemModel* model) {
    QHeaderView* header = table->horizontalHeader();
    header->setStretchLastSection(false);
    table->setModel(model);
    header->setStretchLastSection(true);
    if (!model)
        return false;
    table->resizeColumnsToContents();
    return true;
}

// A group that holds one trigger table.
LabelGroupBox* tableGroup(QWidget* parent, const char* name, const QString& label, QTableView** table) {
    LabelGroupBox* group = newGroup(parent, name);
    auto* layout = new QVBoxLayout(group);
    *table = makeTable(group);
    layout->addWidget(*table);
    group->setLabel(label);
    return group;
}

// A count row of an option group's grid: `lead`, a spin box (its range set
// later from the core) and the "(max N)" label after it.
void addCountRow(QGridLayout* grid, int row, QWidget* lead, const QString& maxText, QSpinBox** spin, QLabel** max) {
    QWidget* group = grid->parentWidget();
    *spin = new QSpinBox(group);
    (*spin)->setRange(1, 1);
    (*spin)->setKeyboardTracking(false);
    *max = new QLabel(maxText, group);
    grid->addWidget(lead, row, 0);
    grid->addWidget(*spin, row, 1);
    grid->addWidget(*max, row, 2);
}

// Ends an option group of three rows: what is left goes right and below.
void endOptionGroup(LabelGroupBox* group, QGridLayout* grid, const QString& label) {
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);
    group->setLabel(label);
}

// The samples-per-trigger entries: halving from max while at least min.
QStringList sampleItems(int minSamples, int maxSamples) {
    QStringList out;
    if (maxSamples < minSamples)
        return out;
    for (int v = maxSamples; v >= 1 && v >= minSamples; v /= 2)
        out << QString::number(v);
    return out;
}

QString titleWithErrors(const QString& title, int errors) {
    if (errors <= 0)
        return title;
    // Plain red is too dark to read on the dark theme's background.
    const QString red = vemo::theme::ThemeSetting::isDark()
                            ? vemo::theme::ThemeSetting::color(QStringLiteral("error_text")).name()
                            : QStringLiteral("red");
    return QStringLiteral("%1:<font color=\"%4\"><b> currently %2 syntax error%3</b></font>")
        .arg(title, QString::number(errors), errors >= 2 ? QStringLiteral("s") : QString(), red);
}
} // namespace

TriggerView::TriggerView(ToolGateway* gateway, QWidget* parent) : QFrame(parent), m_gateway(gateway) {
    setAcceptDrops(true);
    auto* grid = new QGridLayout(this);

    m_tuGroup = tableGroup(this, "TriggerUnitGroup", tr("Trigger Unit"), &m_tuTable);
    m_teGroup = tableGroup(this, "TriggerExpressionGroup", tr("Trigger Expression"), &m_teTable);

    m_tuNameDelegate = new OnaTUDelegate(gateway, this, QStringList());
    m_tuOperatorDelegate = new OnaTUDelegate(gateway, this, OnaData::operator_list);
    m_tuRadixDelegate = new OnaTUDelegate(gateway, this, OnaData::radix_list);
    m_tuValueDelegate = new OnaTUDelegate(gateway, this, OnaData::radix_list);
    m_tuTable->setItemDelegateForColumn(TriggerUModel::ColName, m_tuNameDelegate);
    m_tuTable->setItemDelegateForColumn(TriggerUModel::ColOperator, m_tuOperatorDelegate);
    m_tuTable->setItemDelegateForColumn(TriggerUModel::ColRadix, m_tuRadixDelegate);
    m_tuTable->setItemDelegateForColumn(TriggerUModel::ColValue, m_tuValueDelegate);
    m_teDelegate = new OnaTEDelegate(gateway, this);
    m_teTable->setItemDelegate(m_teDelegate);

    m_optionFrame = new QFrame(this);
    auto* options = new QHBoxLayout(m_optionFrame);
    options->setContentsMargins(0, 0, 0, 0);
    options->addWidget(buildPorGroup());
    options->addWidget(buildOptionsGroup());
    options->addWidget(buildPositionGroup());
    m_porGroup->hide();

    m_empty = new EmptyStateLabel(tr("Trigger units and trigger expressions of the active analyzer core appear here.\n"
                                     "No analyzer core is open."),
                                  this);
    grid->addWidget(m_tuGroup, 0, 0);
    grid->addWidget(m_teGroup, 1, 0);
    grid->addWidget(m_optionFrame, 2, 0);
    grid->addWidget(m_empty, 3, 0);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 2);

    // Connected only now that every widget holds its start value, so that
    // building the page sends nothing.
    connect(m_preRadio, &QRadioButton::toggled, this, &TriggerView::doPreToggle);
    connect(m_userRadio, &QRadioButton::toggled, this, &TriggerView::doUserToggle);
    connect(m_positionCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TriggerView::doPrePos);
    connect(m_positionBar, &QScrollBar::valueChanged, this, &TriggerView::doUserPos);
    // While the slider is dragged the title previews the position; the
    // command goes out once, on release.
    connect(m_positionBar, &QScrollBar::sliderMoved, this, [this](int value) {
        if (TriggerSetting* s = liveSetting())
            writePositionTitle(value, s->samples);
    });
    connect(m_teCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TriggerView::doEnableTE);
    connect(m_samplesCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TriggerView::doNumSample);
    connect(m_triggerSpin, QOverload<int>::of(&QSpinBox::valueChanged), this, &TriggerView::doNumTrigger);
    connect(m_counterCheck, &QCheckBox::toggled, this, &TriggerView::doToggleEventCounter);
    connect(m_counterSpin, QOverload<int>::of(&QSpinBox::valueChanged), this, &TriggerView::doNumEventCounter);
    connect(m_porCheck, &QCheckBox::clicked, this, &TriggerView::connectPORCore);

    installEventFilter(this);
    updatePositionControls();
    updateEmptyState();
}

TriggerView::~TriggerView() = default;

QWidget* TriggerView::buildPositionGroup() {
    m_positionGroup = newGroup(m_optionFrame, "TriggerPositionGroup");
    auto* grid = new QGridLayout(m_positionGroup);

    m_preRadio = new QRadioButton(tr("Pre-selected:"), m_positionGroup);
    m_preRadio->setChecked(true);
    m_positionCombo = new QComboBox(m_positionGroup);
    m_positionCombo->addItems({tr("Pre-Trigger"), tr("Center-Trigger"), tr("Post-Trigger")});
    grid->addWidget(m_preRadio, 0, 0);
    grid->addWidget(m_positionCombo, 0, 1);

    m_userRadio = new QRadioButton(tr("User-selected:"), m_positionGroup);
    m_positionBar = new QScrollBar(Qt::Horizontal, m_positionGroup);
    m_positionBar->setObjectName(QStringLiteral("PNBorderScrollBar"));
    m_positionBar->setRange(0, 1);
    m_positionBar->setSingleStep(1);
    m_positionBar->setPageStep(16);
    m_positionBar->setMinimumWidth(150);
    m_positionBar->setTracking(false);
    grid->addWidget(m_userRadio, 1, 0);
    grid->addWidget(m_positionBar, 1, 1, 1, 2);

    m_counterCheck = new QCheckBox(tr("Final Event Counter:"), m_positionGroup);
    addCountRow(grid, 2, m_counterCheck, tr("(max 8)"), &m_counterSpin, &m_counterMax);

    endOptionGroup(m_positionGroup, grid, tr("Trigger Position"));
    return m_positionGroup;
}

QWidget* TriggerView::buildOptionsGroup() {
    m_optionsGroup = newGroup(m_optionFrame, "TriggerOptionsGroup");
    auto* grid = new QGridLayout(m_optionsGroup);

    m_teCombo = new QComboBox(m_optionsGroup);
    m_teCombo->addItems({tr("OR All"), tr("AND All")});
    grid->addWidget(new QLabel(tr("Enable TE:"), m_optionsGroup), 0, 0);
    grid->addWidget(m_teCombo, 0, 1);

    m_samplesCombo = new QComboBox(m_optionsGroup);
    grid->addWidget(new QLabel(tr("Samples Per Trigger:"), m_optionsGroup), 1, 0);
    grid->addWidget(m_samplesCombo, 1, 1);

    addCountRow(grid, 2, new QLabel(tr("Number of Trigger:"), m_optionsGroup), tr("(max 128)"), &m_triggerSpin,
                &m_triggerMax);

    endOptionGroup(m_optionsGroup, grid, tr("Trigger Options"));
    return m_optionsGroup;
}

QWidget* TriggerView::buildPorGroup() {
    m_porGroup = newGroup(m_optionFrame, "PORDebugGroup");
    auto* layout = new QVBoxLayout(m_porGroup);
    m_porCheck = new QCheckBox(tr("Connect POR when Analyzer opens"), m_porGroup);
    layout->addWidget(m_porCheck);
    layout->addStretch(1);
    m_porGroup->setLabel(tr("POR Debug"));
    return m_porGroup;
}

TriggerUModel* TriggerView::tuModel() const { return m_tu; }

TriggerEModel* TriggerView::teModel() const { return m_te; }

bool TriggerView::hasTables() const { return m_tuTable && m_teTable; }

TriggerSetting* TriggerView::liveSetting() const {
    if (!m_setting || m_setting != OnaData::inst()->getTSModel())
        return nullptr;
    return m_setting;
}

void TriggerView::setModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* setting) {
    if (!hasTables())
        return;
    m_tu = tu;
    m_te = te;

    if (showModel(m_tuTable, tu)) {
        m_tuTable->setColumnWidth(TriggerUModel::ColSignals, 350);
        m_tuTable->setColumnWidth(TriggerUModel::ColRadix, 100);
        // Room for every unit of a usual core (up to six) without scrolling;
        // the expression table gives up the space first.
        const int rows = qMin(tu->rowCount(), 6);
        int height = m_tuTable->horizontalHeader()->height() + 2 * m_tuTable->frameWidth();
        for (int r = 0; r < rows; ++r)
            height += m_tuTable->rowHeight(r);
        m_tuTable->setMinimumHeight(height);
    }

    if (showModel(m_teTable, te)) {
        m_teTable->setColumnWidth(TriggerEModel::ColExpression, 350);
        m_teTable->setColumnWidth(TriggerEModel::ColName, m_teTable->columnWidth(TriggerEModel::ColName) + 10);
    }
    updateErrorLabels(tu, te);
    setTriggerSetting(setting);
    updateEmptyState();
}

void TriggerView::updateErrorLabels(TriggerUModel* tu, TriggerEModel* te) {
    if (!tu || !te)
        return;
    m_tuGroup->setLabel(titleWithErrors(tu->getTitle(), tu->getNumError()));
    m_teGroup->setLabel(titleWithErrors(te->getTitle(), te->getNumError()));
}

void TriggerView::writePositionTitle(int position, int samples) {
    m_positionGroup->setLabel(
        QStringLiteral("Trigger Position: <b>%1/%2</b>").arg(QString::number(position), QString::number(samples)));
}

void TriggerView::refreshPositionLabel() {
    if (TriggerSetting* s = liveSetting())
        writePositionTitle(s->triggerPosition, s->samples);
}

void TriggerView::setTriggerSetting(TriggerSetting* s) {
    m_setting = s;
    if (!s)
        return;
    std::vector<std::optional<QSignalBlocker>> blockers;
    for (QObject* w :
         std::initializer_list<QObject*>{m_preRadio, m_userRadio, m_positionCombo, m_positionBar, m_teCombo,
                                         m_samplesCombo, m_triggerSpin, m_counterCheck, m_counterSpin, m_porCheck})
        blockers.emplace_back(std::in_place, w);

    m_preRadio->setChecked(s->positionPreSelected);
    m_userRadio->setChecked(!s->positionPreSelected);
    m_positionCombo->setCurrentIndex(qBound(0, s->prePositionIndex, 2));

    m_positionBar->setMaximum(s->maxPosition);
    m_positionBar->setValue(s->userPosition);

    // The setting is the one handed over; its position is recomputed from
    // its own fields rather than from whichever core is current.
    writePositionTitle(s->updateTriggerPosition(), s->samples);

    m_teCombo->setCurrentIndex(s->teCombination > 0 ? 1 : 0);

    const bool multi = s->multiTriggerCapacity > 0;
    m_samplesCombo->setEnabled(multi);
    m_triggerSpin->setEnabled(multi);

    // Rebuilt only when the limits changed: the box may be the one whose
    // change led here.
    const QStringList items = sampleItems(s->minSamples, s->maxSamples);
    QStringList current;
    for (int i = 0; i < m_samplesCombo->count(); ++i)
        current << m_samplesCombo->itemText(i);
    if (current != items) {
        m_samplesCombo->clear();
        m_samplesCombo->addItems(items);
    }
    const int selected = items.indexOf(QString::number(s->samples));
    m_samplesCombo->setCurrentIndex(items.isEmpty() ? -1 : qMax(0, selected));

    m_triggerSpin->setMaximum(qMax(1, s->maxTriggers));
    m_triggerMax->setText(tr("(max %1)").arg(s->maxTriggers));
    m_triggerSpin->setValue(s->numTriggers);

    const bool counterOn = s->finalCounterOn > 0;
    m_counterCheck->setChecked(counterOn);
    m_counterSpin->setMaximum(qMax(1, s->finalCounterMax));
    m_counterSpin->setValue(s->finalCounterPreset);
    m_counterSpin->setEnabled(counterOn);
    if (s->finalCounterMax > 1) {
        m_counterCheck->setEnabled(m_editing);
        m_counterMax->setText(tr("(max %1)").arg(s->finalCounterMax));
    } else {
        m_counterCheck->setEnabled(false);
        m_counterMax->clear();
    }

    m_porGroup->setVisible(s->porSupported);
    if (s->porSupported)
        m_porCheck->setChecked(s->connectPorOnOpen);

    updatePositionControls();
}

void TriggerView::updatePositionControls() {
    // Only the selected position source is editable, so the list and the
    // slider never show a position that does not apply.
    m_positionCombo->setEnabled(m_preRadio->isChecked());
    m_positionBar->setEnabled(m_userRadio->isChecked());
}

void TriggerView::setEditingEnabled(bool enabled) {
    m_editing = enabled;
    m_tuTable->setEnabled(enabled);
    m_teTable->setEnabled(enabled);
    m_preRadio->setEnabled(enabled);
    m_userRadio->setEnabled(enabled);
    m_porCheck->setEnabled(enabled);
    const TriggerSetting* s = liveSetting();
    m_counterCheck->setEnabled(enabled && (!s || s->finalCounterMax > 1));
}

void TriggerView::setSettingControlsEnabled(bool enabled) {
    m_settingControls = enabled;
    m_optionsGroup->setEnabled(enabled);
    m_positionGroup->setEnabled(enabled);
}

void TriggerView::updateEmptyState() {
    const bool any = m_tu || m_te;
    m_empty->setVisible(!any);
    m_tuGroup->setVisible(any);
    m_teGroup->setVisible(any);
    m_optionFrame->setVisible(any);
}

bool TriggerView::sendOption(const QString& cmd) {
    if (sendTriggerCommand(m_gateway, cmd))
        return true;
    // The engine kept its value: show that one again.
    setTriggerSetting(liveSetting());
    return false;
}

void TriggerView::syncPositionBar() {
    const QSignalBlocker block(m_positionBar);
    const OnaData* data = OnaData::inst();
    m_positionBar->setMaximum(data->getMaxPosition());
    m_positionBar->setValue(data->getUserPosition());
}

void TriggerView::doPreToggle(bool checked) {
    TriggerSetting* s = liveSetting();
    if (!s)
        return;
    s->positionPreSelected = checked;
    s->markDirty();
    updatePositionControls();
    if (checked) {
        sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -position %1"),
                              TriggerSetting::positionWord(m_positionCombo->currentIndex())));
        refreshPositionLabel();
    }
}

void TriggerView::doUserToggle(bool checked) {
    TriggerSetting* s = liveSetting();
    if (!s)
        return;
    s->positionPreSelected = !checked;
    s->markDirty();
    updatePositionControls();
    if (checked) {
        sendOption(
            tclCommand(QStringLiteral("ona_set_trigoptn -position %1"), QString::number(m_positionBar->value())));
        refreshPositionLabel();
    }
}

void TriggerView::doPrePos(int index) {
    if (!liveSetting() || !m_preRadio->isChecked())
        return;
    sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -position %1"), TriggerSetting::positionWord(index)));
    refreshPositionLabel();
}

void TriggerView::doUserPos(int value) {
    if (!liveSetting() || !m_userRadio->isChecked())
        return;
    sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -position %1"), QString::number(value)));
    refreshPositionLabel();
}

void TriggerView::doEnableTE(int index) {
    if (!liveSetting())
        return;
    sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -teall %1"),
                          index == 0 ? QStringLiteral("or") : QStringLiteral("and")));
}

void TriggerView::doNumSample(int index) {
    if (!liveSetting() || index < 0)
        return;
    bool ok = false;
    const int samples = m_samplesCombo->itemText(index).toInt(&ok);
    if (!ok)
        return;
    if (!sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -samples %1"), QString::number(samples))))
        return;
    refreshPositionLabel();
    // The engine may have lowered the number of triggers to fit.
    const int triggers = OnaData::inst()->getNumTrigger(-1);
    if (triggers != m_triggerSpin->value()) {
        const QSignalBlocker block(m_triggerSpin);
        m_triggerSpin->setValue(triggers);
    }
    syncPositionBar();
}

void TriggerView::doNumTrigger(int value) {
    if (!liveSetting())
        return;
    if (!sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -numtriggers %1"), QString::number(value))))
        return;
    // The engine may have halved the samples per trigger to fit.
    const int samples = OnaData::inst()->getNumSample();
    if (m_samplesCombo->currentText().toInt() != samples) {
        const QSignalBlocker block(m_samplesCombo);
        const int found = m_samplesCombo->findText(QString::number(samples), Qt::MatchExactly);
        m_samplesCombo->setCurrentIndex(found >= 0 ? found : m_samplesCombo->count() - 1);
    }
    refreshPositionLabel();
    syncPositionBar();
}

void TriggerView::doToggleEventCounter(bool on) {
    if (!liveSetting())
        return;
    sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -finalcounter %1"),
                          on ? QStringLiteral("on") : QStringLiteral("off")));
}

void TriggerView::doNumEventCounter(int value) {
    if (!liveSetting())
        return;
    sendOption(tclCommand(QStringLiteral("ona_set_trigoptn -finalcountervalue %1"), QString::number(value)));
}

void TriggerView::connectPORCore(bool connectFlag) {
    TriggerSetting* s = liveSetting();
    if (!s)
        return;
    if (s->porSupported)
        s->connectPorOnOpen = connectFlag;
    if (m_gateway)
        m_gateway->markModified();
}

bool TriggerView::eventFilter(QObject* watched, QEvent* event) {
    return openHelpOnF1(m_gateway, this, watched, event, "Trigger_Signal_Setup") || QFrame::eventFilter(watched, event);
}

} // namespace vemo::toolona
