// The command socket with its reply buffer and bounded waits.

#include "commandchannel.h"

#include "wait.h"

namespace lv {

CommandChannel::CommandChannel(SessionState& state, QObject* parent)
    : QObject(parent), m_state(state), m_socket(this), m_buffer(this)
{
    connect(&m_socket, &UdpSocket::dataArrival, &m_buffer, &ReplyBuffer::append);
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

bool CommandChannel::waitForComplete(int timeoutMs)
{
    return waitFor(&m_buffer, &ReplyBuffer::completed, timeoutMs, [this] { return m_buffer.complete(); });
}

void CommandChannel::delay(int ms)
{
    waitMs(ms);
}

} // namespace lv
