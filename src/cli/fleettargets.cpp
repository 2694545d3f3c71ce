// SPDX-License-Identifier: Apache-2.0
// What the entries of a plan reach.

#include "fleettargets.h"

#include "clicontext.h"
#include "latin1.h"
#include "outcometexts.h"
#include "output.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

namespace lv {

namespace {

DeviceOutcome settled(const QString& named, FleetResult result, const QString& error)
{
    DeviceOutcome outcome;
    outcome.named = named;
    outcome.result = result;
    outcome.error = error;
    return outcome;
}

} // namespace

std::unique_ptr<DeviceJob> loadJob(CliContext& context, const FoundDevice& device, const QString& named,
                                   const std::optional<QString>& password)
{
    DeviceTask task;
    task.named = named;
    task.device = device.ref;
    task.macText = device.answer.macText;
    task.password = toLatin1(password ? *password : context.setupPassword());
    JobSettings settings;
    settings.mode = JobSettings::Mode::Load;
    settings.timeoutMs = context.options().timeoutMs;
    settings.retries = context.options().retries;
    return std::make_unique<DeviceJob>(context.state(), std::move(task), settings, context.mask(), context.wireLog());
}

std::vector<ReachedDevice> answersMatching(CliContext& context, const DeviceSelection& selection)
{
    std::vector<const FoundDevice*> matched = matching(context.found(), selection);
    sortByMac(matched);
    const std::vector<QString> conflicts = conflictTexts(context.found(), matched);
    std::vector<ReachedDevice> reached;
    reached.reserve(matched.size());
    for (std::size_t i = 0; i < matched.size(); ++i)
        reached.push_back(ReachedDevice{matched[i], conflicts[i]});
    return reached;
}

Expected<FleetTargets> fleetTargets(CliContext& context, const Plan& plan, const std::optional<DeviceSelection>& narrow,
                                    int parallel)
{
    // One search, for the whole wait, for named and selected devices alike.
    std::vector<DeviceSelector> selectors;
    std::vector<std::size_t> namedEntries;
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (!plan.entries[i].selection) {
            selectors.push_back(plan.entries[i].selector);
            namedEntries.push_back(i);
        }
    std::vector<const FoundDevice*> found;
    if (!selectors.empty()) {
        Expected<std::vector<const FoundDevice*>> resolved = context.resolveAll(selectors);
        if (!resolved)
            return resolved.failure();
        found = std::move(*resolved);
    } else if (const std::optional<Failure> failed = context.runSearch()) {
        return *failed;
    }

    // Per entry, the devices it may reach by what their search answers say.
    std::vector<std::vector<ReachedDevice>> candidates(plan.entries.size());
    std::vector<DeviceSelection> selections(plan.entries.size());
    std::vector<bool> notFound(plan.entries.size(), false);
    for (std::size_t k = 0; k < namedEntries.size(); ++k) {
        notFound[namedEntries[k]] = !found[k];
        if (found[k])
            candidates[namedEntries[k]] = {ReachedDevice{found[k], {}}};
    }
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlanEntry& device = plan.entries[i];
        if (device.selection) {
            selections[i] = narrow ? device.selection->joined(*narrow) : *device.selection;
            candidates[i] = answersMatching(context, selections[i]);
        } else if (narrow) {
            selections[i] = *narrow;
            if (!candidates[i].empty() && !narrow->matchesAnswer(candidates[i][0].device->answer))
                candidates[i].clear();
        }
    }

    // The models of the devices a selection by model may reach, each device asked once, with the password
    // of the first entry that may reach it (the one its Update will use if it matches). A device in
    // conflict is asked nothing: its answer cannot be told from another host's.
    std::map<const FoundDevice*, std::unique_ptr<DeviceJob>, std::less<>> probes;
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (selections[i].needsModel())
            for (const ReachedDevice& reached : candidates[i])
                if (reached.conflict.isEmpty() && !probes.count(reached.device))
                    probes[reached.device] = loadJob(context, *reached.device, {}, plan.entries[i].password);
    if (!probes.empty()) {
        std::vector<std::unique_ptr<DeviceJob>> jobs;
        for (auto& [device, job] : probes)
            jobs.push_back(std::move(job));
        runDeviceJobs(jobs, parallel, {});
        std::size_t j = 0;
        for (auto& [device, job] : probes)
            job = std::move(jobs[j++]);
    }

