// SPDX-License-Identifier: Apache-2.0
// linkvane-cli for fleets, end to end against linkvane-devsim: export, apply with many exchanges at once,
// secrets kept out of the output, the search's early ends, the header-only set.

#include "clirun.h"
#include "fakedevice.h"

#include "catalogue.h"
#include "devicelist.h"
#include "modeltable.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <map>

namespace {

const QStringList kSimDefaults{QStringLiteral("--jitter"), QStringLiteral("50")};

QByteArray planText(const QJsonArray& devices)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("devices"), devices}}).toJson();
}

// The apply results by device as the plan names it.
std::map<QString, QJsonObject> resultsByDevice(const QByteArray& json)
{
    std::map<QString, QJsonObject> results;
    for (const QJsonValue& v : parseJson(json).array())
        results[v[QStringLiteral("device")].toString()] = v.toObject();
    return results;
}

// What `set` sends for one change, seen on the wire of a simulator of its own.
QByteArray setCommandOfSet(const QString& device, const QString& change)
{
    DevsimProcess sim(kSimDefaults);
    EXPECT_TRUE(sim.started());
    const CliRun run = runCli(at(sim, {QStringLiteral("set"), device, change}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const QList<QByteArray> sent = receivedWith(sim, "S ");
    EXPECT_EQ(sent.size(), 1);
    return sent.value(0);
}

// A list entry of the field other than the one the device holds.
QString otherLabel(const lv::Device& device, const std::string& windowName, const std::string& tag)
{
    const lv::FieldDef* field = lv::findWindow(windowName)->fieldByTag(tag);
    const std::size_t held = std::stoul(device.setting(tag));
    return qs(field->entries.at(held == 6 ? 7 : 6));
}

TEST(CliFleet, ExportChangeApplySendsExactlyWhatSetSendsAndTheSecondApplyNothing)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    // A single-port converter, a multi-port converter and a radio module.
    const lv::Device single = deviceOfModel(devices, "KR-770A");
    const lv::Device multi = deviceOfModel(devices, "KR-7900A");
    const lv::Device radio = deviceOfModel(devices, "DN-680A");

    const CliRun exported =
        runCli(at(sim, {QStringLiteral("export"), macTextOf(single), qs(multi.ip()), macTextOf(radio)}));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
    QJsonArray planDevices = parseJson(exported.out).object()[QStringLiteral("devices")].toArray();
    ASSERT_EQ(planDevices.size(), 3);

    // Every field the window can set is there, by tag, lists by label, as the device holds it.
    const QJsonObject singleSet = planDevices[0].toObject()[QStringLiteral("set")].toObject();
    EXPECT_EQ(planDevices[0].toObject()[QStringLiteral("device")].toString(), macTextOf(single));
    EXPECT_EQ(planDevices[0].toObject()[QStringLiteral("window")].toString(), QStringLiteral("frmSetupKr770A"));
    const lv::WindowDef* kr770 = lv::findWindow("frmSetupKr770A");
    int editable = 0;
    for (const lv::FieldDef& field : kr770->fields) {
        if (!field.enabled || !kr770->sendsTag(field.tag))
            continue;
        ++editable;
        const QString value = singleSet[qs(field.tag)].toString();
        if (field.kind == lv::ControlKind::ComboBox)
            EXPECT_EQ(value, qs(field.entries.at(std::stoul(single.setting(field.tag))))) << field.tag;
        else
            EXPECT_EQ(value, qs(single.setting(field.tag))) << field.tag;
    }
    EXPECT_EQ(singleSet.size(), editable);

    // One change per device, in the file.
    const std::vector<std::pair<QString, QString>> changes = {
        {QStringLiteral("SIOBaud"), otherLabel(single, "frmSetupKr770A", "SIOBaud")},
        {QStringLiteral("COM2_Baud"), otherLabel(multi, "frmKR7900ASetup", "COM2_Baud")},
        {QStringLiteral("DeviceID"), QStringLiteral("Radio-9")}};
    for (qsizetype i = 0; i < 3; ++i) {
        QJsonObject device = planDevices[i].toObject();
        QJsonObject set = device[QStringLiteral("set")].toObject();
        ASSERT_TRUE(set.contains(changes[i].first));
        set[changes[i].first] = changes[i].second;
        device[QStringLiteral("set")] = set;
        planDevices[i] = device;
    }
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.json"), planText(planDevices));

    const CliRun applied = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), plan}));
    ASSERT_EQ(applied.exitCode, 0) << applied.err << applied.out;
    const auto results = resultsByDevice(applied.out);
    const QString names[] = {macTextOf(single), macTextOf(multi), macTextOf(radio)};
    QList<QByteArray> expected;
    for (int i = 0; i < 3; ++i) {
        const QByteArray bySet = setCommandOfSet(names[i], changes[i].first + QLatin1Char('=') + changes[i].second);
        expected.append(bySet);
        const QJsonObject r = results.at(names[i]);
        EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("updated")) << names[i];
        EXPECT_EQ(r[QStringLiteral("mac")].toString(), names[i]);
        EXPECT_EQ(r[QStringLiteral("sent")].toString().toLatin1(), bySet) << names[i];
        // Exactly the changed item: the header and one item.
        EXPECT_EQ(bySet.count("</"), 1) << bySet;
        EXPECT_TRUE(bySet.contains(QByteArray("<" + changes[i].first.toLatin1() + ">"))) << bySet;
    }
    QList<QByteArray> onWire = receivedWith(sim, "S ");
    std::sort(onWire.begin(), onWire.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(onWire, expected);
    // Each window's "U " count: three from frmSetupKr770A and frmSetupDn680, one from the multi-port window.
    EXPECT_EQ(sim.waitForReceived("U ", 7).size(), 7);

    // The same plan again: the devices match it, nothing is set.
    const CliRun again = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), plan}));
    ASSERT_EQ(again.exitCode, 0) << again.err;
    for (const auto& [name, r] : resultsByDevice(again.out)) {
        EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("unchanged")) << name;
        EXPECT_TRUE(r[QStringLiteral("sent")].isNull()) << name;
    }
    EXPECT_EQ(receivedWith(sim, "S ").size(), 3);
    EXPECT_EQ(sim.waitForReceived("U ", 7).size(), 7);

    // --force sends the header-only set command and the "U " commands all the same.
    const CliRun forced =
        runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), QStringLiteral("--force"), plan}));
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    for (const auto& [name, r] : resultsByDevice(forced.out))
        EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("updated")) << name;
    EXPECT_EQ(receivedWith(sim, "S ").size(), 6);
}

