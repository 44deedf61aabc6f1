#include "waveform/waveformsignal.h"

#include "waveform/waveformnavigator.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformview.h"

#include "basgui/baseicon.h"
#include "basgui/dialogseam.h"
#include "onadata.h"
#include "theme/themesetting.h"
#include "waveformmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyleOption>
#include <QVBoxLayout>
#include <functional>

namespace vemo::toolona {

namespace {

// A deep copy of a row: the name item (text, icon, editability, tool tip),
// the data item (its SigTreeData) and an empty waveform item, with copies of
// every descendant row under the name item.
QList<QStandardItem*> copyRowItems(const QStandardItem* name, const QStandardItem* data) {
    auto* n0 = new QStandardItem(name->icon(), name->text());
    n0->setEditable(name->isEditable());
    n0->setToolTip(name->toolTip());
    auto* n1 = new QStandardItem;
    if (data) {
        n1->setData(data->data(Qt::DisplayRole), Qt::DisplayRole);
        n1->setEditable(data->isEditable());
    }
    auto* n2 = new QStandardItem;
    n2->setEditable(false);
    n2->setSelectable(false);
    for (int r = 0; r < name->rowCount(); ++r)
        n0->appendRow(copyRowItems(name->child(r, 0), name->child(r, 1)));
    return {n0, n1, n2};
}

SigTreeData itemData(const QStandardItem* dataItem) {
    return dataItem ? dataItem->data(Qt::DisplayRole).value<SigTreeData>() : SigTreeData();
}

const char* const kLightStyle = "QTreeView::item:hover, QTreeView::item:selected {                              background: rgb(224,244,255,120)}";
const char* const kDarkStyle = "QTreeView::item:hover, QTreeView::item:selected {                              background: rgb(0,137,242,120)}";

}  // namespace

// ---------------------------------------------------------------------------
// Mime data

WaveformSignalMimeData::WaveformSignalMimeData(const QModelIndex& dragged) : m_index(dragged) {}

WaveformSignalMimeData::WaveformSignalMimeData(const QList<QStandardItem*>& copied) : m_items(copied) {}

WaveformSignalMimeData::~WaveformSignalMimeData() {
    // Item 0 owns the descendants.
    qDeleteAll(m_items);
}

QList<QStandardItem*> WaveformSignalMimeData::cloneItems() const {
    if (m_items.size() < 2 || !m_items.at(0))
        return {};
    return copyRowItems(m_items.at(0), m_items.at(1));
}

// ---------------------------------------------------------------------------
// Tree

WaveformSignal::WaveformSignal(WaveformView* parent) : QTreeView(parent), m_page(parent) {
    m_ruler = new WaveformRuler(this);
    m_ruler->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_ruler->setStretchLastSection(true);
    m_ruler->setMouseTracking(true);
    setHeader(m_ruler);

    setUniformRowHeights(true);
    setExpandsOnDoubleClick(true);
    setRootIsDecorated(true);
    setMouseTracking(true);
    QFont f = font();
    f.setPointSize(10);
    setFont(f);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QLatin1String(theme::ThemeSetting::isDark() ? kDarkStyle : kLightStyle));

    installEventFilter(new WaveformNavigator(this));
    connect(this, &QTreeView::expanded, this, &WaveformSignal::doExpand);
    connect(this, &QTreeView::collapsed, this, &WaveformSignal::doCollapse);
}

void WaveformSignal::setWaveformModel(WaveformModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    setModel(model);
    m_ruler->setWaveformModel(model);
    if (!model)
        return;
    model->setHorizontalHeaderLabels({QStringLiteral("Bus/Signal"), QStringLiteral("Data"), QString()});
    resizeColumnToContents(0);
    resizeColumnToContents(1);
    setColumnWidth(0, 100);
    setColumnWidth(1, 80);
    hideEnumChildren();
    restoreExpansion();
    // A reset (a new capture on the same rows) forgets what the view showed.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        hideEnumChildren();
        restoreExpansion();
    });
    // Rows the engine adds later (a new capture, a restored layout, a paste)
    // get the same treatment.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
        if (!m_model)
            return;
        for (int r = first; r <= last; ++r) {
            const QModelIndex idx = m_model->index(r, 0, parent);
            hideEnumChildren(idx);
            restoreExpansion(idx);
        }
    });
}

int WaveformSignal::waveWidth() const { return qMax(1, header()->sectionSize(2)); }

