// SPDX-License-Identifier: Apache-2.0
#pragma once

// linkvane-cli: search, show and set from the command line, through the same session classes and
// headless setup forms as the window, so the bytes on the wire are the window's.

#include "helpformat.h"

#include <QStringList>
#include <QTextStream>

namespace lv {

// How runCli ends once its command is done.
enum class CliEnd {
    Return,     // everything freed, the exit code returned (tests, callers in process)
    EndProcess, // output flushed, then the process ends with the exit code at once: what a search of
                // tens of thousands of devices built would take longer to free than to print
};

// Runs one command. `args` are the arguments after the program name. Needs a QCoreApplication:
// the waits are event loops.
int runCli(const QStringList& args, QTextStream& out, QTextStream& err, CliEnd end = CliEnd::Return);

struct Command;

// The general help: the global options and every command of the registry, wrapped to `width`.
QString usageText(int width = helpWidth());
// A command's own help, with the global options.
QString commandHelpText(const Command& command, int width = helpWidth());
// "unknown command `serch`; did you mean `search`?"
QString unknownCommandMessage(const QString& name);

} // namespace lv
