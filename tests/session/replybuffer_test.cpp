// SPDX-License-Identifier: Apache-2.0
// ReplyBuffer: joining, the completion mark, the size bound.

#include "replybuffer.h"

#include "printers.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

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
    buffer.append("AMAC");
    buffer.clear();
    EXPECT_FALSE(buffer.complete());
    EXPECT_TRUE(buffer.text().empty());
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
        CutCase{"ItemTagCut",
                {"AG VER:1\rMAC\rMODEL: KR-770A <MacAddress>0.80.194.0.0.3</MacAdd", "ress>"}},
        CutCase{"ItemValueCut", {"AG VER:1\rMAC\rMODEL: KR-770A <MacAddress>0.80.19", "4.0.0.3</MacAddress>"}},
        CutCase{"ModelInsideAnItemFirst",
                {"AG <DeviceID>MODEL: KR-7600</DeviceID><MacAddress>0.80.194.0.0.3</MacAddress>MAC\r",
                 "no tag here", "MODEL: KR-770A"}}),
    [](const auto& p) { return std::string(p.param.name); });
