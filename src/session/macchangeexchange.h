// SPDX-License-Identifier: Apache-2.0
#pragma once

// The MAC change exchange (wskSetMac): one "M " command broadcast on the command port and a bounded
// wait for the device's answer, shared by the dialog and the CLI. Like the other exchanges it runs on
// the event loop and ends with one typed result; run() starts it and waits for it.

#include "devicepeer.h"
#include "macchange.h"
#include "sessionstate.h"
#include "udpsocket.h"

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
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotSent;
    std::string oldField; // as the device wrote it (empty when no answer or malformed)
    std::string newField; // as the device wrote it
    std::optional<MacAddress> newMac; // when Changed

    bool sent() const { return outcome != Outcome::NotSent; }
    bool replied() const { return sent() && outcome != Outcome::NoAnswer; }
    bool changed() const { return outcome == Outcome::Changed; }
};

class MacChangeExchange final : public QObject {
    Q_OBJECT
public:
    explicit MacChangeExchange(SessionState& state, QObject* parent = nullptr);

    // Sends "M " + currentField + "/" + newField + "/" + accessCode; finished() follows on the first
    // answer starting with "A" or after timeoutMs (at once when nothing could be sent). The texts go
    // out as given; checking the new field is the caller's part. False, and nothing sent, while a
    // change is still waiting.
    bool start(std::string_view currentField, std::string_view newField, std::string_view accessCode,
               int timeoutMs = kMacChangeTimeoutMs);
    // start(), then the wait for finished(). A second call while one is waiting sends nothing.
    MacChangeResult run(std::string_view currentField, std::string_view newField, std::string_view accessCode,
                        int timeoutMs = kMacChangeTimeoutMs);

    // Takes answers only from where the device answered its search (an unknown peer: from anyone), for
    // this and later changes.
    void expectFrom(DevicePeer peer) { m_peer = peer; }
    // Answers set aside during the last change: from another host, or about another device.
    int setAside() const { return m_setAside; }

    bool running() const { return m_waiting; }
    const MacChangeResult& result() const { return m_result; }
    UdpSocket& socket() { return m_wskSetMac; }

Q_SIGNALS:
    // The "M " command left the socket (for a wire log).
    void datagramSent(const QByteArray& datagram);
    // The first answer of the running change arrived.
    void answered();
    // The change has ended: answered, timed out or not sent.
    void finished();

private:
    void wskSetMac_DataArrival(const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort);
    void finish();

    SessionState& m_state;
    UdpSocket m_wskSetMac;
    QTimer m_timer;
    bool m_waiting = false;
    MacChangeResult m_result;
    DevicePeer m_peer;
    std::optional<MacAddress> m_asked; // the device whose change runs
    int m_setAside = 0;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::MacChangeResult)
