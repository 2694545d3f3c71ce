#include "udpsocket.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <sys/socket.h>

namespace lv {

UdpSocket::UdpSocket(QObject* parent) : QObject(parent) {}

UdpSocket::~UdpSocket() = default;

bool UdpSocket::ensureOpen()
{
    if (m_socket && m_socket->state() == QAbstractSocket::BoundState)
        return true;
    delete m_socket;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::AnyIPv4, 0))
        return false;
    // SO_RCVBUFFORCE lifts the system's cap where the process may; otherwise the
    // kernel grants what net.core.rmem_max allows.
    const int fd = static_cast<int>(m_socket->socketDescriptor());
    const int size = kReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpSocket::readPending);
    return true;
}

bool UdpSocket::sendData(const QByteArray& bytes)
{
    if (!ensureOpen())
        return false;
    return m_socket->writeDatagram(bytes, m_remoteHost, m_remotePort) == bytes.size();
}

void UdpSocket::renew()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
}

quint16 UdpSocket::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void UdpSocket::readPending()
{
    // Read everything queued: one signal per datagram, in arrival order.
    QUdpSocket* socket = m_socket;
    while (socket && socket == m_socket && socket->hasPendingDatagrams()) {
        const qint64 size = socket->pendingDatagramSize();
        QByteArray data(static_cast<qsizetype>(qMax<qint64>(size, 0)), Qt::Uninitialized);
        const qint64 got = socket->readDatagram(data.data(), data.size());
        if (got < 0)
            break;
        data.resize(static_cast<qsizetype>(got));
        Q_EMIT dataArrival(data);
    }
}

} // namespace lv
