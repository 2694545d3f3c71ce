// SPDX-License-Identifier: Apache-2.0
// Settings named by role: the tag each role reaches in each window family, plan defaults that reach
// only the devices whose window has the field, the refusal that lists a window's names, export --roles
// and the fleet example of docs/cli.md, run against linkvane-devsim.

#include "clirun.h"

#include "catalogue.h"
#include "modeltable.h"
#include "outcometexts.h"
#include "plan.h"
#include "setupform.h"
#include "typedvalue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <tuple>

namespace {

// The simulator's device of `model` loaded into its window's form, as the CLI loads it.
std::unique_ptr<lv::SetupForm> loadedForm(const std::string& model)
{
    const lv::Device device = deviceOfModel(defaultDevices(), model);
    const lv::ModelDispatch dispatch = lv::dispatchModel(model);
    auto form = std::make_unique<lv::SetupForm>(*dispatch.windowDef);
    form->load(device.configurationReply().text, dispatch.portCount);
    return form;
}

// The set command one NAME=VALUE makes, or the refusal.
std::string setCommandFor(const std::string& model, const QString& name, const QString& value)
{
    const std::unique_ptr<lv::SetupForm> form = loadedForm(model);
    if (const std::optional<lv::TypedRefusal> refused = lv::applyTypedValue(*form, name, value))
        return "refused: " + lv::typedRefusalText(*refused, form->window()).toStdString();
    return form->plan().setCommand;
}

struct RoleCase {
    const char* name;
    const char* model;
    const char* role;
    const char* value; // as typed
    const char* tag;   // the window's own tag
    const char* wire;  // the value in the item
};

class RoleOnWire : public ::testing::TestWithParam<RoleCase> {};

// A role sends exactly what its tag sends: one item, under the window's own tag.
TEST_P(RoleOnWire, SendsTheItemOfTheWindowsOwnTag)
{
    const RoleCase& c = GetParam();
    const std::string byRole = setCommandFor(c.model, QString::fromLatin1(c.role), QString::fromLatin1(c.value));
    const std::string byTag = setCommandFor(c.model, QString::fromLatin1(c.tag), QString::fromLatin1(c.value));
    const std::string item = std::string("<") + c.tag + ">" + c.wire + "</" + c.tag + ">";
    ASSERT_NE(byRole.find(item), std::string::npos) << byRole;
    EXPECT_EQ(byRole.substr(byRole.find('<')), item) << byRole;
    EXPECT_EQ(byRole, byTag);
}

INSTANTIATE_TEST_SUITE_P(
    Families, RoleOnWire,
    ::testing::Values(RoleCase{"BaudSinglePort", "KR-770A", "port1.baud", "1200", "SIOBaud", "2"},
                      RoleCase{"BaudDigitalIo", "KR-700", "port1.baud", "1200", "SIOBaud", "2"},
                      RoleCase{"BaudOnePortPlain", "KR-7700", "port1.baud", "1200", "COM1_Baud", "2"},
                      RoleCase{"BaudFourPortA", "KR-7600A", "port1.baud", "1200", "COM1_Baud", "2"},
                      RoleCase{"BaudSecondPort", "KR-7900A", "port2.baud", "1200", "COM2_Baud", "2"},
                      RoleCase{"BaudFourthPort", "KR-7600", "port4.baud", "1200", "COM4_Baud", "2"},
                      RoleCase{"ParityMultiPort", "KR-7800", "port2.parity", "#2", "COM2_Parity", "2"},
                      RoleCase{"StopBitsRadio", "DN-680A", "port1.stopBits", "#0", "SIOStops", "0"},
                      RoleCase{"TypeSinglePort", "PL-778A", "port1.type", "#4", "SIOType", "4"},
                      RoleCase{"TypeMultiPort", "KR-7900", "port3.type", "#3", "COM3_HWType", "3"},
                      RoleCase{"ModbusPl778", "PL-778A", "port1.modbus", "#0", "COM1_Modbus", "0"},
                      RoleCase{"LocalPortSinglePort", "NDQ-770", "port1.localPort", "4711", "SIOSocketPort", "4711"},
                      RoleCase{"RemoteIpMultiPort", "KR-7800A", "port2.remoteIp", "10.9.9.9", "COM2_RemoteHostIP",
                               "10.9.9.9"},
                      RoleCase{"DeviceIdSinglePort", "PL-770A", "deviceId", "Pump-7", "DeviceID", "Pump-7"},
                      RoleCase{"DeviceIdMultiPort", "KR-7800", "deviceId", "Pump-7", "krDeviceID", "Pump-7"},
                      RoleCase{"IpMultiPort", "KR-7700A", "ip", "10.1.2.3", "krIP", "10.1.2.3"},
                      RoleCase{"MaskSinglePort", "KR-780A", "mask", "255.255.0.0", "SubMask", "255.255.0.0"},
                      RoleCase{"GatewayMultiPort", "KR-7600", "gateway", "10.0.0.1", "krGateway", "10.0.0.1"},
                      RoleCase{"CommandPortSinglePort", "KR-700", "commandPort", "4100", "ReportIDPort", "4100"},
                      RoleCase{"CommandPortMultiPort", "KR-7700", "commandPort", "4100", "krReportID", "4100"},
                      RoleCase{"AccessPasswordMultiPort", "KR-7900A", "accessPassword", "a1", "krAccess", "a1"}),
    [](const ::testing::TestParamInfo<RoleCase>& param) { return std::string(param.param.name); });

TEST(RoleOnWire, DhcpAndPasswordReachTheirTagsInBothFamilies)
{
    for (const auto& [model, dhcp, password] :
         {std::tuple{"KR-770A", "DHCPEnable", "SetupPassword"}, std::tuple{"KR-7800A", "krDHCP", "krPassword"}}) {
        const lv::WindowDef& window = *lv::dispatchModel(model).windowDef;
        EXPECT_EQ(window.fieldByName("dhcp")->tag, dhcp) << model;
        EXPECT_EQ(window.fieldByName("password")->tag, password) << model;
        // A role names a field a window has; one it lacks names none.
        EXPECT_EQ(window.fieldByName("port5.baud"), nullptr) << model;
    }
}

// ---- defaults that a window lacks ---------------------------------------------------------------------

lv::SetEntry entry(const char* name, bool fromDefaults)
{
    return lv::SetEntry{QString::fromLatin1(name), QStringLiteral("1"), fromDefaults};
}

struct SkipCase {
    const char* name;
    const char* window;
    lv::SetEntries set;
    QStringList taken;
    QStringList skipped;
};

class DefaultsForWindow : public ::testing::TestWithParam<SkipCase> {};

TEST_P(DefaultsForWindow, TakesOwnEntriesAndTheDefaultsTheWindowCanSet)
{
    const SkipCase& c = GetParam();
    QStringList skipped;
    QStringList taken;
    for (const lv::SetEntry& e : lv::entriesForWindow(c.set, *lv::findWindow(c.window), &skipped))
        taken.append(e.name);
    EXPECT_EQ(taken, c.taken);
    EXPECT_EQ(skipped, c.skipped);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultsForWindow,
    ::testing::Values(
        SkipCase{"TagOfTheOtherFamily",
                 "frmSetupKr770A",
                 {entry("SIOBaud", true), entry("COM1_Baud", true), entry("krDeviceID", true)},
                 {QStringLiteral("SIOBaud")},
                 {QStringLiteral("COM1_Baud"), QStringLiteral("krDeviceID")}},
        SkipCase{"RoleOfAPortTheWindowLacks",
                 "frm2PortSetup",
                 {entry("port1.baud", true), entry("port2.baud", true), entry("port3.baud", true)},
                 {QStringLiteral("port1.baud"), QStringLiteral("port2.baud")},
                 {QStringLiteral("port3.baud")}},
        SkipCase{"NoSerialPort",
                 "frmSetupNDQ770",
                 {entry("port1.baud", true), entry("deviceId", false)},
                 {QStringLiteral("deviceId")},
                 {QStringLiteral("port1.baud")}},
        // Switched off: the window shows it, but no value can be set.
        SkipCase{
            "SwitchedOffField", "frmSetupPl778", {entry("commandPort", true)}, {}, {QStringLiteral("commandPort")}},
        // The device's own entries go on, to be refused there when the window lacks them.
        SkipCase{"OwnEntriesAreNeverSkipped",
                 "frmSetupNDQ770",
                 {entry("port1.baud", false), entry("Bogus", false)},
                 {QStringLiteral("port1.baud"), QStringLiteral("Bogus")},
                 {}}),
    [](const ::testing::TestParamInfo<SkipCase>& param) { return std::string(param.param.name); });

// ---- a name the window lacks ----------------------------------------------------------------------------

TEST(UnknownName, TheRefusalListsTheWindowsFieldsAndRoles)
{
    const std::string refused = setCommandFor("NDQ-770", QStringLiteral("port1.baud"), QStringLiteral("1200"));
    EXPECT_EQ(refused.rfind("refused: frmSetupNDQ770 has no field port1.baud (fields: IPAddress, SubMask, ", 0), 0u)
        << refused;
    EXPECT_NE(refused.find("; roles: ip, mask, gateway, dhcp, port1.localPort, port1.mode, deviceId, password, "
                           "accessPassword)"),
              std::string::npos)
        << refused;
    // A multi-port window names the roles of each of its ports.
    const std::string multi = setCommandFor("KR-7800", QStringLiteral("SIOBaud"), QStringLiteral("1200"));
    EXPECT_NE(multi.find("COM2_Baud"), std::string::npos) << multi;
    EXPECT_NE(multi.find("port2.baud"), std::string::npos) << multi;
    EXPECT_EQ(multi.find("port3."), std::string::npos) << multi;
}

// ---- end to end ------------------------------------------------------------------------------------------

// The apply results by device as the plan names it.
std::map<QString, QJsonObject> resultsByDevice(const QByteArray& json)
{
    std::map<QString, QJsonObject> results;
    for (const QJsonValue& v : parseJson(json).array())
        results[v[QStringLiteral("device")].toString()] = v.toObject();
    return results;
}

// What `show --json` reports for a tag: a list's entry label, else the value.
QString shownValue(const DevsimProcess& sim, const QString& device, const QString& tag)
{
    const CliRun shown = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("show"), device}));
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    for (const QJsonValue& field : parseJson(shown.out).object()[QStringLiteral("fields")].toArray())
        if (field[QStringLiteral("tag")].toString() == tag)
            return field.toObject().contains(QStringLiteral("label")) ? field[QStringLiteral("label")].toString()
                                                                      : field[QStringLiteral("value")].toString();
    return QStringLiteral("<no %1>").arg(tag);
}

