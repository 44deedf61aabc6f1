#pragma once

#include <QList>
#include <QString>

// One entry of a resource's "associated" list: a name (an implementation or
// a flow step the file takes part in) and whether that association is
// active. A tool that finds its file's first association inactive treats
// the file as not part of the current implementation.
struct VemoAssociation {
    QString name;
    bool state = true;
};

// A file known to the host project, by name (normally its absolute path).
class VemoResource {
public:
    explicit VemoResource(const QString& name);

    QString name() const { return m_name; }
    QList<VemoAssociation> associated() const { return m_associated; }

    // Adds an association, or updates the state of an existing one of the
    // same name (the order of first addition is kept).
    void addAssociated(const QString& name, bool state);
    bool setAssociatedState(const QString& name, bool state);
    void removeAssociated(const QString& name);

private:
    QString m_name;
    QList<VemoAssociation> m_associated;
};
