// SPDX-License-Identifier: Apache-2.0
// One device of a fleet as a sequence of steps, and the pool that runs many at once.

#include "devicejob.h"

#include "commandchannel.h"
#include "deviceactions.h"
#include "latin1.h"
#include "outcometexts.h"
#include "secretmask.h"
#include "showntext.h"
#include "typedvalue.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <type_traits>

namespace lv {

namespace {

// Calls `f` with the step that decides what became of the device: the one that ended the job. A job that
// never started has none (an empty request).
template <typename F> auto withDecidingStep(const JobSteps& steps, F&& f)
{
    if (steps.reach)
        return f(*steps.reach);
    if (steps.gate)
        return f(*steps.gate);
    if (!steps.actions.empty())
        return f(steps.actions.back());
    if (steps.verify)
        return f(*steps.verify);
    if (steps.update)
        return f(*steps.update);
    if (steps.prepare)
        return f(*steps.prepare);
    return f(steps.request);
}

} // namespace

Meaning meaningOf(const JobSteps& steps)
{
    return withDecidingStep(steps, []<typename Step>(const Step& step) -> Meaning {
        if constexpr (std::is_same_v<Step, ActionStep>)
            return meaningOf(step.result, deviceAction(step.kind));
        else if constexpr (std::is_same_v<Step, std::optional<ConfigRequestResult>>)
            return step ? meaningOf(*step) : Meaning{FleetResult::NoAnswer, true, kExitNoAnswer};
        else
            return meaningOf(step);
    });
}

const ConfigRequestResult& DeviceOutcome::request() const
{
    static const ConfigRequestResult kNone;
    return steps.request ? *steps.request : kNone;
}

QString DeviceOutcome::error() const
{
    const TextContext context{.timeoutMs = steps.timeoutMs,
                              .model = printableText(request().modelVersion.model),
                              .setCommandBytes = plan() ? plan()->setCommand.size() : 0};
    return withDecidingStep(steps, [&context]<typename Step>(const Step& step) -> QString {
        if constexpr (std::is_same_v<Step, ActionStep>) {
            const DeviceAction& action = deviceAction(step.kind);
            return describe(step.result, action, Audience::Fleet,
                            {.timeoutMs = action.datagram ? action.datagram->timeoutMs : 0});
        } else if constexpr (std::is_same_v<Step, std::optional<ConfigRequestResult>>) {
            return step ? describe(*step, Audience::Fleet, context) : QString();
        } else {
            return describe(step, Audience::Fleet, context);
        }
    });
}

std::optional<std::string> DeviceOutcome::sent() const
{
    const bool ready = steps.prepare && steps.prepare->outcome == PrepareResult::Outcome::Ready;
    // Not once a gate before it stopped the job, nor when the Update could not send it.
    const bool stoppedBefore = steps.gate && steps.gate->point != GateResult::Point::Check;
    if (!ready || stoppedBefore || (steps.update && !steps.update->setSent()))
        return std::nullopt;
    return plan()->setCommand;
}

DeviceJob::DeviceJob(SessionState& state, DeviceTask task, JobSettings settings, SecretMask& mask, QObject* parent)
    : QObject(parent), m_state(state), m_task(std::move(task)), m_settings(std::move(settings)), m_mask(mask)
{
    m_outcome.named = m_task.named;
    m_outcome.macText = m_task.macText;
    m_outcome.steps.timeoutMs = m_settings.timeoutMs;
}

DeviceJob::~DeviceJob() = default;

void DeviceJob::start()
{
    // Its commands leave by the card the device answered on, as a single device's do.
    m_channel = new CommandChannel(m_state, this);
    if (m_settings.onChannel)
        m_settings.onChannel(*m_channel);
    m_mask.addPassword(m_task.password);
    startRequest();
}

void DeviceJob::startRequest()
{
    ++m_outcome.steps.requestTries;
    // A request that ended is let go once the signal that ended it has returned.
    if (m_request)
        m_request->deleteLater();
    // The configuration request exactly as the window's double-click sends it.
    m_request = new ConfigRequest(*m_channel, m_task.device, m_task.password, m_settings.timeoutMs, this);
    connect(m_request, &ConfigRequest::finished, this, &DeviceJob::onConfiguration);
    m_request->start();
}

void DeviceJob::startUpdate(UpdatePlan plan)
{
    ++m_outcome.steps.updateTries;
    if (m_update)
        m_update->deleteLater();
    // The window's Update: set command, delay, "U " commands, the wait for "MAC".
    m_update = new UpdateExchange(*m_channel, m_task.device, std::move(plan), m_settings.timeoutMs, this);
    connect(m_update, &UpdateExchange::finished, this, &DeviceJob::onUpdated);
    m_update->start();
}

bool DeviceJob::stopAsked() const
{
    return m_interrupted || (m_settings.stops && m_settings.stops() > 0);
}

bool DeviceJob::tryAgain(int tries) const
{
    // A stop ends the retries as it ends new devices.
    return tries <= m_settings.retries && !stopAsked();
}

void DeviceJob::interrupt(bool now)
{
    if (m_done)
        return;
    m_interrupted = true;
    if (!m_channel)
        return stop(GateResult::Point::Start);
    if (m_action && !m_action->isFinished()) {
        if (!now)
            return; // its answer is waited for; no action starts after it
        QObject::disconnect(m_action, nullptr, this, nullptr);
        m_action->abort();
        m_outcome.steps.actions.push_back({m_action->planned().kind, m_action->result()});
        return finish();
    }
    if (!m_update) {
        if (!now)
            return; // the configuration is read, then nothing is sent
        // Ended as abort() ends it, so that the request says how far it got.
        QObject::disconnect(m_request, nullptr, this, nullptr);
        m_request->abort();
        m_outcome.steps.request = m_request->result();
        return finish();
    }
    if (!now)
        return; // the Update under way ends as it would
    if (m_verify) {
        // The Update was confirmed; only its check is cut short, and it found nothing.
        delete m_verify;
        m_verify = nullptr;
        m_outcome.steps.verify = VerifyResult{};
        return stop(GateResult::Point::Check);
    }
    QObject::disconnect(m_update, nullptr, this, nullptr);
    m_update->abort();
    m_outcome.steps.update = m_update->result();
    finish();
}

PrepareResult DeviceJob::prepare(const ConfigRequestResult& request)
{
    using Outcome = PrepareResult::Outcome;
    PrepareResult prepared;
    const auto ended = [&prepared](Outcome outcome) {
        prepared.outcome = outcome;
        return prepared;
    };
    if (!request.dispatch.windowDef)
        return ended(Outcome::NoWindow);
    const WindowDef& window = *request.dispatch.windowDef;
    // Each device keeps its values as loaded in its own form: the fleet's devices share nothing.
    auto form = std::make_shared<SetupForm>(window);
    prepared.form = form;
    form->load(request.reply, request.dispatch.portCount);
    m_mask.addPassword(headerValues(window, form->loaded()).password);
    if (m_settings.mode == JobSettings::Mode::Load)
        return ended(Outcome::Loaded);
    if (!form->hasDeviceMac())
        return ended(Outcome::NoMac);
    if (!m_task.window.isEmpty() && m_task.window != fromLatin1(window.name)) {
        prepared.plannedWindow = printableName(m_task.window);
        return ended(Outcome::WrongWindow);
    }
    // A default meant for windows that have the field is left out of this one, and the result says so.
    for (const SetEntry& entry : entriesForWindow(m_task.set, window, &prepared.skipped)) {
        // A secret exported as "***" is left as it is.
        const FieldDef* field = isLatin1(entry.name) ? window.fieldByName(toLatin1(entry.name)) : nullptr;
        if (m_settings.keepMasked && field && field->secret && entry.value == fromLatin1(kMaskedSecret))
            continue;
        if (std::optional<TypedRefusal> refused = applyTypedValue(*form, entry.name, entry.value)) {
            prepared.refusal = std::move(*refused);
            return ended(Outcome::Refused);
        }
    }
    prepared.plan = form->plan();
    // Nothing differs from the values as loaded: the set command would carry its header alone.
    if (prepared.plan->changedItems == 0 && !m_settings.force)
        return ended(Outcome::Unchanged);
    if (m_settings.sizeFirst && !UpdateExchange::fits(*prepared.plan))
        return ended(Outcome::TooLarge);
    return ended(Outcome::Ready);
}

void DeviceJob::onConfiguration()
{
    JobSteps& steps = m_outcome.steps;
    steps.request = m_request->result();
    const ConfigRequestResult& request = *steps.request;
    if (request.outcome != ConfigRequest::Outcome::Answered) {
        // Nothing came back at all (not even part of a reply): the request or its answer was lost.
        if (request.outcome == ConfigRequest::Outcome::NoAnswer && request.reply.empty() &&
            tryAgain(steps.requestTries))
            return startRequest();
        // An incomplete reply is used for nothing: an export would write values the device never sent.
        return finish();
    }
    steps.prepare = prepare(request);
    const bool ready = steps.prepare->outcome == PrepareResult::Outcome::Ready;
    if (m_settings.mode != JobSettings::Mode::Apply)
        return finish();
    if (!ready)
        return steps.prepare->outcome == PrepareResult::Outcome::Unchanged ? startAction(0) : finish();
    // A stop the runner passed on; one not yet passed on lets the Update go out and end as it would.
    if (m_interrupted)
        return stop(GateResult::Point::BeforeSend);
    if (m_settings.beforeSend)
        if (const std::optional<QString> failed = m_settings.beforeSend(m_outcome)) {
            steps.gate = GateResult{GateResult::Outcome::Refused, GateResult::Point::BeforeSend, *failed};
            return finish();
        }
    startUpdate(*steps.prepare->plan);
}

void DeviceJob::onUpdated()
{
    JobSteps& steps = m_outcome.steps;
    steps.update = m_update->result();
    const UpdateResult& update = *steps.update;
    if (update.outcome == UpdateExchange::Outcome::NoAnswer && update.answer.empty() && tryAgain(steps.updateTries))
        // The same set command and "U " commands again: the device holds the same values either way.
        return startUpdate(m_update->plan());
    if (update.outcome != UpdateExchange::Outcome::Answered)
        return finish();
    if (!m_settings.verify || stopAsked())
        return startAction(0);
    // Asked again with the password as it was loaded; the exchange follows a new IP or password.
    m_verify = new VerifyExchange(*m_channel, m_task.device, m_task.password, m_outcome.form()->window(),
                                  m_outcome.request().dispatch.portCount, m_update->plan(), kVerifyTimeoutMs, this);
    connect(m_verify, &VerifyExchange::finished, this, &DeviceJob::onVerified);
    m_verify->start();
}

void DeviceJob::onVerified()
{
    // The Update was confirmed either way; a device that reports another value than sent is a result of
    // its own, so that a script reading only "result" does not take it for done.
    m_outcome.steps.verify = m_verify->result();
    if (isFailure(*m_outcome.steps.verify))
        return finish();
    startAction(0);
}

void DeviceJob::startAction(std::size_t index)
{
    // A stop ends the job before its next action as before its Update.
    if (index >= m_task.actions.size() || stopAsked())
        return finish();
    const PlannedAction& planned = m_task.actions[index];
    const DeviceAction& action = deviceAction(planned.kind);
    if (m_action)
        m_action->deleteLater();
    m_action =
        new DatagramExchange(*m_channel, m_task.device, *action.datagram, planned, action.datagram->timeoutMs, this);
    connect(m_action, &DatagramExchange::finished, this, &DeviceJob::onAction);
    m_action->start();
}

void DeviceJob::onAction()
{
    std::vector<ActionStep>& done = m_outcome.steps.actions;
    done.push_back({m_action->planned().kind, m_action->result()});
    if (meaningOf(done.back().result, deviceAction(done.back().kind)).failure)
        return finish();
    startAction(done.size());
}

void DeviceJob::stop(GateResult::Point point, const QString& why)
{
    m_outcome.steps.gate = GateResult{GateResult::Outcome::Interrupted, point, why};
    finish();
}

void DeviceJob::finish()
{
    m_done = true;
    // The socket is given back now; the channel goes once the signal that got us here has returned.
    if (m_channel) {
        m_channel->deleteLater();
        m_channel = nullptr;
    }
    Q_EMIT finished();
}

JobRunner::JobRunner(const DeviceJobs& jobs, int parallel, QObject* parent)
    : QObject(parent), m_jobs(jobs), m_parallel(static_cast<std::size_t>(std::max(parallel, 1)))
{
    for (const auto& owned : m_jobs) {
        DeviceJob* job = owned.get();
        connect(job, &DeviceJob::finished, this, [this, job] {
            ++m_ended;
            Q_EMIT jobFinished(job);
            if (isFinished())
                Q_EMIT finished();
            else
                startNext();
        });
    }
}

void JobRunner::start()
{
    if (m_jobs.empty())
        return Q_EMIT finished();
    startNext();
}

void JobRunner::startNext()
{
    while (m_next < m_jobs.size() && m_next - m_ended < m_parallel)
        m_jobs[m_next++]->start();
}

void JobRunner::stop(bool now)
{
    m_next = m_jobs.size(); // no job starts any more
    // Copied first: a job that ends now is counted, and the runner may finish, at once.
    std::vector<DeviceJob*> open;
    for (const auto& owned : m_jobs)
        if (!owned->done())
            open.push_back(owned.get());
    for (DeviceJob* job : open)
        job->interrupt(now);
}

void runDeviceJobs(const DeviceJobs& jobs, int parallel, const std::function<void(DeviceJob&)>& finished,
                   const std::function<int()>& stops)
{
    if (jobs.empty())
        return;
    QEventLoop loop;
    JobRunner runner(jobs, parallel);
    QObject::connect(&runner, &JobRunner::jobFinished, &loop, [&finished](DeviceJob* job) {
        if (finished)
            finished(*job);
    });
    QObject::connect(&runner, &JobRunner::finished, &loop, &QEventLoop::quit);
    // Stops are polled: a signal handler may do no more than count.
    QTimer poll;
    int stopped = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const int count = stops();
        if (count == stopped)
            return;
        stopped = count;
        runner.stop(count > 1);
    });
    if (stops)
        poll.start(50);
    runner.start();
    if (!runner.isFinished())
        loop.exec();
}

} // namespace lv