bool WaveformSignal::zoomBand(int* x0, int* x1) const {
    if (m_mode != ZoomMode || m_bandStart < 0 || m_bandEnd < 0 || m_bandStart == m_bandEnd)
        return false;
    *x0 = qMin(m_bandStart, m_bandEnd);
    *x1 = qMax(m_bandStart, m_bandEnd);
    return true;
}

void WaveformSignal::hideEnumChildren(const QModelIndex& index) {
    if (!m_model)
        return;
    const QModelIndex idx = index.isValid() ? index.siblingAtColumn(0) : QModelIndex();
    const int rows = m_model->rowCount(idx);
    if (idx.isValid() && rows > 0 && WaveformModel::rowData(idx).radixName.startsWith(QLatin1String("ONL_")))
        for (int r = 0; r < rows; ++r)
            setRowHidden(r, idx, true);
    for (int r = 0; r < rows; ++r)
        hideEnumChildren(m_model->index(r, 0, idx));
}

void WaveformSignal::restoreExpansion(const QModelIndex& parent) {
    if (!m_model)
        return;
    if (parent.isValid() && m_model->hasChildren(parent.siblingAtColumn(0)))
        setExpanded(parent.siblingAtColumn(0), WaveformModel::rowData(parent).expanded);
    const QModelIndex p = parent.isValid() ? parent.siblingAtColumn(0) : QModelIndex();
    for (int r = 0; r < m_model->rowCount(p); ++r)
        restoreExpansion(m_model->index(r, 0, p));
}

void WaveformSignal::doExpand(const QModelIndex& index) {
    if (!m_model)
        return;
    SigTreeData d = WaveformModel::rowData(index);
    if (!d.expanded) {
        d.expanded = true;
        m_model->setRowData(index, d);
    }
}

void WaveformSignal::doCollapse(const QModelIndex& index) {
    if (!m_model)
        return;
    SigTreeData d = WaveformModel::rowData(index);
    if (d.expanded) {
        d.expanded = false;
        m_model->setRowData(index, d);
    }
}

QList<QModelIndex> WaveformSignal::selectedRows() const {
    QList<QModelIndex> rows;
    if (!selectionModel())
        return rows;
    // The waveform cells are not selectable, so a row counts as selected
    // by its name cell.
    for (const QModelIndex& idx : selectionModel()->selectedIndexes())
        if (idx.column() == 0)
            rows.append(idx);
    return rows;
}

bool WaveformSignal::singleSelection(QModelIndex* target) const {
    const QList<QModelIndex> rows = selectedRows();
    QList<QModelIndex> top;
    for (const QModelIndex& idx : rows) {
        bool ancestorSelected = false;
        for (QModelIndex p = idx.parent(); p.isValid() && !ancestorSelected; p = p.parent())
            ancestorSelected = rows.contains(p.siblingAtColumn(0));
        if (!ancestorSelected)
            top.append(idx);
    }
    if (top.size() > 1)
        return false;
    *target = top.isEmpty() ? QModelIndex() : top.constFirst();
    return true;
}

bool WaveformSignal::canCutCopy() const {
    QModelIndex t;
    return m_model && m_model->hasData() && singleSelection(&t) && t.isValid();
}

bool WaveformSignal::canPaste() const {
    QModelIndex target;
    if (!m_model || !m_model->hasData() || !singleSelection(&target))
        return false;
    const auto* mime = qobject_cast<const WaveformSignalMimeData*>(QApplication::clipboard()->mimeData());
    if (!mime || mime->items().size() < 2)
        return false;
    const SigTreeData d = itemData(mime->items().at(1));
    if (!d.isBus())
        return d.signalIndex >= 0 && d.signalIndex < m_model->traceData()->numChannels();
    return !target.isValid() || !target.parent().isValid();
}

bool WaveformSignal::canGroup() const {
    if (!m_model || !m_model->hasData())
        return false;
    const QList<QModelIndex> rows = selectedRows();
    if (rows.isEmpty())
        return false;
    for (const QModelIndex& idx : rows)
        if (m_model->hasChildren(idx) || WaveformModel::rowData(idx).signalIndex < 0)
            return false;
    return true;
}

bool WaveformSignal::hasOwnColour() const {
    const QColor def = OnaData::inst()->waveColor;
    for (const QModelIndex& idx : selectedRows()) {
        const QColor c = WaveformModel::rowData(idx).colour;
        if (c.isValid() && c != def)
            return true;
    }
    return false;
}

