#include <QtTest>
#include <QtWidgets>

#include "basgui/basguitool.h"
#include "settings/baseusrsettings.h"

using namespace vemo::basgui;

namespace {

// A tool that declares menus, buttons and connections the way a real tool
// does, and counts how often its slots run.
class ProbeTool : public BasGUITool {
    Q_OBJECT
public:
    ProbeTool(QWidget* parent, bool standalone) : BasGUITool(parent, standalone, true) {
        own = new QAction("Export...", this);
        setObjectName("PROBE");
    }

    QString toolName() const override { return "PROBE"; }
    QStringList stdMenuItems(StdMenu m) override {
        switch (m) {
            case FileMenu:
                return isStandalone() ? QStringList{"new", "open", "save", "save as", "close"}
                                      : QStringList{"save", "save as", "close"};
            case ViewMenu:
                return {"zoom in", "zoom out", "zoom fit"};
            case WindowMenu:
                return isStandalone() ? QStringList{} : QStringList{"detach", "attach"};
            case HelpMenu:
                return {"about", "help"};
            default:
                return {};
        }
    }
    QList<QAction*> myMenuItems(StdMenu m) override { return m == FileMenu ? QList<QAction*>{own} : QList<QAction*>{}; }
    QStringList stdToolbarButtons() override { return {"save", "zoom in", "no such action"}; }
    bool needSpecialToolBar() override { return true; }
    QList<ActionConnection> activeConnections() override {
        return {{"", "2fileChanged(bool)", "save", "1setEnabled(bool)"},
                {"save", "2triggered()", "", "1onSave()"},
                {"zoom in", "2triggered()", "", "1zoomIn()"},
                {"", "2zoomAvailable(bool)", "zoom in", "1setEnabled(bool)"}};
    }
    bool maybeSave() override {
        ++maybeSaveCalls;
        return allowClose;
    }

    QAction* own;
    int saves = 0;
    int zooms = 0;
    int maybeSaveCalls = 0;
    bool allowClose = true;

public slots:
    bool onSave() override {
        ++saves;
        return true;
    }
    void zoomIn() { ++zooms; }

signals:
    void fileChanged(bool);
    void zoomAvailable(bool);
};

QStringList menuTexts(QMenu* menu) {
    QStringList out;
    if (!menu)
        return out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QString("|") : a->objectName().isEmpty() ? a->text() : a->objectName());
    return out;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void menusAndToolBarsFollowTheDeclarations() {
        ProbeTool standalone(nullptr, true);
        QVERIFY(standalone.initialize());
        QCOMPARE(menuTexts(standalone.stdMenu(FileMenu)),
                 (QStringList{"new", "open", "save", "save as", "close", "|", "Export..."}));
        // Empty menus stay out of the menu bar.
        QStringList barTitles;
        for (QAction* a : standalone.menuBar()->actions())
            barTitles << a->text();
        QCOMPARE(barTitles, (QStringList{"&File", "&View", "&Help"}));
        // Unknown names are skipped, not turned into blank buttons.
        QCOMPARE(standalone.mainToolBar()->actions().size(), 2);

        auto* button = new QAction("Run", &standalone);
        standalone.addButtonOnSpecialToolBar(button);
        standalone.addSeparatorOnSpecialToolBar();
        standalone.addWidgetOnSpecialToolBar(new QWidget);
        QCOMPARE(standalone.specialToolBar()->actions().size(), 3);
        QCOMPARE(standalone.specialToolBar()->actions().first(), button);

        QWidget host;
        ProbeTool embedded(&host, false);
        QVERIFY(embedded.initialize());
        QCOMPARE(menuTexts(embedded.stdMenu(FileMenu)), (QStringList{"save", "save as", "close", "|", "Export..."}));
        QCOMPARE(menuTexts(embedded.stdMenu(WindowMenu)), (QStringList{"detach", "attach"}));
    }
    void sharedActionsAreWiredOnce() {
        ProbeTool tool(nullptr, true);
        QVERIFY(tool.initialize());
        // The tool also connects one pair itself, as tools do in their own setup.
        QObject::connect(tool.sharedAction("save"), SIGNAL(triggered()), &tool, SLOT(onSave()), Qt::UniqueConnection);
        QVERIFY(tool.connectSharedAction());
        QCOMPARE(tool.connectedCount(), 3); // the save pair already existed

        tool.sharedAction("save")->trigger();
        QCOMPARE(tool.saves, 1);

        emit tool.fileChanged(false);
        QVERIFY(!tool.sharedAction("save")->isEnabled());
        emit tool.fileChanged(true);
        QVERIFY(tool.sharedAction("save")->isEnabled());

        emit tool.zoomAvailable(true);
        tool.sharedAction("zoom in")->trigger();
        QCOMPARE(tool.zooms, 1);

        // Connecting again (host re-activates the tool) must not double up.
        tool.connectSharedAction();
        tool.sharedAction("zoom in")->trigger();
        QCOMPARE(tool.zooms, 2);

        tool.disconnectSharedAction();
        tool.sharedAction("zoom in")->trigger();
        QCOMPARE(tool.zooms, 2);
        emit tool.zoomAvailable(false);
        QVERIFY(tool.sharedAction("zoom in")->isEnabled());
    }
    void attachAndDetach() {
        QWidget host;
        host.setLayout(new QVBoxLayout);
        host.resize(400, 300);
        host.show();
        ProbeTool tool(&host, false);
        QVERIFY(tool.initialize() && tool.isAttached());

        tool.sharedAction("detach")->trigger();
        QVERIFY(!tool.isAttached() && tool.isWindow() && tool.isVisible() && !tool.sharedAction("detach")->isEnabled());

        // Position requests only move a top-level tool.
        tool.setPositionAndSize(QPoint(30, 40), QSize(500, 350));
        QCOMPARE(tool.size(), QSize(500, 350));
        QCOMPARE(tool.pos(), QPoint(30, 40));
        // A place on no screen (its monitor is gone) is brought back on screen.
        tool.setPositionAndSize(QPoint(-20000, 15000), QSize(500, 350));
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().intersects(tool.frameGeometry()));

