// SPDX-License-Identifier: Apache-2.0
#pragma once

// One device of a fleet, on the one event loop so that many run at once: a sequence of steps, each
// with a typed result (jobsteps.h, the session's exchanges): the gate before it starts, the
// configuration request, what the headless form makes of the plan's changes, the gate before the set
// command, the Update, the check after it. The job only sequences them; what became of the device (its
// word, its text, what was sent) is a function of the steps' results. Each job has its own command
// channel, so its own socket: no answer can be taken for another device's.

#include "datagramexchange.h"
#include "exchanges.h"
#include "jobsteps.h"
#include "outcomes.h"
#include "plan.h"
#include "verifyexchange.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lv {

class CommandChannel;
class ConfigRequest;
class SecretMask;
class UpdateExchange;
class VerifyExchange;
struct SessionState;

struct DeviceTask {
    QString named;        // as the plan or the command line names it
    DeviceRef device;     // its search reply and the card it answered on
    std::string macText;  // the MAC its search reply gives
    std::string password; // the setup password of its configuration request
    QString window;       // the window the changes were written for; empty: any
    SetEntries set;
    std::vector<PlannedAction> actions; // run after the Update (or once nothing needed changing)
};

// A device action of one datagram (deviceactions.h) as it ended.
struct ActionStep {
    ActionKind kind;
    DatagramResult result;
};

// What the steps of a device's job ended with, each once it ran. A step that stopped the job is the
// last one set; `reach` alone is set for a device the search settled (no exchange ran).
struct JobSteps {
    std::optional<ReachResult> reach;
    std::optional<GateResult> gate;             // the gate that stopped the job
    std::optional<ConfigRequestResult> request; // the last try
    std::optional<PrepareResult> prepare;
    std::optional<UpdateResult> update; // the last try
    std::optional<VerifyResult> verify;
    std::vector<ActionStep> actions; // in the order they ran
    int requestTries = 0;
    int updateTries = 0;
    int timeoutMs = 1000; // the wait each request and Update had
};

// What the steps mean together: the step that ended the job decides; a confirmed Update's check
// decides whether it is done as asked.
Meaning meaningOf(const JobSteps& steps);

struct DeviceOutcome {
    QString named;
    std::string macText;
    JobSteps steps;

    FleetResult result() const { return meaningOf(steps).result; }
    // Why it is not done as asked, as the fleet's line says it; empty when there is nothing to say.
    QString error() const;
    // The set command sent (or that would be sent in a dry run).
    std::optional<std::string> sent() const;
    // How often the exchange that needed most was sent: the configuration request or the Update, each
    // sent again (up to JobSettings::retries) only when it got no answer at all.
    int tries() const { return std::max({1, steps.requestTries, steps.updateTries}); }
    // Done as asked: no failure (outcomes.h); a confirmed Update whose check found anything but the
    // values sent is none.
    bool succeeded() const { return !meaningOf(steps).failure; }

    // The configuration request as it ended (its reply as loaded); an empty one when none ran.
    const ConfigRequestResult& request() const;
    // As loaded and changed; null for a model without a window.
    const SetupForm* form() const { return steps.prepare ? steps.prepare->form.get() : nullptr; }
    std::string window() const { return form() ? form()->window().name : std::string(); }
    // The Update the changes make (each field as loaded and new), once they were applied.
    const UpdatePlan* plan() const { return steps.prepare && steps.prepare->plan ? &*steps.prepare->plan : nullptr; }
    // The defaults' names the device's window has no settable field for.
    QStringList skipped() const { return steps.prepare ? steps.prepare->skipped : QStringList(); }
};

