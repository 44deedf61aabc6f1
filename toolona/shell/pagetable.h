#pragma once

// The right view's pages in one table: which tab set a page belongs to,
// its tab title, how it is made and what it is handed. The right view
// builds a page only when its tab is first shown (or when someone asks
// for it); until then the tab holds a light placeholder with the page's
// title, enabled by the row's content test. A new page is one row here.

#include <QList>
#include <QPointer>
#include <QSharedPointer>
#include <QString>

#include <functional>

class AnalyzerCore;
class QWidget;
class TriggerEModel;
class TriggerSetting;
class TriggerUModel;
class WaveformModel;

namespace vemo::toolona {

class ToolGateway;

// The tab sets. The first two are the engine's core kinds: a core of that
// kind shows the pages of that set. The SERDES pages are appended to
// either set while the project describes a SERDES.
enum class PageSet { LogicAnalyzer = 1, Controller = 2, Serdes = 3 };

// What a page factory gets.
struct PageContext {
    ToolGateway* gateway = nullptr; // commands, refusals, modified mark, help
    QWidget* parent = nullptr;      // the tool window
};

// The analyzer models as last handed to the right view. A page built later
// receives the same hand-over as the pages built earlier; so does the
// controller core last given (showCore).
struct PageModels {
    QPointer<TriggerUModel> tu;
    QPointer<TriggerEModel> te;
    // Owned by the engine with its core; a page checks it is still the
    // engine's current one before reading it.
    TriggerSetting* ts = nullptr;
    QPointer<WaveformModel> wd;
};

struct PageRow {
    PageSet set;
    QString title;
    std::function<QWidget*(const PageContext&)> make;
    // Whether the tab is enabled for `core` (null: always enabled).
    std::function<bool(const QSharedPointer<AnalyzerCore>& core)> hasContent;
    // Hands the analyzer models to a built page (null: it shows none).
    std::function<void(QWidget* page, const PageModels& models)> showModels;
    // Hands a controller core to a built page (null: it shows none).
    std::function<void(QWidget* page, const QSharedPointer<AnalyzerCore>& core)> showCore;
};

class PageTable {
public:
    // Every row, in tab order within each set: the tool's own pages first,
    // then rows added with addPage.
    static const QList<PageRow>& rows();
    // Adds a page to the table; right views built afterwards show it.
    static void addPage(const PageRow& row);
};

} // namespace vemo::toolona
