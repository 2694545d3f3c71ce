// What one search found per network interface, and why it may have found nothing.

#include "diagnosis.h"

#include "devicesearch.h"
#include "tagmessage.h"

#include <QNetworkInterface>

#include <algorithm>

namespace lv {

namespace {

InterfaceReport reportOf(const QNetworkInterface& iface)
{
    InterfaceReport r;
    r.name = iface.humanReadableName().isEmpty() ? iface.name() : iface.humanReadableName();
    r.index = iface.index();
    r.up = iface.flags().testFlag(QNetworkInterface::IsUp);
    r.canBroadcast = iface.flags().testFlag(QNetworkInterface::CanBroadcast);
    for (const QNetworkAddressEntry& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            r.addresses.append(entry.ip().toString() + QLatin1Char('/') + QString::number(entry.prefixLength()));
    return r;
}

} // namespace

std::vector<Cause> likelyCauses(const Diagnosis& d)
{
    if (d.devices > 0)
        return {};
    std::vector<Cause> causes;
    const auto any = [&d](auto predicate) { return std::any_of(d.interfaces.begin(), d.interfaces.end(), predicate); };
    // Only the LAN broadcast depends on a card that broadcasts; a directed one goes where the routes send it.
    if (d.lanBroadcast && !any([](const InterfaceReport& r) { return r.up && r.canBroadcast && hasIPv4(r); }))
        causes.push_back(Cause::NoBroadcastInterface);
    if (any([](const InterfaceReport& r) { return r.probed && !r.sent; }))
        causes.push_back(Cause::ProbeNotSent);
    const bool answered = any([](const InterfaceReport& r) { return r.answers > 0; });
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
    }
    return {};
}

SearchDiagnosis::SearchDiagnosis(DeviceSearch& search, const SessionState& state, int waitMs) : m_search(search)
{
    Diagnosis& d = m_diagnosis;
    d.port = state.gCmdPort;
    d.target = state.broadcast.toString();
    d.lanBroadcast = state.broadcast == QHostAddress(QHostAddress::Broadcast);
    d.waitMs = waitMs;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        d.interfaces.push_back(reportOf(iface));
    const std::vector<int> probed = search.probeInterfaces();
    if (std::find(probed.begin(), probed.end(), 0) != probed.end()) {
        InterfaceReport route;
        route.name = QStringLiteral("(routing table)");
        d.interfaces.push_back(route);
    }
    // The rows are all made above: the pointers the counters hold stay valid.
    const auto rowOf = [&d](int index) -> InterfaceReport* {
        const auto it = std::find_if(d.interfaces.begin(), d.interfaces.end(),
                                     [index](const InterfaceReport& r) { return r.index == index; });
        return it == d.interfaces.end() ? nullptr : &*it;
    };
    // Each socket of the search is one interface; what it sent and what comes back to it is that card's.
    for (UdpSocket* socket : search.sockets()) {
        InterfaceReport* row = rowOf(socket->interfaceIndex());
        if (!row)
            continue;
        row->probed = true;
        row->sendError = socket->lastSendError();
        row->sent = socket->localPort() != 0 && row->sendError.isEmpty();
        m_connections.push_back(
            QObject::connect(socket, &UdpSocket::dataArrival, socket, [row](const QByteArray& datagram) {
                ++row->answers;
                const std::string_view bytes(datagram.constData(), static_cast<std::size_t>(datagram.size()));
                if (viewSearchReply(bytes))
                    ++row->searchAnswers;
            }));
    }
}

SearchDiagnosis::~SearchDiagnosis()
{
    for (const QMetaObject::Connection& connection : m_connections)
        QObject::disconnect(connection);
}

const Diagnosis& SearchDiagnosis::result()
{
    m_diagnosis.devices = static_cast<int>(m_search.devices().size());
    return m_diagnosis;
}

} // namespace lv
