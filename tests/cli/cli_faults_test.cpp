// SPDX-License-Identifier: Apache-2.0
// linkvane-cli against a LAN where one device is broken or hostile: every wait ends within its bound,
// only the asked device's reply is taken, and nothing is reported as done that was not.

#include "clirun.h"
#include "devsimprocess.h"
#include "fakedevice.h"
#include "printers.h"
#include "programs.h"
#include "waitfor.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

// linkvane-cli against the simulator, with a short search.
CliRun cli(const DevsimProcess& sim, const QStringList& args)
{
    return runCli(at(sim, QStringList{QStringLiteral("--wait"), QStringLiteral("400")} + args), 20000);
}

// The MAC text of the simulated device of `model` in the default LAN.
QString macOf(const char* model)
{
    return macTextOf(deviceOfModel(defaultDevices(), model));
}

struct FaultCase {
    const char* name;
    const char* fault;     // --fault RULE
    int showCode;          // exit code of show for the KR-770A device
    const char* model;     // the model show must report when it succeeds
    const char* says = ""; // what standard error must hold when it fails
};

class CliFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CliFault, ShowTakesOnlyTheAskedDevicesReplyWithinItsBound)
{
    const FaultCase& c = GetParam();
    DevsimProcess sim({QStringLiteral("--fault"), QString::fromLatin1(c.fault)});
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    const CliRun run = cli(sim, {QStringLiteral("--json"), QStringLiteral("show"), macOf("KR-770A")});
    EXPECT_EQ(run.exitCode, c.showCode) << run.err.toStdString();
    if (c.showCode == 0) {
        const QJsonObject shown = QJsonDocument::fromJson(run.out).object();
        EXPECT_EQ(shown[QStringLiteral("model")].toString(), QString::fromLatin1(c.model));
        EXPECT_EQ(shown[QStringLiteral("mac")].toString(), macOf("KR-770A"));
    }
    EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CliFault,
    ::testing::Values(FaultCase{"JunkBeforeTheReply", "junk@KR-770A", 0, "KR-770A"},
                      FaultCase{"JunkFloodBeforeTheReply", "junk:60000@KR-770A", 0, "KR-770A"},
                      FaultCase{"MacInTheFirstOfSeveralDatagrams", "mac-first:3@KR-770A", 0, "KR-770A"},
                      FaultCase{"AnotherDeviceAnswersFirst", "hijack@KR-700", 0, "KR-770A"},
                      FaultCase{"SplitInsideItems", "split:5@KR-770A", 0, "KR-770A"},
                      FaultCase{"Oversized", "oversize@KR-770A", 0, "KR-770A"},
                      FaultCase{"RepliesInTheNameOfAnother", "impostor@KR-770A", 3, ""},
                      FaultCase{"LatePastTheTimeOut", "late@KR-770A", 3, ""},
                      FaultCase{"NeverComplete", "truncate@KR-770A", 3, ""},
                      FaultCase{"ReplyOutOfOrder", "reorder:3@KR-770A", 3, ""},
                      FaultCase{"WholeItemsOutOfOrder", "pieces:1,3,2@KR-770A", 3, "", "incomplete reply"},
                      FaultCase{"SecondHalfFirst", "pieces:2,1@KR-770A", 3, "", "incomplete reply"},
                      FaultCase{"Silent", "silent@KR-770A", 3, ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CliFaultSet, AnUnconfirmedUpdateIsNoSuccess)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("no-update@KR-770A")});
    ASSERT_TRUE(sim.started());
    const CliRun run = cli(
        sim, {QStringLiteral("--json"), QStringLiteral("set"), macOf("KR-770A"), QStringLiteral("DeviceID=Pump-7")});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_FALSE(QJsonDocument::fromJson(run.out).object()[QStringLiteral("answered")].toBool());
}

TEST(CliFaultSet, ACommandTooLargeForADatagramIsNotSentAndNotReportedAsSent)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun run = cli(
        sim, {QStringLiteral("set"), macOf("KR-770A"), QStringLiteral("DeviceID=") + QString(70000, QLatin1Char('x'))});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains("Answered: yes"));
    EXPECT_TRUE(run.err.contains("could not be sent")) << run.err.toStdString();
    EXPECT_TRUE(sim.waitForReceived("S ", 1, 300).isEmpty());
    EXPECT_TRUE(sim.waitForReceived("U ", 1, 100).isEmpty());
}

// Values the device would read as something else: another item, or a marker of its own reply.
class CliRefusedValue : public ::testing::TestWithParam<const char*> {};

TEST_P(CliRefusedValue, IsRefusedBeforeAnythingIsSent)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun run = cli(sim, {QStringLiteral("set"), macOf("KR-770A"), QString::fromLatin1(GetParam())});
    EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
    EXPECT_TRUE(sim.waitForReceived("S ", 1, 300).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Values, CliRefusedValue,
                         ::testing::Values("DeviceID=a</DeviceID><IPAddress>6.6.6.6</IPAddress>",
                                           "DeviceID=MODEL: KR-7600", "DeviceID=x VER:9"));

