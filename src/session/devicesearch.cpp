// SPDX-License-Identifier: Apache-2.0
// The device search over one or several interfaces, the interface of each device and the IP conflicts.

#include "devicesearch.h"

#include "interfacename.h"
#include "tagmessage.h"

#include <QNetworkInterface>

#include <algorithm>

namespace lv {

namespace {

bool canProbe(const QNetworkInterface& iface)
{
    const auto flags = iface.flags();
    if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::CanBroadcast))
        return false;
    for (const QNetworkAddressEntry& entry : iface.addressEntries())
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return true;
    return false;
}

} // namespace

QNetworkInterface interfaceNamed(const QString& name)
{
    const QNetworkInterface byName = QNetworkInterface::interfaceFromName(qtInterfaceName(name));
    if (byName.isValid())
        return byName;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        if (systemInterfaceName(iface.humanReadableName()).compare(name, Qt::CaseInsensitive) == 0)
            return iface;
    return {};
}

DeviceSearch::DeviceSearch(SessionState& state, QObject* parent) : QObject(parent), m_state(state) {}

DeviceSearch::~DeviceSearch() = default;

UdpSocket& DeviceSearch::socketFor(int interfaceIndex)
{
    std::unique_ptr<UdpSocket>& socket = m_sockets[interfaceIndex];
    if (!socket) {
        socket = std::make_unique<UdpSocket>();
        socket->setInterface(interfaceIndex);
        connect(socket.get(), &UdpSocket::dataArrival, this,
                [this, interfaceIndex](const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort) {
                    onDatagram(datagram, interfaceIndex, {senderIPv4, senderPort});
                });
        connect(socket.get(), &UdpSocket::batchEnded, this, &DeviceSearch::flushAdded);
    }
    return *socket;
}

UdpSocket& DeviceSearch::socket()
{
    return m_sockets.empty() ? socketFor(0) : *m_sockets.begin()->second;
}

std::vector<UdpSocket*> DeviceSearch::sockets() const
{
    std::vector<UdpSocket*> out;
    for (const auto& [index, socket] : m_sockets)
        out.push_back(socket.get());
    return out;
}

std::vector<int> DeviceSearch::probeInterfaces() const
{
    if (!m_state.interfaceName.isEmpty()) {
        const QNetworkInterface chosen = interfaceNamed(m_state.interfaceName);
        if (!chosen.isValid())
            return {};
        return {chosen.index()};
    }
    // Only the LAN broadcast stays on the segment of the card it leaves by; any
    // other target is reached through the routing table.
    if (m_state.broadcast != QHostAddress(QHostAddress::Broadcast))
        return {0};
    std::vector<int> out;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        if (canProbe(iface))
            out.push_back(iface.index());
    if (out.empty())
        out.push_back(0);
    return out;
}

bool DeviceSearch::start()
{
    m_devices.clear();
    m_interfaces.clear();
    m_senders.clear();
    m_otherSenders.clear();
    m_owners.clear();
    m_macOwners.clear();
    m_conflictLines = 0;
    m_macConflictLines = 0;
    m_unlisted = 0;
    m_droppedBefore.clear();
    m_received.clear();
    m_conflictsChanged = false;
    m_firstUnsignalled = -1;
    Q_EMIT cleared();
    const std::vector<int> interfaces = probeInterfaces();
    // Sockets of interfaces no longer probed are dropped, with any late answers.
    for (auto it = m_sockets.begin(); it != m_sockets.end();) {
        if (std::find(interfaces.begin(), interfaces.end(), it->first) == interfaces.end())
            it = m_sockets.erase(it);
        else
            ++it;
    }
    const QByteArray probe(kSearchProbe.data(), static_cast<qsizetype>(kSearchProbe.size()));
    bool sent = false;
    for (int index : interfaces) {
        UdpSocket& socket = socketFor(index);
        socket.setRemoteHost(m_state.broadcast);
        socket.setRemotePort(m_state.gCmdPort);
        sent = socket.sendData(probe) || sent;
        // Drops count from here: those of an earlier search on the same port are not this one's.
        m_droppedBefore[index] = std::max<qint64>(0, socket.droppedDatagrams());
    }
    checkCounts();
    return sent;
}

std::optional<DeviceRef> DeviceSearch::deviceAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size())
        return std::nullopt;
    const auto at = static_cast<std::size_t>(index);
    DeviceRef device(m_devices.raw(at), interfaceOf(index), senderOf(index), index);
    device.macText = macTextOfLine(m_devices.line(at));
    return device;
}

