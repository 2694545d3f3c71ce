// SPDX-License-Identifier: Apache-2.0
// The one rule that shows wire bytes to a person: what is escaped, what is kept, and that the
// escaped text reads back as the very bytes.

#include "printable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct EscapeCase {
    const char* name;
    std::string bytes;
    std::string shown;
};

class EscapeBytes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeBytes, ShowsEveryControlCharacterAsItsCode)
{
    EXPECT_EQ(lv::escapeBytes(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, EscapeBytes,
    ::testing::Values(EscapeCase{"Plain", "S 00:50:C2/1.2.3.4/pw", "S 00:50:C2/1.2.3.4/pw"},
                      EscapeCase{"NulAndLineEnds", "a\0b\r\n"s, "a\\x00b\\x0d\\x0a"},
                      EscapeCase{"Backslash", "a\\xb", "a\\\\xb"}, EscapeCase{"Delete", "\x7f", "\\x7f"},
                      // C1 controls steer some terminals (0x9b starts a sequence); Latin-1 letters do not.
                      EscapeCase{"C1", "\x80\x9b\x9f", "\\x80\\x9b\\x9f"},
                      EscapeCase{"Latin1Kept", "\xa0\xe9\xff", "\xa0\xe9\xff"}, EscapeCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<EscapeCase>& tp) { return std::string(tp.param.name); });

// The escaped text read back (as the simulator's log is by the tests) gives the bytes exactly.
std::string unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (text[i] == '\\' && text[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

TEST(EscapeBytesRoundTrip, EveryByteReadsBack)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    all += "\\x41";
    EXPECT_EQ(unescape(lv::escapeBytes(all)), all);
}

} // namespace
