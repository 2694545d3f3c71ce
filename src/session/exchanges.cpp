// SPDX-License-Identifier: Apache-2.0
// The configuration request and the Update exchange.

#include "exchanges.h"

#include "devicelist.h"
#include "latin1.h"
#include "loaders.h"
#include "tagmessage.h"
#include "wait.h"

namespace lv {

namespace {

bool fitsOneDatagram(const std::string& command)
{
    return command.size() <= static_cast<std::size_t>(kMaxDatagramBytes);
}

// How often an incomplete configuration reply is looked at again while more datagrams come.
constexpr int kRecheckMs = 10;

} // namespace

// ---- the configuration request ----

ConfigRequest::ConfigRequest(CommandChannel& channel, DeviceRef device, std::string password, int timeoutMs,
                             QObject* parent)
    : Exchange(parent), m_channel(channel), m_device(std::move(device)), m_password(std::move(password)),
      m_timeoutMs(timeoutMs)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the bound is a promise to the operator and to scripts.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ConfigRequest::onTimeout);
    // A flood of datagrams after an incomplete reply costs one look at the reply per interval, not one
    // per datagram.
    m_recheck.setSingleShot(true);
    m_recheck.setInterval(kRecheckMs);
    connect(&m_recheck, &QTimer::timeout, this, [this] {
        if (!isFinished() && whole())
            finish(Outcome::Answered);
    });
}

ConfigRequest::~ConfigRequest()
{
    disconnect(m_completed);
    disconnect(m_grown);
}

void ConfigRequest::start()
{
    const std::optional<std::string> address = addressPartOfEntry(m_device.raw);
    if (!address)
        return finish(Outcome::NotADevice);
    // This request and whatever follows on the channel (the Update) leave by the device's card.
    m_channel.setInterface(m_device.interfaceIndex);
    m_channel.beginExchange();
    m_channel.expectFrom(m_device.sender);
    m_channel.buffer().expectConfiguration(macFieldOfEntry(m_device.raw));
    const std::string request = configRequest(*address, m_password);
    Q_EMIT m_channel.sending();
    if (!fitsOneDatagram(request) || !m_channel.send(request))
        return finish(Outcome::NotSent);
    Q_EMIT m_channel.waiting();
    // Queued: whatever else watches the socket (a wire log) sees the last datagram before the reply is read.
    m_completed =
        connect(&m_channel.buffer(), &ReplyBuffer::completed, this, &ConfigRequest::onComplete, Qt::QueuedConnection);
    m_timer.start(m_timeoutMs);
}

void ConfigRequest::onComplete()
{
    if (isFinished() || m_grown)
        return;
    const std::string& reply = m_channel.buffer().text();
    if (reply.empty() || reply.front() != 'A')
        return finish(Outcome::NotAReply);
    if (whole())
        return finish(Outcome::Answered);
    // Part of the reply is still on its way (or lost): the rest may come before the bound.
    ReplyBuffer& buffer = m_channel.buffer();
    buffer.keepGathering();
    m_grown = connect(&buffer, &ReplyBuffer::grown, this, [this] {
        if (!m_recheck.isActive())
            m_recheck.start();
    });
}

bool ConfigRequest::whole()
{
    const std::string& reply = m_channel.buffer().text();
    const ModelDispatch dispatch = dispatchModel(readModelVersion(reply).model);
    m_result.missing =
        dispatch.windowDef ? missingItems(*dispatch.windowDef, reply, dispatch.portCount) : std::vector<std::string>{};
    return m_result.missing.empty();
}

void ConfigRequest::onTimeout()
{
    // A reply completed just before the time ran out counts.
    if (m_grown)
        return finish(whole() ? Outcome::Answered : Outcome::Incomplete);
    const ReplyBuffer& buffer = m_channel.buffer();
    if (buffer.complete())
        return onComplete();
    // The device's reply started only after other datagrams of it: its end came first and was set
    // aside. The device answered; what it sent is not a whole reply.
    if (!buffer.text().empty() && buffer.datagramsBeforeStart() > 0) {
        whole();
        return finish(Outcome::Incomplete);
    }
    finish(Outcome::NoAnswer);
}

