// How the pages sit on the screen and what they say after an action, as a
// new user at the bench meets them: the tool bar at the default size, fields
// as wide as their values, register values shown whole, status that looks
// like status, all hard IP panels folded at once, token files from buttons,
// and Apply, Reload and Dump reported in the message window.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "controller/controlregisterwidget.h"
#include "controller/memoryform.h"
#include "controller/onapathitemeditor.h"
#include "controller/registertab.h"
#include "controller/statusregisterwidget.h"
#include "controller/switchpanel.h"
#include "controller/usermemorytab.h"
#include "controller/usermemorywidget.h"
#include "controller/virtualledswitchtab.h"
#include "hardip/hardiptab.h"
#include "hardip/hardipwidget.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "token/tokendialog.h"
#include "widgets/hexvaluelineedit.h"
#include "widgets/widgetgroupbox.h"

#include "basgui/dialogseam.h"
#include "message/msgmanager.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

QStringList g_messages;
bool recordMessage(const QString&, const QString& text, int) {
    g_messages << text;
    return true;
}

} // namespace

class TstPageLayout : public DemoTest {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(openDemo(u"board_ctrl"_s));
        g_messages.clear();
    }
    void cleanup() {
        vemo::message::msgManager::setSink(nullptr);
        closeDemo();
    }
    void toolBarShowsWholeAtTheDefaultSize() {
        m_gui->resize(900, 700);
        m_gui->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_gui.get()));
        for (QToolBar* bar : m_gui->findChildren<QToolBar*>()) {
            if (!bar->isVisible())
                continue;
            for (QAction* a : bar->actions()) {
                QWidget* w = bar->widgetForAction(a);
                if (!w || a->isSeparator() || !a->isVisible())
                    continue;
                QVERIFY2(w->isVisible() && bar->rect().contains(w->geometry()),
                         qPrintable(u"%1: \"%2\" is cut off at 900 x 700"_s.arg(bar->windowTitle(), a->text())));
            }
        }
    }
    void controllerPagesFitTheirValues() {
        m_gui->resize(1600, 1000);
        m_gui->show();
        QTabWidget* tabs = m_gui->rightView()->tabWidget();

        // The switch value field holds its two digits, not half the page.
        auto* leds = m_gui->rightView()->page<VirtualLEDSwitchTab>();
        tabs->setCurrentWidget(leds);
        HexValueLineEdit* data = leds->switchPanel()->dataEdit();
        QVERIFY2(data->width() < 120, qPrintable(QString::number(data->width())));
        QVERIFY(data->width() > data->fontMetrics().horizontalAdvance(u"0xFF"_s));

        // The register tables take the page's width, and a 96-bit key read
        // in binary wraps in its cell: the row grows to show all of it.
        auto* controlTab = m_gui->rightView()->page<ControlRegisterTab>(u"User Control Register"_s);
        tabs->setCurrentWidget(controlTab);
        ControlRegisterWidget* control = controlTab->controlWidget();
        QTRY_VERIFY(control->width() > 1200);
        QTableView* table = control->tableView();
        const int key = control->rowOf(u"ctrl_key"_s);
        const int plain = table->rowHeight(key);
        QStandardItem* rd = control->model()->item(key, ControlRegisterWidget::RdColumn);
        rd->setData(0, ControlRegisterWidget::RadixRole);
        rd->setText(QString(96, u'1'));
        QVERIFY2(table->rowHeight(key) > plain, qPrintable(u"%1 <= %2"_s.arg(table->rowHeight(key)).arg(plain)));
        QVERIFY(table->columnWidth(ControlRegisterWidget::RdColumn) > 150);
        auto* statusTab = m_gui->rightView()->page<StatusRegisterTab>(u"User Status Register"_s);
        tabs->setCurrentWidget(statusTab);
        QTRY_VERIFY(statusTab->statusWidget()->width() > 1200);

        // Status values are readings, not fields; Collapse all folds every
        // panel, Expand all opens them again.
        auto* hardIp = m_gui->rightView()->page<HardIpTab>();
        tabs->setCurrentWidget(hardIp);
        HardIpWidget* pcs = hardIpPanel(*m_gui, u"PCSCH_0"_s);
        auto* lol = qobject_cast<QLineEdit*>(pcs->control(u"rx_cdr_lol_status"_s));
        QVERIFY(lol && lol->isReadOnly() && !lol->hasFrame() && lol->focusPolicy() == Qt::NoFocus);
        QCOMPARE(hardIp->panels().size(), 10);
        hardIp->collapseAllButton()->click();
        for (HardIpWidget* p : hardIp->panels())
            QVERIFY(!hardIp->groupBox()->isExpanded(p) && !p->isVisible());
        hardIp->expandAllButton()->click();
        for (HardIpWidget* p : hardIp->panels())
            QVERIFY(hardIp->groupBox()->isExpanded(p) && p->isVisible());

        // Token files from buttons, as from the context menu.
        vemo::basgui::ScriptedDialogs dialogs;
        TokenDialog tokens(m_gui.get(), m_gui.get());
        const QString file = m_dir->filePath(u"sets.ont"_s);
        dialogs.files.enqueue(file);
        tokens.exportButton()->click();
        dialogs.files.enqueue(file);
        tokens.importButton()->click();
        QCOMPARE(m_host->startingWith(u"ona_"_s).filter(u"tokenset"_s),
                 (QStringList{u"ona_export_tokenset \"%1\""_s.arg(file), u"ona_import_tokenset \"%1\""_s.arg(file)}));
    }
    void actionsSayWhatTheyDid() {
        vemo::message::msgManager::setSink(&recordMessage);
        HardIpWidget* pcs = hardIpPanel(*m_gui, u"PCSCH_0"_s);
        pcs->applyButton()->click();
        pcs->reloadButton()->click();
        QCOMPARE(g_messages.size(), 2);
        QVERIFY2(g_messages.at(0).startsWith(pcs->name() + u": Apply"_s), qPrintable(g_messages.at(0)));
        QVERIFY2(g_messages.at(1).startsWith(pcs->name() + u": Reload"_s), qPrintable(g_messages.at(1)));

        UserMemoryWidget* memory = m_gui->rightView()->page<UserMemoryTab>()->memoryWidget();
        const QString file = m_dir->filePath(u"words.mem"_s);
        memory->dumpPathEditor()->setText(file);
        memory->offsetEdit()->setText(u"4"_s);
        memory->rangeEdit()->setText(u"8"_s);
        memory->handleDumpButtonClicked();
        QVERIFY(QFile::exists(file));
        QCOMPARE(g_messages.last(), u"User memory: dumped 8 word(s) from 0x4 to %1"_s.arg(file));

        // A failed Apply says so, not that it wrote.
        m_host->refuse = [](const QString& c) { return c.contains(u"-write_ip"_s); };
        g_messages.clear();
        pcs->applyButton()->click();
        QCOMPARE(g_messages.size(), 1);
        QVERIFY2(g_messages.first().contains(u"Apply failed"_s), qPrintable(g_messages.first()));
    }
};

QTEST_MAIN(TstPageLayout)
#include "tst_pagelayout.moc"
