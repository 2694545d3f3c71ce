// SPDX-License-Identifier: Apache-2.0
// linkvane-cli set-mac end to end: the real binary against the simulator and
// against scripted answers on loopback. Nothing may leave the CLI before the new
// address and the access code are right.

#include "clirun.h"
#include "devsimprocess.h"
#include "fakedevice.h"
#include "printers.h"
#include "programs.h"
#include "waitfor.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace {

const QString kCode = QStringLiteral("QuartzmoonTEST");

// The environment of the tests' programs: LINKVANE_ACCESS_CODE removed unless set in `env`.
QProcessEnvironment environmentWith(const QStringList& env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LINKVANE_ACCESS_CODE"));
    for (const QString& entry : env)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    return environment;
}

CliRun cli(const QStringList& args, const QStringList& env = {})
{
    return runCli(args, 30000, environmentWith(env));
}

QJsonObject jsonObject(const QByteArray& text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << escapeBytes(text);
    return doc.object();
}

// ---- refused before anything is sent ----

struct RefusedCase {
    const char* name;
    QStringList options; // before the operands
    const char* newMac;
    QStringList env;
    int exitCode;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetMacRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(SetMacRefusedTest, ExitsWithoutSendingAnything)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const RefusedCase& c = GetParam();
    const CliRun run =
        cli(::at(sim, QStringList{QStringLiteral("set-mac")} + c.options +
                          QStringList{QStringLiteral("00-50-C2-00-00-01"), QString::fromLatin1(c.newMac)}),
            c.env);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, c.exitCode) << escapeBytes(run.err);
    EXPECT_FALSE(run.err.isEmpty());
    EXPECT_TRUE(run.out.isEmpty());
    // Not even the search probe went out.
    LV_EXPECT_NEVER(!sim.received().isEmpty(), 100);
}

const QStringList kGoodCode{QStringLiteral("--access-code"), QStringLiteral("QuartzmoonTEST")};

INSTANTIATE_TEST_SUITE_P(
    Refused, SetMacRefusedTest,
    ::testing::Values(
        RefusedCase{"FiveNumbers", kGoodCode, "0.80.194.1.2", {}, 4},
        RefusedCase{"NumberAbove255", kGoodCode, "0.80.194.1.2.256", {}, 4},
        RefusedCase{"FiveHexPairs", kGoodCode, "00-50-C2-01-02", {}, 4},
        RefusedCase{"HexNotHex", kGoodCode, "00-50-C2-01-02-0G", {}, 4},
        RefusedCase{"AllZero", kGoodCode, "00-00-00-00-00-00", {}, 4},
        RefusedCase{"Broadcast", kGoodCode, "255.255.255.255.255.255", {}, 4},
        RefusedCase{"GroupAddress", kGoodCode, "01-00-5E-00-00-01", {}, 4},
        RefusedCase{"OtherLetterCase",
                    {QStringLiteral("--access-code"), QStringLiteral("quartzmoontest")},
                    "0.80.194.1.2.4",
                    {},
                    3},
        RefusedCase{
            "WrongCodeInEnvironment", {}, "0.80.194.1.2.4", {QStringLiteral("LINKVANE_ACCESS_CODE=QuartzmoonTES")}, 3},
        RefusedCase{"NoCodeAndNoTerminal", {}, "0.80.194.1.2.4", {}, 1},
        RefusedCase{"CodeOutsideLatin1",
                    {QStringLiteral("--access-code"), QStringLiteral("Quartzmoon\u20ac")},
                    "0.80.194.1.2.4",
                    {},
                    1},
        RefusedCase{"UnreadableCodeFile",
                    {QStringLiteral("--access-code-file"), QStringLiteral("/nonexistent/code")},
                    "0.80.194.1.2.4",
                    {},
                    1}),
    [](const ::testing::TestParamInfo<RefusedCase>& tp) { return std::string(tp.param.name); });

// ---- the change against the simulator ----

// A new address that another device answered the search with is refused (exit 4) and nothing is sent:
// two devices with one MAC could not be told apart. The device that answers last is named, so the whole
// wait is listened to.
TEST(SetMacDuplicate, AnAddressAnotherDeviceHasIsRefused)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun run =
        runCli(at(sim, QStringList{QStringLiteral("--wait"), QStringLiteral("500"), QStringLiteral("set-mac"),
                                   QStringLiteral("00-50-C2-00-00-01"), QStringLiteral("00-50-C2-00-00-15")} +
                           kGoodCode));
    EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("00-50-C2-00-00-15 is the MAC of another device")) << run.err.toStdString();
    LV_EXPECT_NEVER(!receivedWith(sim, "M ").isEmpty(), 100);
}

