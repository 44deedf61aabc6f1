#include "waveform/waveformsignal.h"

#include "kit/counttext.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "waveform/comparedialog.h"
#include "waveform/wavecursorpanel.h"
#include "waveform/wavedialogs.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformnavigator.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformview.h"

#include "basgui/baseicon.h"
#include "basgui/dialogseam.h"
#include "decoderset.h"
#include "message/msgmanager.h"
#include "onadata.h"
#include "theme/themesetting.h"
#include "waveformmodel.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
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

// A row's own colour: a decoder's is its entry's (saved with the decoder).
QColor ownColour(const WaveformView* page, const QModelIndex& idx) {
    const SigTreeData d = WaveformModel::rowData(idx);
    if (!d.isDecoderPart())
        return d.colour;
    const DecoderEntry* e = page->decoderEntry(d);
    return e ? e->colour : QColor();
}

const char* const kLightStyle =
    "QTreeView::item:hover, QTreeView::item:selected {                              background: rgba(224,244,255,120)}";
const char* const kDarkStyle =
    "QTreeView::item:hover, QTreeView::item:selected {                              background: rgba(0,137,242,120)}";

} // namespace

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
    applySelectionTint();

    installEventFilter(new WaveformNavigator(this));
    connect(this, &QTreeView::expanded, this, &WaveformSignal::doExpand);
    connect(this, &QTreeView::collapsed, this, &WaveformSignal::doCollapse);
}

void WaveformSignal::changeEvent(QEvent* event) {
    // A theme switch changes the application palette: the hover and
    // selection tint follows it.
    if (event->type() == QEvent::ApplicationPaletteChange)
        applySelectionTint();
    QTreeView::changeEvent(event);
}

void WaveformSignal::applySelectionTint() {
    const bool dark = theme::ThemeSetting::isDark();
    const QLatin1String style(dark ? kDarkStyle : kLightStyle);
    if (styleSheet() != style)
        setStyleSheet(style);
    // The light tint is nearly white: a selected name keeps the text
    // colour, where the palette's white highlighted text would vanish.
    QPalette p = palette();
    p.setColor(QPalette::HighlightedText, dark ? QApplication::palette().color(QPalette::HighlightedText)
                                               : QApplication::palette().color(QPalette::Text));
    if (p != palette())
        setPalette(p);
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
    hideEnumChildren();
    restoreExpansion();
    fitDataColumn();
    // A reset (a new capture on the same rows) forgets what the view showed.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        hideEnumChildren();
        restoreExpansion();
        fitDataColumn();
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
        // A decoder's annotation rows come after its row: it opens as it
        // was, and they show once decoded.
        if (parent.isValid() && WaveformModel::rowData(parent).isDecoder()) {
            for (int r = first; r <= last; ++r)
                setRowHidden(r, parent, true);
            restoreExpansion(parent);
        }
        showDecoderRows();
        fitDataColumn();
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, &WaveformSignal::fitDataColumn);
    // A new radix or token set changes what a value reads as (and whether
    // an ENUM bus hides its members).
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        if (!m_model || from.column() > 1 || to.column() < 1)
            return;
        for (int r = from.row(); r <= to.row(); ++r)
            if (m_model->hasChildren(m_model->index(r, 0, from.parent())))
                hideEnumChildren(m_model->index(r, 0, from.parent()));
        fitDataColumn();
    });
}

