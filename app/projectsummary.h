#pragma once

#include <QLabel>

#include <tcl.h>

// The stand-alone window's central view until the analyzer pages exist: what
// the engine has open (file, device, cores and their signals), read through
// the engine's own query commands, or how to open something.
class ProjectSummary : public QLabel {
    Q_OBJECT
public:
    ProjectSummary(Tcl_Interp* interp, QWidget* parent = nullptr);

public slots:
    void refresh();

private:
    QString query(const QString& command, bool* ok) const;
    Tcl_Interp* m_interp;
};
