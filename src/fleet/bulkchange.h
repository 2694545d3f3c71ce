// SPDX-License-Identifier: Apache-2.0
#pragma once

// A change of many devices at once that a front end drives as its event loop runs (the window's bulk
// changes): the plan's targets among the devices handed in, a preview that reads every device and
// sends nothing, the backup of what the preview would change, then the run, which can be stopped as
// Ctrl-C stops the CLI's. Nothing here waits: each phase ends with a signal.

#include "backup.h"
#include "fleetrun.h"

#include <QObject>

#include <memory>
#include <optional>

namespace lv {

class SecretMask;
struct SessionState;

struct BulkSettings {
    int parallel = 16;
    int retries = 0;
    bool verify = false;
    int timeoutMs = 1000;
};

class BulkChange final : public QObject {
    Q_OBJECT
public:
    // `devices` are the ones the plan may reach, `plan` what to do to them; the setup password of an entry
    // without one is the session's.
    BulkChange(SessionState& state, SecretMask& mask, FoundDevices devices, Plan plan, BulkSettings settings,
               QObject* parent = nullptr);
    ~BulkChange() override;

    // Reads every device the plan reaches and plans its Update, sending nothing; previewed() follows.
    // The failure when the plan cannot be judged (an entry names a device two answers match).
    std::optional<Failure> preview();
    const FleetRun& previewed() const { return *m_preview; }
    // Whether the preview would send anything to any device.
    bool wouldSend() const;

    // Writes the undo plan of what the preview would change; the reason when it cannot (then nothing
    // may be sent). Whether it holds passwords in clear goes to `holdsSecrets`.
    std::optional<QString> writeBackup(const PrivateFile& file, bool* holdsSecrets = nullptr) const;

    // Sends the plan, with these settings now; progressed() follows each device that ended, ranFinished()
    // the last.
    void apply(const BulkSettings& settings);
    // No device starts any more; those under way end as they would.
    void stop();
    bool running() const { return m_runner && !m_runner->isFinished(); }
    bool stopped() const { return m_stopped; }
    const FleetRun* run() const { return m_run.get(); }
    // How many ended with each result so far, and how many are left.
    RunCounts counts() const;

Q_SIGNALS:
    void previewReady();
    void progressed(const DeviceOutcome& outcome);
    void ranFinished();

private:
    FleetSession session();
    JobSettings jobSettings(JobSettings::Mode mode) const;

    SessionState& m_state;
    SecretMask& m_mask;
    FoundDevices m_devices;
    Plan m_plan;
    BulkSettings m_settings;
    std::optional<PlanTargets> m_targets;
    std::unique_ptr<FleetRun> m_preview;
    std::unique_ptr<FleetRun> m_run;
    std::unique_ptr<JobRunner> m_runner;
    bool m_stopped = false;
};

} // namespace lv
