// SPDX-License-Identifier: Apache-2.0
#pragma once

// The one table of hexadecimal digits: MAC texts and escaped bytes are written from it, and read back
// through hexValue.

#include <string_view>

namespace lv {

// Upper case first, then lower case: MAC texts are written in upper case, escaped bytes in lower case.
inline constexpr std::string_view kHexDigits = "0123456789ABCDEF0123456789abcdef";

enum class HexCase { Upper, Lower };

constexpr char hexDigit(unsigned nibble, HexCase letters = HexCase::Upper)
{
    return kHexDigits[(nibble & 0xFU) + (letters == HexCase::Lower ? 16U : 0U)];
}

// The value of one hexadecimal digit in either case; -1 for any other character.
constexpr int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace lv