// A device whose value already holds the reply's markers (set by another tool) is still read as its
// own model and can be repaired.
TEST(CliFaultSet, MarkersInsideAValueNeitherChangeTheModelNorBlockTheRepair)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-700");
    const std::string header = device.macAddressText() + "/" + device.ip() + "/" + device.password();
    QUdpSocket other;
    const QByteArray set = QByteArray::fromStdString("S " + header + "/<DeviceID>MODEL: KR-7600 VER:9</DeviceID>");
    ASSERT_EQ(other.writeDatagram(set, QHostAddress::LocalHost, sim.port()), set.size());
    ASSERT_EQ(sim.waitForReceived("S ", 1).size(), 1);
    const QByteArray update = QByteArray::fromStdString("U " + header);
    ASSERT_EQ(other.writeDatagram(update, QHostAddress::LocalHost, sim.port()), update.size());
    ASSERT_EQ(sim.waitForReceived("U ", 1).size(), 1);

    const CliRun shown = cli(sim, {QStringLiteral("--json"), QStringLiteral("show"), macTextOf(device)});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(shown.out).object();
    EXPECT_EQ(json[QStringLiteral("model")].toString(), QStringLiteral("KR-700"));
    EXPECT_EQ(json[QStringLiteral("window")].toString(), QStringLiteral("frmSetup"));
    const CliRun repaired = cli(sim, {QStringLiteral("set"), macTextOf(device), QStringLiteral("DeviceID=back")});
    EXPECT_EQ(repaired.exitCode, 0) << repaired.err.toStdString();
}

TEST(CliFaultSearch, ControlCharactersFromADeviceAreEscapedInText)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("oversize-search:600@KR-700")});
    ASSERT_TRUE(sim.started());
    const CliRun run = cli(sim, {QStringLiteral("search")});
    ASSERT_EQ(run.exitCode, 0);
    for (const char c : run.out) {
        const auto b = static_cast<unsigned char>(c);
        EXPECT_FALSE((b < 0x20 && b != '\n') || b == 0x7f) << "control byte " << int(b);
    }
    // The long device ID is shown cut, with the column widths bounded.
    for (const QByteArray& line : run.out.split('\n'))
        EXPECT_LE(line.size(), 600) << line.left(80).toStdString();
}

// Two devices answer the search with one IP address: show and export (which asks through the fleet's
// selection) name both and ask neither.
struct SharedIpCase {
    const char* command;
};

class SharedIpSelector : public ::testing::TestWithParam<SharedIpCase> {};

TEST_P(SharedIpSelector, NamesBothAndAsksNeither)
{
    FakeDevice lan({QByteArrayLiteral("AX 0.80.194.0.0.1/10.0.0.9/FIRST\r"),
                    QByteArrayLiteral("AX 0.80.194.0.0.2/10.0.0.9/SECOND\r")});
    const CliRun run = runCli({QStringLiteral("--port"), QString::number(lan.port()), QStringLiteral("--broadcast"),
                               QStringLiteral("127.0.0.1"), QStringLiteral("--timeout"), QStringLiteral("300"),
                               QStringLiteral("--wait"), QStringLiteral("400"), QStringLiteral("--verbose"),
                               QString::fromLatin1(GetParam().command), QStringLiteral("10.0.0.9")},
                              20000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 2);
    const QByteArray said = run.out + run.err;
    EXPECT_TRUE(said.contains("00-50-C2-00-00-01 at 10.0.0.9, 00-50-C2-00-00-02 at 10.0.0.9")) << said.toStdString();
    // The wire log would show a request: "G " and the MAC field of the device it names.
    EXPECT_FALSE(said.contains("G 0.80.194.")) << said.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Commands, SharedIpSelector, ::testing::Values(SharedIpCase{"show"}, SharedIpCase{"export"}),
                         [](const auto& p) { return std::string(p.param.command); });

} // namespace

// A setup password outside ASCII goes out as the same Latin-1 bytes whether it came from the command
// line, a UTF-8 file or the environment; a file that is not a regular file is refused at once.
class CliPasswordSource : public ::testing::TestWithParam<const char*> {};

