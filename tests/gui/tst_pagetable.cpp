// The page table: a page registered in it appears for its core kind, built
// only when its tab is first shown, with the hand-over and the gateway the
// tool's own pages get, and with no change to the right view or the window.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "kit/pagetable.h"
#include "kit/toolgateway.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "onadata.h"
#include "triggerumodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

// A trivial page: shows the name of the first trigger unit it is handed
// and sends one command through its gateway when asked.
class FixturePage : public QLabel {
public:
    FixturePage(ToolGateway* gateway, QWidget* parent) : QLabel(parent), gateway(gateway) { ++built; }
    ToolGateway* gateway;
    QPointer<TriggerUModel> units;
    static int built;
};
int FixturePage::built = 0;

} // namespace

class TstPageTable : public DemoTest {
    Q_OBJECT
private slots:
    void initTestCase() {
        PageTable::addPage({PageSet::LogicAnalyzer, u"Fixture Page"_s,
                            [](const PageContext& c) -> QWidget* { return new FixturePage(c.gateway, c.parent); },
                            nullptr,
                            [](QWidget* page, const PageModels& m) {
                                auto* fixture = static_cast<FixturePage*>(page);
                                fixture->units = m.tu;
                                fixture->setText(m.tu ? m.tu->text(0, TriggerUModel::ColName) : QString());
                            },
                            nullptr});
        PageTable::addPage({PageSet::Controller, u"Fixture Controller"_s,
                            [](const PageContext& c) -> QWidget* { return new QLabel(c.parent); },
                            [](const QSharedPointer<AnalyzerCore>&) { return false; }, nullptr, nullptr});
    }
    void init() {
        freshHost();
        FixturePage::built = 0;
    }
    void cleanup() { closeDemo(); }
    void analyzerPageAppearsAndIsBuiltWhenShown() {
        auto gui = demofixture::embeddedGui(m_host.get(), demofixture::copyDemo(m_dir->path(), u"demo"_s, false));
        QVERIFY(gui);
        RightView* view = gui->rightView();
        QCOMPARE(tabTexts(*gui), QStringList({u"LA Trigger"_s, u"LA Waveform"_s, u"Fixture Page"_s}));
        // No page exists while the window is hidden; shown, only the page in front.
        QVERIFY(!view->builtPage(u"LA Trigger"_s));
        gui->show();
        QVERIFY(view->builtPage(u"LA Trigger"_s) && !view->builtPage(u"LA Waveform"_s));
        QCOMPARE(FixturePage::built, 0);

        // Shown: built once, in its own tab, with the models the others got.
        view->tabWidget()->setCurrentIndex(2);
        QCOMPARE(FixturePage::built, 1);
        auto* page = dynamic_cast<FixturePage*>(view->builtPage(u"Fixture Page"_s));
        QVERIFY(page);
        QCOMPARE(view->tabWidget()->currentWidget(), page);
        QCOMPARE(page->units.data(), gui->tuModel());
        QCOMPARE(page->text(), OnaData::inst()->getTUName(0));
        view->tabWidget()->setCurrentIndex(0);
        view->tabWidget()->setCurrentIndex(2);
        QCOMPARE(FixturePage::built, 1);

        // Its gateway is the window: commands reach the host with their
        // results, refusals are said in the status bar, the modified mark sticks.
        m_host->commands.clear();
        QString result;
        QVERIFY(page->gateway->tclEval(u"ona_wait"_s, &result));
        QCOMPARE(result, u"Ready"_s);
        QVERIFY(!sendCommand(page->gateway, u"ona_set_core -name nosuch"_s));
        QCOMPARE(m_host->commands, QStringList({u"ona_wait"_s, u"ona_set_core -name nosuch"_s}));
        QVERIFY(gui->statusBar()->currentMessage().contains(QLatin1String("nosuch")) && !gui->isModified());
        page->gateway->markModified();
        QVERIFY(gui->isModified());

        // A later hand-over (another core) reaches the built page too.
        TriggerUModel* first = gui->tuModel();
        gui->coreSelector()->setCurrentIndex(1);
        QVERIFY(gui->tuModel() && gui->tuModel() != first);
        QCOMPARE(page->units.data(), gui->tuModel());
    }
    void controllerPageTakesItsContentTest() {
        auto gui = demofixture::makeGui(false);
        QStringList expected{u"LA Trigger"_s, u"LA Waveform"_s, u"Fixture Page"_s};
        expected += RightView::controllerTitles();
        QCOMPARE(tabTexts(*gui), expected);
        QTabWidget* tabs = gui->rightView()->tabWidget();
        // Its content test disables the tab before the page exists.
        QVERIFY(!gui->rightView()->builtPage(u"Fixture Controller"_s));
        QVERIFY(!tabs->isTabEnabled(tabs->count() - 1) && tabs->isTabEnabled(2));
    }
};

QTEST_MAIN(TstPageTable)
#include "tst_pagetable.moc"
