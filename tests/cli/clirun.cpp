// SPDX-License-Identifier: Apache-2.0
// Running linkvane-cli for the end-to-end tests.

#include "clirun.h"
#include "programs.h"

#include "printers.h"

#include "devicelist.h"
#include "modeltable.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

std::ostream& operator<<(std::ostream& os, const QByteArray& bytes)
{
    return os << escapeBytes(bytes);
}

std::ostream& operator<<(std::ostream& os, const QString& text)
{
    return os << text.toStdString();
}

CliRun runProgram(const QString& program, const QStringList& args, int timeoutMs,
                  const QProcessEnvironment& environment,
                  const std::function<void(QProcess&, const QByteArray&)>& onOutput)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (onOutput)
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, [&] {
            run.out += process.readAllStandardOutput();
            onOutput(process, run.out);
        });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    if (!process.waitForStarted(5000))
        return run;
    if (!onOutput)
        process.closeWriteChannel();
    if (process.state() == QProcess::Running)
        loop.exec();
    run.elapsedMs = clock.elapsed();
    run.finished = process.state() == QProcess::NotRunning;
    if (!run.finished) {
        process.kill();
        process.waitForFinished(3000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out += process.readAllStandardOutput();
    run.err = process.readAllStandardError();
#if defined(Q_OS_WIN)
    // The programs write text mode on Windows: every line ends with CR LF.
    run.out.replace("\r\n", "\n");
    run.err.replace("\r\n", "\n");
#endif
    return run;
}

CliRun runCli(const QStringList& args, int timeoutMs, const QProcessEnvironment& environment)
{
    return runProgram(testprograms::cli(), args, timeoutMs, environment);
}

QStringList at(const DevsimProcess& sim, const QStringList& rest)
{
    return at(sim.port(), QStringLiteral("127.255.255.255"), rest);
}

QStringList at(quint16 port, const QString& broadcast, const QStringList& rest)
{
    bool set = false;
    const int waitMs = qEnvironmentVariableIntValue("LINKVANE_TEST_WAIT", &set);
    return QStringList{QStringLiteral("--broadcast"), broadcast,
                       QStringLiteral("--port"),      QString::number(port),
                       QStringLiteral("--wait"),      QString::number(set ? waitMs : kTestWaitMs)} +
           rest;
}

QStringList atDefaultWait(const DevsimProcess& sim, const QStringList& rest)
{
    return QStringList{QStringLiteral("--broadcast"), QStringLiteral("127.255.255.255"), QStringLiteral("--port"),
                       QString::number(sim.port())} +
           rest;
}

QString qs(const std::string& text)
{
    return QString::fromLatin1(text.c_str(), static_cast<qsizetype>(text.size()));
}

std::vector<lv::Device> defaultDevices()
{
    std::vector<lv::Device> devices;
    const auto& mix = lv::simulatedModels();
    for (std::size_t i = 0; i < mix.size(); ++i)
        devices.push_back(lv::makeDevice(mix[i], static_cast<int>(i), ""));
    return devices;
}

lv::Device deviceOfModel(const std::vector<lv::Device>& devices, const std::string& model)
{
    for (const lv::Device& d : devices)
        if (d.model == model)
            return d;
    throw std::runtime_error("no device of model " + model);
}

QString macTextOf(const lv::Device& device)
{
    return qs(device.mac.text());
}

QList<QByteArray> receivedWith(DevsimProcess& sim, const QByteArray& prefix)
{
    QList<QByteArray> matching;
    for (const QByteArray& d : sim.received())
        if (d.startsWith(prefix))
            matching.append(d);
    return matching;
}

QJsonDocument parseJson(const QByteArray& text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString() << "\n" << text;
    return doc;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
}
