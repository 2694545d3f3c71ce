// SPDX-License-Identifier: Apache-2.0
// The command socket with its reply buffer and bounded waits.

#include "commandchannel.h"

namespace lv {

CommandChannel::CommandChannel(SessionState& state, QObject* parent)
    : QObject(parent), m_state(state), m_socket(this), m_buffer(this)
{
    connect(&m_socket, &UdpSocket::dataArrival, this, &CommandChannel::take);
}

void CommandChannel::expectFrom(DevicePeer peer)
{
    m_peer = peer;
    m_strangers = 0;
}

void CommandChannel::take(const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort)
{
    const bool fromPeer = !m_peer.known() || m_peer.sent(senderIPv4, senderPort);
    if (!fromPeer) {
        ++m_strangers;
        Q_EMIT strangerDatagram(datagram, senderIPv4, senderPort);
        return;
    }
    m_buffer.append(datagram);
    Q_EMIT datagramTaken(datagram);
}

void CommandChannel::beginExchange()
{
    m_socket.renew();
    m_buffer.clear();
}

bool CommandChannel::send(std::string_view bytes)
{
    m_socket.setRemoteHost(m_state.broadcast);
    m_socket.setRemotePort(m_state.gCmdPort);
    const QByteArray datagram(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const bool sent = m_socket.sendData(datagram);
    Q_EMIT datagramSent(datagram);
    return sent;
}

} // namespace lv
