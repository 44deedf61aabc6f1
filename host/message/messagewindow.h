#pragma once

#include <QDockWidget>
#include <QPointer>

class QMainWindow;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemo::message {

// The "Messages" dock: one row per posted message with its time, id and
// text, newest last and scrolled into view. One instance per process.
class MessageWindow : public QDockWidget {
    Q_OBJECT
public:
    // Creates the window on first use (needs a QApplication).
    static MessageWindow* getInstance();
    // The instance if one exists, without creating it.
    static MessageWindow* existingInstance();

    // Docks the window at the bottom of `window` with the given
    // QDockWidget::DockWidgetFeatures bits; the two reserved widgets are
    // accepted for compatibility and not used. From here on posted
    // messages show here instead of on stderr.
    void initialize(QMainWindow* window, QWidget* reserved1, QWidget* reserved2, int features);
    bool isInitialized() const { return m_window != nullptr; }

    void addMessage(const QString& id, const QString& text, int type);
    int messageCount() const;
    // The row's text in column 0 (time), 1 (id) or 2 (message).
    QString messageText(int row, int column = 2) const;
    int messageType(int row) const;
    void clear();

    // Most rows kept; older ones are dropped first.
    static constexpr int MaxMessages = 5000;

    // Routes one posted message: to the initialized window (queued when
    // called from another thread) and returns true, or returns false when
    // there is no window to show it.
    static bool deliver(const QString& id, const QString& text, int type);

signals:
    void sigNewMessageOut(QString text, int type);

protected:
    void changeEvent(QEvent* event) override;

private:
    explicit MessageWindow(QWidget* parent = nullptr);
    void copySelection() const;
    void showContextMenu(const QPoint& pos);
    void recolour();
    void colourRow(QTreeWidgetItem* item, int type) const;

    QTreeWidget* m_list;
    QPointer<QMainWindow> m_window;
    bool m_scrollPending = false;
};

} // namespace vemo::message
