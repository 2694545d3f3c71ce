// SPDX-License-Identifier: Apache-2.0
// The socket component on loopback: what each datagram reports, a burst read
// completely and in order, and a burst read a few milliseconds at a time so
// that timers keep running; the device search's batch signal.

#include "devicesearch.h"
#include "udpsocket.h"

#include "fakedevice.h"
#include "printers.h"
#include "waitfor.h"

#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// A peer on 127.0.0.1 that answers every datagram it gets with `answers`.
using Peer = FakeDevice;

QList<QByteArray> numbered(int count)
{
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i)
        out << "datagram " + QByteArray::number(i);
    return out;
}

TEST(UdpSocketTest, ReportsSenderPortAndInterfaceBesideTheBytes)
{
    Peer peer({QByteArray("AX 0.80.194.0.0.1/10.0.0.1/DEV\r", 31), QByteArray("with\0zero", 9)});
    lv::UdpSocket socket;
    QList<QByteArray> bytes;
    QList<QNetworkDatagram> datagrams;
    QObject::connect(&socket, &lv::UdpSocket::dataArrival, &socket, [&](const QByteArray& b) { bytes << b; });
    QObject::connect(&socket, &lv::UdpSocket::datagramArrival, &socket,
                     [&](const QNetworkDatagram& d) { datagrams << d; });
    socket.setRemoteHost(QHostAddress::LocalHost);
    socket.setRemotePort(peer.port());
    ASSERT_TRUE(socket.sendData("X 99.130.83.99"));
    LV_WAIT_EQ(datagrams.size(), 2, 2000);

    const int loopback = QNetworkInterface::interfaceFromName(QStringLiteral("lo")).index();
    EXPECT_EQ(bytes, QList<QByteArray>({QByteArray("AX 0.80.194.0.0.1/10.0.0.1/DEV\r"), QByteArray("with\0zero", 9)}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(datagrams[i].data(), bytes[i]);
        EXPECT_EQ(datagrams[i].senderAddress(), QHostAddress(QHostAddress::LocalHost));
        EXPECT_EQ(datagrams[i].senderPort(), peer.port());
        if (loopback > 0) {
            EXPECT_EQ(datagrams[i].interfaceIndex(), static_cast<uint>(loopback));
        }
    }
}

TEST(UdpSocketTest, BurstArrivesWholeInOrderAndInBatches)
{
    Peer peer;
    lv::UdpSocket socket;
    QList<QByteArray> got;
    int batches = 0;
    QObject::connect(&socket, &lv::UdpSocket::dataArrival, &socket, [&](const QByteArray& b) { got << b; });
    QObject::connect(&socket, &lv::UdpSocket::batchEnded, &socket, [&] { ++batches; });
    socket.setRemoteHost(QHostAddress::LocalHost);
    socket.setRemotePort(peer.port());
    ASSERT_TRUE(socket.sendData("X"));
    LV_WAIT_EQ(peer.received().size(), 1, 2000);
    // A burst the receive buffer holds whole (the kernel accounts well over a kilobyte for each small
    // datagram): 5,000 where the large buffer was granted, fewer where the system caps it, as Wine
    // does at the host's default.
    const QList<QByteArray> sent = numbered(std::clamp(socket.receiveBufferSize() / 2048, 100, 5000));
    peer.answerEveryDatagramWith(sent);
    ASSERT_TRUE(socket.sendData("X"));
    LV_WAIT_EQ(got.size(), sent.size(), 10000);
    EXPECT_EQ(got, sent);
    EXPECT_GE(batches, 1);
    // Many to a turn on average, with room for a loaded machine: under Wine beside a build a burst
    // of 5,000 came in 502 turns, and one datagram a turn would be as many turns as datagrams.
    EXPECT_LT(batches, sent.size() / 4) << "datagrams should be read many to a turn";
    // Nothing more comes: the socket neither repeats nor loses its place.
    LV_EXPECT_NEVER(got.size() != sent.size(), 50);
}

// Datagrams that trickle in (one every 3 ms) are each delivered as it arrives, not held back for
// more to gather, and a dense burst after them is still read many to a turn.
TEST(UdpSocketTest, TrickleIsDeliveredAtOnceAndABurstInBatches)
{
    QUdpSocket sender;
    ASSERT_TRUE(sender.bind(QHostAddress::LocalHost, 0));
    lv::UdpSocket socket;
    socket.setRemoteHost(QHostAddress::LocalHost);
    socket.setRemotePort(sender.localPort());
    ASSERT_TRUE(socket.sendData("X"));
    LV_WAIT_TRUE(sender.hasPendingDatagrams(), 2000);
    const QNetworkDatagram probe = sender.receiveDatagram();

    QElapsedTimer clock;
    clock.start();
    QList<qint64> sentAt;
    QList<qint64> delays;
    int batches = 0;
    QObject::connect(&socket, &lv::UdpSocket::dataArrival, &socket, [&](const QByteArray& bytes) {
        const int n = bytes.toInt();
        if (n < sentAt.size())
            delays << clock.elapsed() - sentAt[n];
    });
    QObject::connect(&socket, &lv::UdpSocket::batchEnded, &socket, [&] { ++batches; });
    constexpr int kTrickle = 30;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        sentAt << clock.elapsed();
        sender.writeDatagram(QByteArray::number(sentAt.size() - 1), probe.senderAddress(),
                             static_cast<quint16>(probe.senderPort()));
        if (sentAt.size() == kTrickle)
            tick.stop();
    });
    tick.start(3);
    LV_WAIT_EQ(delays.size(), kTrickle, 5000);
    EXPECT_LT(*std::max_element(delays.begin(), delays.end()), 50) << "a lone datagram waited";

    batches = 0;
    for (int i = 0; i < 3000; ++i)
        sender.writeDatagram("burst", probe.senderAddress(), static_cast<quint16>(probe.senderPort()));
    int burst = 0;
    QObject::connect(&socket, &lv::UdpSocket::dataArrival, &socket,
                     [&](const QByteArray& b) { burst += b == "burst"; });
    LV_WAIT_EQ(burst, 3000, 5000);
    EXPECT_LT(batches, 300) << "a burst should be read many datagrams to a turn";
}

