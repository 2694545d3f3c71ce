// SPDX-License-Identifier: Apache-2.0
// linkvane-cli diagnose.

#include "diagnosecommand.h"
#include "commandlist.h"

#include "clicontext.h"
#include "devicelist.h"
#include "devicesearch.h"
#include "helpformat.h"
#include "interfacename.h"
#include "tagmessage.h"
#include "wait.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace lv {

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString probeText(const InterfaceReport& r)
{
    if (!r.probed)
        return QStringLiteral("-");
    if (r.sent)
        return QStringLiteral("sent");
    return QStringLiteral("not sent") + (r.sendError.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(r.sendError));
}

QJsonObject jsonOf(const InterfaceReport& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), r.name);
    o.insert(QStringLiteral("index"), r.index);
    o.insert(QStringLiteral("up"), r.up);
    o.insert(QStringLiteral("addresses"), QJsonArray::fromStringList(r.addresses));
    o.insert(QStringLiteral("canBroadcast"), r.canBroadcast);
    o.insert(QStringLiteral("probed"), r.probed);
    o.insert(QStringLiteral("sent"), r.sent);
    if (!r.sendError.isEmpty())
        o.insert(QStringLiteral("sendError"), r.sendError);
    o.insert(QStringLiteral("answers"), r.answers);
    o.insert(QStringLiteral("searchAnswers"), r.searchAnswers);
    return o;
}

