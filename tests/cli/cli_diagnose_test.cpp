// SPDX-License-Identifier: Apache-2.0
// linkvane-cli diagnose: the causes it names from what it saw, and the real binary on loopback against
// the simulator, a port where nothing answers and a peer that answers with something else.

#include "clirun.h"
#include "devsimprocess.h"
#include "diagnosecommand.h"
#include "fakedevice.h"
#include "printers.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using lv::Cause;
using lv::Diagnosis;
using lv::InterfaceReport;

InterfaceReport card(const char* name, int index, bool up, bool broadcast, bool ipv4)
{
    InterfaceReport r;
    r.name = QString::fromLatin1(name);
    r.index = index;
    r.up = up;
    r.canBroadcast = broadcast;
    if (ipv4)
        r.addresses = {QStringLiteral("192.168.%1.5/24").arg(index)};
    return r;
}

InterfaceReport probed(InterfaceReport r, bool sent, int answers = 0, int searchAnswers = 0)
{
    r.probed = true;
    r.sent = sent;
    if (!sent)
        r.sendError = QStringLiteral("Network unreachable");
    r.answers = answers;
    r.searchAnswers = searchAnswers;
    return r;
}

const InterfaceReport kLoopback = card("lo", 1, true, false, true);
const InterfaceReport kRoute = card("(routing table)", 0, false, false, false);

struct CauseCase {
    const char* name;
    bool lanBroadcast;
    int devices;
    std::vector<InterfaceReport> interfaces;
    std::vector<Cause> causes;
    std::vector<lv::CardDevices> keptOut = {};
    std::vector<lv::CardDevices> outsideSubnet = {};
};

const std::vector<lv::CardDevices> kOnEth0{
    {QStringLiteral("eth0"), 2, 3, QStringLiteral("10.9.0.2"), {QStringLiteral("192.168.2.0/24")}}};

class LikelyCauses : public ::testing::TestWithParam<CauseCase> {};

