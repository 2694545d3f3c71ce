// SPDX-License-Identifier: Apache-2.0
#pragma once

// The command socket (wskCmd) with its reply buffer: every configuration
// request, set command and "U " command goes through here, from the GUI and the
// CLI alike. Waits are event loops that end on a signal or a timer: no busy loop.

#include "devicepeer.h"
#include "replybuffer.h"
#include "sessionstate.h"
#include "udpsocket.h"

#include <QObject>

#include <optional>
#include <string>
#include <string_view>

namespace lv {

class CommandChannel final : public QObject {
    Q_OBJECT
public:
    CommandChannel(SessionState& state, QObject* parent = nullptr);

    // Starts an exchange: a fresh local port and an empty ReplyBuffer.
    void beginExchange();
    // The interface the device answered the search on (0: wherever the routing
    // table sends); every command after this leaves through it.
    void setInterface(int interfaceIndex) { m_socket.setInterface(interfaceIndex); }

    // Takes datagrams from `peer` only, from now until the next expectFrom (a configuration request and
    // the Update after it); anything from elsewhere is counted and signalled, never read. An unknown
    // peer takes what comes, as a device never seen in a search must be.
    void expectFrom(DevicePeer peer);
    // Datagrams set aside since the last expectFrom because another host sent them.
    int strangers() const { return m_strangers; }

    // Sends one datagram to the broadcast address on the command port.
    bool send(std::string_view bytes);

    ReplyBuffer& buffer() { return m_buffer; }
    UdpSocket& socket() { return m_socket; }
    SessionState& state() { return m_state; }

Q_SIGNALS:
    // Every datagram handed to the socket, as sent (for a wire log).
    void datagramSent(const QByteArray& datagram);
    // The phases of an exchange, for whoever shows the operator what runs.
    void sending();
    void waiting();
    // A datagram from the device asked (or from anyone, for an unknown peer), as it arrived; it is in
    // the reply buffer too.
    void datagramTaken(const QByteArray& datagram);
    // A datagram from a host other than the device asked, set aside.
    void strangerDatagram(const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort);

private:
    void take(const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort);

    SessionState& m_state;
    UdpSocket m_socket;
    ReplyBuffer m_buffer;
    DevicePeer m_peer;
    int m_strangers = 0;
};

} // namespace lv
