// SPDX-License-Identifier: Apache-2.0
// The simulator as a process on loopback, reached the way the tool reaches it.

#include "devsimprocess.h"
#include "printers.h"
#include "programs.h"
#include "waitfor.h"

#include "devicelist.h"
#include "tagmessage.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

const QByteArray kProbe = QByteArray(lv::kSearchProbe.data(), static_cast<qsizetype>(lv::kSearchProbe.size()));

struct Target {
    const char* name;
    const char* address;
};

class DevsimProcessSearch : public ::testing::TestWithParam<Target> {};

TEST_P(DevsimProcessSearch, ProbeIsAnsweredByEveryDevice)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    ASSERT_EQ(socket.writeDatagram(kProbe, QHostAddress(QString::fromLatin1(GetParam().address)), sim.port()),
              kProbe.size());
    const QList<QByteArray> answers = collectDatagrams(socket, 21, 3000);
    ASSERT_EQ(answers.size(), 21);
    std::set<std::string> macs;
    for (const QByteArray& a : answers) {
        const auto reply = lv::parseSearchReply(a.toStdString());
        ASSERT_TRUE(reply.has_value()) << a.toStdString();
        macs.insert(reply->macField);
    }
    EXPECT_EQ(macs.size(), 21u);
    EXPECT_EQ(sim.waitForReceived(kProbe, 1).size(), 1);
    // What the simulator logs as sent is exactly what arrived.
    QList<QByteArray> logged;
    static_cast<void>(QTest::qWaitFor([&] { return (logged = sim.sent()).size() >= 21; }, 2000));
    EXPECT_EQ(logged, answers);
}

INSTANTIATE_TEST_SUITE_P(Loopback, DevsimProcessSearch,
                         ::testing::Values(Target{"Broadcast", "127.255.255.255"}, Target{"Unicast", "127.0.0.1"}),
                         [](const auto& param) { return std::string(param.param.name); });

// The probe sent to the simulator's unicast address, and the 21 answers of the default LAN.
QList<QByteArray> searchDefaultLan(QUdpSocket& socket, quint16 port)
{
    socket.writeDatagram(kProbe, QHostAddress::LocalHost, port);
    return collectDatagrams(socket, 21, 3000);
}

TEST(DevsimProcess, SplitConfigurationReplyAndEscapedLog)
{
    DevsimProcess sim(
        {QStringLiteral("--split"), QStringLiteral("3"), QStringLiteral("--password"), QStringLiteral("a\\b")});
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    const QList<QByteArray> answers = searchDefaultLan(socket, sim.port());
    ASSERT_EQ(answers.size(), 21);
    const auto first = lv::parseSearchReply(answers[0].toStdString());
    ASSERT_TRUE(first.has_value());

    const std::string request = lv::configRequest(first->macField + "/" + first->ip + "/", "a\\b");
    const QByteArray requestBytes(request.data(), static_cast<qsizetype>(request.size()));
    socket.writeDatagram(requestBytes, QHostAddress(QStringLiteral("127.255.255.255")), sim.port());
    const QList<QByteArray> pieces = collectDatagrams(socket, 3, 3000);
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_FALSE(lv::replyHoldsMac(pieces[0].toStdString()));
    EXPECT_FALSE(lv::replyHoldsMac(pieces[1].toStdString()));
    const std::string reply = QByteArray(pieces[0] + pieces[1] + pieces[2]).toStdString();
    EXPECT_TRUE(lv::replyHoldsMac(reply));
    EXPECT_TRUE(lv::GetTagValue(reply, "MacAddress").present);
    EXPECT_EQ(lv::GetTagValue(reply, "SetupPassword").value, "a\\b");

    // The request's zero byte and backslash, and the reply's carriage returns,
    // come back unchanged through the log.
    const QList<QByteArray> received = sim.waitForReceived("G ", 1);
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0], requestBytes);
    QList<QByteArray> logged;
    static_cast<void>(QTest::qWaitFor([&] { return (logged = sim.sent()).size() >= 24; }, 2000));
    ASSERT_EQ(logged.size(), 24);
    EXPECT_EQ(logged.mid(21), pieces);
}

TEST(DevsimProcess, JitteredAnswersOfManyDevicesAllArrive)
{
    DevsimProcess sim(
        {QStringLiteral("--devices"), QStringLiteral("2000"), QStringLiteral("--jitter"), QStringLiteral("300")});
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    // Room for the whole burst, as the tool's own sockets ask for, so the test hears what was sent.
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(8 * 1024 * 1024));
    socket.writeDatagram(kProbe, QHostAddress(QStringLiteral("127.255.255.255")), sim.port());
    const QList<QByteArray> answers = collectDatagrams(socket, 2000, 8000);
    EXPECT_EQ(answers.size(), 2000);
    std::set<QByteArray> distinct(answers.begin(), answers.end());
    EXPECT_EQ(distinct.size(), answers.size());
}

} // namespace

