// The linkvane-cli program: runs one command of the registry.

#include "cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return lv::runCli(app.arguments().mid(1), out, err);
}
