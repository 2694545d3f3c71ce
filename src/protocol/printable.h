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

} // namespace lv
