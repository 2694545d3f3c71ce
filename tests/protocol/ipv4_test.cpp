// SPDX-License-Identifier: Apache-2.0
// Ipv4: the plain dotted quad read, everything else refused, and the text written back as read.

#include "ipv4.h"

#include <gtest/gtest.h>

namespace {

struct ReadCase {
    const char* name;
    const char* text;
    std::optional<std::uint32_t> value;
};

class Ipv4Read : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Ipv4Read, TakesThePlainDottedQuadOnly)
{
    const ReadCase& c = GetParam();
    const std::optional<lv::Ipv4> ip = lv::Ipv4::fromText(c.text);
    EXPECT_EQ(ip ? std::optional<std::uint32_t>(ip->value()) : std::nullopt, c.value);
    EXPECT_EQ(ip ? ip->text() : c.text, c.text); // written back as read
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, Ipv4Read,
    ::testing::Values(ReadCase{"Plain", "192.168.1.20", 0xC0A80114U}, ReadCase{"Zeros", "0.0.0.0", 0U},
                      ReadCase{"Highest", "255.255.255.255", 0xFFFFFFFFU},
                      ReadCase{"NumberAbove255", "192.168.1.256", {}}, ReadCase{"FourDigits", "192.168.1.0020", {}},
                      ReadCase{"LeadingZeros", "172.016.101.001", {}}, ReadCase{"ThreeParts", "192.168.1", {}},
                      ReadCase{"FiveParts", "192.168.1.20.5", {}}, ReadCase{"EmptyPart", "192.168..20", {}},
                      ReadCase{"LeadingBlank", " 192.168.1.20", {}}, ReadCase{"TrailingBlank", "192.168.1.20 ", {}},
                      ReadCase{"Sign", "192.168.+1.20", {}}, ReadCase{"Hex", "0x0A.0.0.1", {}},
                      ReadCase{"Empty", "", {}}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
