#include "controller/controllertab.h"

#include "kit/toolgateway.h"

#include "analyzercore.h"
#include "basgui/baseicon.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vemo::toolona {

ControllerTab::ControllerTab(const QString& title, ToolGateway* gateway, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint), m_title(title), m_gateway(gateway) {
    setObjectName(title);
    setWindowTitle(title);
    m_outer = new QVBoxLayout(this);
    m_outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = m_scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* body = new QWidget(scroll);
    body->setAutoFillBackground(false);
    m_content = new QVBoxLayout(body);
    m_content->setContentsMargins(0, 0, 0, 0);

    auto* row = new QHBoxLayout;
    m_dockButton = new QToolButton(body);
    m_dockButton->setObjectName(QStringLiteral("dockButton"));
    m_dockButton->setAutoRaise(true);
    m_dockButton->setIcon(vemo::basgui::BaseIcon::getIcon(QStringLiteral("dock_view")));
    m_dockButton->setToolTip(tr("Detach View"));
    row->addWidget(m_dockButton);
    row->addStretch(1);
    m_content->addLayout(row);
    scroll->setWidget(body);
    m_outer->addWidget(scroll);
    connect(m_dockButton, &QToolButton::clicked, this, &ControllerTab::dockButtonClicked);
    // Each tab has a help page of its own, named like the tab.
    installHelpOnF1(gateway, this, QString(title).replace(QLatin1Char(' '), QLatin1Char('_')));
}

ControllerTab::~ControllerTab() = default;

void ControllerTab::setCore(const QSharedPointer<AnalyzerCore>& core) {
    m_coreName = core ? core->getName() : QString();
    m_core = core;
    fillFromCore(core);
}

int ControllerTab::detachedWidth() const {
    const QMargins outer(6, 6, 6, 6); // the detached window's margins
    return m_scroll->widget()->minimumSizeHint().width() + m_scroll->verticalScrollBar()->sizeHint().width() +
           outer.left() + outer.right();
}

void ControllerTab::fillFromCore(const QSharedPointer<AnalyzerCore>&) {}

QWidget* ControllerTab::dockHandle() const { return m_dockButton; }

void ControllerTab::forceClose() {
    m_closeForGood = true;
    close();
}

void ControllerTab::dockButtonClicked() {
    if (m_docked) {
        m_dockButton->setIcon(vemo::basgui::BaseIcon::getIcon(QStringLiteral("undock_view")));
        m_dockButton->setToolTip(tr("Attach View"));
        m_docked = false;
        m_outer->setContentsMargins(6, 6, 6, 6);
        emit sigDockButtonClicked(m_title, false);
    } else {
        m_dockButton->setIcon(vemo::basgui::BaseIcon::getIcon(QStringLiteral("dock_view")));
        m_dockButton->setToolTip(tr("Detach View"));
        m_docked = true;
        m_outer->setContentsMargins(0, 0, 0, 0);
        hide();
        emit sigDockButtonClicked(m_title, true);
    }
}

void ControllerTab::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }

    QDialog::keyPressEvent(event);
}

void ControllerTab::closeEvent(QCloseEvent* event) {
    if (m_closeForGood) {
        event->accept();
        return;
    }
    // Closing a detached window puts the tab back; a docked tab stays.
    event->ignore();
    if (!m_docked)
        dockButtonClicked();
}

} // namespace vemo::toolona
