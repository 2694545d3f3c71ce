// SPDX-License-Identifier: Apache-2.0
// GetTagValue and the command texts.

#include "tagmessage.h"

#include <gtest/gtest.h>

#include <chrono>

#include <ostream>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace lv {
namespace {

struct TagCase {
    const char* name;
    std::string buffer;
    std::string tag;
    std::string value;
    bool present;
};

void PrintTo(const TagCase& c, std::ostream* os)
{
    *os << c.name;
}

class GetTagValueTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(GetTagValueTest, ReadsValue)
{
    const TagCase& c = GetParam();
    const TagValue v = GetTagValue(c.buffer, c.tag);
    EXPECT_EQ(v.present, c.present);
    EXPECT_EQ(v.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, GetTagValueTest,
    ::testing::Values(TagCase{"Simple", "A<IPAddress>192.168.1.20</IPAddress>MAC", "IPAddress", "192.168.1.20", true},
                      TagCase{"AnyOrder", "<B>2</B><A>1</A>", "A", "1", true},
                      TagCase{"EmptyValue", "<DeviceID></DeviceID>", "DeviceID", "", true},
                      TagCase{"BlanksKept", "<DeviceID>  dev 1 </DeviceID>", "DeviceID", "  dev 1 ", true},
                      TagCase{"NulInsideValue", "<X>a\0b</X>"s, "X", "a\0b"s, true},
                      TagCase{"ClosingBeforeOpening", "</SubMask>x<SubMask>255.0.0.0</SubMask>", "SubMask", "", false},
                      TagCase{"OpeningMissing", "value</SubMask>", "SubMask", "", false},
                      TagCase{"ClosingMissing", "<SubMask>value", "SubMask", "", false},
                      TagCase{"Absent", "A MODEL: KR-770A MAC", "SubMask", "", false},
                      TagCase{"EmptyBuffer", "", "SubMask", "", false},
                      TagCase{"CaseSensitive", "<ipaddress>1</ipaddress>", "IPAddress", "", false},
                      TagCase{"FirstOpeningAndFirstClosing", "<A>1</A><A>2</A>", "A", "1", true},
                      TagCase{"ShortNameBeforeLongerName",
                              "<TCPLinkTimeOutMode>1</TCPLinkTimeOutMode><TCPLinkTimeOut>30</TCPLinkTimeOut>",
                              "TCPLinkTimeOut", "30", true},
                      TagCase{"LongerNameAfterShortName",
                              "<TCPLinkTimeOut>30</TCPLinkTimeOut><TCPLinkTimeOutMode>1</TCPLinkTimeOutMode>",
                              "TCPLinkTimeOutMode", "1", true},
                      TagCase{"OpeningAtEnd", "xx<A>", "A", "", false}),
    [](const ::testing::TestParamInfo<TagCase>& tp) { return std::string(tp.param.name); });

struct OutsideCase {
    const char* name;
    std::string buffer;
    std::size_t at; // npos: not found outside items
};

void PrintTo(const OutsideCase& c, std::ostream* os)
{
    *os << c.name;
}

class FindOutsideItemsTest : public ::testing::TestWithParam<OutsideCase> {};

TEST_P(FindOutsideItemsTest, SkipsItems)
{
    EXPECT_EQ(findOutsideItems(GetParam().buffer, "MODEL: "), GetParam().at);
}

constexpr std::size_t kNone = std::string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Buffers, FindOutsideItemsTest,
    ::testing::Values(OutsideCase{"NoTags", "A MODEL: X", 2}, OutsideCase{"Absent", "A <a>b</a>", kNone},
                      OutsideCase{"BeforeAnyItem", "MODEL: <a>MODEL: </a>", 0},
                      OutsideCase{"InsideOnly", "A<a>MODEL: </a>", kNone},
                      OutsideCase{"AfterTheItem", "A<a>MODEL: </a>MODEL: ", 15},
                      OutsideCase{"ItemEndsAtItsFirstClosingTag", "<a>x</a>MODEL: </a>", 8},
                      OutsideCase{"ItemWithinAnItemIsPartOfIt", "<a><b>MODEL: </b></a>", kNone},
                      OutsideCase{"OtherNamesClosingDoNotEndIt", "<a>MODEL: </b>MODEL: </a>", kNone},
                      OutsideCase{"UnclosedOpeningIsText", "<a>MODEL: ", 3},
                      OutsideCase{"StrayLessThanRestartsTheTag", "<a<b>MODEL: </b>", kNone},
                      OutsideCase{"EmptyNameIsNoTag", "<>MODEL: </>", 2},
                      OutsideCase{"AcrossTheClosingTag", "<a>xMODEL</a>: MODEL: ", 15}),
    [](const ::testing::TestParamInfo<OutsideCase>& tp) { return std::string(tp.param.name); });

TEST(FindOutsideItems, FindsTheMarkerAfterManyUnclosedTags)
{
    // Every tag distinct and unclosed, the marker at the end: one pass, not one search per tag.
    std::string buffer;
    for (int i = 0; buffer.size() < 60000; ++i)
        buffer += "<" + std::to_string(i) + ">";
    buffer += "MODEL: ";
    EXPECT_EQ(findOutsideItems(buffer, "MODEL: "), buffer.size() - 7);
}

TEST(ReplyHoldsMac, OnlyUpperCaseCounts)
{
    EXPECT_FALSE(replyHoldsMac("A<MacAddress>1</MacAddress>"));
    EXPECT_FALSE(replyHoldsMac("MA"));
    EXPECT_TRUE(replyHoldsMac("A<MacAddress>1</MacAddress>MAC"));
    EXPECT_TRUE(replyHoldsMac("xxMACxx"));
}

TEST(Messages, ConfigRequestEndsInOneZeroByte)
{
    EXPECT_EQ(configRequest("0.80.194.1.2.3/192.168.1.20/", "pw"), "G 0.80.194.1.2.3/192.168.1.20/pw\0"s);
    EXPECT_EQ(configRequest("0.80.194.1.2.3/192.168.1.20/", ""), "G 0.80.194.1.2.3/192.168.1.20/\0"s);
}

TEST(Messages, UpdateCommandHasNoTerminator)
{
    const std::string u = updateCommand("00-50-C2-01-02-03", "10.0.0.5", "pw");
    EXPECT_EQ(u, "U 00-50-C2-01-02-03/10.0.0.5/pw");
    EXPECT_EQ(u.find('\0'), std::string::npos);
}

TEST(Messages, TagItem)
{
    EXPECT_EQ(tagItem("SIOBaud", "9"), "<SIOBaud>9</SIOBaud>");
    EXPECT_EQ(tagItem("DeviceID", ""), "<DeviceID></DeviceID>");
}

struct SetCase {
    const char* name;
    HeaderExtra extra;
    std::vector<FieldChange> fields;
    std::string expected;
};

void PrintTo(const SetCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetCommandTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetCommandTest, Assembles)
{
    const SetCase& c = GetParam();
    EXPECT_EQ(assembleSetCommand("00-50-C2-01-02-03", "192.168.1.20", "pw", c.extra, c.fields), c.expected);
}

const std::vector<FieldChange> kUnchanged{{"IPAddress", "192.168.1.20", "192.168.1.20"}, {"SIOBaud", "5", "5"}};

INSTANTIATE_TEST_SUITE_P(
    Set, SetCommandTest,
    ::testing::Values(
        SetCase{"NothingChangedHeaderOnly", HeaderExtra::None, kUnchanged, "S 00-50-C2-01-02-03/192.168.1.20/pw"},
        SetCase{"NoFieldsHeaderOnly", HeaderExtra::None, {}, "S 00-50-C2-01-02-03/192.168.1.20/pw"},
        SetCase{"NothingChangedNul", HeaderExtra::Nul, kUnchanged, "S 00-50-C2-01-02-03/192.168.1.20/pw\0"s},
        SetCase{"NothingChangedSlash", HeaderExtra::Slash, kUnchanged, "S 00-50-C2-01-02-03/192.168.1.20/pw/"},
        SetCase{"IpChangeKeepsOldIpInHeader",
                HeaderExtra::None,
                {{"IPAddress", "10.0.0.5", "192.168.1.20"}, {"SIOBaud", "5", "5"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw/<IPAddress>10.0.0.5</IPAddress>"},
        SetCase{"BaudOnly",
                HeaderExtra::None,
                {{"IPAddress", "192.168.1.20", "192.168.1.20"}, {"SIOBaud", "9", "5"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw/<SIOBaud>9</SIOBaud>"},
        SetCase{"NulBeforeFirstItem",
                HeaderExtra::Nul,
                {{"krIP", "10.0.0.5", "10.0.0.4"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw\0/<krIP>10.0.0.5</krIP>"s},
        SetCase{"SlashBeforeFirstItem",
                HeaderExtra::Slash,
                {{"COM1_Modbus", "1", "0"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw//<COM1_Modbus>1</COM1_Modbus>"},
        SetCase{"CaseChangeCounts",
                HeaderExtra::None,
                {{"DeviceID", "abc", "ABC"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw/<DeviceID>abc</DeviceID>"},
        SetCase{"EmptiedFieldSentEmpty",
                HeaderExtra::None,
                {{"DeviceID", "", "ABC"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw/<DeviceID></DeviceID>"},
        SetCase{"GivenOrderKept",
                HeaderExtra::None,
                {{"SetupPassword", "new", "pw"}, {"IPAddress", "10.0.0.5", "192.168.1.20"}, {"DHCPEnable", "-1", "0"}},
                "S 00-50-C2-01-02-03/192.168.1.20/pw/<SetupPassword>new</SetupPassword>"
                "/<IPAddress>10.0.0.5</IPAddress>/<DHCPEnable>-1</DHCPEnable>"}),
    [](const ::testing::TestParamInfo<SetCase>& tp) { return std::string(tp.param.name); });

} // namespace
} // namespace lv
