// The GUI: the main window on the LAN, or on the address and port the command
// line names (for the simulated devices of the demo and the tests).

#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>

namespace {

// Without a display Qt would abort with a message about platform plugins; say
// plainly what is missing instead.
bool displayAvailable(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr, "linkvane: no display to open the window on. Run it in a desktop session, "
                             "or use linkvane-cli to search and configure devices from a terminal.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linkvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Finds and configures Linkvane devices on the local network."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption broadcast(QStringLiteral("broadcast"),
                                       QStringLiteral("Address the commands go to (default 255.255.255.255)."),
                                       QStringLiteral("ADDR"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Command port (default 65535)."),
                                  QStringLiteral("N"));
    parser.addOption(broadcast);
    parser.addOption(port);
    parser.process(app);

    lv::SessionState state;
    if (parser.isSet(broadcast)) {
        const QHostAddress address(parser.value(broadcast));
        if (address.isNull()) {
            std::fprintf(stderr, "linkvane: not an IPv4 address: %s\n", qPrintable(parser.value(broadcast)));
            return 1;
        }
        state.broadcast = address;
    }
    if (parser.isSet(port)) {
        const QString value = lv::normaliseCommandPort(parser.value(port));
        if (value.isEmpty()) {
            std::fprintf(stderr, "linkvane: the port must be a number from 0 to 65535\n");
            return 1;
        }
        state.gCmdPort = value;
    }

    lv::MainWindow window(state);
    window.show();
    return QApplication::exec();
}
