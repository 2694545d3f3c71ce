// SPDX-License-Identifier: Apache-2.0
// apply over a fleet, as a process: each device is configured once however the plan spells it, no
// more exchanges run at once than --parallel allows, and the setup password a device reports stays
// hidden in what apply prints. Also the search listing's conflict mark, which names a shared IP
// address only when distinct MACs answer with it.

#include "clirun.h"
#include "fakedevice.h"

#include "device.h"
#include "modeltable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

#include <ostream>

namespace {

QString writePlan(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("plan.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text);
    return path;
}

QStringList atLoopback(quint16 port, const QStringList& rest)
{
    return QStringList{QStringLiteral("--broadcast"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                       QString::number(port)} +
           rest;
}

// How a plan may name one device.
enum class Spelling { MacText, MacTextLower, MacTextColons, MacField, Ip };

QByteArray spell(const lv::Device& device, Spelling how)
{
    const QByteArray text = macTextOf(device).toLatin1();
    switch (how) {
    case Spelling::MacText:
        return text;
    case Spelling::MacTextLower:
        return text.toLower();
    case Spelling::MacTextColons:
        return QByteArray(text).replace('-', ':');
    case Spelling::MacField:
        return QByteArray::fromStdString(device.macField());
    case Spelling::Ip:
        return QByteArray::fromStdString(device.ip());
    }
    return {};
}

QByteArray planNaming(const lv::Device& device, const QByteArray& first, const QByteArray& second)
{
    const QByteArray tag = QByteArray::fromStdString(device.deviceIdTag());
    return "{\"devices\": [{\"device\": \"" + first + "\", \"set\": {\"" + tag + "\": \"Twice-1\"}},\n"
           "             {\"device\": \"" + second + "\", \"set\": {\"" + tag + "\": \"Twice-2\"}}]}\n";
}

struct TwiceCase {
    const char* name;
    Spelling first;
    Spelling second;
};

void PrintTo(const TwiceCase& c, std::ostream* os)
{
    *os << c.name;
}

// ---- the same kind of name, spelled two ways: the plan is refused before anything is sent

class PlanNamesTwicePin : public ::testing::TestWithParam<TwiceCase> {};

TEST_P(PlanNamesTwicePin, IsRefusedBeforeTheSearch)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    QTemporaryDir dir;
    const QString plan = writePlan(dir, planNaming(device, spell(device, GetParam().first), spell(device, GetParam().second)));
    const CliRun run = runCli(at(sim, {QStringLiteral("apply"), plan}));
    EXPECT_EQ(run.exitCode, 1) << run.err << run.out;
    EXPECT_TRUE(run.err.contains("devices[1].device")) << run.err;
    EXPECT_TRUE(run.err.contains("named twice")) << run.err;
    EXPECT_TRUE(sim.received().isEmpty()) << "not even the search probe";
}

INSTANTIATE_TEST_SUITE_P(Spellings, PlanNamesTwicePin,
                         ::testing::Values(TwiceCase{"SameText", Spelling::MacText, Spelling::MacText},
                                           TwiceCase{"LowerCase", Spelling::MacText, Spelling::MacTextLower},
                                           TwiceCase{"Colons", Spelling::MacTextColons, Spelling::MacText},
                                           TwiceCase{"ColonsLowerCase", Spelling::MacTextLower,
                                                     Spelling::MacTextColons}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- two kinds of name for one device: only the search can tell; the second is refused, once

class PlanNamesOneDeviceTwicePin : public ::testing::TestWithParam<TwiceCase> {};

TEST_P(PlanNamesOneDeviceTwicePin, TheSecondNameIsRefusedAndTheDeviceConfiguredOnce)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    QTemporaryDir dir;
    const QString plan = writePlan(dir, planNaming(device, spell(device, GetParam().first), spell(device, GetParam().second)));
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), plan}));
    EXPECT_EQ(run.exitCode, 5) << run.err << run.out;
    const QJsonArray results = parseJson(run.out).array();
    ASSERT_EQ(results.size(), 2) << run.out;
    EXPECT_EQ(results[0][QStringLiteral("result")].toString(), QStringLiteral("updated")) << run.out;
    EXPECT_EQ(results[1][QStringLiteral("result")].toString(), QStringLiteral("refused")) << run.out;
    EXPECT_TRUE(results[1][QStringLiteral("error")].toString().contains(QStringLiteral("twice"))) << run.out;
    EXPECT_EQ(receivedWith(sim, "G ").size(), 1);
    const QList<QByteArray> sets = receivedWith(sim, "S ");
    ASSERT_EQ(sets.size(), 1);
    EXPECT_TRUE(sets[0].contains("Twice-1")) << sets[0];
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlanNamesOneDeviceTwicePin,
                         ::testing::Values(TwiceCase{"MacTextThenIp", Spelling::MacText, Spelling::Ip},
                                           TwiceCase{"IpThenMacField", Spelling::Ip, Spelling::MacField},
                                           TwiceCase{"MacFieldThenColons", Spelling::MacField,
                                                     Spelling::MacTextColons}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- --parallel N: N exchanges at once, not one more

class ApplyParallelPin : public ::testing::TestWithParam<int> {};

TEST_P(ApplyParallelPin, NoMoreExchangesAtOnceThanAllowed)
{
    const int parallel = GetParam();
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    // Five devices that open a window, each with a change: every exchange ends with its "U " commands.
    std::vector<lv::Device> fleet;
    for (const lv::Device& d : defaultDevices())
        if (fleet.size() < 5 && lv::dispatchModel(d.model).windowDef)
            fleet.push_back(d);
    ASSERT_EQ(fleet.size(), 5u);
    QByteArray text = "{\"devices\": [";
    for (std::size_t i = 0; i < fleet.size(); ++i)
        text += QByteArray(i ? ",\n" : "\n") + "{\"device\": \"" + macTextOf(fleet[i]).toLatin1() +
                "\", \"set\": {\"" +
                QByteArray::fromStdString(fleet[i].deviceIdTag()) + "\": \"Par-" + QByteArray::number(static_cast<int>(i)) + "\"}}";
    text += "]}\n";
    QTemporaryDir dir;
    const QString plan = writePlan(dir, text);
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), QStringLiteral("--parallel"),
                                       QString::number(parallel), plan}));
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    // A new exchange starts only when one has ended, and one ends after its "U " commands: the
    // requests that reach the devices before the first "U " are those that ran at once.
    int before = 0;
    for (const QByteArray& datagram : sim.received()) {
        if (datagram.startsWith("U "))
            break;
        before += datagram.startsWith("G ") ? 1 : 0;
    }
    EXPECT_EQ(before, std::min(parallel, 5));
    EXPECT_EQ(receivedWith(sim, "G ").size(), 5);
}