void WaveformSignal::notifyChanged(QStandardItem* item) {
    if (m_model && item)
        emit m_model->itemChanged(item);
}

void WaveformSignal::copyRow(bool cut) {
    QModelIndex target;
    if (!canCutCopy() || !singleSelection(&target))
        return;
    QStandardItem* name = m_model->itemFromIndex(target.siblingAtColumn(0));
    QStandardItem* parentItem = name->parent() ? name->parent() : m_model->invisibleRootItem();
    QApplication::clipboard()->setMimeData(
        new WaveformSignalMimeData(copyRowItems(name, parentItem->child(name->row(), 1))));
    if (!cut)
        return;
    const QPersistentModelIndex parent = target.parent().siblingAtColumn(0);
    parentItem->removeRow(target.row());
    if (!parent.isValid()) {
        // The row is gone; the listeners still learn that the tree changed.
        notifyChanged(m_model->invisibleRootItem());
        return;
    }
    if (m_model->rowCount(parent) == 0) {
        // A bus without members shows nothing; it goes, as when its last
        // member is dragged away.
        QStandardItem* bus = m_model->itemFromIndex(parent);
        QStandardItem* grand = bus->parent() ? bus->parent() : m_model->invisibleRootItem();
        grand->removeRow(bus->row());
        notifyChanged(grand);
        return;
    }
    // The bus is redrawn with its remaining members; its width follows.
    SigTreeData d = WaveformModel::rowData(parent);
    d.width = m_model->channelsOf(parent).size();
    m_model->setRowData(parent, d);
    notifyChanged(m_model->itemFromIndex(parent.sibling(parent.row(), 1)));
}

void WaveformSignal::doCut() { copyRow(true); }

void WaveformSignal::doCopy() { copyRow(false); }

void WaveformSignal::doPaste() {
    QModelIndex target;
    if (!canPaste() || !singleSelection(&target))
        return;
    const auto* mime = qobject_cast<const WaveformSignalMimeData*>(QApplication::clipboard()->mimeData());
    // The clipboard keeps its own copy for the next paste.
    const QList<QStandardItem*> items = mime->cloneItems();
    QStandardItem* parent = nullptr;
    int row = -1;
    if (target.isValid()) {
        parent = target.parent().isValid() ? m_model->itemFromIndex(target.parent().siblingAtColumn(0)) : nullptr;
        row = target.row() + 1;
    }
    QStandardItem* added = m_model->pasteItems(items, parent, row);
    if (!added) {
        qDeleteAll(items);
        return;
    }
    notifyChanged(added);
}

QString WaveformSignal::proposedBusName() const {
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Bus%1").arg(n);
        if (!busNameExists(name))
            return name;
    }
}

bool WaveformSignal::busNameExists(const QString& name) const {
    if (!m_model)
        return false;
    std::function<bool(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < m_model->rowCount(parent); ++r) {
            const QModelIndex idx = m_model->index(r, 0, parent);
            const SigTreeData d = WaveformModel::rowData(idx);
            if (d.isBus() && d.name == name)
                return true;
            if (walk(idx))
                return true;
        }
        return false;
    };
    return walk(QModelIndex());
}

void WaveformSignal::doGroup() {
    if (!canGroup())
        return;
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("New Bus Name"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("New Bus Name:"), &dialog));
    auto* edit = new QLineEdit(proposedBusName(), &dialog);
    edit->setObjectName(QStringLiteral("busName"));
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-zA-Z_][a-zA-Z0-9_]*")), edit));
    edit->selectAll();
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    for (;;) {
        if (basgui::Dialogs::provider()->execDialog(&dialog) != QDialog::Accepted)
            return;
        const QString name = edit->text();
        if (name.isEmpty()) {
            basgui::Dialogs::message(QMessageBox::Warning, this, QStringLiteral("Warning"),
                                     QStringLiteral("Bus name cannot be empty."));
            continue;
        }
        if (busNameExists(name)) {
            basgui::Dialogs::message(QMessageBox::Warning, this, QStringLiteral("Warning"),
                                     QStringLiteral("Bus name '%1' exists.").arg(name));
            continue;
        }
        groupInto(name);
        return;
    }
}

