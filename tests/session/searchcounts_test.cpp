// SPDX-License-Identifier: Apache-2.0
// What a search could not list: answers the system dropped because the receive buffer overflowed,
// and new answers beyond the listing's limit. Loopback plays the LAN: a flood is sent straight to the
// search's port while nothing reads it.

#include "devicesearch.h"

#include "fakedevice.h"
#include "printers.h"
#include "waitfor.h"

#include <QNetworkInterface>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <ostream>

namespace {

QByteArray answerOf(int n)
{
    return "AX 0.80.194." + QByteArray::number((n >> 16) & 0xFF) + "." + QByteArray::number((n >> 8) & 0xFF) + "." +
           QByteArray::number(n & 0xFF) + "/10." + QByteArray::number((n >> 16) & 0xFF) + "." +
           QByteArray::number((n >> 8) & 0xFF) + "." + QByteArray::number(n & 0xFF) + "/D" + QByteArray::number(n) +
           "\r";
}

class SearchCountsTest : public ::testing::Test {
protected:
    SearchCountsTest()
    {
        state.broadcast = QHostAddress(QHostAddress::LocalHost);
        state.gCmdPort = peer.port();
    }

    // Sends `count` distinct answers to the search's port at once, with no event handled meanwhile.
    // Returns how many left.
    int flood(int first, int count)
    {
        QUdpSocket out;
        int sent = 0;
        for (int i = first; i < first + count; ++i)
            if (out.writeDatagram(answerOf(i), QHostAddress(QHostAddress::LocalHost), search.socket().localPort()) > 0)
                ++sent;
        return sent;
    }

    FakeDevice peer;
    lv::SessionState state;
    lv::DeviceSearch search{state};
};

TEST_F(SearchCountsTest, AnswersTheSystemDroppedAreCountedForTheirSearchOnly)
{
    int signals = 0;
    QObject::connect(&search, &lv::DeviceSearch::searchCountsChanged, &search, [&] { ++signals; });
    ASSERT_TRUE(search.start());
    if (search.lostAnswers() < 0)
        GTEST_SKIP() << "this system does not tell how many datagrams it dropped";
    EXPECT_EQ(search.lostAnswers(), 0);
    // A small answer takes some 800 bytes of the buffer: this is more than it holds.
    const int count = search.socket().receiveBufferSize() / 512 + 2000;
    ASSERT_LT(count, 400000) << "receive buffer of " << search.socket().receiveBufferSize() << " bytes";
    const int sent = flood(0, count);
    // Every answer that left is listed once read, or counted as dropped.
    LV_WAIT_EQ(search.lostAnswers() + static_cast<qint64>(search.devices().size()), qint64(sent), 10000);
    EXPECT_GT(search.lostAnswers(), 0);
    EXPECT_GT(signals, 0);
    EXPECT_EQ(search.unlistedAnswers(), 0);

    // The next search on the same port starts from none lost, and stays there when nothing overflows.
    signals = 0;
    ASSERT_TRUE(search.start());
    EXPECT_EQ(search.lostAnswers(), 0);
    EXPECT_EQ(signals, 1);
    flood(0, 10);
    LV_WAIT_EQ(search.devices().size(), 10u, 3000);
    EXPECT_EQ(search.lostAnswers(), 0);
}

TEST_F(SearchCountsTest, NewAnswersBeyondTheLimitAreCountedNotListed)
{
    search.setListLimit(5);
    int signals = 0;
    QObject::connect(&search, &lv::DeviceSearch::searchCountsChanged, &search, [&] { ++signals; });
    ASSERT_TRUE(search.start());
    flood(0, 8);
    LV_WAIT_EQ(search.unlistedAnswers(), 3, 3000);
    EXPECT_EQ(search.devices().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(search.devices().raw(i), answerOf(static_cast<int>(i)).toStdString());
    EXPECT_GT(signals, 0);

    // Repeats of listed answers and datagrams that are no answer are not left-out answers.
    flood(0, 5);
    QUdpSocket out;
    out.writeDatagram("not an answer", QHostAddress(QHostAddress::LocalHost), search.socket().localPort());
    flood(20, 1);
    LV_WAIT_EQ(search.unlistedAnswers(), 4, 3000);
    LV_EXPECT_NEVER(search.unlistedAnswers() != 4, 50);

    // A new search starts counting again.
    ASSERT_TRUE(search.start());
    EXPECT_EQ(search.unlistedAnswers(), 0);
    flood(0, 5);
    LV_WAIT_EQ(search.devices().size(), 5u, 3000);
    EXPECT_EQ(search.unlistedAnswers(), 0);
}

} // namespace

// ---- the card each device of a search is reached through, across searches: a search that no longer
// probes a card hears nothing more from it, and no device is given a card of an earlier search.
// Loopback stands in for the cards: "the routing table's choice" (no interface) and the loopback card.

namespace {

QByteArray cardAnswerOf(int n)
{
    return "AX 0.80.194.7.7." + QByteArray::number(n) + "/10.7.7." + QByteArray::number(n) + "/Dev" +
           QByteArray::number(n) + "\r";
}

class SearchCards : public ::testing::Test {
protected:
    SearchCards()
    {
        state.broadcast = QHostAddress::LocalHost;
        state.gCmdPort = device.port();
    }
    std::vector<std::string> listed() const
    {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < search.devices().size(); ++i)
            out.push_back(search.devices().raw(i));
        return out;
    }
    FakeDevice device;
    lv::SessionState state;
    lv::DeviceSearch search{state};
};

// The loopback card by what it is, whatever the system calls it ("lo", "loopback_0").
QNetworkInterface loopbackCard()
{
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack) && iface.flags().testFlag(QNetworkInterface::IsUp))
            return iface;
    return {};
}

