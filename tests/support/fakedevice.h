// SPDX-License-Identifier: Apache-2.0
#pragma once

// A device on loopback whose answers a test scripts: it records every datagram and answers each
// through a handler (which may answer nothing, later, or twice), or with one fixed list of datagrams
// (a LAN of devices that all answer a search at once).

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QUdpSocket>

#include <functional>
#include <vector>

class FakeDevice {
public:
    struct Received {
        QByteArray bytes;
        QHostAddress from;
        quint16 port = 0;
        qint64 atMs = 0;
    };
    // Returns the datagrams to answer with, in order; the handler may also
    // schedule late answers itself through answer().
    using Handler = std::function<QList<QByteArray>(const Received&)>;

    FakeDevice();
    // A device that answers every datagram with `answers`: answerEveryDatagramWith(answers).
    explicit FakeDevice(QList<QByteArray> answers);
    quint16 port() const { return m_socket.localPort(); }
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // A device that answers every "U " command with a text holding "MAC", as a device confirms an
    // update; false: no answers at all.
    void setAnswering(bool answering);
    // Answers every datagram with `answers`, in order, each `spacingMs` after the one before (0: all at once).
    void answerEveryDatagramWith(QList<QByteArray> answers, int spacingMs = 0);
    void answer(const Received& to, const QByteArray& bytes);
    const QList<Received>& received() const { return m_received; }
    void clear() { m_received.clear(); }
    // The datagrams received that start with `prefix`, oldest first.
    std::vector<QByteArray> withPrefix(const QByteArray& prefix) const;

private:
    QUdpSocket m_socket;
    Handler m_handler;
    QList<Received> m_received;
    QElapsedTimer m_clock; // monotonic: a wall clock may step or tick coarsely
};
