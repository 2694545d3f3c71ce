// SPDX-License-Identifier: Apache-2.0
// The main window's status bar, the setup window's exchange label, the raw entry after a changed
// IP and the marking of shared IP addresses, against the simulated LAN.

#include "mainwindowfixture.h"
#include "waitfor.h"

#include "devicelist.h"
#include "devicelistmodel.h"
#include "messagelog.h"
#include "singleportwindow.h"
#include "statusline.h"
#include "twips.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUdpSocket>

#include <set>

namespace {

class StatusBarTest : public MainWindowFixture {
protected:
    explicit StatusBarTest(const QStringList& simArgs = {}) : MainWindowFixture(simArgs)
    {
        statusBar = window->findChild<QStatusBar*>(QStringLiteral("statusBar"));
    }

    QString status() const { return statusBar ? statusBar->currentMessage() : QString(); }

    // Changes the IP of the device at `row` through its window and Update; returns the exchange
    // label texts seen while the Update ran, in order, without repeats.
    QStringList updateIp(int row, const QString& ip)
    {
        QStringList seen;
        openAndEdit(row, [&](lv::SetupWindow* w) {
            ASSERT_NE(w, nullptr);
            auto* label = w->findChild<QLabel*>(QStringLiteral("lblExchange"));
            ASSERT_NE(label, nullptr);
            // Read the label at each phase, once the window has set it: the exchange's waits let
            // events run.
            const auto read = [&] {
                if (!label->text().isEmpty() && (seen.isEmpty() || seen.back() != label->text()))
                    seen << label->text();
            };
            const auto look = [&] { QTimer::singleShot(0, label, read); };
            const auto a = QObject::connect(&window->channel(), &lv::CommandChannel::sending, look);
            const auto b = QObject::connect(&window->channel(), &lv::CommandChannel::waiting, look);
            retype(w, "txtIP", ip);
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate")), Qt::LeftButton);
            QObject::disconnect(a);
            QObject::disconnect(b);
            EXPECT_TRUE(label->text().isEmpty());
            if (w->isVisible())
                w->reject();
        });
        return seen;
    }

    QStatusBar* statusBar = nullptr;
};

TEST_F(StatusBarTest, SearchSaysSearchingThenCountsTheAnswersBelowTheList)
{
    ASSERT_NE(statusBar, nullptr);
    EXPECT_TRUE(statusBar->isVisible());
    // Below the list, and the window grew by the bar's height.
    const QRect list(lstDev->mapTo(window.get(), QPoint(0, 0)), lstDev->size());
    EXPECT_GE(statusBar->geometry().top(), list.bottom());
    EXPECT_EQ(window->centralWidget()->height(), lv::twipsToPixels(5265));
    EXPECT_EQ(window->height(), window->centralWidget()->height() + window->menuBar()->height() + statusBar->height());

    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Searching…"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows() == 21; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("21 devices answered"); }, 2000))
        << latin1(status());
    // Answers keep the count, never a silence message.
    LV_EXPECT_NEVER(status() != QStringLiteral("21 devices answered"), lv::MainWindow::kSilenceMs + 200);
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());
}

class TrickleStatusTest : public StatusBarTest {
protected:
    TrickleStatusTest()
        : StatusBarTest(
              {QStringLiteral("--devices"), QStringLiteral("200"), QStringLiteral("--jitter"), QStringLiteral("1000")})
    {
    }
};

// Answers that trickle in over a second change the count as the list takes them in, a few times,
// not once each, and the last count stands once they are all in.
TEST_F(TrickleStatusTest, CountFollowsTheAnswersAFewTimesASecond)
{
    ASSERT_NE(statusBar, nullptr);
    QStringList shown;
    QObject::connect(statusBar, &QStatusBar::messageChanged, statusBar, [&](const QString& text) {
        if (text.endsWith(QStringLiteral("answered")))
            shown << text;
    });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("200 devices answered"); }, 5000))
        << latin1(status());
    EXPECT_GE(shown.size(), 2) << "the count moves while the answers come";
    EXPECT_LE(shown.size(), 20) << latin1(shown.join(QLatin1Char('|')));
    EXPECT_EQ(shown.last(), QStringLiteral("200 devices answered"));
}

