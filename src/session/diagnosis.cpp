// SPDX-License-Identifier: Apache-2.0
// What one search found per network interface, and why it may have found nothing.

#include "diagnosis.h"

#include "devicesearch.h"
#include "interfacename.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>
#include <bit>
#include <optional>

namespace lv {

namespace {

InterfaceReport reportOf(const QNetworkInterface& iface)
{
    InterfaceReport r;
    r.name = systemInterfaceName(iface.humanReadableName().isEmpty() ? iface.name() : iface.humanReadableName());
    r.index = iface.index();
    r.up = iface.flags().testFlag(QNetworkInterface::IsUp);
    r.canBroadcast = iface.flags().testFlag(QNetworkInterface::CanBroadcast);
    for (const QNetworkAddressEntry& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            r.addresses.append(entry.ip().toString() + QLatin1Char('/') + QString::number(entry.prefixLength()));
    return r;
}

// An "address/prefix" entry of a card as its network: the address with the host bits cleared and the
// mask, both in host byte order.
struct Network {
    quint32 base = 0;
    quint32 mask = 0;
};

std::optional<Network> networkOf(const QString& entry)
{
    const auto [address, prefix] = QHostAddress::parseSubnet(entry);
    if (address.protocol() != QAbstractSocket::IPv4Protocol || prefix < 0 || prefix > 32)
        return std::nullopt;
    const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
    return Network{address.toIPv4Address() & mask, mask};
}

QString networkText(const Network& n)
{
    return QHostAddress(n.base).toString() + QLatin1Char('/') + QString::number(std::popcount(n.mask));
}

// The cards of `found` by name, joined: "eth0" alone, or "eth0 (10), eth1 (2)" with their counts.
QString cardList(const std::vector<CardDevices>& found)
{
    if (found.size() == 1)
        return found.front().card;
    QStringList cards;
    for (const CardDevices& c : found)
        cards.append(QStringLiteral("%1 (%2)").arg(c.card).arg(c.devices));
    return cards.join(QStringLiteral(", "));
}

} // namespace

std::vector<CardDevices> devicesByCard(const DeviceSearch& search, const std::vector<InterfaceReport>& interfaces,
                                       bool outsideOnly)
{
    std::vector<CardDevices> out;
    for (int i = 0; i < static_cast<int>(search.devices().size()); ++i) {
        const std::optional<DeviceRef> device = search.deviceAt(i);
        if (!device)
            continue;
        const auto row = std::find_if(interfaces.begin(), interfaces.end(), [&device](const InterfaceReport& r) {
            return r.index == device->interfaceIndex;
        });
        std::vector<Network> networks;
        if (row != interfaces.end())
            for (const QString& entry : row->addresses)
                if (const std::optional<Network> n = networkOf(entry))
                    networks.push_back(*n);
        const quint32 from = device->sender.ipv4;
        if (outsideOnly && (networks.empty() || std::any_of(networks.begin(), networks.end(), [from](const Network& n) {
                                return (from & n.mask) == n.base;
                            })))
            continue;
        auto card = std::find_if(out.begin(), out.end(),
                                 [&device](const CardDevices& c) { return c.index == device->interfaceIndex; });
        if (card == out.end()) {
            CardDevices c;
            c.index = device->interfaceIndex;
            c.card = row != interfaces.end() ? row->name : QStringLiteral("(routing table)");
            c.example = QHostAddress(from).toString();
            for (const Network& n : networks)
                c.networks.append(networkText(n));
            card = out.insert(out.end(), c);
        }
        ++card->devices;
    }
    return out;
}

std::vector<Cause> likelyCauses(const Diagnosis& d)
{
    if (d.devices > 0) {
        if (!d.outsideSubnet.empty())
            return {Cause::OutsideSubnet};
        return {};
    }
    std::vector<Cause> causes;
    const auto any = [&d](auto predicate) { return std::any_of(d.interfaces.begin(), d.interfaces.end(), predicate); };
    // Only the LAN broadcast depends on a card that broadcasts; a directed one goes where the routes send it.
    if (d.lanBroadcast && !any([](const InterfaceReport& r) { return r.up && r.canBroadcast && hasIPv4(r); }))
        causes.push_back(Cause::NoBroadcastInterface);
    if (any([](const InterfaceReport& r) { return r.probed && !r.sent; }))
        causes.push_back(Cause::ProbeNotSent);
    const bool answered = any([](const InterfaceReport& r) { return r.answers > 0; });
    // Devices that answer through another card or on the default port explain the silence better than a
    // firewall would.
    if (!d.keptOut.empty())
        causes.push_back(Cause::InterfaceKeptOut);
    if (d.defaultPortDevices > 0)
        causes.push_back(Cause::OtherPort);
    if (!d.keptOut.empty() || d.defaultPortDevices > 0)
        return causes;
    if (answered)
        causes.push_back(Cause::NoSearchAnswer);
    else if (any([](const InterfaceReport& r) { return r.sent; }))
        causes.push_back(Cause::NoAnswer);
    return causes;
}

QString causeKey(Cause cause)
{
    switch (cause) {
    case Cause::NoBroadcastInterface:
        return QStringLiteral("no-broadcast-interface");
    case Cause::ProbeNotSent:
        return QStringLiteral("probe-not-sent");
    case Cause::NoSearchAnswer:
        return QStringLiteral("no-search-answer");
    case Cause::NoAnswer:
        return QStringLiteral("no-answer");
    case Cause::OtherPort:
        return QStringLiteral("other-port");
    case Cause::InterfaceKeptOut:
        return QStringLiteral("interface-kept-out");
    case Cause::OutsideSubnet:
        return QStringLiteral("outside-subnet");
    }
    return {};
}

QString firewallRuleHint(quint16 port)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(port)
    return QStringLiteral("Windows Firewall may drop the answers, which come from the devices' own addresses: the "
                          "installer adds the inbound rule \"Linkvane (device answers, UDP)\" for linkvane.exe and "
                          "linkvane-cli.exe; with the portable zip, allow Linkvane when Windows asks, or add that "
                          "rule as README.txt beside the programs shows.");
#else
    return QStringLiteral("A firewall may drop the answers, which come from the devices' own addresses and from "
                          "port %1; let them in with: sudo nft insert rule inet filter input udp sport %1 accept "
                          "(insert, not add: an appended rule comes after the one that drops).")
        .arg(port);
#endif
}

QString causeText(Cause cause, const Diagnosis& d, const Remedies& how)
{
    switch (cause) {
    case Cause::NoBroadcastInterface:
        return QStringLiteral("No network interface is up with an IPv4 address and able to broadcast, so the "
                              "probe to %1 reaches no LAN. Connect the card the devices hang on, or aim the "
                              "search at their network or address (%2).")
            .arg(d.target, how.target);
    case Cause::ProbeNotSent: {
        QStringList where;
        for (const InterfaceReport& r : d.interfaces)
            if (r.probed && !r.sent)
                where.append(r.sendError.isEmpty() ? r.name : QStringLiteral("%1 (%2)").arg(r.name, r.sendError));
        return QStringLiteral("The probe could not be sent through %1. Check that the card is up and has an "
                              "address, or pick another (%2).")
            .arg(where.join(QStringLiteral(", ")), how.card);
    }
    case Cause::NoSearchAnswer:
        return QStringLiteral("Answers arrived but none was a search answer: something else answers on port %1. "
                              "Check the command port (%2).%3")
            .arg(d.port)
            .arg(how.port, how.seeAnswers.isEmpty() ? QString() : QLatin1Char(' ') + how.seeAnswers);
    case Cause::NoAnswer:
        return QStringLiteral("No answer came back through any interface within %1 ms. %2 Devices on another "
                              "command port answer only on it (%3). Devices behind a router answer only to a "
                              "directed broadcast or their own address (%4). The search needs no password, but a "
                              "device with a setup password answers requests for its configuration only with it "
                              "(%5).")
            .arg(d.waitMs)
            .arg(firewallRuleHint(d.port), how.port, how.target, how.password);
    case Cause::OtherPort:
        return QStringLiteral("Nothing answered on port %1, but %2 device(s) answered on port %3; use %4.")
            .arg(d.port)
            .arg(d.defaultPortDevices)
            .arg(d.defaultPort)
            .arg(how.usePort.arg(d.defaultPort));
    case Cause::InterfaceKeptOut: {
        int devices = 0;
        for (const CardDevices& c : d.keptOut)
            devices += c.devices;
        return QStringLiteral("Nothing answered through %1, the one card searched, but %2 device(s) answered "
                              "through %3 when the probe left by every card. Search through every card (%4) or "
                              "through theirs (%5).")
            .arg(d.chosenCard)
            .arg(devices)
            .arg(cardList(d.keptOut), how.everyCard,
                 how.useCard.arg(d.keptOut.size() == 1 ? d.keptOut.front().card : QStringLiteral("NAME")));
    }
    case Cause::OutsideSubnet: {
        QStringList cards;
        for (const CardDevices& c : d.outsideSubnet) {
            const QString networks = c.networks.join(QStringLiteral(", "));
            cards.append(QStringLiteral("%1 device(s) answered through %2 from addresses outside its network(s) "
                                        "%3, such as %4. To reach them by their own addresses, give %2 an address "
                                        "in the devices' network, or give the devices addresses in %3.")
                             .arg(c.devices)
                             .arg(c.card, networks, c.example));
        }
        return cards.join(QLatin1Char(' '));
    }
    }
    return {};
}

QString windowCauseText(Cause cause, const Diagnosis& d)
{
    static const Remedies window{QStringLiteral("Option > Search Target"),
                                 QStringLiteral("Option > Network Interface"),
                                 QStringLiteral("Option > Command Port"),
                                 QString(),
                                 QStringLiteral("Option > Password"),
                                 QStringLiteral("Option > Command Port %1"),
                                 QStringLiteral("Option > Network Interface > All interfaces"),
                                 QStringLiteral("Option > Network Interface, %1")};
    return causeText(cause, d, window);
}

QString windowDiagnosisText(const Diagnosis& d)
{
    QStringList lines;
    lines << QStringLiteral("Command port %1, probe to %2, %3 ms waited: %4 device(s) answered.")
                 .arg(d.port)
                 .arg(d.target)
                 .arg(d.waitMs)
                 .arg(d.devices);
    for (const InterfaceReport& r : d.interfaces) {
        QStringList parts;
        if (r.index != 0) {
            parts << (r.up ? QStringLiteral("up") : QStringLiteral("down"));
            parts << (hasIPv4(r) ? r.addresses.join(QLatin1Char(' ')) : QStringLiteral("no IPv4 address"));
        }
        if (!r.probed) {
            // Why the search left this card out: a probe aimed elsewhere than the LAN broadcast goes by
            // the routing table; the LAN broadcast leaves by every card up with an address that can
            // broadcast, unless one card was chosen.
            parts << (!d.lanBroadcast   ? QStringLiteral("no probe (it went where the routing table sends)")
                      : !r.up           ? QStringLiteral("no probe (down)")
                      : !hasIPv4(r)     ? QStringLiteral("no probe (no IPv4 address)")
                      : !r.canBroadcast ? QStringLiteral("no probe (cannot broadcast)")
                                        : QStringLiteral("no probe (another interface was chosen)"));
        } else {
            parts << (r.sent ? QStringLiteral("probe sent")
                             : QStringLiteral("probe not sent") +
                                   (r.sendError.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(r.sendError)));
            parts << QStringLiteral("%1 answer(s), %2 search answer(s)").arg(r.answers).arg(r.searchAnswers);
        }
        lines << r.name + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
    const std::vector<Cause> causes = likelyCauses(d);
    if (!causes.empty()) {
        lines << (d.devices > 0 ? QStringLiteral("Findings:") : QStringLiteral("Likely causes:"));
        for (Cause cause : causes)
            lines << QStringLiteral("- ") + windowCauseText(cause, d);
    }
    return lines.join(QLatin1Char('\n'));
}

Diagnosis diagnose(const DeviceSearch& search, const SessionState& state, int waitMs)
{
    const std::vector<UdpSocket*> sockets = search.sockets();
    Diagnosis d;
    // Every socket of a search sent the one probe to the same place.
    const QHostAddress target = sockets.empty() ? state.broadcast : sockets.front()->remoteHost();
    d.port = sockets.empty() ? state.gCmdPort : sockets.front()->remotePort();
    d.target = target.toString();
    d.lanBroadcast = target == QHostAddress(QHostAddress::Broadcast);
    d.waitMs = waitMs;
    d.chosenCard = state.interfaceName;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        d.interfaces.push_back(reportOf(iface));
    if (std::any_of(sockets.begin(), sockets.end(), [](const UdpSocket* s) { return s->interfaceIndex() == 0; })) {
        InterfaceReport route;
        route.name = QStringLiteral("(routing table)");
        d.interfaces.push_back(route);
    }
    // Each socket of the search is one interface; what it sent and what came back to it is that card's.
    for (const UdpSocket* socket : sockets) {
        const int index = socket->interfaceIndex();
        const auto row = std::find_if(d.interfaces.begin(), d.interfaces.end(),
                                      [index](const InterfaceReport& r) { return r.index == index; });
        if (row == d.interfaces.end())
            continue;
        row->probed = true;
        row->sendError = socket->lastSendError();
        row->sent = socket->localPort() != 0 && row->sendError.isEmpty();
        row->answers = search.answersThrough(index);
        row->searchAnswers = search.searchAnswersThrough(index);
    }
    d.devices = static_cast<int>(search.devices().size());
    d.outsideSubnet = devicesByCard(search, d.interfaces, true);
    return d;
}

} // namespace lv
