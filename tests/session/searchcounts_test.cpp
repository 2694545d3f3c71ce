// SPDX-License-Identifier: Apache-2.0
// What a search could not list: answers the system dropped because the receive buffer overflowed,
// and new answers beyond the listing's limit. Loopback plays the LAN: a flood is sent straight to the
// search's port while nothing reads it.

#include "devicesearch.h"

#include "answeringpeer.h"
#include "waitfor.h"

#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

QByteArray answerOf(int n)
{
    return "AX 0.80.194." + QByteArray::number((n >> 16) & 0xFF) + "." + QByteArray::number((n >> 8) & 0xFF) +
           "." + QByteArray::number(n & 0xFF) + "/10." + QByteArray::number((n >> 16) & 0xFF) + "." +
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

    // Waits until the listing has stopped growing.
    void settle()
    {
        std::size_t before = 0;
        do {
            before = search.devices().size();
            QTest::qWait(100);
        } while (search.devices().size() != before);
    }

    AnsweringPeer peer{{}};
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
    settle();
    const qint64 listed = static_cast<qint64>(search.devices().size());
    EXPECT_GT(search.lostAnswers(), 0);
    EXPECT_EQ(search.lostAnswers() + listed, sent);
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
    QTest::qWait(50);
    EXPECT_EQ(search.unlistedAnswers(), 4);

    // A new search starts counting again.
    ASSERT_TRUE(search.start());
    EXPECT_EQ(search.unlistedAnswers(), 0);
    flood(0, 5);
    LV_WAIT_EQ(search.devices().size(), 5u, 3000);
    EXPECT_EQ(search.unlistedAnswers(), 0);
}

} // namespace
