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
class QMetaObject;
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
    // Asks the right view to detach (dock false) or attach the page titled
    // `title` (a page with a dock button calls it; null: none).
    std::function<void(const QString& title, bool dock)> dockRequest;
};

// What the tool window tells the pages; each row lists those it hears.
enum class PageEvent {
    RunStarted,     // a capture run has started: the setup is locked
    CaptureDone,    // the run ended (the engine is no longer busy)
    ProjectClosing, // the project closes: drop what points into it
    SetupErrors,    // the trigger setup's error counts changed
    SettingChanged, // the trigger setting changed
    CaptureRefresh, // the capture's header may have changed: read it again
    Shown,          // the page became the current tab
    BusRadix,       // show every bus in radix index `value`
    RegisterRadix,  // show every user register in radix index `value`
    ExportCapture,  // run the capture's export dialog
    SwitchChanged,  // the controller's switches changed: `text` is their value
};

struct PageNotice {
    PageNotice(PageEvent e, int v = 0, const QString& t = QString()) : event(e), value(v), text(t) {}
    PageEvent event;
    int value = 0;
    QString text;
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
    using Make = std::function<QWidget*(const PageContext&)>;
    using ContentTest = std::function<bool(const QSharedPointer<AnalyzerCore>& core)>;
    using ShowModels = std::function<void(QWidget* page, const PageModels& models)>;
    using ShowCore = std::function<void(QWidget* page, const QSharedPointer<AnalyzerCore>& core)>;

    PageRow() = default;
    PageRow(PageSet s, const QString& t, Make m, ContentTest content = nullptr, ShowModels models = nullptr,
            ShowCore core = nullptr)
        : set(s)
        , title(t)
        , make(std::move(m))
        , hasContent(std::move(content))
        , showModels(std::move(models))
        , showCore(std::move(core)) {}

    PageSet set = PageSet::LogicAnalyzer;
    QString title;
    Make make;
    // Whether the tab is enabled for `core` (null: always enabled).
    ContentTest hasContent;
    // Hands the analyzer models to a built page (null: it shows none).
    ShowModels showModels;
    // Hands a controller core to a built page (null: it shows none).
    ShowCore showCore;
    // The events the page hears, and what it does on one. `models` is the
    // hand-over last given. An event the window must not lose (a radix the
    // user picked for every bus) builds a page that is not built yet.
    QList<PageEvent> hears;
    std::function<void(QWidget* page, const PageNotice& notice, const PageModels& models)> onEvent;
    // The page that shows the capture: brought to front after a run.
    bool showsCapture = false;
    // The page that shows the simulator's waveform: brought to front when
    // one opens.
    bool showsWaveform = false;
    // Whether the page has a tab at all (null: always); asked again on
    // RightView::refreshPresence.
    std::function<bool()> present;
    // The page's class, for typed look-ups (null: none).
    const QMetaObject* type = nullptr;
};

class PageTable {
public:
    // Every row, in tab order within each set: the tool's own pages first,
    // then rows added with addPage.
    static const QList<PageRow>& rows();
    // Adds a page to the table; right views built afterwards show it.
    static void addPage(const PageRow& row);
};

// The tool's own pages, in tab order. Defined where the pages are known
// (pages/), so that neither this kit nor the window names one.
QList<PageRow> builtInPageRows();

} // namespace vemo::toolona
