// SPDX-License-Identifier: Apache-2.0
// Many devices changed at once from the window's Devices menu, against the simulator, through the real
// widgets: the preview, the run, the results, the list's lines, and the undo of the last change.

#include "mainwindowfixture.h"

#include "bulkdialog.h"
#include "dialogs.h"
#include "messagelog.h"
#include "programs.h"
#include "waitfor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

namespace {

class BulkChangeTest : public MainWindowFixture {
protected:
    BulkChangeTest() : MainWindowFixture({QStringLiteral("--devices"), QStringLiteral("200")}) {}

    void SetUp() override
    {
        ASSERT_TRUE(searchFor(200));
        ASSERT_TRUE(backups.isValid());
    }

    // Triggers the Devices menu's entry and runs `steps` in its dialog once it shows; returns once it closed.
    void inDialog(const QString& entry, const std::function<void(lv::BulkDialog*)>& steps)
    {
        QTimer::singleShot(0, window.get(), [steps] {
            auto* dialog = qobject_cast<lv::BulkDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            steps(dialog);
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
        window->findChild<QAction*>(QStringLiteral("mnuBulk_") + entry)->trigger();
    }

    // Types the changes, previews them and waits until the preview is shown.
    static void preview(lv::BulkDialog* d, const std::vector<std::pair<QString, QString>>& changes)
    {
        d->findChild<QTableWidget*>(QStringLiteral("tblChanges"))->setRowCount(0);
        for (const auto& [field, value] : changes) {
            d->findChild<QComboBox*>(QStringLiteral("cboField"))->setCurrentText(field);
            retype(d, "txtValue", value);
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdAdd")), Qt::LeftButton);
        }
        QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdPreview")), Qt::LeftButton);
    }

    // Presses Apply once the preview allows it, runs `duringRun`, and waits for the results; their text.
    QString applyAndWait(lv::BulkDialog* d, const std::function<void()>& duringRun = {})
    {
        auto* apply = d->findChild<QPushButton*>(QStringLiteral("cmdApply"));
        EXPECT_TRUE(QTest::qWaitFor([apply] { return apply->isEnabled(); }, 20000));
        retype(d, "txtBackup", backups.filePath(QStringLiteral("backup.json")));
        QTest::mouseClick(apply, Qt::LeftButton);
        if (duringRun)
            duringRun();
        auto* results = d->findChild<QPlainTextEdit*>(QStringLiteral("txtResults"));
        EXPECT_TRUE(QTest::qWaitFor([results] { return !results->toPlainText().isEmpty(); }, 60000));
        return results->toPlainText();
    }

    // A plan file in the test's folder holding `json`; its path.
    QString planFile(const QByteArray& json)
    {
        QFile file(backups.filePath(QStringLiteral("plan.json")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
        return file.fileName();
    }

    QTemporaryDir backups;
};

// The commands among `datagrams`, sorted, each configuration request once: the window reads a device for
// its preview and again for the run, the CLI once.
QList<QByteArray> commandsIn(QList<QByteArray> datagrams)
{
    datagrams.removeIf([](const QByteArray& d) { return d.startsWith("X"); });
    std::ranges::sort(datagrams);
    datagrams.erase(std::unique(datagrams.begin(), datagrams.end(),
                                [](const QByteArray& a, const QByteArray& b) { return a == b && a.startsWith("G "); }),
                    datagrams.end());
    return datagrams;
}

// What linkvane-cli prints to standard output for `args` against the simulator on `port`.
QByteArray cliOutput(quint16 port, const QStringList& args)
{
    QProcess cli;
    cli.start(testprograms::cli(), QStringList{QStringLiteral("--broadcast"), QStringLiteral("127.255.255.255"),
                                               QStringLiteral("--port"), QString::number(port)} +
                                       args);
    // Waited for with the event loop running, so that the simulators' output is read as it comes.
    EXPECT_TRUE(QTest::qWaitFor([&cli] { return cli.state() == QProcess::NotRunning; }, 60000));
    return cli.readAllStandardOutput();
}

TEST_F(BulkChangeTest, NumbersEveryDeviceInMacOrderAndTheUndoPutsEveryLineBack)
{
    const QStringList before = lines();
    const QByteArray exported = cliOutput(sim.port(), {QStringLiteral("export"), QStringLiteral("--all")});
    ASSERT_TRUE(exported.contains("PLANT-A0200"));
    lstDev->clearSelection();
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("mnuBulk_NumberDevices"))->isEnabled());
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("mnuBulk_NumberDevices"))->text(),
              QStringLiteral("&Number 200 Devices…"));
    QString results;
    int previewRows = 0;
    const qsizetype receivedBefore = sim.received().size();
    inDialog(QStringLiteral("NumberDevices"), [&](lv::BulkDialog* d) {
        preview(d, {{QStringLiteral("deviceId"), QStringLiteral("Hall-{n:03}")},
                    {QStringLiteral("ip"), QStringLiteral("10.20.0.{n+10}")}});
        auto* table = d->findChild<QTableWidget*>(QStringLiteral("tblPreview"));
        ASSERT_TRUE(QTest::qWaitFor([table] { return table->rowCount() > 0; }, 20000));
        previewRows = table->rowCount();
        results = applyAndWait(d);
    });
    // Every tenth model of the mix opens no window: its devices are refused with one row and keep their line.
    EXPECT_EQ(previewRows, 180 * 2 + 20);
    EXPECT_TRUE(results.contains(QStringLiteral("180 updated, 20 refused"))) << results.toStdString();
    // Numbered by MAC, whatever order the answers came in: the line of the k-th MAC holds k.
    QStringList macs;
    for (const QString& line : lines())
        macs << line.mid(6, 17);
    QStringList sorted = macs;
    sorted.sort();
    int kept = 0;
    for (int r = 0; r < rows(); ++r) {
        const int n = static_cast<int>(sorted.indexOf(macs[r])) + 1;
        if (line(r) == before[r]) {
            ++kept;
            continue;
        }
        EXPECT_TRUE(line(r).contains(QStringLiteral("10.20.0.%1 ").arg(n + 10))) << line(r).toStdString();
        EXPECT_TRUE(line(r).trimmed().endsWith(QStringLiteral("Hall-%1").arg(n, 3, 10, QLatin1Char('0'))))
            << line(r).toStdString();
    }
    EXPECT_EQ(kept, 20);

