#pragma once

#include "basgui/lineeditwithbrowse.h"

namespace vemo::toolona {

// A memory-file path, typed or browsed. Mode "dump" browses for a file to
// write, "load" for one to read; any path the file dialog can return is
// accepted (blanks and all: commands quote and escape it).
class OnaPathItemEditor : public vemo::basgui::LineEditWithBrowse {
    Q_OBJECT
public:
    OnaPathItemEditor(QWidget* parent, const QString& mode);
    QString mode() const { return m_mode; }

    void browse() override;

private:
    QString m_mode;
};

} // namespace vemo::toolona