TEST_F(StatusBarTest, SilenceAfterTheProbeSaysNoDeviceAnswered)
{
    // A port where something listens and never answers.
    QUdpSocket mute;
    ASSERT_TRUE(mute.bind(QHostAddress::LocalHost, 0));
    state.gCmdPort = mute.localPort();
    window->cmdSearch_Click();
    EXPECT_EQ(status(), QStringLiteral("Searching…"));
    LV_EXPECT_NEVER(status() != QStringLiteral("Searching…"), lv::MainWindow::kSilenceMs - 500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("No device answered"); }, 2000));
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());
}

TEST_F(StatusBarTest, OpenedWindowIsNamedAndAConfirmedUpdateSaysUpdated)
{
    searchFor();
    const int row = rowOfModel(QStringLiteral("KR-770A"));
    ASSERT_GE(row, 0);
    QString whileOpen;
    openAndEdit(row, [&](lv::SetupWindow* w) {
        whileOpen = status();
        w->reject();
    });
    ASSERT_TRUE(window->lastAnswered());
    EXPECT_EQ(window->lastAnswered()->dispatch.window, "frmSetupKr770A");
    // Named as the operator knows the window, from its title.
    EXPECT_EQ(whileOpen, QStringLiteral("KR-770A setup opened"));
    EXPECT_EQ(status(), QStringLiteral("KR-770A setup closed without sending"));

    const QString mac = line(row).mid(6, 17);
    const QStringList phases = updateIp(row, QStringLiteral("10.9.8.7"));
    EXPECT_EQ(phases, (QStringList{QStringLiteral("Sending…"), QStringLiteral("Waiting for the device…")}));
    EXPECT_EQ(status(), mac + QStringLiteral(" updated"));
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());
}

TEST_F(StatusBarTest, ChangedIpOpensAgainWithoutANewSearch)
{
    searchFor();
    const int row = rowOfModel(QStringLiteral("KR-770A"));
    ASSERT_GE(row, 0);
    const std::string before = latin1(raw(row));
    updateIp(row, QStringLiteral("10.9.8.7"));
    const std::optional<std::string> expected = lv::entryWithIp(before, "10.9.8.7");
    ASSERT_TRUE(expected);
    EXPECT_EQ(latin1(raw(row)), *expected);
    EXPECT_EQ(line(row).mid(43, 8), QStringLiteral("10.9.8.7"));

    const int gBefore = sim.waitForReceived("G ", 1, 0).size();
    int opened = 0;
    openAndEdit(row, [&](lv::SetupWindow* w) {
        ++opened;
        w->reject();
    });
    EXPECT_EQ(opened, 1);
    const QList<QByteArray> gs = sim.waitForReceived("G ", gBefore + 1, 1000);
    ASSERT_GT(gs.size(), gBefore);
    const QByteArray wanted = QByteArray("G ") + QByteArray::fromStdString(lv::macFieldOfEntry(before)) + "/10.9.8.7/";
    EXPECT_TRUE(gs.back().startsWith(wanted)) << gs.back().toStdString();
    // The rewritten entry is the one the duplicate test knows: its own answer is not listed twice.
    EXPECT_TRUE(window->search().devices().contains(*expected));
    EXPECT_FALSE(window->search().devices().contains(before));
}

