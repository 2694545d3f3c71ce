// SPDX-License-Identifier: Apache-2.0
#pragma once

// The device search: one probe broadcast on the command port, every answer
// listed as it arrives until the next search. Each new device is signalled on
// its own (deviceAdded) and, once per read of the socket, together with the
// others that came in the same turn (devicesAdded), so a list can take a burst
// of answers in one insertion.
//
// The probe to the LAN broadcast address leaves through every IPv4 interface
// that is up and can broadcast, on a socket of its own, so devices behind a
// second network card answer too; each device keeps the interface it answered
// on, and its commands leave there. Aimed elsewhere (a directed broadcast or
// one address), the probe goes once, where the routing table sends it. Lines
// whose IP address is answered by two or more MACs are marked as conflicts (a MAC
// is its six bytes, however its field writes them), and so are lines whose MAC
// answers from two or more IP addresses or senders (one sender seen through two
// cards is one).
//
// The listing is bounded: at most kListedAnswersLimit lines (some 200 bytes each
// with the line built, so about 40 MB at the limit); further new answers are only
// counted (unlistedAnswers). Answers the system dropped because the receive buffer
// overflowed are counted too, where the system tells (lostAnswers).

#include "devicelist.h"
#include "devicepeer.h"
#include "deviceref.h"
#include "sessionstate.h"
#include "udpsocket.h"

#include <QNetworkInterface>
#include <QObject>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lv {

// The interface a person named: by the system's name (eth0; on Windows a name
// such as ethernet_32769) or by the name Windows shows ("Ethernet", "Wi-Fi").
QNetworkInterface interfaceNamed(const QString& name);

// How many further senders of one answer are kept to be named.
inline constexpr std::size_t kNamedSendersLimit = 8;

// How many lines one search lists at most.
inline constexpr int kListedAnswersLimit = 200000;

// Why a line is marked: its IP address is answered by another MAC, its MAC answers from another IP
// address or sender, or both; and, on its own or beside those, its very answer came from two or more senders
// (another host repeats the device's answer, so which one is the device cannot be told).
enum class ConflictKind { None = 0, SharedIp = 1, SharedMac = 2, Both = 3, SharedAnswer = 4 };

class DeviceSearch final : public QObject {
    Q_OBJECT
public:
    explicit DeviceSearch(SessionState& state, QObject* parent = nullptr);
    ~DeviceSearch() override;

    // Clears the list and sends the probe. False when the probe could not be sent.
    bool start();

    const DeviceList& devices() const { return m_devices; }
    const SessionState& state() const { return m_state; }
    // Rewrites of a listed device (after an update or a MAC change). A raw entry that names another IP
    // address than before moves the device's sender there (DevicePeer::moveTo): its replies may come
    // from that address from now on.
    void setLine(int index, const std::string& line);
    void setRaw(int index, const std::string& raw);

    // The handle of the listed device at `index`, as the list holds it now (an Update or a MAC change may
    // have rewritten its entry since); none for an index out of range.
    std::optional<DeviceRef> deviceAt(int index) const;

    // The interface the device answered on: its index, 0 when the probe went
    // where the routing table sends.
    int interfaceOf(int index) const;
    // Where the device's search answer came from (unknown for an index out of range): the first sender
    // of its answer, moved to the address an Update gave the device since.
    DevicePeer senderOf(int index) const;
    // Every sender of the device's answer, the first one first: more than one when another host sent
    // the same answer text. Such a device is never asked anything: its answers cannot be told from the
    // other host's.
    std::vector<DevicePeer> sendersOf(int index) const;
    bool answerShared(int index) const { return m_otherSenders.count(index) != 0; }
    // A listed device other than the one at `except` that answered with `mac`: the MAC service refuses
    // a new address another device has (two devices with one MAC could no longer be told apart).
    std::optional<int> otherDeviceWithMac(const MacAddress& mac, int except) const;
    // True when another MAC answered with the IP address of this device, or its MAC answered from
    // another IP address or sender.
    bool conflicted(int index) const { return conflictKind(index) != ConflictKind::None; }
    ConflictKind conflictKind(int index) const;
    bool ipConflicted(int index) const;
    bool macConflicted(int index) const;
    // How many listed devices share their IP address with a device of another MAC.
    int conflictCount() const { return m_conflictLines; }
    // How many listed devices share their MAC with a device that answered from another IP address or
    // sender.
    int macConflictCount() const { return m_macConflictLines; }

