// SPDX-License-Identifier: Apache-2.0
// The simulated LAN on loopback UDP: receiving, scheduling and sending datagrams.

#include "devsimserver.h"

#include "controlcommand.h"
#include "printable.h"

#include <QNetworkDatagram>
#include <QVariant>

#include <cstdio>

namespace lv {

namespace {

constexpr int kSocketBufferBytes = 8 * 1024 * 1024;
// A full send buffer is retried after a short pause; a datagram that still
// cannot be sent after this many tries is dropped, as a real network would.
constexpr int kMaxSendAttempts = 50;

void askForLargeBuffers(QUdpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(kSocketBufferBytes));
    socket.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, QVariant(kSocketBufferBytes));
}

} // namespace

DevsimServer::DevsimServer(ServerOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_lan(m_options.lan)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DevsimServer::sendDue);
    connect(&m_unicast, &QUdpSocket::readyRead, this, [this] { readDatagrams(&m_unicast); });
}

DevsimServer::~DevsimServer() = default;

bool DevsimServer::start(QString* error)
{
    const bool onLoopback = m_options.bindAddress == QHostAddress(QHostAddress::LocalHost);
#if defined(Q_OS_WIN)
    // Windows hands a loopback broadcast only to a socket bound to any address
    // and refuses a bind to the broadcast address itself: the second socket
    // binds to any address beside the first, and hears loopback senders alone
    // (readDatagrams), so the simulator stays off the LAN all the same.
    const QHostAddress broadcastBind(QHostAddress::AnyIPv4);
    const auto mode = onLoopback ? QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint
                                 : QAbstractSocket::DefaultForPlatform;
#else
    // Linux hands a broadcast only to sockets bound to the broadcast address or
    // to any address; on loopback a second socket catches 127.255.255.255.
    const QHostAddress broadcastBind(QStringLiteral("127.255.255.255"));
    const auto mode = QAbstractSocket::DefaultForPlatform;
#endif
    if (!m_unicast.bind(m_options.bindAddress, m_options.port, mode)) {
        if (error)
            *error = m_unicast.errorString();
        return false;
    }
    askForLargeBuffers(m_unicast);
    if (onLoopback) {
        m_broadcast = std::make_unique<QUdpSocket>();
        if (!m_broadcast->bind(broadcastBind, m_unicast.localPort(), mode)) {
            if (error)
                *error = m_broadcast->errorString();
            return false;
        }
        askForLargeBuffers(*m_broadcast);
        QUdpSocket* socket = m_broadcast.get();
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readDatagrams(socket); });
    }
    if (m_options.lan.ownAddresses) {
        if (!onLoopback) {
            if (error)
                *error = QStringLiteral("devices have addresses of their own on loopback only");
            return false;
        }
        for (const Device& device : m_lan.devices())
            if (!openAddress(device.address, error))
                return false;
    }
    return true;
}

bool DevsimServer::openAddress(const std::string& address, QString* error)
{
    if (m_own.count(address) > 0)
        return true;
#if defined(Q_OS_WIN)
    // Beside the broadcast socket, bound to any address on the same port there: both share it.
    const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
#else
    const auto mode = QAbstractSocket::DefaultForPlatform;
#endif
    auto socket = std::make_unique<QUdpSocket>();
    if (!socket->bind(QHostAddress(QString::fromStdString(address)), m_unicast.localPort(), mode)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QString::fromStdString(address), socket->errorString());
        return false;
    }
    QUdpSocket* raw = socket.get();
    connect(raw, &QUdpSocket::readyRead, this, [this, raw] { readDatagrams(raw); });
    m_own.emplace(address, std::move(socket));
    return true;
}

quint16 DevsimServer::port() const
{
    return m_unicast.localPort();
}

QHostAddress DevsimServer::address() const
{
    return m_unicast.localAddress();
}

bool DevsimServer::addFault(const QString& ruleText, QString* error)
{
    std::string why;
    auto rule = parseFaultRule(ruleText.toLatin1().toStdString(), &why);
    if (!rule) {
        if (error)
            *error = QString::fromStdString(why);
        return false;
    }
    m_lan.addFault(std::move(*rule));
    return true;
}

