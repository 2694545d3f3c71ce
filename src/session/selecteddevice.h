// SPDX-License-Identifier: Apache-2.0
#pragma once

// The device an operation is for, as the list shows it: given to the MAC service (and whatever else
// acts on the selected line) instead of being read back through program-wide values.

#include "devicesearch.h"
#include "macaddress.h"

#include <optional>
#include <string>

namespace lv {

struct SelectedDevice {
    int row = -1;                 // its line in both lists
    std::string macField;         // its MAC field as its search answer wrote it ("0.80.194.1.2.3")
    std::optional<MacAddress> mac; // that field read, when it is one
    int interfaceIndex = 0;       // the card it answered on (0: where the routing table sends)
    DevicePeer sender;            // where its search answer came from
};

// The listed device at `row`; nothing when there is none or its entry names no MAC field.
inline std::optional<SelectedDevice> selectedDevice(const DeviceSearch& search, int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= search.devices().size())
        return std::nullopt;
    SelectedDevice device;
    device.row = row;
    device.macField = macFieldOfEntry(search.devices().raw(static_cast<std::size_t>(row)));
    if (device.macField.empty())
        return std::nullopt;
    device.mac = MacAddress::fromField(device.macField);
    device.interfaceIndex = search.interfaceOf(row);
    device.sender = search.senderOf(row);
    return device;
}

} // namespace lv
