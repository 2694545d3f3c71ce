// SPDX-License-Identifier: Apache-2.0
// The MAC change exchange: one "M " command and the bounded wait for its answer.

#include "macchangeexchange.h"

namespace lv {

MacChangeExchange::MacChangeExchange(CommandChannel& channel, DeviceRef device, std::string newField,
                                     std::string accessCode, int timeoutMs, QObject* parent)
    : Exchange(parent), m_channel(channel), m_device(std::move(device)), m_newField(std::move(newField)),
      m_accessCode(std::move(accessCode)), m_timeoutMs(timeoutMs)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the bound is a promise to the operator and to scripts.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(Outcome::NoAnswer); });
}

MacChangeExchange::~MacChangeExchange()
{
    disconnect(m_taken);
}

void MacChangeExchange::start()
{
    // The command leaves through the card the device answered on, from a fresh local port: an answer
    // that comes late for an earlier change is never read as this one's.
    m_channel.setInterface(m_device.interfaceIndex);
    m_channel.beginExchange();
    m_channel.expectFrom(m_device.sender);
    m_taken = connect(&m_channel, &CommandChannel::datagramTaken, this, &MacChangeExchange::onDatagram);
    if (!m_channel.send(macChangeCommand(m_device.macField, m_newField, m_accessCode)))
        return finish(Outcome::NotSent);
    m_result.outcome = Outcome::NoAnswer;
    m_timer.start(m_timeoutMs);
}

void MacChangeExchange::onDatagram(const QByteArray& datagram)
{
    if (isFinished())
        return;
    MacChangeReply reply =
        parseMacChangeReply(std::string_view(datagram.constData(), static_cast<std::size_t>(datagram.size())));
    if (reply.kind == MacReplyKind::Ignored)
        return;
    // An answer about another device is not this change's.
    if (reply.kind != MacReplyKind::Malformed && m_device.mac) {
        const std::optional<MacAddress> old = MacAddress::fromField(reply.oldField);
        if (old && *old != *m_device.mac) {
            ++m_setAside;
            return;
        }
    }
    Outcome outcome = Outcome::Malformed;
    if (reply.kind == MacReplyKind::Unchanged)
        outcome = Outcome::Unchanged;
    if (reply.kind == MacReplyKind::Changed) {
        outcome = Outcome::Changed;
        m_result.newMac = reply.newMac;
    }
    if (reply.kind != MacReplyKind::Malformed) {
        m_result.oldField = std::move(reply.oldField);
        m_result.newField = std::move(reply.newField);
    }
    finish(outcome);
}

void MacChangeExchange::finish(Outcome outcome)
{
    if (isFinished())
        return;
    m_timer.stop();
    disconnect(m_taken);
    m_result.outcome = outcome;
    markFinished();
}

} // namespace lv
