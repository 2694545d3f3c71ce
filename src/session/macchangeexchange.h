// SPDX-License-Identifier: Apache-2.0
#pragma once

// The MAC change exchange: one "M " command broadcast on the command port and a bounded wait for the
// device's answer, shared by the dialog and the CLI. Like every exchange it runs on a CommandChannel
// (the dialog's own, so a change never shares a socket with a configuration request) and ends with one
// typed result.

#include "commandchannel.h"
#include "deviceref.h"
#include "exchange.h"
#include "macchange.h"

#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <string>
#include <string_view>

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

    bool sent() const { return outcome != Outcome::NotSent; }
    bool replied() const
    {
        return outcome == Outcome::Malformed || outcome == Outcome::Unchanged || outcome == Outcome::Changed;
    }
    bool changed() const { return outcome == Outcome::Changed; }
};

// The MAC change of one device: "M " + its MAC field + "/" + the new field + "/" + the access code, sent
// on the command port through the device's card, then the wait for its answer. Answers are taken from
// the device's sender only (the channel's rule) and only about the device asked; the first such answer
// starting with "A" ends it.
class MacChangeExchange final : public Exchange {
    Q_OBJECT
public:
    using Outcome = MacChangeResult::Outcome;

    // The texts go out as given; checking the new field is the caller's part.
    MacChangeExchange(CommandChannel& channel, DeviceRef device, std::string newField, std::string accessCode,
                      int timeoutMs = kMacChangeTimeoutMs, QObject* parent = nullptr);
    ~MacChangeExchange() override;

    void start() override;
    void abort() override { finish(Outcome::Aborted); }
    int boundMs() const override { return m_timeoutMs; }
    const MacChangeResult& result() const { return m_result; }

    // Answers set aside during the change: from another host, or about another device.
    int setAside() const { return m_setAside + m_channel.strangers(); }

private:
    void onDatagram(const QByteArray& datagram);
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    DeviceRef m_device;
    std::string m_newField;
    std::string m_accessCode;
    int m_timeoutMs;
    QTimer m_timer;
    QMetaObject::Connection m_taken;
    MacChangeResult m_result;
    int m_setAside = 0;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::MacChangeResult)
