// SPDX-License-Identifier: Apache-2.0
#pragma once

// A plan's run after its search: what the plan reaches (a selection by model has the devices it may
// reach asked for their model first), then a job for each device it reaches and, in the plan's order,
// the outcome of each, also of those the search settled without a job. The front end says how a job
// is made and run on its session; it writes the results as it likes.

#include "backup.h"
#include "csvplan.h"
#include "devicejob.h"
#include "expected.h"
#include "targets.h"

#include <QJsonObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lv {

struct FleetSession {
    // A device's job on the front end's session: its wire log, its stops, its waits and retries.
    std::function<std::unique_ptr<DeviceJob>(DeviceTask task, JobSettings settings)> job;
    // Runs the jobs, as many at once as the front end runs, `finished` called for each as it ends.
    std::function<void(const DeviceJobs& jobs, const std::function<void(DeviceJob&)>& finished)> run;
    // The setup password of a device whose entry gives none; asked for only when first needed.
    std::function<QString()> password;
};

struct PlanTargets {
    Targets found;
    std::vector<std::optional<DeviceOutcome>> settled; // per target: its outcome, when the search settled it
};

// What the plan reaches among the devices the search found. `narrow` (--select) must match too, for
// named devices as well. Fails as resolveSelectors does for the entries that name their device.
Expected<PlanTargets> planTargets(const FleetSession& session, const Plan& plan, const FoundDevices& devices,
                                  const std::optional<DeviceSelection>& narrow);

struct FleetRun {
    std::vector<Target> targets;
    DeviceJobs jobs;
    std::vector<std::optional<DeviceOutcome>> settled; // per target: its outcome when no job runs for it
    std::vector<int> jobOf;                            // per target: its job; -1 when settled

    const DeviceOutcome& outcome(std::size_t target) const;
    // Whether the target's outcome is final: settled by the search, or its job ended.
    bool ended(std::size_t target) const;
    std::vector<const DeviceOutcome*> byPlan() const;
};

// A job for each device the plan reaches, its entry's changes with the templates filled in for it.
FleetRun planJobs(const FleetSession& session, const Plan& plan, const PlanTargets& targets,
                  const JobSettings& settings);

// The undo plan's entries of a run that read every device and sent nothing (a dry run): one for each
// device it would send something, with the setup password it was asked with (its entry's, else
// `password`).
std::vector<BackupEntry> undoEntries(const FleetRun& reading, const Plan& plan,
                                     const std::function<QString()>& password);

// A loaded device as an export writes it: its entry of a JSON plan ({"device", "model", "version",
// "set", and "window" unless `roles`: a plan by roles is meant for devices of any family), or its row
// of a CSV plan (fields by role where they have one). Secrets as the mask shows them.
QJsonObject exportEntry(const DeviceOutcome& loaded, const SecretMask& mask, bool roles);
CsvPlanRow exportRow(const DeviceOutcome& loaded, const SecretMask& mask);

// How many of the outcomes ended with each result, for the closing line (fleetSummaryText()).
RunCounts runCounts(const std::vector<const DeviceOutcome*>& outcomes);

} // namespace lv
