#pragma once

#include "basgui/basemainwindow.h"

#include <memory>

namespace vemo::basgui {

class BaseUsrSettings;
class BaseHelp;

// A tool window of the host: the main-window base plus the signals through
// which a tool talks to its host, and the tool's own settings and help.
class BasGUITool : public BaseMainWindow {
    Q_OBJECT
public:
    BasGUITool(QWidget* parent, bool standalone, bool ownStatusBar);
    ~BasGUITool() override;

    // Created on first use, keyed by toolName().
    BaseUsrSettings* usrSettings();
    BaseHelp* help();

public slots:
    void onHelpAbout() override;
    void onHelpHelp() override;

signals:
    // Embedded mode: the host evaluates cmd at once and fills code (0 = ok)
    // and result before the emit returns.
    void sigRunTclCmd(const QString& cmd, int& code, QString& result);
    void sigTitleChange(vemo::basgui::BasGUITool* tool);
    void sigChangeRequest(vemo::basgui::RequestAction action, QList<QString> args);
    void sigStatusTips(const QString& tip);
    void sigFileSaved(QString fileName);

private:
    std::unique_ptr<BaseUsrSettings> m_settings;
    BaseHelp* m_help = nullptr;
};

} // namespace vemo::basgui