    // Search answers of the current search the system dropped because the receive buffer was full,
    // summed over the search's sockets; -1 where the system does not tell.
    qint64 lostAnswers() const;
    // New search answers of the current search left out of the listing because it was full.
    qint64 unlistedAnswers() const { return m_unlisted; }
    // The most lines a search lists (kListedAnswersLimit unless changed).
    void setListLimit(int lines) { m_listLimit = lines; }
    int listLimit() const { return m_listLimit; }

    // The datagrams of any kind that came back through the socket of interface `interfaceIndex` since
    // the last start(), and how many of them were search answers (repeats and answers left out of a
    // full listing included).
    int answersThrough(int interfaceIndex) const;
    int searchAnswersThrough(int interfaceIndex) const;

    // The interfaces the next probe leaves through (0: the routing table's choice).
    // Empty when the chosen interface is not there.
    std::vector<int> probeInterfaces() const;

    // The first socket of the last search (the only one unless it went out on several interfaces).
    UdpSocket& socket();
    // Every socket of the last search, one per interface the probe left through.
    std::vector<UdpSocket*> sockets() const;

Q_SIGNALS:
    void cleared();
    void deviceAdded(int index);
    // The devices first..last (inclusive) were added since the last such signal.
    void devicesAdded(int first, int last);
    void lineChanged(int index);
    // The set of devices marked as conflicts changed.
    void conflictsChanged();
    // lostAnswers() or unlistedAnswers() changed (looked at once per read of the sockets).
    void searchCountsChanged();

private:
    // The search answer of the device at `index`, read; nothing for an index off the list.
    std::optional<SearchReplyView> replyAt(int index) const;
    // The MACs that answer with one IP address (or the IP addresses one MAC answers from), each with
    // how many listed devices carry it. The first is kept inline: nearly every address has one MAC,
    // and a search of thousands of devices then allocates nothing per address beyond its entry.
    template <typename Owner> class Owners {
    public:
        // Counts `delta` more devices of `owner`; an owner whose count falls to zero is forgotten.
        void add(const Owner& owner, int delta);
        std::size_t owners() const { return (m_firstCount > 0 ? 1 : 0) + m_others.size(); }
        int devices() const
        {
            int n = m_firstCount;
            for (const auto& other : m_others)
                n += other.second;
            return n;
        }

    private:
        Owner m_first{};
        int m_firstCount = 0;
        std::vector<std::pair<Owner, int>> m_others;
    };
    // Where a MAC answered from: the IP address its answer names and the sender it came from.
    struct MacOwner {
        std::string ip;
        quint32 senderIpv4 = 0;
        quint16 senderPort = 0;
        bool operator==(const MacOwner&) const = default;
    };
    using IpOwners = Owners<MacAddress>; // by IP: the MACs
    using MacOwners = Owners<MacOwner>;  // by MAC: where it answered from

    void onDatagram(const QByteArray& datagram, int interfaceIndex, DevicePeer sender);
    void flushAdded();
    // Records another sender of the answer listed at `index`.
    void noteSender(int index, DevicePeer sender);
    UdpSocket& socketFor(int interfaceIndex);
    // Counts `delta` more lines of the answer `raw` that came from `sender` (as first seen).
    void count(const std::string& raw, const DevicePeer& sender, int delta);
    // Signals searchCountsChanged when the counts differ from those last signalled.
    void checkCounts();

    SessionState& m_state;
    std::map<int, std::unique_ptr<UdpSocket>> m_sockets; // by interface index
    DeviceList m_devices;
    std::vector<int> m_interfaces;                         // beside each listed device
    std::vector<DevicePeer> m_senders;                     // beside each listed device
    std::map<int, std::vector<DevicePeer>> m_otherSenders; // by index: further senders of the same answer
    FlatTextMap<IpOwners> m_owners;                        // by IP
    FlatTextMap<MacOwners> m_macOwners;                    // by MAC text
    int m_conflictLines = 0;
    int m_macConflictLines = 0;
    std::map<int, qint64> m_droppedBefore; // by interface index: the socket's drops when the probe left
    struct Received {
        int datagrams = 0;
        int searchAnswers = 0;
    };
    std::map<int, Received> m_received; // by interface index, since start()
    qint64 m_unlisted = 0;
    int m_listLimit = kListedAnswersLimit;
    qint64 m_signalledLost = 0;
    qint64 m_signalledUnlisted = 0;
    bool m_conflictsChanged = false;
    int m_firstUnsignalled = -1; // first index not yet in a devicesAdded signal
};

} // namespace lv
