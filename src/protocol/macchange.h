// SPDX-License-Identifier: Apache-2.0
#pragma once

// The MAC change command, its reply, the check of a typed new address and the
// rewrite of a device's list line and raw entry after the device took it.

#include "macaddress.h"

#include <optional>
#include <string>
#include <string_view>

namespace lv {

// The fixed access code of the MAC service, compared exactly.
inline constexpr std::string_view kMacServiceAccessCode = "QuartzmoonTEST";

// "M " + current MAC field + "/" + new MAC field + "/" + access code; no terminator.
std::string macChangeCommand(std::string_view currentField, std::string_view newField, std::string_view accessCode);

// What one datagram received after the command means.
enum class MacReplyKind {
    Ignored,   // does not start with "A": not an answer, the wait goes on
    Malformed, // an answer, but a marker, the carriage return or a valid new value is missing
    Unchanged, // an answer whose new value equals the old one
    Changed,   // an answer naming a new, well-formed MAC field
};

struct MacChangeReply {
    MacReplyKind kind = MacReplyKind::Ignored;
    std::string oldField;             // as the device wrote it
    std::string newField;             // as the device wrote it
    std::optional<MacAddress> newMac; // when Changed
};

// Reads "A...Old MAC: <old><2 characters>New MAC: <new>\r...". The old value
// ends two characters before "New MAC:"; the new value ends at the first
// carriage return after "New MAC:".
MacChangeReply parseMacChangeReply(std::string_view datagram);

// Why a typed new address may not be sent.
enum class NewMacProblem {
    None,
    Form,      // not six decimal numbers 0..255 joined by five dots
    AllZero,   // 0.0.0.0.0.0
    Broadcast, // 255.255.255.255.255.255
    Group,     // the group bit of the first number is set (the number is odd)
};

// The check of a typed new address before anything is sent: each number has one
// to three decimal digits and lies within 0..255, and the address is one that a
// single device can carry.
NewMacProblem checkNewMacField(std::string_view text);

// A new address as typed in the MAC service (the dialog and the CLI alike): the field to send (a
// hyphenated text such as the list shows is taken as the field it stands for; anything else as typed),
// and why it may not be sent (None when it may). The address as a value when it is well formed.
struct NewMac {
    std::string field;
    NewMacProblem problem = NewMacProblem::Form;
    std::optional<MacAddress> address() const;
};
NewMac parseNewMac(std::string_view typed);

// What the program says about a typed address that it will not send; empty for None.
std::string_view describeNewMacProblem(NewMacProblem problem);

// A listed device after its MAC changed: the line with characters 7-23 replaced
// by the new MAC text, and the raw entry made of its first three characters, the
// new field and the entry from its first "/" on.
struct MacRewrite {
    std::string line;
    std::string raw;
};

// No result when newField is not six decimal numbers 0..255 joined by five dots.
std::optional<MacRewrite> rewriteDeviceMac(std::string_view line, std::string_view raw, std::string_view newField);

} // namespace lv
