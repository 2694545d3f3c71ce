// SPDX-License-Identifier: Apache-2.0
#pragma once

// The --verbose log of linkvane-cli: every datagram sent and received, with its time, the socket's local
// port and its bytes escaped and secrets masked, on standard error.

#include "secretmask.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSet>

namespace lv {

class CommandChannel;
class DeviceSearch;
class Output;
class UdpSocket;

class WireLog final : public QObject {
    Q_OBJECT
public:
    WireLog(Output& output, const SecretMask& mask, QObject* parent = nullptr);

    // Logs every datagram the channel sends and receives.
    void watch(CommandChannel& channel);
    // Logs what a search socket receives (once, however often it is given); the probe is logged by
    // whoever sends it.
    void watchReceived(UdpSocket& socket);

    void sent(quint16 localPort, const QByteArray& datagram);
    void received(quint16 localPort, const QByteArray& datagram);

private:
    void line(const char* direction, quint16 localPort, const QByteArray& datagram);

    Output& m_output;
    const SecretMask& m_mask;
    QElapsedTimer m_clock;
    QSet<const UdpSocket*> m_watched;
};

} // namespace lv
