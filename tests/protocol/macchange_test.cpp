// SPDX-License-Identifier: Apache-2.0
// The MAC change command, the reading of its answer, the check of a typed new
// address and the rewrite of a listed device.

#include "macchange.h"

#include "devicelist.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lv {
namespace {

const std::string kExampleReply = "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r";

TEST(MacChangeCommand, FieldsJoinedBySlashesWithoutTerminator)
{
    EXPECT_EQ(macChangeCommand("0.80.194.1.2.3", "0.80.194.1.2.4", "QuartzmoonTEST"),
              "M 0.80.194.1.2.3/0.80.194.1.2.4/QuartzmoonTEST");
    EXPECT_EQ(macChangeCommand("0.80.194.1.2.3", "0.80.194.1.2.4", ""), "M 0.80.194.1.2.3/0.80.194.1.2.4/");
}

// ---- the answer ----

struct ReplyCase {
    const char* name;
    std::string datagram;
    MacReplyKind kind;
    std::string oldField;
    std::string newField;
    std::string newText;
};

void PrintTo(const ReplyCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(MacReplyTest, Reads)
{
    const ReplyCase& c = GetParam();
    const MacChangeReply reply = parseMacChangeReply(c.datagram);
    EXPECT_EQ(reply.kind, c.kind);
    if (c.kind == MacReplyKind::Changed || c.kind == MacReplyKind::Unchanged) {
        EXPECT_EQ(reply.oldField, c.oldField);
        EXPECT_EQ(reply.newField, c.newField);
    }
    EXPECT_EQ(reply.newMac ? reply.newMac->text() : std::string(), c.newText);
}

using K = MacReplyKind;

INSTANTIATE_TEST_SUITE_P(
    Replies, MacReplyTest,
    ::testing::Values(
        ReplyCase{"Example", kExampleReply, K::Changed, "0.80.194.1.2.3", "0.80.194.1.2.4", "00-50-C2-01-02-04"},
        ReplyCase{"TextAfterCarriageReturnIgnored", kExampleReply + "\nmore\r", K::Changed, "0.80.194.1.2.3",
                  "0.80.194.1.2.4", "00-50-C2-01-02-04"},
        ReplyCase{"AnyTwoCharactersBeforeNewMarker", "AOld MAC: 1.2.3.4.5.6xyNew MAC: 2.2.3.4.5.6\r", K::Changed,
                  "1.2.3.4.5.6", "2.2.3.4.5.6", "02-02-03-04-05-06"},
        ReplyCase{"OnlyFirstCharacterTested", "AM junk Old MAC: 1.2.3.4.5.6\r\nNew MAC: 254.255.0.16.1.2\r", K::Changed,
                  "1.2.3.4.5.6", "254.255.0.16.1.2", "FE-FF-00-10-01-02"},
        ReplyCase{"SameValueUnchanged", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.3\r", K::Unchanged,
                  "0.80.194.1.2.3", "0.80.194.1.2.3", ""},
        ReplyCase{"SameMalformedValueUnchanged", "AOld MAC: x\r\nNew MAC: x\r", K::Unchanged, "x", "x", ""},
        ReplyCase{"NotAnAnswer", "BOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r", K::Ignored, "", "", ""},
        ReplyCase{"LowerCaseA", "aOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r", K::Ignored, "", "", ""},
        ReplyCase{"Empty", "", K::Ignored, "", "", ""}, ReplyCase{"OnlyA", "A", K::Malformed, "", "", ""},
        ReplyCase{"NoOldMarker", "ANew MAC: 0.80.194.1.2.4\r", K::Malformed, "", "", ""},
        ReplyCase{"NoNewMarker", "AOld MAC: 0.80.194.1.2.3\r\n0.80.194.1.2.4\r", K::Malformed, "", "", ""},
        ReplyCase{"MarkersSwapped", "ANew MAC: 0.80.194.1.2.4\rOld MAC: 0.80.194.1.2.3\r\n", K::Malformed, "", "", ""},
        ReplyCase{"MarkersTooClose", "AOld MAC:New MAC: 0.80.194.1.2.4\r", K::Malformed, "", "", ""},
        ReplyCase{"NoCarriageReturn", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4", K::Malformed, "", "", ""},
        ReplyCase{"CarriageReturnInsideMarker", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC:\r", K::Malformed, "", "", ""},
        ReplyCase{"FiveNumbers", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2\r", K::Malformed, "", "", ""},
        ReplyCase{"SevenNumbers", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.3.4\r", K::Malformed, "", "", ""},
        ReplyCase{"NumberAbove255", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.256\r", K::Malformed, "", "",
                  ""},
        ReplyCase{"EmptyNumber", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80..1.2.3\r", K::Malformed, "", "", ""},
        ReplyCase{"HexValue", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 00-50-C2-01-02-04\r", K::Malformed, "", "", ""},
        ReplyCase{"EmptyValue", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: \r", K::Malformed, "", "", ""},
        ReplyCase{"BlankInsideValue", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2. 4\r", K::Malformed, "", "",
                  ""}),
    [](const ::testing::TestParamInfo<ReplyCase>& tp) { return std::string(tp.param.name); });

// ---- the typed new address ----

struct TypedCase {
    const char* name;
    const char* text;
    NewMacProblem problem;
};

void PrintTo(const TypedCase& c, std::ostream* os)
{
    *os << c.name;
}

class NewMacCheckTest : public ::testing::TestWithParam<TypedCase> {};

TEST_P(NewMacCheckTest, Checks)
{
    EXPECT_EQ(checkNewMacField(GetParam().text), GetParam().problem);
}

using P = NewMacProblem;

INSTANTIATE_TEST_SUITE_P(
    Typed, NewMacCheckTest,
    ::testing::Values(
        TypedCase{"Example", "0.80.194.1.2.4", P::None}, TypedCase{"AllMax", "254.255.255.255.255.255", P::None},
        TypedCase{"LocallyAdministered", "2.0.0.0.0.1", P::None},
        TypedCase{"ThreeDigitLeadingZero", "000.080.194.001.002.004", P::None},
        TypedCase{"FiveNumbers", "0.80.194.1.2", P::Form}, TypedCase{"NumberAbove255", "0.80.194.1.2.256", P::Form},
        TypedCase{"SevenNumbers", "0.80.194.1.2.3.4", P::Form}, TypedCase{"FourDigits", "0.80.194.1.2.0004", P::Form},
        TypedCase{"Empty", "", P::Form}, TypedCase{"EmptyNumber", "0.80..1.2.4", P::Form},
        TypedCase{"TrailingDot", "0.80.194.1.2.", P::Form}, TypedCase{"LeadingDot", ".80.194.1.2.4", P::Form},
        TypedCase{"TrailingBlank", "0.80.194.1.2.4 ", P::Form}, TypedCase{"Hyphenated", "00-50-C2-01-02-04", P::Form},
        TypedCase{"HexDigit", "0.80.c2.1.2.4", P::Form}, TypedCase{"Negative", "0.80.194.1.2.-4", P::Form},
        TypedCase{"Slash", "0.80.194.1.2.4/x", P::Form}, TypedCase{"AllZero", "0.0.0.0.0.0", P::AllZero},
        TypedCase{"AllZeroPadded", "000.0.00.0.0.0", P::AllZero},
        TypedCase{"Broadcast", "255.255.255.255.255.255", P::Broadcast},
        TypedCase{"GroupBit", "1.80.194.1.2.4", P::Group}, TypedCase{"GroupBitHigh", "255.0.0.0.0.1", P::Group}),
    [](const ::testing::TestParamInfo<TypedCase>& tp) { return std::string(tp.param.name); });

struct HexCase {
    const char* text;
    std::optional<std::string> field;
};

class HexTextTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexTextTest, Converts)
{
    const std::optional<MacAddress> mac = MacAddress::fromText(GetParam().text);
    EXPECT_EQ(mac ? std::optional<std::string>(mac->field()) : std::nullopt, GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(
    Hex, HexTextTest,
    ::testing::Values(HexCase{"00-50-C2-01-02-04", "0.80.194.1.2.4"}, HexCase{"00-50-c2-1-2-4", "0.80.194.1.2.4"},
                      HexCase{"FF-FF-FF-FF-FF-FE", "255.255.255.255.255.254"}, HexCase{"00-50-C2-01-02", std::nullopt},
                      HexCase{"00-50-C2-01-02-04-05", std::nullopt}, HexCase{"00-50-C2-01-02-004", std::nullopt},
                      HexCase{"00-50-C2-01--04", std::nullopt}, HexCase{"00:50:C2:01:02:04", std::nullopt},
                      HexCase{"00-50-G2-01-02-04", std::nullopt}, HexCase{"", std::nullopt},
                      HexCase{"0.80.194.1.2.4", std::nullopt}));

// ---- the rewrite of the listed device ----

TEST(MacRewrite, ExampleKeepsIpAndIdColumnsAndRawTail)
{
    DeviceList list;
    const std::string raw = "AX 0.80.194.1.2.3/192.168.1.20/DEV1\rtail/x";
    ASSERT_EQ(list.add(raw), 0);
    const std::string line = list.line(0);
    const std::optional<MacRewrite> rewrite = rewriteDeviceMac(line, raw, "0.80.194.1.2.4");
    ASSERT_TRUE(rewrite);
    EXPECT_EQ(rewrite->line.substr(0, 6), std::string(6, ' '));
    EXPECT_EQ(rewrite->line.substr(6, 17), "00-50-C2-01-02-04");
    EXPECT_EQ(rewrite->line.substr(23), line.substr(23));
    EXPECT_EQ(rewrite->raw, "AX 0.80.194.1.2.4/192.168.1.20/DEV1\rtail/x");
    // The rewritten entry is what the device now answers to a search: the line
    // built from it is the rewritten line.
    const auto reparsed = parseSearchReply(rewrite->raw);
    ASSERT_TRUE(reparsed);
    EXPECT_EQ(deviceListLine(reparsed->macText, reparsed->ip, reparsed->deviceId), rewrite->line);
    EXPECT_EQ(macFieldOfEntry(rewrite->raw), "0.80.194.1.2.4");
    EXPECT_EQ(addressPartOfEntry(rewrite->raw), "0.80.194.1.2.4/192.168.1.20/");
}

TEST(MacRewrite, RewrittenEntryStaysADuplicateForTheSearch)
{
    DeviceList list;
    ASSERT_EQ(list.add("AX 0.80.194.1.2.3/10.0.0.1/ONE\r"), 0);
    ASSERT_EQ(list.add("AX 0.80.194.1.2.9/10.0.0.2/TWO\r"), 1);
    const auto rewrite = rewriteDeviceMac(list.line(0), list.raw(0), "0.80.194.1.2.4");
    ASSERT_TRUE(rewrite);
    list.setRaw(0, rewrite->raw);
    list.setLine(0, rewrite->line);
    EXPECT_EQ(list.add("AX 0.80.194.1.2.4/10.0.0.1/ONE\r"), -1);
    // The old answer is no longer listed, so it would be listed again.
    EXPECT_FALSE(list.contains("AX 0.80.194.1.2.3/10.0.0.1/ONE\r"));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.raw(1), "AX 0.80.194.1.2.9/10.0.0.2/TWO\r");
}

TEST(MacRewrite, ShortLineAndEntryWithoutSlash)
{
    const auto rewrite = rewriteDeviceMac("      00-50", "AX 0.80", "0.80.194.1.2.4");
    ASSERT_TRUE(rewrite);
    EXPECT_EQ(rewrite->line, "      00-50-C2-01-02-04");
    EXPECT_EQ(rewrite->raw, "AX 0.80.194.1.2.4");
}

TEST(MacRewrite, MalformedNewFieldGivesNothing)
{
    for (const char* field : {"0.80.194.1.2", "0.80.194.1.2.256", "", "a.b.c.d.e.f"})
        EXPECT_FALSE(rewriteDeviceMac("line", "AX 0.80.194.1.2.3/1.2.3.4/x", field)) << field;
}

} // namespace
} // namespace lv
