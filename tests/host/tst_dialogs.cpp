#include <QtTest>

#include <QDialog>

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"

using namespace vemo::basgui;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void scriptedAnswersRecordsAndCancels() {
        DialogProvider* real = Dialogs::provider();
        {
            ScriptedDialogs dialogs;
            QCOMPARE(Dialogs::provider(), &dialogs);
            dialogs.buttons << QMessageBox::Yes;
            dialogs.customAnswers << 2;
            dialogs.files << "/tmp/x.ona";
            dialogs.colors << QColor(Qt::red);
            dialogs.onDialog = [](QDialog* d) { return d->windowTitle() == "Pick" ? int(QDialog::Accepted) : 0; };

            QCOMPARE(
                Dialogs::message(QMessageBox::Question, nullptr, "Cap", "Sure?", QMessageBox::Yes | QMessageBox::No),
                QMessageBox::Yes);
            QCOMPARE(Dialogs::provider()->customMessageBox(QMessageBox::Warning, nullptr, "Cap", "Which?",
                                                           {"Yes", "Ignore once", "Never"}),
                     2);
            QCOMPARE(Dialogs::provider()->getSaveFileName(nullptr, "Save", "/tmp", "A (*.ona)"), QString("/tmp/x.ona"));
            QCOMPARE(Dialogs::provider()->getColor(Qt::blue, nullptr, "Colour"), QColor(Qt::red));
            QDialog pick;
            pick.setWindowTitle("Pick");
            QCOMPARE(Dialogs::provider()->execDialog(&pick), int(QDialog::Accepted));

            QCOMPARE(dialogs.asked.size(), 5);
            QCOMPARE(dialogs.asked[0].text, QString("Sure?"));
            QCOMPARE(dialogs.asked[0].icon, QMessageBox::Question);
            QCOMPARE(dialogs.asked[1].buttons, (QStringList{"Yes", "Ignore once", "Never"}));
            QCOMPARE(dialogs.asked[2].filter, QString("A (*.ona)"));
            QCOMPARE(dialogs.asked[2].dir, QString("/tmp"));
            QCOMPARE(dialogs.asked[4].caption, QString("Pick"));

            // Questions nobody answered are cancelled.
            dialogs.onDialog = nullptr;
            QCOMPARE(Dialogs::message(QMessageBox::Question, nullptr, "C", "t",
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel),
                     QMessageBox::Cancel);
            QCOMPARE(Dialogs::message(QMessageBox::Question, nullptr, "C", "t", QMessageBox::Yes | QMessageBox::No),
                     QMessageBox::No);
            QCOMPARE(Dialogs::message(QMessageBox::Critical, nullptr, "C", "t"), QMessageBox::Ok);
            QCOMPARE(Dialogs::provider()->customMessageBox(QMessageBox::Warning, nullptr, "C", "t", {"a"}), -1);
            QVERIFY(Dialogs::provider()->getOpenFileName(nullptr, "O", ".", "").isEmpty());
            QVERIFY(!Dialogs::provider()->getColor(Qt::blue, nullptr, "c").isValid());
            QDialog d;
            QCOMPARE(Dialogs::provider()->execDialog(&d), int(QDialog::Rejected));
        }
        QCOMPARE(Dialogs::provider(), real);
    }
    void busyCursorRestoredOnEveryPath() {
        QVERIFY(!QApplication::overrideCursor());
        auto work = [](bool fail) {
            BusyCursor busy;
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
            if (fail)
                throw std::runtime_error("device did not answer");
        };
        work(false);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, work(true));
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