// --verbose logs the "M " command with the access code masked, and the device's answer.
TEST(SetMacVerbose, LogsTheCommandMaskedAndItsAnswer)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun run =
        runCli(at(sim, QStringList{QStringLiteral("--verbose"), QStringLiteral("set-mac"),
                                   QStringLiteral("00-50-C2-00-00-03"), QStringLiteral("0.80.194.0.0.51")} +
                           kGoodCode));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("TX port ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("bytes: M 0.80.194.0.0.3/0.80.194.0.0.51/***")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("bytes: AOld MAC: 0.80.194.0.0.3")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("QuartzmoonTEST"));
}

enum class Source { Option, File, Environment };

class SetMacSourceTest : public ::testing::TestWithParam<Source> {};

TEST_P(SetMacSourceTest, HexAddressConvertedSentAndShownByTheNextSearch)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    QStringList options;
    QStringList env;
    switch (GetParam()) {
    case Source::Option:
        options = kGoodCode;
        break;
    case Source::File: {
        const QString path = dir.filePath(QStringLiteral("code"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("QuartzmoonTEST\n");
        file.close();
        options = {QStringLiteral("--access-code-file"), path};
        break;
    }
    case Source::Environment:
        env = {QStringLiteral("LINKVANE_ACCESS_CODE=QuartzmoonTEST")};
        break;
    }
    const CliRun run =
        cli(::at(sim, QStringList{QStringLiteral("--json"), QStringLiteral("set-mac")} + options +
                          QStringList{QStringLiteral("0.80.194.0.0.1"), QStringLiteral("00-50-c2-01-02-04")}),
            env);
    ASSERT_EQ(run.exitCode, 0) << escapeBytes(run.err);
    const QList<QByteArray> sent = sim.waitForReceived("M ", 1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], QByteArray("M 0.80.194.0.0.1/0.80.194.1.2.4/QuartzmoonTEST"));
    const QJsonObject result = jsonObject(run.out);
    EXPECT_EQ(result[QStringLiteral("old")].toString(), QStringLiteral("0.80.194.0.0.1"));
    EXPECT_EQ(result[QStringLiteral("new")].toString(), QStringLiteral("0.80.194.1.2.4"));
    EXPECT_EQ(result[QStringLiteral("changed")].toBool(), true);
    EXPECT_EQ(result.size(), 3);
    EXPECT_FALSE(run.out.contains("Quartzmoon"));

    const CliRun search = cli(::at(sim, {QStringLiteral("search")}));
    EXPECT_TRUE(search.out.contains("00-50-C2-01-02-04")) << escapeBytes(search.out);
    EXPECT_FALSE(search.out.contains("00-50-C2-00-00-01"));
}

INSTANTIATE_TEST_SUITE_P(
    AccessCode, SetMacSourceTest, ::testing::Values(Source::Option, Source::File, Source::Environment),
    [](const ::testing::TestParamInfo<Source>& tp) {
        return std::string(tp.param == Source::Option ? "Option" : tp.param == Source::File ? "File" : "Environment");
    });

TEST(SetMac, NoAnswerWithinTheTimeoutExitsThree)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("mac-silent")});
    ASSERT_TRUE(sim.started());
    const CliRun run = cli(
        ::at(sim, QStringList{QStringLiteral("--timeout"), QStringLiteral("400"), QStringLiteral("set-mac")} +
                      kGoodCode + QStringList{QStringLiteral("0.80.194.0.0.1"), QStringLiteral("0.80.194.0.0.99")}));
    EXPECT_EQ(run.exitCode, 3) << escapeBytes(run.err);
    EXPECT_TRUE(run.err.contains("did not answer"));
    EXPECT_EQ(sim.waitForReceived("M ", 1).size(), 1);
    EXPECT_GE(run.elapsedMs, 400);
}

TEST(SetMac, CodeTypedAtTheTerminalIsNotEchoed)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no script(1) to give the CLI a terminal";
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QStringList command{testprograms::cli()};
    command +=
        ::at(sim, {QStringLiteral("set-mac"), QStringLiteral("0.80.194.0.0.1"), QStringLiteral("0.80.194.1.2.4")});
    bool typed = false;
    const CliRun run =
        runProgram(script, {QStringLiteral("-qec"), command.join(QLatin1Char(' ')), QStringLiteral("/dev/null")}, 30000,
                   environmentWith({}), [&](QProcess& process, const QByteArray& out) {
                       if (!typed && out.contains("Access code: ")) {
                           typed = true;
                           process.write("QuartzmoonTEST\r");
                       }
                   });
    ASSERT_TRUE(typed) << escapeBytes(run.out);
    EXPECT_EQ(run.exitCode, 0) << escapeBytes(run.out);
    EXPECT_FALSE(run.out.contains("Quartzmoon")) << escapeBytes(run.out);
    EXPECT_TRUE(run.out.contains("Changed: yes")) << escapeBytes(run.out);
    EXPECT_EQ(sim.waitForReceived("M ", 1).size(), 1);
}

// Ended at the prompt by a signal, the CLI leaves the terminal echoing as it found it.
class SetMacPromptEnded : public ::testing::TestWithParam<const char*> {};

TEST_P(SetMacPromptEnded, LeavesTheEchoOn)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no script(1) to give the CLI a terminal";
    QStringList command{testprograms::cli(),       QStringLiteral("--port"),         QStringLiteral("9"),
                        QStringLiteral("set-mac"), QStringLiteral("0.80.194.0.0.1"), QStringLiteral("0.80.194.1.2.4")};
    // The CLI in the background of a shell on the terminal (such a shell leaves SIGINT ignored in it,
    // so the signals are those a kill or a closed terminal send), signalled once it turned the echo off
    // (at most 10 s); then the terminal's settings.
    const QString shell = QStringLiteral("sh -c '%1 </dev/tty & p=$!; for i in $(seq 200); do "
                                         "stty -a | grep -q -- \" -echo \" && break; sleep 0.05; done; "
                                         "kill -%2 $p; wait $p; stty -a'");
    bool asked = false;
    const CliRun run =
        runProgram(script,
                   {QStringLiteral("-qec"), shell.arg(command.join(QLatin1Char(' ')), QLatin1String(GetParam())),
                    QStringLiteral("/dev/null")},
                   30000, environmentWith({}),
                   [&](QProcess&, const QByteArray& out) { asked = asked || out.contains("Access code: "); });
    ASSERT_TRUE(asked) << escapeBytes(run.out);
    const QByteArray settings = run.out.mid(run.out.indexOf("speed"));
    EXPECT_TRUE(settings.contains(" echo ")) << escapeBytes(settings);
    EXPECT_FALSE(settings.contains("-echo ")) << escapeBytes(settings);
}

INSTANTIATE_TEST_SUITE_P(Signals, SetMacPromptEnded, ::testing::Values("TERM", "HUP"));

// ---- scripted answers ----

struct AnswerCase {
    const char* name;
    QByteArray answer;
    int exitCode;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetMacAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(SetMacAnswerTest, ExitCodeFollowsWhatTheDeviceReports)
{
    FakeDevice device;
    device.setHandler([](const FakeDevice::Received& r) -> QList<QByteArray> {
        if (r.bytes == "X 99.130.83.99")
            return {"AX 0.80.194.1.2.3/192.168.1.20/DEV1\r"};
        if (r.bytes.startsWith("M "))
            return {GetParam().answer};
        return {};
    });
    const CliRun run =
        cli(at(device.port(), QStringLiteral("127.0.0.1"),
               QStringList{QStringLiteral("--wait"), QStringLiteral("300"), QStringLiteral("--timeout"),
                           QStringLiteral("60000"), QStringLiteral("set-mac")} +
                   kGoodCode + QStringList{QStringLiteral("192.168.1.20"), QStringLiteral("0.80.194.1.2.4")}));
    // The answer came at once: the exit does not wait out the minute's time-out.
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << escapeBytes(run.err);
    const std::vector<QByteArray> sent = device.withPrefix("M ");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], QByteArray("M 0.80.194.1.2.3/0.80.194.1.2.4/QuartzmoonTEST"));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SetMacAnswerTest,
    ::testing::Values(AnswerCase{"Example", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r", 0},
                      AnswerCase{"Unchanged", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.3\r", 3},
                      AnswerCase{"OtherAddress", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.6\r", 3},
                      AnswerCase{"NoCarriageReturn", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4", 3},
                      AnswerCase{"NoNewMarker", "AOld MAC: 0.80.194.1.2.3\r\n", 3},
                      AnswerCase{"NumberAbove255", "AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.256\r", 3}),
    [](const ::testing::TestParamInfo<AnswerCase>& tp) { return std::string(tp.param.name); });

} // namespace
