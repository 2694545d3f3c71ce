// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where a device answers from: the IPv4 address and port its search answer came from. Every later
// exchange with the device takes datagrams from there only, so a datagram from any other address or
// port is set aside, and a search answer that two senders send alike is refused as the device. What
// this cannot stop: the protocol has no authentication, so a host that forges the device's own address
// and port as sender is taken for the device.

#include "ipv4.h"

#include <QtGlobal>

#include <optional>

namespace lv {

class DevicePeer {
public:
    constexpr DevicePeer() = default;
    constexpr DevicePeer(quint32 fromIpv4, quint16 fromPort) : ipv4(fromIpv4), port(fromPort) {}

    quint32 ipv4 = 0; // host byte order
    quint16 port = 0;

    // False for a device not seen answering a search: its exchanges take what comes.
    bool known() const { return ipv4 != 0 || port != 0; }
    // Whether a datagram from this address and port is the device's: from where its search answer came,
    // or from an address an Update gave it.
    bool sent(quint32 senderIPv4, quint16 senderPort) const
    {
        const auto at = [senderIPv4](const std::optional<Ipv4>& moved) {
            return moved && moved->value() == senderIPv4;
        };
        return senderPort == port && (senderIPv4 == ipv4 || at(m_movedTo) || at(m_movedFrom));
    }

    // The one place that records a device's new address: an Update gave it `address` (none: it kept its
    // own), so from now on it may answer from there, on the same port. Until the device has answered
    // from there it may still answer from the address it had, so that one stays accepted as well.
    void moveTo(const std::optional<Ipv4>& address)
    {
        if (!address || address->value() == 0 || address == m_movedTo)
            return;
        m_movedFrom = m_movedTo;
        m_movedTo = address;
    }
    // The address the latest Update gave the device, if one did.
    const std::optional<Ipv4>& movedTo() const { return m_movedTo; }

private:
    std::optional<Ipv4> m_movedTo;
    std::optional<Ipv4> m_movedFrom; // the address it was given before, when it moved twice
};

} // namespace lv
