#pragma once

#include "project/vemoimplementation.h"

#include <QString>

#include <memory>

// The host's project: one default implementation that tools ask about flow
// tasks and project files. A host without a real project (the stand-alone
// tool, tests) gets an empty one.
class VemoProjectManager {
public:
    static VemoProjectManager& getProjectManager();

    // Never null.
    VemoImplementation* getDefaultImplementation() const { return m_default.get(); }

    QString projectName() const { return m_projectName; }
    void setProjectName(const QString& name) { m_projectName = name; }

    // Empties the project: no tasks, no resources.
    void reset();

private:
    VemoProjectManager();
    VemoProjectManager(const VemoProjectManager&) = delete;
    VemoProjectManager& operator=(const VemoProjectManager&) = delete;

    QString m_projectName;
    std::unique_ptr<VemoImplementation> m_default;
};
