// SPDX-License-Identifier: Apache-2.0
#pragma once

// The MAC change exchange: one "M " command broadcast on the command port and a bounded wait for the
// device's answer, shared by the dialog and the CLI. It is the MAC change row of the action table run as
// a one-datagram exchange; its result is read back from that exchange's answer. Like every exchange it
// runs on a CommandChannel (the dialog's own, so a change never shares a socket with a configuration
// request) and ends with one typed result.

#include "datagramexchange.h"
#include "macchange.h"

#include <QMetaType>
#include <QObject>

#include <optional>
#include <string>

namespace lv {

inline constexpr int kMacChangeTimeoutMs = 1000;

// What became of one MAC change, from the exchange to the dialog, the status bar and set-mac.
struct MacChangeResult {
    Q_GADGET
public:
    enum class Outcome {
        NotSent,   // the command did not leave the socket
        NoAnswer,  // no answer starting with "A" within the bound
        Malformed, // an answer without a well-formed new address
        Unchanged, // the device reports the address it had
        Changed,   // the device reports a new, well-formed address
        Aborted,   // ended by abort() after the command went out
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotSent;
    std::string oldField;             // as the device wrote it (empty when no answer or malformed)
    std::string newField;             // as the device wrote it
    std::optional<MacAddress> newMac; // when Changed
    // The new field the device is held to (empty: any new address will do); see meaningOf().
    std::string askedField;

    bool sent() const { return outcome != Outcome::NotSent; }
    bool replied() const
    {
        return outcome == Outcome::Malformed || outcome == Outcome::Unchanged || outcome == Outcome::Changed;
    }
    bool changed() const { return outcome == Outcome::Changed; }
};

// How the MAC change is sent and its answer read, for the action table.
const DatagramAction& macChangeDatagram();

// The MAC change's result from the exchange's: the answer read again for the fields it names.
MacChangeResult macChangeResult(const DatagramResult& result, std::string askedField = {});

// The MAC change of one device: "M " + its MAC field + "/" + the new field + "/" + the access code, sent
// on the command port through the device's card, then the wait for its answer. Answers are taken from
// the device's sender only (the channel's rule) and only about the device asked; the first such answer
// starting with "A" ends it.
class MacChangeExchange final : public DatagramExchange {
    Q_OBJECT
public:
    using Outcome = MacChangeResult::Outcome;

    // The texts go out as given; checking the new field is the caller's part.
    MacChangeExchange(CommandChannel& channel, DeviceRef device, std::string newField, std::string accessCode,
                      int timeoutMs = kMacChangeTimeoutMs, QObject* parent = nullptr);

    // The result names the new field as asked, so that only a device that reports it succeeds (the CLI).
    // Without this any new address succeeds (the window).
    void holdToAskedField() { m_holdToAsked = true; }
    MacChangeResult result() const;

private:
    bool m_holdToAsked = false;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::MacChangeResult)