QString table(const Diagnosis& d)
{
    const QStringList head{QStringLiteral("Interface"),     QStringLiteral("State"), QStringLiteral("IPv4"),
                           QStringLiteral("Broadcast"),     QStringLiteral("Probe"), QStringLiteral("Answers"),
                           QStringLiteral("Search answers")};
    std::vector<QStringList> rows{head};
    for (const InterfaceReport& r : d.interfaces) {
        const bool route = r.index == 0;
        rows.push_back({r.name,
                        route  ? QStringLiteral("-")
                        : r.up ? QStringLiteral("up")
                               : QStringLiteral("down"),
                        route        ? QStringLiteral("-")
                        : hasIPv4(r) ? r.addresses.join(QLatin1Char(' '))
                                     : QStringLiteral("none"),
                        route ? QStringLiteral("-") : yesNo(r.canBroadcast), probeText(r),
                        r.probed ? QString::number(r.answers) : QStringLiteral("-"),
                        r.probed ? QString::number(r.searchAnswers) : QStringLiteral("-")});
    }
    std::vector<qsizetype> widths(head.size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[static_cast<std::size_t>(i)] = std::max(widths[static_cast<std::size_t>(i)], row[i].size());
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[static_cast<std::size_t>(i)] + 2) : row[i];
        text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace

namespace {

// The port devices answer on unless they were set otherwise. Tests name another one, since the
// default port may be taken on a test machine.
quint16 defaultCommandPort()
{
    bool ok = false;
    const uint port = qEnvironmentVariable("LINKVANE_DIAGNOSE_DEFAULT_PORT").toUInt(&ok);
    return ok && port > 0 && port <= 65535 ? static_cast<quint16>(port) : SessionState().gCmdPort;
}

// How many devices answer a search on `port`, everything else as the user set it.
int devicesOnPort(const SessionState& state, quint16 port, int wait)
{
    SessionState other = state;
    other.gCmdPort = port;
    DeviceSearch search(other);
    if (!search.start())
        return 0;
    waitMs(wait);
    return static_cast<int>(search.devices().size());
}

// The devices that answer a search through every card, everything else as the user set it, per card
// other than the one chosen: what the choice kept out.
std::vector<CardDevices> devicesThroughOtherCards(const SessionState& state, const Diagnosis& d, int wait)
{
    SessionState every = state;
    every.interfaceName.clear();
    DeviceSearch search(every);
    if (!search.start())
        return {};
    waitMs(wait);
    std::vector<CardDevices> cards = devicesByCard(search, d.interfaces, false);
    const int chosen = interfaceNamed(state.interfaceName).index();
    std::erase_if(cards, [chosen](const CardDevices& c) { return c.index == chosen; });
    return cards;
}

// A cause wrapped to the terminal, with what a reader pastes (the firewall rule, an option and its
// value) kept on one line: their spaces become no-break spaces for the wrap.
QString wrappedCause(const QString& text)
{
    static const QRegularExpression pasted(
        QStringLiteral("sudo nft [^(]*accept|(use )?--[a-z-]+ [A-Z0-9][A-Za-z0-9.]*|--interface [^ ),]+"));
    constexpr QChar kNoBreak(0x00A0);
    QString kept = text;
    for (auto it = pasted.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        kept.replace(match.capturedStart(), match.capturedLength(),
                     match.captured().replace(QLatin1Char(' '), kNoBreak));
    }
    return wrapText(QStringLiteral("- ") + kept, helpWidth(), 0, 2).replace(kNoBreak, QLatin1Char(' '));
}

QString interfaceNames()
{
    QStringList names;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        names.append(
            systemInterfaceName(iface.humanReadableName().isEmpty() ? iface.name() : iface.humanReadableName()));
    return names.join(QStringLiteral(", "));
}

} // namespace

QString causeText(Cause cause, const Diagnosis& d)
{
    static const Remedies options{QStringLiteral("--broadcast ADDR"),
                                  QStringLiteral("--interface NAME"),
                                  QStringLiteral("--port N"),
                                  QStringLiteral("--verbose shows what came back."),
                                  QStringLiteral("--password-file FILE or ") + QString::fromLatin1(kPasswordVariable),
                                  QStringLiteral("--port %1"),
                                  QStringLiteral("leave out --interface"),
                                  QStringLiteral("--interface %1")};
    return causeText(cause, d, options);
}

CommandResult runDiagnose(CliContext& context, const QCommandLineParser& /*parser*/)
{
    DeviceSearch& search = context.search();
    const SessionState& state = context.state();
    if (!state.interfaceName.isEmpty() && search.probeInterfaces().empty())
        return Failure{kExitUsage, QStringLiteral("there is no network interface %1; the interfaces here are: %2")
                                       .arg(state.interfaceName, interfaceNames())};

    search.start();
    if (WireLog* log = context.wireLog())
        for (UdpSocket* socket : search.sockets()) {
            log->watchReceived(*socket);
            log->sent(socket->localPort(),
                      QByteArray(kSearchProbe.data(), static_cast<qsizetype>(kSearchProbe.size())));
        }
    waitMs(context.options().waitMs);
    Diagnosis d = diagnose(search, state, context.options().waitMs);
    const quint16 defaultPort = defaultCommandPort();
    if (d.devices == 0 && d.port != defaultPort) {
        d.defaultPort = defaultPort;
        d.defaultPortDevices = devicesOnPort(state, defaultPort, context.options().waitMs);
    }
    if (d.devices == 0 && !state.interfaceName.isEmpty())
        d.keptOut = devicesThroughOtherCards(state, d, context.options().waitMs);

    const std::vector<Cause> causes = likelyCauses(d);
    Output& out = context.output();
    if (out.json()) {
        QJsonArray interfaces;
        for (const InterfaceReport& r : d.interfaces)
            interfaces.append(jsonOf(r));
        QJsonArray causeList;
        for (Cause cause : causes)
            causeList.append(
                QJsonObject{{QStringLiteral("cause"), causeKey(cause)}, {QStringLiteral("text"), causeText(cause, d)}});
        out.document(QJsonObject{{QStringLiteral("port"), d.port},
                                 {QStringLiteral("target"), d.target},
                                 {QStringLiteral("waitMs"), d.waitMs},
                                 {QStringLiteral("devices"), d.devices},
                                 {QStringLiteral("interfaces"), interfaces},
                                 {QStringLiteral("causes"), causeList}});
    } else {
        QString text = table(d);
        text += QStringLiteral("\nCommand port %1, probe to %2, %3 ms waited: %4 device(s) answered.\n")
                    .arg(d.port)
                    .arg(d.target)
                    .arg(d.waitMs)
                    .arg(d.devices);
        if (!causes.empty()) {
            text += d.devices > 0 ? QStringLiteral("\nFindings:\n") : QStringLiteral("\nLikely causes:\n");
            for (Cause cause : causes)
                text += wrappedCause(causeText(cause, d)) + QLatin1Char('\n');
        }
        out.text(text);
    }
    // No device answering is the finding here, but a script still tells it from an answer by the code.
    if (d.devices == 0)
        return Failure{kExitNoAnswer, {}};
    return std::nullopt;
}

Command diagnoseCommand()
{
    return {QStringLiteral("diagnose"),
            QStringLiteral("Show why a search finds what it finds, per network interface"),
            QStringLiteral(
                "Sends the search probe as search does and waits --wait ms. Then lists every network interface: up or "
                "down, its IPv4 addresses, whether it can broadcast, whether the probe left through it and how many "
                "answers (and search answers) came back there; then the command port and, when no device answered, "
                "the likely causes. Exit 0 when a device answered, 3 when none did."),
            {},
            {},
            runDiagnose};
}

} // namespace lv
