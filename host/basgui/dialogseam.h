#pragma once

#include <QColor>
#include <QMessageBox>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QDialog;

namespace vemo::basgui {

// Every message box, question and file or colour dialog of the host and the
// tools goes through the current provider. Production code gets the real Qt
// dialogs; a test or an automation host installs its own provider and
// answers without a user.
class DialogProvider {
public:
    virtual ~DialogProvider();

    virtual QMessageBox::StandardButton messageBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption,
                                                   const QString& text, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton);
    // A box with buttons of its own texts (action role); returns the index of
    // the clicked one, -1 when closed without a choice.
    virtual int customMessageBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text,
                                 const QStringList& buttonTexts);
    virtual QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    virtual QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    virtual QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
    virtual QColor getColor(const QColor& initial, QWidget* parent, const QString& title);
    // Runs a modal dialog the caller built; returns QDialog::exec()'s result.
    virtual int execDialog(QDialog* dialog);
};

class Dialogs {
public:
    // The provider in use; never null.
    static DialogProvider* provider();
    // Installs a provider (not owned); nullptr restores the real dialogs.
    static void setProvider(DialogProvider* provider);

    static QMessageBox::StandardButton message(QMessageBox::Icon icon, QWidget* parent, const QString& caption,
                                               const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
        return provider()->messageBox(icon, parent, caption, text, buttons, defaultButton);
    }
};

// A provider that answers from queues and records what was asked. Each kind
// of question has its own queue; an empty queue gives the "cancel" answer
// (Cancel/No/Ok as available, -1, an empty name, an invalid colour, Rejected).
class ScriptedDialogs : public DialogProvider {
public:
    struct Asked {
        QString kind; // "message", "custom", "open", "save", "dir", "color", "dialog"
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString caption;
        QString text;
        QString dir;
        QString filter;
        QStringList buttons;
    };

    ScriptedDialogs();           // installs itself
    ~ScriptedDialogs() override; // restores the real dialogs

    QQueue<QMessageBox::StandardButton> buttons;
    QQueue<int> customAnswers;
    QQueue<QString> files;
    QQueue<QColor> colors;
    // Called with each dialog passed to execDialog; returns the exec result.
    std::function<int(QDialog*)> onDialog;
    QList<Asked> asked;

    QMessageBox::StandardButton messageBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption,
                                           const QString& text, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) override;
    int customMessageBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text,
                         const QStringList& buttonTexts) override;
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    QColor getColor(const QColor& initial, QWidget* parent, const QString& title) override;
    int execDialog(QDialog* dialog) override;

private:
    DialogProvider* m_previous;
};

} // namespace vemo::basgui
