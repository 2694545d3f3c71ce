// SPDX-License-Identifier: Apache-2.0
// The reply buffer's bounds in time and size, and the MAC change's own socket: what a device that
// floods, splits its reply or answers late can and cannot do to the exchange that reads it.

#include "macchangeexchange.h"
#include "replybuffer.h"

#include "fakedevice.h"
#include "printers.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

namespace {

// ---- size: a device that keeps sending after the "A" of its reply

struct FloodCase {
    const char* name;
    int chunkBytes;
    int chunks;
    bool configuration; // the buffer waits for a configuration reply (with its MAC check)
};

void PrintTo(const FloodCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplyFloodPin : public ::testing::TestWithParam<FloodCase> {};

TEST_P(ReplyFloodPin, AReplyThatStartsWithAStopsGrowingAtTheBound)
{
    lv::ReplyBuffer buffer;
    if (GetParam().configuration)
        buffer.expectConfiguration("0.80.194.1.2.3");
    // The first datagram is an answer, so the buffer takes it; everything after it is filler without "MAC".
    const QByteArray first = "AG VER:1.07\r" + QByteArray(GetParam().chunkBytes, 'x');
    const QByteArray chunk(GetParam().chunkBytes, 'y');
    buffer.append(first);
    for (int i = 0; i < GetParam().chunks; ++i)
        buffer.append(chunk);
    EXPECT_LE(buffer.text().size(), lv::ReplyBuffer::kMaxBytes);
    // Nothing of the answer is lost to the filler: it is the start of what is kept.
    EXPECT_EQ(buffer.text().compare(0, static_cast<std::size_t>(first.size()), first.constData()), 0);
    EXPECT_FALSE(buffer.complete());
}

INSTANTIATE_TEST_SUITE_P(Floods, ReplyFloodPin,
                         ::testing::Values(FloodCase{"SmallDatagrams", 1000, 600, false},
                                           FloodCase{"LargestDatagrams", 65000, 10, false},
                                           FloodCase{"WhileAConfigurationIsAwaited", 8000, 100, true}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- time: a reply that holds "MAC" but not yet everything of a whole reply

struct SettleCase {
    const char* name;
    const char* first;  // holds "MAC"; the buffer waits for more
    const char* second; // follows after `gapMs`; empty: nothing follows
    int gapMs;
    bool secondJoins;
};

void PrintTo(const SettleCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplySettlePin : public ::testing::TestWithParam<SettleCase> {};

// A reply cut after "MAC" may still bring its model a moment later; one that never does is taken
// well within the request's 1000 ms bound, so the window still opens.
TEST_P(ReplySettlePin, AnIncompleteReplyWaitsBrieflyForItsRest)
{
    const SettleCase& c = GetParam();
    lv::ReplyBuffer buffer;
    buffer.expectConfiguration("0.80.194.1.2.3");
    QSignalSpy completed(&buffer, &lv::ReplyBuffer::completed);
    buffer.append(QByteArray(c.first));
    if (*c.second)
        QTimer::singleShot(c.gapMs, &buffer, [&] { buffer.append(QByteArray(c.second)); });
    ASSERT_TRUE(completed.wait(1500)) << "the reply never completed";
    EXPECT_EQ(completed.count(), 1);
    EXPECT_EQ(buffer.text(), std::string(c.first) + (c.secondJoins ? c.second : ""));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplySettlePin,
    ::testing::Values(
        SettleCase{"NoModelEver", "AG VER:1.07\r<MacAddress>00-50-C2-01-02-03</MacAddress> MAC", "", 0, false},
        SettleCase{"NoMacAddressItemEver", "AG VER:1.07\rMAC MODEL: KR-770A", "", 0, false},
        SettleCase{"ModelFollowsAfterAPause", "AG VER:1.07\r<MacAddress>00-50-C2-01-02-03</MacAddress> MAC",
                   " MODEL: KR-770A", 150, true},
        SettleCase{"TwoPausesInARow", "AG VER:1.07\rMAC", "<MacAddress>00-50-C2-01-02-03</MacAddress>", 150,
                   true}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- the MAC change: each change reads only the answers to its own command

QByteArray macAnswer(const char* oldField, const char* newField)
{
    return QByteArray("AM Old MAC: ") + oldField + "\r\nNew MAC: " + newField + "\r";
}

struct LateCase {
    const char* name;
    bool secondAnswered; // the device answers the second command (after the first's late answer came)
};

void PrintTo(const LateCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacChangeLatePin : public ::testing::TestWithParam<LateCase> {};

TEST_P(MacChangeLatePin, ALateAnswerOfAnEarlierChangeIsNotThisOnes)
{
    FakeDevice device;
    lv::SessionState state;
    state.broadcast = QHostAddress::LocalHost;
    state.gCmdPort = device.port();
    int commands = 0;
    device.setHandler([&](const FakeDevice::Received& r) {
        if (!r.bytes.startsWith("M "))
            return QList<QByteArray>{};
        if (++commands == 1) {
            // The first change is answered after its wait has ended, while the second one waits.
            QTimer::singleShot(250, [&device, r] { device.answer(r, macAnswer("0.80.194.1.2.3", "0.80.194.9.9.1")); });
        } else if (GetParam().secondAnswered) {
            QTimer::singleShot(400, [&device, r] { device.answer(r, macAnswer("0.80.194.1.2.3", "0.80.194.9.9.2")); });
        }
        return QList<QByteArray>{};
    });

    lv::CommandChannel channel(state);
    const lv::DeviceRef asked{"AX 0.80.194.1.2.3/10.0.0.7/D\r"};
    lv::MacChangeExchange firstChange(channel, asked, "0.80.194.9.9.1", "code", 100);
    const lv::MacChangeResult first = lv::runExchange(firstChange);
    ASSERT_TRUE(first.sent());
    EXPECT_FALSE(first.replied());
    lv::MacChangeExchange secondChange(channel, asked, "0.80.194.9.9.2", "code", 700);
    const lv::MacChangeResult second = lv::runExchange(secondChange);
    ASSERT_TRUE(second.sent());
    ASSERT_EQ(device.withPrefix("M ").size(), 2u);
    if (GetParam().secondAnswered) {
        EXPECT_TRUE(second.replied());
        EXPECT_EQ(second.newField, "0.80.194.9.9.2");
    } else {
        EXPECT_FALSE(second.replied()) << "took " << second.newField;
        EXPECT_TRUE(second.newField.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, MacChangeLatePin,
                         ::testing::Values(LateCase{"SecondUnanswered", false}, LateCase{"SecondAnswered", true}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
