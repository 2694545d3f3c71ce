// SPDX-License-Identifier: Apache-2.0
// SIGINT and SIGTERM as requests to stop, counted by a handler that only writes two atomic flags.

#include "interruption.h"

#include <csignal>

namespace lv {

namespace {

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_count = 0;

using Handler = void (*)(int);
Handler g_previousInt = SIG_DFL;
Handler g_previousTerm = SIG_DFL;

extern "C" void noteSignal(int number)
{
    if (g_signal == 0)
        g_signal = number;
    g_count = g_count + 1;
    // Some systems reset the handler once it has run.
    std::signal(number, noteSignal);
}

} // namespace

Interruption::Interruption()
{
    g_signal = 0;
    g_count = 0;
    g_previousInt = std::signal(SIGINT, noteSignal);
    g_previousTerm = std::signal(SIGTERM, noteSignal);
    // A signal the caller ignores (as a shell does for a job in the background) stays ignored.
    if (g_previousInt == SIG_IGN)
        std::signal(SIGINT, SIG_IGN);
    if (g_previousTerm == SIG_IGN)
        std::signal(SIGTERM, SIG_IGN);
}

Interruption::~Interruption()
{
    std::signal(SIGINT, g_previousInt == SIG_ERR ? SIG_DFL : g_previousInt);
    std::signal(SIGTERM, g_previousTerm == SIG_ERR ? SIG_DFL : g_previousTerm);
}

int Interruption::signal()
{
    return g_signal;
}

int Interruption::count()
{
    return g_count;
}

int Interruption::exitCode()
{
    return 128 + g_signal;
}

} // namespace lv
