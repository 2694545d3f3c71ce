// SPDX-License-Identifier: Apache-2.0
// linkvane-cli end to end: the real binary against linkvane-devsim on loopback.
// The expected devices are built with the simulator's own device model, so the
// CLI's output is checked against what the devices hold, not against itself.

#include "clirun.h"
#include "devsimprocess.h"
#include "fakedevice.h"
#include "programs.h"
#include "waitfor.h"

#include "catalogue.h"
#include "device.h"
#include "devicelist.h"
#include "modeltable.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <iostream>

namespace {

const QStringList kSimDefaults{QStringLiteral("--jitter"), QStringLiteral("50")};

TEST(CliSearch, JsonListsEveryDefaultDeviceWithItsFields)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const CliRun run = runCli(atDefaultWait(sim, {QStringLiteral("--json"), QStringLiteral("search")}));
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The listing comes after the default wait of one second, not before.
    EXPECT_GE(run.elapsedMs, 1000);

    const QJsonArray list = parseJson(run.out).array();
    const std::vector<lv::Device> devices = defaultDevices();
    ASSERT_EQ(list.size(), static_cast<qsizetype>(devices.size()));
    QSet<QString> seen;
    for (const QJsonValue& value : list) {
        const QJsonObject entry = value.toObject();
        seen.insert(entry[QStringLiteral("mac")].toString());
    }
    EXPECT_EQ(seen.size(), list.size());
    for (const lv::Device& device : devices) {
        const auto it = std::find_if(list.begin(), list.end(), [&](const QJsonValue& v) {
            return v.toObject()[QStringLiteral("mac")].toString() == macTextOf(device);
        });
        ASSERT_NE(it, list.end()) << device.model;
        const QJsonObject entry = it->toObject();
        EXPECT_EQ(entry[QStringLiteral("macField")].toString(), qs(device.macField()));
        EXPECT_EQ(entry[QStringLiteral("ip")].toString(), qs(device.ip()));
        EXPECT_EQ(entry[QStringLiteral("deviceId")].toString(), qs(device.deviceId()));
        EXPECT_EQ(entry[QStringLiteral("conflict")], QJsonValue(false));
        EXPECT_EQ(entry.size(), 5);
    }
}

TEST(CliShow, Kr770AShowsItsWindowAndTheValuesAsLoaded)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const lv::Device& device = deviceOfModel(devices, "KR-770A");
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("show"), macTextOf(device)}));
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const QJsonObject shown = parseJson(run.out).object();
    EXPECT_EQ(shown[QStringLiteral("mac")].toString(), macTextOf(device));
    EXPECT_EQ(shown[QStringLiteral("macField")].toString(), qs(device.macField()));
    EXPECT_EQ(shown[QStringLiteral("ip")].toString(), qs(device.ip()));
    EXPECT_EQ(shown[QStringLiteral("model")].toString(), QStringLiteral("KR-770A"));
    EXPECT_EQ(shown[QStringLiteral("version")].toString(), qs(device.version));
    EXPECT_EQ(shown[QStringLiteral("window")].toString(), QStringLiteral("frmSetupKr770A"));

    // Every field of the window in screen order, with the device's value and, for lists, the entry shown.
    const lv::WindowDef* window = lv::findWindow("frmSetupKr770A");
    ASSERT_NE(window, nullptr);
    const QJsonArray fields = shown[QStringLiteral("fields")].toArray();
    qsizetype i = 0;
    for (const lv::FieldDef& field : window->fields) {
        if (field.tag.empty())
            continue;
        ASSERT_LT(i, fields.size());
        const QJsonObject f = fields[i++].toObject();
        EXPECT_EQ(f[QStringLiteral("tag")].toString(), qs(field.tag));
        EXPECT_EQ(f[QStringLiteral("control")].toString(), qs(field.control));
        EXPECT_EQ(f[QStringLiteral("value")].toString(), qs(device.setting(field.tag))) << field.tag;
        if (field.kind == lv::ControlKind::ComboBox) {
            const int index = std::stoi(device.setting(field.tag));
            EXPECT_EQ(f[QStringLiteral("label")].toString(), qs(field.entries.at(static_cast<std::size_t>(index))));
        } else {
            EXPECT_FALSE(f.contains(QStringLiteral("label"))) << field.tag;
        }
    }
    EXPECT_EQ(i, fields.size());
    EXPECT_GT(i, 15);

    // The text form names the window and lines the value column up.
    const CliRun text = runCli(at(sim, {QStringLiteral("show"), qs(device.ip())}));
    ASSERT_EQ(text.exitCode, 0) << text.err;
    const QString out = QString::fromUtf8(text.out);
    EXPECT_TRUE(out.contains(QStringLiteral("frmSetupKr770A"))) << out;
    const QStringList lines = out.split(QLatin1Char('\n'));
    qsizetype column = -1;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("IPAddress ")) || line.startsWith(QLatin1String("SIOBaud "))) {
            const QString value = qs(device.setting(line.section(QLatin1Char(' '), 0, 0).toStdString()));
            const QRegularExpression row(QStringLiteral("^\\S+\\s+\\S+\\s+") + QRegularExpression::escape(value));
            const QRegularExpressionMatch m = row.match(line);
            ASSERT_TRUE(m.hasMatch()) << line;
            const qsizetype at = m.capturedEnd() - value.size();
            if (column >= 0) {
                EXPECT_EQ(at, column) << line;
            }
            column = at;
        }
    }
    EXPECT_GT(column, 0);
}