void WaveformSignal::fitDataColumn() {
    if (!m_model)
        return;
    auto* delegate = qobject_cast<WaveformDelegate*>(itemDelegate());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int widest = kMinDataWidth;
    int analog = 0;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < m_model->rowCount(parent); ++r) {
            const QModelIndex idx = m_model->index(r, 0, parent);
            analog += WaveformModel::rowData(idx).analog ? 1 : 0;
            if (isRowHidden(r, parent))
                continue;
            if (delegate)
                widest = qMax(widest, delegate->dataWidthHint(idx, option));
            walk(idx);
        }
    };
    walk(QModelIndex());
    const int width = qMin(widest, kMaxDataWidth);
    if (columnWidth(1) != width)
        setColumnWidth(1, width);
    // Rows are all alike (and laid out fastest) until a bus is drawn as a
    // graph in a taller row.
    if (analog != m_analogRows) {
        m_analogRows = analog;
        setUniformRowHeights(analog == 0);
        scheduleDelayedItemsLayout();
    }
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
    if (WaveformModel::rowData(idx).isDecoderPart())
        return; // showDecoderRows says which of its rows show
    const int rows = m_model->rowCount(idx);
    if (idx.isValid() && rows > 0) {
        const bool hide = WaveformModel::rowData(idx).radixName.startsWith(QLatin1String("ONL_"));
        for (int r = 0; r < rows; ++r)
            if (isRowHidden(r, idx) != hide)
                setRowHidden(r, idx, hide);
    }
    for (int r = 0; r < rows; ++r)
        hideEnumChildren(m_model->index(r, 0, idx));
}

void WaveformSignal::showDecoderRows() {
    if (!m_model)
        return;
    DecoderSet* set = m_page->decoders();
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const QModelIndex row = m_model->index(r, 0);
        const SigTreeData d = WaveformModel::rowData(row);
        if (!d.isDecoder())
            continue;
        const DecoderEntry* entry = m_page->decoderEntry(d);
        const auto result = set ? set->result(d.decoder) : nullptr;
        // A decode under way keeps the rows the last one showed, so they do
        // not vanish and come back with each edit.
        if (entry && !entry->hidden && set->status(d.decoder).state == DecoderSet::Running)
            continue;
        for (int a = 0; a < m_model->rowCount(row); ++a) {
            const bool hide = !entry || entry->hidden || !result || a >= result->rows.size() ||
                              result->rows.at(a).isEmpty();
            if (isRowHidden(a, row) != hide)
                setRowHidden(a, row, hide);
        }
    }
    viewport()->update();
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

bool WaveformSignal::canCut() const {
    QModelIndex t;
    return canCutCopy() && singleSelection(&t) && !WaveformModel::rowData(t).isAnnotation();
}

bool WaveformSignal::canCopy() const {
    QModelIndex t;
    return canCutCopy() && singleSelection(&t) && !WaveformModel::rowData(t).isDecoderPart();
}

