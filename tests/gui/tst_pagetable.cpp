// The page table: a page registered in it appears for its core kind, built
// only when its tab is first shown, with the hand-over and the gateway the
// tool's own pages get, and with no change to the right view or the window.

#include "demofixture.h"
#include "recordinghost.h"

#include "kit/pagetable.h"
#include "kit/toolgateway.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "onadata.h"
#include "triggerumodel.h"

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using vemo::toolona::OnaGUI;
using vemo::toolona::PageContext;
using vemo::toolona::PageModels;
using vemo::toolona::PageRow;
using vemo::toolona::PageSet;
using vemo::toolona::PageTable;
using vemo::toolona::RightView;
using vemo::toolona::ToolGateway;

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

QStringList tabTexts(OnaGUI& gui) {
    QStringList out;
    QTabWidget* tabs = gui.rightView()->tabWidget();
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

} // namespace

class TstPageTable : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void analyzerPageAppearsAndIsBuiltWhenShown();
    void controllerPageTakesItsContentTest();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingHost> m_host;
};

void TstPageTable::initTestCase() {
    PageTable::addPage({PageSet::LogicAnalyzer, QStringLiteral("Fixture Page"),
                        [](const PageContext& c) -> QWidget* { return new FixturePage(c.gateway, c.parent); }, nullptr,
                        [](QWidget* page, const PageModels& m) {
                            auto* fixture = static_cast<FixturePage*>(page);
                            fixture->units = m.tu;
                            fixture->setText(m.tu ? m.tu->text(0, TriggerUModel::ColName) : QString());
                        },
                        nullptr});
    PageTable::addPage({PageSet::Controller, QStringLiteral("Fixture Controller"),
                        [](const PageContext& c) -> QWidget* { return new QLabel(c.parent); },
                        [](const QSharedPointer<AnalyzerCore>&) { return false; }, nullptr, nullptr});
}

void TstPageTable::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_host = std::make_unique<RecordingHost>();
    FixturePage::built = 0;
}

void TstPageTable::cleanup() {
    m_host.reset();
    m_dir.reset();
}

void TstPageTable::analyzerPageAppearsAndIsBuiltWhenShown() {
    auto gui =
        demofixture::embeddedGui(m_host.get(), demofixture::copyDemo(m_dir->path(), QStringLiteral("demo"), false));
    QVERIFY(gui);
    RightView* view = gui->rightView();
    QCOMPARE(tabTexts(*gui), QStringList({QStringLiteral("LA Trigger"), QStringLiteral("LA Waveform"),
                                          QStringLiteral("Fixture Page")}));
    // Only the page in front exists after start-up.
    QVERIFY(view->builtPage(QStringLiteral("LA Trigger")));
    QVERIFY(!view->builtPage(QStringLiteral("LA Waveform")));
    QCOMPARE(FixturePage::built, 0);
    QVERIFY(view->tabWidget()->isTabEnabled(2));

    // Shown: built once, in its own tab, with the models the others got.
    view->tabWidget()->setCurrentIndex(2);
    QCOMPARE(FixturePage::built, 1);
    auto* page = dynamic_cast<FixturePage*>(view->builtPage(QStringLiteral("Fixture Page")));
    QVERIFY(page);
    QCOMPARE(view->tabWidget()->currentWidget(), page);
    QCOMPARE(view->tabWidget()->tabText(2), QStringLiteral("Fixture Page"));
    QCOMPARE(page->units.data(), gui->tuModel());
    QCOMPARE(page->text(), OnaData::inst()->getTUName(0));
    view->tabWidget()->setCurrentIndex(0);
    view->tabWidget()->setCurrentIndex(2);
    QCOMPARE(FixturePage::built, 1);

    // Its gateway is the window: commands reach the host with their
    // results, refusals are said in the status bar, the modified mark sticks.
    m_host->commands.clear();
    QString result;
    QVERIFY(page->gateway->tclEval(QStringLiteral("ona_wait"), &result));
    QCOMPARE(result, QStringLiteral("Ready"));
    QVERIFY(!vemo::toolona::sendCommand(page->gateway, QStringLiteral("ona_set_core -name nosuch")));
    QCOMPARE(m_host->commands, QStringList({QStringLiteral("ona_wait"), QStringLiteral("ona_set_core -name nosuch")}));
    QVERIFY(gui->statusBar()->currentMessage().contains(QLatin1String("nosuch")));
    QVERIFY(!gui->isModified());
    page->gateway->markModified();
    QVERIFY(gui->isModified());

    // A later hand-over (another core) reaches the built page too.
    TriggerUModel* first = gui->tuModel();
    QVERIFY(gui->coreSelector());
    gui->coreSelector()->setCurrentIndex(1);
    QVERIFY(gui->tuModel() && gui->tuModel() != first);
    QCOMPARE(page->units.data(), gui->tuModel());
}

void TstPageTable::controllerPageTakesItsContentTest() {
    QList<QString> args;
    QString unused;
    OnaGUI gui(nullptr, args, unused, false, QString());
    QStringList expected{QStringLiteral("LA Trigger"), QStringLiteral("LA Waveform"), QStringLiteral("Fixture Page")};
    expected += RightView::controllerTitles();
    QCOMPARE(RightView::controllerTitles().constLast(), QStringLiteral("Fixture Controller"));
    QCOMPARE(tabTexts(gui), expected);
    QTabWidget* tabs = gui.rightView()->tabWidget();
    // Its content test disables the tab before the page exists.
    QVERIFY(!gui.rightView()->builtPage(QStringLiteral("Fixture Controller")));
    QVERIFY(!tabs->isTabEnabled(tabs->count() - 1));
    QVERIFY(tabs->isTabEnabled(2));
}

QTEST_MAIN(TstPageTable)
#include "tst_pagetable.moc"