int DeviceSearch::interfaceOf(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_interfaces.size())
        return 0;
    return m_interfaces[static_cast<std::size_t>(index)];
}

DevicePeer DeviceSearch::senderOf(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_senders.size())
        return {};
    return m_senders[static_cast<std::size_t>(index)];
}

std::vector<DevicePeer> DeviceSearch::sendersOf(int index) const
{
    std::vector<DevicePeer> senders{senderOf(index)};
    if (const auto others = m_otherSenders.find(index); others != m_otherSenders.end())
        senders.insert(senders.end(), others->second.begin(), others->second.end());
    return senders;
}

std::optional<int> DeviceSearch::otherDeviceWithMac(const MacAddress& mac, int except) const
{
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (static_cast<int>(i) == except)
            continue;
        const std::optional<SearchReplyView> reply = viewSearchReply(m_devices.raw(i));
        if (reply && reply->mac == mac)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

ConflictKind DeviceSearch::conflictKind(int index) const
{
    const int kind = (ipConflicted(index) ? static_cast<int>(ConflictKind::SharedIp) : 0) |
                     (macConflicted(index) ? static_cast<int>(ConflictKind::SharedMac) : 0) |
                     (answerShared(index) ? static_cast<int>(ConflictKind::SharedAnswer) : 0);
    return static_cast<ConflictKind>(kind);
}

std::optional<SearchReplyView> DeviceSearch::replyAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size())
        return std::nullopt;
    return viewSearchReply(m_devices.raw(static_cast<std::size_t>(index)));
}

bool DeviceSearch::ipConflicted(int index) const
{
    const std::optional<SearchReplyView> reply = m_conflictLines == 0 ? std::nullopt : replyAt(index);
    const IpOwners* owners = reply ? m_owners.find(reply->ip) : nullptr;
    return owners && owners->owners() >= 2;
}

bool DeviceSearch::macConflicted(int index) const
{
    const std::optional<SearchReplyView> reply = m_macConflictLines == 0 ? std::nullopt : replyAt(index);
    const MacOwners* owners = reply ? m_macOwners.find(reply->macText()) : nullptr;
    return owners && owners->owners() >= 2;
}

template <typename Owner> void DeviceSearch::Owners<Owner>::add(const Owner& owner, int delta)
{
    if (m_firstCount > 0 && m_first == owner) {
        m_firstCount = std::max(0, m_firstCount + delta);
        return;
    }
    const auto other = std::find_if(m_others.begin(), m_others.end(), [&](const auto& o) { return o.first == owner; });
    if (other != m_others.end()) {
        other->second += delta;
        if (other->second <= 0)
            m_others.erase(other);
    } else if (delta > 0) {
        if (m_firstCount == 0) {
            m_first = owner;
            m_firstCount = delta;
        } else {
            m_others.emplace_back(owner, delta);
        }
    }
}

namespace {

// Counts `delta` more devices of `owner` under `key` of `map`; adds to `lines` the change in the number
// of devices whose key has two or more owners. True when which lines are marked may have changed.
template <typename Map, typename Owner>
bool countOwner(Map& map, std::string_view key, const Owner& owner, int delta, int& lines)
{
    auto& owners = map[key];
    const auto marked = [](const auto& o) { return o.owners() >= 2 ? o.devices() : 0; };
    const std::size_t before = owners.owners();
    const int markedBefore = marked(owners);
    owners.add(owner, delta);
    lines += marked(owners) - markedBefore;
    const bool changed = (before >= 2) != (owners.owners() >= 2) || (owners.owners() >= 2 && delta > 0);
    if (owners.devices() <= 0)
        map.erase(key);
    return changed;
}

} // namespace

void DeviceSearch::count(const std::string& raw, const DevicePeer& sender, int delta)
{
    const std::optional<SearchReplyView> reply = viewSearchReply(raw);
    if (!reply)
        return;
    if (countOwner(m_owners, reply->ip, reply->mac, delta, m_conflictLines))
        m_conflictsChanged = true;
    // The sender as its answer came: an Update that moved the device does not make it another sender.
    if (countOwner(m_macOwners, reply->macText(), MacOwner{std::string(reply->ip), sender.ipv4, sender.port}, delta,
                   m_macConflictLines))
        m_conflictsChanged = true;
}

int DeviceSearch::answersThrough(int interfaceIndex) const
{
    const auto it = m_received.find(interfaceIndex);
    return it == m_received.end() ? 0 : it->second.datagrams;
}

int DeviceSearch::searchAnswersThrough(int interfaceIndex) const
{
    const auto it = m_received.find(interfaceIndex);
    return it == m_received.end() ? 0 : it->second.searchAnswers;
}

