// SPDX-License-Identifier: Apache-2.0
#pragma once

// The simulated LAN on real UDP: one command port, answers sent from the
// unicast socket to whoever asked, each when its delay has passed. With own
// addresses each device's address has a socket of its own on that port, which
// hears what is sent there and sends the device's answers; the broadcast socket
// hears the rest.

#include "simulatedlan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

#include <map>
#include <memory>
#include <string>

namespace lv {

struct ServerOptions {
    QHostAddress bindAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 65535; // 0: a free port
    bool verbose = false;
    LanOptions lan;
};

class DevsimServer final : public QObject {
    Q_OBJECT
public:
    explicit DevsimServer(ServerOptions options, QObject* parent = nullptr);
    ~DevsimServer() override;

    // Binds the sockets; on failure `error` tells why. With port 0 the system
    // picks a free port, which port() then gives.
    bool start(QString* error);
    quint16 port() const;
    QHostAddress address() const;
    SimulatedLan& lan() { return m_lan; }

    // Adds a fault rule written as for --fault ("silent@KR-700", "late:1500@10.0.0.1").
    bool addFault(const QString& ruleText, QString* error = nullptr);
    void clearFaults() { m_lan.clearFaults(); }
    // Runs one control command ("fault split:3@KR-7800", "counts", ...) and gives its
    // output; "quit" emits quitRequested.
    QString control(const QString& line);

Q_SIGNALS:
    // Every datagram as it arrives, before it is handled, and as it leaves.
    void datagramReceived(const QHostAddress& peer, quint16 port, const QByteArray& bytes);
    void datagramSent(const QHostAddress& peer, quint16 port, const QByteArray& bytes);
    void quitRequested();

private:
    struct Pending {
        QHostAddress peer;
        quint16 port = 0;
        QByteArray bytes;
        int attempts = 0;
        bool fromElsewhere = false;
        QUdpSocket* from = nullptr; // null: the unicast socket
    };

    void readDatagrams(QUdpSocket* socket);
    // Binds a socket to a device's own address on the command port, once per address.
    bool openAddress(const std::string& address, QString* error);
    void schedule(const QHostAddress& peer, quint16 port, std::vector<Outgoing> answers);
    void sendDue();
    void armTimer();
    void logLine(const char* kind, const QHostAddress& peer, quint16 port, const QByteArray& bytes);

    ServerOptions m_options;
    SimulatedLan m_lan;
    QUdpSocket m_unicast;
    std::unique_ptr<QUdpSocket> m_broadcast;
    std::unique_ptr<QUdpSocket> m_elsewhere; // another port, for answers another host would send
    // With own addresses: a socket per address a device holds or held (kept, for answers still due from there).
    std::map<std::string, std::unique_ptr<QUdpSocket>, std::less<>> m_own;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::multimap<qint64, Pending> m_queue; // by due time; equal times keep their order
};

} // namespace lv
