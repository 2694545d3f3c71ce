// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs linkvane-devsim on a free loopback port for one test and reads what it
// reports. The simulator is started with --port 0 --verbose --control; its
// first line names the port it bound, every datagram it receives or sends is
// printed as "RX <peer> <escaped bytes>" or "TX <peer> <escaped bytes>", and
// control commands written to its standard input are answered on its output.

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

    // Sends one control command ("fault silent@KR-700", "counts", "clear") and
    // gives the lines of its answer without the closing "end"; empty when no
    // answer came within `timeoutMs`.
    QList<QByteArray> control(const QByteArray& line, int timeoutMs = 3000);
    // Adds a fault rule written as for --fault; true when the simulator took it.
    bool addFault(const QByteArray& ruleText) { return control("fault " + ruleText).value(0).startsWith("ok fault "); }

    // The process itself, for tests of how it ends.
    QProcess& process() { return m_process; }

    // The unescaping of the simulator's verbose lines.
    static QByteArray unescape(const QByteArray& text);

private:
    void readOutput();
    QList<QByteArray> linesWith(const char* kind);

    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_output;
};
