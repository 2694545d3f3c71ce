// SPDX-License-Identifier: Apache-2.0
// Option > Verify After Update against the simulated LAN: after an Update the device confirmed, the
// main window asks it for its settings again without holding up the window, and the status bar says
// whether the device holds what was sent. Off, nothing more goes on the wire.

#include "mainwindowfixture.h"

#include "verifyexchange.h"
#include "waitfor.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QStatusBar>

namespace {

constexpr const char* kModel = "KR-770A";

class VerifyUpdateTest : public MainWindowFixture {
protected:
    explicit VerifyUpdateTest(const QStringList& simArgs = {}) : MainWindowFixture(simArgs)
    {
        searchFor();
        row = rowOfSimulated(kModel);
        mac = line(row).mid(6, 17);
    }

    QString status() const { return window->statusBar()->currentMessage(); }
    // The message and its details as plain text (the tooltip shows the same as rich text).
    QString tip() const { return window->statusBar()->accessibleDescription(); }

    void setVerify(bool on)
    {
        auto* action = window->findChild<QAction*>(QStringLiteral("mnuVerify"));
        ASSERT_NE(action, nullptr);
        if (action->isChecked() != on)
            action->trigger();
        ASSERT_EQ(window->verifyAfterUpdate(), on);
    }

    // Opens the device, moves its baud rate one entry on and presses Update; returns the entries as the
    // window showed them: loaded first, then sent.
    QPair<QString, QString> changeBaud()
    {
        QPair<QString, QString> labels;
        openAndEdit(row, [&](lv::SetupWindow* w) {
            auto* baud = w->findChild<QComboBox*>(QStringLiteral("cmbSioBaud"));
            ASSERT_NE(baud, nullptr);
            labels.first = baud->currentText();
            baud->setCurrentIndex((baud->currentIndex() + 1) % baud->count());
            labels.second = baud->currentText();
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate")), Qt::LeftButton);
            if (w->isVisible())
                w->reject();
        });
        return labels;
    }

    int row = -1;
    QString mac;
};

class VerifyIgnoredFieldTest : public VerifyUpdateTest {
protected:
    VerifyIgnoredFieldTest()
        : VerifyUpdateTest({QStringLiteral("--fault"), QStringLiteral("ignore-field:SIOBaud@KR-770A")})
    {
    }
};

TEST_F(VerifyIgnoredFieldTest, MismatchNamesTheFieldWhatTheDeviceReportsAndWhatWasSent)
{
    ASSERT_GE(row, 0);
    setVerify(true);
    const auto [loaded, sent] = changeBaud();
    ASSERT_NE(loaded, sent);
    LV_WAIT_TRUE(!status().contains(QStringLiteral("checking")), lv::kVerifyTimeoutMs + 2000);
    EXPECT_EQ(status(), QStringLiteral("%1 updated, but it reports SIOBaud %2 (sent %3)").arg(mac, loaded, sent));
    EXPECT_TRUE(tip().contains(QStringLiteral("SIOBaud: reports %1, sent %2").arg(loaded, sent)))
        << tip().toStdString();
    // The check asked once more than the window's own request.
    EXPECT_EQ(sim.waitForReceived("G ", 2).size(), 2);
    // For a look at the status bar as an operator sees it: LINKVANE_SCREENSHOT_DIR=<dir>.
    if (const QString shots = qEnvironmentVariable("LINKVANE_SCREENSHOT_DIR"); !shots.isEmpty()) {
        EXPECT_TRUE(window->grab().save(shots + QStringLiteral("/main-window-verify-mismatch.png")));
    }
}

class VerifyRestartTest : public VerifyUpdateTest {
protected:
    VerifyRestartTest() : VerifyUpdateTest({QStringLiteral("--fault"), QStringLiteral("restart:2000@KR-770A")}) {}
};

TEST_F(VerifyRestartTest, DeviceThatRestartsIsVerifiedWithinTheBoundWithoutHoldingUpTheWindow)
{
    ASSERT_GE(row, 0);
    setVerify(true);
    QElapsedTimer clock;
    clock.start();
    changeBaud();
    // The window is back (the double-click has returned) while the check still waits for the device.
    EXPECT_NE(window->verifyRunning(), nullptr);
    EXPECT_TRUE(window->findChild<QPushButton*>(QStringLiteral("cmdSearch"))->isEnabled());
    EXPECT_EQ(status(), QStringLiteral("%1 updated; checking what it reports now…").arg(mac));
    LV_WAIT_EQ(status(), QStringLiteral("%1 updated and verified").arg(mac), lv::kVerifyTimeoutMs + 2000);
    EXPECT_GE(clock.elapsed(), 2000);
    EXPECT_EQ(window->verifyRunning(), nullptr);
}

class VerifyNoAnswerTest : public VerifyUpdateTest {
protected:
    VerifyNoAnswerTest() : VerifyUpdateTest({QStringLiteral("--fault"), QStringLiteral("restart:20000@KR-770A")}) {}
};

TEST_F(VerifyNoAnswerTest, DeviceSilentPastTheBoundIsReported)
{
    ASSERT_GE(row, 0);
    setVerify(true);
    changeBaud();
    LV_WAIT_EQ(status(), QStringLiteral("%1 updated; the check got no answer").arg(mac), lv::kVerifyTimeoutMs + 3000);
}

TEST_F(VerifyUpdateTest, OffByDefaultAndThenNothingMoreIsAsked)
{
    ASSERT_GE(row, 0);
    auto* action = window->findChild<QAction*>(QStringLiteral("mnuVerify"));
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isCheckable());
    EXPECT_FALSE(action->isChecked());
    EXPECT_EQ(action->text(), QStringLiteral("&Verify After Update"));
    changeBaud();
    EXPECT_EQ(status(), QStringLiteral("%1 updated").arg(mac));
    EXPECT_EQ(window->verifyRunning(), nullptr);
    // Longer than the check's first request would wait: only the window's own request went out.
    sim.waitForReceived("U ", 1);
    EXPECT_EQ(sim.waitForReceived("G ", 2, 1500).size(), 1);
    EXPECT_EQ(status(), QStringLiteral("%1 updated").arg(mac));
}

} // namespace