TEST(CliRoles, SetDryRunSendsTheRoleUnderTheWindowsTag)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const lv::Device multi = deviceOfModel(defaultDevices(), "KR-7900A");
    const CliRun run = runCli(at(sim, {QStringLiteral("set"), macTextOf(multi), QStringLiteral("port2.baud=1200"),
                                       QStringLiteral("--dry-run")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.contains("/<COM2_Baud>2</COM2_Baud>\n")) << run.out;
    EXPECT_EQ(run.out.count("</"), 1) << run.out;
}

TEST(CliRoles, DefaultsReachOnlyTheDevicesThatHaveTheFieldAndOwnEntriesAreStillRefused)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const QString io = macTextOf(deviceOfModel(devices, "NDQ-770"));
    const QString single = macTextOf(deviceOfModel(devices, "KR-770A"));
    const QString multi = macTextOf(deviceOfModel(devices, "KR-7700"));
    const QString wrong = macTextOf(deviceOfModel(devices, "KR-700"));
    QTemporaryDir dir;
    const QByteArray plan = QStringLiteral(R"({"defaults": {"set": {"port1.baud": "1200", "commandPort": "4100"}},
        "devices": [{"device": "%1", "set": {"deviceId": "Io-1"}},
                    {"device": "%2", "set": {"deviceId": "Conv-1"}},
                    {"device": "%3", "set": {"deviceId": "Multi-1"}},
                    {"device": "%4", "set": {"port2.baud": "1200"}}]})")
                                .arg(io, single, multi, wrong)
                                .toLatin1();
    const CliRun applied = runCli(
        at(sim, {QStringLiteral("--json"), QStringLiteral("apply"), writeFile(dir, QStringLiteral("p.json"), plan)}));
    EXPECT_EQ(applied.exitCode, 5) << applied.err << applied.out;
    const auto results = resultsByDevice(applied.out);
    ASSERT_EQ(results.size(), 4u) << applied.out;
    // No serial port and no command port: only its device ID goes, and both defaults are listed as skipped.
    EXPECT_EQ(results.at(io)[QStringLiteral("result")].toString(), QStringLiteral("updated"));
    EXPECT_EQ(results.at(io)[QStringLiteral("skipped")].toArray(),
              (QJsonArray{QStringLiteral("commandPort"), QStringLiteral("port1.baud")}))
        << applied.out;
    EXPECT_EQ(results.at(multi)[QStringLiteral("skipped")].toArray(), QJsonArray{}) << applied.out;
    EXPECT_TRUE(
        results.at(io)[QStringLiteral("sent")].toString().endsWith(QStringLiteral("/<DeviceID>Io-1</DeviceID>")))
        << results.at(io)[QStringLiteral("sent")].toString();
    const QString singleSent = results.at(single)[QStringLiteral("sent")].toString();
    EXPECT_EQ(results.at(single)[QStringLiteral("result")].toString(), QStringLiteral("updated"));
    EXPECT_TRUE(singleSent.contains(QStringLiteral("<SIOBaud>2</SIOBaud>"))) << singleSent;
    EXPECT_FALSE(singleSent.contains(QStringLiteral("ReportID"))) << singleSent;
    const QString multiSent = results.at(multi)[QStringLiteral("sent")].toString();
    EXPECT_EQ(results.at(multi)[QStringLiteral("result")].toString(), QStringLiteral("updated"));
    EXPECT_TRUE(multiSent.contains(QStringLiteral("<krReportID>4100</krReportID>"))) << multiSent;
    EXPECT_TRUE(multiSent.contains(QStringLiteral("<COM1_Baud>2</COM1_Baud>"))) << multiSent;
    // A device's own entry its window lacks refuses the device, and says what the window has.
    const QJsonObject refused = results.at(wrong);
    EXPECT_EQ(refused[QStringLiteral("result")].toString(), QStringLiteral("refused"));
    EXPECT_TRUE(refused[QStringLiteral("sent")].isNull());
    EXPECT_TRUE(refused[QStringLiteral("error")].toString().startsWith(
        QStringLiteral("frmSetup has no field port2.baud (fields: IPAddress, ")))
        << refused[QStringLiteral("error")].toString();
    EXPECT_TRUE(refused[QStringLiteral("error")].toString().contains(QStringLiteral("roles: ip, mask, ")));
    EXPECT_EQ(receivedWith(sim, "S ").size(), 3);
    // The text names them on the device's line too.
    const CliRun text = runCli(at(
        sim, {QStringLiteral("apply"), QStringLiteral("--dry-run"), writeFile(dir, QStringLiteral("p.json"), plan)}));
    bool named = false;
    for (const QByteArray& line : text.out.split('\n'))
        named = named || (line.startsWith(io.toLatin1()) && line.contains("skipped: commandPort, port1.baud"));
    EXPECT_TRUE(named) << text.out;
}

