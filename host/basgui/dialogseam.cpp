#include "basgui/dialogseam.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>

namespace vemo::basgui {

namespace {
DialogProvider& realDialogs() {
    static DialogProvider real;
    return real;
}
DialogProvider* g_provider = nullptr;
} // namespace

DialogProvider::~DialogProvider() = default;

QMessageBox::StandardButton DialogProvider::messageBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption,
                                                       const QString& text, QMessageBox::StandardButtons buttons,
                                                       QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

int DialogProvider::customMessageBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption,
                                     const QString& text, const QStringList& buttonTexts) {
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> made;
    for (const QString& t : buttonTexts)
        made << box.addButton(t, QMessageBox::ActionRole);
    box.exec();
    return made.indexOf(box.clickedButton());
}

QString DialogProvider::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                        const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString DialogProvider::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                        const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString DialogProvider::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) {
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QColor DialogProvider::getColor(const QColor& initial, QWidget* parent, const QString& title) {
    return QColorDialog::getColor(initial, parent, title);
}

int DialogProvider::execDialog(QDialog* dialog) { return dialog->exec(); }

DialogProvider* Dialogs::provider() { return g_provider ? g_provider : &realDialogs(); }
void Dialogs::setProvider(DialogProvider* provider) { g_provider = provider; }

ScriptedDialogs::ScriptedDialogs() : m_previous(g_provider) { Dialogs::setProvider(this); }

ScriptedDialogs::~ScriptedDialogs() {
    if (g_provider == this)
        Dialogs::setProvider(m_previous);
}

QMessageBox::StandardButton ScriptedDialogs::messageBox(QMessageBox::Icon icon, QWidget*, const QString& caption,
                                                        const QString& text, QMessageBox::StandardButtons offered,
                                                        QMessageBox::StandardButton) {
    asked.append({"message", icon, caption, text, {}, {}, {}});
    if (!buttons.isEmpty())
        return buttons.dequeue();
    for (auto b : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
        if (offered.testFlag(b))
            return b;
    return QMessageBox::NoButton;
}

int ScriptedDialogs::customMessageBox(QMessageBox::Icon icon, QWidget*, const QString& caption, const QString& text,
                                      const QStringList& buttonTexts) {
    asked.append({"custom", icon, caption, text, {}, {}, buttonTexts});
    return customAnswers.isEmpty() ? -1 : customAnswers.dequeue();
}

QString ScriptedDialogs::getOpenFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter) {
    asked.append({"open", QMessageBox::NoIcon, caption, {}, dir, filter, {}});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedDialogs::getSaveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter) {
    asked.append({"save", QMessageBox::NoIcon, caption, {}, dir, filter, {}});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedDialogs::getExistingDirectory(QWidget*, const QString& caption, const QString& dir) {
    asked.append({"dir", QMessageBox::NoIcon, caption, {}, dir, {}, {}});
    return files.isEmpty() ? QString() : files.dequeue();
}

QColor ScriptedDialogs::getColor(const QColor& initial, QWidget*, const QString& title) {
    asked.append({"color", QMessageBox::NoIcon, title, initial.name(), {}, {}, {}});
    return colors.isEmpty() ? QColor() : colors.dequeue();
}

int ScriptedDialogs::execDialog(QDialog* dialog) {
    asked.append({"dialog", QMessageBox::NoIcon, dialog->windowTitle(), {}, {}, {}, {}});
    return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
}

} // namespace vemo::basgui