TEST_F(StatusBarTest, SharedIpIsMarkedAndCountedWithTheLinesUnchanged)
{
    searchFor();
    const int row = rowOfModel(QStringLiteral("KR-770A"));
    ASSERT_GE(row, 0);
    const int other = row == 0 ? 1 : 0;
    const QString otherIp = QString::fromStdString(lv::parseSearchReply(latin1(raw(other)))->ip);
    updateIp(row, otherIp);
    const auto colour = [&](int r) { return lstDev->model()->index(r, 0).data(Qt::ForegroundRole); };
    EXPECT_TRUE(colour(row).isValid());

    // The devices themselves now answer with one IP.
    searchFor();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return status() == QStringLiteral("21 devices answered; 2 share an IP address with another device"); },
        2000))
        << latin1(status());
    int marked = 0;
    for (int r = 0; r < rows(); ++r) {
        const std::optional<lv::SearchReply> reply = lv::parseSearchReply(latin1(raw(r)));
        ASSERT_TRUE(reply);
        EXPECT_EQ(latin1(line(r)), lv::deviceListLine(reply->macText, reply->ip, reply->deviceId));
        const bool shared = QString::fromStdString(reply->ip) == otherIp;
        EXPECT_EQ(colour(r).isValid(), shared) << r;
        if (colour(r).isValid()) {
            EXPECT_EQ(colour(r).value<QBrush>().color(), lv::DeviceListModel::conflictColour());
            ++marked;
        }
    }
    EXPECT_EQ(marked, 2);
}

class SilentStatusTest : public StatusBarTest {
protected:
    SilentStatusTest() : StatusBarTest({QStringLiteral("--fault"), QStringLiteral("silent@KR-770A")}) {}
};

TEST_F(SilentStatusTest, SilentDeviceIsAskedThenSaidNotToAnswer)
{
    searchFor();
    QString whileWaiting;
    QTimer::singleShot(300, [&] { whileWaiting = status(); });
    doubleClickRow(2);
    EXPECT_EQ(whileWaiting, QStringLiteral("Asking 00-50-C2-00-00-03…"));
    EXPECT_EQ(status(), QStringLiteral("00-50-C2-00-00-03 did not answer within 1 s (check the setup password and "
                                       "the command port)"));
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());
}

// A failure the next outcome replaces in the status bar stays in the log, with its time and device,
// and marks the bar until the operator opens the log (by a click on the bar); its lines copy as shown.
TEST_F(SilentStatusTest, TheLogKeepsAFailureTheStatusBarNoLongerShows)
{
    auto* bar = qobject_cast<lv::StatusLine*>(statusBar);
    ASSERT_NE(bar, nullptr);
    const lv::MessageLog& log = window->messageLog();
    searchFor();
    // The search says how it went once its window has closed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.entries().empty(); }, lv::MainWindow::kSilenceMs + 2000));
    EXPECT_FALSE(bar->unseenProblem());
    doubleClickRow(2);
    EXPECT_TRUE(bar->unseenProblem());
    const QString kr = line(rowOfSimulated("KR-7600")).mid(6, 17);
    openAndEdit(rowOfSimulated("KR-7600"), [](lv::SetupWindow* w) { w->reject(); });
    EXPECT_EQ(status(), QStringLiteral("4-port setup closed without sending"));
    EXPECT_TRUE(bar->unseenProblem()) << "the failure is not seen yet";
    EXPECT_TRUE(statusBar->accessibleName().contains(QStringLiteral("not seen yet")));

    const struct {
        QString device;
        QString text;
        bool problem;
    } expected[] = {
        {{}, QStringLiteral("21 devices answered"), false},
        {QStringLiteral("00-50-C2-00-00-03"),
         QStringLiteral("00-50-C2-00-00-03 did not answer within 1 s (check the setup password and the command port)"),
         true},
        {kr, QStringLiteral("4-port setup opened"), false},
        {kr, QStringLiteral("4-port setup closed without sending"), false},
    };
    ASSERT_EQ(log.entries().size(), std::size(expected));
    QStringList lines;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const lv::MessageLog::Entry& entry = log.entries()[i];
        EXPECT_EQ(entry.device, expected[i].device) << i;
        EXPECT_EQ(entry.text, expected[i].text) << i;
        EXPECT_EQ(entry.problem, expected[i].problem) << i;
        EXPECT_LE(std::abs(entry.time.secsTo(QDateTime::currentDateTime())), 60) << i;
        EXPECT_LE(log.entries()[i > 0 ? i - 1 : 0].time, entry.time) << "newest last";
        lines << log.index(static_cast<int>(i)).data().toString();
        EXPECT_TRUE(lines.back().startsWith(entry.time.toString(QStringLiteral("HH:mm:ss")))) << latin1(lines.back());
        EXPECT_TRUE(lines.back().endsWith(entry.text));
        EXPECT_TRUE(lines.back().contains(entry.device)) << "an empty device is in every line";
    }

    QTest::mouseClick(statusBar, Qt::LeftButton);
    lv::MessagesWindow* messages = window->messagesWindow();
    ASSERT_NE(messages, nullptr);
    EXPECT_TRUE(messages->isVisible());
    EXPECT_EQ(messages->windowTitle(), QStringLiteral("Messages"));
    EXPECT_FALSE(bar->unseenProblem());
    EXPECT_FALSE(statusBar->accessibleName().contains(QStringLiteral("not seen yet")));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(messages->list());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Messages"));
    ASSERT_EQ(list->childCount(), static_cast<int>(std::size(expected)));
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), lines[1]);

    // Lines clicked out of their order copy in the log's order.
    QListView* view = messages->list();
    for (const int r : {3, 0, 2})
        QTest::mouseClick(view->viewport(), Qt::LeftButton, r == 3 ? Qt::NoModifier : Qt::ControlModifier,
                          view->visualRect(log.index(r)).center());
    QTest::keySequence(view, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringList({lines[0], lines[2], lines[3]}).join(QLatin1Char('\n')));
}

