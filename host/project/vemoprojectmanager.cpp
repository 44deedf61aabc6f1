#include "project/vemoprojectmanager.h"

VemoProjectManager::VemoProjectManager() : m_default(std::make_unique<VemoImplementation>(QStringLiteral("impl1"))) {}

VemoProjectManager& VemoProjectManager::getProjectManager() {
    static VemoProjectManager manager;
    return manager;
}

void VemoProjectManager::reset() {
    m_projectName.clear();
    m_default->clear();
}
