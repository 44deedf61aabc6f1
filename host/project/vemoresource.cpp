#include "project/vemoresource.h"

VemoResource::VemoResource(const QString& name) : m_name(name) {}

void VemoResource::addAssociated(const QString& name, bool state) {
    if (!setAssociatedState(name, state))
        m_associated.append(VemoAssociation{name, state});
}

bool VemoResource::setAssociatedState(const QString& name, bool state) {
    for (VemoAssociation& a : m_associated) {
        if (a.name == name) {
            a.state = state;
            return true;
        }
    }
    return false;
}

void VemoResource::removeAssociated(const QString& name) {
    m_associated.removeIf([&](const VemoAssociation& a) { return a.name == name; });
}
