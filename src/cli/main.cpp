// SPDX-License-Identifier: Apache-2.0
// The linkvane-cli program: runs one command of the registry.

#include "cli.h"
#include "coredumps.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The process holds setup passwords and access codes: no core dump may carry them to disk.
    lv::disableCoreDumps();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return lv::runCli(app.arguments().mid(1), out, err, lv::CliEnd::EndProcess);
}
