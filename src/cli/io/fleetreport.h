// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the CLI writes about a fleet once its devices ended.

#include "devicejob.h"

#include <QString>

#include <vector>

namespace lv {

// The closing line of a fleet: how many devices ended how, and how long it took:
// "200 updated, 3 unchanged, 1 failed, 22 refused in 1.9 s". Devices that were not found, got no answer,
// were not sent or were cut short count as failed.
QString fleetSummary(const std::vector<const DeviceOutcome*>& results, int leftOut, qint64 elapsedMs);

} // namespace lv
