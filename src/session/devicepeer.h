// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where a device answers from: the IPv4 address and port its search answer came from. Every later
// exchange with the device takes datagrams from there only, so a datagram from any other address or
// port is set aside, and a search answer that two senders send alike is refused as the device. What
// this cannot stop: the protocol has no authentication, so a host that forges the device's own address
// and port as sender is taken for the device.

#include <QtGlobal>

namespace lv {

struct DevicePeer {
    quint32 ipv4 = 0; // host byte order
    quint16 port = 0;
    quint32 newIpv4 = 0; // the address an Update gave it since, from which it may answer too (0: none)

    // False for a device not seen answering a search: its exchanges take what comes.
    bool known() const { return ipv4 != 0 || port != 0; }
    // Whether a datagram from this address and port is the device's.
    bool sent(quint32 senderIPv4, quint16 senderPort) const
    {
        return senderPort == port && (senderIPv4 == ipv4 || (newIpv4 != 0 && senderIPv4 == newIpv4));
    }
};

} // namespace lv