TEST(CliFleet, SilentUnknownTagGoodAndMissingDevicesEachGetTheirResultAndExitFive)
{
    DevsimProcess sim(
        {QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--silent"), QStringLiteral("KR-770A")});
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const lv::Device silent = deviceOfModel(devices, "KR-770A");
    const lv::Device unknownTag = deviceOfModel(devices, "KR-700");
    const lv::Device good = deviceOfModel(devices, "PL-770A");
    const lv::Device badPort = deviceOfModel(devices, "KR-7800");
    QTemporaryDir dir;
    const QString plan = writeFile(
        dir, QStringLiteral("plan.json"),
        planText(QJsonArray{
            QJsonObject{{QStringLiteral("device"), macTextOf(silent)},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("DeviceID"), QStringLiteral("S1")}}}},
            QJsonObject{{QStringLiteral("device"), qs(unknownTag.ip())},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("DeviceID"), QStringLiteral("U1")},
                                                            {QStringLiteral("NoSuchTag"), QStringLiteral("1")}}}},
            QJsonObject{{QStringLiteral("device"), qs(good.macField())},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("DeviceID"), QStringLiteral("Good-1")}}}},
            QJsonObject{{QStringLiteral("device"), macTextOf(badPort)},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("COM3_Baud"), QStringLiteral("9600")}}}},
            QJsonObject{{QStringLiteral("device"), QStringLiteral("00-50-C2-7F-7F-7F")}}}));

    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("--wait"), QStringLiteral("500"),
                                       QStringLiteral("apply"), plan}));
    EXPECT_EQ(run.exitCode, 5) << run.err;
    const QJsonArray results = parseJson(run.out).array();
    ASSERT_EQ(results.size(), 5);
    const char* expected[] = {"no answer", "refused", "updated", "refused", "not found"};
    for (qsizetype i = 0; i < 5; ++i) {
        const QJsonObject r = results[i].toObject();
        EXPECT_EQ(r[QStringLiteral("result")].toString(), QLatin1String(expected[i])) << i << run.out;
        // The updated device lists the fields it changed besides.
        QStringList keys{QStringLiteral("device"),  QStringLiteral("error"),  QStringLiteral("mac"),
                         QStringLiteral("model"),   QStringLiteral("result"), QStringLiteral("sent"),
                         QStringLiteral("skipped"), QStringLiteral("tries"),  QStringLiteral("window")};
        if (i == 2)
            keys.insert(2, QStringLiteral("fields"));
        EXPECT_EQ(r.keys(), keys) << i;
        EXPECT_EQ(r[QStringLiteral("error")].isNull(), i == 2) << i;
    }
    EXPECT_EQ(results[1].toObject()[QStringLiteral("mac")].toString(), macTextOf(unknownTag));
    EXPECT_EQ(results[3].toObject()[QStringLiteral("window")].toString(), QStringLiteral("frm2PortSetup"));
    // Only the good device was sent a set command.
    const QList<QByteArray> sets = receivedWith(sim, "S ");
    ASSERT_EQ(sets.size(), 1);
    EXPECT_TRUE(sets[0].startsWith(QByteArray("S " + QByteArray(good.macAddressText().c_str()) + "/"))) << sets[0];
    EXPECT_TRUE(sets[0].endsWith("/<DeviceID>Good-1</DeviceID>")) << sets[0];

    // Text: a header, then one line per device, the good one now unchanged, then the counts.
    const CliRun text =
        runCli(at(sim, {QStringLiteral("--wait"), QStringLiteral("500"), QStringLiteral("apply"), plan}));
    EXPECT_EQ(text.exitCode, 5);
    const QStringList lines = QString::fromUtf8(text.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << text.out;
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("DEVICE "))) << text.out;
    const auto lineOf = [&](const QString& name) {
        for (const QString& line : lines)
            if (line.startsWith(name + QLatin1Char(' ')))
                return line;
        return QString();
    };
    EXPECT_TRUE(lineOf(macTextOf(silent)).contains(QStringLiteral(" no answer "))) << text.out;
    EXPECT_TRUE(lineOf(qs(unknownTag.ip())).contains(QStringLiteral("NoSuchTag"))) << text.out;
    EXPECT_TRUE(lineOf(qs(good.macField())).contains(QStringLiteral(" unchanged "))) << text.out;
    EXPECT_TRUE(lineOf(QStringLiteral("00-50-C2-7F-7F-7F")).contains(QStringLiteral(" not found "))) << text.out;
    EXPECT_EQ(receivedWith(sim, "S ").size(), 1);
}

// A plan of every device of the simulator that has a window, each given a new device ID.
QString timingPlan(const QTemporaryDir& dir, int deviceCount, const QString& run, int* planned)
{
    QJsonArray devices;
    const auto& mix = lv::simulatedModels();
    for (int i = 0; i < deviceCount; ++i) {
        const lv::Device d = lv::makeDevice(mix[static_cast<std::size_t>(i) % mix.size()], i, "");
        if (!lv::dispatchModel(d.model).windowDef)
            continue;
        devices.append(QJsonObject{
            {QStringLiteral("device"), macTextOf(d)},
            {QStringLiteral("set"), QJsonObject{{qs(d.deviceIdTag()), QJsonValue(run + QString::number(i))}}}});
    }
    *planned = static_cast<int>(devices.size());
    return writeFile(dir, run + QStringLiteral(".json"), planText(devices));
}

