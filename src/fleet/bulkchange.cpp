// SPDX-License-Identifier: Apache-2.0
// A change of many devices driven by a front end's event loop.

#include "bulkchange.h"

#include "latin1.h"
#include "secretmask.h"
#include "sessionstate.h"

#include <algorithm>

namespace lv {

BulkChange::BulkChange(SessionState& state, SecretMask& mask, FoundDevices devices, Plan plan, BulkSettings settings,
                       QObject* parent)
    : QObject(parent), m_state(state), m_mask(mask), m_devices(std::move(devices)), m_plan(std::move(plan)),
      m_settings(settings)
{
}

BulkChange::~BulkChange() = default;

JobSettings BulkChange::jobSettings(JobSettings::Mode mode) const
{
    JobSettings settings;
    settings.mode = mode;
    settings.verify = mode == JobSettings::Mode::Apply && m_settings.verify;
    return settings;
}

FleetSession BulkChange::session()
{
    return {[this](DeviceTask task, JobSettings settings) {
                settings.timeoutMs = m_settings.timeoutMs;
                settings.retries = m_settings.retries;
                return std::make_unique<DeviceJob>(m_state, std::move(task), std::move(settings), m_mask);
            },
            [this](const DeviceJobs& jobs, const std::function<void(DeviceJob&)>& finished) {
                runDeviceJobs(jobs, m_settings.parallel, finished);
            },
            [this] { return m_state.gSetupPass; }};
}

std::optional<Failure> BulkChange::preview()
{
    const FleetSession fleet = session();
    Expected<PlanTargets> targets = planTargets(fleet, m_plan, m_devices, std::nullopt);
    if (!targets)
        return targets.failure();
    m_targets = std::move(*targets);
    m_preview = std::make_unique<FleetRun>(planJobs(fleet, m_plan, *m_targets, jobSettings(JobSettings::Mode::DryRun)));
    m_runner = std::make_unique<JobRunner>(m_preview->jobs, m_settings.parallel);
    connect(m_runner.get(), &JobRunner::finished, this, &BulkChange::previewReady, Qt::QueuedConnection);
    m_runner->start();
    return std::nullopt;
}

bool BulkChange::wouldSend() const
{
    return m_preview && std::ranges::any_of(m_preview->byPlan(), [](const DeviceOutcome* o) {
               return o->result() == FleetResult::WouldUpdate;
           });
}

std::optional<QString> BulkChange::writeBackup(const PrivateFile& file, bool* holdsSecrets) const
{
    const std::vector<BackupEntry> devices = undoEntries(*m_preview, m_plan, [this] { return m_state.gSetupPass; });
    if (holdsSecrets)
        *holdsSecrets = holdSecrets(devices);
    return lv::writeBackup(file, devices);
}

void BulkChange::apply(const BulkSettings& settings)
{
    m_settings = settings;
    m_run = std::make_unique<FleetRun>(planJobs(session(), m_plan, *m_targets, jobSettings(JobSettings::Mode::Apply)));
    m_runner = std::make_unique<JobRunner>(m_run->jobs, m_settings.parallel);
    connect(m_runner.get(), &JobRunner::jobFinished, this,
            [this](DeviceJob* job) { Q_EMIT progressed(job->outcome()); });
    connect(m_runner.get(), &JobRunner::finished, this, &BulkChange::ranFinished, Qt::QueuedConnection);
    m_runner->start();
}

void BulkChange::stop()
{
    if (!running())
        return;
    m_stopped = true;
    m_runner->stop(false);
}

RunCounts BulkChange::counts() const
{
    const FleetRun* run = m_run ? m_run.get() : m_preview.get();
    RunCounts counts;
    if (!run)
        return counts;
    for (std::size_t t = 0; t < run->targets.size(); ++t) {
        if (run->ended(t))
            ++counts.ended[run->outcome(t).result()];
        else
            ++counts.left;
    }
    return counts;
}

} // namespace lv
