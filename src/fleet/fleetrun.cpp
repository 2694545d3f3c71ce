// SPDX-License-Identifier: Apache-2.0
// A plan's targets and its jobs.

#include "fleetrun.h"

#include "latin1.h"
#include "showntext.h"
#include "valuetemplate.h"

#include <map>

namespace lv {

namespace {

// The outcome of a target settled without a job; a failed model probe's is the probe's own.
DeviceOutcome settledOutcome(const Settled& settled, const std::map<const FoundDevice*, const DeviceOutcome*>& probed)
{
    if (!settled.reach) {
        DeviceOutcome outcome = *probed.at(settled.probed);
        outcome.named = settled.named;
        return outcome;
    }
    DeviceOutcome outcome;
    outcome.named = settled.named;
    outcome.macText = settled.macText;
    outcome.steps.reach = settled.reach;
    return outcome;
}

// The entries of a device's own set with their templates filled in for it.
SetEntries expanded(const SetEntries& set, const TemplateValues& values)
{
    SetEntries out = set;
    for (SetEntry& entry : out)
        entry.value = expandTemplates(entry.value, values);
    return out;
}

} // namespace

Expected<PlanTargets> planTargets(const FleetSession& session, const Plan& plan, const FoundDevices& devices,
                                  const std::optional<DeviceSelection>& narrow)
{
    const Expected<Reach> reached = reach(plan, devices, narrow);
    if (!reached)
        return reached.failure();
    // The models a selection by model needs, asked all at once.
    DeviceJobs probes;
    for (const Reach::Probe& probe : reached->probes) {
        DeviceTask task;
        task.device = probe.device->ref;
        task.macText = probe.device->answer.macText;
        task.password = toLatin1(probe.password ? *probe.password : session.password());
        probes.push_back(session.job(std::move(task), JobSettings{.mode = JobSettings::Mode::Load}));
    }
    if (!probes.empty())
        session.run(probes, {});
    std::map<const FoundDevice*, const DeviceOutcome*> probed;
    for (std::size_t i = 0; i < probes.size(); ++i)
        probed[reached->probes[i].device] = &probes[i]->outcome();
    PlanTargets result;
    result.found = targets(plan, *reached, [&probed](const FoundDevice& device) -> const ModelVersion* {
        const ConfigRequestResult& request = probed.at(&device)->request();
        return request.outcome == ConfigRequest::Outcome::Answered ? &request.modelVersion : nullptr;
    });
    for (const Target& target : result.found.targets)
        result.settled.push_back(target.settled ? std::optional(settledOutcome(*target.settled, probed))
                                                : std::nullopt);
    return result;
}

const DeviceOutcome& FleetRun::outcome(std::size_t target) const
{
    return jobOf[target] >= 0 ? jobs[static_cast<std::size_t>(jobOf[target])]->outcome() : *settled[target];
}

bool FleetRun::ended(std::size_t target) const
{
    return jobOf[target] < 0 || jobs[static_cast<std::size_t>(jobOf[target])]->done();
}

std::vector<const DeviceOutcome*> FleetRun::byPlan() const
{
    std::vector<const DeviceOutcome*> out;
    for (std::size_t t = 0; t < targets.size(); ++t)
        out.push_back(&outcome(t));
    return out;
}

FleetRun planJobs(const FleetSession& session, const Plan& plan, const PlanTargets& targets,
                  const JobSettings& settings)
{
    FleetRun run;
    run.targets = targets.found.targets;
    run.settled = targets.settled;
    for (const Target& target : run.targets) {
        if (target.settled) {
            run.jobOf.push_back(-1);
            continue;
        }
        const PlanEntry& device = plan.entries[target.entry];
        const SearchReply& answer = target.device->answer;
        DeviceTask task;
        task.named = device.selection ? fromLatin1(answer.macText) : device.device;
        task.device = target.device->ref;
        task.macText = answer.macText;
        // The plan's password first; only a device without one asks the session's.
        task.password = toLatin1(device.password ? *device.password : session.password());
        task.window = device.window;
        task.set = expanded(device.set, {target.n, answer.macText, answer.deviceId});
        task.actions = device.actions;
        run.jobOf.push_back(static_cast<int>(run.jobs.size()));
        run.jobs.push_back(session.job(std::move(task), settings));
    }
    return run;
}

std::vector<BackupEntry> undoEntries(const FleetRun& reading, const Plan& plan,
                                     const std::function<QString()>& password)
{
    std::vector<BackupEntry> entries;
    for (std::size_t t = 0; t < reading.targets.size(); ++t) {
        const DeviceOutcome& o = reading.outcome(t);
        if (o.result() != FleetResult::WouldUpdate || !o.plan() || !o.form())
            continue;
        const PlanEntry& device = plan.entries[reading.targets[t].entry];
        // Asked as planJobs asks it: the plan's password, else the session's.
        const std::string asked = toLatin1(device.password ? *device.password : password());
        entries.push_back(backupEntry(
            {o.macText, &o.form()->window(), o.request().reply, o.request().dispatch.portCount, asked, *o.plan()}));
    }
    return entries;
}

QJsonObject exportEntry(const DeviceOutcome& loaded, const SecretMask& mask, bool roles)
{
    const ModelVersion& mv = loaded.request().modelVersion;
    QJsonObject device{{QStringLiteral("device"), fromLatin1(loaded.macText)},
                       {QStringLiteral("model"), jsonText(mv.model)},
                       {QStringLiteral("version"), jsonText(mv.version)},
                       {QStringLiteral("set"), settableFields(*loaded.form(), mask, roles)}};
    if (!roles)
        device.insert(QStringLiteral("window"), fromLatin1(loaded.window()));
    return device;
}

CsvPlanRow exportRow(const DeviceOutcome& loaded, const SecretMask& mask)
{
    // A role that is also a column of the entry's own ("password" is the one a device logs in with)
    // would be read back as that column, so such a field keeps its tag.
    CsvPlanRow row{fromLatin1(loaded.macText), {}};
    for (auto& [field, value] : settableFieldList(*loaded.form(), mask)) {
        const QString role = fromLatin1(field->role);
        row.set.emplace_back(role.isEmpty() || isEntryColumn(role) ? fromLatin1(field->tag) : role, std::move(value));
    }
    return row;
}

RunCounts runCounts(const std::vector<const DeviceOutcome*>& outcomes)
{
    RunCounts counts;
    for (const DeviceOutcome* o : outcomes)
        ++counts.ended[o->result()];
    return counts;
}

} // namespace lv