namespace {

TEST(DevsimProcess, DelayedAnswersKeepTheirOrder)
{
    DevsimProcess sim(
        {QStringLiteral("--delay"), QStringLiteral("300"), QStringLiteral("--split"), QStringLiteral("4")});
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    const QList<QByteArray> answers = searchDefaultLan(socket, sim.port());
    ASSERT_EQ(answers.size(), 21);
    const auto last = lv::parseSearchReply(answers.last().toStdString());
    ASSERT_TRUE(last.has_value());
    const std::string request = lv::configRequest(last->macField + "/" + last->ip + "/", "");
    QElapsedTimer clock;
    clock.start();
    socket.writeDatagram(QByteArray(request.data(), static_cast<qsizetype>(request.size())), QHostAddress::LocalHost,
                         sim.port());
    EXPECT_TRUE(collectDatagrams(socket, 1, 200).isEmpty());
    const QList<QByteArray> pieces = collectDatagrams(socket, 4, 3000);
    EXPECT_GE(clock.elapsed(), 280);
    ASSERT_EQ(pieces.size(), 4);
    EXPECT_TRUE(pieces.first().startsWith("AG "));
    EXPECT_TRUE(pieces.last().endsWith("MODEL: KR-7600A")) << pieces.last().toStdString();
}

} // namespace

namespace {

QList<QByteArray> exchange(QUdpSocket& socket, quint16 port, const std::string& datagram, int count, int timeoutMs)
{
    socket.writeDatagram(QByteArray(datagram.data(), static_cast<qsizetype>(datagram.size())), QHostAddress::LocalHost,
                         port);
    return collectDatagrams(socket, count, timeoutMs);
}

TEST(DevsimProcessFaults, FaultOptionAndControlCommandsAtRunTime)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("split:3@KR-700")});
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    const QList<QByteArray> answers = searchDefaultLan(socket, sim.port());
    ASSERT_EQ(answers.size(), 21);
    const auto kr700 = lv::parseSearchReply(answers[0].toStdString());
    ASSERT_TRUE(kr700.has_value());
    const std::string request = lv::configRequest(kr700->macField + "/" + kr700->ip + "/", "");
    EXPECT_EQ(exchange(socket, sim.port(), request, 3, 3000).size(), 3);

    EXPECT_EQ(sim.control("fault silent@" + QByteArray::fromStdString(kr700->ip)),
              QList<QByteArray>{"ok fault silent@" + QByteArray::fromStdString(kr700->ip)});
    EXPECT_TRUE(exchange(socket, sim.port(), request, 1, 400).isEmpty());
    const QList<QByteArray> counts = sim.control("counts");
    EXPECT_TRUE(counts.contains("fault split:3@KR-700 fired 1")) << counts.join('|').toStdString();
    EXPECT_TRUE(counts.contains("fault silent@" + QByteArray::fromStdString(kr700->ip) + " fired 1"))
        << counts.join('|').toStdString();
    EXPECT_TRUE(counts.contains("device " + QByteArray::fromStdString(kr700->macField) + " KR-700 " +
                                QByteArray::fromStdString(kr700->ip) + " search=1 G=2 S=0 U=0 M=0"))
        << counts.join('|').toStdString();

    EXPECT_EQ(sim.control("clear"), QList<QByteArray>{"ok cleared 2"});
    EXPECT_EQ(exchange(socket, sim.port(), request, 1, 3000).size(), 1);
    ASSERT_TRUE(sim.addFault("repeat:2@KR-700#1"));
    EXPECT_EQ(exchange(socket, sim.port(), request, 3, 600).size(), 2); // repeated once, then spent
    EXPECT_EQ(exchange(socket, sim.port(), request, 2, 600).size(), 1);
    EXPECT_FALSE(sim.addFault("repeat:0@KR-700"));
    const QList<QByteArray> refused = sim.control("fault loud@KR-700");
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0].startsWith("error ")) << refused[0].toStdString();
}

// Ends the simulator one way and checks that it printed its counts and exited 0.
void expectCountsAtExit(const std::function<void(DevsimProcess&)>& end)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("no-update")});
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    end(sim);
    ASSERT_TRUE(sim.process().waitForFinished(3000));
    EXPECT_EQ(sim.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process().exitCode(), 0);
    EXPECT_TRUE(sim.allOutput().endsWith(QStringLiteral("fault no-update@* fired 0\nend\n")))
        << sim.allOutput().toStdString();
}

TEST(DevsimProcessFaults, QuitPrintsTheCountsAtExit)
{
    expectCountsAtExit([](DevsimProcess& sim) { EXPECT_EQ(sim.control("quit"), QList<QByteArray>{"ok quit"}); });
}

TEST(DevsimProcessFaults, TerminatePrintsTheCountsAtExit)
{
    expectCountsAtExit([](DevsimProcess& sim) { sim.process().terminate(); });
}

TEST(DevsimProcessFaults, BadFaultOptionIsRefused)
{
    QProcess process;
    process.start(testprograms::devsim(),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--fault"), QStringLiteral("late:x")});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("--fault late:x"));
}

TEST(DevsimProcessFaults, HelpListsEveryOptionKindAndCommand)
{
    QProcess process;
    process.start(testprograms::devsim(), {QStringLiteral("--help")});
    ASSERT_TRUE(process.waitForFinished(5000));
    const QByteArray help = process.readAllStandardOutput();
    for (const char* word : {"--port",          "--bind",        "--devices",
                             "--password",      "--jitter",      "--delay",
                             "--split",         "--silent",      "--no-answer-after-set",
                             "--repeat",        "--malformed",   "--seed",
                             "--verbose",       "--fault",       "--control",
                             "silent",          "late",          "truncate",
                             "oversize-search", "mac-first",     "impostor",
                             "hijack",          "junk",          "no-update",
                             "mac-silent",      "mac-malformed", "ignore-field:TAG",
                             "restart[:MS]",    "fault RULE",    "clear [RULE]",
                             "counts",          "reset",         "quit"})
        EXPECT_TRUE(help.contains(word)) << word;
}

} // namespace
