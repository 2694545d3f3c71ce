// SPDX-License-Identifier: Apache-2.0
// The UDP socket component: opening on first send, the interface binding, and reading bursts in slices.

#include "udpsocket.h"

#include "interfacename.h"
#include "platformsocket.h"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

namespace lv {

UdpSocket::UdpSocket(QObject* parent) : QObject(parent) {}

UdpSocket::~UdpSocket() = default;

bool UdpSocket::ensureOpen()
{
    if (m_socket && m_socket->state() == QAbstractSocket::BoundState)
        return true;
    delete m_socket;
    m_socket = new QUdpSocket(this);
    if (!bindToInterface())
        return false;
    // Qt allows broadcast on every UDP socket it opens. The receive buffer goes
    // as far as the system's cap through Qt, and past it where the process may.
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(kReceiveBufferBytes));
    forceReceiveBuffer(m_socket->socketDescriptor(), kReceiveBufferBytes);
    enablePacketInformation(m_socket->socketDescriptor());
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpSocket::readPending);
    return true;
}

bool UdpSocket::bindToInterface()
{
    if (m_interfaceIndex <= 0)
        return m_socket->bind(QHostAddress::AnyIPv4, 0);
    const QNetworkInterface iface = QNetworkInterface::interfaceFromIndex(m_interfaceIndex);
    if (!iface.isValid())
        return false;
    if (m_socket->bind(QHostAddress::AnyIPv4, 0) &&
        bindToDevice(m_socket->socketDescriptor(), interfaceNameBytes(iface.name())))
        return true;
    // Without a tie to the device, the interface's own address is the next best:
    // the answers come back to it.
    delete m_socket;
    m_socket = new QUdpSocket(this);
    for (const QNetworkAddressEntry& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return m_socket->bind(entry.ip(), 0);
    return false;
}

void UdpSocket::setInterface(int interfaceIndex)
{
    if (interfaceIndex == m_interfaceIndex)
        return;
    m_interfaceIndex = interfaceIndex;
    renew();
}

bool UdpSocket::sendData(const QByteArray& bytes)
{
    m_lastSendError.clear();
    if (!ensureOpen()) {
        m_lastSendError = m_socket ? m_socket->errorString() : QStringLiteral("the socket could not be opened");
        return false;
    }
    if (m_socket->writeDatagram(bytes, m_remoteHost, m_remotePort) == bytes.size())
        return true;
    m_lastSendError = m_socket->errorString();
    return false;
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

int UdpSocket::receiveBufferSize() const
{
    return m_socket ? m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() : 0;
}

qint64 UdpSocket::droppedDatagrams() const
{
    return m_socket && m_socket->socketDescriptor() >= 0 ? lv::droppedDatagrams(m_socket->socketDescriptor()) : 0;
}

bool UdpSocket::deliver(QUdpSocket* socket, const QByteArray& bytes, quint32 senderIPv4, quint16 senderPort,
                        int interfaceIndex)
{
    Q_EMIT dataArrival(bytes, senderIPv4, senderPort);
    if (socket != m_socket)
        return false;
    if (isSignalConnected(QMetaMethod::fromSignal(&UdpSocket::datagramArrival))) {
        QNetworkDatagram datagram(bytes);
        datagram.setSender(QHostAddress(senderIPv4), senderPort);
        datagram.setInterfaceIndex(static_cast<uint>(interfaceIndex));
        Q_EMIT datagramArrival(datagram);
    }
    return socket == m_socket;
}

void UdpSocket::readPending()
{
    // A read already waits in the event queue: it reads these datagrams too, and
    // one read per turn leaves the rest of the turn to everything else.
    if (m_continuationPosted && sender() == m_socket)
        return;
    m_continuationPosted = false;
    QUdpSocket* socket = m_socket;
    if (!socket)
        return;
    QElapsedTimer clock;
    clock.start();
    const qint64 budgetNs = qint64(kReadBudgetMicroseconds) * 1000;
    if (DatagramBatch::available() && !m_batch)
        m_batch = std::make_unique<DatagramBatch>();

    bool open = true;
    bool armed = false;    // Qt's read found the queue empty and armed the notifier again
    bool caughtUp = false; // a dense batch came back short: the queue is empty for the moment
    while (open && clock.nsecsElapsed() < budgetNs) {
        if (m_batch) {
            const int got = m_batch->read(socket->socketDescriptor());
            for (int i = 0; i < got && open; ++i) {
                const BatchDatagram& d = m_batch->at(i);
                open = deliver(socket, QByteArray(d.data, d.size), d.senderIPv4, d.senderPort, d.interfaceIndex);
            }
            if (got == DatagramBatch::kCapacity)
                continue;
            // Many came but fewer than a batch: a dense burst that is still coming.
            // A few: answers that trickle in, each best read when the notifier says.
            if (got >= kGatherAfterDatagrams) {
                caughtUp = true;
                break;
            }
        }
        // Qt's own read: it takes the next datagram if there is one and, either
        // way, arms the socket's notifier again for the datagrams still to come.
        if (!open)
            break;
        const QNetworkDatagram next = socket->receiveDatagram(kLargestReadBytes);
        if (!next.isValid()) {
            armed = true;
            break;
        }
        open = deliver(socket, next.data(), next.senderAddress().toIPv4Address(),
                       static_cast<quint16>(next.senderPort()), next.interfaceIndex());
    }
    Q_EMIT batchEnded();
    if (!open || socket != m_socket || armed || m_continuationPosted)
        return;
    // Datagrams are coming: read again through the event queue rather than the
    // notifier. With the budget spent and the queue still full, at once, so the
    // event loop lets its other sources (timers) run between reads; caught up
    // with a burst that trickles in, after a short pause, so the next answers
    // gather and are read many to a system call instead of a wake-up for each.
    m_continuationPosted = true;
    QTimer::singleShot(caughtUp ? kGatherMilliseconds : 0, Qt::PreciseTimer, this, &UdpSocket::readPending);
}

} // namespace lv