    FleetTargets result;
    std::map<const FoundDevice*, QString, std::less<>> claimed; // device -> how the plan reached it first
    // Devices whose failed probe (or conflict, by model) is reported already.
    std::set<const FoundDevice*, std::less<>> unprobed;
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlanEntry& device = plan.entries[i];
        const QString how = device.selection ? QStringLiteral("select ") + device.device : device.device;
        if (notFound[i]) {
            result.targets.push_back(
                {i, nullptr, 1,
                 settled(device.device, FleetResult::NotFound, notFoundText(Audience::Fleet, device.device))});
            continue;
        }
        int n = 0;
        bool reported = false;
        for (const auto& [candidate, conflict] : candidates[i]) {
            const QString mac = fromLatin1(candidate->answer.macText);
            const auto refused = [&] {
                DeviceOutcome outcome = settled(mac, FleetResult::Refused, conflict);
                outcome.macText = toLatin1(mac);
                return outcome;
            };
            if (selections[i].needsModel() && !conflict.isEmpty()) {
                // Not judged, as below: whatever model it has, nothing is sent to it.
                reported = true;
                if (unprobed.insert(candidate).second)
                    result.targets.push_back({i, nullptr, 1, refused()});
                continue;
            }
            if (selections[i].needsModel()) {
                const DeviceOutcome& probe = probes.at(candidate)->outcome();
                if (probe.request.outcome != ConfigRequest::Outcome::Answered) {
                    // Not judged: the device did not say what it is. Reported once, under the first entry.
                    reported = true;
                    if (unprobed.insert(candidate).second) {
                        DeviceOutcome failed =
                            settled(device.selection ? mac : device.device, probe.result, probe.error);
                        failed.macText = probe.macText;
                        failed.tries = probe.tries;
                        result.targets.push_back({i, nullptr, 1, std::move(failed)});
                    }
                    continue;
                }
                if (!selections[i].matchesModel(probe.request.modelVersion.model))
                    continue;
            }
            ++n;
            const QString named = device.selection ? mac : device.device;
            if (const auto first = claimed.find(candidate); first != claimed.end()) {
                DeviceOutcome twice = settled(
                    named, FleetResult::Refused,
                    QStringLiteral("the plan names this device twice (also as %1)").arg(printableName(first->second)));
                result.targets.push_back({i, nullptr, n, std::move(twice)});
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
                {i, nullptr, 1,
                 settled(device.device, FleetResult::NotFound,
                         QStringLiteral("no device matches select %1").arg(printableName(device.device)))});
        else
            ++result.leftOut; // named, but outside --select
    }
    return result;
}

QString fleetSummary(const std::vector<const DeviceOutcome*>& results, int leftOut, qint64 elapsedMs)
{
    // In this order; every other result is a failure.
    static const QStringList kShown = {QStringLiteral("updated"),   QStringLiteral("would update"),
                                       QStringLiteral("unchanged"), QStringLiteral("loaded"),
                                       QStringLiteral("mismatch"),  QStringLiteral("failed"),
                                       QStringLiteral("refused")};
    std::map<QString, int> counts;
    for (const DeviceOutcome* o : results) {
        const QString text = fleetResultText(o->result);
        ++counts[kShown.contains(text) ? text : QStringLiteral("failed")];
    }
    QStringList parts;
    for (const QString& word : kShown)
        if (counts[word] > 0)
            parts << QStringLiteral("%1 %2").arg(counts[word]).arg(word);
    if (parts.isEmpty())
        parts << QStringLiteral("no device");
    if (leftOut > 0)
        parts << QStringLiteral("%1 left out by --select").arg(leftOut);
    return parts.join(QStringLiteral(", ")) +
           QStringLiteral(" in %1 s").arg(QString::number(static_cast<double>(elapsedMs) / 1000.0, 'f', 1));
}

} // namespace lv
