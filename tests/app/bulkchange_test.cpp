// SPDX-License-Identifier: Apache-2.0
// Many devices changed at once from the window's Devices menu, against the simulator, through the real
// widgets: the preview, the run, the results, the list's lines, and the undo of the last change.

#include "mainwindowfixture.h"

#include "bulkdialog.h"
#include "messagelog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
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

    QTemporaryDir backups;
};

TEST_F(BulkChangeTest, NumbersEveryDeviceInMacOrderAndTheUndoPutsEveryLineBack)
{
    const QStringList before = lines();
    lstDev->clearSelection();
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("mnuBulk_NumberDevices"))->isEnabled());
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("mnuBulk_NumberDevices"))->text(),
              QStringLiteral("&Number 200 Devices…"));
    QString results;
    int previewRows = 0;
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
    EXPECT_EQ(window->messageLog().entries().back().text.contains(QStringLiteral(" updated")), true);

    inDialog(QStringLiteral("UndoLastChange"), [&](lv::BulkDialog* d) { results = applyAndWait(d); });
    EXPECT_TRUE(results.contains(QStringLiteral("180 updated"))) << results.toStdString();
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

// A device that does not answer and the devices whose window will not take the value are named in the
// results, before the devices changed.
TEST_F(BulkChangeTest, FailuresComeFirstInTheResults)
{
    ASSERT_TRUE(sim.addFault("silent@0.80.194.0.0.2"));
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    QString results;
    inDialog(QStringLiteral("ChangeSettings"), [&](lv::BulkDialog* d) {
        preview(d, {{QStringLiteral("deviceId"), QStringLiteral("X{n}")},
                    {QStringLiteral("SIOBaud"), QStringLiteral("12345")}});
        results = applyAndWait(d);
    });
    const qsizetype silent = results.indexOf(QStringLiteral("00-50-C2-00-00-02  no answer"));
    const qsizetype refused = results.indexOf(QStringLiteral("  refused; the list SIOBaud"));
    const qsizetype updated = results.indexOf(QStringLiteral("  updated"));
    EXPECT_GE(silent, 0) << results.toStdString();
    EXPECT_GE(refused, 0) << results.toStdString();
    EXPECT_LT(std::max(silent, refused), updated) << results.toStdString();
}

// Cancel lets the devices under way end and starts no more.
TEST_F(BulkChangeTest, CancelStartsNoMoreDevices)
{
    QTest::keyClick(lstDev, Qt::Key_A, Qt::ControlModifier);
    QString results;
    inDialog(QStringLiteral("ChangeSettings"), [&](lv::BulkDialog* d) {
        preview(d, {{QStringLiteral("deviceId"), QStringLiteral("C-{n}")}});
        d->findChild<QSpinBox*>(QStringLiteral("spnParallel"))->setValue(1);
        results = applyAndWait(d, [d] {
            auto* progress = d->findChild<QProgressBar*>(QStringLiteral("prgRun"));
            EXPECT_TRUE(QTest::qWaitFor([progress] { return progress->value() >= 1; }, 20000));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        });
        // One device at a time: the one under way when Cancel came ends, and perhaps the one after it.
        const QString counts = d->findChild<QLabel*>(QStringLiteral("lblCounts"))->text();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[12] updated, 0 unchanged, \\d+ failed, 0 left"))
                        .match(counts)
                        .hasMatch())
            << counts.toStdString();
    });
    EXPECT_TRUE(results.contains(QStringLiteral("interrupted before it started; nothing was sent")))
        << results.toStdString();
    EXPECT_TRUE(results.contains(QStringLiteral("updated"))) << results.toStdString();
}

} // namespace
