// SPDX-License-Identifier: Apache-2.0
#pragma once

// Control of a running simulator process: control commands read from standard
// input line by line, their output written to standard output, and SIGINT or
// SIGTERM (Ctrl-C or Ctrl-Break on a Windows console) turned into an orderly
// quit (so that the counts at exit are printed).

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace lv {

class DevsimServer;

class ControlChannel final : public QObject {
    Q_OBJECT
public:
    // `readCommands`: read control commands from standard input; quits always follow the signals.
    ControlChannel(DevsimServer& server, bool readCommands, QObject* parent = nullptr);
    ~ControlChannel() override;

    // Control text as it arrives: complete lines are run, the rest waits.
    void take(const QByteArray& chunk);

Q_SIGNALS:
    void quitRequested();

private:
    DevsimServer& m_server;
    QByteArray m_pending;
    std::unique_ptr<QSocketNotifier> m_input;
    std::unique_ptr<QSocketNotifier> m_signals;
};

} // namespace lv