TEST_P(CliPasswordSource, SendsTheSameBytes)
{
    const QString password = QStringLiteral("s\u00e9cret");
    DevsimProcess sim({QStringLiteral("--password"), password});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    QStringList source;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QByteArray kind(GetParam());
    if (kind == "command-line") {
        source = {QStringLiteral("--password"), password};
    } else if (kind == "file") {
        QFile file(dir.filePath(QStringLiteral("pw")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(password.toUtf8() + "\n");
        file.close();
        source = {QStringLiteral("--password-file"), file.fileName()};
    } else {
        environment.insert(QStringLiteral("LINKVANE_PASSWORD"), password);
    }
    const CliRun run = runCli(at(sim, QStringList{QStringLiteral("--wait"), QStringLiteral("400")} + source +
                                          QStringList{QStringLiteral("show"), macOf("KR-770A")}),
                              20000, environment);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QByteArray> requests = sim.waitForReceived("G ", 1);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests.front().endsWith(QByteArray("/s\xe9"
                                                     "cret\0",
                                                     8)))
        << requests.front().toHex().constData();
}

INSTANTIATE_TEST_SUITE_P(Sources, CliPasswordSource, ::testing::Values("command-line", "file", "environment"));

// A plan or a secret file that is not a regular file, or is too large, is refused at once with exit 1:
// a FIFO or a device would keep the command waiting, /dev/zero would fill its memory.
struct InputCase {
    const char* name;
    const char* kind;   // fifo, zero, huge, directory, or a secret holding a nul or a cr
    const char* option; // the option that takes the file, or "apply" for the plan
    const char* why;    // a part of the message
};

class CliInputFile : public ::testing::TestWithParam<InputCase> {};

TEST_P(CliInputFile, IsRefusedAtOnce)
{
    const InputCase& c = GetParam();
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("input"));
    const QByteArray kind(c.kind);
    if (kind == "fifo") {
#if defined(_WIN32)
        GTEST_SKIP() << "no FIFOs";
#else
        ASSERT_EQ(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
#endif
    } else if (kind == "zero") {
#if defined(_WIN32)
        GTEST_SKIP() << "no /dev/zero";
#endif
        path = QStringLiteral("/dev/zero");
    } else if (kind == "nul" || kind == "cr") {
        writeFile(dir, QStringLiteral("input"), kind == "nul" ? QByteArray("ab\0cd\n", 6) : QByteArray("ab\rcd\n"));
    } else if (kind == "huge") {
        // Sparse: its size is past the bound without the disk holding it.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(QByteArray(c.option) == "apply" ? 64 * 1024 * 1024 + 1 : 64 * 1024 + 1));
    } else {
        path = dir.path();
    }
    QStringList args{QStringLiteral("--port"), QStringLiteral("9"), QStringLiteral("--broadcast"),
                     QStringLiteral("127.0.0.1")};
    if (QByteArray(c.option) == "apply")
        args << QStringLiteral("apply") << path;
    else if (QByteArray(c.option) == "--access-code-file")
        args << QStringLiteral("set-mac") << QStringLiteral("10.0.0.1") << QStringLiteral("00-50-C2-01-02-04")
             << QString::fromLatin1(c.option) << path;
    else
        args << QString::fromLatin1(c.option) << path << QStringLiteral("show") << QStringLiteral("10.0.0.1");
    const CliRun run = runCli(args, 5000);
    ASSERT_TRUE(run.finished) << "waited on the input";
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(c.why)) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliInputFile,
    ::testing::Values(InputCase{"PlanFifo", "fifo", "apply", "not a regular file"},
                      InputCase{"PlanZero", "zero", "apply", "not a regular file"},
                      InputCase{"PlanHuge", "huge", "apply", "larger than 67108864 bytes"},
                      InputCase{"PlanDirectory", "directory", "apply", "not a regular file"},
                      InputCase{"PasswordFifo", "fifo", "--password-file", "not a regular file"},
                      InputCase{"PasswordHuge", "huge", "--password-file", "larger than 65536 bytes"},
                      InputCase{"AccessCodeFifo", "fifo", "--access-code-file", "not a regular file"},
                      InputCase{"AccessCodeZero", "zero", "--access-code-file", "not a regular file"},
                      InputCase{"PasswordHoldingANul", "nul", "--password-file", "holds a NUL, CR or LF"},
                      InputCase{"AccessCodeHoldingACr", "cr", "--access-code-file", "holds a NUL, CR or LF"}),
    [](const auto& p) { return std::string(p.param.name); });

// "-" reads the plan or the password from standard input to its end, with the bound of a file; both at
// once is refused.
struct StdinCase {
    const char* name;
    std::vector<const char*> args;
    QByteArray input;
    int exitCode;
    const char* said;  // a part of standard error
    QByteArray rest{}; // written once the CLI has read the input out of the pipe (on Unix)
};

class CliStdin : public ::testing::TestWithParam<StdinCase> {};

