#include "demofixture.h"

#include "recordinghost.h"

#include <QComboBox>

#include "shell/onagui.h"

#include "onadata.h"
#include "oncdata.h"
#include "pcsdata.h"

namespace demofixture {

std::unique_ptr<vemo::toolona::OnaGUI> embeddedGui(RecordingHost* host, const QString& file, bool init) {
    QList<QString> args{file};
    QString unused;
    auto gui = std::make_unique<vemo::toolona::OnaGUI>(nullptr, args, unused, false, QString());
    host->attach(gui.get());
    if (init && !gui->initialize())
        return nullptr;
    return gui;
}

std::unique_ptr<vemo::toolona::OnaGUI> standaloneGui(const QString& file) {
    QList<QString> args;
    if (!file.isEmpty())
        args << file;
    QString unused;
    auto gui = std::make_unique<vemo::toolona::OnaGUI>(nullptr, args, unused, true, QString());
    if (!gui->initialize())
        return nullptr;
    return gui;
}

} // namespace demofixture

DemoTest::DemoTest() = default;
DemoTest::~DemoTest() = default;

bool DemoTest::openDemo(const QString& core, bool serdes) {
    m_dir = std::make_unique<QTemporaryDir>();
    m_host = std::make_unique<RecordingHost>();
    m_gui =
        demofixture::embeddedGui(m_host.get(), demofixture::copyDemo(m_dir->path(), QStringLiteral("demo"), serdes));
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

void DemoTest::closeDemo() {
    ONCData::inst()->clearFailures();
    PCSData::inst()->clearInjections();
    m_gui.reset();
    m_host.reset();
    m_dir.reset();
}