TEST(UdpSocketTest, SlowReceiversDoNotKeepTimersWaiting)
{
    // 2,000 datagrams whose handling takes 50 us each: 100 ms of work, which the
    // socket spreads over many turns of the event loop.
    const QList<QByteArray> sent = numbered(2000);
    Peer peer(sent);
    lv::UdpSocket socket;
    int got = 0;
    int ticksWhileReading = 0;
    QObject::connect(&socket, &lv::UdpSocket::dataArrival, &socket, [&](const QByteArray&) {
        ++got;
        QElapsedTimer spin;
        spin.start();
        while (spin.nsecsElapsed() < 50000) {
        }
    });
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        if (got > 0 && got < sent.size())
            ++ticksWhileReading;
    });
    tick.start();
    socket.setRemoteHost(QHostAddress::LocalHost);
    socket.setRemotePort(peer.port());
    ASSERT_TRUE(socket.sendData("X"));
    LV_WAIT_EQ(got, sent.size(), 20000);
    EXPECT_GE(ticksWhileReading, 5);
}

TEST(UdpSocketTest, AsksForALargeReceiveBuffer)
{
    Peer peer;
    lv::UdpSocket socket;
    EXPECT_EQ(socket.receiveBufferSize(), 0);
    socket.setRemoteHost(QHostAddress::LocalHost);
    socket.setRemotePort(peer.port());
    ASSERT_TRUE(socket.sendData("X"));
    // At least what an unprivileged process gets by default; a privileged one
    // gets the whole request.
    EXPECT_GE(socket.receiveBufferSize(), 200 * 1024);
}

// A burst larger than the receive buffer: what the kernel dropped is counted, so that nobody has to
// guess why the list is short. Every datagram is either delivered or counted as dropped.
TEST(UdpSocketTest, CountsTheDatagramsTheFullReceiveBufferDropped)
{
    Peer peer;
    lv::UdpSocket socket;
    socket.setRemoteHost(QHostAddress::LocalHost);
    socket.setRemotePort(peer.port());
    ASSERT_TRUE(socket.sendData("X"));
    if (socket.droppedDatagrams() < 0)
        GTEST_SKIP() << "the system does not count dropped datagrams";
    EXPECT_EQ(socket.droppedDatagrams(), 0);
    int delivered = 0;
    QObject::connect(&socket, &lv::UdpSocket::dataArrival, &socket, [&](const QByteArray&) { ++delivered; });
    // Twice what the buffer holds (the kernel accounts more than the payload for each), at most 150,000,
    // sent without letting the socket read.
    const QByteArray answer(1400, 'A');
    const int sent = std::min(150000, 2 * socket.receiveBufferSize() / int(answer.size()) + 1000);
    QUdpSocket flood;
    for (int i = 0; i < sent; ++i)
        ASSERT_EQ(flood.writeDatagram(answer, QHostAddress::LocalHost, socket.localPort()), answer.size());
    LV_WAIT_EQ(delivered + socket.droppedDatagrams(), qint64(sent), 10000);
    EXPECT_GT(socket.droppedDatagrams(), 0);
    EXPECT_GT(delivered, 0);
}

