// SPDX-License-Identifier: Apache-2.0
// The MAC change command and its answer, the check of a typed new address, the rewrite of a listed device.

#include "macchange.h"

namespace lv {

namespace {

constexpr std::string_view kOldMarker = "Old MAC:";
constexpr std::string_view kNewMarker = "New MAC:";
// The value follows its marker and one blank.
constexpr std::size_t kValueOffset = 9;
// The old value is followed by a line break of two characters before "New MAC:".
constexpr std::size_t kOldTail = 2;
constexpr std::size_t kLineMacColumn = 6; // blanks before the MAC text of a line
constexpr std::size_t kLineMacEnd = 23;   // the MAC text ends at character 23

} // namespace

std::string macChangeCommand(std::string_view currentField, std::string_view newField, std::string_view accessCode)
{
    std::string command("M ");
    command.reserve(2 + currentField.size() + 1 + newField.size() + 1 + accessCode.size());
    command.append(currentField).append("/").append(newField).append("/").append(accessCode);
    return command;
}

MacChangeReply parseMacChangeReply(std::string_view datagram)
{
    MacChangeReply reply;
    if (datagram.empty() || datagram.front() != 'A')
        return reply;
    reply.kind = MacReplyKind::Malformed;

    const std::size_t o = datagram.find(kOldMarker);
    const std::size_t n = datagram.find(kNewMarker);
    if (o == std::string_view::npos || n == std::string_view::npos || n < o + kValueOffset + kOldTail)
        return reply;
    const std::size_t cr = datagram.find('\r', n);
    if (cr == std::string_view::npos || cr < n + kValueOffset)
        return reply;

    reply.oldField = std::string(datagram.substr(o + kValueOffset, n - o - kValueOffset - kOldTail));
    reply.newField = std::string(datagram.substr(n + kValueOffset, cr - n - kValueOffset));
    if (reply.newField == reply.oldField) {
        reply.kind = MacReplyKind::Unchanged;
        return reply;
    }
    const std::optional<MacAddress> mac = MacAddress::fromField(reply.newField);
    if (!mac)
        return reply;
    reply.newMac = *mac;
    reply.kind = MacReplyKind::Changed;
    return reply;
}

NewMacProblem checkNewMacField(std::string_view text)
{
    const std::optional<MacAddress> mac = MacAddress::fromField(text, MacAddress::FieldDigits::UpToThree);
    if (!mac)
        return NewMacProblem::Form;
    if (mac->isZero())
        return NewMacProblem::AllZero;
    if (mac->isBroadcast())
        return NewMacProblem::Broadcast;
    if (mac->isGroup())
        return NewMacProblem::Group;
    return NewMacProblem::None;
}

NewMac parseNewMac(std::string_view typed)
{
    NewMac mac;
    mac.field = std::string(typed);
    if (typed.find('-') != std::string_view::npos)
        if (const std::optional<MacAddress> text = MacAddress::fromText(typed))
            mac.field = text->field();
    mac.problem = checkNewMacField(mac.field);
    return mac;
}

std::optional<MacAddress> NewMac::address() const
{
    return MacAddress::fromField(field, MacAddress::FieldDigits::UpToThree);
}

std::string_view describeNewMacProblem(NewMacProblem problem)
{
    switch (problem) {
    case NewMacProblem::None:
        break;
    case NewMacProblem::Form:
        return "Expected six numbers 0-255 joined by dots, e.g. 0.80.194.1.2.4";
    case NewMacProblem::AllZero:
        return "0.0.0.0.0.0 is not a device address";
    case NewMacProblem::Broadcast:
        return "255.255.255.255.255.255 is the broadcast address";
    case NewMacProblem::Group:
        return "The first number must be even: an odd one is a group address";
    }
    return {};
}

std::optional<MacRewrite> rewriteDeviceMac(std::string_view line, std::string_view raw, std::string_view newField)
{
    const std::optional<MacAddress> mac = MacAddress::fromField(newField);
    if (!mac)
        return std::nullopt;
    MacRewrite rewrite;
    rewrite.line.assign(kLineMacColumn, ' ');
    rewrite.line.append(mac->text());
    if (line.size() > kLineMacEnd)
        rewrite.line.append(line.substr(kLineMacEnd));

    rewrite.raw = std::string(raw.substr(0, 3));
    rewrite.raw.append(newField);
    const std::size_t slash = raw.find('/');
    if (slash != std::string_view::npos)
        rewrite.raw.append(raw.substr(slash));
    return rewrite;
}

} // namespace lv
