// SPDX-License-Identifier: Apache-2.0
// What the entries of a plan reach.

#include "targets.h"

#include "latin1.h"
#include "showntext.h"

#include <map>
#include <set>

namespace lv {

std::vector<ReachedDevice> reachedDevices(const FoundDevices& devices, const DeviceSelection& selection)
{
    std::vector<const FoundDevice*> matched = matching(devices, selection);
    sortByMac(matched);
    const std::vector<QString> conflicts = conflictTexts(devices, matched);
    std::vector<ReachedDevice> reached;
    reached.reserve(matched.size());
    for (std::size_t i = 0; i < matched.size(); ++i)
        reached.push_back(ReachedDevice{matched[i], conflicts[i]});
    return reached;
}

Expected<Reach> reach(const Plan& plan, const FoundDevices& devices, const std::optional<DeviceSelection>& narrow)
{
    std::vector<DeviceSelector> selectors;
    std::vector<std::size_t> namedEntries;
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (!plan.entries[i].selection) {
            selectors.push_back(plan.entries[i].selector);
            namedEntries.push_back(i);
        }
    const Expected<std::vector<const FoundDevice*>> found = resolveSelectors(devices, selectors);
    if (!found)
        return found.failure();

    Reach result;
    result.candidates.resize(plan.entries.size());
    result.selections.resize(plan.entries.size());
    result.notFound.assign(plan.entries.size(), false);
    for (std::size_t k = 0; k < namedEntries.size(); ++k) {
        result.notFound[namedEntries[k]] = !(*found)[k];
        if ((*found)[k])
            result.candidates[namedEntries[k]] = {ReachedDevice{(*found)[k], {}}};
    }
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlanEntry& device = plan.entries[i];
        std::vector<ReachedDevice>& candidates = result.candidates[i];
        if (device.selection) {
            result.selections[i] = narrow ? device.selection->joined(*narrow) : *device.selection;
            candidates = reachedDevices(devices, result.selections[i]);
        } else if (narrow) {
            result.selections[i] = *narrow;
            if (!candidates.empty() && !narrow->matchesAnswer(candidates[0].device->answer))
                candidates.clear();
        }
    }

    // Each device asked once, with the password of the first entry that may reach it (the one its
    // Update will use if it matches), in the order they are listed.
    std::map<const FoundDevice*, std::optional<QString>, std::less<>> probes;
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (result.selections[i].needsModel())
            for (const ReachedDevice& reached : result.candidates[i])
                if (reached.conflict.isEmpty() && !probes.count(reached.device))
                    probes.emplace(reached.device, plan.entries[i].password);
    for (const auto& [device, password] : probes)
        result.probes.push_back(Reach::Probe{device, password});
    return result;
}

Targets targets(const Plan& plan, const Reach& reach, const ProbedModel& probedModel)
{
    Targets result;
    std::map<const FoundDevice*, QString, std::less<>> claimed; // device -> how the plan reached it first
    // Devices whose failed probe (or conflict, by model) is reported already.
    std::set<const FoundDevice*, std::less<>> unprobed;
    const auto settled = [](const QString& named, ReachResult::Outcome outcome, const QString& detail) {
        return Settled{named, {}, ReachResult{outcome, detail}, nullptr};
    };
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlanEntry& device = plan.entries[i];
        const DeviceSelection& selection = reach.selections[i];
        const QString how = device.selection ? QStringLiteral("select ") + device.device : device.device;
        if (reach.notFound[i]) {
            result.targets.push_back(
                {i, nullptr, 1, settled(device.device, ReachResult::Outcome::NotFound, device.device)});
            continue;
        }
        int n = 0;
        bool reported = false;
        for (const auto& [candidate, conflict] : reach.candidates[i]) {
            const QString mac = fromLatin1(candidate->answer.macText);
            const auto refused = [&] {
                Settled why = settled(mac, ReachResult::Outcome::Shared, conflict);
                why.macText = candidate->answer.macText;
                return why;
            };
            if (selection.needsModel() && !conflict.isEmpty()) {
                // Not judged, as below: whatever model it has, nothing is sent to it.
                reported = true;
                if (unprobed.insert(candidate).second)
                    result.targets.push_back({i, nullptr, 1, refused()});
                continue;
            }
            if (selection.needsModel()) {
                const ModelVersion* model = probedModel(*candidate);
                if (!model) {
                    // Not judged: the device did not say what it is. Reported once, under the first entry.
                    reported = true;
                    if (unprobed.insert(candidate).second) {
                        Settled failed{device.selection ? mac : device.device, {}, std::nullopt, candidate};
                        result.targets.push_back({i, nullptr, 1, std::move(failed)});
                    }
                    continue;
                }
                if (!selection.matchesModel(model->model))
                    continue;
            }
            ++n;
            const QString named = device.selection ? mac : device.device;
            if (const auto first = claimed.find(candidate); first != claimed.end()) {
                result.targets.push_back(
                    {i, nullptr, n, settled(named, ReachResult::Outcome::NamedTwice, printableName(first->second))});
                continue;
            }
            claimed[candidate] = how;
            // A device in conflict keeps its number, so that the others keep theirs.
            if (!conflict.isEmpty())
                result.targets.push_back({i, nullptr, n, refused()});
            else
                result.targets.push_back({i, candidate, n, std::nullopt});
        }
        if (n > 0 || reported)
            continue;
        if (device.selection)
            result.targets.push_back(
                {i, nullptr, 1, settled(device.device, ReachResult::Outcome::NoMatch, printableName(device.device))});
        else
            ++result.leftOut; // named, but outside --select
    }
    return result;
}

} // namespace lv