TEST_P(CliStdin, ReadsDashAsStandardInput)
{
    const StdinCase& c = GetParam();
    DevsimProcess sim({QStringLiteral("--password"), QStringLiteral("pw")});
    ASSERT_TRUE(sim.started());
    QStringList args{QStringLiteral("--wait"), QStringLiteral("400")};
    for (const char* arg : c.args)
        args << (QByteArray(arg) == "MAC" ? macOf("KR-770A") : QString::fromLatin1(arg));
    QProcess cli;
#if !defined(_WIN32)
    int pipe[2]; // the test's own, so that it sees when the CLI has emptied it
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    cli.setStandardInputFile(QStringLiteral("/dev/fd/%1").arg(pipe[0]));
#endif
    cli.start(testprograms::cli(), at(sim, args));
    ASSERT_TRUE(cli.waitForStarted());
#if defined(_WIN32)
    cli.write(c.input + c.rest);
    cli.closeWriteChannel();
#else
    ::close(pipe[0]);
    std::signal(SIGPIPE, SIG_IGN); // a CLI that stopped reading shows in its exit code
    [[maybe_unused]] int n = int(::write(pipe[1], c.input.constData(), static_cast<size_t>(c.input.size())));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return c.rest.isEmpty() || (::ioctl(pipe[1], FIONREAD, &n) == 0 && !n); }, 20000));
    n = int(::write(pipe[1], c.rest.constData(), static_cast<size_t>(c.rest.size())));
    ::close(pipe[1]);
#endif
    ASSERT_TRUE(cli.waitForFinished(20000));
    const QByteArray err = cli.readAllStandardError();
    EXPECT_EQ(cli.exitCode(), c.exitCode) << err.toStdString();
    EXPECT_TRUE(err.contains(c.said)) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliStdin,
    ::testing::Values(
        StdinCase{"EmptyPlan", {"apply", "-"}, "{\"devices\":[]}", 0, ""},
        StdinCase{
            "Plan", {"apply", "-"}, "{\"devices\":[{\"device\":\"00-50-C2-00-00-03\", \"password\":\"pw\"}]}", 0, ""},
        StdinCase{"NotAPlan", {"apply", "-"}, "[", 1, ""},
        StdinCase{"PlanInTwoParts",
                  {"apply", "-"},
                  "{\"devices\":[{\"device\":\"00-50-C2-",
                  0,
                  "",
                  "00-00-03\", \"password\":\"pw\"}]}"},
        // Far more than a pipe holds at once.
        StdinCase{"LargePlan", {"apply", "-"}, "{\"devices\":[" + QByteArray(1 << 20, ' ') + "]}", 0, ""},
        StdinCase{"SecretOneByteOverTheBound",
                  {"--password-file", "-", "show", "MAC"},
                  QByteArray(64 * 1024, 'p') + "\n",
                  1,
                  "larger than 65536 bytes"},
        StdinCase{"Password", {"--password-file", "-", "show", "MAC"}, "pw\n", 0, ""},
        StdinCase{"PasswordInTwoParts", {"--password-file", "-", "show", "MAC"}, "p", 0, "", "w\n"},
        StdinCase{"PasswordEndedByCrLf", {"--password-file", "-", "show", "MAC"}, "pw\r\n", 0, ""},
        StdinCase{"WrongPassword", {"--password-file", "-", "show", "MAC"}, "other\n", 3, ""},
        StdinCase{"BothFromStdin", {"--password-file", "-", "apply", "-"}, "pw\n", 1, "cannot both"}),
    [](const auto& p) { return std::string(p.param.name); });

// Another host answers the CLI's configuration request in the asked device's name while the device
// is slow: show reports the device's own values and set sends nothing the other host gave.
TEST(CliStranger, InjectedDatagramsNeverReachTheReply)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("late:600@KR-770A")});
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    QProcess cli;
    cli.setProgram(testprograms::cli());
    cli.setArguments(
        at(sim, {QStringLiteral("--wait"), QStringLiteral("400"), QStringLiteral("--timeout"), QStringLiteral("1500"),
                 QStringLiteral("--json"), QStringLiteral("--verbose"), QStringLiteral("show"), macTextOf(device)}));
    cli.start();
    ASSERT_TRUE(cli.waitForStarted(5000));
    // The request shows in the simulator's log with the CLI's port; the other host answers there at once.
    QUdpSocket stranger;
    quint16 cliPort = 0;
    const auto requestLogged = [&] {
        for (const QString& line : sim.allOutput().split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("RX 127.0.0.1:")) && line.contains(QLatin1String(" G ")))
                cliPort = line.section(QLatin1Char(':'), 1, 1).section(QLatin1Char(' '), 0, 0).toUShort();
        return cliPort != 0;
    };
    LV_WAIT_TRUE(requestLogged(), 5000);
    const QByteArray injected = "A<DeviceID>INJECTED</DeviceID><IPAddress>6.6.6.6</IPAddress>";
    stranger.writeDatagram(injected, QHostAddress::LocalHost, cliPort);
    ASSERT_TRUE(cli.waitForFinished(10000));
    const QByteArray out = cli.readAllStandardOutput();
    const QByteArray err = cli.readAllStandardError();
    EXPECT_EQ(cli.exitCode(), 0) << err.toStdString();
    // --verbose says the datagram was set aside, and from where.
    const QByteArray setAside = QByteArray::number(injected.size()) +
                                " bytes from 127.0.0.1:" + QByteArray::number(stranger.localPort()) +
                                ", not the device asked";
    EXPECT_TRUE(err.contains(setAside)) << err.toStdString();
    EXPECT_FALSE(out.contains("INJECTED")) << out.toStdString();
    EXPECT_FALSE(out.contains("6.6.6.6")) << out.toStdString();
    EXPECT_TRUE(out.contains(QByteArray::fromStdString(device.deviceId()))) << out.toStdString();
}