TEST(CliShow, ModelsWithoutWindowSayNoWindowOpens)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    for (const std::string model : {"KR788A", "KR789A"}) {
        const CliRun run = runCli(at(sim, {QStringLiteral("show"), macTextOf(deviceOfModel(devices, model))}));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.contains(QByteArray("no window opens for model ").append(model.c_str()))) << run.out;
    }
}

TEST(CliSet, IpAddressChangesTheDeviceAndTheNextSearchListsIt)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const lv::Device& device = deviceOfModel(devices, "KR-770A");
    const QString newIp = QStringLiteral("10.77.0.3");
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("set"), qs(device.macField()),
                                       QStringLiteral("IPAddress=") + newIp}));
    ASSERT_EQ(run.exitCode, 0) << run.err;

    // Old address in the header, new one as the only item; the header is the device's own MacAddress.
    const QByteArray expected = "S " + QByteArray(device.macAddressText().c_str()) + "/" +
                                QByteArray(device.ip().c_str()) + "//<IPAddress>" + newIp.toLatin1() + "</IPAddress>";
    const QJsonObject result = parseJson(run.out).object();
    EXPECT_EQ(result[QStringLiteral("sent")].toString().toLatin1(), expected);
    EXPECT_TRUE(result[QStringLiteral("answered")].toBool());
    EXPECT_EQ(receivedWith(sim, "S "), QList<QByteArray>{expected});
    // frmSetupKr770A follows its set command with three "U " commands.
    EXPECT_EQ(sim.waitForReceived("U ", 3).size(), 3);

    const CliRun search = runCli(
        at(sim, {QStringLiteral("--json"), QStringLiteral("search"), QStringLiteral("--wait"), QStringLiteral("500")}));
    ASSERT_EQ(search.exitCode, 0);
    bool listed = false;
    for (const QJsonValue& v : parseJson(search.out).array())
        if (v.toObject()[QStringLiteral("mac")].toString() == macTextOf(device))
            listed = v.toObject()[QStringLiteral("ip")].toString() == newIp;
    EXPECT_TRUE(listed) << search.out;

    // The device is now found under its new address.
    const CliRun show = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("show"), newIp}));
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(parseJson(show.out).object()[QStringLiteral("mac")].toString(), macTextOf(device));
}

TEST(CliSet, DryRunBuildsTheCommandAndSendsNothing)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    // frmSetup lists ten baud rates: 115200 is the last, index 9.
    const lv::Device& device = deviceOfModel(devices, "KR-700");
    ASSERT_EQ(device.window, "frmSetup");
    ASSERT_NE(device.setting("SIOBaud"), "9");
    ASSERT_NE(device.setting("SIOParity"), "1");
    const CliRun run =
        runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("set"), macTextOf(device),
                        QStringLiteral("SIOBaud=115200"), QStringLiteral("SIOParity=E"), QStringLiteral("--dry-run")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QString sent = parseJson(run.out).object()[QStringLiteral("sent")].toString();
    EXPECT_TRUE(sent.endsWith(QStringLiteral("/<SIOBaud>9</SIOBaud>/<SIOParity>1</SIOParity>"))) << sent;
    // The configuration was asked for; nothing was set.
    EXPECT_EQ(receivedWith(sim, "G ").size(), 1);
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
    EXPECT_TRUE(receivedWith(sim, "U ").isEmpty());
}