TEST(DeviceSearchTest, SignalsEachNewDeviceAndEachReadAsOneRange)
{
    QList<QByteArray> answers;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray n = QByteArray::number(i % 250);
        const QByteArray m = QByteArray::number(i / 250);
        answers << "AX 0.80.194.0." + m + "." + n + "/10.0." + m + "." + n + "/DEV\r";
        if (i % 100 == 0)
            answers << answers.last(); // a repeat: listed once
    }
    answers << "junk";
    Peer peer(answers);
    lv::SessionState state;
    state.broadcast = QHostAddress(QHostAddress::LocalHost);
    state.gCmdPort = peer.port();
    lv::DeviceSearch search(state);
    QList<int> single;
    QList<QPair<int, int>> ranges;
    QObject::connect(&search, &lv::DeviceSearch::deviceAdded, &search, [&](int i) { single << i; });
    QObject::connect(&search, &lv::DeviceSearch::devicesAdded, &search,
                     [&](int first, int last) { ranges << qMakePair(first, last); });
    ASSERT_TRUE(search.start());
    LV_WAIT_EQ(single.size(), 3000, 10000);
    LV_WAIT_TRUE(!ranges.isEmpty() && ranges.last().second == 2999, 10000);
    ASSERT_EQ(search.devices().size(), 3000u);
    for (int i = 0; i < single.size(); ++i)
        ASSERT_EQ(single[i], i);
    ASSERT_FALSE(ranges.isEmpty());
    int next = 0;
    for (const auto& [first, last] : ranges) {
        EXPECT_EQ(first, next);
        EXPECT_GE(last, first);
        next = last + 1;
    }
    EXPECT_EQ(next, 3000);
    EXPECT_LT(ranges.size(), 300);

    // A new search starts the ranges from 0 again.
    single.clear();
    ranges.clear();
    ASSERT_TRUE(search.start());
    LV_WAIT_EQ(single.size(), 3000, 10000);
    LV_WAIT_TRUE(!ranges.isEmpty() && ranges.last().second == 2999, 10000);
    ASSERT_FALSE(ranges.isEmpty());
    EXPECT_EQ(ranges.first().first, 0);
    EXPECT_EQ(ranges.last().second, 2999);
}

// Conflicts are counted per IP address over MACs (their six bytes) and per MAC over IP addresses,
// through answers and the rewrites of listed entries after an update; each case gives the answers, the
// rewrites (index, new entry) and then how each line is marked.
constexpr lv::ConflictKind kNo = lv::ConflictKind::None;
constexpr lv::ConflictKind kIp = lv::ConflictKind::SharedIp;
constexpr lv::ConflictKind kMac = lv::ConflictKind::SharedMac;
constexpr lv::ConflictKind kBoth = lv::ConflictKind::Both;

struct ConflictCase {
    const char* name;
    QList<QByteArray> answers;
    QList<QPair<int, QByteArray>> rewrites;
    QList<lv::ConflictKind> marked;
};

void PrintTo(const ConflictCase& c, std::ostream* os)
{
    *os << c.name;
}

class DeviceSearchConflicts : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(DeviceSearchConflicts, MarkLinesThatShareAnIpOrAMac)
{
    const ConflictCase& c = GetParam();
    Peer peer(c.answers);
    lv::SessionState state;
    state.broadcast = QHostAddress(QHostAddress::LocalHost);
    state.gCmdPort = peer.port();
    lv::DeviceSearch search(state);
    int changes = 0;
    QObject::connect(&search, &lv::DeviceSearch::conflictsChanged, &search, [&] { ++changes; });
    ASSERT_TRUE(search.start());
    LV_WAIT_EQ(search.devices().size(), std::size_t(c.answers.size()), 5000);
    // Marks the answers made are signalled at the end of their batch.
    if (search.conflictCount() + search.macConflictCount() > 0)
        LV_WAIT_TRUE(changes > 0, 5000);
    for (const auto& [index, raw] : c.rewrites)
        search.setRaw(index, raw.toStdString());
    int ipLines = 0;
    int macLines = 0;
    for (int i = 0; i < c.marked.size(); ++i) {
        const lv::ConflictKind kind = c.marked[i];
        EXPECT_EQ(static_cast<int>(search.conflictKind(i)), static_cast<int>(kind)) << "line " << i;
        EXPECT_EQ(search.conflicted(i), kind != kNo) << "line " << i;
        EXPECT_EQ(search.macConflicted(i), kind == kMac || kind == kBoth) << "line " << i;
        ipLines += kind == kIp || kind == kBoth ? 1 : 0;
        macLines += kind == kMac || kind == kBoth ? 1 : 0;
    }
    EXPECT_EQ(search.conflictCount(), ipLines);
    EXPECT_EQ(search.macConflictCount(), macLines);
    // A list that colours the marked lines hears of every change of them.
    if (ipLines + macLines > 0 || !c.rewrites.isEmpty()) {
        EXPECT_GT(changes, 0);
    }
}

