#pragma once

#include <QObject>

class QWidget;

namespace vemo::basgui {

// Keyboard navigation for views that zoom and scroll (waveforms and the
// like). Installed as an event filter, it turns the keys below into
// navigation actions and calls navigate() with the filtered widget; a key
// that maps is consumed, every other event passes on unchanged.
//
//   Action           Keys
//   1 ZoomIn         Ctrl++, Ctrl+=, +, keypad +, the Zoom In key
//   2 ZoomOut        Ctrl+-, -, keypad -, the Zoom Out key
//   3 MoveUp         Up
//   4 MoveDown       Down
//   5 MoveLeft       Left
//   6 MoveRight      Right
//
// The arrows map only without Ctrl, Shift or Alt, so that Shift+arrow still
// extends a selection and Ctrl+arrow keeps its view's meaning.
class BaseNavigator : public QObject {
    Q_OBJECT
public:
    enum Action { NoAction = 0, ZoomIn = 1, ZoomOut = 2, MoveUp = 3, MoveDown = 4, MoveLeft = 5, MoveRight = 6 };

    explicit BaseNavigator(QObject* parent = nullptr);

    // The action for a key with its modifiers, or 0.
    static int actionForKey(int key, Qt::KeyboardModifiers mods);

    // Called for every mapped key; the default does nothing.
    virtual void navigate(QWidget* target, int action);

    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vemo::basgui
