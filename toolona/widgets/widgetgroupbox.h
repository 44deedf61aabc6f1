#pragma once

#include <QHash>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QStyle>
#include <QWidget>

class QMenu;
class QTreeWidget;
class QVBoxLayout;

namespace vemo::toolona {

class WidgetGroupBox;

// The expand/collapse indicator of a group, drawn exactly like a tree
// view's branch indicator (style sheets for tree views included).
class GroupButton : public QWidget {
    Q_OBJECT
public:
    explicit GroupButton(WidgetGroupBox* owner);
    QSize sizeHint() const override { return {16, 16}; }
    bool isHovered() const { return m_hovered != 0; }
    // The state flags the indicator is drawn with.
    QStyle::State indicatorState() const;

signals:
    void sigGroupBtnClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    WidgetGroupBox* m_owner;
    int m_hovered = 0;
    QTreeWidget* m_styleSource;
};

// The title of a group; rich text is rendered.
class GroupLabel : public QLabel {
    Q_OBJECT
public:
    GroupLabel(QWidget* content, const QString& title, QWidget* parent);
    QWidget* content() const { return m_content; }
    // Opened on a right click; none by default.
    void setMenu(QMenu* menu) { m_menu = menu; }
    QMenu* menu() const { return m_menu; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QPointer<QWidget> m_content;
    QPointer<QMenu> m_menu;
};

// A vertical stack of content widgets, each under a header row of an
// indicator and a title; clicking the indicator shows or hides the content.
// Groups may be added before or after buildLayout(), and a content widget
// that is deleted takes its header with it.
class WidgetGroupBox : public QWidget {
    Q_OBJECT
public:
    explicit WidgetGroupBox(QWidget* parent = nullptr);
    ~WidgetGroupBox() override;

    // Appends a group, expanded. Null or already present: nothing happens.
    void addGroupWidget(QWidget* widget, const QString& title);
    // Lays the groups out; calling it again lays them out afresh.
    virtual bool buildLayout();

    QList<QWidget*> widgets() const;
    GroupButton* button(QWidget* widget) const { return m_buttons.value(widget); }
    GroupLabel* label(QWidget* widget) const { return m_labels.value(widget); }
    bool isExpanded(QWidget* widget) const { return m_expanded.value(widget, false); }
    // The content widget whose indicator is `button`, or null.
    QWidget* widgetOf(const GroupButton* button) const;

signals:
    void sigWidgetVisibled(QWidget* widget, bool visible);

public slots:
    void onExpandBtnClicked();
    // Shows or hides one group's content, as its indicator does.
    void setExpanded(QWidget* widget, bool expanded);
    // Every group at once ("Expand all", "Collapse all").
    void setAllExpanded(bool expanded);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void onContentDestroyed(QObject* object);
    void addRow(QWidget* widget, int index);

    QList<QPointer<QWidget>> m_widgets;
    QHash<QWidget*, GroupButton*> m_buttons;
    QHash<QWidget*, GroupLabel*> m_labels;
    QHash<QWidget*, bool> m_expanded;
    QWidget* m_inner;
    QVBoxLayout* m_rows = nullptr; // set once the layout is built
};

} // namespace vemo::toolona