bool WaveformSignal::canPaste() const {
    QModelIndex target;
    if (!m_model || !m_model->hasData() || !singleSelection(&target))
        return false;
    const auto* mime = qobject_cast<const WaveformSignalMimeData*>(QApplication::clipboard()->mimeData());
    // Into a decoder's rows nothing goes.
    if (!mime || WaveformModel::rowData(target).isAnnotation())
        return false;
    // A decoder's row cut: it moves among the top-level rows.
    if (mime->index().isValid())
        return mime->index().model() == m_model && WaveformModel::rowData(mime->index()).isDecoder() &&
               (!target.isValid() || !target.parent().isValid()) && target.siblingAtColumn(0) != mime->index();
    if (mime->items().size() < 2)
        return false;
    const SigTreeData d = itemData(mime->items().at(1));
    if (!d.isBus())
        return d.signalIndex >= 0 && d.signalIndex < m_model->source()->channelCount();
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
        const QColor c = ownColour(m_page, idx);
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
    if (!(cut ? canCut() : canCopy()) || !singleSelection(&target))
        return;
    if (WaveformModel::rowData(target).isDecoder()) {
        // The row stays where it is until it is pasted.
        QApplication::clipboard()->setMimeData(new WaveformSignalMimeData(target.siblingAtColumn(0)));
        return;
    }
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
    if (mime->index().isValid()) {
        const QModelIndex source = mime->index();
        int row = target.isValid() ? target.row() + 1 : -1;
        if (row > source.row())
            --row; // the row leaves its own place first
        if (QStandardItem* moved = m_model->dropItem(source, QModelIndex(), row)) {
            restoreExpansion(moved->index());
            showDecoderRows();
            notifyChanged(moved);
        }
        return;
    }
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

QStringList WaveformSignal::selectedDecoders() const {
    QStringList names;
    for (const QModelIndex& idx : selectedRows()) {
        const SigTreeData d = WaveformModel::rowData(idx);
        if (d.isDecoderPart() && !names.contains(d.decoder))
            names << d.decoder;
    }
    return names;
}

void WaveformSignal::sendDecoderCommand(const QString& cmd) { sendCommand(m_page->gateway(), cmd); }

void WaveformSignal::doEditColour() {
    const QList<QModelIndex> rows = selectedRows();
    if (!m_model || rows.isEmpty())
        return;
    const QColor own = ownColour(m_page, rows.constFirst());
    const QColor initial = own.isValid() ? own : OnaData::inst()->waveColor;
    const QColor chosen = basgui::Dialogs::provider()->getColor(initial, this, QString());
    if (!chosen.isValid() || chosen == initial)
        return;
    for (const QModelIndex& idx : rows) {
        SigTreeData d = WaveformModel::rowData(idx);
        if (d.isDecoderPart())
            continue;
        d.colour = chosen;
        m_model->setRowData(idx, d);
    }
    // A decoder's colour is its setting, changed by the engine.
    for (const QString& name : selectedDecoders())
        sendDecoderCommand(
            tclCommand(QStringLiteral("ona_set_decoder %1 -colour %2"), tclWord(name), tclWord(chosen.name())));
}

void WaveformSignal::doRevertColour() {
    if (!m_model || !hasOwnColour())
        return;
    for (const QModelIndex& idx : selectedRows()) {
        SigTreeData d = WaveformModel::rowData(idx);
        if (d.isDecoderPart() || !d.colour.isValid())
            continue;
        d.colour = QColor();
        m_model->setRowData(idx, d);
    }
    for (const QString& name : selectedDecoders())
        if (ownColour(m_page, m_model->decoderRow(name)).isValid())
            sendDecoderCommand(tclCommand(QStringLiteral("ona_set_decoder %1 -colour {}"), tclWord(name)));
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

bool WaveformSignal::event(QEvent* event) {
    // Tab and Shift+Tab step through the edges of the chosen row, as in the
    // waveform viewers our users know, instead of moving the focus.
    if (event->type() == QEvent::KeyPress && m_model && m_model->hasData()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & ~Qt::KeypadModifier)) {
            m_page->gotoEdge(true);
            return true;
        }
        if (key->key() == Qt::Key_Backtab) {
            m_page->gotoEdge(false);
            return true;
        }
    }
    return QTreeView::event(event);
}

void WaveformSignal::markCursorEdit() {
    if (ToolGateway* g = m_page->gateway())
        g->markModified();
}

qint64 WaveformSignal::pointerSample() const {
    const int x = m_ruler->pointerX();
    return x > m_waveLeft && x <= m_waveRight ? sampleAtX(x) : (m_model ? m_model->getDataPos() : -1);
}

void WaveformSignal::keyPressEvent(QKeyEvent* event) {
    if (m_model && m_model->hasData()) {
        // Cursor keys: Ctrl+M adds one at the pointer, [ and ] jump.
        const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (event->key() == Qt::Key_M && mods == Qt::ControlModifier) {
            m_page->addCursorAt(pointerSample());
            event->accept();
            return;
        }
        if ((event->key() == Qt::Key_BracketLeft || event->key() == Qt::Key_BracketRight) && mods == Qt::NoModifier) {
            m_page->jumpToCursor(event->key() == Qt::Key_BracketRight);
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::Find)) {
            m_page->showFindBar();
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::FindNext) || event->matches(QKeySequence::FindPrevious)) {
            if (m_page->findEdit()->text().trimmed().isEmpty())
                m_page->showFindBar();
            else
                m_page->findValue(m_page->findEdit()->text(), event->matches(QKeySequence::FindPrevious));
            event->accept();
            return;
        }
    }
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

// ---------------------------------------------------------------------------
// Pointer modes, mouse and wheel

void WaveformSignal::setPointerMode(PointerMode mode) {
    m_mode = mode;
    viewport()->setCursor(mode == PanMode ? Qt::OpenHandCursor : mode == ZoomMode ? Qt::CrossCursor : Qt::ArrowCursor);
}

