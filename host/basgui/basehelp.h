#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace vemo::basgui {

class HelpBrowser;

// A tool's help: HTML pages "<topic>.html" shown in one help browser window,
// and What's-This texts from "whatsthis.json" ({topic: {entry: text}}).
//
// Pages and the What's-This file are looked up, in this order, in the
// resource folder ":/help", in $ONDREL_HELP_DIR, in the folders given to
// addSearchPath (first added first), and finally in the help folder of the
// source tree's docs. A topic is a plain name (letters, digits, "_", "-",
// "."); anything else, and a topic without a page, shows a page saying that
// there is no help for it.
class BaseHelp : public QObject {
    Q_OBJECT
public:
    explicit BaseHelp(const QString& toolName, QObject* parent = nullptr);

    QString toolName() const { return m_toolName; }

    // Shows a topic; an empty topic shows the tool's main page (the page
    // named like the tool).
    void openHelpUrl(const QString& topic = QString());
    // Help for a view of the tool (F1 on a page).
    void openViewHelpUrl(const QString& topic);
    // Help for a dialog: when a modal dialog is open the help window becomes
    // its child window, so that it can be used while the dialog waits.
    void openDialogHelpUrl(const QString& topic);

    // The What's-This text of an entry of a topic, or empty. An empty entry
    // asks for the entry named like the topic. Earlier folders win.
    QString getWhatsThisText(const QString& topic, const QString& entry) const;

    // The page file of a topic (a ":/help/..." resource or a path), or empty.
    QString helpFile(const QString& topic) const;

    static void addSearchPath(const QString& dir);
    // Every folder looked in, in lookup order (folders that do not exist
    // included, so that a "not found" page can say where it looked).
    static QStringList searchPaths();
    // A file below one of the folders (e.g. "images/x.png"), or empty.
    static QString locate(const QString& relativePath);
    static bool isValidTopic(const QString& topic);

    // The help window, or nullptr before the first page was shown.
    static HelpBrowser* browser();

private:
    void show(const QString& topic, QWidget* modalOwner);

    QString m_toolName;
};

} // namespace vemo::basgui
