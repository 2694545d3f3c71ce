// SPDX-License-Identifier: Apache-2.0
// The MAC change exchange: one "M " command and the bounded wait for its answer.

#include "macchangeexchange.h"

namespace lv {

namespace {

std::string command(const DeviceRef& device, const PlannedAction& action)
{
    return macChangeCommand(device.macField, action.argument, action.secret);
}

DatagramVerdict read(std::string_view answer, const DeviceRef& device)
{
    const MacChangeReply reply = parseMacChangeReply(answer);
    if (reply.kind == MacReplyKind::Ignored)
        return {DatagramVerdict::Kind::Ignore};
    // An answer about another device is not this change's.
    if (reply.kind != MacReplyKind::Malformed && device.mac) {
        const std::optional<MacAddress> old = MacAddress::fromField(reply.oldField);
        if (old && *old != *device.mac)
            return {DatagramVerdict::Kind::Foreign};
    }
    MacChangeResult::Outcome outcome = MacChangeResult::Outcome::Malformed;
    if (reply.kind == MacReplyKind::Unchanged)
        outcome = MacChangeResult::Outcome::Unchanged;
    if (reply.kind == MacReplyKind::Changed)
        outcome = MacChangeResult::Outcome::Changed;
    return {DatagramVerdict::Kind::Final, static_cast<int>(outcome)};
}

} // namespace

const DatagramAction& macChangeDatagram()
{
    static const DatagramAction action{command, read, kMacChangeTimeoutMs};
    return action;
}

MacChangeResult macChangeResult(const DatagramResult& result, std::string askedField)
{
    MacChangeResult change;
    change.askedField = std::move(askedField);
    switch (result.outcome) {
    case DatagramResult::Outcome::NotSent:
        change.outcome = MacChangeResult::Outcome::NotSent;
        return change;
    case DatagramResult::Outcome::NoAnswer:
        change.outcome = MacChangeResult::Outcome::NoAnswer;
        return change;
    case DatagramResult::Outcome::Aborted:
        change.outcome = MacChangeResult::Outcome::Aborted;
        return change;
    case DatagramResult::Outcome::Answered:
        break;
    }
    change.outcome = static_cast<MacChangeResult::Outcome>(result.verdict);
    MacChangeReply reply = parseMacChangeReply(result.answer);
    if (reply.kind == MacReplyKind::Malformed)
        return change;
    change.oldField = std::move(reply.oldField);
    change.newField = std::move(reply.newField);
    if (reply.kind == MacReplyKind::Changed)
        change.newMac = reply.newMac;
    return change;
}

MacChangeExchange::MacChangeExchange(CommandChannel& channel, DeviceRef device, std::string newField,
                                     std::string accessCode, int timeoutMs, QObject* parent)
    : DatagramExchange(channel, std::move(device), macChangeDatagram(),
                       {ActionKind::MacChange, std::move(newField), std::move(accessCode)}, timeoutMs, parent)
{
}

MacChangeResult MacChangeExchange::result() const
{
    return macChangeResult(DatagramExchange::result(), m_holdToAsked ? planned().argument : std::string());
}

} // namespace lv