WavePaintParams WaveformSignal::waveParams() const {
    if (!(m_px > 0.0))
        return WavePaintParams::make(QRect(), 0, 0, 0);
    return WavePaintParams::make(m_model, QRect(QPoint(m_waveLeft, 0), QPoint(m_waveRight, 0)));
}

qint64 WaveformSignal::sampleAtX(int x) const {
    const WavePaintParams w = waveParams();
    return w.isValid() ? w.sampleAt(x) : -1;
}

void WaveformSignal::repaintWave() {
    viewport()->update();
    m_ruler->viewport()->update();
    m_page->updateMeasurement();
}

void WaveformSignal::zoomToPosition(qint64 sample, bool setData) {
    if (!m_model || !m_model->hasData())
        return;
    m_model->zoomPos(waveWidth(), qBound(0, sample, m_model->getNumTime() - 1), setData);
    repaintWave();
}

void WaveformSignal::zoomToTrigger(int frame) {
    if (!m_model || !m_model->hasData())
        return;
    m_model->zoomTrigger(waveWidth(), frame);
    repaintWave();
}

void WaveformSignal::moveLeft() {
    if (!m_model || !m_model->hasData())
        return;
    m_model->moveLeft(waveWidth());
    repaintWave();
}

void WaveformSignal::moveRight() {
    if (!m_model || !m_model->hasData())
        return;
    m_model->moveRight(waveWidth());
    repaintWave();
}

void WaveformSignal::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    // Samples under the pointer are known only once the painter has drawn
    // the waveform column.
    if (!m_model || !m_model->hasData() || !(m_px > 0.0))
        return;
    const int x = int(event->position().x());
    if (event->button() == Qt::LeftButton && x > m_waveLeft) {
        m_bandStart = m_bandEnd = x;
        if (m_mode == SelectMode) {
            const qint64 s = sampleAtX(x);
            if (s >= 0) {
                if (m_model->existCurPos(s)) {
                    // Clicking a cursor swaps it with the data position; the
                    // cursor keeps its name.
                    const qint64 old = m_model->getDataPos();
                    if (!m_model->moveCurPos(s, old))
                        m_model->removeCurPos(s); // a cursor sits at the data position already
                    if (old != s)
                        markCursorEdit();
                }
                m_model->setDataPos(s);
                repaintWave();
            }
        }
    }
    m_dropRect = QRect();
    m_pressedLeftOfWave = event->button() == Qt::LeftButton && x < m_waveLeft;
}

void WaveformSignal::mouseMoveEvent(QMouseEvent* event) {
    QTreeView::mouseMoveEvent(event);
    const int x = int(event->position().x());
    const int y = int(event->position().y());
    // The row under the pointer shows the ruler measurement.
    m_pointerY = y;
    if (!m_model || !m_model->hasData() || !(m_px > 0.0))
        return;
    if (x > m_waveLeft && m_mode != SelectMode)
        viewport()->setCursor(m_mode == PanMode ? Qt::OpenHandCursor : Qt::CrossCursor);
    else
        viewport()->setCursor(Qt::ArrowCursor);
    const bool dragging = m_bandStart >= 0 && (event->buttons() & Qt::LeftButton);
    const int current = qBound(m_waveLeft, x, m_waveRight);
    if (dragging)
        m_bandEnd = current;
    if (m_mode == PanMode && dragging) {
        const double t = qMin(5.0, m_model->getPanLimit());
        // The Ctrl state of this very event: a key released outside the
        // window never reaches the tree.
        const bool jump = event->modifiers() & Qt::ControlModifier;
        if (current > m_bandStart + t) {
            jump ? m_model->moveRightEnd(waveWidth()) : m_model->moveRight(waveWidth());
            m_bandStart = current;
            repaintWave();
        } else if (m_bandStart > current + t) {
            jump ? m_model->moveLeftEnd(waveWidth()) : m_model->moveLeft(waveWidth());
            m_bandStart = current;
            repaintWave();
        }
        return;
    }
    m_ruler->setPointerX(current);
    if (m_mode == SelectMode && dragging && event->buttons() == Qt::LeftButton && x > m_waveLeft && y > 0) {
        // Measuring: from the press point (ruler) to the pointer (data).
        m_model->setDataPos(sampleAtX(current));
        m_model->setRulerPos(sampleAtX(m_bandStart));
        repaintWave();
    } else if (m_mode == ZoomMode && dragging && current != m_bandStart) {
        viewport()->update();
    } else if (m_model->hasRuler()) {
        viewport()->update();
    }
}

