// SPDX-License-Identifier: Apache-2.0
// Knowing what a device took and putting it back: apply --backup writes the undo plan before anything is
// sent, and applying it restores every device; --verify compares what devices report after their
// Update; --dry-run lists each field as loaded and new.

#include "clirun.h"
#include "devsimprocess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

QStringList withWait(const QStringList& args)
{
    return QStringList{QStringLiteral("--wait"), QStringLiteral("500")} + args;
}

QString writePlan(const QTemporaryDir& dir, const QString& name, const QJsonArray& devices)
{
    return writeFile(dir, name, QJsonDocument(QJsonObject{{QStringLiteral("devices"), devices}}).toJson());
}

// What a fresh show reports of every device that opens a window, by MAC text.
std::map<QString, QByteArray> shownDevices(const DevsimProcess& sim, const QStringList& macs)
{
    std::map<QString, QByteArray> shown;
    for (const QString& mac : macs) {
        const CliRun run = runCli(at(sim, withWait({QStringLiteral("--show-secrets"), QStringLiteral("show"), mac})));
        EXPECT_EQ(run.exitCode, 0) << mac << run.err;
        shown[mac] = run.out;
    }
    return shown;
}

// Another entry of a list than the one `label` names, from the labels a window offers.
QString otherBaud(const QString& label)
{
    return label == QLatin1String("19200") ? QStringLiteral("4800") : QStringLiteral("19200");
}

// Every device of a 16-device LAN of mixed models is changed (its device ID and its first port's
// baud rate) with --backup; applying the backup puts every one back as a fresh show reports it.
TEST(CliBackup, ApplyingTheBackupRestoresSixteenMixedDevices)
{
    DevsimProcess sim({QStringLiteral("--devices"), QStringLiteral("16")});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const CliRun exported = runCli(at(sim, withWait({QStringLiteral("export"), QStringLiteral("--all")})));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    QJsonArray changes;
    QStringList macs;
    for (const QJsonValue& device : parseJson(exported.out)[QStringLiteral("devices")].toArray()) {
        const QJsonObject set = device[QStringLiteral("set")].toObject();
        QJsonObject change;
        for (auto it = set.begin(); it != set.end(); ++it) {
            if (it.key().endsWith(QLatin1String("DeviceID")))
                change.insert(it.key(), QString(QStringLiteral("Undo-") + QString::number(macs.size())));
            if (it.key() == QLatin1String("SIOBaud") || it.key() == QLatin1String("COM1_Baud"))
                change.insert(it.key(), otherBaud(it.value().toString()));
        }
        ASSERT_FALSE(change.isEmpty()) << device[QStringLiteral("window")].toString();
        macs << device[QStringLiteral("device")].toString();
        changes.append(QJsonObject{{QStringLiteral("device"), macs.back()}, {QStringLiteral("set"), change}});
    }
    ASSERT_GE(macs.size(), 14) << "most of the 16 open a window";
    const std::map<QString, QByteArray> before = shownDevices(sim, macs);
    const QString backup = dir.filePath(QStringLiteral("backup.json"));

    const CliRun applied =
        runCli(at(sim, withWait({QStringLiteral("--json"), QStringLiteral("apply"), QStringLiteral("--backup"), backup,
                                 writePlan(dir, QStringLiteral("change.json"), changes)})));
    ASSERT_EQ(applied.exitCode, 0) << applied.err << applied.out;
    for (const QJsonValue& result : parseJson(applied.out).array())
        EXPECT_EQ(result[QStringLiteral("result")].toString(), QStringLiteral("updated"));
    const std::map<QString, QByteArray> changed = shownDevices(sim, macs);
    for (const QString& mac : macs)
        EXPECT_NE(changed.at(mac), before.at(mac)) << mac;

    const CliRun restored = runCli(at(sim, withWait({QStringLiteral("apply"), backup})));
    ASSERT_EQ(restored.exitCode, 0) << restored.err << restored.out;
    const std::map<QString, QByteArray> after = shownDevices(sim, macs);
    for (const QString& mac : macs)
        EXPECT_EQ(after.at(mac), before.at(mac)) << mac;
}

// A backup that cannot be written stops everything: no set command reaches any device.
TEST(CliBackup, AnUnwritableBackupSendsNothing)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const QString plan =
        writePlan(dir, QStringLiteral("plan.json"),
                  QJsonArray{QJsonObject{
                      {QStringLiteral("device"), QStringLiteral("00-50-C2-00-00-01")},
                      {QStringLiteral("set"), QJsonObject{{QStringLiteral("DeviceID"), QStringLiteral("X")}}}}});
    const QString nowhere = dir.filePath(QStringLiteral("missing/backup.json"));
    const CliRun applied =
        runCli(at(sim, withWait({QStringLiteral("apply"), QStringLiteral("--backup"), nowhere, plan})));
    EXPECT_EQ(applied.exitCode, 1);
    EXPECT_TRUE(applied.err.contains("nothing was sent")) << applied.err;
    const CliRun set = runCli(at(sim, withWait({QStringLiteral("set"), QStringLiteral("--backup"), nowhere,
                                                QStringLiteral("00-50-C2-00-00-01"), QStringLiteral("DeviceID=X")})));
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
}