class TruncatedStatusTest : public StatusBarTest {
protected:
    TruncatedStatusTest() : StatusBarTest({QStringLiteral("--fault"), QStringLiteral("truncate@KR-770A")}) {}
};

TEST_F(TruncatedStatusTest, AnswerThatIsNoConfigurationReplySaysSo)
{
    searchFor();
    int opened = 0;
    lv::WindowHost::setObserver([&](QDialog* d) {
        ++opened;
        QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    });
    doubleClickRow(2);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(status(), QStringLiteral("The answer of 00-50-C2-00-00-03 is not a configuration reply"));
    EXPECT_FALSE(window->lastAnswered());
}

TEST_F(StatusBarTest, ModelsWithoutAWindowSaySo)
{
    searchFor();
    for (const QString& model : {QStringLiteral("KR788A"), QStringLiteral("KR789A")}) {
        const int row = rowOfModel(model);
        ASSERT_GE(row, 0) << latin1(model);
        EXPECT_EQ(status(), line(row).mid(6, 17) + QStringLiteral(" is a ") + model +
                                QStringLiteral(", which has no setup window"));
    }
}

class NoConfirmStatusTest : public StatusBarTest {
protected:
    NoConfirmStatusTest() : StatusBarTest({QStringLiteral("--no-answer-after-set")}) {}
};

TEST_F(NoConfirmStatusTest, UnconfirmedUpdateSaysSoAndKeepsTheRawEntry)
{
    searchFor();
    const int row = rowOfModel(QStringLiteral("KR-770A"));
    ASSERT_GE(row, 0);
    const QString rawBefore = raw(row);
    const QStringList phases = updateIp(row, QStringLiteral("10.2.2.2"));
    EXPECT_EQ(phases, (QStringList{QStringLiteral("Sending…"), QStringLiteral("Waiting for the device…")}));
    EXPECT_EQ(status(), line(row).mid(6, 17) + QStringLiteral(" did not confirm the update"));
    EXPECT_EQ(raw(row), rawBefore);
}

} // namespace

