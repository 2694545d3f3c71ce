// SPDX-License-Identifier: Apache-2.0
// An action of one datagram and the bounded wait for its answer.

#include "datagramexchange.h"

namespace lv {

DatagramExchange::DatagramExchange(CommandChannel& channel, DeviceRef device, const DatagramAction& action,
                                   PlannedAction planned, int timeoutMs, QObject* parent)
    : Exchange(parent), m_channel(channel), m_device(std::move(device)), m_action(action),
      m_planned(std::move(planned)), m_timeoutMs(timeoutMs)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the bound is a promise to the operator and to scripts.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(Outcome::NoAnswer); });
}

DatagramExchange::~DatagramExchange()
{
    disconnect(m_taken);
}

void DatagramExchange::start()
{
    // The command leaves through the card the device answered on, from a fresh local port: an answer
    // that comes late for an earlier exchange is never read as this one's.
    m_channel.setInterface(m_device.interfaceIndex);
    m_channel.beginExchange();
    m_channel.expectFrom(m_device.sender);
    m_taken = connect(&m_channel, &CommandChannel::datagramTaken, this, &DatagramExchange::onDatagram);
    const std::string command = m_action.command(m_device, m_planned);
    if (!m_channel.send(command))
        return finish(Outcome::NotSent);
    m_result.sent = command;
    m_result.outcome = Outcome::NoAnswer;
    m_timer.start(m_timeoutMs);
}

void DatagramExchange::onDatagram(const QByteArray& datagram)
{
    if (isFinished())
        return;
    const std::string_view answer(datagram.constData(), static_cast<std::size_t>(datagram.size()));
    const DatagramVerdict verdict = m_action.read(answer, m_device);
    switch (verdict.kind) {
    case DatagramVerdict::Kind::Ignore:
        return;
    case DatagramVerdict::Kind::Foreign:
        ++m_setAside;
        return;
    case DatagramVerdict::Kind::Final:
        break;
    }
    m_result.verdict = verdict.outcome;
    m_result.answer = std::string(answer);
    finish(Outcome::Answered);
}

void DatagramExchange::finish(Outcome outcome)
{
    if (isFinished())
        return;
    m_timer.stop();
    disconnect(m_taken);
    m_result.outcome = outcome;
    markFinished();
}

} // namespace lv
