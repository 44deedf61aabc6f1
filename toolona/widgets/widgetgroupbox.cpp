#include "widgets/widgetgroupbox.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vemo::toolona {

GroupButton::GroupButton(WidgetGroupBox* owner) : QWidget(owner), m_owner(owner) {
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    setMouseTracking(true);
    // Never shown: it only lends its style, so the indicator looks like the
    // branch indicator of any tree view in this application.
    m_styleSource = new QTreeWidget(this);
    m_styleSource->setColumnCount(1);
    auto* top = new QTreeWidgetItem(m_styleSource);
    new QTreeWidgetItem(top);
    m_styleSource->hide();
}

QStyle::State GroupButton::indicatorState() const {
    QStyle::State state = QStyle::State_Children;
    QWidget* content = m_owner ? m_owner->widgetOf(this) : nullptr;
    if (content && m_owner->isExpanded(content))
        state |= QStyle::State_Open;
    if (m_hovered)
        state |= QStyle::State_MouseOver;
    return state;
}

void GroupButton::mousePressEvent(QMouseEvent*) { emit sigGroupBtnClicked(); }

void GroupButton::mouseMoveEvent(QMouseEvent*) {
    m_hovered = 1;
    update();
}

void GroupButton::leaveEvent(QEvent*) {
    m_hovered = 0;
    update();
}

void GroupButton::paintEvent(QPaintEvent*) {
    QStyleOptionViewItem own;
    own.initFrom(this);
    QStyleOptionViewItem option;
    option.initFrom(m_styleSource);
    option.rect = own.rect;
    option.state |= indicatorState();
    QPainter painter(this);
    m_styleSource->style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter, m_styleSource);
}

GroupLabel::GroupLabel(QWidget* content, const QString& title, QWidget* parent)
    : QLabel(title, parent), m_content(content) {}

void GroupLabel::contextMenuEvent(QContextMenuEvent* event) {
    if (m_menu)
        m_menu->exec(event->globalPos());
}

WidgetGroupBox::WidgetGroupBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WidgetGroupBox"));
    // The content lives in the inner widget from the start, so a group added
    // before the layout is built never shows as a window of its own.
    m_inner = new QWidget(this);
}

WidgetGroupBox::~WidgetGroupBox() {
    // The content widgets may die with this box's children, after its
    // members are gone: they must not call back into it.
    for (const QPointer<QWidget>& w : m_widgets)
        if (w)
            disconnect(w, &QObject::destroyed, this, nullptr);
}

QList<QWidget*> WidgetGroupBox::widgets() const {
    QList<QWidget*> out;
    for (const QPointer<QWidget>& w : m_widgets)
        if (w)
            out << w.data();
    return out;
}

QWidget* WidgetGroupBox::widgetOf(const GroupButton* button) const {
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        if (it.value() == button)
            return it.key();
    return nullptr;
}

void WidgetGroupBox::addGroupWidget(QWidget* widget, const QString& title) {
    if (!widget || m_buttons.contains(widget))
        return;
    auto* button = new GroupButton(this);
    auto* label = new GroupLabel(widget, title, this);
    label->setTextFormat(Qt::RichText);
    m_widgets.append(widget);
    m_buttons.insert(widget, button);
    m_labels.insert(widget, label);
    m_expanded.insert(widget, true);
    connect(button, &GroupButton::sigGroupBtnClicked, this, &WidgetGroupBox::onExpandBtnClicked);
    connect(widget, &QObject::destroyed, this, &WidgetGroupBox::onContentDestroyed);
    if (m_rows)
        addRow(widget, m_rows->count() - 1); // before the closing stretch
    else if (!widget->parentWidget())
        widget->setParent(m_inner);
}

void WidgetGroupBox::addRow(QWidget* widget, int index) {
    auto* header = new QHBoxLayout;
    header->addWidget(m_buttons.value(widget));
    header->addWidget(m_labels.value(widget));
    header->addStretch(1);
    m_rows->insertLayout(index, header);
    m_rows->insertWidget(index + 1, widget);
    widget->setVisible(m_expanded.value(widget, false));
}

bool WidgetGroupBox::buildLayout() {
    if (!m_rows) {
        m_rows = new QVBoxLayout(m_inner);
        m_rows->setContentsMargins(0, 0, 0, 0);
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->addWidget(m_inner);
    } else {
        // Afresh: drop the rows (not the widgets in them) and lay out again.
        while (QLayoutItem* item = m_rows->takeAt(0)) {
            if (QLayout* row = item->layout()) {
                while (QLayoutItem* inner = row->takeAt(0))
                    delete inner;
            }
            delete item;
        }
    }
    m_rows->addStretch(1);
    for (const QPointer<QWidget>& w : m_widgets)
        if (w)
            addRow(w, m_rows->count() - 1);
    return true;
}

void WidgetGroupBox::onContentDestroyed(QObject* object) {
    // Only the address is used: the widget is already being destroyed.
    QWidget* widget = static_cast<QWidget*>(object);
    delete m_buttons.take(widget);
    delete m_labels.take(widget);
    m_expanded.remove(widget);
    m_widgets.removeIf([widget](const QPointer<QWidget>& w) { return w.isNull() || w.data() == widget; });
    if (m_rows) {
        // Its header row is empty now: remove the leftover layout.
        for (int i = 0; i < m_rows->count(); ++i) {
            QLayout* row = m_rows->itemAt(i)->layout();
            if (row && row->count() == 1 && row->itemAt(0)->spacerItem()) {
                delete m_rows->takeAt(i);
                --i;
            }
        }
    }
}

void WidgetGroupBox::onExpandBtnClicked() {
    auto* button = qobject_cast<GroupButton*>(sender());
    if (!button)
        return;
    QWidget* widget = widgetOf(button);
    if (!widget)
        return;
    setExpanded(widget, !m_expanded.value(widget, false));
}

void WidgetGroupBox::setExpanded(QWidget* widget, bool expanded) {
    GroupButton* button = m_buttons.value(widget);
    if (!button)
        return;
    m_expanded.insert(widget, expanded);
    widget->setVisible(expanded);
    button->update();
    emit sigWidgetVisibled(widget, expanded);
}

void WidgetGroupBox::setAllExpanded(bool expanded) {
    for (const QPointer<QWidget>& w : std::as_const(m_widgets))
        if (w && m_expanded.value(w, false) != expanded)
            setExpanded(w, expanded);
}

void WidgetGroupBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (const QPointer<QWidget>& w : m_widgets) {
        if (!w)
            continue;
        w->setVisible(m_expanded.value(w, false));
        if (GroupButton* b = m_buttons.value(w))
            b->update();
    }
}

} // namespace vemo::toolona
