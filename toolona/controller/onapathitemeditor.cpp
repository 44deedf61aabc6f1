#include "controller/onapathitemeditor.h"

#include "basgui/dialogseam.h"
#include "onadata.h"

namespace vemo::toolona {

OnaPathItemEditor::OnaPathItemEditor(QWidget* parent, const QString& mode) : LineEditWithBrowse(parent), m_mode(mode) {}

void OnaPathItemEditor::browse() {
    using vemo::basgui::Dialogs;
    const QString dir = OnaData::inst()->getCurrentDirectory();
    const QString filter = tr("Memory Files (*.mem);;All Files (*.*)");
    QString chosen;
    if (m_mode.compare(QLatin1String("dump"), Qt::CaseInsensitive) == 0)
        chosen = Dialogs::provider()->getSaveFileName(this, tr("Dump to File"), dir, filter);
    else if (m_mode.compare(QLatin1String("load"), Qt::CaseInsensitive) == 0)
        chosen = Dialogs::provider()->getOpenFileName(this, tr("Load from File"), dir, filter);
    else
        return;
    if (!chosen.isEmpty() && chosen != text().trimmed())
        setText(chosen);
}

} // namespace vemo::toolona