struct JobSettings {
    enum class Mode { Load, Apply, DryRun };
    Mode mode = Mode::Apply;
    bool force = false;  // send the set command also when it carries no item
    bool verify = false; // after a confirmed Update, ask the device again and compare
    // A set command over the datagram limit is refused before a dry run or anything else; without
    // this the Update refuses it (and a dry run shows it).
    bool sizeFirst = true;
    // A secret given as "***", as an export writes it, leaves the field as loaded; without this the
    // value is typed in as it is.
    bool keepMasked = true;
    int timeoutMs = 1000;
    // How often a configuration request or an Update that got nothing back at all is sent again. A
    // device that answered anything is never asked again.
    int retries = 0;
    // Runs once the set command is about to leave (never in a dry run): what must be done before, as
    // an undo plan put on disk. A text it returns ends the job as not sent, with that text.
    std::function<std::optional<QString>(const DeviceOutcome&)> beforeSend{};
    // How many times a stop was asked for so far (a signal handler counts them); none: never. A stop
    // not yet passed on by the runner counts too: no try and no check starts after it.
    std::function<int()> stops{};
    // Sees each job's command channel as it opens (a log of the wire).
    std::function<void(CommandChannel&)> onChannel{};
};

class DeviceJob final : public QObject {
    Q_OBJECT
public:
    DeviceJob(SessionState& state, DeviceTask task, JobSettings settings, SecretMask& mask, QObject* parent = nullptr);
    ~DeviceJob() override;

    void start();
    // Stops the job: one not started ends at once; one reading the configuration sends nothing more;
    // one whose Update is under way ends as it would, or at once when `now`.
    void interrupt(bool now);
    bool done() const { return m_done; }
    DeviceOutcome& outcome() { return m_outcome; }
    const DeviceOutcome& outcome() const { return m_outcome; }

Q_SIGNALS:
    void finished();

private:
    void onConfiguration();
    void onUpdated();
    void onVerified();
    // The task's actions after the Update, one after the other; the job ends after the last, or at the
    // first that failed.
    void startAction(std::size_t index);
    void onAction();
    // What the loaded form makes of the task's changes.
    PrepareResult prepare(const ConfigRequestResult& request);
    void finish();
    void stop(GateResult::Point point, const QString& why = {});
    void startRequest();
    void startUpdate(UpdatePlan plan);
    bool stopAsked() const;
    // Whether one more try is left: `tries` were made.
    bool tryAgain(int tries) const;

    SessionState& m_state;
    DeviceTask m_task;
    JobSettings m_settings;
    SecretMask& m_mask;
    CommandChannel* m_channel = nullptr;
    ConfigRequest* m_request = nullptr;
    UpdateExchange* m_update = nullptr;
    VerifyExchange* m_verify = nullptr;
    DatagramExchange* m_action = nullptr;
    bool m_interrupted = false;
    bool m_done = false;
    DeviceOutcome m_outcome;
};

using DeviceJobs = std::vector<std::unique_ptr<DeviceJob>>;

// Runs jobs with at most `parallel` at once, in their order, on the event loop of its thread as that
// loop runs: a window keeps its own loop going meanwhile, runDeviceJobs() waits in one. The jobs must
// outlive it.
class JobRunner final : public QObject {
    Q_OBJECT
public:
    JobRunner(const DeviceJobs& jobs, int parallel, QObject* parent = nullptr);

    void start();
    // No job starts any more and those under way end as they would (one reading its configuration
    // sends nothing more), or at once when `now`.
    void stop(bool now);
    bool isFinished() const { return m_ended == m_jobs.size(); }

Q_SIGNALS:
    void jobFinished(DeviceJob* job);
    void finished();

private:
    void startNext();

    const DeviceJobs& m_jobs;
    std::size_t m_parallel;
    std::size_t m_next = 0;
    std::size_t m_ended = 0;
};

// Runs the jobs as a JobRunner does and returns when every job has ended; `finished` is called for each
// as it ends. `stops` (polled) counts the stops asked for: the first stops the runner, the second ends
// the jobs under way at once.
void runDeviceJobs(const DeviceJobs& jobs, int parallel, const std::function<void(DeviceJob&)>& finished,
                   const std::function<int()>& stops = {});

} // namespace lv
