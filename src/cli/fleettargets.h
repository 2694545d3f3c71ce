// SPDX-License-Identifier: Apache-2.0
#pragma once

// Which devices each entry of a plan reaches, after one search: the device an entry names, or every
// device its selection matches, in ascending MAC order and numbered from 1 for its templates in that
// order, so that a plan numbers its devices alike however their answers were ordered on the wire. A
// selection by model asks each device it may reach for its configuration first (all at once, up to
// --parallel), since only that tells the model.

#include "command.h"
#include "devicejob.h"
#include "founddevices.h"
#include "plan.h"
#include "selection.h"

#include <memory>
#include <optional>
#include <vector>

namespace lv {

class CliContext;

struct FleetTarget {
    std::size_t entry = 0;               // the plan entry
    const FoundDevice* device = nullptr; // the device the search found; null when settled already
    int n = 1;                           // its position among the devices its entry reaches
    std::optional<DeviceOutcome> early;  // settled without a job: not found, named twice, no model
};

struct FleetTargets {
    std::vector<FleetTarget> targets; // in the plan's order, an entry's devices in MAC order
    int leftOut = 0;                  // devices the plan names that --select leaves out
};

// Searches (until --wait is over) and says what each entry reaches. `narrow` (--select) must match too, for named
// devices as well.
Expected<FleetTargets> fleetTargets(CliContext& context, const Plan& plan, const std::optional<DeviceSelection>& narrow,
                                    int parallel);

// A job that only asks the device for its configuration, with `password` or else the options'.
std::unique_ptr<DeviceJob> loadJob(CliContext& context, const FoundDevice& device, const QString& named = {},
                                   const std::optional<QString>& password = std::nullopt);

// A device whose search answer a selection matches, and why nothing may be sent to it: another host
// sends its answer too, or its MAC answers in two ways (from two addresses or senders). Empty when
// it is in no such conflict.
struct ReachedDevice {
    const FoundDevice* device = nullptr;
    QString conflict;
};

// The devices of the last search whose answer `selection` matches, in ascending MAC order (one MAC's
// lines in search order).
std::vector<ReachedDevice> answersMatching(CliContext& context, const DeviceSelection& selection);

// The closing line of a fleet: how many devices ended how, and how long it took:
// "200 updated, 3 unchanged, 1 failed, 22 refused in 1.9 s". Devices that were not found, got no answer,
// were not sent or were cut short count as failed.
QString fleetSummary(const std::vector<const DeviceOutcome*>& results, int leftOut, qint64 elapsedMs);

} // namespace lv