TEST(CliRoles, AnExportByRolesAppliesBackUnchangedAndNamesNoWindow)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun exported =
        runCli(at(sim, {QStringLiteral("export"), QStringLiteral("--all"), QStringLiteral("--roles")}));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const QJsonArray devices = parseJson(exported.out).object()[QStringLiteral("devices")].toArray();
    ASSERT_EQ(devices.size(), 19);
    std::map<QString, QJsonObject> byMac;
    for (const QJsonValue& d : devices) {
        EXPECT_FALSE(d.toObject().contains(QStringLiteral("window")));
        byMac[d[QStringLiteral("device")].toString()] = d[QStringLiteral("set")].toObject();
    }
    const std::vector<lv::Device> sims = defaultDevices();
    // Roles where the field has one, the window's tag where it has none.
    const lv::Device single = deviceOfModel(sims, "KR-700");
    const QJsonObject singleSet = byMac.at(macTextOf(single));
    EXPECT_EQ(singleSet[QStringLiteral("port1.baud")].toString(),
              qs(lv::findWindow("frmSetup")->fieldByTag("SIOBaud")->entries.at(std::stoul(single.setting("SIOBaud")))));
    EXPECT_EQ(singleSet[QStringLiteral("deviceId")].toString(), qs(single.deviceId()));
    EXPECT_TRUE(singleSet.contains(QStringLiteral("TCPLinkTimeOut")));
    EXPECT_FALSE(singleSet.contains(QStringLiteral("SIOBaud")));
    const lv::Device multi = deviceOfModel(sims, "KR-7600A");
    const QJsonObject multiSet = byMac.at(macTextOf(multi));
    EXPECT_EQ(multiSet[QStringLiteral("port4.baud")].toString(),
              qs(lv::findWindow("frmKR7600ASetup")
                     ->fieldByTag("COM4_Baud")
                     ->entries.at(std::stoul(multi.setting("COM4_Baud")))));
    EXPECT_TRUE(multiSet.contains(QStringLiteral("arbtime")));
    EXPECT_FALSE(multiSet.contains(QStringLiteral("krIP")));

    QTemporaryDir dir;
    const CliRun applied = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("apply"),
                                           writeFile(dir, QStringLiteral("p.json"), exported.out)}));
    ASSERT_EQ(applied.exitCode, 0) << applied.err << applied.out;
    const auto results = resultsByDevice(applied.out);
    ASSERT_EQ(results.size(), 19u);
    for (const auto& [device, result] : results)
        EXPECT_EQ(result[QStringLiteral("result")].toString(), QStringLiteral("unchanged")) << device;
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
}

