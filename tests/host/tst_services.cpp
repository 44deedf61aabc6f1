#include <QtTest>
#include <QtWidgets>

#include "basgui/basehelp.h"
#include "basgui/baseicon.h"
#include "message/msgmanager.h"
#include "project/vemoprojectmanager.h"
#include "settings/baseusrsettings.h"
#include "theme/themesetting.h"
#include "testfiles.h"

#include <unistd.h>
#include <cstdio>

using namespace vemo;
using namespace Qt::StringLiterals;

// Catalogue, theme, icons, project manager and help lookup: the host
// services a tool calls without showing a window.
class TestServices : public QObject {
    Q_OBJECT
private slots:
    void init() {
        // The tool's catalogue, given to the host as the tool gives it.
        message::msgManager::registerCatalogue(
            u"analyzer"_s, QStringLiteral(ONDREL_SOURCE_DIR "/toolona/resources/messages/analyzer.json"));
        qunsetenv("ONDREL_THEME");
        qunsetenv("ONDREL_HELP_DIR");
        theme::ThemeSetting::reload();
    }
    void catalogueSubstitution() {
        message::msgManager m("analyzer");
        // An argument that holds a placeholder is not substituted again.
        QCOMPARE(m.retrieveMsgString("9992", {u"50%1 done %2"_s}), u"50%1 done %2"_s);
        QCOMPARE(message::msgManager::substitute(u"%1-%2"_s, {u"%2"_s, u"x"_s}), u"%2-x"_s);
        // Order in the text need not follow argument order; repeats are filled too.
        QCOMPARE(message::msgManager::substitute(u"%2/%1/%2"_s, {u"a"_s, u"b"_s}), u"b/a/b"_s);
        // Placeholders without an argument stay visible; unused arguments are kept.
        QCOMPARE(message::msgManager::substitute(u"%1 and %3"_s, {u"a"_s}), u"a and %3"_s);
        QCOMPARE(message::msgManager::substitute(u"ready."_s, {u"extra"_s}), u"ready. extra"_s);
        QCOMPARE(message::msgManager::substitute(u"100% sure: %1"_s, {u"x"_s}), u"100% sure: x"_s);
        // Two-digit placeholders.
        QStringList ten;
        for (int i = 1; i <= 10; ++i)
            ten << QString::number(i * 11);
        QCOMPARE(message::msgManager::substitute(u"%10,%1"_s, ten), u"110,11 22 33 44 55 66 77 88 99"_s);

        // postMsg's argument conversion: no text, UTF-8 bytes.
        QCOMPARE(message::toMsgArg(static_cast<const char*>(nullptr)), QString());
        QCOMPARE(message::toMsgArg(QByteArray("b\xc3\xa4")), QString::fromUtf8("b\xc3\xa4"));

        // Unknown ids and categories are reported, not dropped.
        const QString unknown = m.retrieveMsgString("4711", {u"arg"_s});
        QVERIFY(unknown.contains(QLatin1String("Unknown message 4711")) && unknown.contains(QLatin1String("arg")));
        message::msgManager none("no_such_category");
        QVERIFY(none.retrieveMsgString("0000").contains(QLatin1String("no_such_category")));
        QCOMPARE(m.displayId("0002"), u"ONA-0002"_s);
    }
    void catalogueTypesAndFiles() {
        message::msgManager m("analyzer");
        QCOMPARE(m.retrieveMsgType("4711"), int(message::MsgWarning));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        auto write = [&](const QString& name, const QByteArray& text) { QVERIFY(writeAll(dir.filePath(name), text)); };
        write("good.json", R"({"category": "testcat", "prefix": "TST", "messages": {
        "0100": {"type": "warning", "text": "disk %1 nearly full"},
        "0200": {"type": "error", "text": "cannot open %1: %2"},
        "0300": {"text": "no type means info"}}})");
        QString error;
        QVERIFY2(message::msgManager::loadCatalogue(dir.filePath("good.json"), &error), qPrintable(error));
        message::msgManager t("testcat");
        QCOMPARE(t.retrieveMsgType("0200"), int(message::MsgError));
        QCOMPARE(t.retrieveMsgType("0300"), int(message::MsgInfo));
        QCOMPARE(t.retrieveMsgString("0200", {u"a.ona"_s, u"%1 denied"_s}), u"cannot open a.ona: %1 denied"_s);
        QCOMPARE(t.displayId("0100"), u"TST-0100"_s);

        // A later file overrides single messages and keeps the rest.
        write("override.json", R"({"category": "testcat", "messages": {"0100": {"type": "info", "text": "changed"}}})");
        QVERIFY(message::msgManager::loadCatalogue(dir.filePath("override.json"), &error));
        QCOMPARE(t.retrieveMsgString("0100"), u"changed"_s);
        QCOMPARE(t.retrieveMsgType("0200"), int(message::MsgError));

        // Bad files are refused whole, with a reason, and change nothing.
        write("badtype.json", R"({"category": "testcat", "messages": {
        "0300": {"type": "info", "text": "would change"}, "0400": {"type": "fatal", "text": "x"}}})");
        QVERIFY(!message::msgManager::loadCatalogue(dir.filePath("badtype.json"), &error));
        QVERIFY2(error.contains(QLatin1String("0400")) && error.contains(QLatin1String("fatal")), qPrintable(error));
        QCOMPARE(t.retrieveMsgString("0300"), u"no type means info"_s);
        write("broken.json", "{\"category\": ");
        QVERIFY(!message::msgManager::loadCatalogue(dir.filePath("broken.json"), &error));
        QVERIFY(error.contains(QLatin1String("JSON")));
        write("nocat.json", R"({"messages": {}})");
        QVERIFY(!message::msgManager::loadCatalogue(dir.filePath("nocat.json"), &error));
        QVERIFY(!message::msgManager::loadCatalogue(dir.filePath("missing.json"), &error));
        QVERIFY(error.contains(QLatin1String("missing.json")));
    }
    void postingWithoutWindowGoesToStderr() {
        QTemporaryFile capture;
        QVERIFY(capture.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        QVERIFY(saved >= 0 && dup2(capture.handle(), STDERR_FILENO) >= 0);
        message::msgManager m("analyzer");
        m.postMsg("9992", std::string("batch line %1"));
        m.postMsg("4711");
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);

        capture.seek(0);
        const QString out = QString::fromLocal8Bit(capture.readAll());
        QVERIFY2(out.contains(QLatin1String("[Info] ONA-9992: batch line %1\n")), qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("[Warning] ONA-4711: Unknown message 4711")), qPrintable(out));
    }
    void themeSelection() {
        using theme::ThemeSetting;
        basgui::BaseUsrSettings host(u"host"_s);
        host.remove(u"theme_style"_s);
        host.sync();
        ThemeSetting::reload();
        QCOMPARE(ThemeSetting::get(u"theme_style"_s).toString(), u"light"_s);
        QVERIFY(!ThemeSetting::isDark());

        QVERIFY(ThemeSetting::setStyle(u"dark"_s) && ThemeSetting::isDark());
        // The choice is stored in the host's settings, where a new process finds it.
        QCOMPARE(basgui::BaseUsrSettings(u"host"_s).value(u"theme_style"_s).toString(), u"dark"_s);
        QVERIFY(!ThemeSetting::setStyle(u"purple"_s) && ThemeSetting::isDark());

        // The environment wins over the setting, either way.
        qputenv("ONDREL_THEME", "light");
        ThemeSetting::reload();
        QVERIFY(!ThemeSetting::isDark() && ThemeSetting::setStyle(u"dark"_s) && !ThemeSetting::isDark());
        ThemeSetting::setStyle(u"light"_s);
        qputenv("ONDREL_THEME", "Dark");
        ThemeSetting::reload();
        QVERIFY(ThemeSetting::isDark());
        // A value that is neither leaves the choice to the setting.
        qputenv("ONDREL_THEME", "sepia");
        ThemeSetting::reload();
        QVERIFY(!ThemeSetting::isDark());
    }
    void themePaletteColoursAndIcons() {
        using theme::ThemeSetting;
        qputenv("ONDREL_THEME", "dark");
        ThemeSetting::reload();
        const QPalette dark = ThemeSetting::palette();
        qputenv("ONDREL_THEME", "light");
        ThemeSetting::reload();
        const QPalette light = ThemeSetting::palette();

        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            QVERIFY2(dark.color(role).lightness() < 80, qPrintable(dark.color(role).name()));
            QVERIFY2(light.color(role).lightness() > 200, qPrintable(light.color(role).name()));
        }
        // Text must stand out from its background in both.
        for (const QPalette& p : {dark, light}) {
            QVERIFY(qAbs(p.color(QPalette::WindowText).lightness() - p.color(QPalette::Window).lightness()) > 120);
            QVERIFY(qAbs(p.color(QPalette::Text).lightness() - p.color(QPalette::Base).lightness()) > 120);
            QVERIFY(qAbs(p.color(QPalette::Disabled, QPalette::Text).lightness() -
                         p.color(QPalette::Text).lightness()) > 30);
        }

        // Every named colour exists in both themes; unknown names give nothing.
        for (const char* style : {"dark", "light"}) {
            qputenv("ONDREL_THEME", style);
            ThemeSetting::reload();
            for (const QString& name : ThemeSetting::colourNames())
                QVERIFY2(ThemeSetting::get(name).value<QColor>().isValid(), qPrintable(name));
        }
        QVERIFY(!ThemeSetting::get(u"no_such_colour"_s).isValid());

        // Icons: each size from its own file, the nearest larger one for a
        // size between, greyed when disabled; a name that is no file's gives
        // nothing.
        const QIcon copy = ThemeSetting::icon(u"copy"_s);
        QVERIFY(!copy.isNull());
        QCOMPARE(copy.availableSizes(), (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}}));
        const QImage small = copy.pixmap(16).toImage();
        QCOMPARE(small.size(), QSize(16, 16));
        QCOMPARE(small, QImage(u":/host/icons/light/copy_16.png"_s).convertToFormat(small.format()));
        QCOMPARE(copy.pixmap(20).size(), QSize(20, 20));
        QVERIFY(copy.pixmap(24, QIcon::Disabled).toImage() != copy.pixmap(24).toImage());
        QVERIFY(ThemeSetting::icon(u"no_such_icon"_s).isNull());
        QVERIFY(ThemeSetting::icon(u"../copy"_s).isNull());

        qputenv("ONDREL_THEME", "dark");
        ThemeSetting::reload();
        ThemeSetting::applyTo(qApp);
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 80);

        // An unchecked box in a table must still be visible on the dark base.
        const QColor base = QApplication::palette().color(QPalette::Base);
        QImage img(16, 16, QImage::Format_RGB32);
        img.fill(base);
        {
            QPainter painter(&img);
            QStyleOptionViewItem opt;
            opt.rect = img.rect();
            opt.palette = QApplication::palette();
            opt.state = QStyle::State_Enabled | QStyle::State_Off;
            QApplication::style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &opt, &painter);
        }
        int contrast = 0;
        for (int x = 0; x < 16; ++x)
            contrast = qMax(contrast, qAbs(QColor(img.pixel(x, 0)).lightness() - base.lightness()));
        QVERIFY(contrast >= 40);
        ThemeSetting::applyTo(nullptr); // harmless

        // The host's icons in both themes.
        const QStringList required{"dock_view", "undock_view", "cut", "copy", "paste"};
        for (const char* style : {"light", "dark"}) {
            qputenv("ONDREL_THEME", style);
            theme::ThemeSetting::reload();
            for (const QString& name : required) {
                const QIcon icon = basgui::BaseIcon::getIcon(name);
                QVERIFY2(!icon.isNull() && !icon.pixmap(24, 24).isNull(), qPrintable(name));
            }
            for (const QString& name : basgui::BaseIcon::names())
                QVERIFY2(!basgui::BaseIcon::getIcon(name).isNull(), qPrintable(name));
        }
        // The variants differ: a light icon on a dark theme would vanish.
        qputenv("ONDREL_THEME", "light");
        theme::ThemeSetting::reload();
        const QImage lightCut = basgui::BaseIcon::getIcon(u"cut"_s).pixmap(16, 16).toImage();
        qputenv("ONDREL_THEME", "dark");
        theme::ThemeSetting::reload();
        const QImage darkCut = basgui::BaseIcon::getIcon(u"cut"_s).pixmap(16, 16).toImage();
        QVERIFY(lightCut != darkCut);

        for (const char* bad : {"", "no_such_icon", "../dark/cut", "cut_16", "CUT", "cut.png"})
            QVERIFY2(basgui::BaseIcon::getIcon(QString::fromLatin1(bad)).isNull(), bad);
    }
    void projectTaskStatus() {
        VemoProjectManager& pm = VemoProjectManager::getProjectManager();
        VemoImplementation* impl = pm.getDefaultImplementation();
        QVERIFY(impl);
        pm.reset();

        // Unknown tasks have not run.
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", 0, true, true), int(VemoImplementation::TaskNotRun));

        const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        impl->setTaskStatus("Export", "Map", VemoImplementation::TaskDone, t0);
        impl->setTaskStatus("Export", "Bitgen", VemoImplementation::TaskDone, t0.addSecs(60));
        const quint32 before = quint32(t0.toSecsSinceEpoch() + 30);
        const quint32 after = quint32(t0.addSecs(120).toSecsSinceEpoch());

        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", before, true, true), int(VemoImplementation::TaskDone));
        // Debug logic changed after the bitstream was made: out of date.
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", after, true, true),
                 int(VemoImplementation::TaskOutOfDate));
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", after, false, true), int(VemoImplementation::TaskDone));

        // An earlier task of the step that ran again makes the later one stale.
        impl->setTaskStatus("Export", "Map", VemoImplementation::TaskDone, t0.addSecs(90));
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", before, true, true),
                 int(VemoImplementation::TaskOutOfDate));
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", before, true, false),
                 int(VemoImplementation::TaskDone));
        impl->setTaskStatus("Export", "Map", VemoImplementation::TaskFailed);
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", before, false, true),
                 int(VemoImplementation::TaskOutOfDate));
        // Tasks of other steps do not count.
        impl->setTaskStatus("Export", "Map", VemoImplementation::TaskDone, t0);
        impl->setTaskStatus("Synthesis", "Synplify", VemoImplementation::TaskFailed);
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", before, true, true), int(VemoImplementation::TaskDone));

        // States other than done are reported as they are.
        impl->setTaskStatus("Export", "Bitgen", VemoImplementation::TaskFailed);
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", 0, true, true), int(VemoImplementation::TaskFailed));
        impl->removeTask("Export", "Bitgen");
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Bitgen", 0, true, true), int(VemoImplementation::TaskNotRun));
        pm.reset();
        QCOMPARE(impl->getCheckedTaskStatus("Export", "Map", 0, false, false), int(VemoImplementation::TaskNotRun));
    }
    void projectResources() {
        VemoProjectManager& pm = VemoProjectManager::getProjectManager();
        pm.reset();
        VemoImplementation* impl = pm.getDefaultImplementation();

        QVERIFY(!impl->getResource(u"/proj/a.ona"_s));
        VemoResource* r = impl->addResource(u"/proj/debug/a.ona"_s);
        QVERIFY(r);
        QCOMPARE(impl->addResource(u"/proj/debug/a.ona"_s), r); // no duplicate

        // The tool asks with the Latin-1 bytes of its path.
        const QString path = u"/proj/debug/a.ona"_s;
        QCOMPARE(impl->getResource(path.toLatin1().constData()), r);
        QCOMPARE(impl->getResource(u"/proj//debug/../debug/a.ona"_s), r);
        QVERIFY(!impl->getResource(u"/proj/debug/b.ona"_s) && !impl->getResource(static_cast<const char*>(nullptr)));
        QVERIFY(!impl->getResource(QString()));

        r->addAssociated(u"impl1"_s, false);
        r->addAssociated(u"impl2"_s, true);
        r->addAssociated(u"impl1"_s, true); // updates in place
        QCOMPARE(r->associated().size(), 2);
        QVERIFY(r->associated().first().state && !r->setAssociatedState(u"impl9"_s, true));
        r->removeAssociated(u"impl1"_s);
        QCOMPARE(r->associated().first().name, u"impl2"_s);

        impl->removeResource(u"/proj/debug/a.ona"_s);
        QVERIFY(!impl->getResource(path));
    }
    void helpLookupAndWhatsThis() {
        basgui::BaseHelp help(u"ONL_ANALYZER"_s);
        // The shipped pages are found (through the docs folder in a build tree).
        for (const char* topic :
             {"ONL_ANALYZER", "Trigger_Signal_Setup", "Waveform_View", "specify_clock_frequency", "Token_Manager"})
            QVERIFY2(!help.helpFile(QLatin1String(topic)).isEmpty(), topic);
        QVERIFY(help.helpFile(u"No_Such_Topic"_s).isEmpty());
        for (const char* bad : {"", "../help/ONL_ANALYZER", "help/ONL_ANALYZER", "/etc/passwd", ".hidden", "a b"})
            QVERIFY2(help.helpFile(QLatin1String(bad)).isEmpty(), bad);

        // $ONDREL_HELP_DIR comes before added paths, which come before the docs.
        QTemporaryDir envDir, addedDir;
        auto page = [](const QTemporaryDir& d, const QString& topic) {
            QVERIFY(writeAll(d.filePath(topic + u".html"_s), "<html><body>override</body></html>"));
        };
        page(envDir, u"Waveform_View"_s);
        page(addedDir, u"Waveform_View"_s);
        page(addedDir, u"Only_Added"_s);
        basgui::BaseHelp::addSearchPath(addedDir.path());
        QCOMPARE(help.helpFile(u"Waveform_View"_s), addedDir.filePath("Waveform_View.html"));
        QCOMPARE(help.helpFile(u"Only_Added"_s), addedDir.filePath("Only_Added.html"));
        qputenv("ONDREL_HELP_DIR", envDir.path().toLocal8Bit());
        QCOMPARE(help.helpFile(u"Waveform_View"_s), envDir.filePath("Waveform_View.html"));
        QCOMPARE(help.helpFile(u"Only_Added"_s), addedDir.filePath("Only_Added.html"));
        // Relative files stay inside the folders.
        QVERIFY(basgui::BaseHelp::locate(u"../"_s + QFileInfo(envDir.path()).fileName() + u"/Waveform_View.html"_s)
                    .isEmpty());
        QVERIFY(basgui::BaseHelp::locate(u"/etc/hostname"_s).isEmpty());

        // What's This texts by topic and entry.
        QVERIFY(!help.getWhatsThisText(u"Token_Manager"_s, u"Token_Sets"_s).isEmpty());
        QVERIFY(!help.getWhatsThisText(u"specify_clock_frequency"_s, u"Period"_s).isEmpty());
        // A single name asks for the topic's own entry.
        QVERIFY(!help.getWhatsThisText(u"Bus_Radix"_s, QString()).isEmpty());
        QVERIFY(!help.getWhatsThisText(u"Bus_Radix"_s, u"Bus_Radix"_s).isEmpty());
        QVERIFY(help.getWhatsThisText(u"Token_Manager"_s, u"Nope"_s).isEmpty());
        QVERIFY(help.getWhatsThisText(u"Nope"_s, u"Period"_s).isEmpty());
        QVERIFY(help.getWhatsThisText(QString(), QString()).isEmpty());

        // A folder earlier in the lookup overrides single entries only.
        QTemporaryDir dir;
        const auto write = [&](const QByteArray& text) { QVERIFY(writeAll(dir.filePath(u"whatsthis.json"_s), text)); };
        write(R"({"specify_clock_frequency": {"Period": "site text"}, "Custom": "topic text"})");
        qputenv("ONDREL_HELP_DIR", dir.path().toLocal8Bit());
        QCOMPARE(help.getWhatsThisText(u"specify_clock_frequency"_s, u"Period"_s), u"site text"_s);
        QVERIFY(!help.getWhatsThisText(u"specify_clock_frequency"_s, u"Frequency"_s).isEmpty());
        QCOMPARE(help.getWhatsThisText(u"Custom"_s, QString()), u"topic text"_s);
        // A broken file is skipped, not fatal.
        write("{broken");
        QVERIFY(!help.getWhatsThisText(u"specify_clock_frequency"_s, u"Period"_s).isEmpty());
    }
    void helpPagesLinkToExistingPages() {
        const QDir docs(QStringLiteral(ONDREL_SOURCE_DIR "/docs/help"));
        const QStringList pages = docs.entryList({u"*.html"_s});
        QVERIFY(pages.size() >= 5);
        static const QRegularExpression href(u"href=\"([^\"]*)\""_s);
        static const QRegularExpression title(u"<title>[^<]+</title>"_s);
        for (const QString& name : pages) {
            const QString html = QString::fromUtf8(readAll(docs.filePath(name))); // a page not read has no title
            QVERIFY2(title.match(html).hasMatch(), qPrintable(name + u": no title"_s));
            for (auto it = href.globalMatch(html); it.hasNext();) {
                const QString target = it.next().captured(1);
                if (target.startsWith(QLatin1String("http")) || target.startsWith(QLatin1Char('#')))
                    continue;
                const QString file = target.section(QLatin1Char('#'), 0, 0);
                QVERIFY2(docs.exists(file), qPrintable(name + u" links to missing "_s + target));
            }
        }
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
