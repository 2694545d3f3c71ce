// SPDX-License-Identifier: Apache-2.0
// Search replies, device-list lines, the duplicate test and the line rewrites.

#include "devicelist.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace lv {
namespace {

const std::string kMacText = "00-50-C2-01-02-03";

std::string blanks(std::size_t n)
{
    return std::string(n, ' ');
}

// ---- search replies and the line built from them ----

struct LineCase {
    const char* name;
    std::string datagram;
    std::string expectedLine;
};

void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << c.name;
}

class DeviceLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(DeviceLineTest, BuildsLine)
{
    const LineCase& c = GetParam();
    DeviceList list;
    ASSERT_EQ(list.add(c.datagram), 0);
    EXPECT_EQ(list.line(0), c.expectedLine);
    EXPECT_EQ(list.raw(0), c.datagram);
    EXPECT_EQ(list.line(0).substr(6, 17), macTextOfLine(list.line(0)));
}

INSTANTIATE_TEST_SUITE_P(
    Layout, DeviceLineTest,
    ::testing::Values(LineCase{"FifteenCharIpNoFiller", "AX 0.80.194.1.2.3/192.168.100.200/DEV1\rrest",
                               blanks(6) + kMacText + blanks(20) + "192.168.100.200" + blanks(19) + "DEV1"},
                      LineCase{"SevenCharIpSixteenBlanks", "AX 0.80.194.1.2.3/1.2.3.4/DEV1\r",
                               blanks(6) + kMacText + blanks(20) + "1.2.3.4" + blanks(16) + blanks(19) + "DEV1"},
                      LineCase{"NoCarriageReturnEmptyId", "AX 0.80.194.1.2.3/192.168.1.20/DEV1",
                               blanks(6) + kMacText + blanks(20) + "192.168.1.20" + blanks(6) + blanks(19)},
                      LineCase{"IdEndsAtFirstCr", "AX 0.80.194.1.2.3/192.168.1.20/A B\rC\rD",
                               blanks(6) + kMacText + blanks(20) + "192.168.1.20" + blanks(6) + blanks(19) + "A B"},
                      LineCase{"LongIpNoFiller", "AX 0.80.194.1.2.3/1234567890123456/X\r",
                               blanks(6) + kMacText + blanks(20) + "1234567890123456" + blanks(19) + "X"},
                      LineCase{"HexUpperCaseTwoDigits", "AX 255.171.0.10.16.1/1.2.3.4/\r",
                               blanks(6) + "FF-AB-00-0A-10-01" + blanks(20) + "1.2.3.4" + blanks(16) + blanks(19)},
                      LineCase{"LeadingZerosAccepted", "AX 000.080.0194.1.2.3/1.2.3.4/\r",
                               blanks(6) + kMacText + blanks(20) + "1.2.3.4" + blanks(16) + blanks(19)},
                      LineCase{"OnlyFirstCharacterTested", "AZ 0.80.194.1.2.3/1.2.3.4/\r",
                               blanks(6) + kMacText + blanks(20) + "1.2.3.4" + blanks(16) + blanks(19)}),
    [](const ::testing::TestParamInfo<LineCase>& tp) { return std::string(tp.param.name); });

TEST(DeviceLine, ColumnsOfTheExampleReply)
{
    const auto reply = parseSearchReply("AX 0.80.194.1.2.3/192.168.1.20/DEV1\r");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->macField, "0.80.194.1.2.3");
    EXPECT_EQ(reply->macText, kMacText);
    EXPECT_EQ(reply->ip, "192.168.1.20");
    EXPECT_EQ(reply->deviceId, "DEV1");
    const std::string line = deviceListLine(reply->macText, reply->ip, reply->deviceId);
    // Characters 7-23 hold the MAC text, the IP starts at character 44, the ID at 93 - 12.
    EXPECT_EQ(line.substr(6, 17), kMacText);
    EXPECT_EQ(line.substr(43, 12), "192.168.1.20");
    EXPECT_EQ(line.substr(93 - 12 - 1), "DEV1");
}

class MalformedReplyTest : public ::testing::TestWithParam<std::string> {};

TEST_P(MalformedReplyTest, AddsNothingAndKeepsListsPaired)
{
    EXPECT_FALSE(parseSearchReply(GetParam()));
    DeviceList list;
    ASSERT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/ONE\r"), 0);
    EXPECT_EQ(list.add(GetParam()), -1);
    EXPECT_EQ(list.add(GetParam()), -1);
    EXPECT_FALSE(list.contains(GetParam()));
    ASSERT_EQ(list.add("AX 0.80.194.1.2.4/10.0.0.2/TWO\r"), 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.raw(1), "AX 0.80.194.1.2.4/10.0.0.2/TWO\r");
    EXPECT_EQ(list.line(1), deviceListLine("00-50-C2-01-02-04", "10.0.0.2", "TWO"));
}