        tool.sharedAction("attach")->trigger();
        QVERIFY(tool.isAttached() && !tool.isWindow() && host.layout()->indexOf(&tool) >= 0);
        const QSize before = tool.size();
        tool.setPositionAndSize(QPoint(0, 0), QSize(10, 10));
        QCOMPARE(tool.size(), before);
    }
    void closeAsksMaybeSaveUnlessForced() {
        ProbeTool tool(nullptr, true);
        tool.initialize();
        tool.show();
        tool.allowClose = false;
        tool.onClose(false);
        QCOMPARE(tool.maybeSaveCalls, 1);
        QVERIFY(tool.isVisible());

        tool.allowClose = true;
        tool.onClose(false);
        QCOMPARE(tool.maybeSaveCalls, 2);
        QVERIFY(!tool.isVisible());

        tool.show();
        tool.allowClose = false;
        tool.onClose(true);
        QCOMPARE(tool.maybeSaveCalls, 2);
        QVERIFY(!tool.isVisible());
    }
    void settingsRoundTrip() {
        QTemporaryDir dir;
        const QString file = dir.filePath("probe.ini");
        {
            auto s = BaseUsrSettings::fromFile(file);
            s->setValue("winx", 170);
            s->setValue("lastfilepath", QString("/tmp/a b/\"q\""));
            s->sync();
        }
        auto s = BaseUsrSettings::fromFile(file);
        QCOMPARE(s->value("winx").toInt(), 170);
        QCOMPARE(s->value("lastfilepath").toString(), QString("/tmp/a b/\"q\""));

        // Tools keep their settings apart, in the folder the environment names.
        qputenv("ONDREL_SETTINGS_DIR", dir.path().toLocal8Bit());
        ProbeTool tool(nullptr, true);
        tool.usrSettings()->setValue("winwidth", 640);
        tool.usrSettings()->sync();
        QVERIFY(QFile::exists(dir.filePath("PROBE.ini")));
        QCOMPARE(BaseUsrSettings("PROBE").value("winwidth").toInt(), 640);
        QVERIFY(!BaseUsrSettings("OTHER").contains("winwidth"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
