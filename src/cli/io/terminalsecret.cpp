// SPDX-License-Identifier: Apache-2.0
// Reading a secret from the terminal with its echo switched off.

#include "terminalsecret.h"

#include <cstdio>
#include <iterator>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#include <termios.h>
#include <unistd.h>
#endif

namespace lv {

namespace {

#if !defined(_WIN32)
// A signal that ends the process at the prompt (Ctrl-C, a kill, the terminal hanging up) must not
// leave the terminal without echo: the handler puts the saved settings back, then lets the signal do
// what it would have done.
termios g_savedTerminal{};
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_previous[std::size(kEndingSignals)];

extern "C" void restoreEchoAndEnd(int signal)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
        if (kEndingSignals[i] == signal)
            sigaction(signal, &g_previous[i], nullptr);
    raise(signal);
}
#endif

std::optional<std::string> readLine()
{
    std::string line;
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// Switches the echo of the terminal off for its lifetime.
class EchoOff {
public:
    EchoOff()
    {
#if defined(_WIN32)
        m_handle = GetStdHandle(STD_INPUT_HANDLE);
        if (GetConsoleMode(m_handle, &m_saved))
            m_active = SetConsoleMode(m_handle, m_saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
#else
        if (tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            g_savedTerminal = m_saved;
            struct sigaction restore {};
            restore.sa_handler = restoreEchoAndEnd;
            sigemptyset(&restore.sa_mask);
            for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
                sigaction(kEndingSignals[i], nullptr, &g_previous[i]);
                // A signal the caller ignores stays ignored.
                if (g_previous[i].sa_handler != SIG_IGN)
                    sigaction(kEndingSignals[i], &restore, nullptr);
            }
            m_handling = true;
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
        }
#endif
    }
    ~EchoOff()
    {
#if defined(_WIN32)
        if (m_active)
            SetConsoleMode(m_handle, m_saved);
#else
        if (m_active)
            tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
        for (std::size_t i = 0; m_handling && i < std::size(kEndingSignals); ++i)
            if (g_previous[i].sa_handler != SIG_IGN)
                sigaction(kEndingSignals[i], &g_previous[i], nullptr);
#endif
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    bool m_active = false;
#if defined(_WIN32)
    HANDLE m_handle = nullptr;
    DWORD m_saved = 0;
#else
    termios m_saved{};
    bool m_handling = false;
#endif
};

} // namespace

bool stdinIsTerminal()
{
#if defined(_WIN32)
    // _isatty() is true for any character device, NUL included, so a script's
    // `< NUL` would still be asked; only a real console has a console mode.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

std::optional<QString> readSecretFromTerminal(const QString& prompt)
{
    if (!stdinIsTerminal())
        return std::nullopt;
    std::optional<std::string> line;
    {
        // Echo goes off before the prompt shows, so nothing typed after it is ever echoed.
        const EchoOff quiet;
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        line = readLine();
    }
    // The Enter that ended the line was not echoed either.
    std::fputs("\n", stderr);
    if (!line)
        return std::nullopt;
    return QString::fromLocal8Bit(line->data(), static_cast<qsizetype>(line->size()));
}

} // namespace lv