namespace {

// A message wider than the bar is elided in the middle, its start (the device) and its end (what
// happened) both shown; the whole text is the bar's tooltip and the window's accessible description.
TEST_F(StatusBarTest, ALongMessageIsElidedInTheMiddleWithTheWholeTextAtHand)
{
    auto* line = qobject_cast<lv::StatusLine*>(statusBar);
    ASSERT_NE(line, nullptr);
    const QString longText =
        QStringLiteral("00-50-C2-00-00-03 did not answer within 1 s (check the setup password and the command "
                       "port, and whether the device is on this segment)");
    const QString shortText = QStringLiteral("21 devices answered");
    statusBar->showMessage(shortText);
    EXPECT_EQ(line->shownText(), shortText);
    statusBar->showMessage(longText);
    ASSERT_GT(statusBar->fontMetrics().horizontalAdvance(longText), statusBar->width()) << "not long enough to test";
    const QString shown = line->shownText();
    EXPECT_NE(shown, longText);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("00-50-C2-00-00-03"))) << latin1(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("segment)"))) << latin1(shown);
    EXPECT_LE(statusBar->fontMetrics().horizontalAdvance(shown), statusBar->width());
    EXPECT_EQ(statusBar->toolTip(), longText);
    EXPECT_EQ(window->accessibleDescription(), longText);
}

// A new message repaints only the part of the bar QStatusBar repaints; what shows then is what a
// repaint of the whole bar draws, for a message longer, shorter or otherwise placed than the last,
// with and without the mark of an unseen failure.
TEST_F(StatusBarTest, ANewMessageShowsTheSamePixelsAsAWholeRepaint)
{
    auto* line = qobject_cast<lv::StatusLine*>(statusBar);
    ASSERT_NE(line, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QString texts[] = {
        QStringLiteral("MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"),
        QStringLiteral("21 devices answered"),
        QStringLiteral("(KR-770A setup closed without sending)"),
        QStringLiteral("WWWW"),
    };
    const QRect area(statusBar->mapTo(window.get(), QPoint(0, 0)), statusBar->size());
    for (const bool mark : {false, true}) {
        line->setUnseenProblem(mark);
        for (const QString& text : texts) {
            line->say(text);
            QCoreApplication::processEvents();
            const QImage shown = window->screen()
                                     ->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height())
                                     .toImage();
            const QImage whole = statusBar->grab().toImage().convertToFormat(shown.format());
            EXPECT_EQ(shown, whole) << latin1(text) << " mark " << mark;
        }
    }
}

// Opening a menu and moving over its items leaves the last outcome in the status bar.
TEST_F(StatusBarTest, AMenuLeavesTheLastOutcome)
{
    auto* line = qobject_cast<lv::StatusLine*>(statusBar);
    ASSERT_NE(line, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    line->say(QStringLiteral("21 devices answered"));
    auto* option = window->findChild<QMenu*>(QStringLiteral("mnuOption"));
    ASSERT_NE(option, nullptr);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return option->isVisible(); }, 2000));
    for (QAction* action : option->actions())
        if (!action->isSeparator())
            QTest::mouseMove(option, option->actionGeometry(action).center());
    QTest::keyClick(option, Qt::Key_Escape);
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !option->isVisible(); }, 2000));
    EXPECT_EQ(status(), QStringLiteral("21 devices answered"));
}

TEST(MessageLogTest, KeepsTheLastLinesUpToItsBound)
{
    lv::MessageLog log;
    for (int i = 0; i <= lv::MessageLog::kMaxLines; ++i)
        log.add({QDateTime::currentDateTime(), {}, QString::number(i), false});
    ASSERT_EQ(log.rowCount(), lv::MessageLog::kMaxLines);
    EXPECT_EQ(log.entries().front().text, QStringLiteral("1"));
    EXPECT_EQ(log.entries().back().text, QString::number(lv::MessageLog::kMaxLines));
}

} // namespace
