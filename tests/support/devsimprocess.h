#pragma once

// Runs linkvane-devsim on a free loopback port for one test and reads what it
// reports. The simulator is started with --port 0 --verbose; its first line
// names the port it bound, and every datagram it receives or sends is printed
// as "RX <peer> <escaped bytes>" or "TX <peer> <escaped bytes>".

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

class DevsimProcess {
public:
    explicit DevsimProcess(const QStringList& extraArgs = {});
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }

    // Datagrams the simulator received / sent so far, oldest first.
    QList<QByteArray> received();
    QList<QByteArray> sent();
    // Waits (processing events) until at least `count` datagrams starting with
    // `prefix` were received, or `timeoutMs` passed.
    QList<QByteArray> waitForReceived(const QByteArray& prefix, int count, int timeoutMs = 3000);

    QString allOutput();

    // The unescaping of the simulator's verbose lines.
    static QByteArray unescape(const QByteArray& text);

private:
    void readOutput();
    QList<QByteArray> linesWith(const char* kind);

    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_output;
};
