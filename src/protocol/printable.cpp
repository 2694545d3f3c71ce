// SPDX-License-Identifier: Apache-2.0
// Showing wire bytes to a person.

#include "printable.h"

#include "hex.h"

namespace lv {

std::string escapeBytes(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) {
            text += "\\x";
            text += hexDigit(byte >> 4, HexCase::Lower);
            text += hexDigit(byte, HexCase::Lower);
        } else {
            text += ch;
        }
    }
    return text;
}

} // namespace lv
