#pragma once

#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QAction;
class QLineEdit;

namespace vemo::basgui {

// The page view of the help window. Pages are addressed as
// "help:/<topic>.html"; relative links between pages and their images
// resolve through BaseHelp's folders, and a missing topic gets a page that
// says so.
class HelpTextBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpTextBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;

    static QUrl topicUrl(const QString& topic);
    // The topic of a "help:" page URL, or empty.
    static QString topicOf(const QUrl& url);
    static QString missingPage(const QString& topic);

private:
    void followLink(const QUrl& link);
};

// The help window: back, forward, the tool's main page, find in page.
class HelpBrowser : public QWidget {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    void setHomeTopic(const QString& topic);
    void showTopic(const QString& topic);

    QString currentTopic() const;
    HelpTextBrowser* textBrowser() const { return m_text; }
    QAction* backAction() const { return m_back; }
    QAction* forwardAction() const { return m_forward; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateTitle();
    void find(bool backward);

    HelpTextBrowser* m_text;
    QAction* m_back;
    QAction* m_forward;
    QAction* m_home;
    QLineEdit* m_find;
    QString m_homeTopic;
};

} // namespace vemo::basgui
