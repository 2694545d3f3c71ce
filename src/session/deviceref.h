// SPDX-License-Identifier: Apache-2.0
#pragma once

// The one handle of a device an operation is for: its search answer as received, the MAC that answer
// names, the card it answered on and where the answer came from. The search's list builds it
// (DeviceSearch::deviceAt); the window host, every exchange, the MAC service and the CLI's jobs take it
// as it is, so nothing reads the device back through a click handler or a program-wide value.

#include "devicelist.h"
#include "devicepeer.h"
#include "macaddress.h"

#include <optional>
#include <string>

namespace lv {

struct DeviceRef {
    DeviceRef() = default;
    // Not explicit: a search answer alone names a device (one never listed takes replies from anyone).
    DeviceRef(std::string rawAnswer, int interface = 0, DevicePeer from = {}, int listRow = -1)
        : row(listRow), raw(std::move(rawAnswer)), macField(macFieldOfEntry(raw)), mac(MacAddress::fromField(macField)),
          macText(mac ? mac->text() : std::string()), interfaceIndex(interface), sender(from)
    {
    }

    int row = -1;                  // its line in the search's list (-1: not listed)
    std::string raw;               // its search answer, byte for byte
    std::string macField;          // the MAC field that answer names ("0.80.194.1.2.3"; empty: none)
    std::optional<MacAddress> mac; // that field read, when it is a MAC address
    std::string macText;           // the MAC text its list line shows ("00-50-C2-01-02-03")
    int interfaceIndex = 0;        // the card it answered on (0: where the routing table sends)
    DevicePeer sender;             // where its answer came from; its replies are taken from there only
};

} // namespace lv