QStandardItem* WaveformSignal::groupInto(const QString& name) {
    if (!canGroup() || name.isEmpty() || busNameExists(name))
        return nullptr;
    // The selected signals in their on-screen (depth-first) order.
    const QList<QModelIndex> selected = selectedRows();
    QList<QPersistentModelIndex> members;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < m_model->rowCount(parent); ++r) {
            const QModelIndex idx = m_model->index(r, 0, parent);
            if (selected.contains(idx))
                members.append(idx);
            walk(idx);
        }
    };
    walk(QModelIndex());
    // A new bus shows its members' value in hexadecimal, and is as wide as
    // its members, so token sets of that width match it.
    SigTreeData d(name, -1, int(members.size()), false, false);
    d.radix = 16;
    const QList<QStandardItem*> row = WaveformModel::makeRow(d);
    row.at(0)->setIcon(QIcon(QStringLiteral(":/images/bus.gif")));
    row.at(0)->setToolTip(QStringLiteral("Bus=%1").arg(name));
    row.at(1)->setEditable(true);
    m_model->appendRow(row);
    const QPersistentModelIndex bus = row.at(0)->index();
    for (int i = members.size() - 1; i >= 0; --i)
        if (members.at(i).isValid())
            m_model->dropItem(members.at(i), bus, 0);
    viewport()->update();
    if (!bus.isValid())
        return nullptr;
    QStandardItem* busItem = m_model->itemFromIndex(bus);
    notifyChanged(busItem);
    return busItem;
}

void WaveformSignal::doEditColour() {
    const QList<QModelIndex> rows = selectedRows();
    if (!m_model || rows.isEmpty())
        return;
    const QColor own = WaveformModel::rowData(rows.constFirst()).colour;
    const QColor initial = own.isValid() ? own : OnaData::inst()->waveColor;
    const QColor chosen = basgui::Dialogs::provider()->getColor(initial, this, QString());
    if (!chosen.isValid() || chosen == initial)
        return;
    for (const QModelIndex& idx : rows) {
        SigTreeData d = WaveformModel::rowData(idx);
        d.colour = chosen;
        m_model->setRowData(idx, d);
    }
}

void WaveformSignal::doRevertColour() {
    if (!m_model || !hasOwnColour())
        return;
    for (const QModelIndex& idx : selectedRows()) {
        SigTreeData d = WaveformModel::rowData(idx);
        d.colour = QColor();
        m_model->setRowData(idx, d);
    }
}

// ---------------------------------------------------------------------------
// Painting and keys

void WaveformSignal::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    painter->save();
    painter->setPen(Qt::gray);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void WaveformSignal::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (m_dropRect.isNull())
        return;
    QPainter painter(viewport());
    QStyleOption opt;
    opt.initFrom(this);
    opt.rect = m_dropRect;
    style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemDrop, &opt, &painter, this);
}

void WaveformSignal::keyPressEvent(QKeyEvent* event) {
    QTreeView::keyPressEvent(event);
    if (event->matches(QKeySequence::Cut)) {
        doCut();
        event->accept();
    } else if (event->matches(QKeySequence::Copy)) {
        doCopy();
        event->accept();
    } else if (event->matches(QKeySequence::Paste)) {
        doPaste();
        event->accept();
    }
    if (event->modifiers() == Qt::ControlModifier)
        m_ctrlHeld = true;
}

void WaveformSignal::keyReleaseEvent(QKeyEvent* event) {
    m_ctrlHeld = false;
    QTreeView::keyReleaseEvent(event);
}

void WaveformSignal::mouseMoveEvent(QMouseEvent* event) {
    QTreeView::mouseMoveEvent(event);
    m_pointerY = int(event->position().y());
    if (m_model && m_model->hasRuler())
        viewport()->update();
}