INSTANTIATE_TEST_SUITE_P(Widths, ApplyParallelPin, ::testing::Values(1, 2, 4));

// ---- the setup password a device reports is hidden in apply's output

struct SecretCase {
    const char* name;
    const char* model;
    const char* password; // what the device reports; the plan's own password differs
};

void PrintTo(const SecretCase& c, std::ostream* os)
{
    *os << c.name;
}

class ApplyReportedPasswordPin : public ::testing::TestWithParam<SecretCase> {};

TEST_P(ApplyReportedPasswordPin, IsMaskedInTheSetCommandShown)
{
    const SecretCase& c = GetParam();
    const lv::Device d = lv::makeDevice(c.model, 3, c.password);
    const lv::Device::Reply reply = d.configurationReply();
    // A device that answers the request whatever password it carries.
    FakeDevice device;
    device.setHandler([&](const FakeDevice::Received& r) -> QList<QByteArray> {
        if (r.bytes.startsWith("X "))
            return {QByteArray::fromStdString(d.searchAnswer())};
        if (r.bytes.startsWith("G "))
            return {QByteArray::fromStdString(reply.text)};
        if (r.bytes.startsWith("U "))
            return {QByteArrayLiteral("AU MAC")};
        return {};
    });
    const QByteArray plan = "{\"devices\": [{\"device\": \"" + macTextOf(d).toLatin1() +
                            "\", \"password\": \"typed\", \"set\": {\"" +
                            QByteArray::fromStdString(d.deviceIdTag()) + "\": \"Masked-1\"}}]}";
    QTemporaryDir dir;
    const QString path = writePlan(dir, plan);
    const QByteArray header = "S " + QByteArray::fromStdString(d.macAddressText()) + "/" +
                              QByteArray::fromStdString(d.ip()) + "/";
    ASSERT_EQ(device.withPrefix("S ").size(), 0u);
    for (const bool json : {true, false}) {
        device.clear();
        QStringList args{QStringLiteral("--wait"), QStringLiteral("300"), QStringLiteral("apply"), path};
        if (json)
            args.prepend(QStringLiteral("--json"));
        const CliRun run = runCli(atLoopback(device.port(), args));
        ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
        // The device did get its password in the header.
        const std::vector<QByteArray> sets = device.withPrefix("S ");
        ASSERT_EQ(sets.size(), 1u);
        ASSERT_TRUE(sets[0].startsWith(QByteArray(header + c.password))) << sets[0];
        const QByteArray items = sets[0].mid(header.size() + qsizetype(strlen(c.password)));
        // No piece of the password shows anywhere, not even the part after a "/" in it.
        const QByteArray all = run.out + run.err;
        for (const QByteArray& piece : QByteArray(c.password).split('/'))
            EXPECT_FALSE(all.contains(piece)) << piece << " of the password shows:\n" << all;
        if (json) {
            // The whole password is one "***"; what follows it is sent as it is.
            const QByteArray shown = parseJson(run.out).array()[0][QStringLiteral("sent")].toString().toLatin1();
            EXPECT_EQ(shown, header + "***" + items);
        } else {
            const qsizetype at = run.out.indexOf(" sent ");
            ASSERT_GE(at, 0) << run.out;
            EXPECT_TRUE(run.out.mid(at + 6).startsWith(QByteArray(header + "***"))) << run.out;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, ApplyReportedPasswordPin,
                         ::testing::Values(SecretCase{"Plain", "KR-770A", "Rep0rted"},
                                           SecretCase{"WithSlash", "KR-770A", "Qz/7xJ"},
                                           SecretCase{"WithTwoSlashes", "KR-770A", "Jq/Wv/Kx"},
                                           SecretCase{"MultiPortWithSlash", "KR-7900A", "Zk/9zQ"}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- the conflict mark of the search listing

struct ConflictCase {
    const char* name;
    QList<QByteArray> answers;
    std::vector<bool> conflict; // per listed device, in order
};

void PrintTo(const ConflictCase& c, std::ostream* os)
{
    *os << c.name;
}

class SearchConflictPin : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(SearchConflictPin, MarksAnAddressAnsweredByDistinctMacs)
{
    FakeDevice device;
    const QList<QByteArray> answers = GetParam().answers;
    device.setHandler([&](const FakeDevice::Received& r) {
        return r.bytes.startsWith("X ") ? answers : QList<QByteArray>{};
    });
    const CliRun run = runCli(atLoopback(
        device.port(), {QStringLiteral("--json"), QStringLiteral("search"), QStringLiteral("--wait"),
                        QStringLiteral("300")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray listed = parseJson(run.out).array();
    ASSERT_EQ(static_cast<std::size_t>(listed.size()), GetParam().conflict.size()) << run.out;
    for (qsizetype i = 0; i < listed.size(); ++i)
        EXPECT_EQ(listed[i][QStringLiteral("conflict")].toBool(), GetParam().conflict[static_cast<std::size_t>(i)])
            << "device " << i << "\n"
            << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Lans, SearchConflictPin,
    ::testing::Values(
        // One device that answered twice under two device IDs: one MAC, no conflict.
        ConflictCase{"OneMacTwoLines",
                     {"AX 0.80.194.5.5.1/10.5.5.1/Pump-A\r", "AX 0.80.194.5.5.1/10.5.5.1/Pump-B\r"},
                     {false, false}},
        // The same MAC written two ways is still one MAC.
        ConflictCase{"OneMacTwoSpellings",
                     {"AX 0.80.194.5.5.1/10.5.5.1/Pump\r", "AX 000.080.194.005.005.001/10.5.5.1/Pump\r"},
                     {false, false}},
        ConflictCase{"TwoMacs",
                     {"AX 0.80.194.5.5.1/10.5.5.1/Pump\r", "AX 0.80.194.5.5.2/10.5.5.1/Valve\r",
                      "AX 0.80.194.5.5.3/10.5.5.3/Other\r"},
                     {true, true, false}},
        // Beside an address that two MACs share, one that a single MAC answered twice with.
        ConflictCase{"OneMacTwiceBesideAConflict",
                     {"AX 0.80.194.5.5.1/10.5.5.1/Pump-A\r", "AX 0.80.194.5.5.1/10.5.5.1/Pump-B\r",
                      "AX 0.80.194.5.5.2/10.5.5.2/Valve\r", "AX 0.80.194.5.5.3/10.5.5.2/Gate\r"},
                     {false, false, true, true}},
        ConflictCase{"TwoMacsOneTwice",
                     {"AX 0.80.194.5.5.1/10.5.5.1/Pump-A\r", "AX 0.80.194.5.5.1/10.5.5.1/Pump-B\r",
                      "AX 0.80.194.5.5.2/10.5.5.1/Valve\r"},
                     {true, true, true}}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
