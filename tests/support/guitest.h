#pragma once

// Small helpers shared by the tool-window tests: finding rows, list items and
// menu entries by what the user sees, and a tool gateway that records.

#include "hardip/hardiptab.h"
#include "hardip/hardipwidget.h"
#include "kit/toolgateway.h"
#include "testfiles.h"
#include "waveform/waveformsignal.h"
#include "waveformmodel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QStringList>
#include <QTabWidget>

// A stand-in for the tool window behind a page: records the commands it is
// given and answers them with `succeed` and `answer`.
class RecordingGateway : public vemo::toolona::ToolGateway {
public:
    bool tclEval(const QString& cmd, QString* result = nullptr) override {
        commands << cmd;
        if (result)
            *result = answer;
        return succeed;
    }
    void reportRefusal(const QString&) override {}
    void markModified() override { ++modified; }
    void openHelpTopic(const QString& topic) override { topics << topic; }
    QStringList commands;
    bool succeed = true;
    QString answer;
    int modified = 0;
    QStringList topics;
};

// The waveform row named `name`, searched depth first.
inline QModelIndex rowNamed(const WaveformModel* m, const QString& name, const QModelIndex& parent = QModelIndex()) {
    for (int r = 0; r < m->rowCount(parent); ++r) {
        const QModelIndex idx = m->index(r, 0, parent);
        if (WaveformModel::rowData(idx).name == name)
            return idx;
        const QModelIndex inner = rowNamed(m, name, idx);
        if (inner.isValid())
            return inner;
    }
    return QModelIndex();
}

// Drags waveform row `source` to `at` in `view`'s viewport and drops it
// there, as the mouse would; true when the view took the drag and the drop.
inline bool dropRow(QAbstractItemView* view, const QModelIndex& source, const QPointF& at) {
    vemo::toolona::WaveformSignalMimeData mime(source);
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &drop);
    return drop.isAccepted();
}

// The names of the rows under `parent`.
inline QStringList rowNames(const WaveformModel* m, const QModelIndex& parent = QModelIndex()) {
    QStringList out;
    for (int r = 0; r < m->rowCount(parent); ++r)
        out << WaveformModel::rowData(m->index(r, 0, parent)).name;
    return out;
}

// The titles of a window's page tabs, in order (a template: any window with
// a right view, without including it here).
template <typename Gui>
QStringList tabTexts(const Gui& gui) {
    QStringList out;
    const QTabWidget* tabs = gui.rightView()->tabWidget();
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

// The panel of hard IP instance `name` on a window's Hard IP page (as a `T`),
// or null.
template <typename T = vemo::toolona::HardIpWidget, typename Gui>
T* hardIpPanel(const Gui& gui, const QString& name) {
    for (vemo::toolona::HardIpWidget* p : gui.rightView()->template page<vemo::toolona::HardIpTab>()->panels())
        if (p->name() == name)
            return qobject_cast<T*>(p);
    return nullptr;
}

inline QStringList comboItems(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Entry texts of a menu, sub-menus as "Title>entry", separators as "-".
inline QStringList menuEntries(const QMenu* menu, const QString& prefix = QString()) {
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out << prefix + QStringLiteral("-");
        else if (a->menu())
            out << menuEntries(a->menu(), prefix + a->text() + QLatin1Char('>'));
        else
            out << prefix + a->text();
    }
    return out;
}

// The entry at `path` ("Title>entry" for a sub-menu's), or null.
inline QAction* menuEntry(const QMenu* menu, const QString& path) {
    const QString head = path.section(QLatin1Char('>'), 0, 0);
    for (QAction* a : menu->actions())
        if (a->text() == head)
            return path.contains(QLatin1Char('>')) ? menuEntry(a->menu(), path.section(QLatin1Char('>'), 1)) : a;
    return nullptr;
}

inline bool writeJson(const QString& path, const QJsonObject& root) {
    return writeAll(path, QJsonDocument(root).toJson());
}

// Writes the debug-logic file `to`: `from` with a controller core "ctrl"
// added and no SERDES description. Returns `to`.
inline QString withControllerCore(const QString& from, const QString& to) {
    QJsonObject root = QJsonDocument::fromJson(readAll(from)).object();
    QJsonArray cores = root.value(QStringLiteral("cores")).toArray();
    cores.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("ctrl")}, {QStringLiteral("kind"), 2}});
    root.insert(QStringLiteral("cores"), cores);
    root.remove(QStringLiteral("serdes"));
    writeJson(to, root);
    return to;
}