void WaveformSignal::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (!m_model || !m_model->hasData()) {
        m_bandStart = m_bandEnd = -1;
        return;
    }
    if (m_mode == ZoomMode && m_bandStart > 0 && m_bandEnd >= 0 && m_bandEnd != m_bandStart && m_px > 0.0) {
        const qint64 centre = sampleAtX((m_bandEnd + m_bandStart) / 2);
        const int span = int(qAbs(m_bandEnd - m_bandStart) / m_px);
        m_model->zoomBox(waveWidth(), centre, span);
        repaintWave();
    }
    m_bandStart = m_bandEnd = -1;
    if (m_model->hasRuler()) {
        m_model->clearRuler();
        repaintWave();
    }
    m_pressedLeftOfWave = false;
    m_dropRect = QRect();
}

void WaveformSignal::wheelEvent(QWheelEvent* event) {
    // Ctrl as this event reports it; only a vertical turn zooms (a
    // horizontal or end-of-scroll event has a zero vertical angle).
    if (event->modifiers() & Qt::ControlModifier) {
        const int dy = event->angleDelta().y();
        if (dy > 0)
            m_page->zoomIn();
        else if (dy < 0)
            m_page->zoomOut();
        event->accept();
        return;
    }
    QTreeView::wheelEvent(event);
}

// ---------------------------------------------------------------------------
// Context menu

QString WaveformSignal::selectedSignalList() const {
    QStringList names;
    if (!m_model || !selectionModel())
        return QString();
    for (const QModelIndex& idx : selectionModel()->selectedIndexes()) {
        if (idx.column() != 0 || m_model->hasChildren(idx))
            continue;
        const SigTreeData d = WaveformModel::rowData(idx);
        if (d.signalIndex >= 0)
            names << idx.data(Qt::DisplayRole).toString();
    }
    return names.join(QLatin1Char(' '));
}

void WaveformSignal::applyBusRadix(int radix, bool selectedOnly) {
    if (!m_model || WaveformModel::radixWord(radix).isEmpty())
        return;
    auto apply = [&](const QModelIndex& idx) {
        SigTreeData d = WaveformModel::rowData(idx);
        if (d.isBus() && d.hasNumericRadix() && d.radix != radix) {
            d.radix = radix;
            m_model->setRowData(idx, d);
        }
    };
    if (selectedOnly) {
        for (const QModelIndex& idx : selectedRows())
            apply(idx);
    } else {
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < m_model->rowCount(parent); ++r) {
                const QModelIndex idx = m_model->index(r, 0, parent);
                apply(idx);
                walk(idx);
            }
        };
        walk(QModelIndex());
    }
    repaintWave();
}

