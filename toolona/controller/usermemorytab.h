#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

class UserMemoryWidget;

// The "User Memory" page of a controller core.
class UserMemoryTab : public ControllerTab {
    Q_OBJECT
public:
    explicit UserMemoryTab(ToolGateway* gateway, QWidget* parent = nullptr);

    // Whether `core` has a user memory (defined and enabled).
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>& core);
    bool hasContent() const override { return hasContentFor(core()); }

    UserMemoryWidget* memoryWidget() const { return m_widget; }

protected:
    void fillFromCore(const QSharedPointer<AnalyzerCore>& core) override;

private:
    UserMemoryWidget* m_widget;
};

} // namespace vemo::toolona
