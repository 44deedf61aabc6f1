#include "basgui/basguitool.h"

#include "basgui/aboutdialog.h"
#include "basgui/basehelp.h"
#include "settings/baseusrsettings.h"

namespace vemo::basgui {

BasGUITool::BasGUITool(QWidget* parent, bool standalone, bool ownStatusBar)
    : BaseMainWindow(parent, standalone, ownStatusBar) {}

BasGUITool::~BasGUITool() = default;

BaseUsrSettings* BasGUITool::usrSettings() {
    if (!m_settings)
        m_settings = std::make_unique<BaseUsrSettings>(toolName());
    return m_settings.get();
}

BaseHelp* BasGUITool::help() {
    if (!m_help)
        m_help = new BaseHelp(toolName(), this);
    return m_help;
}

void BasGUITool::onHelpAbout() {
    AboutDialog dlg(this, title(), title(), windowIcon());
    dlg.exec();
}

void BasGUITool::onHelpHelp() { help()->openHelpUrl(); }

} // namespace vemo::basgui