TEST(CliFleet, ParallelExchangesAreManyTimesFasterThanOneAtATime)
{
    constexpr int kDevices = 18;
    DevsimProcess sim({QStringLiteral("--devices"), QString::number(kDevices)});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    int planned = 0;
    const QString parallelPlan = timingPlan(dir, kDevices, QStringLiteral("P"), &planned);
    const QString serialPlan = timingPlan(dir, kDevices, QStringLiteral("S"), &planned);
    ASSERT_EQ(planned, 16);

    const auto applyWith = [&](const QString& plan, int parallel) {
        const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"),
                                           QStringLiteral("--parallel"), QString::number(parallel), plan}),
                                  60000);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const QJsonArray results = parseJson(run.out).array();
        EXPECT_EQ(results.size(), planned);
        for (const QJsonValue& r : results)
            EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("updated"))
                << r[QStringLiteral("error")].toString();
        return run.elapsedMs;
    };
    const qint64 parallelMs = applyWith(parallelPlan, 16);
    const qint64 serialMs = applyWith(serialPlan, 1);
    std::cout << "[ timing  ] " << planned << " devices: --parallel 16 " << parallelMs << " ms, --parallel 1 "
              << serialMs << " ms" << std::endl;
    ::testing::Test::RecordProperty("parallelMs", static_cast<int>(parallelMs));
    ::testing::Test::RecordProperty("serialMs", static_cast<int>(serialMs));
    // Sixteen at once take about one device's time; the bound leaves room for a loaded machine.
    EXPECT_GE(serialMs, 4 * parallelMs);
    EXPECT_EQ(receivedWith(sim, "S ").size(), 2 * planned);
}

struct SecretSource {
    const char* name;
    enum { CommandLine, File, Environment } kind;
};

class CliSecrets : public ::testing::TestWithParam<SecretSource> {};

TEST_P(CliSecrets, NoPasswordAppearsInAnyOutputWithoutShowSecrets)
{
    const QString password = QStringLiteral("Zq7-Hidden");
    const QString access = QStringLiteral("Acc-Veiled");
    DevsimProcess sim({QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--password"), password});
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const QString single = macTextOf(deviceOfModel(devices, "KR-770A"));
    const QString multi = macTextOf(deviceOfModel(devices, "KR-7600"));
    QTemporaryDir dir;
    QStringList source;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    switch (GetParam().kind) {
    case SecretSource::CommandLine:
        source = {QStringLiteral("--password"), password};
        break;
    case SecretSource::File:
        source = {QStringLiteral("--password-file"), writeFile(dir, QStringLiteral("pw"), password.toLatin1() + "\n")};
        break;
    case SecretSource::Environment:
        environment.insert(QStringLiteral("LINKVANE_PASSWORD"), password);
        break;
    }
    const QString plan =
        writeFile(dir, QStringLiteral("plan.json"),
                  planText(QJsonArray{
                      QJsonObject{{QStringLiteral("device"), single},
                                  {QStringLiteral("set"), QJsonObject{{QStringLiteral("AccessPassword"), access}}}},
                      QJsonObject{{QStringLiteral("device"), multi},
                                  {QStringLiteral("set"), QJsonObject{{QStringLiteral("krAccess"), access}}}}}));
    const QList<QStringList> commands = {
        {QStringLiteral("show"), single},
        {QStringLiteral("--json"), QStringLiteral("show"), multi},
        {QStringLiteral("--verbose"), QStringLiteral("set"), single, QStringLiteral("DeviceID=Q1")},
        {QStringLiteral("--json"), QStringLiteral("set"), multi, QStringLiteral("krAccess=") + access,
         QStringLiteral("--dry-run")},
        {QStringLiteral("export"), single, multi},
        {QStringLiteral("--verbose"), QStringLiteral("apply"), plan},
        {QStringLiteral("--json"), QStringLiteral("--verbose"), QStringLiteral("apply"), QStringLiteral("--force"),
         plan},
    };
    for (const QStringList& command : commands) {
        const CliRun run = runCli(at(sim, source + command), 30000, environment);
        EXPECT_EQ(run.exitCode, 0) << command.join(QLatin1Char(' ')) << run.err;
        const QByteArray all = run.out + run.err;
        EXPECT_FALSE(all.contains(password.toLatin1())) << command.join(QLatin1Char(' ')) << "\n" << all;
        EXPECT_FALSE(all.contains(access.toLatin1())) << command.join(QLatin1Char(' ')) << "\n" << all;
        EXPECT_TRUE(all.contains("***")) << command.join(QLatin1Char(' ')) << "\n" << all;
    }
    // The devices did get the password with every request, and the access passwords were set.
    EXPECT_FALSE(receivedWith(sim, "G ").isEmpty());
    for (const QByteArray& request : receivedWith(sim, "G "))
        EXPECT_TRUE(request.endsWith(QByteArray("/" + password.toLatin1() + QByteArray(1, '\0')))) << request;
    EXPECT_TRUE(receivedWith(sim, "S ").join().contains(access.toLatin1()));

    // Asked for, they are shown.
    const CliRun shown =
        runCli(at(sim, source + QStringList{QStringLiteral("--show-secrets"), QStringLiteral("--verbose"),
                                            QStringLiteral("show"), single}),
               30000, environment);
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(shown.out.contains(password.toLatin1())) << shown.out;
    EXPECT_TRUE(shown.out.contains(access.toLatin1())) << shown.out;
    EXPECT_TRUE(shown.err.contains(password.toLatin1())) << shown.err;
}

INSTANTIATE_TEST_SUITE_P(Sources, CliSecrets,
                         ::testing::Values(SecretSource{"CommandLine", SecretSource::CommandLine},
                                           SecretSource{"File", SecretSource::File},
                                           SecretSource{"Environment", SecretSource::Environment}),
                         [](const ::testing::TestParamInfo<SecretSource>& param) {
                             return std::string(param.param.name);
                         });

TEST(CliSecretsPrompt, WithoutATerminalNoPromptBlocksAndNoPasswordIsSent)
{
    DevsimProcess sim({QStringLiteral("--password"), QStringLiteral("pw")});
    ASSERT_TRUE(sim.started());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LINKVANE_PASSWORD"));
    const CliRun run = runCli(at(sim, {QStringLiteral("--timeout"), QStringLiteral("300"), QStringLiteral("show"),
                                       macTextOf(deviceOfModel(defaultDevices(), "KR-770A"))}),
                              10000, environment);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_FALSE(run.err.contains("Setup password")) << run.err;
    const QList<QByteArray> requests = receivedWith(sim, "G ");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].endsWith(QByteArray("/" + QByteArray(1, '\0')))) << requests[0];
}

