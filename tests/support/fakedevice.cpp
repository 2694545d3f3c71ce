// SPDX-License-Identifier: Apache-2.0
// The scripted loopback device of the tests.

#include "fakedevice.h"

#include <QNetworkDatagram>
#include <QTimer>

#include <utility>

FakeDevice::FakeDevice()
{
    m_clock.start();
    m_socket.bind(QHostAddress::LocalHost, 0);
    QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            Received r{d.data(), d.senderAddress(), static_cast<quint16>(d.senderPort()), m_clock.elapsed()};
            m_received.append(r);
            if (m_handler)
                for (const QByteArray& reply : m_handler(r))
                    answer(r, reply);
        }
    });
}

FakeDevice::FakeDevice(QList<QByteArray> answers) : FakeDevice()
{
    answerEveryDatagramWith(std::move(answers));
}

void FakeDevice::setAnswering(bool answering)
{
    if (!answering) {
        m_handler = {};
        return;
    }
    m_handler = [](const Received& r) {
        return r.bytes.startsWith("U ") ? QList<QByteArray>{QByteArrayLiteral("AU MAC")} : QList<QByteArray>{};
    };
}

void FakeDevice::answerEveryDatagramWith(QList<QByteArray> answers, int spacingMs)
{
    m_handler = [this, answers = std::move(answers), spacingMs](const Received& r) {
        if (spacingMs <= 0)
            return answers;
        for (qsizetype i = 0; i < answers.size(); ++i)
            QTimer::singleShot(static_cast<int>(i) * spacingMs, &m_socket, [this, r, a = answers[i]] { answer(r, a); });
        return QList<QByteArray>{};
    };
}

void FakeDevice::answer(const Received& to, const QByteArray& bytes)
{
    m_socket.writeDatagram(bytes, to.from, to.port);
}

std::vector<QByteArray> FakeDevice::withPrefix(const QByteArray& prefix) const
{
    std::vector<QByteArray> result;
    for (const Received& d : m_received)
        if (d.bytes.startsWith(prefix))
            result.push_back(d.bytes);
    return result;
}
