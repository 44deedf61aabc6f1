#pragma once

#include "kit/detachablepage.h"

#include <QDialog>
#include <QSharedPointer>
#include <QWeakPointer>

class AnalyzerCore;
class QToolButton;
class QScrollArea;
class QVBoxLayout;

namespace vemo::toolona {

class ToolGateway;

// What every controller tab shares: a page of the right view that its dock
// button detaches into a window of its own and attaches again. Closing the
// detached window docks it back; only forceClose() (tool shutdown) closes
// it for good.
class ControllerTab : public QDialog, public DetachablePage {
    Q_OBJECT
public:
    // `title` is the tab's identity towards the right view and its window
    // title when detached. Commands and help go through `gateway`.
    ControllerTab(const QString& title, ToolGateway* gateway, QWidget* parent);
    ~ControllerTab() override;

    QString tabTitle() const { return m_title; }
    bool isDocked() const override { return m_docked; }
    bool isClosingForGood() const { return m_closeForGood; }
    // Whether the current core defines what this tab shows.
    bool hasContent() const override = 0;
    // Fills the tab from the controller core (null: none); remembers its name.
    virtual void setCore(const QSharedPointer<AnalyzerCore>& core);
    QString coreName() const override { return m_coreName; }
    // The core last given (null when none, or when it is gone).
    QSharedPointer<AnalyzerCore> core() const { return m_core.toStrongRef(); }
    void forceClose() override;
    QToolButton* dockButton() const { return m_dockButton; }
    QWidget* dockHandle() const override;

    // The width a window of its own needs to show the content without a
    // horizontal scroll bar, room for the vertical one included.
    int detachedWidth() const override;

signals:
    void sigDockButtonClicked(QString title, bool attach);

public slots:
    void dockButtonClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc would reject() the dialog and hide a detached tab for good: a tab
    // closes only by its window's close button or by docking.
    void keyPressEvent(QKeyEvent* event) override;
    // Where a tab puts its own content, below the dock button row.
    QVBoxLayout* contentLayout() const { return m_content; }
    // Called by setCore after the core name is stored.
    virtual void fillFromCore(const QSharedPointer<AnalyzerCore>& core);
    ToolGateway* gateway() const { return m_gateway; }

private:
    QString m_title;
    ToolGateway* m_gateway;
    QWeakPointer<AnalyzerCore> m_core;
    QString m_coreName;
    bool m_docked = true;
    bool m_closeForGood = false;
    QVBoxLayout* m_outer = nullptr;
    QVBoxLayout* m_content = nullptr;
    QScrollArea* m_scroll = nullptr;
    QToolButton* m_dockButton = nullptr;
};

} // namespace vemo::toolona