TEST(CliSecretsExport, AMaskedSecretInAPlanLeavesTheDevicesPasswordAsItIs)
{
    DevsimProcess sim(
        {QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--password"), QStringLiteral("pw9")});
    ASSERT_TRUE(sim.started());
    const QString device = macTextOf(deviceOfModel(defaultDevices(), "KR-7900A"));
    const QStringList pw{QStringLiteral("--password"), QStringLiteral("pw9")};
    const CliRun exported = runCli(at(sim, pw + QStringList{QStringLiteral("export"), device}));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const QJsonObject set = parseJson(exported.out)[QStringLiteral("devices")][0][QStringLiteral("set")].toObject();
    EXPECT_EQ(set[QStringLiteral("krPassword")].toString(), QStringLiteral("***"));
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.json"), exported.out);
    const CliRun applied = runCli(at(sim, pw + QStringList{QStringLiteral("--json"), QStringLiteral("apply"), plan}));
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_EQ(parseJson(applied.out)[0][QStringLiteral("result")].toString(), QStringLiteral("unchanged"));
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
}

TEST(CliFleetCsv, AnExportedTableAppliesAsNothingAndAnEditedCellAsTyped)
{
    DevsimProcess sim(
        {QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--password"), QStringLiteral("pw9")});
    ASSERT_TRUE(sim.started());
    const QStringList pw{QStringLiteral("--password"), QStringLiteral("pw9")};
    const CliRun exported =
        runCli(at(sim, pw + QStringList{QStringLiteral("export"), QStringLiteral("--all"), QStringLiteral("--csv")}));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    // A header by role and a row a device of every family, CRLF ended; the setup passwords masked, under
    // their tags: a "password" column would be the one the device logs in with.
    const QList<QByteArray> lines = exported.out.split('\n');
    ASSERT_GT(lines.size(), 10);
    EXPECT_TRUE(lines[0].startsWith("device,ip,")) << lines[0];
    EXPECT_FALSE(lines[0].split(',').contains("password")) << lines[0];
    EXPECT_TRUE(lines[0].contains(",krPassword,")) << lines[0];
    EXPECT_EQ(exported.out.count("\r\n"), exported.out.count('\n'));
    EXPECT_FALSE(exported.out.contains("pw9"));
    EXPECT_TRUE(exported.out.contains(",***,"));
    QTemporaryDir dir;
    const QString table = writeFile(dir, QStringLiteral("fleet.csv"), exported.out);
    const CliRun again = runCli(at(sim, pw + QStringList{QStringLiteral("--json"), QStringLiteral("apply"), table}));
    ASSERT_EQ(again.exitCode, 0) << again.err;
    const auto results = resultsByDevice(again.out);
    EXPECT_EQ(results.size(), static_cast<std::size_t>(exported.out.count('\n') - 1));
    for (const auto& [name, r] : results)
        EXPECT_EQ(r[QStringLiteral("result")].toString(), QStringLiteral("unchanged")) << name;
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());

    // A table as a spreadsheet may save it: a byte-order mark, semicolons, a quoted cell holding both.
    const QString multi = macTextOf(deviceOfModel(defaultDevices(), "KR-7900A"));
    const QString edited = writeFile(dir, QStringLiteral("edited.csv"),
                                     "\xEF\xBB\xBF"
                                     "device;deviceId\r\n" +
                                         multi.toLatin1() + ";\"Hall 2; \"\"west\"\"\"\r\n");
    const CliRun applied = runCli(at(sim, pw + QStringList{QStringLiteral("--json"), QStringLiteral("apply"), edited}));
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_EQ(resultsByDevice(applied.out).at(multi)[QStringLiteral("result")].toString(), QStringLiteral("updated"));
    const QList<QByteArray> sent = receivedWith(sim, "S ");
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].endsWith("/<krDeviceID>Hall 2; \"west\"</krDeviceID>")) << sent[0];
}

struct BadPlan {
    const char* name;
    const char* text;
    const char* message;
    const char* file = "plan.json";
    const char* format = nullptr; // --format's value
};

class CliBadPlan : public ::testing::TestWithParam<BadPlan> {};

TEST_P(CliBadPlan, IsRefusedWithWhereBeforeAnythingIsSent)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QString::fromLatin1(GetParam().file), GetParam().text);
    QStringList args{QStringLiteral("apply"), plan};
    if (GetParam().format)
        args << QStringLiteral("--format") << QString::fromLatin1(GetParam().format);
    const CliRun run = runCli(at(sim, args));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err;
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(sim.received().isEmpty()) << "not even the search probe";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CliBadPlan,
    ::testing::Values(
        BadPlan{"NotJson", "{\"devices\": [\n  {\"device\": \"00-50-C2-00-00-01\",, \"set\": {}}\n]}\n",
                "line 2, column 34"},
        BadPlan{"Unterminated", "{\"devices\": [\n", "line 2, column 1"},
        BadPlan{"NoDevices", "\n  {\"defaults\": {\"set\": {\"SIOBaud\": \"9600\"}}}",
                "line 2, column 3: the plan has no"},
        BadPlan{"NotAnObject", "[1, 2]", "line 1, column 1"},
        BadPlan{"BadSelector", "{\"devices\": [{\"device\": \"pump-7\"}]}", "devices[0].device"},
        BadPlan{"ValueNotText", "{\"devices\": [{\"device\": \"10.0.0.1\", \"set\": {\"DHCPEnable\": true}}]}",
                "devices[0].set.DHCPEnable"},
        BadPlan{"UnknownKey", "{\"devices\": [{\"device\": \"10.0.0.1\", \"sett\": {}}]}", "unknown key \"sett\""},
        BadPlan{"NamedTwice", "{\"devices\": [{\"device\": \"10.0.0.1\"}, {\"device\": \"10.0.0.1\"}]}", "named twice"},
        // One MAC text spelled two ways is one device.
        BadPlan{"MacTextInLowerCase",
                "{\"devices\": [{\"device\": \"00-50-C2-00-00-03\"}, {\"device\": \"00-50-c2-00-00-03\"}]}",
                "devices[1].device: 00-50-c2-00-00-03 is named twice"},
        BadPlan{"MacTextWithColons",
                "{\"devices\": [{\"device\": \"00:50:C2:00:00:03\"}, {\"device\": \"00-50-C2-00-00-03\"}]}",
                "devices[1].device: 00-50-C2-00-00-03 is named twice"},
        BadPlan{"ColonsInLowerCase",
                "{\"devices\": [{\"device\": \"00-50-c2-00-00-03\"}, {\"device\": \"00:50:C2:00:00:03\"}]}",
                "devices[1].device: 00:50:C2:00:00:03 is named twice"},
        BadPlan{
            "RoleAndTagDiffer",
            "{\"devices\": [{\"device\": \"10.0.0.1\", \"set\": {\"ip\": \"10.0.0.2\", \"IPAddress\": \"10.0.0.3\"}}]}",
            "devices[0].set: \"IPAddress\" and \"ip\" set the same field (IPAddress)"},
        BadPlan{"DeviceAndSelect", "{\"devices\": [{\"device\": \"10.0.0.1\", \"select\": \"id=*\"}]}",
                "devices[0]: names its devices by \"device\" or by \"select\", not both"},
        BadPlan{"SelectUnknownKey", "{\"devices\": [{\"select\": \"mac=*\"}]}",
                "devices[0].select: unknown selection key \"mac\""},
        BadPlan{"TemplateUnknown", "{\"devices\": [{\"device\": \"10.0.0.1\", \"set\": {\"DeviceID\": \"D{ip}\"}}]}",
                "devices[0].set.DeviceID: unknown template \"{ip}\""},
        BadPlan{"CsvTemplateOpen", "device,DeviceID\n10.0.0.5,D{n\n",
                "row 2, column B (DeviceID): \"{\" at character 2", "plan.csv"},
        BadPlan{"KeyTwice",
                "{\"devices\": [{\"device\": \"10.0.0.1\",\n  \"set\": {\"DeviceID\": \"a\", \"DeviceID\": \"b\"}}]}",
                "line 2, column 28: devices[0].set holds the key \"DeviceID\" twice"},
        BadPlan{"EscapedKeyTwice", "{\"devices\": [], \"devic\\u0065s\": []}",
                "the plan holds the key \"devices\" twice"},
        BadPlan{"PasswordHoldsANul", "{\"devices\": [{\"device\": \"10.0.0.1\", \"password\": \"ab\\u0000cd\"}]}",
                "devices[0].password: a secret holds a NUL"},
        BadPlan{"SecretEntryHoldsALineEnd",
                "{\"devices\": [{\"device\": \"10.0.0.1\", \"set\": {\"SetupPassword\": \"ab\\ncd\"}}]}",
                "devices[0].set.SetupPassword: a secret holds"},
        BadPlan{"ValueHoldsANul", "{\"devices\": [{\"device\": \"10.0.0.1\", \"set\": {\"DeviceID\": \"a\\u0000\"}}]}",
                "devices[0].set.DeviceID: the value holds a NUL"},
        BadPlan{"SecretRoleHoldsACr", "{\"defaults\": {\"set\": {\"password\": \"ab\\r\"}}, \"devices\": []}",
                "defaults.set.password: a secret holds"},
        // A CSV plan by its name in any case or by --format, which also makes a .csv name JSON.
        BadPlan{"CsvByItsName", "device,DeviceID\n10.0.0.5,\"open\n", "plan.CSV: row 2, column B: the quote",
                "plan.CSV"},
        BadPlan{"CsvByFormat", "device\npump-7\n", "row 2, column A (device): \"pump-7\" is neither", "plan.txt",
                "csv"},
        BadPlan{"JsonByFormat", "device\n10.0.0.5\n", "plan.csv: line 1, column 1", "plan.csv", "json"},
        BadPlan{"FormatUnknown", "{}", "--format takes json or csv, not \"xml\"", "plan.json", "xml"}),
    [](const ::testing::TestParamInfo<BadPlan>& param) { return std::string(param.param.name); });