qint64 DeviceSearch::lostAnswers() const
{
    qint64 lost = 0;
    for (const auto& [index, socket] : m_sockets) {
        const qint64 dropped = socket->droppedDatagrams();
        if (dropped < 0)
            return -1;
        const auto before = m_droppedBefore.find(index);
        lost += dropped - (before == m_droppedBefore.end() ? 0 : before->second);
    }
    return lost;
}

void DeviceSearch::checkCounts()
{
    const qint64 lost = lostAnswers();
    if (lost == m_signalledLost && m_unlisted == m_signalledUnlisted)
        return;
    m_signalledLost = lost;
    m_signalledUnlisted = m_unlisted;
    Q_EMIT searchCountsChanged();
}

void DeviceSearch::setLine(int index, const std::string& line)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size())
        return;
    m_devices.setLine(static_cast<std::size_t>(index), line);
    Q_EMIT lineChanged(index);
}

void DeviceSearch::setRaw(int index, const std::string& raw)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size())
        return;
    const std::string before = m_devices.raw(static_cast<std::size_t>(index));
    const DevicePeer sender = senderOf(index);
    count(before, sender, -1);
    // A device that took a new IP address may answer from there from now on.
    const auto ipOf = [](std::string_view entry) {
        const auto slashes = twoSlashes(entry);
        return slashes ? entry.substr(slashes->first + 1, slashes->second - slashes->first - 1) : std::string_view();
    };
    if (const std::string_view ip = ipOf(raw); ip != ipOf(before) && static_cast<std::size_t>(index) < m_senders.size())
        m_senders[static_cast<std::size_t>(index)].moveTo(Ipv4::fromText(ip));
    m_devices.setRaw(static_cast<std::size_t>(index), raw);
    count(raw, sender, +1);
    if (m_conflictsChanged) {
        m_conflictsChanged = false;
        Q_EMIT conflictsChanged();
    }
}

void DeviceSearch::onDatagram(const QByteArray& datagram, int interfaceIndex, DevicePeer sender)
{
    const std::string_view bytes(datagram.constData(), static_cast<std::size_t>(datagram.size()));
    Received& received = m_received[interfaceIndex];
    ++received.datagrams;
    if (m_devices.size() >= static_cast<std::size_t>(std::max(0, m_listLimit))) {
        // The listing is full: a new answer is counted, not kept (a repeat of a listed one is no news).
        if (viewSearchReply(bytes)) {
            ++received.searchAnswers;
            if (!m_devices.contains(bytes))
                ++m_unlisted;
        }
        return;
    }
    int listed = -1;
    const int index = m_devices.add(bytes, &listed);
    // Only a search answer is listed, or is the repeat of a listed one.
    if (index >= 0 || listed >= 0)
        ++received.searchAnswers;
    if (index < 0) {
        // The same answer again: from its first sender it is a repeat; from another one, either host may
        // be the device, and the line is marked so that nothing is sent to it.
        if (listed >= 0 && static_cast<std::size_t>(listed) < m_senders.size())
            noteSender(listed, sender);
        return;
    }
    m_interfaces.push_back(interfaceIndex);
    m_senders.push_back(sender);
    count(m_devices.raw(static_cast<std::size_t>(index)), sender, +1);
    if (m_firstUnsignalled < 0)
        m_firstUnsignalled = index;
    Q_EMIT deviceAdded(index);
}

void DeviceSearch::noteSender(int index, DevicePeer sender)
{
    const DevicePeer& first = m_senders[static_cast<std::size_t>(index)];
    const auto same = [&sender](const DevicePeer& peer) {
        return peer.ipv4 == sender.ipv4 && peer.port == sender.port;
    };
    if (same(first))
        return;
    std::vector<DevicePeer>& others = m_otherSenders[index];
    // A few are enough to name; a host that sends the answer from many ports adds nothing more.
    if (others.size() < kNamedSendersLimit && std::none_of(others.begin(), others.end(), same)) {
        const bool marked = !others.empty();
        others.push_back(sender);
        if (!marked)
            m_conflictsChanged = true;
    }
}

void DeviceSearch::flushAdded()
{
    if (m_firstUnsignalled >= 0) {
        const int first = m_firstUnsignalled;
        m_firstUnsignalled = -1;
        Q_EMIT devicesAdded(first, static_cast<int>(m_devices.size()) - 1);
    }
    if (m_conflictsChanged) {
        m_conflictsChanged = false;
        Q_EMIT conflictsChanged();
    }
    checkCounts();
}

} // namespace lv
