// SPDX-License-Identifier: Apache-2.0
#pragma once

// A peer on 127.0.0.1 that answers every datagram it receives with the same list of datagrams, in
// order: a LAN of devices that all answer a search at once.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <utility>

class AnsweringPeer {
public:
    explicit AnsweringPeer(QList<QByteArray> answers) : m_answers(std::move(answers))
    {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] {
            while (m_socket.hasPendingDatagrams()) {
                const QNetworkDatagram asked = m_socket.receiveDatagram();
                const QHostAddress to = asked.senderAddress();
                const auto port = static_cast<quint16>(asked.senderPort());
                for (qsizetype i = 0; i < m_answers.size(); ++i) {
                    if (m_spacingMs <= 0) {
                        m_socket.writeDatagram(m_answers[i], to, port);
                        continue;
                    }
                    QTimer::singleShot(static_cast<int>(i) * m_spacingMs, &m_socket,
                                       [this, a = m_answers[i], to, port] { m_socket.writeDatagram(a, to, port); });
                }
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    void setAnswers(QList<QByteArray> answers) { m_answers = std::move(answers); }
    // Answers leave this far apart (0: all at once).
    void setSpacing(int ms) { m_spacingMs = ms; }

private:
    QUdpSocket m_socket;
    QList<QByteArray> m_answers;
    int m_spacingMs = 0;
};
