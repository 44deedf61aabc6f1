// What a new user met on the first day at the bench, on the whole window:
// a core switch shows only the new core's pages, each page opens its help,
// and a theme switch reaches every page's widgets both ways.

#include "demofixture.h"
#include "recordinghost.h"

#include "shell/onagui.h"
#include "shell/rightview.h"

#include "basgui/basehelp.h"
#include "basgui/helpbrowser.h"
#include "onadata.h"
#include "theme/themesetting.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

class TstBench : public DemoTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openDemo()); }
    void cleanup() { closeDemo(); }
    void coreSwitchShowsOnlyTheCurrentPage() {
        m_gui->resize(1600, 1000);
        m_gui->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_gui.get()));
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        QComboBox* selector = m_gui->coreSelector();
        for (const QString& core : {u"board_ctrl"_s, u"bus_la"_s, u"board_ctrl"_s, u"uart_la"_s}) {
            selector->setCurrentIndex(selector->findText(core));
            QCOMPARE(OnaData::inst()->getCoreName(-1), core);
            QWidget* stack = tabs->currentWidget()->parentWidget();
            for (QWidget* w : m_gui->findChildren<QWidget*>()) {
                if (w == stack || !w->isVisible() || !stack->isAncestorOf(w))
                    continue;
                QWidget* page = w;
                while (page->parentWidget() != stack)
                    page = page->parentWidget();
                QVERIFY2(page == tabs->currentWidget(),
                         qPrintable(u"%1: %2 of a page that is not current is drawn"_s.arg(
                             core, QString::fromLatin1(w->metaObject()->className()))));
            }
        }
    }
    void everyPageOpensItsOwnHelp() {
        m_gui->show();
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        QComboBox* selector = m_gui->coreSelector();
        QStringList topics;
        for (const QString& core : {u"board_ctrl"_s, u"uart_la"_s}) {
            selector->setCurrentIndex(selector->findText(core));
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                QKeyEvent f1(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier);
                QApplication::sendEvent(tabs->currentWidget(), &f1);
                vemo::basgui::HelpBrowser* help = vemo::basgui::BaseHelp::browser();
                QVERIFY(help && help->isVisible());
                const QString topic = help->currentTopic();
                QCOMPARE(topic, tabs->tabText(i)
                                    .replace(u' ', u'_')
                                    .replace(u"LA_Trigger"_s, u"Trigger_Signal_Setup"_s)
                                    .replace(u"LA_Waveform"_s, u"Waveform_View"_s));
                QVERIFY2(QFile::exists(QStringLiteral(ONDREL_SOURCE_DIR "/docs/help/") + topic + u".html"_s),
                         qPrintable(topic));
                // Escape closes the help window.
                QTest::keyClick(help, Qt::Key_Escape);
                QVERIFY(!help->isVisible());
                topics << topic;
            }
        }
        QCOMPARE(topics.size(), 11);
    }
    void themeSwitchReachesEveryWidgetBothWays() {
        QTest::failOnWarning(QRegularExpression(u"Could not parse"_s));
        m_gui->show();
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        QComboBox* selector = m_gui->coreSelector();
        // Every page of both kinds of core built, so each has its widgets.
        for (const QString& core : {u"board_ctrl"_s, u"uart_la"_s}) {
            selector->setCurrentIndex(selector->findText(core));
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setCurrentIndex(i);
        }
        const QString before = vemo::theme::ThemeSetting::style();
        const auto apply = [](const QString& theme) {
            vemo::theme::ThemeSetting::setStyle(theme);
            vemo::theme::ThemeSetting::applyTo(qApp);
            QCoreApplication::processEvents();
        };
        // Each widget's background roles, its style sheet's own colours aside.
        const auto backgrounds = [this] {
            QHash<QWidget*, QPair<QRgb, QRgb>> out;
            for (QWidget* w : m_gui->findChildren<QWidget*>())
                if (!w->styleSheet().contains(u"background"_s))
                    out.insert(
                        w, {w->palette().color(QPalette::Base).rgba(), w->palette().color(QPalette::Window).rgba()});
            return out;
        };
        apply(u"light"_s);
        const auto light = backgrounds();
        apply(u"dark"_s);
        const auto dark = backgrounds();
        apply(u"light"_s);
        const auto back = backgrounds();
        QStringList stale;
        for (auto it = light.cbegin(); it != light.cend(); ++it) {
            const QString name =
                QString::fromLatin1(it.key()->metaObject()->className()) + u' ' + it.key()->objectName();
            if (dark.value(it.key()).first == it.value().first || dark.value(it.key()).second == it.value().second)
                stale << u"stays light in dark: "_s + name;
            if (back.value(it.key()) != it.value())
                stale << u"stays dark in light: "_s + name;
        }
        stale.removeDuplicates();
        QVERIFY2(stale.isEmpty(), qPrintable(stale.mid(0, 8).join(u", "_s)));
        vemo::theme::ThemeSetting::setStyle(before);
        vemo::theme::ThemeSetting::applyTo(qApp);
    }
};

QTEST_MAIN(TstBench)
#include "tst_bench.moc"