QString DevsimServer::control(const QString& line)
{
    const ControlResult result = runControlCommand(m_lan, line.toLatin1().toStdString());
    if (result.quit)
        Q_EMIT quitRequested();
    return QString::fromLatin1(result.output.data(), static_cast<qsizetype>(result.output.size()));
}

void DevsimServer::logLine(const char* kind, const QHostAddress& peer, quint16 port, const QByteArray& bytes)
{
    if (!m_options.verbose)
        return;
    // The bytes escaped as linkvane-cli shows them, written for a UTF-8 terminal.
    const std::string shown = escapeBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    const QByteArray line = QByteArray(kind) + ' ' + peer.toString().toLatin1() + ':' + QByteArray::number(port) + ' ' +
                            QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

void DevsimServer::readDatagrams(QUdpSocket* socket)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const QByteArray data = datagram.data();
        // A peer reached over an IPv4-mapped address is answered on plain IPv4.
        QHostAddress peer = datagram.senderAddress();
        bool isV4 = false;
        const quint32 v4 = peer.toIPv4Address(&isV4);
        if (isV4)
            peer = QHostAddress(v4);
        const quint16 peerPort = static_cast<quint16>(datagram.senderPort());
        if (socket == m_broadcast.get() && !peer.isLoopback())
            continue; // bound to any address on Windows: the LAN is not the simulator's
        logLine("RX", peer, peerPort, data);
        Q_EMIT datagramReceived(peer, peerPort, data);
        // With own addresses a datagram not broadcast reaches the devices at the address it was sent to.
        const std::string to = m_options.lan.ownAddresses && socket != m_broadcast.get()
                                   ? socket->localAddress().toString().toStdString()
                                   : std::string();
        schedule(peer, peerPort,
                 m_lan.handleDatagram(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), to));
        for (const std::string& address : m_lan.takeNewAddresses()) {
            QString error;
            if (!openAddress(address, &error))
                std::fprintf(stderr, "linkvane-devsim: a device cannot answer from %s\n", qPrintable(error));
        }
    }
    sendDue();
}

void DevsimServer::schedule(const QHostAddress& peer, quint16 port, std::vector<Outgoing> answers)
{
    const qint64 now = m_clock.elapsed();
    for (Outgoing& answer : answers) {
        Pending pending{peer, port, QByteArray(answer.bytes.data(), static_cast<qsizetype>(answer.bytes.size())), 0,
                        answer.fromElsewhere};
        if (!answer.from.empty()) {
            const auto own = m_own.find(answer.from);
            if (own == m_own.end())
                continue; // an address the device could not take: it cannot answer from there
            pending.from = own->second.get();
        }
        m_queue.emplace(now + answer.delayMs, std::move(pending));
    }
}

void DevsimServer::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_queue.empty() && m_queue.begin()->first <= now) {
        auto it = m_queue.begin();
        Pending& pending = it->second;
        if (pending.fromElsewhere && !m_elsewhere) {
            m_elsewhere = std::make_unique<QUdpSocket>();
            m_elsewhere->bind(m_options.bindAddress, 0);
        }
        QUdpSocket& socket = pending.fromElsewhere ? *m_elsewhere : pending.from ? *pending.from : m_unicast;
        const qint64 written = socket.writeDatagram(pending.bytes, pending.peer, pending.port);
        if (written < 0 && ++pending.attempts < kMaxSendAttempts &&
            (socket.error() == QAbstractSocket::TemporaryError || socket.error() == QAbstractSocket::NetworkError)) {
            // The send buffer is full: keep this datagram first in line, so the
            // order of the answers stays, and try again shortly.
            m_timer.start(1);
            return;
        }
        // Out of the queue before anyone hears of it, so a receiver may schedule or send freely.
        const Pending done = std::move(pending);
        m_queue.erase(it);
        if (written >= 0) {
            logLine("TX", done.peer, done.port, done.bytes);
            Q_EMIT datagramSent(done.peer, done.port, done.bytes);
        }
    }
    armTimer();
}

void DevsimServer::armTimer()
{
    if (m_queue.empty()) {
        m_timer.stop();
        return;
    }
    const qint64 wait = std::max<qint64>(0, m_queue.begin()->first - m_clock.elapsed());
    m_timer.start(static_cast<int>(wait));
}

} // namespace lv