// Entries by selection and templates, end to end: two cycles of the simulated models, so that each model
// is there twice and numbered 1 and 2 in MAC order, though the first KR-770A answers last.
TEST(CliFleetSelect, EntriesNumberTheirDevicesRefuseBadValuesAndPrintInPlanOrder)
{
    const std::size_t models = lv::simulatedModels().size();
    auto device = [&](const std::string& model, std::size_t cycle) {
        const auto& mix = lv::simulatedModels();
        const std::size_t i =
            cycle * models + static_cast<std::size_t>(std::find(mix.begin(), mix.end(), model) - mix.begin());
        return lv::makeDevice(mix[i % models], static_cast<int>(i), "");
    };
    DevsimProcess sim({QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--devices"),
                       QString::number(2 * models), QStringLiteral("--fault"),
                       QStringLiteral("search-late:150@") + qs(device("KR-770A", 0).macField())});
    ASSERT_TRUE(sim.started());
    const QString lone = macTextOf(device("KR-7900A", 0));
    QTemporaryDir dir;
    const QString plan =
        writeFile(dir, QStringLiteral("plan.json"),
                  "{\"devices\": [{\"select\": \"model=kr-770a\", \"set\": {\"DeviceID\": \"Hall2-{n:03}\", "
                  "\"IPAddress\": \"10.20.0.{n+10}\"}},\n"
                  "  {\"select\": \"model=KR-700\", \"set\": {\"SIOBaud\": \"96{n}0\"}},\n"
                  "  {\"select\": \"model=NOPE*\"},\n"
                  "  {\"device\": \"" +
                      lone.toLatin1() + "\", \"set\": {\"deviceId\": \"x{mac}\"}}]}\n");
    const CliRun run = runCli(at(sim, {QStringLiteral("--stats"), QStringLiteral("apply"), QStringLiteral("--parallel"),
                                       QStringLiteral("8"), plan}));
    EXPECT_EQ(run.exitCode, 5) << run.err << run.out;
    EXPECT_TRUE(run.err.contains("stats: ")) << run.err;

    // The results in plan order whatever order the devices finished in, then the counts.
    QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1Char(' ')); });
    ASSERT_EQ(lines.size(), 8) << run.out;
    const QString kr770[] = {macTextOf(device("KR-770A", 0)), macTextOf(device("KR-770A", 1))};
    const QString kr700[] = {macTextOf(device("KR-700", 0)), macTextOf(device("KR-700", 1))};
    const QStringList firstTwo{lines[1].section(QLatin1Char(' '), 0, 0), lines[2].section(QLatin1Char(' '), 0, 0)};
    EXPECT_EQ(firstTwo, (QStringList{kr770[0], kr770[1]})) << run.out;
    for (int i : {3, 4}) {
        // A value a template made is refused as the same value typed in.
        EXPECT_TRUE(lines[i].contains(QStringLiteral("refused")) && lines[i].contains(QStringLiteral("holds no 96")))
            << run.out;
        EXPECT_TRUE(lines[i].startsWith(kr700[0]) || lines[i].startsWith(kr700[1])) << run.out;
    }
    EXPECT_TRUE(lines[5].contains(QStringLiteral("no device matches select model=NOPE*"))) << run.out;
    EXPECT_TRUE(lines[6].startsWith(lone) && lines[6].contains(QStringLiteral("updated"))) << run.out;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^3 updated, 1 failed, 2 refused in \\d+\\.\\d s$"))
                    .match(lines[7])
                    .hasMatch())
        << run.out;

    // Each KR-770A got its number once, in MAC order, ID and address alike; the template's values reached
    // the wire.
    const QByteArray sets = receivedWith(sim, "S ").join('\n');
    EXPECT_EQ(sets.count("S "), 3) << sets;
    for (std::size_t cycle : {0, 1}) {
        const QByteArray n = QByteArray::number(cycle + 1);
        const QByteArray pair = "10.20.0.1" + n + "</IPAddress>/<DeviceID>Hall2-00" + n + "<";
        EXPECT_EQ(sets.count(pair), 1) << sets;
        for (const QByteArray& set : receivedWith(sim, "S "))
            if (set.contains(pair)) {
                EXPECT_TRUE(set.startsWith(QByteArray(("S " + device("KR-770A", cycle).macAddressText()).c_str())))
                    << set.toStdString();
            }
    }
    EXPECT_TRUE(sets.contains(QByteArray("ID>x" + lone.toLatin1() + "<"))) << sets;

    // Export by selection: the devices of that model only, each with its model, as the Update left them.
    const CliRun exported = runCli(at(sim, {QStringLiteral("--stats"), QStringLiteral("export"),
                                            QStringLiteral("--select"), QStringLiteral("model=KR-770A")}));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(exported.err.contains("stats: ")) << exported.err;
    QStringList ids;
    for (const QJsonValue& v : parseJson(exported.out)[QStringLiteral("devices")].toArray()) {
        EXPECT_EQ(v[QStringLiteral("model")].toString(), QStringLiteral("KR-770A"));
        ids << v[QStringLiteral("set")][QStringLiteral("DeviceID")].toString();
    }
    ids.sort();
    EXPECT_EQ(ids, (QStringList{QStringLiteral("Hall2-001"), QStringLiteral("Hall2-002")}));
}