// set --verify asks the device again after its Update: a device that ignored a field is caught, with
// the value sent and the value it reports; one that took everything is verified.
struct VerifyCase {
    const char* name;
    const char* fault;
    int exitCode;
    const char* result;
};

class CliSetVerify : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(CliSetVerify, ComparesWhatTheDeviceReportsWithWhatWasSent)
{
    const VerifyCase& c = GetParam();
    QStringList simArgs;
    if (*c.fault)
        simArgs = {QStringLiteral("--fault"), QString::fromLatin1(c.fault)};
    DevsimProcess sim(simArgs);
    ASSERT_TRUE(sim.started());
    const CliRun run =
        cli(sim, {QStringLiteral("--json"), QStringLiteral("set"), macOf("KR-700"), QStringLiteral("SIOBaud=115200"),
                  QStringLiteral("DeviceID=Checked"), QStringLiteral("--verify")});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    const QJsonObject verify = QJsonDocument::fromJson(run.out).object()[QStringLiteral("verify")].toObject();
    EXPECT_EQ(verify[QStringLiteral("result")].toString(), QString::fromLatin1(c.result)) << run.out.toStdString();
    QStringList mismatched;
    for (const QJsonValue& v : verify[QStringLiteral("fields")].toArray())
        if (v[QStringLiteral("sent")] != v[QStringLiteral("reported")])
            mismatched << v[QStringLiteral("tag")].toString();
    EXPECT_EQ(mismatched, QString::fromLatin1(c.result) == QLatin1String("mismatch")
                              ? QStringList{QStringLiteral("SIOBaud")}
                              : QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Devices, CliSetVerify,
                         ::testing::Values(VerifyCase{"TakesEverything", "", 0, "verified"},
                                           VerifyCase{"IgnoresOneField", "ignore-field:SIOBaud@KR-700", 3, "mismatch"},
                                           VerifyCase{"RestartsAfterUpdate", "restart:2000@KR-700", 0, "verified"}),
                         [](const auto& p) { return std::string(p.param.name); });

// On a LAN where each device answers from its own address, the check of a device given a new IP address
// takes the answer from there: verified, exit 0.
TEST(CliSetVerify, TakesTheAnswerFromTheNewAddress)
{
    DevsimProcess sim({QStringLiteral("--own-addresses")});
    ASSERT_TRUE(sim.started());
    const CliRun run = cli(sim, {QStringLiteral("set"), macOf("KR-700"), QStringLiteral("IPAddress=127.1.7.7"),
                                 QStringLiteral("--verify")});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
}

// A name that two answering devices match is no device: show, set, set-mac, export and apply each
// refuse it with exit 2, name both candidates, and send the device nothing beyond the search; so do
// they when the other answer comes long before the device's own. A selection that reaches such a
// device refuses it in its row (apply, exit 5) or on standard error (export, exit 2).
struct AmbiguousCase {
    const char* name;
    const char* twin;    // the simulator's fault: a second answer sharing the IP or the MAC
    bool byIp;           // the command names the device by its IP address (else by its MAC)
    const char* command; // show, set, set-mac, export or apply; "apply select" and "export select" by ip=
    int aheadMs = 0;     // the device's own search answer comes this much later (within the 400 ms wait)
};

class CliAmbiguous : public ::testing::TestWithParam<AmbiguousCase> {};

TEST_P(CliAmbiguous, IsRefusedWithBothCandidatesAndNothingSent)
{
    const AmbiguousCase& c = GetParam();
    QStringList faults{QStringLiteral("--fault"), QString::fromLatin1(c.twin) + QStringLiteral("@KR-700")};
    if (c.aheadMs > 0)
        faults << QStringLiteral("--fault") << QStringLiteral("search-late:%1@KR-700").arg(c.aheadMs);
    DevsimProcess sim(faults);
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-700");
    const QString named = c.byIp ? qs(device.ip()) : macTextOf(device);
    QTemporaryDir dir;
    const QString command = QString::fromLatin1(c.command).section(QLatin1Char(' '), 0, 0);
    const bool select = QByteArray(c.command).endsWith(" select");
    QStringList args{command};
    if (command == QLatin1String("apply")) {
        QFile plan(dir.filePath(QStringLiteral("plan.json")));
        ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
        plan.write(QJsonDocument(QJsonObject{{QStringLiteral("devices"),
                                              QJsonArray{QJsonObject{
                                                  {select ? QStringLiteral("select") : QStringLiteral("device"),
                                                   select ? QStringLiteral("ip=%1/32").arg(qs(device.ip())) : named},
                                                  {QStringLiteral("set"),
                                                   QJsonObject{{QStringLiteral("DeviceID"), QStringLiteral("X")}}}}}}})
                       .toJson());
        plan.close();
        args << plan.fileName();
    } else if (select) {
        args << QStringLiteral("--select") << QStringLiteral("ip=") + qs(device.ip());
    } else {
        args << named;
        if (command == QLatin1String("set"))
            args << QStringLiteral("DeviceID=X");
        else if (command == QLatin1String("set-mac"))
            args << QStringLiteral("00-50-C2-01-02-04") << QStringLiteral("--access-code")
                 << QStringLiteral("QuartzmoonTEST");
    }
    const CliRun run = cli(sim, args);
    EXPECT_EQ(run.exitCode, select && command == QLatin1String("apply") ? 5 : 2) << run.err.toStdString();
    // apply's selection names the conflict in the row of each line it reaches (both, for a near answer).
    const QString err = QString::fromLatin1(run.err + run.out);
    const QString mac = macTextOf(device);
    const int lines = QByteArray(c.twin) == "twin:near-answer" ? 2 : 1;
    if (select && command == QLatin1String("apply")) {
        EXPECT_EQ(run.out.count(QByteArray(mac.toLatin1() + "   refused ")), lines) << run.out.toStdString();
    }
    if (QByteArray(c.twin) == "twin:same-answer") {
        // The device's own answer, word for word, from another port first: both senders are named.
        EXPECT_TRUE(err.contains(mac + QStringLiteral(": the same search answer came from 2 senders")))
            << run.err.toStdString();
        EXPECT_EQ(err.count(QStringLiteral("127.0.0.1 port ")), 2) << run.err.toStdString();
    } else if (c.byIp) {
        // The twin has the same IP and a MAC whose last byte differs in its highest bit.
        EXPECT_TRUE(err.contains(mac + QStringLiteral(" at ") + named)) << run.err.toStdString();
        EXPECT_EQ(err.count(QStringLiteral(" at ") + named), 2) << run.err.toStdString();
    } else {
        EXPECT_EQ(err.count(mac + QStringLiteral(" at ")), 2 * lines) << run.err.toStdString();
    }
    for (const QByteArray& received : sim.received())
        EXPECT_TRUE(received.startsWith("X ")) << received.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Commands, CliAmbiguous,
                         ::testing::Values(AmbiguousCase{"ShowByIp", "twin:same-ip", true, "show"},
                                           AmbiguousCase{"SetByIp", "twin:same-ip", true, "set"},
                                           AmbiguousCase{"SetMacByIp", "twin:same-ip", true, "set-mac"},
                                           AmbiguousCase{"ExportByIp", "twin:same-ip", true, "export"},
                                           AmbiguousCase{"ApplyByIp", "twin:same-ip", true, "apply"},
                                           AmbiguousCase{"ShowByMac", "twin:same-mac", false, "show"},
                                           AmbiguousCase{"SetByMac", "twin:same-mac", false, "set"},
                                           AmbiguousCase{"ApplyByMac", "twin:same-mac", false, "apply"},
                                           AmbiguousCase{"ShowImpostor", "twin:same-answer", false, "show"},
                                           AmbiguousCase{"SetImpostor", "twin:same-answer", true, "set"},
                                           AmbiguousCase{"SetMacImpostor", "twin:same-answer", false, "set-mac"},
                                           AmbiguousCase{"ExportImpostor", "twin:same-answer", true, "export"},
                                           AmbiguousCase{"ApplyImpostor", "twin:same-answer", false, "apply"},
                                           AmbiguousCase{"ShowAhead", "twin:same-answer", false, "show", 250},
                                           AmbiguousCase{"SetAhead", "twin:same-answer", true, "set", 250},
                                           AmbiguousCase{"ExportAhead", "twin:same-answer", false, "export", 250},
                                           AmbiguousCase{"ApplyAhead", "twin:same-answer", false, "apply", 250},
                                           AmbiguousCase{"ApplySelect", "twin:same-answer", true, "apply select"},
                                           AmbiguousCase{"ExportSelect", "twin:same-answer", true, "export select"},
                                           AmbiguousCase{"ApplySelectByMac", "twin:same-mac", false, "apply select"},
                                           AmbiguousCase{"ApplySelectNear", "twin:near-answer", false, "apply select"}),
                         [](const auto& p) { return std::string(p.param.name); });

#if !defined(_WIN32)
// A signal while apply changes devices: the first starts no more devices and lets the two whose set
// command went out send their "U " commands; a second ends those at once, reported "interrupted after
// S". Either way every device of the plan is in the JSON, and the exit is 128 + the first signal.
struct InterruptCase {
    const char* name;
    std::vector<int> signals;
    const char* firstTwo;     // the result of the two devices under way
    const char* firstTwoText; // a part of their error
    int updateCommands;       // "U " commands the simulator received at least
};

class CliApplyInterrupted : public ::testing::TestWithParam<InterruptCase> {};

// Whether `signal` was sent to the process and not yet taken by it (Linux: its status in /proc).
bool signalPending(pid_t pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const quint64 bit = quint64(1) << (signal - 1);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("ShdPnd:") || line.startsWith("SigPnd:"))
            if (line.mid(7).trimmed().toULongLong(nullptr, 16) & bit)
                return true;
    return false;
}

