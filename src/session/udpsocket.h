// SPDX-License-Identifier: Apache-2.0
#pragma once

// The UDP socket component: one datagram per send, one signal per datagram
// received, broadcast allowed. The local port is left to the operating system
// and taken at the first send, so a socket receives the answers to what it sent.
//
// A burst of answers is read a few milliseconds' worth at a time: the socket
// then returns to the event loop, so timers and windows keep running, and comes
// back at once for the rest, or a millisecond later when it has caught up with
// answers that are still arriving.

#include <QByteArray>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QObject>

#include <memory>

class QUdpSocket;

namespace lv {

class DatagramBatch;

class UdpSocket final : public QObject {
    Q_OBJECT
public:
    explicit UdpSocket(QObject* parent = nullptr);
    ~UdpSocket() override;

    void setRemoteHost(const QHostAddress& host) { m_remoteHost = host; }
    void setRemotePort(quint16 port) { m_remotePort = port; }
    const QHostAddress& remoteHost() const { return m_remoteHost; }
    quint16 remotePort() const { return m_remotePort; }

    // Sends the bytes as one datagram to the remote host and port. False when
    // the socket could not be opened or the datagram was not sent.
    bool sendData(const QByteArray& bytes);
    // Why the last sendData() sent nothing, in the system's words; empty after one that sent.
    const QString& lastSendError() const { return m_lastSendError; }

    // Keeps the socket to one network interface (by its index; 0: wherever the
    // routing table sends). A change takes effect at the next send, on a fresh port.
    void setInterface(int interfaceIndex);
    int interfaceIndex() const { return m_interfaceIndex; }

    // Drops the current local port: the next send opens a fresh one, so answers
    // that arrive late for an earlier exchange are never read as answers to the next.
    void renew();

    quint16 localPort() const;
    // The receive buffer the system granted, in bytes; 0 before the first send.
    int receiveBufferSize() const;
    // Datagrams the system dropped on the current port because the receive buffer was full: 0 before
    // the first send, -1 where the system does not tell.
    qint64 droppedDatagrams() const;

Q_SIGNALS:
    // One datagram and its sender (IPv4 address in host order, 0 when not IPv4, and port); a receiver may
    // take the bytes alone.
    void dataArrival(const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort);
    // The same datagram with its sender's address and port and the index of the
    // interface it came in on (0 when the system did not tell).
    void datagramArrival(const QNetworkDatagram& datagram);
    // The datagrams of one turn of the event loop have all been signalled.
    void batchEnded();

private:
    bool ensureOpen();
    bool bindToInterface();
    void readPending();
    // Signals one datagram; false when a receiver renewed the socket meanwhile.
    bool deliver(QUdpSocket* socket, const QByteArray& bytes, quint32 senderIPv4, quint16 senderPort,
                 int interfaceIndex);

    QUdpSocket* m_socket = nullptr;
    std::unique_ptr<DatagramBatch> m_batch;
    QHostAddress m_remoteHost{QHostAddress::Broadcast};
    quint16 m_remotePort = 0;
    int m_interfaceIndex = 0;
    bool m_continuationPosted = false;
    QString m_lastSendError;
};

// The receive buffer asked of the system. A search answered by 50,000 devices
// arrives as one burst; the kernel accounts about 830 bytes for each small
// datagram and doubles what is asked, so this holds some 80,000 answers.
inline constexpr int kReceiveBufferBytes = 32 * 1024 * 1024;

// The largest datagram read: any UDP datagram over IPv4.
inline constexpr qint64 kLargestReadBytes = 65536;

// How long one turn of the event loop may spend reading datagrams.
inline constexpr int kReadBudgetMicroseconds = 4000;

// The pause before the next read once the socket has caught up with a dense
// burst that is still coming (a read found at least kGatherAfterDatagrams but
// not a whole batch): long enough for the next answers to gather (at 150,000 a
// second, some 150), short enough to go unseen. Sparser answers are read as
// the notifier reports each.
inline constexpr int kGatherMilliseconds = 1;
inline constexpr int kGatherAfterDatagrams = 16;

} // namespace lv
