// SPDX-License-Identifier: Apache-2.0
// One device of a fleet as a small state machine, and the pool that runs many at once.

#include "devicejob.h"

#include "commandchannel.h"
#include "devicelist.h"
#include "exchanges.h"
#include "interruption.h"
#include "latin1.h"
#include "outcometexts.h"
#include "output.h"
#include "secretmask.h"
#include "typedvalue.h"
#include "wirelog.h"

#include <QEventLoop>
#include <QTimer>

namespace lv {

QString fleetResultText(FleetResult result)
{
    return resultText(result);
}

bool DeviceOutcome::succeeded() const
{
    // An update whose check found anything but the values sent is no success, whatever its word.
    if (result == FleetResult::Updated && verify)
        return !isFailure(*verify);
    return !isFailure(result);
}

DeviceJob::DeviceJob(SessionState& state, DeviceTask task, JobSettings settings, SecretMask& mask, WireLog* wireLog,
                     QObject* parent)
    : QObject(parent), m_state(state), m_task(std::move(task)), m_settings(settings), m_mask(mask), m_wireLog(wireLog)
{
    m_outcome.named = m_task.named;
    m_outcome.macText = m_task.macText;
}

DeviceJob::~DeviceJob() = default;

void DeviceJob::start()
{
    m_started = true;
    // Its commands leave by the card the device answered on, as a single device's do.
    m_channel = new CommandChannel(m_state, this);
    if (m_wireLog)
        m_wireLog->watch(*m_channel);
    m_mask.addPassword(m_task.password);
    startRequest();
}

void DeviceJob::startRequest()
{
    ++m_requestTries;
    m_outcome.tries = std::max(m_outcome.tries, m_requestTries);
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
    ++m_updateTries;
    m_outcome.tries = std::max(m_outcome.tries, m_updateTries);
    if (m_update)
        m_update->deleteLater();
    // The window's Update: set command, delay, "U " commands, the wait for "MAC".
    m_update = new UpdateExchange(*m_channel, m_task.device, std::move(plan), m_settings.timeoutMs, this);
    connect(m_update, &UpdateExchange::finished, this, &DeviceJob::onUpdated);
    m_update->start();
}

bool DeviceJob::tryAgain(int& tries)
{
    // A signal stops the retries as it stops new devices.
    return tries <= m_settings.retries && !m_interrupted && Interruption::count() == 0;
}

void DeviceJob::interrupt(bool now)
{
    if (m_done)
        return;
    m_interrupted = true;
    if (!m_started)
        return finish(FleetResult::Interrupted, QStringLiteral("interrupted before it started; nothing was sent"));
    if (!m_update) {
        if (!now)
            return; // the configuration is read, then nothing is sent
        delete m_request;
        m_request = nullptr;
        return finish(FleetResult::Interrupted,
                      QStringLiteral("interrupted while its configuration was read; nothing was sent"));
    }
    if (!now)
        return; // the Update under way ends as it would
    if (m_verify) {
        // The Update was confirmed; only its check is cut short.
        delete m_verify;
        m_verify = nullptr;
        m_outcome.verify = VerifyResult{};
        return finish(FleetResult::Updated, QStringLiteral("interrupted before the check after the update ended"));
    }
    // Ended as abort() ends it, so that the outcome says how far it got.
    QObject::disconnect(m_update, nullptr, this, nullptr);
    m_update->abort();
    m_outcome.update = m_update->result();
    const bool setSent = m_outcome.update->setSent();
    delete m_update;
    m_update = nullptr;
    if (!setSent) {
        m_outcome.sent.reset();
        return finish(FleetResult::Interrupted, QStringLiteral("interrupted before the set command; nothing was sent"));
    }
    finish(FleetResult::Interrupted, QStringLiteral("interrupted after S: the set command was sent, the \"U \" "
                                                    "commands were not confirmed"));
}

void DeviceJob::onConfiguration()
{
    m_outcome.request = m_request->result();
    const ConfigRequestResult& request = m_outcome.request;
    switch (request.outcome) {
    case ConfigRequest::Outcome::NotADevice:
        return finish(FleetResult::NotFound, describe(request, Audience::Fleet));
    case ConfigRequest::Outcome::NotSent:
        return finish(FleetResult::NotSent, describe(request, Audience::Fleet));
    case ConfigRequest::Outcome::NoAnswer:
        // Nothing came back at all (not even part of a reply): the request or its answer was lost.
        if (request.reply.empty() && tryAgain(m_requestTries))
            return startRequest();
        return finish(FleetResult::NoAnswer, describe(request, Audience::Fleet, {.timeoutMs = m_settings.timeoutMs}));
    case ConfigRequest::Outcome::NotAReply:
        return finish(FleetResult::NoAnswer, describe(request, Audience::Fleet));
    case ConfigRequest::Outcome::Incomplete:
        // Nothing of it is used: an export would write values the device never sent.
        return finish(FleetResult::Incomplete, describe(request, Audience::Fleet));
    case ConfigRequest::Outcome::Aborted:
        return finish(FleetResult::Interrupted, describe(request, Audience::Fleet));
    case ConfigRequest::Outcome::Answered:
        break;
    }
    if (!request.dispatch.windowDef)
        return finish(FleetResult::Refused,
                      describe(request, Audience::Fleet, {.model = printableText(request.modelVersion.model)}));
    const WindowDef& window = *request.dispatch.windowDef;
    m_outcome.window = window.name;
    // Each device keeps its values as loaded in its own form: the fleet's devices share nothing.
    m_outcome.form = std::make_unique<SetupForm>(window);
    SetupForm& form = *m_outcome.form;
    form.load(request.reply, request.dispatch.portCount);
    m_mask.addPassword(headerValues(window, form.loaded()).password);
    if (m_settings.mode == JobSettings::Mode::Load)
        return finish(FleetResult::Loaded);
    if (!form.hasDeviceMac())
        return finish(FleetResult::NoAnswer, noMacText(Audience::Fleet));

    if (!m_task.window.isEmpty() && m_task.window != fromLatin1(window.name))
        return finish(FleetResult::Refused, QStringLiteral("the plan was written for %1, the device opens %2")
                                                .arg(printableName(m_task.window), fromLatin1(window.name)));
    // A default meant for windows that have the field is left out of this one, and the result says so.
    for (const SetEntry& entry : entriesForWindow(m_task.set, window, &m_outcome.skipped)) {
        // A secret exported as "***" is left as it is.
        const FieldDef* field = isLatin1(entry.name) ? window.fieldByName(toLatin1(entry.name)) : nullptr;
        if (m_settings.keepMasked && field && field->secret && entry.value == fromLatin1(kMaskedSecret))
            continue;
        if (const std::optional<QString> refused = applyTypedValue(form, entry.name, entry.value))
            return finish(FleetResult::Refused, *refused);
    }
    const UpdatePlan plan = form.plan();
    m_outcome.plan = plan;
    // Nothing differs from the values as loaded: the set command would carry its header alone.
    if (plan.changedItems == 0 && !m_settings.force)
        return finish(FleetResult::Unchanged);
    if (m_settings.sizeFirst && !UpdateExchange::fits(plan))
        return finish(FleetResult::Refused, tooLargeText(plan.setCommand.size()));
    m_outcome.sent = plan.setCommand;
    if (m_settings.mode == JobSettings::Mode::DryRun)
        return finish(FleetResult::WouldUpdate);
    if (m_interrupted) {
        m_outcome.sent.reset();
        return finish(FleetResult::Interrupted,
                      QStringLiteral("interrupted once its configuration was read; nothing was sent"));
    }
    if (m_settings.beforeSend)
        if (const std::optional<QString> failed = m_settings.beforeSend(m_outcome)) {
            m_outcome.sent.reset();
            return finish(FleetResult::NotSent, *failed);
        }

    startUpdate(plan);
}

void DeviceJob::onUpdated()
{
    m_outcome.update = m_update->result();
    const UpdateResult& update = *m_outcome.update;
    switch (update.outcome) {
    case UpdateExchange::Outcome::Answered:
        // A signal not yet polled counts too: no check starts after it.
        if (!m_settings.verify || m_interrupted || Interruption::count() > 0)
            return finish(FleetResult::Updated);
        // Asked again with the password as it was loaded; the exchange follows a new IP or password.
        m_verify = new VerifyExchange(*m_channel, m_task.device, m_task.password, m_outcome.form->window(),
                                      m_outcome.request.dispatch.portCount, m_update->plan(), kVerifyTimeoutMs, this);
        connect(m_verify, &VerifyExchange::finished, this, &DeviceJob::onVerified);
        return m_verify->start();
    case UpdateExchange::Outcome::NoAnswer:
        // The same set command and "U " commands again: the device holds the same values either way.
        if (update.answer.empty() && tryAgain(m_updateTries))
            return startUpdate(m_update->plan());
        return finish(FleetResult::NoAnswer, describe(update, Audience::Fleet, {.timeoutMs = m_settings.timeoutMs}));
    case UpdateExchange::Outcome::NotSent:
        if (!update.setSent()) {
            m_outcome.sent.reset();
            return finish(FleetResult::NotSent, describe(update, Audience::Fleet));
        }
        return finish(FleetResult::NotSent, describe(update, Audience::Fleet));
    case UpdateExchange::Outcome::TooLarge:
        m_outcome.sent.reset();
        return finish(FleetResult::Refused,
                      describe(update, Audience::Fleet, {.setCommandBytes = m_update->plan().setCommand.size()}));
    case UpdateExchange::Outcome::Aborted:
        return finish(FleetResult::Interrupted, describe(update, Audience::Fleet));
    }
}

void DeviceJob::onVerified()
{
    m_outcome.verify = m_verify->result();
    // The Update was confirmed either way; a device that reports another value than sent is a result of
    // its own, so that a script reading only "result" does not take it for done.
    finish(m_outcome.verify->outcome == VerifyExchange::Outcome::Mismatch ? FleetResult::Mismatch
                                                                          : FleetResult::Updated);
}

void DeviceJob::finish(FleetResult result, const QString& error)
{
    m_done = true;
    m_outcome.result = result;
    m_outcome.error = error;
    // The socket is given back now; the channel goes once the signal that got us here has returned.
    if (m_channel) {
        m_channel->deleteLater();
        m_channel = nullptr;
    }
    Q_EMIT finished();
}

void runDeviceJobs(const std::vector<std::unique_ptr<DeviceJob>>& jobs, int parallel,
                   const std::function<void(DeviceJob&)>& finished)
{
    if (jobs.empty())
        return;
    QEventLoop loop;
    std::size_t next = 0;
    std::size_t ended = 0;
    std::function<void()> startNext;
    startNext = [&] {
        while (next < jobs.size() && next - ended < static_cast<std::size_t>(std::max(parallel, 1))) {
            DeviceJob* job = jobs[next++].get();
            job->start();
        }
    };
    for (const auto& owned : jobs) {
        DeviceJob* job = owned.get();
        QObject::connect(job, &DeviceJob::finished, &loop, [&, job] {
            ++ended;
            if (finished)
                finished(*job);
            if (ended == jobs.size())
                loop.quit();
            else
                startNext();
        });
    }
    // Signals are polled: a handler may do no more than set a flag.
    QTimer poll;
    int interruptions = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const int count = Interruption::count();
        if (count == interruptions)
            return;
        interruptions = count;
        next = jobs.size(); // no job starts any more
        // Copied first: a job that ends now is counted, and the loop may be told to quit, at once.
        std::vector<DeviceJob*> open;
        for (const auto& owned : jobs)
            if (!owned->done())
                open.push_back(owned.get());
        for (DeviceJob* job : open)
            job->interrupt(count > 1);
    });
    poll.start(50);
    startNext();
    if (ended < jobs.size())
        loop.exec();
}

} // namespace lv
