// SPDX-License-Identifier: Apache-2.0
// Knowing what a device took and putting it back: apply --backup writes the undo plan before anything is
// sent, and applying it restores every device; --verify compares what devices report after their
// Update; --dry-run lists each field as loaded and new.

#include "clirun.h"
#include "devsimprocess.h"
#include "programs.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string_view>
#include <tuple>

namespace {

QStringList withWait(const QStringList& args)
{
    return QStringList{QStringLiteral("--wait"), QStringLiteral("500")} + args;
}

QString writePlan(const QTemporaryDir& dir, const QString& name, const QJsonArray& devices)
{
    return writeFile(dir, name, QJsonDocument(QJsonObject{{QStringLiteral("devices"), devices}}).toJson());
}

// What a fresh show reports of every device that opens a window, by MAC text, each asked with its
// password (none when not given).
std::map<QString, QByteArray> shownDevices(const DevsimProcess& sim, const QStringList& macs,
                                           const QStringList& passwords = {})
{
    std::map<QString, QByteArray> shown;
    for (const QString& mac : macs) {
        const QString password = passwords.value(static_cast<qsizetype>(shown.size()));
        const CliRun run = runCli(at(sim, withWait({QStringLiteral("--password"), password,
                                                    QStringLiteral("--show-secrets"), QStringLiteral("show"), mac})));
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

// Every device of a 16-device LAN of mixed models is changed (its device ID, IP address, first port's
// baud rate and setup password) with --backup; applying the backup, which logs in with the new
// passwords, puts every one back as a fresh show reports it, secrets included.
TEST(CliBackup, ApplyingTheBackupRestoresSixteenMixedDevices)
{
    const QString old = QStringLiteral("Old");
    DevsimProcess sim({QStringLiteral("--devices"), QStringLiteral("16"), QStringLiteral("--password"), old});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    const CliRun exported = runCli(at(sim, withWait({QStringLiteral("--password"), old, QStringLiteral("export"),
                                                     QStringLiteral("--all"), QStringLiteral("--roles")})));
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    QJsonArray changes;
    QStringList macs;
    QStringList passwords;
    for (const QJsonValue& device : parseJson(exported.out)[QStringLiteral("devices")].toArray()) {
        const QJsonObject set = device[QStringLiteral("set")].toObject();
        const QString n = QString::number(macs.size());
        passwords << QStringLiteral("New-") + n;
        const std::map<QString, QString> values{
            {QStringLiteral("deviceId"), QStringLiteral("Undo-") + n},
            {QStringLiteral("ip"), QStringLiteral("10.77.0.") + n},
            {QStringLiteral("port1.baud"), otherBaud(set[QStringLiteral("port1.baud")].toString())},
            {QStringLiteral("password"), passwords.back()}};
        QJsonObject change;
        for (const auto& [role, value] : values)
            if (set.contains(role))
                change.insert(role, value);
        // Every window has the three roles; one model has no port with a baud rate.
        ASSERT_TRUE(change.contains(QStringLiteral("deviceId")) && change.contains(QStringLiteral("ip")) &&
                    change.contains(QStringLiteral("password")))
            << device[QStringLiteral("device")].toString();
        macs << device[QStringLiteral("device")].toString();
        changes.append(QJsonObject{{QStringLiteral("device"), macs.back()}, {QStringLiteral("set"), change}});
    }
    ASSERT_GE(macs.size(), 14) << "most of the 16 open a window";
    const std::map<QString, QByteArray> before = shownDevices(sim, macs, QStringList(macs.size(), old));
    const QString backup = dir.filePath(QStringLiteral("backup.json"));

    const CliRun applied = runCli(at(
        sim, withWait({QStringLiteral("--password"), old, QStringLiteral("--json"), QStringLiteral("apply"),
                       QStringLiteral("--backup"), backup, writePlan(dir, QStringLiteral("change.json"), changes)})));
    ASSERT_EQ(applied.exitCode, 0) << applied.err << applied.out;
    EXPECT_TRUE(applied.err.contains("holds passwords in clear (file mode 0600)")) << applied.err;
    for (const QJsonValue& result : parseJson(applied.out).array())
        EXPECT_EQ(result[QStringLiteral("result")].toString(), QStringLiteral("updated"));
    const std::map<QString, QByteArray> changed = shownDevices(sim, macs, passwords);
    for (const QString& mac : macs)
        EXPECT_NE(changed.at(mac), before.at(mac)) << mac;

    const CliRun restored = runCli(at(sim, withWait({QStringLiteral("apply"), backup})));
    ASSERT_EQ(restored.exitCode, 0) << restored.err << restored.out;
    const std::map<QString, QByteArray> after = shownDevices(sim, macs, QStringList(macs.size(), old));
    for (const QString& mac : macs)
        EXPECT_EQ(after.at(mac), before.at(mac)) << mac;
}

#if defined(Q_OS_LINUX)
struct BackupPathCase {
    const char* name;
    const char* before; // shell commands that set up the directory
    const char* path;   // as --backup names it
    int exitCode;
    bool sends;                          // the run sends, and the backup is then a regular file of mode 0600
    bool dryRun = false;                 // --dry-run
    const char* limit = "";              // shell commands that limit the run
    const char* deviceId = "X";          // the device's own: apply sends nothing, set its header alone
    const char* during = "";             // shell commands run once the search has begun
    const char* written = "backup.json"; // where a run that sends leaves the backup
    const char* password = "";           // the device's setup password: the backup holds it in clear
    const char* said = "";               // on standard error
};

// `script` run by the shell in `dir`, with `args` as "$@".
CliRun inDir(const QTemporaryDir& dir, const QString& script, const QStringList& args = {})
{
    return runProgram(QStringLiteral("/bin/sh"),
                      QStringList{QStringLiteral("-c"), QStringLiteral("cd \"$0\" && ") + script, dir.path()} + args);
}

class CliBackupPath : public ::testing::TestWithParam<std::tuple<BackupPathCase, const char*>> {};

// A backup is written whole, to a regular file only its owner can read, in the folder its path named as
// the run began, before anything is sent; the run says so when it holds a password in clear. A path that
// cannot take it, a full disk or a dry run leaves the directory as it was and sends nothing.
TEST_P(CliBackupPath, IsWrittenWholeAndPrivatelyOrNothingIsSent)
{
    const auto& [c, command] = GetParam();
    const QString password = QString::fromLatin1(c.password);
    DevsimProcess sim(password.isEmpty() ? QStringList{} : QStringList{QStringLiteral("--password"), password});
    ASSERT_TRUE(sim.started());
    QTemporaryDir dir;
    if (inDir(dir, QString::fromLatin1(c.before)).exitCode != 0)
        GTEST_SKIP() << c.before << " failed (device nodes need root)";
    const QString mac = QStringLiteral("00-50-C2-00-00-01");
    const QString deviceId = QString::fromLatin1(c.deviceId);
    if (std::string_view(command) == "set" && deviceId != QLatin1String("X"))
        GTEST_SKIP() << "set sends its header alone";
    const QJsonObject set{{QStringLiteral("DeviceID"), deviceId}};
    QStringList args = at(sim, withWait({QStringLiteral("--password"), password, QString::fromLatin1(command),
                                         QStringLiteral("--backup"), QString::fromLatin1(c.path)}));
    args += std::string_view(command) == "set"
                ? QStringList{mac, QStringLiteral("DeviceID=X")}
                : QStringList{writePlan(dir, QStringLiteral("plan.json"),
                                        {QJsonObject{{QStringLiteral("device"), mac}, {QStringLiteral("set"), set}}})};
    if (c.dryRun)
        args << QStringLiteral("--dry-run");
    // Every entry with its mode and time, and every regular file's bytes: a file named "-" shows too.
    const QString listing = QStringLiteral("ls -lAn --full-time && find . -type f -exec cat {} +");
    QByteArray before = inDir(dir, listing).out;
    // The folder is swapped or a link put in once the simulator saw the search's probe: the CLI took the
    // backup's path before it searched, and writes the backup only once the device answered.
    bool changed = !*c.during;
    const QMetaObject::Connection searched =
        QObject::connect(&sim.process(), &QProcess::readyReadStandardOutput, &sim.process(), [&] {
            if (changed || sim.received().isEmpty())
                return;
            changed = true;
            ASSERT_EQ(inDir(dir, QString::fromLatin1(c.during)).exitCode, 0) << c.during;
            before = inDir(dir, listing).out;
        });
    const CliRun run = inDir(dir, QStringLiteral("umask 022 && %1 exec \"$@\"").arg(QString::fromLatin1(c.limit)),
                             QStringList{testprograms::cli()} + args);
    QObject::disconnect(searched);
    EXPECT_TRUE(changed);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_TRUE(run.err.contains(c.said)) << run.err;
    EXPECT_EQ(receivedWith(sim, "S ").isEmpty(), !c.sends);
    EXPECT_EQ(run.err.contains("holds passwords in clear"), c.sends && !password.isEmpty()) << run.err;
    // One backup, where the path named it when the CLI took it: no link's target holds one.
    if (c.sends)
        EXPECT_EQ(inDir(dir, QStringLiteral("stat -c '%F %a' \"$1\" && grep -rl '\"window\"' ."),
                        {QString::fromLatin1(c.written)})
                      .out,
                  "regular file 600\n./" + QByteArray(c.written) + '\n');
    else
        EXPECT_EQ(inDir(dir, listing).out, before);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CliBackupPath,
    ::testing::Combine(
        ::testing::Values(
            BackupPathCase{"NewName", "true", "backup.json", 0, true},
            BackupPathCase{"Replaces0644", "echo old >backup.json && chmod 644 backup.json", "backup.json", 0, true},
            BackupPathCase{"DryRunLeavesAFile", "echo old >backup.json", "backup.json", 0, false, true},
            BackupPathCase{"DryRunMakesNone", "true", "backup.json", 0, false, true},
            BackupPathCase{"UnchangedLeavesAFile", "echo old >backup.json", "backup.json", 0, false, false, "",
                           "DEV0001"},
            BackupPathCase{"FullDisk", "echo old >backup.json", "backup.json", 1, false, false,
                           "trap '' XFSZ && ulimit -f 0 &&"},
            BackupPathCase{.name = "NoDirectory",
                           .before = "true",
                           .path = "missing/backup.json",
                           .exitCode = 1,
                           .sends = false,
                           .said = "backup missing/backup.json: No such file or directory; nothing was sent"},
            BackupPathCase{"Link", "echo old >target && ln -s target backup.json", "backup.json", 1, false},
            BackupPathCase{"DanglingLink", "ln -s target backup.json", "backup.json", 1, false},
            BackupPathCase{"DeviceNode", "mknod backup.json c 1 7", "backup.json", 1, false},
            BackupPathCase{"Fifo", "mkfifo backup.json", "backup.json", 1, false},
            BackupPathCase{"Directory", "mkdir backup.json", "backup.json", 1, false},
            BackupPathCase{"Dash", "true", "-", 1, false},
            BackupPathCase{"FolderSwappedDuringSearch", "mkdir sub elsewhere", "sub/backup.json", 0, true, false, "",
                           "X", "mv sub moved && ln -s elsewhere sub", "moved/backup.json"},
            BackupPathCase{.name = "LinkPutInDuringSearch",
                           .before = "echo old >target && echo old >backup.json",
                           .path = "backup.json",
                           .exitCode = 1,
                           .sends = false,
                           .during = "ln -sf target backup.json",
                           .said = "it became a symbolic link or another kind of file while it was written"},
            BackupPathCase{"PasswordNoSecretChanged", "true", "backup.json", 0, true, false, "", "X", "", "backup.json",
                           "Secret-1"}),
        ::testing::Values("set", "apply")),
    [](const auto& row) { return std::string(std::get<0>(row.param).name) + '_' + std::get<1>(row.param); });
#endif

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

// apply --verify: a device that ignored a field is a mismatch naming it, one whose check gets no answer
// is no success either (exit 5 for both); the other device is verified.
struct ApplyVerifyCase {
    const char* name;
    const char* fault;   // of the second device, a KR-770A
    const char* result;  // of the check
    const char* applied; // the device's result
    const char* said;    // in the text output
    QStringList differing;
    int requests; // the configuration requests it got: one to load, then the check's, no more than its bound allows
};

class CliApplyVerify : public ::testing::TestWithParam<ApplyVerifyCase> {};

TEST_P(CliApplyVerify, ReportsEveryDevicesCheck)
{
    const ApplyVerifyCase& c = GetParam();
    QTemporaryDir dir;
    QJsonArray devices;
    for (const char* mac : {"00-50-C2-00-00-01", "00-50-C2-00-00-03"})
        devices.append(
            QJsonObject{{QStringLiteral("device"), QString::fromLatin1(mac)},
                        {QStringLiteral("set"), QJsonObject{{QStringLiteral("SIOBaud"), QStringLiteral("115200")},
                                                            {QStringLiteral("DeviceID"), QStringLiteral("V")}}}});
    const QStringList apply{QStringLiteral("apply"), QStringLiteral("--verify"),
                            writePlan(dir, QStringLiteral("plan.json"), devices)};
    // Each run on a LAN of its own: a device that restarted is still silent when the next run asks it.
    QByteArray counts;
    const auto applyOnce = [&](const QStringList& args) {
        DevsimProcess sim({QStringLiteral("--fault"), QString::fromLatin1(c.fault)});
        EXPECT_TRUE(sim.started());
        const CliRun run = runCli(at(sim, withWait(args)));
        counts = sim.control("counts").join('\n');
        return run;
    };
    const CliRun run = applyOnce(QStringList{QStringLiteral("--json")} + apply);
    EXPECT_TRUE(QString::fromLatin1(counts).contains(
        QRegularExpression(QStringLiteral("0.0.3 KR-770A \\S+ search=1 G=%1 ").arg(c.requests))))
        << counts;
    EXPECT_EQ(run.exitCode, 5) << run.err;
    const QJsonArray results = parseJson(run.out).array();
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0][QStringLiteral("verify")][QStringLiteral("result")].toString(), QStringLiteral("verified"));
    EXPECT_EQ(results[1][QStringLiteral("result")].toString(), QString::fromLatin1(c.applied));
    const QJsonObject checked = results[1][QStringLiteral("verify")].toObject();
    EXPECT_EQ(checked[QStringLiteral("result")].toString(), QString::fromLatin1(c.result));
    // The baud as the text shows it, and as it went on the wire.
    const QJsonValue baud = checked[QStringLiteral("fields")][0];
    EXPECT_EQ(baud[QStringLiteral("sent")].toString(), QStringLiteral("115200")) << run.out;
    EXPECT_EQ(baud[QStringLiteral("sentValue")].toString(), QStringLiteral("9")) << run.out;
    QStringList differing;
    for (const QJsonValue& field : checked[QStringLiteral("fields")].toArray())
        if (field[QStringLiteral("sent")] != field[QStringLiteral("reported")])
            differing << field[QStringLiteral("tag")].toString();
    EXPECT_EQ(differing, c.differing);
    const CliRun text = applyOnce(apply);
    EXPECT_EQ(text.exitCode, 5) << text.err;
    EXPECT_TRUE(text.out.contains(c.said)) << text.out;
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CliApplyVerify,
    ::testing::Values(
        // The text names the field with the value sent and the value reported, as the window shows them.
        ApplyVerifyCase{"KeepsAField",
                        "ignore-field:SIOBaud@KR-770A",
                        "mismatch",
                        "mismatch",
                        "SIOBaud: sent 115200, reported 38400",
                        {QStringLiteral("SIOBaud")},
                        2},
        // Silent past the check's 5 s after its Update: no field reported.
        ApplyVerifyCase{"CheckGetsNoAnswer",
                        "restart:6000@KR-770A",
                        "no answer",
                        "updated",
                        "; the check got no answer",
                        {QStringLiteral("SIOBaud"), QStringLiteral("DeviceID")},
                        6}),
    [](const auto& p) { return std::string(p.param.name); });

// --dry-run lists each field it would change with its value as loaded and the new one, lists by entry;
// a real apply lists the fields it changed alike.
TEST(CliDryRun, ListsEachFieldAsLoadedAndNew)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started());
    const CliRun set = runCli(at(sim, withWait({QStringLiteral("--json"), QStringLiteral("set"),
                                                QStringLiteral("--dry-run"), QStringLiteral("00-50-C2-00-00-01"),
                                                QStringLiteral("SIOBaud=115200"), QStringLiteral("DeviceID=Pump-7")})));
    ASSERT_EQ(set.exitCode, 0) << set.err;
    // A list by its label for a person, by its index as it goes on the wire for a script.
    const QJsonArray expected{QJsonObject{{QStringLiteral("tag"), QStringLiteral("SIOBaud")},
                                          {QStringLiteral("loaded"), QStringLiteral("9600")},
                                          {QStringLiteral("new"), QStringLiteral("115200")},
                                          {QStringLiteral("loadedValue"), QStringLiteral("5")},
                                          {QStringLiteral("newValue"), QStringLiteral("9")}},
                              QJsonObject{{QStringLiteral("tag"), QStringLiteral("DeviceID")},
                                          {QStringLiteral("loaded"), QStringLiteral("DEV0001")},
                                          {QStringLiteral("new"), QStringLiteral("Pump-7")},
                                          {QStringLiteral("loadedValue"), QStringLiteral("DEV0001")},
                                          {QStringLiteral("newValue"), QStringLiteral("Pump-7")}}};
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
    const CliRun applyText = runCli(at(sim, withWait({QStringLiteral("apply"), QStringLiteral("--dry-run"), plan})));
    EXPECT_TRUE(applyText.out.contains("    SIOBaud: 9600 -> 115200\n")) << applyText.out;
    EXPECT_TRUE(receivedWith(sim, "S ").isEmpty());
    // The real apply lists the same changes: a caller need not run twice to learn what it changed.
    const CliRun applied = runCli(at(sim, withWait({QStringLiteral("--json"), QStringLiteral("apply"), plan})));
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_EQ(parseJson(applied.out).array()[0][QStringLiteral("fields")].toArray(), expected) << applied.out;
}

} // namespace
