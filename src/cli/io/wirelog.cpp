// SPDX-License-Identifier: Apache-2.0
// The --verbose wire log.

#include "wirelog.h"

#include "commandchannel.h"
#include "output.h"
#include "udpsocket.h"

#include <QDateTime>
#include <QHostAddress>

namespace lv {

WireLog::WireLog(Output& output, const SecretMask& mask, QObject* parent)
    : QObject(parent), m_output(output), m_mask(mask)
{
    m_clock.start();
}

void WireLog::watch(CommandChannel& channel)
{
    UdpSocket* socket = &channel.socket();
    // The local port is read when the datagram passes: a new exchange opens a new one.
    connect(&channel, &CommandChannel::datagramSent, this,
            [this, socket](const QByteArray& datagram) { sent(socket->localPort(), datagram); });
    watchReceived(*socket);
    // A datagram from another host is logged as received above; this says it was not taken.
    connect(&channel, &CommandChannel::strangerDatagram, this,
            [this, socket](const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort) {
                m_output.note(QDateTime::currentDateTimeUtc().toString(QStringLiteral("hh:mm:ss.zzz")) +
                              QStringLiteral(" +%1ms set aside on port %2: %3 bytes from %4:%5, not the device asked\n")
                                  .arg(m_clock.elapsed())
                                  .arg(socket->localPort())
                                  .arg(datagram.size())
                                  .arg(QHostAddress(senderIPv4).toString())
                                  .arg(senderPort));
            });
}

void WireLog::watchReceived(UdpSocket& socket)
{
    UdpSocket* s = &socket;
    if (m_watched.contains(s))
        return;
    m_watched.insert(s);
    connect(s, &QObject::destroyed, this, [this, s] { m_watched.remove(s); });
    connect(s, &UdpSocket::dataArrival, this,
            [this, s](const QByteArray& datagram) { received(s->localPort(), datagram); });
}

void WireLog::sent(quint16 localPort, const QByteArray& datagram)
{
    line("TX", localPort, datagram);
}

void WireLog::received(quint16 localPort, const QByteArray& datagram)
{
    line("RX", localPort, datagram);
}

void WireLog::line(const char* direction, quint16 localPort, const QByteArray& datagram)
{
    const std::string bytes =
        m_mask.masked(std::string_view(datagram.constData(), static_cast<std::size_t>(datagram.size())));
    const QString text = QDateTime::currentDateTimeUtc().toString(QStringLiteral("hh:mm:ss.zzz")) +
                         QStringLiteral(" +%1ms %2 port %3 %4 bytes: ")
                             .arg(m_clock.elapsed())
                             .arg(QLatin1String(direction))
                             .arg(localPort)
                             .arg(datagram.size()) +
                         printableText(bytes) + QLatin1Char('\n');
    m_output.note(text);
}

} // namespace lv
