// SPDX-License-Identifier: Apache-2.0
// MacAddress: each form read and written, the spellings devices and people use, and which
// addresses one device can carry.

#include "macaddress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using lv::MacAddress;

constexpr std::uint64_t kExample = 0x0050C2010203ULL;

// ---- reading ----

struct ReadCase {
    const char* name;
    const char* text;
    std::optional<std::uint64_t> field;      // fromField, any number of digits
    std::optional<std::uint64_t> typedField; // fromField, one to three digits
    std::optional<std::uint64_t> listText;   // fromText, "-" only
    std::optional<std::uint64_t> deviceText; // fromDeviceText: ":" or "-", or twelve digits
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacAddressRead : public ::testing::TestWithParam<ReadCase> {};

std::optional<std::uint64_t> valueOf(const std::optional<MacAddress>& mac)
{
    return mac ? std::optional<std::uint64_t>(mac->value()) : std::nullopt;
}

TEST_P(MacAddressRead, EachFormTakesItsOwnSpellingsOnly)
{
    const ReadCase& c = GetParam();
    EXPECT_EQ(valueOf(MacAddress::fromField(c.text)), c.field);
    EXPECT_EQ(valueOf(MacAddress::fromField(c.text, MacAddress::FieldDigits::UpToThree)), c.typedField);
    EXPECT_EQ(valueOf(MacAddress::fromText(c.text)), c.listText);
    EXPECT_EQ(valueOf(MacAddress::fromDeviceText(c.text)), c.deviceText);
}

constexpr std::nullopt_t no = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Spellings, MacAddressRead,
    ::testing::Values(ReadCase{"Field", "0.80.194.1.2.3", kExample, kExample, no, no},
                      ReadCase{"FieldPaddedToThree", "000.080.194.001.002.003", kExample, kExample, no, no},
                      // Devices pad as they like; a person typing an address may not.
                      ReadCase{"FieldPaddedBeyondThree", "0.80.0194.1.2.3", kExample, no, no, no},
                      ReadCase{"FieldAllOnes", "255.255.255.255.255.255", 0xFFFFFFFFFFFFULL, 0xFFFFFFFFFFFFULL, no, no},
                      ReadCase{"FieldNumberAbove255", "0.80.194.1.2.256", no, no, no, no},
                      ReadCase{"FieldFiveNumbers", "0.80.194.1.2", no, no, no, no},
                      ReadCase{"FieldSevenNumbers", "0.80.194.1.2.3.4", no, no, no, no},
                      ReadCase{"FieldEmptyNumber", "0.80..1.2.3", no, no, no, no},
                      ReadCase{"FieldTrailingDot", "0.80.194.1.2.", no, no, no, no},
                      ReadCase{"FieldSign", "0.80.194.1.2.-3", no, no, no, no},
                      ReadCase{"FieldBlank", "0.80.194.1.2. 3", no, no, no, no},
                      ReadCase{"Text", "00-50-C2-01-02-03", no, no, kExample, kExample},
                      ReadCase{"TextLowerCaseOneDigit", "0-50-c2-1-2-3", no, no, kExample, kExample},
                      ReadCase{"TextColons", "00:50:C2:01:02:03", no, no, no, kExample},
                      ReadCase{"TextMixedSeparators", "00-50:C2-01-02-03", no, no, no, no},
                      ReadCase{"TextThreeDigits", "00-50-C2-01-02-003", no, no, no, no},
                      ReadCase{"TextNotHex", "00-50-G2-01-02-03", no, no, no, no},
                      ReadCase{"TextFiveGroups", "00-50-C2-01-02", no, no, no, no},
                      ReadCase{"TextEmptyGroup", "00-50-C2-01--03", no, no, no, no},
                      ReadCase{"Digits", "0050c2010203", no, no, no, kExample},
                      ReadCase{"DigitsEleven", "0050C201020", no, no, no, no},
                      ReadCase{"DigitsNotHex", "0050C201020G", no, no, no, no}, ReadCase{"Empty", "", no, no, no, no}),
    [](const ::testing::TestParamInfo<ReadCase>& tp) { return std::string(tp.param.name); });

