// SPDX-License-Identifier: Apache-2.0
// Control commands from standard input and the quit on SIGINT or SIGTERM (on
// Windows: Ctrl-C, Ctrl-Break or the console closing).

#include "controlchannel.h"

#include "devsimserver.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cstdio>

#if defined(Q_OS_WIN)
#include <thread>

#include <windows.h>
#else
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace lv {

namespace {

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// A line longer than this is no command; it is dropped so that input cannot grow without bound.
constexpr qsizetype kMaxLine = 64 * 1024;

#if defined(Q_OS_WIN)

// The channel the console's handler reports to. The handler and the reader of
// standard input run on threads of their own and only post to the application's
// thread, where the channel is looked at.
QPointer<ControlChannel> g_channel;

BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            if (g_channel)
                Q_EMIT g_channel->quitRequested();
        },
        Qt::QueuedConnection);
    return TRUE;
}

#else

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

#endif

} // namespace

ControlChannel::ControlChannel(DevsimServer& server, bool readCommands, QObject* parent)
    : QObject(parent), m_server(server)
{
    connect(&m_server, &DevsimServer::quitRequested, this, &ControlChannel::quitRequested);
#if defined(Q_OS_WIN)
    g_channel = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    if (readCommands) {
        // Windows cannot watch a pipe or a console for input on the event loop,
        // so a thread reads standard input and hands each chunk over. It blocks in
        // the read until input ends, and the process may end while it waits.
        // ReadFile, not fread: it returns what a pipe holds now instead of
        // waiting for a whole buffer.
        std::thread([input = GetStdHandle(STD_INPUT_HANDLE)] {
            char buffer[4096];
            DWORD got = 0;
            while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
                const QByteArray chunk(buffer, static_cast<qsizetype>(got));
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [chunk] {
                        if (g_channel)
                            g_channel->take(chunk);
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    }
#else
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    if (g_signalPipe[0] >= 0) {
        m_signals = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        connect(m_signals.get(), &QSocketNotifier::activated, this, [this] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
            Q_EMIT quitRequested();
        });
    }
    if (readCommands) {
        m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(m_input.get(), &QSocketNotifier::activated, this, [this] {
            char buffer[4096];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                // End of input (or an error): the simulator keeps running without commands.
                m_input->setEnabled(false);
                return;
            }
            take(QByteArray(buffer, static_cast<qsizetype>(n)));
        });
    }
#endif
}

ControlChannel::~ControlChannel() = default;

void ControlChannel::take(const QByteArray& chunk)
{
    m_pending.append(chunk);
    qsizetype newline;
    while ((newline = m_pending.indexOf('\n')) >= 0) {
        QByteArray line = m_pending.left(newline);
        m_pending.remove(0, newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        writeOut(m_server.control(QString::fromLatin1(line)));
    }
    if (m_pending.size() > kMaxLine) {
        m_pending.clear();
        writeOut(QStringLiteral("error line too long\nend\n"));
    }
}

} // namespace lv