TEST_P(CliApplyInterrupted, ReportsEveryDeviceAndStartsNoMore)
{
    const InterruptCase& c = GetParam();
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("no-update")});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    QJsonArray devices;
    for (const char* model : {"KR-700", "KR-770A", "PL-770A", "DN-680A"})
        devices.append(
            QJsonObject{{QStringLiteral("device"), macOf(model)},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("DeviceID"), QStringLiteral("Stopped")}}}});
    QFile plan(dir.filePath(QStringLiteral("plan.json")));
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(QJsonDocument(QJsonObject{{QStringLiteral("devices"), devices}}).toJson());
    plan.close();

    QProcess cli;
    cli.start(testprograms::cli(),
              at(sim, {QStringLiteral("--timeout"), QString::fromLatin1(c.signals.size() > 1 ? "60000" : "4000"),
                       QStringLiteral("--json"), QStringLiteral("apply"), QStringLiteral("--parallel"),
                       QStringLiteral("2"), plan.fileName()}));
    ASSERT_TRUE(cli.waitForStarted());
    ASSERT_EQ(sim.waitForReceived("S ", 2, 10000).size(), 2);
    // The pid is taken once: after the CLI ended, processId() is 0, and kill(0, ...) would signal the
    // test's own process group.
    const auto pid = static_cast<pid_t>(cli.processId());
    ASSERT_GT(pid, 0);
    for (int signal : c.signals) {
        if (cli.state() == QProcess::NotRunning)
            break;
        ::kill(pid, signal);
        // A second signal sent while the first still waits to be handled would merge with it.
        LV_WAIT_TRUE(cli.state() == QProcess::NotRunning || !signalPending(pid, signal), 5000);
    }
    // The first signal lets the two "U " waits run out (4 s); a second ends them at once, long before
    // their minute is up.
    ASSERT_TRUE(cli.state() == QProcess::NotRunning || cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitCode(), 128 + c.signals.front()) << cli.readAllStandardError().toStdString();
    const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
    ASSERT_EQ(results.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QJsonObject r = results[i].toObject();
        const QString error = r[QStringLiteral("error")].toString();
        if (i < 2) {
            EXPECT_EQ(r[QStringLiteral("result")].toString(), QString::fromLatin1(c.firstTwo)) << i;
            EXPECT_TRUE(error.contains(QString::fromLatin1(c.firstTwoText))) << error;
        } else {
            EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("interrupted")) << i;
            EXPECT_TRUE(error.contains(QStringLiteral("nothing was sent"))) << error;
        }
    }
    const QList<QByteArray> received = sim.received();
    EXPECT_EQ(std::count_if(received.begin(), received.end(), [](const QByteArray& d) { return d.startsWith("S "); }),
              2);
    EXPECT_GE(sim.waitForReceived("U ", c.updateCommands, 3000).size(), c.updateCommands);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CliApplyInterrupted,
    ::testing::Values(InterruptCase{"Once", {SIGINT}, "no answer", "no answer to the update", 2},
                      InterruptCase{"Terminated", {SIGTERM}, "no answer", "no answer to the update", 2},
                      InterruptCase{"Twice", {SIGINT, SIGINT}, "interrupted", "interrupted after S", 0}),
    [](const auto& p) { return std::string(p.param.name); });

