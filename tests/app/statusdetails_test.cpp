// SPDX-License-Identifier: Apache-2.0
// What the main window's status bar says beyond its message: why no device answered (in its tooltip),
// datagrams from other hosts set aside during an exchange, answers lost or left out of the listing,
// and devices whose MAC answers from two addresses; against the simulated LAN on loopback.

#include "mainwindowfixture.h"

#include "devicelistmodel.h"
#include "waitfor.h"

#include <QStatusBar>
#include <QUdpSocket>

namespace {

class StatusDetailsTest : public MainWindowFixture {
protected:
    QString status() const { return window->statusBar()->currentMessage(); }
    // The message and its details as plain text (the tooltip shows the same as rich text).
    QString tip() const { return window->statusBar()->accessibleDescription(); }

    void clickSearch()
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    }
};

TEST_F(StatusDetailsTest, NothingAnsweredSaysWhyInItsTooltip)
{
    // A port where a socket is bound and never answers.
    QUdpSocket quiet;
    ASSERT_TRUE(quiet.bind(QHostAddress::LocalHost, 0));
    const quint16 port = quiet.localPort();
    state.gCmdPort = port;
    clickSearch();
    LV_WAIT_EQ(status(), QStringLiteral("No device answered"), lv::MainWindow::kSilenceMs + 3000);
    const QString text = tip();
    EXPECT_TRUE(text.startsWith(QStringLiteral("No device answered\n\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Command port %1, probe to 127.255.255.255, %2 ms waited: 0 device(s)")
                                  .arg(port)
                                  .arg(lv::MainWindow::kSilenceMs)))
        << text.toStdString();
    // Aimed at a directed broadcast, the probe went where the routing table sends it, and left.
    EXPECT_TRUE(text.contains(QStringLiteral("(routing table): probe sent, 0 answer(s), 0 search answer(s)")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Likely causes:\n- No answer came back through any interface within "
                                             "%1 ms.")
                                  .arg(lv::MainWindow::kSilenceMs)))
        << text.toStdString();
    // The window's own menus, not command-line options.
    EXPECT_TRUE(text.contains(QStringLiteral("Option > Command Port"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("--"))) << text.toStdString();
#if !defined(Q_OS_WIN)
    EXPECT_TRUE(text.contains(QStringLiteral("udp sport %1 accept").arg(port))) << text.toStdString();
#endif
    // The tooltip wraps: rich text, line by line.
    const QString shown = window->statusBar()->toolTip();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("<qt>No device answered<br><br>Command port"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("&gt; Command Port"))) << shown.toStdString();

    // A search that finds devices says nothing of the kind.
    state.gCmdPort = sim.port();
    searchFor();
    LV_WAIT_EQ(status(), QStringLiteral("21 devices answered"), 3000);
    EXPECT_EQ(tip(), status());
    EXPECT_EQ(window->statusBar()->toolTip(), status());
}

TEST_F(StatusDetailsTest, DatagramsFromOtherHostsDuringAnExchangeAreCountedInTheTooltip)
{
    searchFor();
    QUdpSocket other;
    ASSERT_TRUE(other.bind(QHostAddress::LocalHost, 0));
    // While the request waits, something else sends to the window's command socket.
    const QMetaObject::Connection intrude = QObject::connect(&window->channel(), &lv::CommandChannel::waiting, [&] {
        for (int i = 0; i < 3; ++i)
            other.writeDatagram("AMAC0.80.194.9.9.9\r", QHostAddress::LocalHost,
                                window->channel().socket().localPort());
    });
    // Read while the window is open: closing it is the next outcome.
    QString opened, openedTip;
    lv::WindowHost::setObserver([&](QDialog* d) {
        opened = status();
        openedTip = tip();
        QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    });
    doubleClickRow(0);
    lv::WindowHost::setObserver({});
    QObject::disconnect(intrude);
    EXPECT_TRUE(opened.endsWith(QStringLiteral(" opened"))) << opened.toStdString();
    EXPECT_EQ(openedTip, opened + QStringLiteral("\n\n3 datagrams from other hosts were ignored"));

    // The next request, undisturbed, says nothing of them.
    lv::WindowHost::setObserver([](QDialog* d) { QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection); });
    doubleClickRow(1);
    lv::WindowHost::setObserver({});
    EXPECT_EQ(tip(), status());

    // One arrives while an Update waits for its answer.
    bool intruded = false;
    const QMetaObject::Connection again = QObject::connect(&window->channel(), &lv::CommandChannel::waiting, [&] {
        if (window->windows().loadedNames().isEmpty() || intruded)
            return;
        intruded = true;
        other.writeDatagram("AMAC0.80.194.9.9.9\r", QHostAddress::LocalHost, window->channel().socket().localPort());
    });
    openAndEdit(1, [](lv::SetupWindow* w) {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate")), Qt::LeftButton);
        if (w->isVisible())
            w->reject();
    });
    QObject::disconnect(again);
    EXPECT_TRUE(intruded);
    EXPECT_TRUE(status().endsWith(QStringLiteral(" updated"))) << status().toStdString();
    EXPECT_EQ(tip(), status() + QStringLiteral("\n\n1 datagram from another host was ignored"));
}