// Each probe is answered late by a device of its own: the first probe's device answers after the
// second search has started on another card.
TEST_F(SearchCards, LateAnswersOfACardNoLongerProbedAreNotListed)
{
    const QNetworkInterface lo = loopbackCard();
    ASSERT_TRUE(lo.isValid()) << "no loopback interface";
    int probes = 0;
    device.setHandler([&](const FakeDevice::Received& r) {
        const int n = ++probes;
        QTimer::singleShot(200, [this, r, n] { device.answer(r, cardAnswerOf(n)); });
        return QList<QByteArray>{};
    });
    ASSERT_TRUE(search.start()); // where the routing table sends
    state.interfaceName = lo.name();
    ASSERT_TRUE(search.start()); // through the named card only
    LV_WAIT_EQ(probes, 2, 3000);
    const std::vector<std::string> second{cardAnswerOf(2).toStdString()};
    LV_WAIT_EQ(listed(), second, 3000);
    // The first probe's answer came first, 200 ms after it: it is not listed, late or not.
    LV_EXPECT_NEVER(listed() != second || probes != 2, 300);
    ASSERT_EQ(search.sockets().size(), 1u);
}

struct PastEndCase {
    const char* name;
    int offset; // the row asked for, from the end of the list
};

void PrintTo(const PastEndCase& c, std::ostream* os)
{
    *os << c.name;
}

class SearchPastEnd : public SearchCards, public ::testing::WithParamInterface<PastEndCase> {};

// A longer search through a card, then a shorter one: rows the second search did not fill name no
// device, and no card either (a card of the first search would send commands astray).
TEST_P(SearchPastEnd, RowsPastTheListGiveNoCardOfAnEarlierSearch)
{
    const QNetworkInterface lo = loopbackCard();
    ASSERT_TRUE(lo.isValid()) << "no loopback interface";
    state.interfaceName = lo.name();
    QList<QByteArray> answers{cardAnswerOf(1), cardAnswerOf(2), cardAnswerOf(3)};
    device.setHandler([&](const FakeDevice::Received&) { return answers; });
    ASSERT_TRUE(search.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.devices().size() == 3; }, 1000));
    ASSERT_EQ(search.devices().size(), 3u);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(search.interfaceOf(row), lo.index());

    answers = {cardAnswerOf(4)};
    ASSERT_TRUE(search.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.devices().size() == 1; }, 1000));
    LV_EXPECT_NEVER(search.devices().size() != 1u, 50);
    ASSERT_EQ(search.devices().size(), 1u);
    EXPECT_EQ(search.interfaceOf(0), lo.index());
    const int row = static_cast<int>(search.devices().size()) + GetParam().offset;
    EXPECT_EQ(search.interfaceOf(row), 0) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(Rows, SearchPastEnd,
                         ::testing::Values(PastEndCase{"JustPastTheEnd", 0}, PastEndCase{"TwoPast", 1},
                                           PastEndCase{"BeforeTheStart", -2}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