TEST(CliSet, ListLabelsAndRawIndexesMapToTheWindowsEntries)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    struct Case {
        const char* model;
        const char* change;
        const char* tag;
        const char* index;
    };
    const Case cases[] = {{"KR-700", "SIOBaud=#9", "SIOBaud", "9"},
                          {"KR-770A", "SIOBaud=921600", "SIOBaud", "12"},
                          {"KR-770A", "SIOType=RS485 (Half Duplex)", "SIOType", "3"},
                          {"PL-770A", "SIOSocketType=udp client", "SIOSocketType", "3"},
                          // Typed, "***" is a value like any other, not an export's masked secret.
                          {"KR-770A", "AccessPassword=***", "AccessPassword", "***"}};
    for (const Case& c : cases) {
        const lv::Device& device = deviceOfModel(devices, c.model);
        ASSERT_NE(device.setting(c.tag), c.index) << c.change << ": the device already holds it";
        const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("set"), macTextOf(device),
                                           QString::fromLatin1(c.change), QStringLiteral("--dry-run")}));
        ASSERT_EQ(run.exitCode, 0) << c.change << run.err;
        const QString sent = parseJson(run.out).object()[QStringLiteral("sent")].toString();
        const QString item = QStringLiteral("<%1>%2</%1>").arg(QLatin1String(c.tag), QLatin1String(c.index));
        EXPECT_TRUE(sent.endsWith(QLatin1Char('/') + item)) << c.change << " -> " << sent;
    }
}

struct RefusedCase {
    const char* name;
    const char* model;
    const char* change;
};

class CliSetRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(CliSetRefused, ExitsFourAndSendsNoSetCommand)
{
    const RefusedCase& c = GetParam();
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const CliRun run = runCli(
        at(sim, {QStringLiteral("set"), macTextOf(deviceOfModel(devices, c.model)), QString::fromLatin1(c.change)}));
    EXPECT_EQ(run.exitCode, 4) << run.out << run.err;
    EXPECT_FALSE(run.err.isEmpty());
    EXPECT_TRUE(run.out.isEmpty()) << run.out;
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
    EXPECT_TRUE(receivedWith(sim, "U ").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, CliSetRefused,
                         ::testing::Values(RefusedCase{"UnknownName", "KR-770A", "Foo=1"},
                                           RefusedCase{"TagOfAnotherWindow", "KR-770A", "ReportIDPort=4000"},
                                           RefusedCase{"DisplayOnlyField", "DN-680A", "ZMac=1"},
                                           RefusedCase{"LabelNotInList", "KR-770A", "SIOParity=M"},
                                           RefusedCase{"BaudBeyondTenEntryList", "KR-700", "SIOBaud=230400"},
                                           RefusedCase{"RawIndexBeyondList", "KR-770A", "SIOBaud=#13"},
                                           RefusedCase{"SwitchedOffField", "PL-778A", "TCPLinkTimeOut=5"},
                                           RefusedCase{"PortTheWindowLacks", "KR-7800", "COM3_Baud=9600"},
                                           RefusedCase{"SecretHoldsALineFeed", "KR-770A", "SetupPassword=ab\ncd"},
                                           RefusedCase{"ModelWithoutWindow", "KR788A", "DeviceID=X"}),
                         [](const ::testing::TestParamInfo<RefusedCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(CliDevice, UnknownDeviceExitsTwo)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    for (const QString& device : {QStringLiteral("00-50-C2-7F-7F-7F"), QStringLiteral("0.80.194.127.127.127"),
                                  QStringLiteral("10.250.250.250")}) {
        const CliRun run =
            runCli(at(sim, {QStringLiteral("--wait"), QStringLiteral("300"), QStringLiteral("show"), device}));
        EXPECT_EQ(run.exitCode, 2) << device << run.err;
        EXPECT_TRUE(receivedWith(sim, "G ").isEmpty());
    }
}

TEST(CliDevice, SilentDeviceExitsThreeAfterTheTimeout)
{
    DevsimProcess sim(
        {QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--silent"), QStringLiteral("KR-770A")});
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    const CliRun run = runCli(at(sim, {QStringLiteral("show"), macTextOf(device)}));
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    // The search stops once the device answered it; then one second for the configuration request.
    EXPECT_GE(run.elapsedMs, 1000);
    EXPECT_EQ(receivedWith(sim, "G ").size(), 1);
}

TEST(CliDevice, UpdateWithoutAnswerExitsThreeAndSaysSo)
{
    DevsimProcess sim({QStringLiteral("--jitter"), QStringLiteral("50"), QStringLiteral("--no-answer-after-set")});
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-770A");
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("500"),
                                       QStringLiteral("set"), macTextOf(device), QStringLiteral("DeviceID=QUIET")}));
    EXPECT_EQ(run.exitCode, 3) << run.err;
    const QJsonObject result = parseJson(run.out).object();
    EXPECT_FALSE(result[QStringLiteral("answered")].toBool(true));
    EXPECT_EQ(receivedWith(sim, "S ").size(), 1);
}

TEST(CliUsage, MalformedCommandLinesExitOne)
{
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("--port"), QStringLiteral("70000"), QStringLiteral("search")},
        {QStringLiteral("--port")},
        {QStringLiteral("--timeout"), QStringLiteral("soon"), QStringLiteral("search")},
        {QStringLiteral("--broadcast"), QStringLiteral("everywhere"), QStringLiteral("search")},
        {QStringLiteral("--colour"), QStringLiteral("search")},
        {QStringLiteral("search"), QStringLiteral("extra")},
        {QStringLiteral("show")},
        {QStringLiteral("show"), QStringLiteral("not-a-device")},
        {QStringLiteral("show"), QStringLiteral("10.0.0.1"), QStringLiteral("--dry-run")},
        {QStringLiteral("set"), QStringLiteral("10.0.0.1"), QStringLiteral("IPAddress")},
        {QStringLiteral("set"), QStringLiteral("10.0.0.1"), QStringLiteral("=1")},
        {QStringLiteral("set-mac"), QStringLiteral("10.0.0.1"), QStringLiteral("00-50-C2-01-02-03")},
    };
    for (const QStringList& args : cases) {
        // None of these may get as far as the network: each is refused at once.
        const CliRun run = runCli(QStringList{QStringLiteral("--broadcast"), QStringLiteral("127.0.0.1")} + args);
        EXPECT_EQ(run.exitCode, 1) << args.join(QLatin1Char(' ')).toStdString() << "\n" << run.err;
        EXPECT_FALSE(run.err.isEmpty()) << args.join(QLatin1Char(' '));
    }
    const CliRun help = runCli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("usage: linkvane-cli"));
}

TEST(CliScale, SearchListsTenThousandDevicesNoneLost)
{
    DevsimProcess sim(
        {QStringLiteral("--devices"), QStringLiteral("10000"), QStringLiteral("--jitter"), QStringLiteral("200")});
    ASSERT_TRUE(sim.started());
    // The search ends on the count; the wait only bounds a search that lost answers.
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("--stats"), QStringLiteral("search"),
                                       QStringLiteral("--expect"), QStringLiteral("10000"), QStringLiteral("--wait"),
                                       QStringLiteral("60000")}),
                              90000);
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray list = parseJson(run.out).array();
    QSet<QString> macs;
    QSet<QString> fields;
    for (const QJsonValue& v : list) {
        macs.insert(v.toObject()[QStringLiteral("mac")].toString());
        fields.insert(v.toObject()[QStringLiteral("macField")].toString());
    }
    EXPECT_EQ(list.size(), 10000);
    EXPECT_EQ(macs.size(), 10000);
    EXPECT_EQ(fields.size(), 10000);
    // The simulator's own log agrees: every device answered once.
    LV_WAIT_EQ(sim.sent().size(), 10000, 10000);

    const QString stats = QString::fromUtf8(run.err).trimmed();
    EXPECT_TRUE(stats.startsWith(QLatin1String("stats: 10000 devices listed"))) << stats;
    std::cout << "[ timing  ] " << stats.toStdString() << "\n"
              << "[ timing  ] whole run " << run.elapsedMs << " ms" << std::endl;
    ::testing::Test::RecordProperty("searchStats", stats.toStdString());
}

} // namespace