bool WaveformSignal::fillContextMenu(QMenu* menu, int x, int y) {
    if (!m_model || !m_model->hasData() || x < m_waveLeft)
        return false;
    WaveformModel* m = m_model;
    const qint64 clickSample = sampleAtX(x);
    auto add = [menu](QMenu* into, const QString& text, std::function<void()> act) {
        QAction* a = (into ? into : menu)->addAction(text);
        QObject::connect(a, &QAction::triggered, menu, [act] { act(); });
        return a;
    };

    auto* modes = new QActionGroup(menu);
    const QStringList modeTexts{QStringLiteral("Pan Mode"), QStringLiteral("Select Mode"), QStringLiteral("Zoom Mode")};
    for (int i = 0; i < 3; ++i) {
        QAction* a = add(nullptr, modeTexts.at(i), [this, i] { setPointerMode(PointerMode(i)); });
        a->setCheckable(true);
        a->setChecked(m_mode == i);
        modes->addAction(a);
    }
    menu->addSeparator();
    const bool select = m_mode == SelectMode;
    const int cursors = m->getNumCurPos();
    add(nullptr, QStringLiteral("Add Cursor"), [this, clickSample] {
        if (!m_model || clickSample < 0)
            return;
        // Cursors are saved with the layout: a change is an edit.
        if (m_model->addCurPos(m_model->getDataPos()))
            markCursorEdit();
        m_model->setDataPos(clickSample);
        repaintWave();
    })->setEnabled(select && clickSample >= 0);
    add(nullptr, QStringLiteral("Remove Cursor"), [this] {
        if (m_model && m_model->removeCurPos(-1))
            markCursorEdit();
        repaintWave();
    })->setEnabled(select && cursors > 0);
    add(nullptr, QStringLiteral("Clear All Cursor"), [this] {
        if (m_model && m_model->getNumCurPos() > 0) {
            m_model->clearCurPos();
            markCursorEdit();
        }
        repaintWave();
    })->setEnabled(cursors > 0);
    QAction* here =
        add(nullptr, QStringLiteral("Add Cursor Here"), [this, clickSample] { m_page->addCursorAt(clickSample); });
    here->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    here->setEnabled(clickSample >= 0 && !m->existCurPos(clickSample));
    QAction* nextCursor = add(nullptr, QStringLiteral("Next Cursor"), [this] { m_page->jumpToCursor(true); });
    nextCursor->setShortcut(QKeySequence(Qt::Key_BracketRight));
    nextCursor->setEnabled(cursors > 0);
    QAction* prevCursor = add(nullptr, QStringLiteral("Previous Cursor"), [this] { m_page->jumpToCursor(false); });
    prevCursor->setShortcut(QKeySequence(Qt::Key_BracketLeft));
    prevCursor->setEnabled(cursors > 0);
    // The cursor nearest the click.
    qint64 nearest = -1;
    for (qint64 c : m->getCurPos())
        if (nearest < 0 || qAbs(c - clickSample) < qAbs(nearest - clickSample))
            nearest = c;
    add(nullptr, QStringLiteral("Rename Cursor ..."), [this, nearest] {
        m_page->cursorPanel()->editName(nearest);
    })->setEnabled(nearest >= 0);
    QAction* table = add(nullptr, QStringLiteral("Cursor Table"),
                         [this] { m_page->showCursorPanel(!m_page->cursorPanel()->isVisible()); });
    table->setCheckable(true);
    table->setChecked(m_page->cursorPanel()->isVisible());

    menu->addSeparator();
    const int frames = m->getNumTriggerFrame();
    if (cursors > 0) {
        QMenu* go = menu->addMenu(QStringLiteral("Go to Cursor"));
        for (qint64 c : m->getCurPos()) {
            QString text;
            if (frames < 2) {
                text = QString::number(c);
            } else {
                int f = -1;
                for (int i = 0; i < frames; ++i)
                    if (m->getTriggerFrame(i) <= c)
                        f = i;
                if (f < 0)
                    continue; // before every frame: no frame:offset to name it
                text = QStringLiteral("%1:%2").arg(f).arg(c - m->getTriggerFrame(f));
            }
            add(go, text, [this, c] { zoomToPosition(c, true); });
        }
    }
    QMenu* zoom = menu->addMenu(QStringLiteral("Zoom"));
    add(zoom, QStringLiteral("Zoom In"), [this] { m_page->zoomIn(); });
    add(zoom, QStringLiteral("Zoom Out"), [this] { m_page->zoomOut(); });
    add(zoom, QStringLiteral("Zoom Fit"), [this] { m_page->zoomFit(); });
    if (frames > 1) {
        for (int f = 0; f < frames; ++f)
            add(zoom, QStringLiteral("Zoom Trigger:%1").arg(f), [this, f] { zoomToTrigger(f); });
    } else {
        add(zoom, QStringLiteral("Zoom Trigger"), [this] { zoomToTrigger(0); });
    }
    add(zoom, QStringLiteral("Zoom Start"), [this] { zoomToPosition(0, true); });
    // The last sample, not one past it.
    add(zoom, QStringLiteral("Zoom End"), [this] {
        if (m_model)
            zoomToPosition(m_model->getNumTime() - 1, true);
    });

    menu->addSeparator();
    add(nullptr, QStringLiteral("Set Bus Radix ..."), [this] { runBusDialog(); });
    // The bus under the click (or the current row) drawn as a graph.
    const QModelIndex at = (y >= 0 ? indexAt(QPoint(x, y)) : currentIndex()).siblingAtColumn(0);
    const SigTreeData atData = WaveformModel::rowData(at);
    QAction* analog = add(nullptr, QStringLiteral("Analog"), [this, row = QPersistentModelIndex(at)] {
        if (!m_model || !row.isValid())
            return;
        SigTreeData d = WaveformModel::rowData(row);
        d.analog = !d.analog;
        m_model->setRowData(row, d);
        notifyChanged(m_model->itemFromIndex(QModelIndex(row).siblingAtColumn(1)));
        repaintWave();
    });
    analog->setCheckable(true);
    analog->setChecked(at.isValid() && atData.analog);
    analog->setEnabled(at.isValid() && atData.isBus());
    add(nullptr, QStringLiteral("Set Clock Period ..."), [this] { runClockDialog(); });
    add(nullptr, QStringLiteral("Export Waveform ..."), [this] { runExportDialog(); });

    menu->addSeparator();
    QAction* cut = add(nullptr, QStringLiteral("Cut"), [this] { doCut(); });
    cut->setIcon(basgui::BaseIcon::getIcon(QStringLiteral("cut")));
    cut->setShortcut(QKeySequence::Cut);
    cut->setEnabled(canCut());
    QAction* copy = add(nullptr, QStringLiteral("Copy"), [this] { doCopy(); });
    copy->setIcon(basgui::BaseIcon::getIcon(QStringLiteral("copy")));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(canCopy());
    QAction* paste = add(nullptr, QStringLiteral("Paste"), [this] { doPaste(); });
    paste->setIcon(basgui::BaseIcon::getIcon(QStringLiteral("paste")));
    paste->setShortcut(QKeySequence::Paste);
    paste->setEnabled(canPaste());
    menu->addSeparator();
    add(nullptr, QStringLiteral("Group Signals ..."), [this] { doGroup(); })->setEnabled(canGroup());
    menu->addSeparator();
    add(nullptr, QStringLiteral("Edit Color..."), [this] { doEditColour(); })->setEnabled(!selectedRows().isEmpty());
    if (hasOwnColour())
        add(nullptr, QStringLiteral("Revert to Default Color"), [this] { doRevertColour(); });

    menu->addSeparator();
    const bool row = m_page->searchRow().isValid();
    QAction* next = add(nullptr, QStringLiteral("Next Edge"), [this] { m_page->gotoEdge(true); });
    next->setShortcut(QKeySequence(Qt::Key_Tab));
    next->setEnabled(row);
    QAction* previous = add(nullptr, QStringLiteral("Previous Edge"), [this] { m_page->gotoEdge(false); });
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Tab));
    previous->setEnabled(row);
    QAction* find = add(nullptr, QStringLiteral("Find Value ..."), [this] { m_page->showFindBar(); });
    find->setShortcut(QKeySequence::Find);
    find->setEnabled(row);
    menu->addSeparator();
    menu->addAction(m_page->addDecoderAction());
    // The decoder under the click (or the current row's).
    const DecoderEntry* entry = m_page->decoderEntry(atData);
    if (entry) {
        const QString name = tclWord(entry->name);
        const bool hidden = entry->hidden;
        add(nullptr, hidden ? QStringLiteral("Show Rows") : QStringLiteral("Hide Rows"), [this, name, hidden] {
            sendDecoderCommand(tclCommand(QStringLiteral("ona_set_decoder %1 -hidden %2"), name,
                                          hidden ? QStringLiteral("0") : QStringLiteral("1")));
        });
        add(nullptr, QStringLiteral("Remove Decoder"),
            [this, name] { sendDecoderCommand(tclCommand(QStringLiteral("ona_remove_decoder %1"), name)); });
    }
    add(nullptr, QStringLiteral("Compare with Capture…"), [this] {
        CompareDialog dialog(m_page, this);
        basgui::Dialogs::provider()->execDialog(&dialog);
    });
    return true;
}

