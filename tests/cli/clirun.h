// SPDX-License-Identifier: Apache-2.0
#pragma once

// Running the real linkvane-cli against linkvane-devsim, and the simulator's devices as it builds them,
// for the end-to-end tests.

#include "devsimprocess.h"

#include "device.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Failure messages: what the CLI printed, readable.
std::ostream& operator<<(std::ostream& os, const QByteArray& bytes);
std::ostream& operator<<(std::ostream& os, const QString& text);

struct CliRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 elapsedMs = 0;
};

// Runs `program` to its end, with standard input a pipe (never a terminal), closed at once unless
// `onOutput` is given to answer what the program writes (it sees all the output so far). The event
// loop keeps running meanwhile, so the simulator's log pipe is drained and its writes never hold it up.
CliRun runProgram(const QString& program, const QStringList& args, int timeoutMs = 30000,
                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                  const std::function<void(QProcess&, const QByteArray&)>& onOutput = {});

// Runs linkvane-cli so.
CliRun runCli(const QStringList& args, int timeoutMs = 30000,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// Global options that point the CLI at the simulator, or at a port and broadcast address, with a
// search wait of kTestWaitMs (or LINKVANE_TEST_WAIT ms): the devices on loopback answer well within
// it, and every command that names a device sits out the whole wait. A --wait in `rest` is the one
// the CLI takes.
QStringList at(const DevsimProcess& sim, const QStringList& rest);
QStringList at(quint16 port, const QString& broadcast, const QStringList& rest);
// The same with the CLI's own default wait, for the tests of that wait.
QStringList atDefaultWait(const DevsimProcess& sim, const QStringList& rest);
constexpr int kTestWaitMs = 300;

QString qs(const std::string& text);

// Writes `text` to the file `name` in `dir`; its path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text);

// The devices of the simulator's default LAN, as it builds them.
std::vector<lv::Device> defaultDevices();
lv::Device deviceOfModel(const std::vector<lv::Device>& devices, const std::string& model);
QString macTextOf(const lv::Device& device);

// The datagrams the simulator received that start with `prefix`.
QList<QByteArray> receivedWith(DevsimProcess& sim, const QByteArray& prefix);

QJsonDocument parseJson(const QByteArray& text);
