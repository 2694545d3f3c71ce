// Grabs the main window listing the simulated LAN, as a person would see it,
// into the folder given as the first argument (docs/screenshots in the README):
// after a search, and after a double-click on a device that does not answer.

#include "mainwindow.h"

#include "devsimprocess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);

    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("silent@KR-770A")});
    if (!sim.started()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    lv::SessionState state;
    state.broadcast = QHostAddress(QStringLiteral("127.255.255.255"));
    state.gCmdPort = sim.port();
    lv::MainWindow window(state);
    window.show();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    auto* list = window.findChild<QListView*>(QStringLiteral("lstDev"));
    QElapsedTimer t;
    t.start();
    while (list->model()->rowCount() < 21 && t.elapsed() < 5000)
        QTest::qWait(20);
    list->setCurrentIndex(list->model()->index(2, 0));
    QTest::qWait(200);
    const auto save = [&](const char* name) {
        const QString path = dir + QStringLiteral("/") + QString::fromLatin1(name);
        if (!window.grab().save(path))
            return false;
        std::printf("%s\n", qPrintable(path));
        return true;
    };
    if (!save("main-window.png"))
        return 1;
    // The KR-770A of the third line is silent: the status bar says so after the request's second.
    window.lstDev_DblClick();
    QTest::qWait(100);
    return save("main-window-silent.png") ? 0 : 1;
}
