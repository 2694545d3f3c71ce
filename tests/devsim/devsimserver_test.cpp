// SPDX-License-Identifier: Apache-2.0
// The simulated LAN inside the test process, reached over loopback UDP, with faults changed while it runs.

#include "inprocesslan.h"
#include "printers.h"
#include "waitfor.h"

#include "devicelist.h"
#include "tagmessage.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

class InProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lan.started()) << m_lan.error().toStdString();
        ASSERT_TRUE(m_socket.bind(QHostAddress::LocalHost, 0));
    }
    void send(const std::string& datagram, const QHostAddress& to = QHostAddress::LocalHost)
    {
        ASSERT_EQ(m_socket.writeDatagram(bytes(datagram), to, m_lan.port()), static_cast<qint64>(datagram.size()));
    }
    std::string request(const lv::Device& d) { return lv::configRequest(d.macField() + "/" + d.ip() + "/", ""); }

    InProcessLan m_lan;
    QUdpSocket m_socket;
};

TEST_F(InProcess, ListensOnAFreePortAndAnswersTheBroadcastProbe)
{
    EXPECT_NE(m_lan.port(), 0);
    EXPECT_NE(m_lan.port(), 65535);
    InProcessLan second;
    ASSERT_TRUE(second.started());
    EXPECT_NE(second.port(), m_lan.port());

    send(std::string(lv::kSearchProbe), InProcessLan::broadcastAddress());
    const QList<QByteArray> answers = collectDatagrams(m_socket, 21, 3000);
    ASSERT_EQ(answers.size(), 21);
    for (const QByteArray& a : answers)
        EXPECT_TRUE(lv::parseSearchReply(a.toStdString()).has_value()) << a.toStdString();
    EXPECT_EQ(m_lan.received(), QList<QByteArray>{bytes(std::string(lv::kSearchProbe))});
    EXPECT_EQ(m_lan.sent(), answers);
    EXPECT_TRUE(second.received().isEmpty()); // each LAN on its own port
}

TEST_F(InProcess, FaultsChangeWhileItRuns)
{
    const lv::Device target = m_lan.devices()[13];
    const lv::Device other = m_lan.devices()[14];
    ASSERT_TRUE(m_lan.addFault(QStringLiteral("silent@%1").arg(QString::fromStdString(target.model))));
    send(request(target));
    send(request(other));
    const QList<QByteArray> first = collectDatagrams(m_socket, 2, 400);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(lv::GetTagValue(first[0].toStdString(), "MacAddress").value, other.macAddressText());

    m_lan.clearFaults();
    ASSERT_TRUE(m_lan.addFault(QStringLiteral("late:300@%1").arg(QString::fromStdString(target.ip()))));
    QElapsedTimer clock;
    clock.start();
    send(request(target));
    const QList<QByteArray> late = collectDatagrams(m_socket, 1, 2000);
    EXPECT_GE(clock.elapsed(), 280);
    ASSERT_EQ(late.size(), 1);
    EXPECT_TRUE(lv::replyHoldsMac(late[0].toStdString()));

    const QString counts = m_lan.control(QStringLiteral("counts"));
    EXPECT_TRUE(counts.contains(QStringLiteral("fault late:300@%1 fired 1\n").arg(QString::fromStdString(target.ip()))))
        << counts.toStdString();
    EXPECT_TRUE(counts.contains(QStringLiteral(" G=2 S=0 U=0 M=0\n"))) << counts.toStdString();
    QString error;
    EXPECT_FALSE(m_lan.addFault(QStringLiteral("loud@KR-700"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(InProcess, LargestRepliesCrossLoopbackWhole)
{
    const lv::Device target = m_lan.devices()[0];
    ASSERT_TRUE(m_lan.addFault(QStringLiteral("oversize:65507@KR-700")));
    ASSERT_TRUE(m_lan.addFault(QStringLiteral("junk:65507@KR-700")));
    send(request(target));
    const QList<QByteArray> got = collectDatagrams(m_socket, 2, 3000);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].size(), 65507);
    EXPECT_TRUE(got[0].startsWith('?'));
    EXPECT_EQ(got[1].size(), 65507);
    EXPECT_EQ(lv::GetTagValue(got[1].toStdString(), "IPAddress").value, target.ip());
}

// With own addresses each device hears what is sent to its address or broadcast, and answers from its
// address; once a "U " gave it a new one, the answer to that "U " still leaves from the old address.
TEST(OwnAddresses, EachDeviceAnswersFromItsAddressAndAfterAnUpdateFromItsNewOne)
{
    lv::LanOptions options{.deviceCount = 3, .password = {}, .silent = {}, .faults = {}, .ownAddresses = true};
    InProcessLan lan(options);
    QUdpSocket tool;
    ASSERT_TRUE(lan.started() && tool.bind(QHostAddress::LocalHost, 0));
    // Where the answers to `datagram` sent to `to` came from ("port" if from a port other than the LAN's).
    const auto senders = [&](const std::string& datagram, const char* to, int count) {
        tool.writeDatagram(bytes(datagram), QHostAddress(QString::fromLatin1(to)), lan.port());
        QStringList got;
        (void)QTest::qWaitFor(
            [&] {
                while (tool.hasPendingDatagrams()) {
                    const QNetworkDatagram d = tool.receiveDatagram();
                    got << (d.senderPort() == lan.port() ? d.senderAddress().toString() : QStringLiteral("port"));
                }
                return got.size() > count;
            },
            400);
        return got.join(u' ').toStdString();
    };
    const std::string probe(lv::kSearchProbe);
    EXPECT_EQ(senders(probe, "127.255.255.255", 3), "127.1.0.1 127.1.0.2 127.1.0.3");
    EXPECT_EQ(senders(probe, "127.1.0.2", 1) + senders(probe, "127.0.0.1", 0), "127.1.0.2");
    const lv::Device device = lan.devices()[1];
    const std::string header = device.macAddressText() + "/" + device.ip() + "/";
    senders("S " + header + "/" + lv::tagItem(device.ipTag(), "127.1.9.9"), "127.1.0.2", 0);
    EXPECT_EQ(senders("U " + header, "127.1.0.2", 1), "127.1.0.2");
    const std::string request = lv::configRequest(device.macField() + "/127.1.9.9/", "");
    EXPECT_EQ(senders(request, "127.255.255.255", 1) + senders(request, "127.1.0.2", 0), "127.1.9.9");
}

} // namespace
