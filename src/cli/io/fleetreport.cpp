// SPDX-License-Identifier: Apache-2.0
// What the CLI writes about a fleet.

#include "fleetreport.h"

#include "outcometexts.h"

namespace lv {

QString fleetSummary(const std::vector<const DeviceOutcome*>& results, int leftOut, qint64 elapsedMs)
{
    RunCounts counts;
    for (const DeviceOutcome* o : results)
        ++counts.ended[o->result];
    return fleetSummaryText(counts, leftOut, elapsedMs);
}

} // namespace lv
