// SPDX-License-Identifier: Apache-2.0
#pragma once

// A peer on 127.0.0.1 that answers every datagram it receives with the same list of datagrams, in
// order: a LAN of devices that all answer a search at once.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
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
                for (const QByteArray& a : m_answers)
                    m_socket.writeDatagram(a, asked.senderAddress(), static_cast<quint16>(asked.senderPort()));
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    void setAnswers(QList<QByteArray> answers) { m_answers = std::move(answers); }

private:
    QUdpSocket m_socket;
    QList<QByteArray> m_answers;
};