void WaveformSignal::contextMenuEvent(QContextMenuEvent* event) {
    m_ctrlHeld = false;
    if (!m_model || !m_model->hasData())
        return;
    QMenu menu(this);
    QAction* cut = menu.addAction(basgui::BaseIcon::getIcon(QStringLiteral("cut")), QStringLiteral("Cut"));
    cut->setShortcut(QKeySequence::Cut);
    cut->setEnabled(canCutCopy());
    QAction* copy = menu.addAction(basgui::BaseIcon::getIcon(QStringLiteral("copy")), QStringLiteral("Copy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(canCutCopy());
    QAction* paste = menu.addAction(basgui::BaseIcon::getIcon(QStringLiteral("paste")), QStringLiteral("Paste"));
    paste->setShortcut(QKeySequence::Paste);
    paste->setEnabled(canPaste());
    menu.addSeparator();
    QAction* group = menu.addAction(QStringLiteral("Group Signals ..."));
    group->setEnabled(canGroup());
    menu.addSeparator();
    QAction* colour = menu.addAction(QStringLiteral("Edit Color..."));
    colour->setEnabled(!selectedRows().isEmpty());
    QAction* revert = hasOwnColour() ? menu.addAction(QStringLiteral("Revert to Default Color")) : nullptr;
    QAction* chosen = menu.exec(event->globalPos());
    if (!chosen)
        return;
    if (chosen == cut)
        doCut();
    else if (chosen == copy)
        doCopy();
    else if (chosen == paste)
        doPaste();
    else if (chosen == group)
        doGroup();
    else if (chosen == colour)
        doEditColour();
    else if (revert && chosen == revert)
        doRevertColour();
}

// ---------------------------------------------------------------------------
// Drag and drop

void WaveformSignal::startDrag(Qt::DropActions supportedActions) {
    QModelIndex row;
    if (!(supportedActions & Qt::MoveAction) || !singleSelection(&row) || !row.isValid())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(new WaveformSignalMimeData(row.siblingAtColumn(0)));
    const QIcon icon = row.siblingAtColumn(0).data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        drag->setPixmap(icon.pixmap(16, 16));
    drag->setHotSpot(QPoint(12, 16));
    drag->exec(Qt::MoveAction);
}

bool WaveformSignal::acceptsDrag(const QDropEvent* event) const {
    if (event->source() && event->source() != this)
        return false;
    if (!(event->possibleActions() & Qt::MoveAction))
        return false;
    const auto* mime = qobject_cast<const WaveformSignalMimeData*>(event->mimeData());
    return mime && mime->index().isValid() && mime->index().model() == m_model;
}

bool WaveformSignal::dropTarget(const QPoint& pos, const QModelIndex& source, QModelIndex* parent, int* row,
                                QRect* indicator) const {
    const QModelIndex target = indexAt(pos).siblingAtColumn(0);
    if (!target.isValid() || !source.isValid())
        return false;
    const QModelIndex src = source.siblingAtColumn(0);
    const bool bus = WaveformModel::rowData(src).isBus();
    if (bus && target.parent().isValid())
        return false;
    // Never into the dragged row itself or below it.
    for (QModelIndex p = target.parent(); p.isValid(); p = p.parent())
        if (p.siblingAtColumn(0) == src)
            return false;
    const QRect r = visualRect(target);
    bool lower = pos.y() >= r.top() + r.height() / 2;
    if (lower && bus && isExpanded(target) && m_model->rowCount(target) > 0)
        lower = false;   // a bus never lands between a bus and its first member
    *parent = target.parent();
    *row = target.row() + (lower ? 1 : 0);
    if (parent->siblingAtColumn(0) == src.parent().siblingAtColumn(0) && src.row() < *row)
        --*row;
    const int y = lower ? r.bottom() : r.top();
    const int right = columnViewportPosition(2) > 0 ? columnViewportPosition(2) : viewport()->width();
    *indicator = QRect(QPoint(0, y), QPoint(right - 1, y));
    return true;
}

void WaveformSignal::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrag(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void WaveformSignal::dragMoveEvent(QDragMoveEvent* event) {
    QModelIndex parent;
    int row = 0;
    QRect indicator;
    const auto* mime = qobject_cast<const WaveformSignalMimeData*>(event->mimeData());
    if (acceptsDrag(event) && dropTarget(event->position().toPoint(), mime->index(), &parent, &row, &indicator)) {
        m_dropRect = indicator;
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        m_dropRect = QRect();
        event->ignore();
    }
    viewport()->update();
}

void WaveformSignal::dragLeaveEvent(QDragLeaveEvent* event) {
    m_dropRect = QRect();
    viewport()->update();
    QTreeView::dragLeaveEvent(event);
}

void WaveformSignal::dropEvent(QDropEvent* event) {
    m_dropRect = QRect();
    QModelIndex parent;
    int row = 0;
    QRect indicator;
    const auto* mime = qobject_cast<const WaveformSignalMimeData*>(event->mimeData());
    if (!acceptsDrag(event) || !dropTarget(event->position().toPoint(), mime->index(), &parent, &row, &indicator)) {
        event->ignore();
        viewport()->update();
        return;
    }
    QStandardItem* moved = m_model->dropItem(mime->index(), parent, row);
    event->setDropAction(Qt::MoveAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (moved) {
        hideEnumChildren(moved->index());
        restoreExpansion(moved->index());
        notifyChanged(moved);
    }
}

}  // namespace vemo::toolona