    // On the wire, the same plan from linkvane-cli to a LAN as it was: the same commands, byte for byte.
    const QList<QByteArray> windowSent = commandsIn(sim.received().mid(receivedBefore));
    DevsimProcess fresh({QStringLiteral("--devices"), QStringLiteral("200")});
    const QString plan = planFile(
        R"({"devices": [{"select": "ip=0.0.0.0/0", "set": {"deviceId": "Hall-{n:03}", "ip": "10.20.0.{n+10}"}}]})");
    EXPECT_TRUE(cliOutput(fresh.port(), {QStringLiteral("apply"), plan}).contains("180 updated, 20 refused"));
    EXPECT_EQ(commandsIn(fresh.received()), windowSent);
    EXPECT_EQ(window->messageLog().entries().back().text.contains(QStringLiteral(" updated")), true);

    inDialog(QStringLiteral("UndoLastChange"), [&](lv::BulkDialog* d) { results = applyAndWait(d); });
    EXPECT_TRUE(results.contains(QStringLiteral("180 updated"))) << results.toStdString();
    // Every device holds what it held before, byte for byte.
    EXPECT_EQ(cliOutput(sim.port(), {QStringLiteral("export"), QStringLiteral("--all")}), exported);
    // Each line holds its IP again and its device ID as the setup window holds it (eight characters); a
    // refused device's line was never touched.
    for (int r = 0; r < rows(); ++r) {
        const QStringList was = before[r].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QStringList is = line(r).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_EQ(is.size(), 3) << line(r).toStdString();
        EXPECT_EQ(is[1], was[1]);
        EXPECT_TRUE(is[2] == was[2] || is[2] == was[2].left(8)) << line(r).toStdString();
    }
}

// A device that does not answer, one whose answer another host sends too, and the devices whose window
// will not take the value are named in the results, before the devices changed.
TEST_F(BulkChangeTest, FailuresComeFirstInTheResults)
{
    ASSERT_TRUE(sim.addFault("silent@0.80.194.0.0.2"));
    ASSERT_TRUE(sim.addFault("twin:same-answer@0.80.194.0.0.3"));
    ASSERT_TRUE(searchFor(200));
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    QString results;
    inDialog(QStringLiteral("ChangeSettings"), [&](lv::BulkDialog* d) {
        preview(d, {{QStringLiteral("deviceId"), QStringLiteral("X{n}")},
                    {QStringLiteral("SIOBaud"), QStringLiteral("12345")}});
        results = applyAndWait(d);
    });
    const qsizetype silent = results.indexOf(QStringLiteral("00-50-C2-00-00-02  no answer"));
    const qsizetype shared =
        results.indexOf(QStringLiteral("00-50-C2-00-00-03  refused; 00-50-C2-00-00-03: the same search answer came "
                                       "from 2 senders"));
    const qsizetype refused = results.indexOf(QStringLiteral("  refused; the list SIOBaud"));
    const qsizetype updated = results.indexOf(QStringLiteral("  updated"));
    for (const qsizetype at : {silent, shared, refused})
        EXPECT_GE(at, 0) << results.toStdString();
    EXPECT_LT(std::max({silent, shared, refused}), updated) << results.toStdString();
    // The message log names each failure with its reason.
    EXPECT_TRUE(std::ranges::any_of(window->messageLog().entries(), [](const auto& entry) {
        return entry.text.startsWith(
            QStringLiteral("00-50-C2-00-00-03 refused: 00-50-C2-00-00-03: the same search answer"));
    }));
}

// A plan that names a device whose answer two hosts send is judged before any device is read: the preview
// says why and Apply stays off.
TEST_F(BulkChangeTest, APlanNamingASharedAnswerIsRefusedWhole)
{
    ASSERT_TRUE(sim.addFault("twin:same-answer@0.80.194.0.0.3"));
    ASSERT_TRUE(searchFor(200));
    lv::Dialogs::setScripted(true);
    lv::Dialogs::queueInput(planFile(R"({"devices": [{"device": "00-50-C2-00-00-03", "set": {"deviceId": "X"}}]})"));
    QString note;
    bool applyEnabled = true;
    inDialog(QStringLiteral("ApplyPlan"), [&](lv::BulkDialog* d) {
        note = d->findChild<QLabel*>(QStringLiteral("lblPreview"))->text();
        applyEnabled = d->findChild<QPushButton*>(QStringLiteral("cmdApply"))->isEnabled();
    });
    lv::Dialogs::reset();
    EXPECT_TRUE(note.contains(QStringLiteral("the same search answer came from 2 senders"))) << note.toStdString();
    EXPECT_FALSE(applyEnabled);
}

// A backup that cannot be written stops the change before anything leaves.
TEST_F(BulkChangeTest, ABackupThatCannotBeWrittenSendsNothing)
{
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    const auto setSent = [this] {
        return std::ranges::any_of(sim.received(), [](const QByteArray& d) { return d.startsWith("S "); });
    };
    QString note;
    inDialog(QStringLiteral("ChangeSettings"), [&](lv::BulkDialog* d) {
        preview(d, {{QStringLiteral("deviceId"), QStringLiteral("B-{n}")}});
        auto* apply = d->findChild<QPushButton*>(QStringLiteral("cmdApply"));
        ASSERT_TRUE(QTest::qWaitFor([apply] { return apply->isEnabled(); }, 20000));
        retype(d, "txtBackup", backups.path()); // a folder, not a file
        QTest::mouseClick(apply, Qt::LeftButton);
        note = d->findChild<QLabel*>(QStringLiteral("lblPreview"))->text();
        // The dialog stays open on its preview, and no set command leaves meanwhile.
        LV_EXPECT_NEVER(setSent(), 500);
        EXPECT_TRUE(apply->isVisible());
    });
    EXPECT_TRUE(note.endsWith(QStringLiteral("; nothing was sent"))) << note.toStdString();
}

// Cancel lets the device under way end and starts no more.
TEST_F(BulkChangeTest, CancelStartsNoMoreDevices)
{
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    QString results;
    int updatedAtCancel = -1;
    inDialog(QStringLiteral("ChangeSettings"), [&](lv::BulkDialog* d) {
        preview(d, {{QStringLiteral("deviceId"), QStringLiteral("C-{n}")}});
        d->findChild<QSpinBox*>(QStringLiteral("spnParallel"))->setValue(1);
        auto* counts = d->findChild<QLabel*>(QStringLiteral("lblCounts"));
        results = applyAndWait(d, [&] {
            auto* progress = d->findChild<QProgressBar*>(QStringLiteral("prgRun"));
            EXPECT_TRUE(QTest::qWaitFor([progress] { return progress->value() >= 1; }, 20000));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            const QRegularExpressionMatch updated =
                QRegularExpression(QStringLiteral("^(\\d+) updated, 0 unchanged")).match(counts->text());
            updatedAtCancel = updated.hasMatch() ? updated.captured(1).toInt() : -1;
        });
        // Every device counted once: those not updated failed (interrupted or refused).
        const QRegularExpressionMatch ended =
            QRegularExpression(QStringLiteral("^(\\d+) updated, 0 unchanged, (\\d+) failed, 0 left"))
                .match(counts->text());
        EXPECT_EQ(ended.captured(1).toInt() + ended.captured(2).toInt(), 200) << counts->text().toStdString();
    });
    // One device at a time, each updated: the one under way when Cancel came was the only one started
    // after them (it ends as it would), and none of the 200 after it.
    ASSERT_GE(updatedAtCancel, 1);
    EXPECT_EQ(200 - results.count(QStringLiteral("interrupted before it started; nothing was sent")),
              updatedAtCancel + 1)
        << results.toStdString();
}

} // namespace