void WaveformSignal::runBusDialog() {
    BusDialog dialog(this);
    basgui::Dialogs::provider()->execDialog(&dialog);
}

void WaveformSignal::runClockDialog() {
    ClockDialog dialog(m_page->gateway(), this);
    basgui::Dialogs::provider()->execDialog(&dialog);
}

void WaveformSignal::runExportDialog() {
    // A simulator's dump is written back whole, not as a capture.
    if (m_model && !m_model->traceData() && m_model->source()) {
        exportSimulationWaveform(m_page->gateway(), this, QString());
        return;
    }
    ExportDlg dialog(m_page->gateway(), this);
    dialog.setSignalList(selectedSignalList());
    if (basgui::Dialogs::provider()->execDialog(&dialog) != QDialog::Accepted || !m_model)
        return;
    // What went into the file: the listed rows, or every top-level row.
    const int rows = dialog.selectedOnly() ? int(dialog.signalList().split(QLatin1Char(' '), Qt::SkipEmptyParts).size())
                                           : m_model->rowCount();
    message::msgManager(std::string("analyzer"))
        .postMsg("9992",
                 tr("Waveform exported to %1: %2, %3")
                     .arg(QDir::toNativeSeparators(dialog.writtenFile()),
                          countText(rows, QStringLiteral("signal"), QStringLiteral("signals")),
                          countText(m_model->getNumTime(), QStringLiteral("sample"), QStringLiteral("samples"))));
}

