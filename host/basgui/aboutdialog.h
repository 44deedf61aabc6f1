#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;

namespace vemo::basgui {

// "About <title>": the tool's icon, its name and description, the
// application version when one is set, and the Qt and Tcl versions in use.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(QWidget* parent, const QString& title, const QString& text, const QIcon& icon);

    QString heading() const;
    QString body() const;
    QString versions() const;

private:
    QLabel* m_heading;
    QLabel* m_body;
    QLabel* m_versions;
};

} // namespace vemo::basgui
