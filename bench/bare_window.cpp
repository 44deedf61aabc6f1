// Shows a bare main window and exits as soon as it is on screen and the event
// queue is drained: the cost of starting any Qt widget program here.
// With --text the window shows one line of text, which makes Qt load the
// font database (a large share of any real window's start-up).
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    if (app.arguments().contains(QStringLiteral("--text")))
        window.setCentralWidget(new QLabel(QStringLiteral("Ondrel")));
    window.resize(900, 700);
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.windowHandle() && window.windowHandle()->isExposed()) {
            poll.stop();
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        }
    });
    poll.start(1);
    return app.exec();
}
