// SPDX-License-Identifier: Apache-2.0
#pragma once

// Which devices each entry of a plan reaches, after one search: the device an entry names, or every
// device its selection matches, in ascending MAC order and numbered from 1 for its templates in that
// order, so that a plan numbers its devices alike however their answers were ordered on the wire. A
// selection by model must ask each device it may reach for its configuration first, since only that
// tells the model: reach() says which, the front end asks them (all at once, as many as it runs at
// once), and targets() judges what they said.

#include "expected.h"
#include "founddevices.h"
#include "jobsteps.h"
#include "modeltable.h"
#include "plan.h"
#include "selection.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lv {

// A device whose search answer a selection matches, and why nothing may be sent to it: another host
// sends its answer too, or its MAC answers in two ways (from two addresses or senders). Empty when
// it is in no such conflict.
struct ReachedDevice {
    const FoundDevice* device = nullptr;
    QString conflict;
};

// The devices whose search answer `selection` matches, in ascending MAC order (one MAC's lines in
// the order they are listed).
std::vector<ReachedDevice> reachedDevices(const FoundDevices& devices, const DeviceSelection& selection);

// Per entry of a plan, the devices it may reach by what their search answers say.
struct Reach {
    struct Probe {
        const FoundDevice* device = nullptr;
        std::optional<QString> password; // the plan's, of the first entry that may reach it; else the session's
    };
    std::vector<std::vector<ReachedDevice>> candidates; // per entry
    std::vector<DeviceSelection> selections;            // per entry, what judges its candidates
    std::vector<bool> notFound;                         // per entry: it names a device no answer matches
    // The devices whose model must be asked before a selection by model can judge them, each once, in
    // the order they are listed. A device in conflict is asked nothing: its answer cannot be told from
    // another host's.
    std::vector<Probe> probes;
};

// What each entry may reach among the devices. `narrow` (--select) must match too, for named devices as
// well. Fails as resolveSelectors does for the entries that name their device.
Expected<Reach> reach(const Plan& plan, const FoundDevices& devices, const std::optional<DeviceSelection>& narrow);

// Why a target is settled without a job: what the search said of it, or (`reach` empty) that the device
// did not say its model, in which case the probe of `probed` says why.
struct Settled {
    QString named;                       // as the result line names it
    std::string macText;                 // the device's MAC text when the refusal names the device
    std::optional<ReachResult> reach;    // empty: the probe failed
    const FoundDevice* probed = nullptr; // the device whose probe failed
};

struct Target {
    std::size_t entry = 0;               // the plan entry
    const FoundDevice* device = nullptr; // the device the search found; null when settled already
    int n = 1;                           // its position among the devices its entry reaches
    std::optional<Settled> settled;      // settled without a job: not found, named twice, no model
};

struct Targets {
    std::vector<Target> targets; // in the plan's order, an entry's devices in MAC order
    int leftOut = 0;             // devices the plan names that --select leaves out
};

// The model a probe of reach() read from the device; null when the device did not answer it.
using ProbedModel = std::function<const ModelVersion*(const FoundDevice&)>;

// What each entry reaches, once the probes of `reach` were asked.
Targets targets(const Plan& plan, const Reach& reach, const ProbedModel& probedModel);

} // namespace lv