// set interrupted after its set command still sends the "U " commands and reports what it sent.
TEST(CliSetInterrupted, FinishesTheUpdateAndReportsIt)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("no-update")});
    ASSERT_TRUE(sim.started());
    QProcess cli;
    cli.start(testprograms::cli(),
              at(sim, {QStringLiteral("--timeout"), QStringLiteral("1500"), QStringLiteral("--json"),
                       QStringLiteral("set"), macOf("KR-700"), QStringLiteral("DeviceID=Stopped")}));
    ASSERT_TRUE(cli.waitForStarted());
    ASSERT_EQ(sim.waitForReceived("S ", 1, 10000).size(), 1);
    const auto pid = static_cast<pid_t>(cli.processId());
    ASSERT_GT(pid, 0); // never kill(0, ...): that is the test's own process group
    ::kill(pid, SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
    const QJsonObject report = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    EXPECT_TRUE(report[QStringLiteral("sent")].toString().startsWith(QStringLiteral("S "))) << report.size();
    EXPECT_FALSE(report[QStringLiteral("answered")].toBool(true));
    EXPECT_GE(sim.waitForReceived("U ", 1, 3000).size(), 1);
}
#endif

// Text from an operand or a plan reaches standard output and standard error escaped: no control
// character but the line end, no line or paragraph separator, no bidirectional override.
struct EscapeCase {
    const char* name;
    std::vector<QString> args; // PLAN stands for the plan file
    QByteArray plan;
    const char* shown; // how the bad text appears
};

