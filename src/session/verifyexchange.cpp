// SPDX-License-Identifier: Apache-2.0
// The configuration asked for again after an Update, and compared with what the Update sent.

#include "verifyexchange.h"

#include "devicelist.h"
#include "exchanges.h"
#include "setupform.h"
#include "wait.h"

#include <algorithm>

namespace lv {

namespace {

const FieldChange* changeOf(const UpdatePlan& plan, const std::string& tag)
{
    const auto it = std::find_if(plan.changedFields.begin(), plan.changedFields.end(),
                                 [&tag](const FieldChange& f) { return f.tag == tag; });
    return it == plan.changedFields.end() ? nullptr : &*it;
}

} // namespace

VerifyExchange::VerifyExchange(CommandChannel& channel, DeviceRef device, std::string password, const WindowDef& window,
                               int portCount, UpdatePlan plan, int timeoutMs, QObject* parent)
    : Exchange(parent), m_channel(channel), m_window(window), m_portCount(portCount), m_plan(std::move(plan)),
      m_timeoutMs(timeoutMs)
{
    // A device given a new address answers from there, or still from where it did.
    m_device = std::move(device);
    m_device.raw = entryAfterUpdate(m_device.raw, m_window, m_plan);
    m_device.sender.moveTo(m_plan.newIp);
    m_password = passwordAfterUpdate(password, m_window, m_plan);
    for (const FieldChange& change : m_plan.changedFields)
        m_result.fields.push_back({change.tag, change.current, {}});
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &VerifyExchange::ask);
}

VerifyExchange::~VerifyExchange() = default;

std::string VerifyExchange::entryAfterUpdate(const std::string& rawEntry, const WindowDef& window,
                                             const UpdatePlan& plan)
{
    const FieldChange* ip = changeOf(plan, window.ipTag);
    if (!ip)
        return rawEntry;
    return entryWithIp(rawEntry, ip->current).value_or(rawEntry);
}

std::string VerifyExchange::passwordAfterUpdate(const std::string& password, const WindowDef& window,
                                                const UpdatePlan& plan)
{
    const FieldChange* changed = changeOf(plan, window.passwordTag);
    return changed ? changed->current : password;
}

void VerifyExchange::start()
{
    m_clock.start();
    ask();
}

void VerifyExchange::abort()
{
    if (isFinished())
        return;
    if (m_request)
        m_request->abort();
    finish(Outcome::Aborted);
}

void VerifyExchange::ask()
{
    const qint64 left = m_timeoutMs - m_clock.elapsed();
    if (left <= 0)
        return finish(Outcome::NoAnswer);
    // Each request waits as long as the window's would, and never past the bound of the whole check.
    const int wait = static_cast<int>(std::min<qint64>(kRequestTimeoutMs, left));
    m_request = std::make_unique<ConfigRequest>(m_channel, m_device, m_password, wait);
    connect(m_request.get(), &ConfigRequest::finished, this, &VerifyExchange::onAnswer, Qt::QueuedConnection);
    ++m_result.attempts;
    m_request->start();
}

void VerifyExchange::onAnswer()
{
    if (isFinished() || !m_request)
        return;
    const ConfigRequestResult answer = m_request->result();
    switch (answer.outcome) {
    case ConfigRequest::Outcome::Answered:
        return compare(answer.reply);
    case ConfigRequest::Outcome::NotADevice:
        return finish(Outcome::NoAnswer); // no request can name the device: asking again changes nothing
    case ConfigRequest::Outcome::NoAnswer:
        return ask();
    case ConfigRequest::Outcome::Aborted:
        return; // a restarting device: the request's own wait was the pause
    case ConfigRequest::Outcome::NotSent:
    case ConfigRequest::Outcome::NotAReply:
    case ConfigRequest::Outcome::Incomplete: {
        const qint64 left = m_timeoutMs - m_clock.elapsed();
        if (left <= 0)
            return finish(Outcome::NoAnswer);
        m_pause.start(static_cast<int>(std::min<qint64>(kVerifyRetryPauseMs, left)));
        return;
    }
    }
}

void VerifyExchange::compare(const std::string& reply)
{
    // The window's loader reads the reply, so a value counts as reported exactly when the window would
    // show it as loaded.
    SetupForm form(m_window);
    form.load(reply, m_portCount);
    bool allMatch = true;
    for (VerifiedField& field : m_result.fields) {
        field.reported = form.loadedText(field.tag);
        allMatch = allMatch && field.matches();
    }
    finish(allMatch ? Outcome::Verified : Outcome::Mismatch);
}

void VerifyExchange::finish(Outcome outcome)
{
    if (isFinished())
        return;
    m_pause.stop();
    m_result.outcome = outcome;
    m_result.elapsedMs = m_clock.isValid() ? m_clock.elapsed() : 0;
    markFinished();
}

} // namespace lv