void WaveformSignal::contextMenuEvent(QContextMenuEvent* event) {
    m_ctrlHeld = false;
    QMenu menu(this);
    // Each entry acts through its own QAction, whatever text the platform
    // style or a translation gives it.
    if (fillContextMenu(&menu, event->pos().x(), event->pos().y()))
        menu.exec(event->globalPos());
}

// ---------------------------------------------------------------------------
// Drag and drop

void WaveformSignal::startDrag(Qt::DropActions supportedActions) {
    QModelIndex row;
    // A press in the waveform column moves cursors, pans or zooms.
    if (m_bandStart >= 0)
        return;
    if (!(supportedActions & Qt::MoveAction) || !singleSelection(&row) || !row.isValid())
        return;
    if (WaveformModel::rowData(row).isAnnotation())
        return; // a decoder's annotation rows stay under it
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
    QModelIndex target = indexAt(pos).siblingAtColumn(0);
    if (!target.isValid() || !source.isValid())
        return false;
    const QModelIndex src = source.siblingAtColumn(0);
    const SigTreeData moving = WaveformModel::rowData(src);
    if (moving.isAnnotation())
        return false;
    // Over a decoder's rows a drop goes before or after the decoder, whose
    // rows are one block.
    bool afterBlock = false;
    if (WaveformModel::rowData(target).isAnnotation()) {
        target = target.parent().siblingAtColumn(0);
        afterBlock = true;
    }
    const bool decoder = WaveformModel::rowData(target).isDecoder();
    // Buses and decoders stand only among the top-level rows.
    const bool bus = moving.isBus() || moving.isDecoder();
    if (bus && target.parent().isValid())
        return false;
    // Never into the dragged row itself or below it.
    for (QModelIndex p = target.parent(); p.isValid(); p = p.parent())
        if (p.siblingAtColumn(0) == src)
            return false;
    const QRect r = visualRect(target);
    bool lower = afterBlock || pos.y() >= r.top() + r.height() / 2;
    if (lower && bus && !decoder && isExpanded(target) && m_model->rowCount(target) > 0)
        lower = false; // a bus never lands between a bus and its first member
    *parent = target.parent();
    *row = target.row() + (lower ? 1 : 0);
    if (parent->siblingAtColumn(0) == src.parent().siblingAtColumn(0) && src.row() < *row)
        --*row;
    int y = lower ? r.bottom() : r.top();
    // After a decoder: below the last of its rows that shows.
    if (lower && decoder && isExpanded(target))
        for (int a = m_model->rowCount(target) - 1; a >= 0; --a)
            if (!isRowHidden(a, target)) {
                y = visualRect(m_model->index(a, 0, target)).bottom();
                break;
            }
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

} // namespace vemo::toolona