// set --backup writes the fields it changes, as loaded and as the window shows them; applying it puts
// them back.
TEST(CliBackup, SetBackupHoldsTheChangedFieldsAsLoaded)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const QString mac = QStringLiteral("00-50-C2-00-00-01");
    const CliRun before = runCli(at(sim, withWait({QStringLiteral("show"), mac})));
    const QString backup = dir.filePath(QStringLiteral("one.json"));
    const CliRun set =
        runCli(at(sim, withWait({QStringLiteral("set"), QStringLiteral("--backup"), backup, mac,
                                 QStringLiteral("SIOBaud=115200"), QStringLiteral("DeviceID=Changed")})));
    ASSERT_EQ(set.exitCode, 0) << set.err;
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray devices = parseJson(file.readAll())[QStringLiteral("devices")].toArray();
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0][QStringLiteral("device")].toString(), mac);
    EXPECT_EQ(devices[0][QStringLiteral("window")].toString(), QStringLiteral("frmSetup"));
    EXPECT_EQ(devices[0][QStringLiteral("set")].toObject(),
              (QJsonObject{{QStringLiteral("SIOBaud"), QStringLiteral("9600")},
                           {QStringLiteral("DeviceID"), QStringLiteral("DEV0001")}}));
    ASSERT_EQ(runCli(at(sim, withWait({QStringLiteral("apply"), backup}))).exitCode, 0);
    EXPECT_EQ(runCli(at(sim, withWait({QStringLiteral("show"), mac}))).out, before.out);
}

// apply --verify: a device that ignored a field is a mismatch naming it (exit 5); the others verified.
TEST(CliApplyVerify, NamesTheFieldADeviceKept)
{
    DevsimProcess sim({QStringLiteral("--fault"), QStringLiteral("ignore-field:SIOBaud@KR-770A")});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    QJsonArray devices;
    for (const char* mac : {"00-50-C2-00-00-01", "00-50-C2-00-00-03"})
        devices.append(
            QJsonObject{{QStringLiteral("device"), QString::fromLatin1(mac)},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("SIOBaud"), QStringLiteral("115200")},
                                                            {QStringLiteral("DeviceID"), QStringLiteral("V")}}}});
    const QStringList apply{QStringLiteral("apply"), QStringLiteral("--verify"),
                            writePlan(dir, QStringLiteral("plan.json"), devices)};
    const CliRun run = runCli(at(sim, withWait(QStringList{QStringLiteral("--json")} + apply)));
    EXPECT_EQ(run.exitCode, 5) << run.err;
    const QJsonArray results = parseJson(run.out).array();
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0][QStringLiteral("verify")][QStringLiteral("result")].toString(), QStringLiteral("verified"));
    const QJsonObject kept = results[1][QStringLiteral("verify")].toObject();
    EXPECT_EQ(kept[QStringLiteral("result")].toString(), QStringLiteral("mismatch"));
    QStringList differing;
    for (const QJsonValue& field : kept[QStringLiteral("fields")].toArray())
        if (field[QStringLiteral("sent")] != field[QStringLiteral("reported")])
            differing << field[QStringLiteral("tag")].toString();
    EXPECT_EQ(differing, QStringList{QStringLiteral("SIOBaud")});
    // The text names the field with the value sent and the value reported, as the window shows them.
    const CliRun text = runCli(at(sim, withWait(apply)));
    EXPECT_TRUE(text.out.contains("SIOBaud: sent 115200, reported 38400")) << text.out;
}

// --dry-run lists each field it would change with its value as loaded and the new one, lists by entry.
TEST(CliDryRun, ListsEachFieldAsLoadedAndNew)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun set = runCli(at(sim, withWait({QStringLiteral("--json"), QStringLiteral("set"),
                                                QStringLiteral("--dry-run"), QStringLiteral("00-50-C2-00-00-01"),
                                                QStringLiteral("SIOBaud=115200"), QStringLiteral("DeviceID=Pump-7")})));
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const QJsonArray expected{QJsonObject{{QStringLiteral("tag"), QStringLiteral("SIOBaud")},
                                          {QStringLiteral("loaded"), QStringLiteral("9600")},
                                          {QStringLiteral("new"), QStringLiteral("115200")}},
                              QJsonObject{{QStringLiteral("tag"), QStringLiteral("DeviceID")},
                                          {QStringLiteral("loaded"), QStringLiteral("DEV0001")},
                                          {QStringLiteral("new"), QStringLiteral("Pump-7")}}};
    EXPECT_EQ(parseJson(set.out)[QStringLiteral("fields")].toArray(), expected) << set.out;
    const CliRun text =
        runCli(at(sim, withWait({QStringLiteral("set"), QStringLiteral("--dry-run"),
                                 QStringLiteral("00-50-C2-00-00-01"), QStringLiteral("SIOBaud=115200")})));
    EXPECT_TRUE(text.out.contains("  SIOBaud: 9600 -> 115200\n")) << text.out;

    QTemporaryDir dir;
    const QString plan =
        writePlan(dir, QStringLiteral("plan.json"),
                  QJsonArray{QJsonObject{
                      {QStringLiteral("device"), QStringLiteral("00-50-C2-00-00-01")},
                      {QStringLiteral("set"), QJsonObject{{QStringLiteral("SIOBaud"), QStringLiteral("115200")},
                                                          {QStringLiteral("DeviceID"), QStringLiteral("Pump-7")}}}}});
    const CliRun apply = runCli(
        at(sim, withWait({QStringLiteral("--json"), QStringLiteral("apply"), QStringLiteral("--dry-run"), plan})));
    ASSERT_EQ(apply.exitCode, 0) << apply.err;
    EXPECT_EQ(parseJson(apply.out).array()[0][QStringLiteral("fields")].toArray(), expected) << apply.out;
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
}

} // namespace