const QByteArray kA = "AX 0.80.194.0.0.1/10.0.0.1/A\r";
const QByteArray kB = "AX 0.80.194.0.0.2/10.0.0.2/B\r";
const QByteArray kBOnA = "AX 0.80.194.0.0.2/10.0.0.1/B\r";
const QByteArray kCOnA = "AX 0.80.194.0.0.3/10.0.0.1/C\r";
const QByteArray kAOnE = "AX 0.80.194.0.0.1/10.0.0.5/A\r";

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceSearchConflicts,
    ::testing::Values(
        ConflictCase{"DistinctAddresses", {kA, kB}, {}, {kNo, kNo}},
        // B answers from two addresses, one of them A's: B's first line is both kinds.
        ConflictCase{"TwoMacsOneAddress", {kA, kBOnA, kB}, {}, {kIp, kBoth, kMac}},
        // One MAC, its field written two ways: the same device, not a conflict.
        ConflictCase{"OneMacTwoSpellings", {kA, "AX 000.080.194.000.000.001/10.0.0.1/A2\r"}, {}, {kNo, kNo}},
        ConflictCase{"ThreeMacsOneAddress", {kA, kBOnA, kCOnA}, {}, {kIp, kIp, kIp}},
        ConflictCase{"OneMacTwoAddresses", {kA, kAOnE, kB}, {}, {kMac, kMac, kNo}},
        // Its field written two ways, its address two ways: still one MAC at two addresses.
        ConflictCase{
            "OneMacTwoSpellingsTwoAddresses", {kA, "AX 000.080.194.000.000.001/10.0.0.6/A2\r"}, {}, {kMac, kMac}},
        ConflictCase{"OneMacThreeAddresses", {kA, kAOnE, "AX 0.80.194.0.0.1/10.0.0.6/A3\r"}, {}, {kMac, kMac, kMac}},
        // The first MAC leaves the address: the other two still share it.
        ConflictCase{
            "FirstLeavesOfThree", {kA, kBOnA, kCOnA}, {{0, "AX 0.80.194.0.0.1/10.0.0.9/A\r"}}, {kNo, kIp, kIp}},
        // Two of three leave: the one left alone is no conflict any more.
        ConflictCase{"TwoLeaveOfThree",
                     {kA, kBOnA, kCOnA},
                     {{1, "AX 0.80.194.0.0.2/10.0.0.8/B\r"}, {0, "AX 0.80.194.0.0.1/10.0.0.9/A\r"}},
                     {kNo, kNo, kNo}},
        // An update moves a device onto another's address, then back.
        ConflictCase{"MovesOntoAnotherAddress", {kA, kB}, {{1, kBOnA}}, {kIp, kIp}},
        ConflictCase{"MovesOntoAndBack", {kA, kB}, {{1, kBOnA}, {1, kB}}, {kNo, kNo}},
        // The line at the second address is rewritten to the first: one MAC at one address again.
        ConflictCase{
            "MacConflictGoesWhenLineRewritten", {kA, kAOnE}, {{1, "AX 0.80.194.0.0.1/10.0.0.1/A9\r"}}, {kNo, kNo}},
        // Rewritten away from a shared MAC's address, onto a third: still two addresses.
        ConflictCase{"MacConflictStaysWhenLineMovesElsewhere",
                     {kA, kAOnE},
                     {{1, "AX 0.80.194.0.0.1/10.0.0.7/A\r"}},
                     {kMac, kMac}}),
    [](const auto& c) { return std::string(c.param.name); });

} // namespace
