#include "basgui/basenavigator.h"

#include <QKeyEvent>
#include <QWidget>

namespace vemo::basgui {

BaseNavigator::BaseNavigator(QObject* parent) : QObject(parent) {}

int BaseNavigator::actionForKey(int key, Qt::KeyboardModifiers mods) {
    // The keypad flag says where a key sits, not what it means.
    mods &= ~Qt::KeypadModifier;
    switch (key) {
        case Qt::Key_ZoomIn:
            return mods == Qt::NoModifier ? ZoomIn : NoAction;
        case Qt::Key_ZoomOut:
            return mods == Qt::NoModifier ? ZoomOut : NoAction;
        case Qt::Key_Plus:
            // '+' needs Shift on many layouts.
            mods &= ~Qt::ShiftModifier;
            return (mods == Qt::NoModifier || mods == Qt::ControlModifier) ? ZoomIn : NoAction;
        case Qt::Key_Equal:
            return mods == Qt::ControlModifier ? ZoomIn : NoAction;
        case Qt::Key_Minus:
            return (mods == Qt::NoModifier || mods == Qt::ControlModifier) ? ZoomOut : NoAction;
        case Qt::Key_Up:
            return mods == Qt::NoModifier ? MoveUp : NoAction;
        case Qt::Key_Down:
            return mods == Qt::NoModifier ? MoveDown : NoAction;
        case Qt::Key_Left:
            return mods == Qt::NoModifier ? MoveLeft : NoAction;
        case Qt::Key_Right:
            return mods == Qt::NoModifier ? MoveRight : NoAction;
        default:
            return NoAction;
    }
}

void BaseNavigator::navigate(QWidget* /*target*/, int /*action*/) {}

bool BaseNavigator::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int action = actionForKey(key->key(), key->modifiers());
    if (action == NoAction)
        return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claim the key so that a window shortcut on it (Ctrl++ of a zoom
        // action) does not take it away from the view that has the focus.
        event->accept();
        return true;
    }
    navigate(qobject_cast<QWidget*>(watched), action);
    return true;
}

} // namespace vemo::basgui