namespace {

// A multi-port converter through the same headless form as its window: labels and #N pick list
// entries, the set command carries the NUL after the header and only the changed items, one "U ".
TEST(CliMultiPort, SetSendsOnlyTheChangedPortItemsAndShowReadsThemBack)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const lv::Device device = deviceOfModel(defaultDevices(), "KR-7900A");
    const QString baud = device.setting("COM2_Baud") == "6" ? QStringLiteral("38400") : QStringLiteral("19200");
    const QByteArray baudIndex = baud == QStringLiteral("38400") ? "7" : "6";
    const QString multis = device.setting("multis") == "1" ? QStringLiteral("#0") : QStringLiteral("Enable");
    const QByteArray multisIndex = multis == QStringLiteral("#0") ? "0" : "1";
    const CliRun run = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("set"), macTextOf(device),
                                       QStringLiteral("COM2_Baud=") + baud, QStringLiteral("multis=") + multis}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QByteArray expected = "S " + QByteArray(device.macAddressText().c_str()) + "/" +
                                QByteArray(device.ip().c_str()) + "/" + QByteArray(device.password().c_str()) +
                                QByteArray(1, '\0') + "/<multis>" + multisIndex + "</multis>/<COM2_Baud>" + baudIndex +
                                "</COM2_Baud>";
    EXPECT_EQ(parseJson(run.out).object()[QStringLiteral("sent")].toString().toLatin1(), expected);
    EXPECT_EQ(receivedWith(sim, "S "), QList<QByteArray>{expected});
    EXPECT_EQ(sim.waitForReceived("U ", 1).size(), 1);

    const CliRun show = runCli(at(sim, {QStringLiteral("--json"), QStringLiteral("show"), macTextOf(device)}));
    ASSERT_EQ(show.exitCode, 0) << show.err;
    const QJsonObject shown = parseJson(show.out).object();
    EXPECT_EQ(shown[QStringLiteral("window")].toString(), QStringLiteral("frmKR7900ASetup"));
    QString shownBaud;
    bool hasPort4 = false;
    for (const QJsonValue& f : shown[QStringLiteral("fields")].toArray()) {
        if (f[QStringLiteral("tag")].toString() == QStringLiteral("COM2_Baud"))
            shownBaud = f[QStringLiteral("label")].toString();
        hasPort4 = hasPort4 || f[QStringLiteral("tag")].toString().startsWith(QStringLiteral("COM4_"));
    }
    EXPECT_EQ(shownBaud, baud);
    EXPECT_FALSE(hasPort4) << "a three-port window has no port 4";
}

} // namespace

