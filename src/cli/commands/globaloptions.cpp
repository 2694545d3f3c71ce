// SPDX-License-Identifier: Apache-2.0
// The global options of linkvane-cli.

#include "globaloptions.h"

#include "latin1.h"
#include "operands.h"
#include "secretinput.h"
#include "typedvalue.h"

#include <QCommandLineParser>

namespace lv {

namespace {

enum GlobalOption {
    Port,
    Broadcast,
    Password,
    PasswordFile,
    Timeout,
    Wait,
    Json,
    Stats,
    ShowSecrets,
    Verbose,
    Quiet,
    Interface,
    Retries
};

} // namespace

const QList<QCommandLineOption>& globalOptionList()
{
    static const QList<QCommandLineOption> options = {
        {QStringLiteral("port"), QStringLiteral("Command port of the devices (65535)."), QStringLiteral("N")},
        {QStringLiteral("broadcast"), QStringLiteral("Where the commands go (255.255.255.255)."),
         QStringLiteral("ADDR")},
        {QStringLiteral("password"),
         QStringLiteral("Setup password sent with the configuration request (visible to every user of the "
                        "machine: prefer --password-file or LINKVANE_PASSWORD)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("password-file"),
         QStringLiteral("Read the setup password from the first line of FILE (- for standard input). Without a "
                        "password option, LINKVANE_PASSWORD or a prompt on the terminal gives it; else it is empty."),
         QStringLiteral("FILE")},
        {QStringLiteral("timeout"), QStringLiteral("How long to wait for a device's answer (1000 ms)."),
         QStringLiteral("MS")},
        {QStringLiteral("wait"), QStringLiteral("How long the search listens for answers (1000 ms)."),
         QStringLiteral("MS")},
        {QStringLiteral("json"), QStringLiteral("Write one JSON document instead of text.")},
        {QStringLiteral("stats"), QStringLiteral("Write the search's timing on standard error.")},
        {QStringLiteral("show-secrets"), QStringLiteral("Show passwords and access codes as they are instead of ***.")},
        {QStringLiteral("verbose"),
         QStringLiteral("Write every datagram sent and received, with its time, on standard error.")},
        {QStringLiteral("quiet"),
         QStringLiteral("Write nothing on standard output and only errors on standard error; the exit status "
                        "tells the result.")},
        {QStringLiteral("interface"),
         QStringLiteral("The network interface the search and the commands keep to, or all (all)."),
         QStringLiteral("NAME|all")},
        {QStringLiteral("retries"),
         QStringLiteral("Send a configuration request or an Update that got no answer at all up to N times "
                        "more (0); a device that answered is never asked again."),
         QStringLiteral("N")},
    };
    return options;
}

std::optional<QString> readGlobalOptions(const QCommandLineParser& parser, GlobalOptions& options)
{
    const auto& o = globalOptionList();
    if (parser.isSet(o[Port])) {
        const std::optional<int> port = strictNumber(parser.value(o[Port]), 0, 65535);
        if (!port)
            return QStringLiteral("--port needs a number from 0 to 65535");
        options.port = static_cast<quint16>(*port);
    }
    if (parser.isSet(o[Broadcast])) {
        QHostAddress address;
        if (!address.setAddress(parser.value(o[Broadcast])))
            return QStringLiteral("--broadcast needs an IP address");
        options.broadcast = address;
    }
    if (parser.isSet(o[Password])) {
        options.password = parser.value(o[Password]);
    } else if (parser.isSet(o[PasswordFile])) {
        QString error;
        options.password = firstLineOfFile(parser.value(o[PasswordFile]), &error);
        options.passwordFromStdin = parser.value(o[PasswordFile]) == QLatin1String("-");
        if (!options.password)
            return QStringLiteral("--password-file: ") + error;
    } else if (!options.password) {
        options.password = secretFromEnvironment(kPasswordVariable);
    }
    // The password travels as single-byte text; a character outside Latin-1 cannot be sent as typed.
    if (options.password && !isLatin1(*options.password))
        return QStringLiteral("the setup password must be single-byte (Latin-1) text");
    if (const std::optional<QString> why = options.password ? secretRefusal(*options.password) : std::nullopt)
        return QStringLiteral("the setup password ") + *why;
    if (parser.isSet(o[Timeout])) {
        const std::optional<int> ms = strictNumber(parser.value(o[Timeout]), 1, 600000);
        if (!ms)
            return QStringLiteral("--timeout needs milliseconds from 1 to 600000");
        options.timeoutMs = *ms;
    }
    if (parser.isSet(o[Wait])) {
        const std::optional<int> ms = strictNumber(parser.value(o[Wait]), 0, 600000);
        if (!ms)
            return QStringLiteral("--wait needs milliseconds from 0 to 600000");
        options.waitMs = *ms;
    }
    if (parser.isSet(o[Interface])) {
        const QString name = parser.value(o[Interface]);
        if (name.isEmpty())
            return QStringLiteral("--interface needs an interface name or all");
        options.interfaceName = name == QLatin1String("all") ? QString() : name;
    }
    if (parser.isSet(o[Retries])) {
        const std::optional<int> retries = strictNumber(parser.value(o[Retries]), 0, 10);
        if (!retries)
            return QStringLiteral("--retries needs a number from 0 to 10");
        options.retries = *retries;
    }
    options.json = options.json || parser.isSet(o[Json]);
    options.stats = options.stats || parser.isSet(o[Stats]);
    options.showSecrets = options.showSecrets || parser.isSet(o[ShowSecrets]);
    options.verbose = options.verbose || parser.isSet(o[Verbose]);
    options.quiet = options.quiet || parser.isSet(o[Quiet]);
    if (options.quiet && (options.verbose || options.stats))
        return QStringLiteral("--quiet cannot go with --verbose or --stats");
    return std::nullopt;
}

} // namespace lv
