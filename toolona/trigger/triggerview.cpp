#include "trigger/triggerview.h"

#include "shell/labelgroupbox.h"
#include "shell/onagui.h"
#include "widgets/emptystatelabel.h"

#include "basgui/basehelp.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {
QPointer<TriggerUModel> g_currentTU;

QTableView* makeTable(QWidget* parent) {
    auto* table = new QTableView(parent);
    table->setObjectName(QStringLiteral("PNBorderTableView"));
    // Cells are edited through the trigger delegates, which send commands;
    // until they are installed a plain editor would change the engine's
    // model behind its back, so the tables are read-only.
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}
}  // namespace

TriggerView::TriggerView(QWidget* parent) : QFrame(parent) {
    setAcceptDrops(true);
    auto* grid = new QGridLayout(this);

    auto* tuGroup = new LabelGroupBox(this);
    tuGroup->setObjectName(QStringLiteral("TriggerUnitGroup"));
    auto* tuLayout = new QVBoxLayout(tuGroup);
    m_tuTable = makeTable(tuGroup);
    tuLayout->addWidget(m_tuTable);
    tuGroup->setLabel(tr("<b>Trigger Unit</b>"));

    auto* teGroup = new LabelGroupBox(this);
    teGroup->setObjectName(QStringLiteral("TriggerExpressionGroup"));
    auto* teLayout = new QVBoxLayout(teGroup);
    m_teTable = makeTable(teGroup);
    teLayout->addWidget(m_teTable);
    teGroup->setLabel(tr("<b>Trigger Expression</b>"));

    m_empty = new EmptyStateLabel(
        tr("Trigger units and trigger expressions of the active analyzer core appear here.\n"
           "No analyzer core is open."),
        this);
    grid->addWidget(tuGroup, 0, 0);
    grid->addWidget(teGroup, 1, 0);
    grid->addWidget(m_empty, 2, 0);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 2);
    installEventFilter(this);
    updateEmptyState();
}

TriggerView::~TriggerView() {
    if (g_currentTU == m_tu)
        g_currentTU = nullptr;
}

TriggerUModel* TriggerView::tuModel() const { return m_tu; }

TriggerEModel* TriggerView::teModel() const { return m_te; }

bool TriggerView::hasTables() const { return m_tuTable && m_teTable; }

TriggerUModel* TriggerView::currentTUModel() { return g_currentTU; }

void TriggerView::setModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* setting) {
    if (!hasTables())
        return;
    m_tu = tu;
    m_te = te;
    g_currentTU = tu;

    auto* tuHeader = m_tuTable->horizontalHeader();
    tuHeader->setStretchLastSection(false);
    m_tuTable->setModel(tu);
    tuHeader->setStretchLastSection(true);
    if (tu) {
        m_tuTable->resizeColumnsToContents();
        m_tuTable->setColumnWidth(1, 350);
        m_tuTable->setColumnWidth(3, 100);
    }

    auto* teHeader = m_teTable->horizontalHeader();
    teHeader->setStretchLastSection(false);
    m_teTable->setModel(te);
    teHeader->setStretchLastSection(true);
    if (te) {
        m_teTable->resizeColumnsToContents();
        m_teTable->setColumnWidth(1, 350);
        m_teTable->setColumnWidth(0, m_teTable->columnWidth(0) + 10);
    }
    updateErrorLabels(tu, te);
    setTriggerSetting(setting);
    updateEmptyState();
}

void TriggerView::updateErrorLabels(TriggerUModel*, TriggerEModel*) {
    // The error markings in the group titles come with the trigger tables.
}

void TriggerView::setTriggerSetting(TriggerSetting* setting) { m_setting = setting; }

void TriggerView::setEditingEnabled(bool enabled) {
    m_editing = enabled;
    m_tuTable->setEnabled(enabled);
    m_teTable->setEnabled(enabled);
}

void TriggerView::setSettingControlsEnabled(bool enabled) { m_settingControls = enabled; }

void TriggerView::updateEmptyState() {
    const bool any = m_tu || m_te;
    m_empty->setVisible(!any);
    m_tuTable->parentWidget()->setVisible(any);
    m_teTable->parentWidget()->setVisible(any);
}

// The option slots belong to the trigger options and position groups.
void TriggerView::doPreToggle(bool) {}
void TriggerView::doUserToggle(bool) {}
void TriggerView::doPrePos(int) {}
void TriggerView::doUserPos(int) {}
void TriggerView::doEnableTE(int) {}
void TriggerView::doNumSample(int) {}
void TriggerView::doNumTrigger(int) {}
void TriggerView::doToggleEventCounter(bool) {}
void TriggerView::doNumEventCounter(int) {}
void TriggerView::connectPORCore(bool) {}

bool TriggerView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (auto* help = OnaGUI::helpInstance())
            help->openViewHelpUrl(QStringLiteral("Trigger_Signal_Setup"));
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vemo::toolona