namespace {

TEST(CliSearch, DevicesSharingAnIpAreMarkedAsConflicts)
{
    DevsimProcess sim(kSimDefaults);
    ASSERT_TRUE(sim.started());
    const std::vector<lv::Device> devices = defaultDevices();
    const lv::Device& moved = deviceOfModel(devices, "KR-770A");
    const lv::Device& owner = devices.front();
    ASSERT_NE(moved.macField(), owner.macField());
    const CliRun set =
        runCli(at(sim, {QStringLiteral("set"), qs(moved.macField()), QStringLiteral("IPAddress=") + qs(owner.ip())}));
    ASSERT_EQ(set.exitCode, 0) << set.err;

    const CliRun json = runCli(
        at(sim, {QStringLiteral("--json"), QStringLiteral("search"), QStringLiteral("--wait"), QStringLiteral("500")}));
    ASSERT_EQ(json.exitCode, 0);
    const QJsonArray listed = parseJson(json.out).array();
    ASSERT_EQ(listed.size(), static_cast<qsizetype>(devices.size()));
    int conflicts = 0;
    for (const QJsonValue& v : listed) {
        const QJsonObject o = v.toObject();
        ASSERT_TRUE(o[QStringLiteral("conflict")].isBool()) << json.out;
        const bool shared = o[QStringLiteral("ip")].toString() == qs(owner.ip());
        EXPECT_EQ(o[QStringLiteral("conflict")].toBool(), shared) << o[QStringLiteral("mac")].toString().toStdString();
        conflicts += o[QStringLiteral("conflict")].toBool() ? 1 : 0;
    }
    EXPECT_EQ(conflicts, 2);

    const CliRun text = runCli(at(sim, {QStringLiteral("search"), QStringLiteral("--wait"), QStringLiteral("500")}));
    ASSERT_EQ(text.exitCode, 0);
    int marked = 0;
    for (const QByteArray& line : text.out.split('\n'))
        if (line.contains(QByteArray((owner.ip() + " !").c_str())))
            ++marked;
    EXPECT_EQ(marked, 2) << text.out;

    // A plan that names the shared address is refused before anything is sent to either device.
    QTemporaryDir dir;
    const CliRun apply = runCli(at(
        sim, {QStringLiteral("apply"),
              writeFile(
                  dir, QStringLiteral("p.json"),
                  ("{\"devices\": [{\"device\": \"" + owner.ip() + "\", \"set\": {\"DeviceID\": \"X\"}}]}").c_str())}));
    EXPECT_EQ(apply.exitCode, 2) << apply.err;
    EXPECT_TRUE(apply.err.contains(" is answered by 2 devices: ")) << apply.err;
    EXPECT_EQ(receivedWith(sim, "S ").size(), 1) << "only the set that moved the device";
}

} // namespace

#if defined(Q_OS_LINUX)
// Output that cannot be written (standard output on a full disk) is a failure with a message, for
// listings, documents and help alike; what the devices did is no excuse for a lost report.
class CliFullDisk : public ::testing::TestWithParam<std::vector<const char*>> {};

TEST_P(CliFullDisk, ExitsNonZeroAndSaysWhy)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QStringList args;
    for (const char* arg : GetParam())
        args << QString::fromLatin1(arg);
    if (args.front() != QLatin1String("--version"))
        args = at(sim, QStringList{QStringLiteral("--wait"), QStringLiteral("300")} + args);
    QProcess cli;
    cli.setStandardOutputFile(QStringLiteral("/dev/full"));
    cli.start(testprograms::cli(), args);
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_NE(cli.exitCode(), 0);
    EXPECT_TRUE(cli.readAllStandardError().contains("could not write the output")) << args.join(u' ');
}

INSTANTIATE_TEST_SUITE_P(Commands, CliFullDisk,
                         ::testing::Values(std::vector<const char*>{"search"},
                                           std::vector<const char*>{"--json", "search"},
                                           std::vector<const char*>{"export", "--all"},
                                           std::vector<const char*>{"--json", "show", "00-50-C2-00-00-03"},
                                           std::vector<const char*>{"help", "set"},
                                           std::vector<const char*>{"--version"}));
#endif

