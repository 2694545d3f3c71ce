// SPDX-License-Identifier: Apache-2.0
// The GUI: the main window on the LAN, or on the address and port the command
// line names (for the simulated devices of the demo and the tests).

#include "coredumps.h"
#include "linkvane_version.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

bool hasPlatformOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    return false;
}

// Without a display Qt would abort with a message about platform plugins; say
// plainly what is missing instead. Only free desktops can lack one: Windows and
// macOS always have their own.
bool displayAvailable(int argc, char** argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return hasPlatformOption(argc, argv) || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#endif
}

// The windows are laid out for the 8.25-point system face of the Windows of
// their time. On Windows that is the system's own UI font at that size, never a
// face the PC may not have; elsewhere the desktop's font stays.
void useSystemFontAtLayoutSize()
{
#if defined(Q_OS_WIN)
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
#endif
}

// --help and --version open no window, so they are answered without a display
// (in a terminal, a chroot, a package check). The Qt platform options need the
// GUI application, so with those the answer goes the usual way.
bool asksForHelpOrVersion(int argc, char** argv)
{
    if (hasPlatformOption(argc, argv))
        return false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version")
            return true;
    }
    return false;
}

// The installed theme's icon where there is one, else the copy built into the program.
QIcon applicationIcon()
{
    QIcon builtIn;
    builtIn.addFile(QStringLiteral(":/icons/linkvane-48.png"), QSize(48, 48));
    builtIn.addFile(QStringLiteral(":/icons/linkvane-256.png"), QSize(256, 256));
    return QIcon::fromTheme(QStringLiteral(LINKVANE_APP_ID), builtIn);
}

} // namespace

int main(int argc, char** argv)
{
    // The setup password and the access code are typed into this process.
    lv::disableCoreDumps();
    QCoreApplication::setApplicationName(QStringLiteral("Linkvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LINKVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Finds and configures Linkvane devices on the local network."));
    parser.addHelpOption();
    [[maybe_unused]] const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption broadcast(QStringLiteral("broadcast"),
                                       QStringLiteral("Address the commands go to (default 255.255.255.255)."),
                                       QStringLiteral("ADDR"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Command port (default 65535)."),
                                  QStringLiteral("N"));
    parser.addOption(broadcast);
    parser.addOption(port);

    if (asksForHelpOrVersion(argc, argv)) {
        const QCoreApplication app(argc, argv);
#ifndef Q_OS_WIN
        // Qt's own answer to --version is one line; ours names the licence too. (On Windows the
        // window program has no console, and Qt's answer is a message box.)
        if (parser.parse(QCoreApplication::arguments()) && parser.isSet(versionOption)) {
            std::printf("Linkvane %s\n%s\n", LINKVANE_VERSION, LINKVANE_LICENCE_LINE);
            return 0;
        }
#endif
        parser.process(app); // prints the help or the version and exits, or reports a wrong option and exits
        return 1;
    }
    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr, "linkvane: no display to open the window on. Run it in a desktop session, "
                             "or use linkvane-cli to search and configure devices from a terminal.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(LINKVANE_APP_ID));
    QApplication::setWindowIcon(applicationIcon());
    useSystemFontAtLayoutSize();
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
        const std::optional<quint16> value = lv::normaliseCommandPort(parser.value(port));
        if (!value) {
            std::fprintf(stderr, "linkvane: the port must be a number from 0 to 65535\n");
            return 1;
        }
        state.gCmdPort = *value;
    }

    lv::MainWindow window(state);
    window.show();
    return QApplication::exec();
}
