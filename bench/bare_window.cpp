// Shows a bare main window, says "window on screen" once it is, and exits
// when the event queue is drained: the cost of starting any Qt widget program here.
// With --text the window shows one line of text, which makes Qt load the
// font database (a large share of any real window's start-up).
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>

#include <cstdio>

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
            std::fputs("window on screen\n", stdout);
            std::fflush(stdout);
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        }
    });
    poll.start(1);
    return app.exec();
}