TEST(CliSetHeaderOnly, SetWithoutChangesSendsTheHeaderAloneAndTheUpdates)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("set"), macTextOf(device)}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QByteArray header = "S " + QByteArray(device.macAddressText().c_str()) + "/" + device.ip().c_str() + "/";
    EXPECT_EQ(receivedWith(sim, "S "), QList<QByteArray>{header});
    // The simulator's log of the last commands may reach the test after the CLI has ended.
    EXPECT_EQ(sim.waitForReceived("U ", 3).size(), 3);
    EXPECT_TRUE(parseJson(run.out)[QStringLiteral("answered")].toBool());
}

TEST(CliSearchEnds, ExpectAndIdleEndTheSearchEarly)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const qsizetype all = static_cast<qsizetype>(defaultDevices().size());
    const QStringList longWait{QStringLiteral("--json"), QStringLiteral("--wait"), QStringLiteral("60000"),
                               QStringLiteral("search")};

    // Whether the listing rules a conflict out: only after the whole wait (null: not known).
    const auto conflictsKnown = [](const QByteArray& json) {
        QList<bool> known;
        for (const QJsonValue& v : parseJson(json).array())
            known << v[QStringLiteral("conflict")].isBool();
        return known;
    };
    const CliRun expect = runCli(at(sim, longWait + QStringList{QStringLiteral("--expect"), QStringLiteral("3")}));
    ASSERT_EQ(expect.exitCode, 0) << expect.err;
    // Answers read in one batch with the third are listed too.
    EXPECT_GE(parseJson(expect.out).array().size(), 3);
    EXPECT_FALSE(conflictsKnown(expect.out).contains(true)) << expect.out.toStdString();

    // Answers spread over 50 ms: 400 ms of quiet means every device has answered.
    const CliRun idle = runCli(at(sim, longWait + QStringList{QStringLiteral("--idle"), QStringLiteral("400")}));
    ASSERT_EQ(idle.exitCode, 0) << idle.err;
    EXPECT_EQ(parseJson(idle.out).array().size(), all);
    EXPECT_GE(idle.elapsedMs, 400);

    // More expected than answer: the whole wait, the listing, and exit 2.
    const CliRun tooMany =
        runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("--wait"), QStringLiteral("600"),
                        QStringLiteral("search"), QStringLiteral("--expect"), QStringLiteral("99")}));
    EXPECT_EQ(tooMany.exitCode, 2) << tooMany.err;
    EXPECT_EQ(parseJson(tooMany.out).array().size(), all);
    EXPECT_GE(tooMany.elapsedMs, 600);
    EXPECT_FALSE(conflictsKnown(tooMany.out).contains(false)) << tooMany.out.toStdString();
}

} // namespace

