// SPDX-License-Identifier: Apache-2.0
#pragma once

// The devices a front end hands to the fleet: what one search found, each device as the handle every
// exchange takes, with its answer read once. The fleet never searches itself: the CLI hands in every
// device its search listed, the window the lines the operator selected.

#include "devicelist.h"
#include "devicepeer.h"
#include "deviceref.h"
#include "devicesearch.h"
#include "deviceselector.h"
#include "expected.h"
#include "selection.h"

#include <QString>

#include <span>
#include <vector>

namespace lv {

struct FoundDevice {
    DeviceRef ref;                   // its line, raw answer, MAC, card and sender
    SearchReply answer;              // that answer read: MAC text and field, IP, device ID
    std::vector<DevicePeer> senders; // every sender of that answer, the first one first
    ConflictKind conflict = ConflictKind::None;

    // Another host sends the device's answer too: which one is the device cannot be told.
    bool shared() const { return senders.size() > 1; }
};
using FoundDevices = std::vector<FoundDevice>;

// Every device the search listed, in the list's order.
FoundDevices foundDevices(const DeviceSearch& search);
// The listed devices at `rows`, in that order.
FoundDevices foundDevices(const DeviceSearch& search, std::span<const int> rows);

// What each selector names among the devices, the one rule for every command that names devices: the
// device when exactly one answer matches, null when none does. A selector that two or more answers
// match fails (exit 2, the candidates named), and so does one whose device's answer came from two
// senders; the first selector that fails decides.
Expected<std::vector<const FoundDevice*>> resolveSelectors(const FoundDevices& devices,
                                                           std::span<const DeviceSelector> selectors);

// The devices whose search answer the selection matches (every device for an empty one), in the
// order they are listed.
std::vector<const FoundDevice*> matching(const FoundDevices& devices, const DeviceSelection& selection);

// `reached` in ascending MAC order; the lines of one MAC stay in the order they are listed.
void sortByMac(std::vector<const FoundDevice*>& reached);

// For each of `reached`, why nothing may be sent to it: another host sends its answer too, or its MAC
// answers in two ways (from two addresses or senders) among `devices`. Empty for one in no such conflict.
std::vector<QString> conflictTexts(const FoundDevices& devices, const std::vector<const FoundDevice*>& reached);

} // namespace lv
