#include "message/messagewindow.h"

#include "message/msgmanager.h"
#include "theme/themesetting.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace vemo::message {

namespace {

QPointer<MessageWindow>& instancePtr() {
    static QPointer<MessageWindow> p;
    return p;
}

constexpr int TypeRole = Qt::UserRole + 1;

// Rows show one line; the full text stays in the tool tip.
QString oneLine(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return t;
}

void printToStderr(const QString& id, const QString& text, int type) {
    const QByteArray line = QStringLiteral("[%1] %2: %3\n").arg(msgManager::typeName(type), id, text).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

MessageWindow::MessageWindow(QWidget* parent) : QDockWidget(tr("Messages"), parent) {
    setObjectName(QStringLiteral("MessageWindow"));
    // Posted catalogue messages come here from now on (deliver decides
    // whether the window is ready to show them).
    msgManager::setSink(&MessageWindow::deliver);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("MessageList"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("Time"), tr("ID"), tr("Message")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->header()->setStretchLastSection(true);
    // Fixed widths: measuring contents on every new row makes a flood of
    // messages crawl. The id column widens when a longer id arrives.
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) +
                                  style()->pixelMetric(QStyle::PM_SmallIconSize) + 24);
    m_list->setColumnWidth(1, fontMetrics().horizontalAdvance(QStringLiteral("ONA-0000")) + 24);
    connect(m_list, &QWidget::customContextMenuRequested, this, &MessageWindow::showContextMenu);

    auto* copy = new QAction(tr("&Copy"), m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &MessageWindow::copySelection);
    m_list->addAction(copy);

    setWidget(m_list);
    setFocusProxy(m_list);
}

MessageWindow* MessageWindow::getInstance() {
    QPointer<MessageWindow>& p = instancePtr();
    if (!p)
        p = new MessageWindow();
    return p;
}

MessageWindow* MessageWindow::existingInstance() { return instancePtr(); }

void MessageWindow::initialize(QMainWindow* window, QWidget* /*reserved1*/, QWidget* /*reserved2*/, int features) {
    if (!window)
        return;
    if (m_window && m_window != window)
        m_window->removeDockWidget(this);
    m_window = window;
    // The window sits in the bottom area, where a vertical title bar only
    // takes width from the messages: that bit is not honoured.
    setFeatures(QDockWidget::DockWidgetFeatures(features) & QDockWidget::DockWidgetFeatureMask &
                ~QDockWidget::DockWidgetVerticalTitleBar);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    window->addDockWidget(Qt::BottomDockWidgetArea, this);
    show();
}

void MessageWindow::addMessage(const QString& id, const QString& text, int type) {
    if (type < MsgInfo || type > MsgError)
        type = MsgInfo;
    while (m_list->topLevelItemCount() >= MaxMessages)
        delete m_list->takeTopLevelItem(0);

    auto* item =
        new QTreeWidgetItem(QStringList{QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), id, oneLine(text)});
    item->setData(0, TypeRole, type);
    item->setToolTip(2, text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>")));
    item->setIcon(0, theme::ThemeSetting::icon(type == MsgError     ? QStringLiteral("error")
                                               : type == MsgWarning ? QStringLiteral("warning")
                                                                    : QStringLiteral("information")));
    colourRow(item, type);
    m_list->addTopLevelItem(item);
    const int idWidth = m_list->fontMetrics().horizontalAdvance(id) + 24;
    if (idWidth > m_list->columnWidth(1))
        m_list->setColumnWidth(1, idWidth);
    // One scroll per burst of messages, once they are laid out.
    if (!m_scrollPending) {
        m_scrollPending = true;
        QTimer::singleShot(0, this, [this] {
            m_scrollPending = false;
            m_list->scrollToBottom();
        });
    }
    emit sigNewMessageOut(text, type);
}

int MessageWindow::messageCount() const { return m_list->topLevelItemCount(); }

QString MessageWindow::messageText(int row, int column) const {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->text(column) : QString();
}

int MessageWindow::messageType(int row) const {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->data(0, TypeRole).toInt() : -1;
}

void MessageWindow::clear() { m_list->clear(); }

bool MessageWindow::deliver(const QString& id, const QString& text, int type) {
    if (!QCoreApplication::instance())
        return false;
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        // Widgets live in the GUI thread: hand the message over and decide there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [id, text, type] {
                if (!deliver(id, text, type))
                    printToStderr(id, text, type);
            },
            Qt::QueuedConnection);
        return true;
    }
    MessageWindow* w = instancePtr();
    if (!w || !w->isInitialized())
        return false;
    w->addMessage(id, text, type);
    return true;
}

void MessageWindow::colourRow(QTreeWidgetItem* item, int type) const {
    QColor c;
    if (type == MsgError)
        c = theme::ThemeSetting::color(QStringLiteral("error_text"));
    else if (type == MsgWarning)
        c = theme::ThemeSetting::color(QStringLiteral("warning_text"));
    for (int col = 0; col < 3; ++col) {
        if (c.isValid())
            item->setForeground(col, c);
        else
            item->setData(col, Qt::ForegroundRole, QVariant());
    }
}

void MessageWindow::recolour() {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        colourRow(item, item->data(0, TypeRole).toInt());
    }
}

void MessageWindow::changeEvent(QEvent* event) {
    QDockWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        recolour();
}

void MessageWindow::copySelection() const {
    QStringList lines;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->isSelected())
            lines << QStringLiteral("%1\t%2\t%3").arg(item->text(0), item->text(1), item->text(2));
    }
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void MessageWindow::showContextMenu(const QPoint& pos) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &MessageWindow::copySelection);
    copy->setEnabled(!m_list->selectedItems().isEmpty());
    menu.addAction(tr("Select &All"), m_list, &QTreeWidget::selectAll);
    menu.addSeparator();
    QAction* clearAction = menu.addAction(tr("C&lear"), this, &MessageWindow::clear);
    clearAction->setEnabled(m_list->topLevelItemCount() > 0);
    menu.exec(m_list->viewport()->mapToGlobal(pos));
}

} // namespace vemo::message