namespace {

TEST(CliVerbose, EveryDatagramSentAndReceivedIsLoggedWithItsTime)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    const CliRun run = runCli(at(
        sim, {QStringLiteral("--verbose"), QStringLiteral("set"), macTextOf(device), QStringLiteral("DeviceID=V1")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QRegularExpression line(
        QStringLiteral(R"(^\d\d:\d\d:\d\d\.\d{3} \+\d+ms (TX|RX) port \d+ (\d+) bytes: (.*)$)"));
    QStringList sent;
    int received = 0;
    bool sawReply = false;
    for (const QString& text : QString::fromUtf8(run.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = line.match(text);
        ASSERT_TRUE(m.hasMatch()) << text;
        if (m.captured(1) == QLatin1String("TX")) {
            sent.append(m.captured(3).left(2));
        } else {
            ++received;
            sawReply = sawReply || m.captured(3).startsWith(QLatin1String("AG"));
        }
    }
    // The probe, the request, the set command and frmSetupKr770A's three "U " commands, in that order.
    EXPECT_EQ(sent, (QStringList{QStringLiteral("X "), QStringLiteral("G "), QStringLiteral("S "), QStringLiteral("U "),
                                 QStringLiteral("U "), QStringLiteral("U ")}));
    // The simulator's log may come a moment after the CLI has ended.
    sim.waitForReceived("U ", 3);
    EXPECT_EQ(sent.size(), sim.received().size());
    EXPECT_TRUE(sawReply);
    EXPECT_GE(received, 3); // a search answer, the configuration reply, an answer to "U "
}

} // namespace

namespace {

// A device the search does not find is named on standard error and makes the exit code 2; the devices
// that did answer are still exported.
TEST(CliFleetExport, ADeviceNotFoundIsReportedAndTheOthersExported)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const lv::Device single = deviceOfModel(defaultDevices(), "KR-770A");
    const QString absent = QStringLiteral("00-50-C2-EE-EE-EE");
    const CliRun run = runCli(at(
        sim, {QStringLiteral("--wait"), QStringLiteral("400"), QStringLiteral("export"), absent, macTextOf(single)}));
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_TRUE(run.err.contains(QByteArray(QByteArray("no device ") + absent.toLatin1() + " answered the search")))
        << run.err;
    const QJsonArray devices = parseJson(run.out).object()[QStringLiteral("devices")].toArray();
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0].toObject()[QStringLiteral("device")].toString(), macTextOf(single));
}

} // namespace

namespace {

// How a plan may name one device.
enum class Spelling { MacText, MacTextLower, MacTextColons, MacField, Ip, ModelSelect };

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
    case Spelling::ModelSelect:
        return "model=" + QByteArray::fromStdString(device.model);
    }
    return {};
}