namespace {

// One MAC answering from two addresses, or from two senders with answers a byte apart, is a conflict
// too: both lines marked, in text and JSON.
class CliSearchMacTwice : public ::testing::TestWithParam<const char*> {};

TEST_P(CliSearchMacTwice, BothLinesAreMarkedAsConflicts)
{
    DevsimProcess sim({QStringLiteral("--fault"), QString::fromLatin1(GetParam()) + QStringLiteral("@KR-700")});
    ASSERT_TRUE(sim.started());
    const QString mac = macTextOf(deviceOfModel(defaultDevices(), "KR-700"));
    const CliRun json = runCli(
        at(sim, {QStringLiteral("--json"), QStringLiteral("search"), QStringLiteral("--wait"), QStringLiteral("500")}));
    ASSERT_EQ(json.exitCode, 0);
    QStringList conflicted;
    for (const QJsonValue& v : parseJson(json.out).array())
        if (v[QStringLiteral("conflict")].toBool())
            conflicted << v[QStringLiteral("mac")].toString();
    EXPECT_EQ(conflicted, (QStringList{mac, mac})) << json.out.toStdString();
    const CliRun text = runCli(at(sim, {QStringLiteral("search"), QStringLiteral("--wait"), QStringLiteral("500")}));
    int marked = 0;
    for (const QByteArray& line : text.out.split('\n'))
        if (line.startsWith(mac.toLatin1()) && line.contains(" ! "))
            ++marked;
    EXPECT_EQ(marked, 2) << text.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Twins, CliSearchMacTwice, ::testing::Values("twin:same-mac", "twin:near-answer"),
                         [](const auto& p) {
                             return std::string(p.param).substr(5) == "same-mac" ? "TwoAddresses" : "TwoSenders";
                         });

// The conflict mark names an address only when distinct MACs answer with it.
struct ConflictCase {
    const char* name;
    QList<QByteArray> answers;
    std::vector<bool> conflict; // per listed device, in order
};

void PrintTo(const ConflictCase& c, std::ostream* os)
{
    *os << c.name;
}

class SearchConflict : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(SearchConflict, MarksAnAddressAnsweredByDistinctMacs)
{
    FakeDevice device;
    const QList<QByteArray> answers = GetParam().answers;
    device.setHandler(
        [&](const FakeDevice::Received& r) { return r.bytes.startsWith("X ") ? answers : QList<QByteArray>{}; });
    const CliRun run = runCli(
        at(device.port(), QStringLiteral("127.0.0.1"),
           {QStringLiteral("--json"), QStringLiteral("search"), QStringLiteral("--wait"), QStringLiteral("300")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray listed = parseJson(run.out).array();
    ASSERT_EQ(static_cast<std::size_t>(listed.size()), GetParam().conflict.size()) << run.out;
    for (qsizetype i = 0; i < listed.size(); ++i)
        EXPECT_EQ(listed[i][QStringLiteral("conflict")].toBool(), GetParam().conflict[static_cast<std::size_t>(i)])
            << "device " << i << "\n"
            << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Lans, SearchConflict,
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

// An empty LAN is no error (exit 0), but standard error says so with the port and where the probe
// went; standard output holds no header without lines (text) or an empty array (JSON).
TEST(CliSearch, NothingAnsweredSaysSoOnStandardError)
{
    for (const bool json : {false, true}) {
        QStringList args{QStringLiteral("--port"),    QStringLiteral("9"),      QStringLiteral("--broadcast"),
                         QStringLiteral("127.0.0.1"), QStringLiteral("--wait"), QStringLiteral("200")};
        if (json)
            args << QStringLiteral("--json");
        const CliRun run = runCli(args << QStringLiteral("search"));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.err.contains("No device answered (port 9, probe to 127.0.0.1")) << run.err.toStdString();
        if (json) {
            EXPECT_TRUE(parseJson(run.out).array().isEmpty()) << run.out.toStdString();
        } else {
            EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        }
    }
}

} // namespace

namespace {

// --quiet: nothing on standard output, errors still on standard error, the exit status as without it;
// it cannot go with --verbose.
struct QuietCase {
    const char* name;
    std::vector<const char*> args;
    int exitCode;
    bool error; // something on standard error
};

class CliQuiet : public ::testing::TestWithParam<QuietCase> {};

TEST_P(CliQuiet, PrintsOnlyErrors)
{
    const QuietCase& c = GetParam();
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QStringList args{QStringLiteral("--quiet"), QStringLiteral("--wait"), QStringLiteral("300")};
    for (const char* arg : c.args)
        args << QString::fromLatin1(arg);
    const CliRun run = runCli(at(sim, args));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(!run.err.isEmpty(), c.error) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Commands, CliQuiet,
                         ::testing::Values(QuietCase{"Search", {"search"}, 0, false},
                                           QuietCase{"JsonShow", {"--json", "show", "00-50-C2-00-00-03"}, 0, false},
                                           QuietCase{"Set", {"set", "00-50-C2-00-00-03", "DeviceID=Quiet"}, 0, false},
                                           QuietCase{"NotFound", {"show", "00-50-C2-7F-7F-7F"}, 2, true},
                                           QuietCase{"WithVerbose", {"--verbose", "search"}, 1, true},
                                           QuietCase{"JsonBadOption", {"--json", "--port", "x", "search"}, 1, true}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