void ConfigRequest::finish(Outcome outcome)
{
    if (isFinished())
        return;
    m_timer.stop();
    m_recheck.stop();
    disconnect(m_completed);
    disconnect(m_grown);
    ConfigRequestResult& r = m_result;
    r.outcome = outcome;
    if (outcome != Outcome::NotADevice) {
        r.reply = m_channel.buffer().text();
        r.foreignReplies = m_channel.buffer().foreignReplies();
        r.strangers = m_channel.strangers();
        r.modelVersion = readModelVersion(r.reply);
        r.dispatch = dispatchModel(r.modelVersion.model);
    }
    markFinished();
}

// ---- the Update ----

UpdateExchange::UpdateExchange(CommandChannel& channel, DeviceRef device, UpdatePlan plan, int timeoutMs,
                               QObject* parent)
    : Exchange(parent), m_channel(channel), m_device(std::move(device)), m_plan(std::move(plan)),
      m_timeoutMs(timeoutMs), m_timer(this)
{
    m_timer.setSingleShot(true);
    // The delay and the bound are the window's; a coarse timer may fire up to 5 % early. A precise one
    // may still fire a little early on some platforms: the delay is checked against a monotonic clock.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UpdateExchange::onTimer);
}

bool UpdateExchange::fits(const UpdatePlan& plan)
{
    return fitsOneDatagram(plan.setCommand) && fitsOneDatagram(plan.updateCommand);
}

void UpdateExchange::start()
{
    // A command over the datagram limit cannot leave: nothing of the exchange is sent, so the device
    // never applies "U " to a set command it did not get.
    if (!fits(m_plan))
        return finish(Outcome::TooLarge);
    m_channel.setInterface(m_device.interfaceIndex);
    m_channel.beginExchange();
    // The answer to "U " comes from the device; one that takes a new IP address may answer from there.
    DevicePeer peer = m_device.sender;
    peer.moveTo(m_plan.newIp);
    m_channel.expectFrom(peer);
    Q_EMIT m_channel.sending();
    if (!send(m_plan.setCommand))
        return finish(Outcome::NotSent);
    m_sinceSet.start();
    // An answer that comes during the delay stays in the buffer; the "U " step looks at it.
    m_completed =
        connect(&m_channel.buffer(), &ReplyBuffer::completed, this, &UpdateExchange::onComplete, Qt::QueuedConnection);
    m_step = Step::Delaying;
    m_timer.start(m_plan.delayMs);
}

void UpdateExchange::onTimer()
{
    if (m_step == Step::Delaying) {
        // The device takes "U " only after the whole delay since the set command left: a timer that
        // fired early is followed by a wait for the rest. elapsed() rounds down, so the delay is never
        // cut short by the clock's resolution either.
        const qint64 rest = m_plan.delayMs - m_sinceSet.elapsed();
        if (rest > 0)
            return m_timer.start(static_cast<int>(rest));
        return sendUpdates();
    }
    if (m_step == Step::Answering)
        finish(m_channel.buffer().complete() ? Outcome::Answered : Outcome::NoAnswer);
}

void UpdateExchange::onComplete()
{
    if (m_step == Step::Answering)
        finish(Outcome::Answered);
}

void UpdateExchange::sendUpdates()
{
    for (int i = 0; i < m_plan.updateCount; ++i)
        if (!send(m_plan.updateCommand))
            return finish(Outcome::NotSent);
    Q_EMIT m_channel.waiting();
    m_step = Step::Answering;
    if (m_channel.buffer().complete())
        return finish(Outcome::Answered);
    m_timer.start(m_timeoutMs);
}

bool UpdateExchange::send(const std::string& command)
{
    if (!m_channel.send(command))
        return false;
    ++m_result.commandsSent;
    return true;
}

void UpdateExchange::finish(Outcome outcome)
{
    if (isFinished())
        return;
    m_timer.stop();
    disconnect(m_completed);
    m_step = Step::Done;
    m_result.outcome = outcome;
    m_result.answer = m_channel.buffer().text();
    m_result.strangers = m_channel.strangers();
    markFinished();
}

} // namespace lv
