#include "demofixture.h"

#include "recordinghost.h"

#include <QComboBox>

#include "shell/onagui.h"

#include "onadata.h"
#include "oncdata.h"
#include "pcsdata.h"
#include "project/vemoprojectmanager.h"
#include "settings/baseusrsettings.h"

using namespace Qt::StringLiterals;

namespace demofixture {

std::unique_ptr<vemo::toolona::OnaGUI> makeGui(bool standalone, QList<QString> args, const QString& startup) {
    QString unused;
    return std::make_unique<vemo::toolona::OnaGUI>(nullptr, args, unused, standalone, startup);
}

std::unique_ptr<vemo::toolona::OnaGUI> embeddedGui(RecordingHost* host, const QString& file, bool init) {
    auto gui = makeGui(false, {file});
    host->attach(gui.get());
    if (init && !gui->initialize())
        return nullptr;
    return gui;
}

std::unique_ptr<vemo::toolona::OnaGUI> standaloneGui(const QString& file) {
    auto gui = makeGui(true, file.isEmpty() ? QList<QString>() : QList<QString>{file});
    if (!gui->initialize())
        return nullptr;
    return gui;
}

void resetWindowState() {
    vemo::basgui::BaseUsrSettings settings(u"ONL_ANALYZER"_s);
    for (const char* key :
         {"winx", "winy", "winwidth", "winheight", "winstate", "lastfilepath", "lastimplpath", "initserdes"})
        settings.remove(QLatin1String(key));
    settings.sync();
    VemoProjectManager::getProjectManager().reset();
}

} // namespace demofixture

DemoTest::DemoTest() = default;
DemoTest::~DemoTest() = default;

bool DemoTest::openDemo(const QString& core, bool serdes) {
    m_dir = std::make_unique<QTemporaryDir>();
    m_host = std::make_unique<RecordingHost>();
    m_gui = demofixture::embeddedGui(m_host.get(), demofixture::copyDemo(m_dir->path(), u"demo"_s, serdes));
    if (!m_gui)
        return false;
    if (!core.isEmpty()) {
        QComboBox* selector = m_gui->coreSelector();
        selector->setCurrentIndex(selector->findText(core));
        if (OnaData::inst()->getCoreName(-1) != core)
            return false;
    }
    m_host->commands.clear();
    return true;
}

void DemoTest::freshHost() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_host = std::make_unique<RecordingHost>();
    demofixture::resetWindowState();
}

void DemoTest::closeDemo() {
    ONCData::inst()->clearFailures();
    PCSData::inst()->clearInjections();
    m_gui.reset();
    m_host.reset();
    m_dir.reset();
    OnaData::inst()->resetData();
}