TEST_P(LikelyCauses, InTheirOrder)
{
    Diagnosis d;
    d.port = 65535;
    d.lanBroadcast = GetParam().lanBroadcast;
    d.target = d.lanBroadcast ? QStringLiteral("255.255.255.255") : QStringLiteral("10.1.255.255");
    d.devices = GetParam().devices;
    d.interfaces = GetParam().interfaces;
    d.keptOut = GetParam().keptOut;
    d.outsideSubnet = GetParam().outsideSubnet;
    EXPECT_EQ(lv::likelyCauses(d), GetParam().causes);
    for (Cause cause : GetParam().causes)
        EXPECT_FALSE(lv::causeText(cause, d).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LikelyCauses,
    ::testing::Values(
        CauseCase{"DevicesAnsweredNoCause",
                  true,
                  3,
                  {kLoopback, probed(card("eth0", 2, true, true, true), false),
                   probed(card("eth1", 3, true, true, true), true, 3, 3)},
                  {}},
        CauseCase{"OnlyLoopbackSoNoCardBroadcasts",
                  true,
                  0,
                  {kLoopback, card("eth0", 2, false, true, true), probed(kRoute, true)},
                  {Cause::NoBroadcastInterface, Cause::NoAnswer}},
        CauseCase{"CardUpButWithoutIPv4Broadcasts",
                  true,
                  0,
                  {kLoopback, card("eth0", 2, true, true, false), probed(kRoute, true)},
                  {Cause::NoBroadcastInterface, Cause::NoAnswer}},
        CauseCase{"DirectedTargetNeedsNoBroadcastCard", false, 0, {kLoopback, probed(kRoute, true)}, {Cause::NoAnswer}},
        CauseCase{"ProbeLeftNowhere",
                  true,
                  0,
                  {kLoopback, probed(card("eth0", 2, true, true, true), false)},
                  {Cause::ProbeNotSent}},
        CauseCase{"ProbeLeftOneOfTwoCards",
                  true,
                  0,
                  {probed(card("eth0", 2, true, true, true), false), probed(card("eth1", 3, true, true, true), true)},
                  {Cause::ProbeNotSent, Cause::NoAnswer}},
        CauseCase{
            "JunkCameBackOnOneCard",
            true,
            0,
            {probed(card("eth0", 2, true, true, true), true), probed(card("eth1", 3, true, true, true), true, 2, 0)},
            {Cause::NoSearchAnswer}},
        CauseCase{"ChosenCardKeptOutDevicesOnAnother",
                  true,
                  0,
                  {probed(card("eth1", 3, true, true, true), true, 2, 0), card("eth0", 2, true, true, true)},
                  {Cause::InterfaceKeptOut},
                  kOnEth0},
        CauseCase{"DevicesAnsweredFromOutsideTheirCard",
                  true,
                  3,
                  {probed(card("eth0", 2, true, true, true), true, 3, 3)},
                  {Cause::OutsideSubnet},
                  {},
                  kOnEth0}),
    [](const auto& param) { return std::string(param.param.name); });

// The binary against a peer on loopback, aimed at it as at a directed broadcast.
struct Peer {
    enum Kind { Simulator, Nothing, Junk, JunkAndOneDevice, PortZero, SimulatorOnDefaultPort };
};

struct RunCase {
    const char* name;
    Peer::Kind peer;
    int exitCode;
    QStringList causes;
    int answers; // on the probe's one way out; -1: one from every device the simulator plays
    int searchAnswers;
};

class DiagnoseRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(DiagnoseRun, ReportsTheWayOutAnswersAndCauses)
{
    RunCase c = GetParam();
    const int everyDevice = static_cast<int>(defaultDevices().size());
    if (c.answers < 0)
        c.answers = c.searchAnswers = everyDevice;
    std::optional<DevsimProcess> sim;
    std::optional<FakeDevice> peer;
    QUdpSocket quiet;
    quint16 port = 0;
    switch (c.peer) {
    case Peer::Simulator:
        sim.emplace();
        ASSERT_TRUE(sim->started());
        port = sim->port();
        break;
    case Peer::Nothing:
        // Bound, so the port is taken, but it never answers.
        ASSERT_TRUE(quiet.bind(QHostAddress::LocalHost, 0));
        port = quiet.localPort();
        break;
    case Peer::Junk:
        peer.emplace(QList<QByteArray>{"?", "HELLO\r", "AX no slash at all\r"});
        port = peer->port();
        break;
    case Peer::JunkAndOneDevice:
        peer.emplace(QList<QByteArray>{"?", "AX 0.80.194.9.9.9/10.9.9.9/ONE\r"});
        port = peer->port();
        break;
    case Peer::PortZero:
        break; // the system sends no datagram to port 0
    case Peer::SimulatorOnDefaultPort:
        // The simulator on the port diagnose takes for the default; the one asked is quiet.
        sim.emplace();
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(quiet.bind(QHostAddress::LocalHost, 0));
        port = quiet.localPort();
        break;
    }
    // The second probe, to the default port, goes where this case says: a quiet port unless the
    // simulator plays the devices there.
    QUdpSocket quietDefault;
    ASSERT_TRUE(quietDefault.bind(QHostAddress::LocalHost, 0));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LINKVANE_DIAGNOSE_DEFAULT_PORT"),
               QString::number(c.peer == Peer::SimulatorOnDefaultPort ? sim->port() : quietDefault.localPort()));
    const QStringList global{QStringLiteral("--broadcast"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                             QString::number(port),         QStringLiteral("--wait"),    QStringLiteral("500")};
    const CliRun json = runCli(global + QStringList{QStringLiteral("--json"), QStringLiteral("diagnose")}, 20000, env);
    ASSERT_TRUE(json.finished);
    EXPECT_EQ(json.exitCode, c.exitCode) << json.err;
    const QJsonObject doc = parseJson(json.out).object();
    EXPECT_EQ(doc[QStringLiteral("port")].toInt(), port);
    EXPECT_EQ(doc[QStringLiteral("target")].toString(), QStringLiteral("127.0.0.1"));
    QStringList causes;
    for (const QJsonValue& cause : doc[QStringLiteral("causes")].toArray())
        causes.append(cause.toObject()[QStringLiteral("cause")].toString());
    EXPECT_EQ(causes, c.causes) << json.out;

    // A directed probe leaves one way, where the routing table sends it; every other card stays unprobed.
    int ways = 0;
    for (const QJsonValue& value : doc[QStringLiteral("interfaces")].toArray()) {
        const QJsonObject row = value.toObject();
        if (!row[QStringLiteral("probed")].toBool()) {
            EXPECT_EQ(row[QStringLiteral("answers")].toInt(), 0);
            continue;
        }
        ++ways;
        EXPECT_EQ(row[QStringLiteral("index")].toInt(), 0);
        const bool sent = c.peer != Peer::PortZero;
        EXPECT_EQ(row[QStringLiteral("sent")].toBool(), sent);
        EXPECT_EQ(row[QStringLiteral("sendError")].toString().isEmpty(), sent);
        EXPECT_EQ(row[QStringLiteral("answers")].toInt(), c.answers);
        EXPECT_EQ(row[QStringLiteral("searchAnswers")].toInt(), c.searchAnswers);
    }
    EXPECT_EQ(ways, 1);

    // The text form: the table, and the causes only when no device answered.
    const CliRun text = runCli(global + QStringList{QStringLiteral("diagnose")}, 20000, env);
    ASSERT_TRUE(text.finished);
    EXPECT_EQ(text.exitCode, c.exitCode);
    EXPECT_TRUE(text.out.startsWith("Interface")) << text.out;
    EXPECT_TRUE(text.out.contains("(routing table)")) << text.out;
    EXPECT_EQ(text.out.contains("Likely causes:"), !c.causes.isEmpty()) << text.out;
    if (c.causes.contains(QStringLiteral("no-answer"))) {
#if defined(_WIN32)
        const QByteArray rule = "Linkvane (device answers, UDP)"; // the installer's firewall rule
#else
        const QByteArray rule = QByteArray("udp sport ").append(QByteArray::number(port)).append(" accept");
#endif
        EXPECT_TRUE(text.out.contains(rule)) << text.out;
        EXPECT_TRUE(text.out.contains("--broadcast")) << text.out;
        EXPECT_TRUE(text.out.contains("--password-file")) << text.out;
    }
    if (c.peer == Peer::SimulatorOnDefaultPort) {
        EXPECT_TRUE(text.out.contains(QByteArray("answered on port ").append(QByteArray::number(sim->port()))))
            << text.out;
        EXPECT_TRUE(text.out.contains(QByteArray("use --port ").append(QByteArray::number(sim->port())))) << text.out;
    }
    // The causes are wrapped to the terminal (80 columns off a terminal), not written as one long line.
    const qsizetype causesAt = text.out.indexOf("Likely causes:");
    if (causesAt >= 0) {
        for (const QByteArray& line : text.out.mid(causesAt).split('\n'))
            EXPECT_LE(line.size(), 80) << line.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Peers, DiagnoseRun,
    ::testing::Values(
        RunCase{"SimulatorAnswers", Peer::Simulator, 0, {}, -1, -1},
        RunCase{"NothingOnThePort", Peer::Nothing, 3, {QStringLiteral("no-answer")}, 0, 0},
        RunCase{"PeerAnswersJunk", Peer::Junk, 3, {QStringLiteral("no-search-answer")}, 3, 0},
        RunCase{"OneDeviceAmongJunk", Peer::JunkAndOneDevice, 0, {}, 2, 1},
        RunCase{"ProbeNotSent", Peer::PortZero, 3, {QStringLiteral("probe-not-sent")}, 0, 0},
        RunCase{"DevicesOnTheDefaultPortOnly", Peer::SimulatorOnDefaultPort, 3, {QStringLiteral("other-port")}, 0, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DiagnoseUsage, AnOperandIsAUsageError)
{
    const CliRun run = runCli({QStringLiteral("--broadcast"), QStringLiteral("127.0.0.1"), QStringLiteral("diagnose"),
                               QStringLiteral("eth0")});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
}

} // namespace