INSTANTIATE_TEST_SUITE_P(Malformed, MalformedReplyTest,
                         ::testing::Values("", "A", "BX 0.80.194.1.2.3/1.2.3.4/ID\r", "aX 0.80.194.1.2.3/1.2.3.4/ID\r",
                                           "AX 0.80.194.1.2.3", "AX 0.80.194.1.2.3/1.2.3.4",
                                           "AX 0.80.194.1.2.3/1.2\r.3.4/ID\r", "AX 0.80.194\r.1.2.3/1.2.3.4/ID",
                                           "AX 0.80.194.1.2.256/1.2.3.4/ID\r", "AX 0.80.1000.1.2.3/1.2.3.4/ID\r",
                                           "AX 0.80.194.1.2/1.2.3.4/ID\r", "AX 0.80.194.1.2.3.4/1.2.3.4/ID\r",
                                           "AX 008050C20102/1.2.3.4/ID\r", "AX 0.80..1.2.3/1.2.3.4/ID\r",
                                           "AX .80.194.1.2.3/1.2.3.4/ID\r", "AX 0.80.194.1.2./1.2.3.4/ID\r",
                                           "AX 0.80.1a.1.2.3/1.2.3.4/ID\r", "AX 0.80.194.1.2.-3/1.2.3.4/ID\r",
                                           "AX 0.80.194.1.2. 3/1.2.3.4/ID\r", "AX /1.2.3.4/ID\r", "A/0.1.2.3.4.5/x/"));

// ---- the duplicate test ----

TEST(DeviceListDuplicates, SameDatagramTwiceListedOnce)
{
    DeviceList list;
    EXPECT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/ONE\r"), 0);
    EXPECT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/ONE\r"), -1);
    EXPECT_EQ(list.size(), 1u);
}

class DifferingReplyTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DifferingReplyTest, EachListed)
{
    DeviceList list;
    EXPECT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/ONE\rtail"), 0);
    EXPECT_EQ(list.add(GetParam()), 1);
    EXPECT_EQ(list.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(OneCharDiffers, DifferingReplyTest,
                         ::testing::Values("AX 0.80.194.1.2.3/10.0.0.1/ONF\rtail",
                                           "AX 0.80.194.1.2.3/10.0.0.1/one\rtail",
                                           "AX 0.80.194.1.2.3/10.0.0.1/ONE\rtaiL",
                                           "AX 0.80.194.1.2.3/10.0.0.1/ONE\rtail ",
                                           "AX 0.80.194.1.2.3/10.0.0.1/ONE\rtai",
                                           std::string("AX 0.80.194.1.2.3/10.0.0.1/ONE\rtail\0", 36)));

TEST(DeviceListDuplicates, SetRawKeepsTheIndexInStep)
{
    const std::string a = "AX 0.80.194.1.2.3/10.0.0.1/A\r";
    const std::string b = "AX 0.80.194.1.2.4/10.0.0.2/B\r";
    const std::string c = "AX 0.80.194.1.2.5/10.0.0.3/C\r";
    DeviceList list;
    ASSERT_EQ(list.add(a), 0);
    ASSERT_EQ(list.add(b), 1);

    list.setRaw(1, a); // two entries now hold a
    EXPECT_FALSE(list.contains(b));
    EXPECT_EQ(list.add(a), -1);

    list.setRaw(0, c); // one entry still holds a
    EXPECT_TRUE(list.contains(a));
    EXPECT_TRUE(list.contains(c));
    EXPECT_EQ(list.add(a), -1);
    EXPECT_EQ(list.add(c), -1);

    EXPECT_EQ(list.add(b), 2);
    list.setRaw(1, b);
    EXPECT_FALSE(list.contains(a));
    EXPECT_EQ(list.add(a), 3);
    EXPECT_EQ(list.size(), 4u);
    EXPECT_EQ(list.raw(0), c);

    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_FALSE(list.contains(a));
    EXPECT_EQ(list.add(a), 0);
}

TEST(DeviceListDuplicates, SetLineLeavesTheRawEntry)
{
    DeviceList list;
    ASSERT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/A\r"), 0);
    list.setLine(0, "changed");
    EXPECT_EQ(list.line(0), "changed");
    EXPECT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/A\r"), -1);
    EXPECT_THROW(list.setLine(1, "x"), std::out_of_range);
    EXPECT_THROW(list.setRaw(1, "x"), std::out_of_range);
}

TEST(DeviceListDuplicates, TenThousandDevices)
{
    DeviceList list;
    std::vector<std::string> replies;
    for (int i = 0; i < 10000; ++i)
        replies.push_back("AX 0.80.194.1." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "/10.0." +
                          std::to_string(i / 256) + "." + std::to_string(i % 256) + "/D" + std::to_string(i) + "\r");
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(list.add(replies[static_cast<std::size_t>(i)]), i);
    for (const std::string& r : replies)
        ASSERT_EQ(list.add(r), -1);
    ASSERT_EQ(list.size(), 10000u);
    EXPECT_EQ(list.raw(9999), replies.back());
    EXPECT_EQ(list.line(9999), deviceListLine("00-50-C2-01-27-0F", "10.0.39.15", "D9999"));
}

// ---- fields read back from entries and lines ----

TEST(EntryFields, MacFieldOfEntry)
{
    EXPECT_EQ(macFieldOfEntry("AX 0.80.194.1.2.3/10.0.0.1/A\r"), "0.80.194.1.2.3");
    EXPECT_EQ(macFieldOfEntry("AX 0.80.194.1.2.3"), "");
    EXPECT_EQ(macFieldOfEntry("AX0.80.194.1.2.3/1/"), "");
    EXPECT_EQ(macFieldOfEntry("A/ x/"), "");
}

TEST(EntryFields, AddressPartOfEntry)
{
    EXPECT_EQ(addressPartOfEntry("AX 0.80.194.1.2.3/10.0.0.1/A\r"), "0.80.194.1.2.3/10.0.0.1/");
    EXPECT_EQ(addressPartOfEntry("AX 0.80.194.1.2.3/10.0.0.1/"), "0.80.194.1.2.3/10.0.0.1/");
    EXPECT_EQ(addressPartOfEntry("AX//"), "/");
    EXPECT_FALSE(addressPartOfEntry("AY 0.80.194.1.2.3/10.0.0.1/A\r"));
    EXPECT_FALSE(addressPartOfEntry("AX 0.80.194.1.2.3/10.0.0.1"));
    EXPECT_FALSE(addressPartOfEntry("AX"));
}

TEST(EntryFields, EntryWithIp)
{
    const struct {
        std::string entry;
        std::string ip;
        std::optional<std::string> expected;
    } cases[] = {
        {"AX 0.80.194.1.2.3/192.168.1.149/DEV1\rVER:1\r", "10.0.0.7", "AX 0.80.194.1.2.3/10.0.0.7/DEV1\rVER:1\r"},
        {"AX 0.80.194.1.2.3/1.2.3.4/", "192.168.100.200", "AX 0.80.194.1.2.3/192.168.100.200/"},
        {"AX 0.80.194.1.2.3//ID", "1.2.3.4", "AX 0.80.194.1.2.3/1.2.3.4/ID"},
        // The device ID may hold "/": only the IP between the first two is replaced.
        {"AX 0.80.194.1.2.3/1.2.3.4/A/B", "5.6.7.8", "AX 0.80.194.1.2.3/5.6.7.8/A/B"},
        {"AX 0.80.194.1.2.3/1.2.3.4", "5.6.7.8", std::nullopt},
        {"AX 0.80.194.1.2.3", "5.6.7.8", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entryWithIp(c.entry, c.ip), c.expected) << c.entry;
}

TEST(DeviceListDuplicates, RewrittenIpIsTheEntryTheDuplicateTestSees)
{
    const std::string before = "AX 0.80.194.1.2.3/192.168.1.149/DEV1\r";
    DeviceList list;
    ASSERT_EQ(list.add(before), 0);
    const std::optional<std::string> after = entryWithIp(before, "192.168.1.150");
    ASSERT_TRUE(after);
    list.setRaw(0, *after);
    EXPECT_EQ(addressPartOfEntry(list.raw(0)), "0.80.194.1.2.3/192.168.1.150/");
    EXPECT_EQ(list.add(*after), -1);
    EXPECT_EQ(list.add(before), 1);
}

TEST(EntryFields, MacTextOfLine)
{
    EXPECT_EQ(macTextOfLine(deviceListLine(kMacText, "10.0.0.1", "A-B")), kMacText);
    EXPECT_EQ(macTextOfLine("no dash"), "");
    EXPECT_EQ(macTextOfLine("-12"), "-12");
}

// ---- rewriting the IP and device-ID columns ----

struct IpPatchCase {
    const char* name;
    std::string line;
    std::string loadedIp;
    std::string newIp;
    std::string expected;
};

void PrintTo(const IpPatchCase& c, std::ostream* os)
{
    *os << c.name;
}

class PatchIpTest : public ::testing::TestWithParam<IpPatchCase> {};

TEST_P(PatchIpTest, Rewrites)
{
    const IpPatchCase& c = GetParam();
    EXPECT_EQ(patchIpColumn(c.line, c.loadedIp, c.newIp), c.expected);
}

const std::string kLine12 = deviceListLine(kMacText, "192.168.1.20", "DEV1");
const std::string kLine13 = deviceListLine(kMacText, "192.168.1.200", "DEVICE-9");

INSTANTIATE_TEST_SUITE_P(
    IpColumn, PatchIpTest,
    ::testing::Values(IpPatchCase{"TwelveToEight", kLine12, "192.168.1.20", "10.0.0.5",
                                  kLine12.substr(0, 43) + "10.0.0.5" + blanks(14) + kLine12.substr(43 + 12 + 6)},
                      IpPatchCase{"ThirteenToEleven", kLine13, "192.168.1.200", "10.10.10.10",
                                  kLine13.substr(0, 43) + "10.10.10.10" + blanks(8) + kLine13.substr(60)},
                      IpPatchCase{"EightToFifteen", deviceListLine(kMacText, "10.0.0.5", "X"), "10.0.0.5",
                                  "192.168.100.200", deviceListLine(kMacText, "192.168.100.200", "X")},
                      IpPatchCase{"LongerThanFifteenBothWays", deviceListLine(kMacText, "1234567890123456", "X"),
                                  "1234567890123456", "1.2.3.4", deviceListLine(kMacText, "1.2.3.4", "X")},
                      IpPatchCase{"ToLongerThanFifteen", kLine12, "192.168.1.20", "12345678901234567",
                                  deviceListLine(kMacText, "12345678901234567", "DEV1")},
                      IpPatchCase{"ShortLineKeepsWhatItHas", "short", "192.168.1.20", "1.2.3.4",
                                  "short1.2.3.4" + blanks(16)},
                      IpPatchCase{"LineEndsInsideFiller", kLine12.substr(0, 58), "192.168.1.20", "1.2.3.4",
                                  kLine12.substr(0, 43) + "1.2.3.4" + blanks(16)},
                      IpPatchCase{"EmptyLine", "", "", "", blanks(30)}),
    [](const ::testing::TestParamInfo<IpPatchCase>& tp) { return std::string(tp.param.name); });

struct IdPatchCase {
    const char* name;
    std::string line;
    std::string loadedId;
    std::string newId;
    std::string expected;
};

void PrintTo(const IdPatchCase& c, std::ostream* os)
{
    *os << c.name;
}

class PatchIdTest : public ::testing::TestWithParam<IdPatchCase> {};

TEST_P(PatchIdTest, Rewrites)
{
    const IdPatchCase& c = GetParam();
    EXPECT_EQ(patchDeviceIdColumn(c.line, c.loadedId, c.newId), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    IdColumn, PatchIdTest,
    ::testing::Values(IdPatchCase{"TenCharsShownAsEightAndBlank", kLine12, "DEV1", "ABCDEFGHIJ",
                                  blanks(6) + kMacText + blanks(20) + "192.168.1.20" + blanks(6) + blanks(18) +
                                      "ABCDEFGH "},
                      IdPatchCase{"ShortIdKeptWhole", kLine12, "DEV1", "N",
                                  blanks(6) + kMacText + blanks(20) + "192.168.1.20" + blanks(6) + blanks(18) + "N "},
                      IdPatchCase{"FromEmptyId", deviceListLine(kMacText, "192.168.1.20", ""), "", "NEW",
                                  blanks(6) + kMacText + blanks(20) + "192.168.1.20" + blanks(6) + blanks(18) + "NEW "},
                      IdPatchCase{"LineShorterThanLoadedId", "abc", "LONGERID", "NEW", "NEW "},
                      IdPatchCase{"EmptyLine", "", "", "", " "}),
    [](const ::testing::TestParamInfo<IdPatchCase>& tp) { return std::string(tp.param.name); });

TEST(PatchDeviceLine, IpColumnThenIdColumn)
{
    const std::string afterIp = patchIpColumn(kLine12, "192.168.1.20", "10.0.0.5");
    EXPECT_EQ(patchDeviceIdColumn(afterIp, "DEV1", "NEWID"),
              blanks(6) + kMacText + blanks(20) + "10.0.0.5" + blanks(14) + blanks(18) + "NEWID ");
}

} // namespace
} // namespace lv
