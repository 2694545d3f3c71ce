#pragma once

// The MAC change exchange (wskSetMac): one "M " command broadcast on the command
// port and a bounded wait for the device's answer, shared by the dialog and the CLI.

#include "macchange.h"
#include "sessionstate.h"
#include "udpsocket.h"

#include <QObject>

#include <string>
#include <string_view>

namespace lv {

inline constexpr int kMacChangeTimeoutMs = 1000;

struct MacChangeResult {
    bool sent = false;    // the command left the socket
    bool replied = false; // an answer starting with "A" arrived within the bound
    bool changed = false; // the answer named a new, well-formed MAC field different from the old
    std::string newField; // as the device wrote it (empty when no answer or malformed)
    std::string oldField; // as the device wrote it
    std::string newText;  // "00-50-C2-01-02-04" when changed
};

class MacChangeExchange final : public QObject {
    Q_OBJECT
public:
    explicit MacChangeExchange(SessionState& state, QObject* parent = nullptr);

    // Sends "M " + currentField + "/" + newField + "/" + accessCode and waits
    // until the first answer starting with "A" or until timeoutMs passed. The
    // texts go out as given; checking the new field is the caller's part.
    // A second call while one is waiting sends nothing.
    MacChangeResult run(std::string_view currentField, std::string_view newField, std::string_view accessCode,
                        int timeoutMs = kMacChangeTimeoutMs);

    bool running() const { return m_waiting; }
    UdpSocket& socket() { return m_wskSetMac; }

Q_SIGNALS:
    // The first answer of the running change arrived; ends its wait.
    void answered();

private:
    void wskSetMac_DataArrival(const QByteArray& datagram);

    SessionState& m_state;
    UdpSocket m_wskSetMac;
    bool m_waiting = false;
    MacChangeResult m_result;
};

} // namespace lv
