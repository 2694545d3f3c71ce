// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs the simulated LAN inside the test process, on a free loopback port, for
// tests that need devices but no child process. The devices answer while the
// test's event loop runs (QTest::qWait, LV_WAIT_*, a modal wait of the tool), and
// their faults can be changed between two steps of a test.
//
// Header only: a test that includes it links lv_devsim.

#include "devsimserver.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QTest>

#include <memory>
#include <utility>

class InProcessLan {
public:
    // Starts at once on 127.0.0.1, port 0; started() says whether it listens.
    explicit InProcessLan(lv::LanOptions options = {})
    {
        lv::ServerOptions server;
        server.port = 0;
        server.lan = std::move(options);
        m_server = std::make_unique<lv::DevsimServer>(std::move(server));
        QObject::connect(m_server.get(), &lv::DevsimServer::datagramReceived, m_server.get(),
                         [this](const QHostAddress&, quint16, const QByteArray& bytes) { m_received.append(bytes); });
        QObject::connect(m_server.get(), &lv::DevsimServer::datagramSent, m_server.get(),
                         [this](const QHostAddress&, quint16, const QByteArray& bytes) { m_sent.append(bytes); });
        m_started = m_server->start(&m_error);
    }
    InProcessLan(const InProcessLan&) = delete;
    InProcessLan& operator=(const InProcessLan&) = delete;

    bool started() const { return m_started; }
    QString error() const { return m_error; }
    quint16 port() const { return m_server->port(); }
    // Where the tool sends its broadcasts to reach the devices: 127.255.255.255.
    static QHostAddress broadcastAddress() { return QHostAddress(QStringLiteral("127.255.255.255")); }

    lv::DevsimServer& server() { return *m_server; }
    lv::SimulatedLan& lan() { return m_server->lan(); }
    const std::vector<lv::Device>& devices() { return m_server->lan().devices(); }

    // A fault as for linkvane-devsim --fault: "silent@KR-700", "split:3@0.80.194.0.0.14".
    bool addFault(const QString& ruleText, QString* error = nullptr) { return m_server->addFault(ruleText, error); }
    void clearFaults() { m_server->clearFaults(); }
    // A control command as linkvane-devsim --control reads it; its output, ending with "end".
    QString control(const QString& line) { return m_server->control(line); }

    // Datagrams the devices received / sent so far, oldest first.
    const QList<QByteArray>& received() const { return m_received; }
    const QList<QByteArray>& sent() const { return m_sent; }
    void clearLog()
    {
        m_received.clear();
        m_sent.clear();
    }
    // Processes events until `count` received datagrams start with `prefix`, or `timeoutMs` passed.
    QList<QByteArray> waitForReceived(const QByteArray& prefix, int count, int timeoutMs = 3000)
    {
        QList<QByteArray> matching;
        (void)QTest::qWaitFor(
            [&] {
                matching.clear();
                for (const QByteArray& d : m_received)
                    if (d.startsWith(prefix))
                        matching.append(d);
                return matching.size() >= count;
            },
            timeoutMs);
        return matching;
    }

private:
    QList<QByteArray> m_received;
    QList<QByteArray> m_sent;
    QString m_error;
    bool m_started = false;
    std::unique_ptr<lv::DevsimServer> m_server; // last: it goes first, before the logs it writes to
};
