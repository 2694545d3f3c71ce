#pragma once

// The UDP socket component: one datagram per send, one signal per datagram
// received, broadcast allowed. The local port is left to the operating system
// and taken at the first send, so a socket receives the answers to what it sent.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

class QUdpSocket;

namespace lv {

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

    // Drops the current local port: the next send opens a fresh one, so answers
    // that arrive late for an earlier exchange are never read as answers to the next.
    void renew();

    quint16 localPort() const;

Q_SIGNALS:
    void dataArrival(const QByteArray& datagram);

private:
    bool ensureOpen();
    void readPending();

    QUdpSocket* m_socket = nullptr;
    QHostAddress m_remoteHost{QHostAddress::Broadcast};
    quint16 m_remotePort = 0;
};

// The receive buffer asked of the kernel: a search answered by thousands of
// devices arrives as a burst that must not be dropped.
inline constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

} // namespace lv
