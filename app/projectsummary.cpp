#include "projectsummary.h"

#include "tcl/cgtclcmdproxy.h"

namespace {

// Reads a Tcl dict or list result into key/value pairs.
QList<QPair<QString, QString>> pairs(Tcl_Interp* interp, const QString& text) {
    QList<QPair<QString, QString>> out;
    Tcl_Obj* obj = Tcl_NewStringObj(CGTclCmdProxy::toTcl(text).constData(), -1);
    Tcl_IncrRefCount(obj);
    int n = 0;
    Tcl_Obj** items = nullptr;
    if (Tcl_ListObjGetElements(interp, obj, &n, &items) == TCL_OK) {
        for (int i = 0; i + 1 < n; i += 2)
            out.append({CGTclCmdProxy::fromTcl(Tcl_GetString(items[i])),
                        CGTclCmdProxy::fromTcl(Tcl_GetString(items[i + 1]))});
    }
    Tcl_DecrRefCount(obj);
    return out;
}

QString value(const QList<QPair<QString, QString>>& dict, const QString& key) {
    for (const auto& p : dict)
        if (p.first == key)
            return p.second;
    return {};
}

QStringList words(Tcl_Interp* interp, const QString& text) {
    QStringList out;
    Tcl_Obj* obj = Tcl_NewStringObj(CGTclCmdProxy::toTcl(text).constData(), -1);
    Tcl_IncrRefCount(obj);
    int n = 0;
    Tcl_Obj** items = nullptr;
    if (Tcl_ListObjGetElements(interp, obj, &n, &items) == TCL_OK)
        for (int i = 0; i < n; ++i)
            out << CGTclCmdProxy::fromTcl(Tcl_GetString(items[i]));
    Tcl_DecrRefCount(obj);
    return out;
}

}  // namespace

ProjectSummary::ProjectSummary(Tcl_Interp* interp, QWidget* parent) : QLabel(parent), m_interp(interp) {
    setAlignment(Qt::AlignTop | Qt::AlignLeft);
    setMargin(16);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setWordWrap(true);
    refresh();
}

QString ProjectSummary::query(const QString& command, bool* ok) const {
    int code = 1;
    const QString result = CGTclCmdProxy::evaluate(m_interp, command, &code, true);
    *ok = code == TCL_OK;
    return result;
}

void ProjectSummary::refresh() {
    bool ok = false;
    const auto project = pairs(m_interp, query("ona_get project", &ok));
    if (!ok || value(project, "file").isEmpty()) {
        setText(tr("<h3>No analyzer file is open</h3>"
                   "<p>Open one with <b>File &gt; Open</b>, or type Tcl commands in the console below, "
                   "for example <tt>ona_open_project \"examples/demo/demo.ona\"</tt>.</p>"));
        return;
    }
    QString html = tr("<h3>%1</h3><table cellspacing=4>"
                      "<tr><td>Debug logic:</td><td>%2</td></tr>"
                      "<tr><td>Device:</td><td>%3</td></tr>"
                      "<tr><td>Cable:</td><td>%4 port %5, TCK delay %6</td></tr>"
                      "<tr><td>Clock period:</td><td>%7 %8</td></tr></table>")
                       .arg(value(project, "file").toHtmlEscaped(), value(project, "onl").toHtmlEscaped(),
                            value(project, "device").toHtmlEscaped(), value(project, "cabletype").toHtmlEscaped(),
                            value(project, "cableport").toHtmlEscaped(), value(project, "tckdelay").toHtmlEscaped(),
                            value(project, "period").toHtmlEscaped(), value(project, "clockunit").toHtmlEscaped());
    const QString current = value(project, "currentcore");
    html += tr("<h4>Cores</h4><table cellspacing=4><tr><th align=left>Core</th><th align=left>Kind</th>"
               "<th align=left>Run</th><th align=left>Signals</th><th align=left>Trigger units</th></tr>");
    for (const QString& name : words(m_interp, query("ona_get cores", &ok))) {
        const auto core = pairs(m_interp, query(QStringLiteral("ona_get core \"%1\"")
                                                    .arg(CGTclCmdProxy::escapeForQuotes(name)),
                                                &ok));
        const QString kind = value(core, "kind") == "1" ? tr("analyzer") : tr("controller");
        const int signalCount = pairs(m_interp, value(core, "signals")).size();
        const int tuCount = words(m_interp, value(core, "tus")).size();
        html += QStringLiteral("<tr><td>%1%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td></tr>")
                    .arg(name.toHtmlEscaped(), name == current ? tr(" (current)") : QString(), kind,
                         value(core, "run") == "1" ? tr("yes") : tr("no"), QString::number(signalCount),
                         QString::number(tuCount));
    }
    html += QStringLiteral("</table>");
    setText(html);
}
