// SPDX-License-Identifier: Apache-2.0
// Grabs the main window listing the simulated LAN, as a person would see it, into the folder given as
// the first argument (docs/screenshots in the README): after a search in the default font and in an
// 11-point one, a setup window with two changed fields, the status bar after a double-click on a
// device that does not answer, the preview of a change of every device, and a dark palette with two
// devices sharing an IP address.

#include "mainwindow.h"

#include "bulkdialog.h"
#include "devsimprocess.h"
#include "setupwindow.h"
#include "windowhost.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

QString g_dir;

bool save(QWidget& widget, const char* name)
{
    const QString path = g_dir + QStringLiteral("/") + QString::fromLatin1(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QListView* listOf(lv::MainWindow& window)
{
    return window.findChild<QListView*>(QStringLiteral("lstDev"));
}

bool search(lv::MainWindow& window, int count = 21)
{
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    QElapsedTimer t;
    t.start();
    while (listOf(window)->model()->rowCount() < count && t.elapsed() < 5000)
        QTest::qWait(20);
    QTest::qWait(200);
    return listOf(window)->model()->rowCount() >= count;
}

void select(lv::MainWindow& window, int row)
{
    QListView* list = listOf(window);
    list->setCurrentIndex(list->model()->index(row, 0));
}

QString lineOf(lv::MainWindow& window, int row)
{
    return listOf(window)->model()->index(row, 0).data().toString();
}

// Opens the device at `row` and runs `act` on its setup window once the window shows; `act` closes it.
void openDevice(lv::MainWindow& window, int row, const std::function<void(lv::SetupWindow*)>& act)
{
    lv::WindowHost::setObserver([act](QDialog* dialog) {
        auto* setup = qobject_cast<lv::SetupWindow*>(dialog);
        QTimer::singleShot(0, dialog, [act, setup] { act(setup); });
    });
    select(window, row);
    window.lstDev_DblClick();
    lv::WindowHost::setObserver({});
}

QLineEdit* fieldOfTag(lv::SetupWindow* setup, const std::string& tag)
{
    const lv::FieldDef* field = setup->windowDef().fieldByTag(tag);
    return field ? qobject_cast<QLineEdit*>(setup->control(field->control)) : nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_dir);

    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("silent@KR-770A")});
    if (!sim.started()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    lv::SessionState state;
    state.broadcast = QHostAddress(QStringLiteral("127.255.255.255"));
    state.gCmdPort = sim.port();
    bool ok = true;

    lv::MainWindow window(state);
    window.show();
    ok = search(window) && ok;
    select(window, 2);
    QTest::qWait(200);
    ok = save(window, "main-window.png") && ok;

    // The first device's window with its device ID and one list changed: both set in bold.
    openDevice(window, 0, [&](lv::SetupWindow* setup) {
        if (QLineEdit* id = fieldOfTag(setup, setup->windowDef().deviceIdTag))
            id->setText(id->text() + QStringLiteral("-NEW"));
        for (const lv::FieldDef& field : setup->windowDef().fields)
            if (auto* combo = qobject_cast<QComboBox*>(setup->control(field.control));
                combo && field.enabled && combo->count() > 1) {
                combo->setCurrentIndex(combo->currentIndex() == 0 ? 1 : 0);
                break;
            }
        QTest::qWait(100);
        ok = save(*setup, "setup-changed-fields.png") && ok;
        setup->reject();
    });

    // The KR-770A of the third line is silent: the status bar says so after the request's second.
    select(window, 2);
    window.lstDev_DblClick();
    QTest::qWait(100);
    ok = save(window, "main-window-silent.png") && ok;

    // Every device selected and numbered: the bulk change's preview, loaded -> new per field.
    window.findChild<QListView*>(QStringLiteral("lstDev"))->selectAll();
    QTimer::singleShot(0, &window, [&ok] {
        auto* dialog = qobject_cast<lv::BulkDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ok = false;
            return;
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdPreview")), Qt::LeftButton);
        auto* apply = dialog->findChild<QPushButton*>(QStringLiteral("cmdApply"));
        QTest::qWaitFor([apply] { return apply->isEnabled(); }, 10000);
        QTest::qWait(100);
        ok = save(*dialog, "bulk-preview.png") && ok;
        dialog->done(QDialog::Rejected);
    });
    window.findChild<QAction*>(QStringLiteral("mnuBulk_NumberDevices"))->trigger();

    // The same LAN in an 11-point font.
    {
        lv::MainWindow large(state);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(11);
        large.setFont(font);
        large.show();
        ok = search(large) && ok;
        QTest::qWait(200);
        ok = save(large, "main-window-large-font.png") && ok;
    }

    // The second device takes the first one's IP address through its window's Update; the next search
    // marks both lines. Then the same window in a dark palette.
    const QString firstIp = lineOf(window, 0).mid(43).section(QLatin1Char(' '), 0, 0);
    openDevice(window, 1, [&](lv::SetupWindow* setup) {
        if (QLineEdit* ip = fieldOfTag(setup, setup->windowDef().ipTag))
            ip->setText(firstIp);
        QTest::mouseClick(setup->findChild<QPushButton*>(QStringLiteral("cmdUpdate")), Qt::LeftButton);
        if (setup->isVisible())
            setup->reject();
    });
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Highlight, QColor(0x2f, 0x65, 0xca));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    app.setPalette(dark);
    ok = search(window) && ok;
    select(window, 5);
    QTest::qWait(200);
    ok = save(window, "main-window-dark.png") && ok;
    return ok ? 0 : 1;
}
