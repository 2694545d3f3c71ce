// Control commands from standard input and the quit on SIGINT or SIGTERM.

#include "controlchannel.h"

#include "devsimserver.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace lv {

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// A line longer than this is no command; it is dropped so that input cannot grow without bound.
constexpr qsizetype kMaxLine = 64 * 1024;

} // namespace

ControlChannel::ControlChannel(DevsimServer& server, bool readCommands, QObject* parent)
    : QObject(parent), m_server(server)
{
    connect(&m_server, &DevsimServer::quitRequested, this, &ControlChannel::quitRequested);
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    if (g_signalPipe[0] >= 0) {
        m_signals = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        connect(m_signals.get(), &QSocketNotifier::activated, this, &ControlChannel::readSignal);
    }
    if (readCommands) {
        m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(m_input.get(), &QSocketNotifier::activated, this, &ControlChannel::readInput);
    }
}

ControlChannel::~ControlChannel() = default;

void ControlChannel::readSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
    Q_EMIT quitRequested();
}

void ControlChannel::readInput()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // End of input (or an error): the simulator keeps running without commands.
        m_input->setEnabled(false);
        return;
    }
    m_pending.append(buffer, static_cast<qsizetype>(n));
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