TEST_F(StatusDetailsTest, AnswersLeftOutOfAFullListingAreCounted)
{
    window->search().setListLimit(5);
    clickSearch();
    LV_WAIT_EQ(status(), QStringLiteral("5 devices answered; 16 more answers were not listed"), 5000);
    EXPECT_EQ(rows(), 5);
}

TEST_F(StatusDetailsTest, AnswersTheSystemDroppedAreCounted)
{
    lv::DeviceSearch& search = window->search();
    // A short listing: the window need not lay out the tens of thousands of lines that do get through.
    search.setListLimit(100);
    clickSearch();
    if (search.lostAnswers() < 0)
        GTEST_SKIP() << "this system does not tell how many datagrams it dropped";
    // Answers of devices the simulator does not play, more than the receive buffer holds, at once.
    const int count = search.socket().receiveBufferSize() / 512 + 2000;
    ASSERT_LT(count, 400000);
    QUdpSocket flood;
    for (int i = 0; i < count; ++i) {
        const QByteArray bytes = QByteArray::number((i >> 16) & 0xFF) + "." + QByteArray::number((i >> 8) & 0xFF) +
                                 "." + QByteArray::number(i & 0xFF);
        flood.writeDatagram("AX 0.80.195." + bytes + "/11." + bytes + "/F\r", QHostAddress::LocalHost,
                            search.socket().localPort());
    }
    LV_WAIT_TRUE(status().contains(QStringLiteral("answers were lost")), 10000);
    // The status bar follows the counts as they settle.
    const auto counted = [&] {
        return QStringLiteral("100 devices answered; %1 answers were lost: the receive buffer overflowed; "
                              "%2 more answers were not listed")
            .arg(search.lostAnswers())
            .arg(search.unlistedAnswers());
    };
    LV_WAIT_EQ(status(), counted(), 5000);
    EXPECT_GT(search.lostAnswers(), 0);
}

TEST_F(StatusDetailsTest, MacAnsweringFromTwoAddressesIsMarkedLikeASharedIp)
{
    searchFor();
    const QString first = raw(0);
    const std::optional<lv::SearchReply> reply = lv::parseSearchReply(latin1(first));
    ASSERT_TRUE(reply);
    // The first device's MAC answers once more, from another address.
    QUdpSocket twin;
    twin.writeDatagram(QByteArray::fromStdString("AX " + reply->macField + "/10.250.0.1/TWIN\r"),
                       QHostAddress::LocalHost, window->search().socket().localPort());
    LV_WAIT_EQ(rows(), 22, 3000);
    LV_WAIT_TRUE(status().endsWith(QStringLiteral("; 2 share a MAC address with a device at another IP address")),
                 3000);
    const auto data = [&](int r, int role) { return lstDev->model()->index(r, 0).data(role); };
    for (int r = 0; r < rows(); ++r) {
        const bool shared = r == 0 || r == 21;
        EXPECT_EQ(data(r, Qt::ForegroundRole).isValid(), shared) << r;
        if (shared) {
            EXPECT_EQ(data(r, Qt::ForegroundRole).value<QBrush>().color(), lv::DeviceListModel::conflictColour());
            EXPECT_EQ(data(r, Qt::ToolTipRole).toString(),
                      QStringLiteral("This MAC address answers from another IP address too"));
        }
    }
}

} // namespace
