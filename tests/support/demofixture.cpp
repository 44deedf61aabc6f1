#include "demofixture.h"

#include "recordinghost.h"

#include "shell/onagui.h"

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
