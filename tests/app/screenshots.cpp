// Grabs the main window listing the simulated LAN, as a person would see it,
// into the folder given as the first argument (docs/screenshots in the README).

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

    DevsimProcess sim;
    if (!sim.started()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    lv::SessionState state;
    state.broadcast = QHostAddress(QStringLiteral("127.255.255.255"));
    state.gCmdPort = QString::number(sim.port());
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
    const QString path = dir + QStringLiteral("/main-window.png");
    if (!window.grab().save(path))
        return 1;
    std::printf("%s\n", qPrintable(path));
    return 0;
}
