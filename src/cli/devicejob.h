// SPDX-License-Identifier: Apache-2.0
#pragma once

// One device of a fleet, on the one event loop so that many run at once: the session's configuration
// request, then the headless form with the changes of the plan, then the session's Update exchange.
// The job only sequences them and says what became of the device. Each job has its own command
// channel, so its own socket: no answer can be taken for another device's.

#include "exchanges.h"
#include "loaders.h"
#include "modeltable.h"
#include "outcomes.h"
#include "plan.h"
#include "setupform.h"
#include "verifyexchange.h"

#include <QCommandLineParser>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lv {

class CommandChannel;
class ConfigRequest;
class SecretMask;
class UpdateExchange;
class VerifyExchange;
class WireLog;
struct SessionState;

QString fleetResultText(FleetResult result);

struct DeviceTask {
    QString named;        // as the plan or the command line names it
    DeviceRef device;     // its search reply and the card it answered on
    std::string macText;  // the MAC its search reply gives
    std::string password; // the setup password of its configuration request
    QString window;       // the window the changes were written for; empty: any
    SetEntries set;
};

struct DeviceOutcome {
    QString named;
    std::string macText;
    std::string window;
    FleetResult result = FleetResult::NoAnswer;
    std::optional<std::string> sent; // the set command sent (or that would be sent)
    QString error;
    QStringList skipped;                // the defaults' names the device's window has no settable field for
    std::unique_ptr<SetupForm> form;    // as loaded and changed
    std::optional<UpdatePlan> plan;     // the Update the changes make (each field as loaded and new)
    std::optional<VerifyResult> verify; // the check after a confirmed Update, when asked for
    ConfigRequestResult request;        // the configuration request as it ended (its reply as loaded)
    std::optional<UpdateResult> update; // the Update as it ended, once one was started
    // How often the exchange that needed most was sent: the configuration request or the Update, each
    // sent again (up to JobSettings::retries) only when it got no answer at all.
    int tries = 1;

    // Done as asked: a result that is no failure (outcomes.h) and, when the update was checked, a check
    // that found every value sent. A mismatch is no success.
    bool succeeded() const;
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
    std::function<std::optional<QString>(const DeviceOutcome&)> beforeSend;
};

class DeviceJob final : public QObject {
    Q_OBJECT
public:
    DeviceJob(SessionState& state, DeviceTask task, JobSettings settings, SecretMask& mask, WireLog* wireLog,
              QObject* parent = nullptr);
    ~DeviceJob() override;

    void start();
    // Stops the job for an interruption: one not started ends at once; one reading the configuration
    // sends nothing more; one whose Update is under way ends as it would, or at once when `now`.
    void interrupt(bool now);
    bool started() const { return m_started; }
    bool done() const { return m_done; }
    DeviceOutcome& outcome() { return m_outcome; }

Q_SIGNALS:
    void finished();

private:
    void onConfiguration();
    void onUpdated();
    void onVerified();
    void finish(FleetResult result, const QString& error = {});
    void startRequest();
    void startUpdate(UpdatePlan plan);
    // Whether one more try is left (and taken): counts it.
    bool tryAgain(int& tries);

    SessionState& m_state;
    DeviceTask m_task;
    JobSettings m_settings;
    SecretMask& m_mask;
    WireLog* m_wireLog;
    CommandChannel* m_channel = nullptr;
    ConfigRequest* m_request = nullptr;
    UpdateExchange* m_update = nullptr;
    VerifyExchange* m_verify = nullptr;
    bool m_started = false;
    bool m_interrupted = false;
    bool m_done = false;
    int m_requestTries = 0;
    int m_updateTries = 0;
    DeviceOutcome m_outcome;
};

// Runs the jobs with at most `parallel` at once, in their order, all on the calling thread's event loop;
// `finished` is called for each as it ends. Returns when every job has ended. While an Interruption
// lives, its first signal interrupts every job (those under way end as they would), its second ends
// those under way at once.
void runDeviceJobs(const std::vector<std::unique_ptr<DeviceJob>>& jobs, int parallel,
                   const std::function<void(DeviceJob&)>& finished);

} // namespace lv
