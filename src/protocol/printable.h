// SPDX-License-Identifier: Apache-2.0
#pragma once

// The one rule by which bytes from the wire are shown to a person, by linkvane-cli and by the
// simulator's log alike: a backslash doubled, every control character (C0, DEL and C1) as \xNN in
// lower case, every other byte as the Latin-1 character it stands for. Nothing a device sends can
// steer a terminal, and the bytes can be read back exactly.

#include <string>
#include <string_view>

namespace lv {

// The escaped text, still one byte per Latin-1 character.
std::string escapeBytes(std::string_view bytes);

// The characters that only steer the direction of the text around them (Unicode's Bidi_Control): an
// operator reading a name must never see it reordered.
constexpr bool isBidiControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace lv