// The JSON block of the "Fleets: export and apply" section of the CLI's guide.
QByteArray readmeFleetPlan()
{
    QFile readme(QStringLiteral(LV_SOURCE_DIR "/docs/cli.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype section = text.indexOf(QStringLiteral("\n## Fleets: export and apply\n"));
    if (section < 0)
        return {};
    const QRegularExpression block(QStringLiteral("\n```json\n(.*?)\n```\n"),
                                   QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = block.match(text, section);
    const qsizetype nextSection = text.indexOf(QStringLiteral("\n## "), section + 1);
    if (!match.hasMatch() || (nextSection >= 0 && match.capturedStart() > nextSection))
        return {};
    return match.captured(1).toUtf8();
}

TEST(CliRoles, TheReadmesFleetExampleUpdatesEveryDeviceThatOpensAWindow)
{
    const QByteArray plan = readmeFleetPlan();
    ASSERT_FALSE(plan.isEmpty()) << "no JSON block in the fleet section of docs/cli.md";
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const CliRun applied = runCli(at(
        sim, {QStringLiteral("--json"), QStringLiteral("apply"), writeFile(dir, QStringLiteral("fleet.json"), plan)}));
    // The two models that open no window are refused, so not every device succeeds.
    EXPECT_EQ(applied.exitCode, 5) << applied.err << applied.out;
    const auto results = resultsByDevice(applied.out);
    const std::vector<lv::Device> devices = defaultDevices();
    ASSERT_EQ(results.size(), devices.size()) << applied.out;
    int updated = 0;
    for (const lv::Device& device : devices) {
        const QJsonObject result = results.at(macTextOf(device));
        const bool opensWindow = lv::dispatchModel(device.model).windowDef != nullptr;
        EXPECT_EQ(result[QStringLiteral("result")].toString(),
                  opensWindow ? QStringLiteral("updated") : QStringLiteral("refused"))
            << device.model << ": " << result[QStringLiteral("error")].toString();
        updated += opensWindow ? 1 : 0;
    }
    EXPECT_EQ(updated, 19);

    // What the plan asked for, as the devices now report it.
    const QJsonObject planned = parseJson(plan).object();
    const QString baud =
        planned[QStringLiteral("defaults")][QStringLiteral("set")][QStringLiteral("port1.baud")].toString();
    ASSERT_FALSE(baud.isEmpty());
    std::map<QString, QString> deviceIds;
    for (const QJsonValue& d : planned[QStringLiteral("devices")].toArray())
        deviceIds[d[QStringLiteral("device")].toString()] =
            d[QStringLiteral("set")][QStringLiteral("deviceId")].toString();
    for (const auto& [model, baudTag, idTag] :
         {std::tuple{"KR-770A", "SIOBaud", "DeviceID"}, std::tuple{"KR-7900A", "COM1_Baud", "krDeviceID"}}) {
        const QString mac = macTextOf(deviceOfModel(devices, model));
        ASSERT_FALSE(deviceIds[mac].isEmpty()) << model;
        EXPECT_EQ(shownValue(sim, mac, QString::fromLatin1(baudTag)), baud) << model;
        EXPECT_EQ(shownValue(sim, mac, QString::fromLatin1(idTag)), deviceIds[mac]) << model;
    }
}

TEST(CliRoles, BashCompletionOffersRolesBesideTags)
{
#if defined(Q_OS_WIN)
    GTEST_SKIP() << "bash completion is for Unix shells";
#endif
    const CliRun script = runCli({QStringLiteral("--completion"), QStringLiteral("bash")});
    ASSERT_EQ(script.exitCode, 0) << script.err;
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("completion.bash"), script.out);
    QProcess bash;
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"),
                QStringLiteral("source \"$1\"; COMP_WORDS=(linkvane-cli set 10.0.0.1 port2.ba); COMP_CWORD=3; "
                               "_linkvane_cli; printf '%s\\n' \"${COMPREPLY[@]}\"; COMP_WORDS=(linkvane-cli set "
                               "10.0.0.1 SIOBa); _linkvane_cli; printf '%s\\n' \"${COMPREPLY[@]}\""),
                QStringLiteral("_"), path});
    ASSERT_TRUE(bash.waitForFinished(10000));
    EXPECT_EQ(bash.readAllStandardOutput(), QByteArray("port2.baud=\nSIOBaud=\n"));
}

} // namespace
