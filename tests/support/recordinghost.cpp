#include "recordinghost.h"

#include "basgui/basguitool.h"
#include "onapackage.h"
#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"

using namespace Qt::StringLiterals;

RecordingHost::RecordingHost() {
    CGTclCmdMan::registerPackage(u"ona"_s, Ona_Init);
    static char name[] = "recordinghost";
    char* argv[] = {name, nullptr};
    m_interp = CGTclCmdMan::createInterp(1, argv, "ona");
    // Deleting the interpreter must not close the test's own stdout.
    static bool kept = false;
    if (!kept) {
        kept = true;
        for (int type : {TCL_STDIN, TCL_STDOUT, TCL_STDERR})
            if (Tcl_Channel channel = Tcl_GetStdChannel(type))
                Tcl_RegisterChannel(nullptr, channel);
    }
}

RecordingHost::~RecordingHost() {
    if (m_interp)
        CGTclCmdMan::deleteInterp(m_interp);
}

void RecordingHost::attach(vemo::basgui::BasGUITool* tool) {
    connect(tool, &vemo::basgui::BasGUITool::sigRunTclCmd, this, &RecordingHost::runTclCmd, Qt::DirectConnection);
}

QString RecordingHost::eval(const QString& script, int* code) {
    int c = TCL_OK;
    const QString result = CGTclCmdProxy::evaluate(m_interp, script, &c, true);
    if (code)
        *code = c;
    return result;
}

QStringList RecordingHost::startingWith(const QString& prefix) const {
    QStringList out;
    for (const QString& c : commands)
        if (c.startsWith(prefix))
            out << c;
    return out;
}

void RecordingHost::runTclCmd(const QString& cmd, int& code, QString& result) {
    commands << cmd;
    if (refuse && refuse(cmd)) {
        code = TCL_ERROR;
        result = u"refused by the test"_s;
        codes << code;
        return;
    }
    result = eval(cmd, &code);
    codes << code;
}
