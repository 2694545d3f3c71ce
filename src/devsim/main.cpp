// SPDX-License-Identifier: Apache-2.0
// linkvane-devsim: a LAN of simulated devices on one UDP port, for the demo
// and the end-to-end tests.

#include "controlchannel.h"
#include "controlcommand.h"
#include "devsimserver.h"
#include "linkvane_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

bool readNumber(const QCommandLineParser& parser, const QString& name, int low, int high, int* value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int number = parser.value(name).toInt(&ok);
    if (!ok || number < low || number > high) {
        std::fprintf(stderr, "linkvane-devsim: --%s must be a number from %d to %d\n", qPrintable(name), low, high);
        return false;
    }
    *value = number;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("linkvane-devsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LINKVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A LAN of simulated Linkvane devices on one UDP port."));
    parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const auto option = [&parser](const char* name, const char* help, const char* valueName = nullptr) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(help));
        if (valueName)
            o.setValueName(QString::fromLatin1(valueName));
        parser.addOption(o);
    };
    option("port", "UDP port to listen on (default 65535, 0 picks a free port).", "N");
    option("bind", "Address to bind (default 127.0.0.1).", "ADDR");
    option("devices", "Number of devices, cycling through every model (default: one of each).", "N");
    option("password", "Setup password of every device (default empty).", "TEXT");
    option("jitter", "Spread the search answers randomly over 0..MS milliseconds.", "MS");
    option("delay", "Delay every answer to G, S and U by MS milliseconds.", "MS");
    option("split", "Cut every configuration reply into N datagrams.", "N");
    option("silent", "Comma list of models, MAC fields or IPs of devices that never answer G, S, U, M.", "LIST");
    option("no-answer-after-set", "Devices answer no U command.");
    option("repeat", "Send every search answer N times.", "N");
    option("malformed", "Add malformed search answers to every search.");
    option("seed", "Seed of the jitter.", "N");
    option("own-addresses",
           "Give every device an address of its own on loopback (127.1.0.1, 127.1.0.2, ...) as its IP address: "
           "it hears only what is sent there or to 127.255.255.255, answers from there, and from its new address "
           "once an Update changed it.");
    option("verbose", "Print every datagram received (RX) and sent (TX), and the counts at exit.");
    const std::string faultHelp =
        "A fault of the devices named, repeatable. RULE is KIND[:PARAM][@SELECTOR][#COUNT]; SELECTOR is a "
        "model, MAC field, MAC text or IP, or * for every device (the default); COUNT ends the fault after it "
        "fired that often. KIND is one of:\n" +
        lv::faultKindsHelp();
    option("fault", faultHelp.c_str(), "RULE");
    const std::string controlHelp =
        "Read control commands from standard input, one a line:\n" + lv::controlCommandsHelp();
    option("control", controlHelp.c_str());
    // Qt's own answer to --version is one line; ours names the licence too.
    if (parser.parse(QCoreApplication::arguments()) && parser.isSet(versionOption)) {
        std::printf("linkvane-devsim %s\n%s\n", LINKVANE_VERSION, LINKVANE_LICENCE_LINE);
        return 0;
    }
    parser.process(app);

    lv::ServerOptions options;
    int port = 65535;
    int seed = 1;
    if (!readNumber(parser, QStringLiteral("port"), 0, 65535, &port) ||
        !readNumber(parser, QStringLiteral("devices"), 1, 1000000, &options.lan.deviceCount) ||
        !readNumber(parser, QStringLiteral("jitter"), 0, 600000, &options.lan.jitterMs) ||
        !readNumber(parser, QStringLiteral("delay"), 0, 600000, &options.lan.delayMs) ||
        !readNumber(parser, QStringLiteral("split"), 1, 10000, &options.lan.split) ||
        !readNumber(parser, QStringLiteral("repeat"), 1, 1000, &options.lan.repeat) ||
        !readNumber(parser, QStringLiteral("seed"), 0, 2147483647, &seed))
        return 1;
    options.port = static_cast<quint16>(port);
    options.lan.seed = static_cast<unsigned>(seed);
    if (parser.isSet(QStringLiteral("bind"))) {
        options.bindAddress = QHostAddress(parser.value(QStringLiteral("bind")));
        if (options.bindAddress.isNull()) {
            std::fprintf(stderr, "linkvane-devsim: --bind needs an IP address\n");
            return 1;
        }
    }
    options.lan.password = parser.value(QStringLiteral("password")).toLatin1().toStdString();
    for (const QString& entry : parser.values(QStringLiteral("silent")))
        for (const QString& item : entry.split(QLatin1Char(','), Qt::SkipEmptyParts))
            options.lan.silent.push_back(item.trimmed().toLatin1().toStdString());
    options.lan.noAnswerAfterSet = parser.isSet(QStringLiteral("no-answer-after-set"));
    options.lan.malformed = parser.isSet(QStringLiteral("malformed"));
    options.lan.ownAddresses = parser.isSet(QStringLiteral("own-addresses"));
    options.verbose = parser.isSet(QStringLiteral("verbose"));
    for (const QString& ruleText : parser.values(QStringLiteral("fault"))) {
        std::string error;
        auto rule = lv::parseFaultRule(ruleText.toLatin1().toStdString(), &error);
        if (!rule) {
            std::fprintf(stderr, "linkvane-devsim: --fault %s: %s\n", qPrintable(ruleText), error.c_str());
            return 1;
        }
        options.lan.faults.push_back(std::move(*rule));
    }

    lv::DevsimServer server(options);
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "linkvane-devsim: cannot listen on %s:%d: %s\n",
                     qPrintable(options.bindAddress.toString()), port, qPrintable(error));
        return 1;
    }
    lv::ControlChannel control(server, parser.isSet(QStringLiteral("control")));
    QObject::connect(&control, &lv::ControlChannel::quitRequested, &app, &QCoreApplication::quit);
    std::printf("linkvane-devsim: listening on %s:%u\n", qPrintable(server.address().toString()),
                static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    const int status = QCoreApplication::exec();
    if (options.verbose) {
        const std::string counts = server.lan().countsReport() + "end\n";
        std::fwrite(counts.data(), 1, counts.size(), stdout);
    }
    return status;
}