class CliEscaping : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(CliEscaping, NothingSteersTheTerminal)
{
    const EscapeCase& c = GetParam();
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    QFile plan(dir.filePath(QStringLiteral("plan.json")));
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(c.plan);
    plan.close();
    QStringList args;
    for (const QString& arg : c.args)
        args << (arg == QLatin1String("PLAN") ? plan.fileName() : arg);
    const CliRun run = cli(sim, args);
    const QByteArray said = run.out + run.err;
    EXPECT_TRUE(said.contains(c.shown)) << said.toStdString();
    const QString text = QString::fromUtf8(said);
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        EXPECT_FALSE((u < 0x20 && u != u'\n') || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029 ||
                     ch.category() == QChar::Other_Format)
            << "U+" << std::hex << int(u) << " in " << said.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CliEscaping,
    ::testing::Values(
        EscapeCase{"PlanDeviceName",
                   {QStringLiteral("apply"), QStringLiteral("PLAN")},
                   "{\"devices\":[{\"device\":\"00-50-C2-00-00-03\\u001b[31m\\u2028X\\r\"}]}",
                   "\\x1b[31m\\u{2028}X\\x0d"},
        EscapeCase{"PlanWindow",
                   {QStringLiteral("apply"), QStringLiteral("PLAN")},
                   "{\"devices\":[{\"device\":\"00-50-C2-00-00-03\",\"window\":\"frm\\u001b\\u202e\","
                   "\"set\":{\"DeviceID\":\"x\"}}]}",
                   "frm\\x1b\\u{202e}"},
        EscapeCase{"PlanDeviceLineEnd",
                   {QStringLiteral("apply"), QStringLiteral("PLAN")},
                   "{\"devices\":[{\"device\":\"00-50-C2-00-00-03\\nX\"}]}",
                   "00-50-C2-00-00-03\\x0aX"},
        EscapeCase{"PlanDeviceEndsInALineEnd",
                   {QStringLiteral("apply"), QStringLiteral("PLAN")},
                   "{\"devices\":[{\"device\":\"00-50-C2-01-02-03\\n\"}]}",
                   "00-50-C2-01-02-03\\x0a"},
        EscapeCase{"ArabicLetterMark",
                   {QStringLiteral("apply"), QStringLiteral("PLAN")},
                   "{\"devices\":[{\"device\":\"00-50-C2-00-00-03\",\"window\":\"frm\\u061c\","
                   "\"set\":{\"DeviceID\":\"x\"}}]}",
                   "frm\\u{061c}"},
        EscapeCase{
            "DeviceOperand", {QStringLiteral("show"), QStringLiteral("10.0.0.1\x1b]0;x\a")}, "", "\\x1b]0;x\\x07"},
        EscapeCase{"CommandName", {QString::fromUtf8("se\u2028rch")}, "", "se\\u{2028}rch"},
        EscapeCase{"ListValue",
                   {QStringLiteral("set"), QStringLiteral("00-50-C2-00-00-03"), QStringLiteral("SIOBaud=\x1b[1m\r")},
                   "",
                   "\\x1b[1m\\x0d"}),
    [](const auto& p) { return std::string(p.param.name); });

// A request too large for a datagram never leaves: show says it could not be sent, not that the device
// did not answer. The password comes from a file (a command line holds at most 32,767 characters on
// Windows): 65,500 characters fit the file's bound and overflow a datagram's 65,507 bytes with the header.
TEST(CliNotSent, IsNeverReportedAsNoAnswer)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("long-password")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(65500, 'x') + '\n');
    file.close();
    const CliRun run =
        cli(sim, {QStringLiteral("--password-file"), file.fileName(), QStringLiteral("show"), macOf("KR-770A")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("could not be sent")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("did not answer")) << run.err.toStdString();
}
