#pragma once

// linkvane-cli: search, show and set from the command line, through the same session classes and
// headless setup forms as the window, so the bytes on the wire are the window's.

#include <QStringList>
#include <QTextStream>

namespace lv {

// Runs one command. `args` are the arguments after the program name. Needs a QCoreApplication:
// the waits are event loops.
int runCli(const QStringList& args, QTextStream& out, QTextStream& err);

// The general help: the global options and every command of the registry.
QString usageText();

} // namespace lv