// ---- writing ----

TEST(MacAddressWrite, EachFormInItsOwnSpelling)
{
    const MacAddress mac = MacAddress::fromValue(kExample);
    EXPECT_EQ(mac.field(), "0.80.194.1.2.3");
    EXPECT_EQ(mac.text(), "00-50-C2-01-02-03");
    EXPECT_EQ(mac.text(':'), "00:50:C2:01:02:03");
    EXPECT_EQ(mac.digits(), "0050C2010203");
    const std::array<char, 17> chars = mac.textChars();
    EXPECT_EQ(std::string(chars.data(), chars.size()), mac.text());
    EXPECT_EQ(MacAddress::fromValue(0xFFFFFFFFFFFFULL).field(), "255.255.255.255.255.255");
    EXPECT_EQ(MacAddress::fromValue(0xABCDEF012345ULL).text(), "AB-CD-EF-01-23-45");
    // Only the 48 bits of an address are kept.
    EXPECT_EQ(MacAddress::fromValue(0x1'0050C2010203ULL), mac);
}

TEST(MacAddressWrite, WhatIsWrittenReadsBackAsTheSameAddress)
{
    for (const std::uint64_t value : {std::uint64_t{0}, std::uint64_t{1}, kExample, std::uint64_t{0x0A0B0C0D0E0F},
                                      std::uint64_t{0xFEFFFFFFFFFF}, std::uint64_t{0xFFFFFFFFFFFF}}) {
        const MacAddress mac = MacAddress::fromValue(value);
        EXPECT_EQ(MacAddress::fromField(mac.field(), MacAddress::FieldDigits::UpToThree), mac) << value;
        EXPECT_EQ(MacAddress::fromText(mac.text()), mac) << value;
        EXPECT_EQ(MacAddress::fromDeviceText(mac.text(':')), mac) << value;
        EXPECT_EQ(MacAddress::fromDigits(mac.digits()), mac) << value;
    }
}

TEST(MacAddressCompare, OrderFollowsTheBytesFirstByteHighest)
{
    EXPECT_EQ(*MacAddress::fromField("0.80.194.1.2.3"), *MacAddress::fromText("00-50-c2-01-02-03"));
    EXPECT_LT(*MacAddress::fromField("0.80.194.1.2.3"), *MacAddress::fromField("0.80.194.1.2.4"));
    EXPECT_LT(*MacAddress::fromField("0.255.255.255.255.255"), *MacAddress::fromField("1.0.0.0.0.0"));
}

// ---- which addresses one device can carry ----

struct UnicastCase {
    const char* field;
    bool zero;
    bool broadcast;
    bool group;
    bool usable;
};

class MacAddressUnicast : public ::testing::TestWithParam<UnicastCase> {};

TEST_P(MacAddressUnicast, Classifies)
{
    const UnicastCase& c = GetParam();
    const std::optional<MacAddress> mac = MacAddress::fromField(c.field);
    ASSERT_TRUE(mac);
    EXPECT_EQ(mac->isZero(), c.zero);
    EXPECT_EQ(mac->isBroadcast(), c.broadcast);
    EXPECT_EQ(mac->isGroup(), c.group);
    EXPECT_EQ(mac->isUsableUnicast(), c.usable);
}

INSTANTIATE_TEST_SUITE_P(Addresses, MacAddressUnicast,
                         ::testing::Values(UnicastCase{"0.80.194.1.2.3", false, false, false, true},
                                           UnicastCase{"0.0.0.0.0.0", true, false, false, false},
                                           UnicastCase{"0.0.0.0.0.1", false, false, false, true},
                                           UnicastCase{"255.255.255.255.255.255", false, true, true, false},
                                           UnicastCase{"1.0.0.0.0.0", false, false, true, false},
                                           UnicastCase{"254.255.255.255.255.255", false, false, false, true}));

} // namespace
