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
