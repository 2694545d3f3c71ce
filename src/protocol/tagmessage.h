// SPDX-License-Identifier: Apache-2.0
#pragma once

// The text of the messages exchanged with a device and the rules for reading
// a tag value out of a reply. Every text here is single-byte: a std::string
// holds the bytes of a datagram exactly, a NUL included.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

// The largest payload one IPv4 UDP datagram can carry: no command or answer is larger.
inline constexpr int kMaxDatagramBytes = 65507;

// The discovery probe, sent as its 14 bytes without terminator.
inline constexpr std::string_view kSearchProbe = "X 99.130.83.99";

// The tag of the device's own MAC address in every configuration reply: never shown, never sent as an
// item, the MAC of the set and "U " headers.
inline constexpr std::string_view kMacAddressTag = "MacAddress";

// The value of one tag item of a reply. `present` is false when either tag is
// missing or the closing tag starts before the value would begin.
struct TagValue {
    std::string value;
    bool present = false;
};

// Both tags are searched from the first character of `buffer`, independently,
// with exact case-sensitive comparison; the value is what lies between them.
TagValue GetTagValue(std::string_view buffer, std::string_view tag);

// "<T>value</T>"
std::string tagItem(std::string_view tag, std::string_view value);

// True when a gathered reply counts as complete: it holds "MAC" (upper case).
bool replyHoldsMac(std::string_view buffer);

// The markers a configuration reply carries outside its items: the model follows the first, the
// firmware version the second.
inline constexpr std::string_view kModelMarker = "MODEL: ";
inline constexpr std::string_view kVersionMarker = "VER:";

// Where `needle` first occurs in `buffer` outside every tag item ("<T>...</T>", up to the first
// closing tag after the opening one), or npos. A value a device holds can so never stand in for a
// marker of the reply itself, whatever it was set to. Linear in the buffer's length up to a log factor.
std::size_t findOutsideItems(std::string_view buffer, std::string_view needle);

// "G " + address part ("mac/ip/") + password + one zero byte.
std::string configRequest(std::string_view addressPart, std::string_view password);

// What follows the password in the header of a set command.
enum class HeaderExtra {
    None,  // single-port windows
    Nul,   // multi-port windows: one zero byte
    Slash, // the PL-778 window: an empty fourth header field
};

// One field of a window as Update sees it: the tag that carries it, the text
// the control holds now and the text recorded when the device was loaded.
struct FieldChange {
    std::string tag;
    std::string current;
    std::string loaded;
};

// "S " + mac + "/" + ip + "/" + password + extra, then "/<T>current</T>" for
// every field whose current text differs from its loaded text, in the order given.
std::string assembleSetCommand(std::string_view mac, std::string_view ip, std::string_view password, HeaderExtra extra,
                               const std::vector<FieldChange>& fields);

// "U " + mac + "/" + ip + "/" + password; nothing follows.
std::string updateCommand(std::string_view mac, std::string_view ip, std::string_view password);

} // namespace lv