QByteArray planNaming(const lv::Device& device, const QByteArray& first, const QByteArray& second)
{
    const QByteArray tag = QByteArray::fromStdString(device.deviceIdTag());
    // A selection is an entry's "select" instead of its "device".
    const auto key = [](const QByteArray& name) { return name.contains('=') ? "select" : "device"; };
    return "{\"devices\": [{\"" + QByteArray(key(first)) + "\": \"" + first + "\", \"set\": {\"" + tag +
           "\": \"Twice-1\"}},\n             {\"" + QByteArray(key(second)) + "\": \"" + second + "\", \"set\": {\"" +
           tag + "\": \"Twice-2\"}}]}\n";
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

// Two kinds of name for one device: only the search can tell; the second is refused, once.
class PlanNamesOneDeviceTwice : public ::testing::TestWithParam<TwiceCase> {};

TEST_P(PlanNamesOneDeviceTwice, TheSecondNameIsRefusedAndTheDeviceConfiguredOnce)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    QTemporaryDir dir;
    const QString plan =
        writeFile(dir, QStringLiteral("plan.json"),
                  planNaming(device, spell(device, GetParam().first), spell(device, GetParam().second)));
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), plan}));
    EXPECT_EQ(run.exitCode, 5) << run.err << run.out;
    const QJsonArray results = parseJson(run.out).array();
    ASSERT_EQ(results.size(), 2) << run.out;
    EXPECT_EQ(results[0][QStringLiteral("result")].toString(), QStringLiteral("updated")) << run.out;
    EXPECT_EQ(results[1][QStringLiteral("result")].toString(), QStringLiteral("refused")) << run.out;
    EXPECT_TRUE(results[1][QStringLiteral("error")].toString().contains(QStringLiteral("twice"))) << run.out;
    // A selection by model asks every device once for its model, the device's job again.
    EXPECT_EQ(receivedWith(sim, "G ").size(),
              GetParam().second == Spelling::ModelSelect ? defaultDevices().size() + 1 : 1);
    const QList<QByteArray> sets = receivedWith(sim, "S ");
    ASSERT_EQ(sets.size(), 1);
    EXPECT_TRUE(sets[0].contains("Twice-1")) << sets[0];
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlanNamesOneDeviceTwice,
                         ::testing::Values(TwiceCase{"MacTextThenIp", Spelling::MacText, Spelling::Ip},
                                           TwiceCase{"IpThenMacField", Spelling::Ip, Spelling::MacField},
                                           TwiceCase{"MacFieldThenColons", Spelling::MacField, Spelling::MacTextColons},
                                           TwiceCase{"MacTextThenSelection", Spelling::MacText, Spelling::ModelSelect}),
                         [](const auto& p) { return std::string(p.param.name); });

// --retries: a configuration request that got nothing back is sent again, up to N times; one that got
// part of an answer is not.
struct RetryCase {
    const char* name;
    const char* fault;
    int retries;
    const char* result;
    int tries;
};

class ApplyRetries : public ::testing::TestWithParam<RetryCase> {};

TEST_P(ApplyRetries, AskAgainOnlyWhatGotNoAnswer)
{
    DevsimProcess sim({QStringLiteral("--fault"), QString::fromLatin1(GetParam().fault)});
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.json"),
                                   "{\"devices\": [{\"device\": \"" + macTextOf(device).toLatin1() +
                                       "\", \"set\": {\"DeviceID\": \"Again\"}}]}");
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("--retries"),
                                       QString::number(GetParam().retries), QStringLiteral("apply"), plan}));
    const QJsonObject result = parseJson(run.out).array().at(0).toObject();
    EXPECT_EQ(result[QStringLiteral("result")].toString(), QLatin1String(GetParam().result)) << run.out;
    EXPECT_EQ(result[QStringLiteral("tries")].toInt(), GetParam().tries) << run.out;
    EXPECT_EQ(receivedWith(sim, "G ").size(), GetParam().tries);
}

INSTANTIATE_TEST_SUITE_P(Rows, ApplyRetries,
                         ::testing::Values(RetryCase{"None", "silent@KR-770A#1", 0, "no answer", 1},
                                           RetryCase{"SecondTryAnswers", "silent@KR-770A#1", 1, "updated", 2},
                                           RetryCase{"EveryTryUnanswered", "silent@KR-770A#9", 2, "no answer", 3},
                                           RetryCase{"PartAnswered", "truncate@KR-770A", 2, "no answer", 1}),
                         [](const auto& p) { return std::string(p.param.name); });

// --parallel N: N exchanges at once, not one more.
class ApplyParallel : public ::testing::TestWithParam<int> {};

TEST_P(ApplyParallel, NoMoreExchangesAtOnceThanAllowed)
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
        text += QByteArray(i ? ",\n" : "\n") + "{\"device\": \"" + macTextOf(fleet[i]).toLatin1() + "\", \"set\": {\"" +
                QByteArray::fromStdString(fleet[i].deviceIdTag()) + "\": \"Par-" +
                QByteArray::number(static_cast<int>(i)) + "\"}}";
    text += "]}\n";
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.json"), text);
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

INSTANTIATE_TEST_SUITE_P(Widths, ApplyParallel, ::testing::Values(1, 2, 4));

// The setup password a device reports is hidden in apply's output.
struct SecretCase {
    const char* name;
    const char* model;
    const char* password; // what the device reports; the plan's own password differs
};

void PrintTo(const SecretCase& c, std::ostream* os)
{
    *os << c.name;
}

class ApplyReportedPassword : public ::testing::TestWithParam<SecretCase> {};

TEST_P(ApplyReportedPassword, IsMaskedInTheSetCommandShown)
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
                            "\", \"password\": \"typed\", \"set\": {\"" + QByteArray::fromStdString(d.deviceIdTag()) +
                            "\": \"Masked-1\"}}]}";
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("plan.json"), plan);
    const QByteArray header =
        "S " + QByteArray::fromStdString(d.macAddressText()) + "/" + QByteArray::fromStdString(d.ip()) + "/";
    ASSERT_EQ(device.withPrefix("S ").size(), 0u);
    for (const bool json : {true, false}) {
        device.clear();
        QStringList args{QStringLiteral("--wait"), QStringLiteral("300"), QStringLiteral("apply"), path};
        if (json)
            args.prepend(QStringLiteral("--json"));
        const CliRun run = runCli(at(device.port(), QStringLiteral("127.0.0.1"), args));
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

INSTANTIATE_TEST_SUITE_P(Devices, ApplyReportedPassword,
                         ::testing::Values(SecretCase{"Plain", "KR-770A", "Rep0rted"},
                                           SecretCase{"WithSlash", "KR-770A", "Qz/7xJ"},
                                           SecretCase{"WithTwoSlashes", "KR-770A", "Jq/Wv/Kx"},
                                           SecretCase{"MultiPortWithSlash", "KR-7900A", "Zk/9zQ"}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
