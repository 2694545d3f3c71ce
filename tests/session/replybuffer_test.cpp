// SPDX-License-Identifier: Apache-2.0
// ReplyBuffer: joining, the completion mark, its bounds in time and size: what a device that floods or
// splits its reply can and cannot do to the exchange that reads it.

#include "replybuffer.h"

#include "fakedevice.h"
#include "printers.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

using lv::ReplyBuffer;

TEST(ReplyBufferTest, CompletesOnUpperCaseMacOnlyAcrossDatagrams)
{
    ReplyBuffer buffer;
    QSignalSpy spy(&buffer, &ReplyBuffer::completed);
    buffer.append("A MODEL: KR-7700 <MacAddress>1</MacAddress> Mac");
    EXPECT_FALSE(buffer.complete());
    // "MAC" cut across two datagrams still counts once both arrived.
    buffer.append("M");
    EXPECT_FALSE(buffer.complete());
    buffer.append("AC");
    EXPECT_TRUE(buffer.complete());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(buffer.text(), "A MODEL: KR-7700 <MacAddress>1</MacAddress> MacMAC");
    buffer.append(" MAC again");
    EXPECT_EQ(spy.count(), 1);
}

TEST(ReplyBufferTest, ClearEmptiesTextAndFlag)
{
    ReplyBuffer buffer;
    buffer.append("MAC, a later piece first");
    buffer.append("AMAC");
    buffer.clear();
    EXPECT_FALSE(buffer.complete());
    EXPECT_TRUE(buffer.text().empty());
    EXPECT_EQ(buffer.datagramsBeforeStart(), 0);
}

TEST(ReplyBufferTest, KeepsNulBytes)
{
    ReplyBuffer buffer;
    buffer.append(QByteArray("A\0B", 3));
    EXPECT_EQ(buffer.text(), std::string("A\0B", 3));
}

TEST(ReplyBufferTest, FloodDoesNotGrowPastBound)
{
    ReplyBuffer buffer;
    const QByteArray chunk(1000, 'x');
    for (int i = 0; i < 2000; ++i)
        buffer.append(chunk);
    EXPECT_LE(buffer.text().size(), ReplyBuffer::kMaxBytes);
    EXPECT_FALSE(buffer.complete());
}

// A configuration reply is whole once it holds "MAC", its MacAddress item and "MODEL: " outside any item,
// however the datagrams cut it; the buffer tests it again only when a datagram can change that, so every
// cut below must still complete at the last datagram, and not before.
struct CutCase {
    const char* name;
    std::vector<const char*> datagrams;
};

class ReplyBufferCuts : public ::testing::TestWithParam<CutCase> {};

TEST_P(ReplyBufferCuts, CompletesAtTheLastDatagramAndNotBefore)
{
    ReplyBuffer buffer;
    buffer.expectConfiguration("0.80.194.0.0.3");
    const std::vector<const char*>& datagrams = GetParam().datagrams;
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        buffer.append(QByteArray(datagrams[i]));
        EXPECT_EQ(buffer.complete(), i + 1 == datagrams.size()) << "after datagram " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, ReplyBufferCuts,
    ::testing::Values(
        CutCase{"Whole", {"AG VER:1\r<MacAddress>0.80.194.0.0.3</MacAddress>MAC\rMODEL: KR-770A"}},
        CutCase{"ModelLast", {"AG VER:1\r<MacAddress>0.80.194.0.0.3</MacAddress>MAC\r", "MODEL: KR-770A"}},
        CutCase{"ModelMarkerCut", {"AG VER:1\r<MacAddress>0.80.194.0.0.3</MacAddress>MAC\rMOD", "EL: KR-770A"}},
        CutCase{"MacMarkerCut", {"AG VER:1\r<MacAddress>0.80.194.0.0.3</MacAddress>M", "AC\rMODEL: KR-770A"}},
        CutCase{"ItemTagCut", {"AG VER:1\rMAC\rMODEL: KR-770A <MacAddress>0.80.194.0.0.3</MacAdd", "ress>"}},
        CutCase{"ItemValueCut", {"AG VER:1\rMAC\rMODEL: KR-770A <MacAddress>0.80.19", "4.0.0.3</MacAddress>"}},
        CutCase{"ModelInsideAnItemFirst",
                {"AG <DeviceID>MODEL: KR-7600</DeviceID><MacAddress>0.80.194.0.0.3</MacAddress>MAC\r", "no tag here",
                 "MODEL: KR-770A"}}),
    [](const auto& p) { return std::string(p.param.name); });

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

class ReplyFlood : public ::testing::TestWithParam<FloodCase> {};

TEST_P(ReplyFlood, AReplyThatStartsWithAStopsGrowingAtTheBound)
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

INSTANTIATE_TEST_SUITE_P(Floods, ReplyFlood,
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

class ReplySettle : public ::testing::TestWithParam<SettleCase> {};

// A reply cut after "MAC" may still bring its model a moment later; one that never does is taken
// well within the request's 1000 ms bound, so the window still opens.
TEST_P(ReplySettle, AnIncompleteReplyWaitsBrieflyForItsRest)
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
    Replies, ReplySettle,
    ::testing::Values(
        SettleCase{"NoModelEver", "AG VER:1.07\r<MacAddress>00-50-C2-01-02-03</MacAddress> MAC", "", 0, false},
        SettleCase{"NoMacAddressItemEver", "AG VER:1.07\rMAC MODEL: KR-770A", "", 0, false},
        SettleCase{"ModelFollowsAfterAPause", "AG VER:1.07\r<MacAddress>00-50-C2-01-02-03</MacAddress> MAC",
                   " MODEL: KR-770A", 150, true},
        SettleCase{"TwoPausesInARow", "AG VER:1.07\rMAC", "<MacAddress>00-50-C2-01-02-03</MacAddress>", 150, true}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
