// SPDX-License-Identifier: Apache-2.0
// The MAC change exchange: one "M " command on wskSetMac and the bounded wait for its answer.

#include "macchangeexchange.h"

#include "wait.h"

namespace lv {

MacChangeExchange::MacChangeExchange(SessionState& state, QObject* parent)
    : QObject(parent), m_state(state), m_wskSetMac(this)
{
    m_wskSetMac.setObjectName(QStringLiteral("wskSetMac"));
    connect(&m_wskSetMac, &UdpSocket::dataArrival, this, &MacChangeExchange::wskSetMac_DataArrival);
    m_timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the bound is a promise to the operator and to scripts.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MacChangeExchange::finish);
}

bool MacChangeExchange::start(std::string_view currentField, std::string_view newField, std::string_view accessCode,
                              int timeoutMs)
{
    if (m_waiting)
        return false;
    m_result = {};
    m_setAside = 0;
    m_asked = MacAddress::fromField(currentField);
    // A fresh local port: an answer that comes late for an earlier change is never read as this one's.
    m_wskSetMac.renew();
    m_wskSetMac.setRemoteHost(m_state.broadcast);
    m_wskSetMac.setRemotePort(m_state.gCmdPort);
    const std::string command = macChangeCommand(currentField, newField, accessCode);
    const QByteArray datagram(command.data(), static_cast<qsizetype>(command.size()));
    if (!m_wskSetMac.sendData(datagram)) {
        Q_EMIT finished();
        return true;
    }
    Q_EMIT datagramSent(datagram);
    m_result.outcome = MacChangeResult::Outcome::NoAnswer;
    m_waiting = true;
    m_timer.start(timeoutMs);
    return true;
}

MacChangeResult MacChangeExchange::run(std::string_view currentField, std::string_view newField,
                                       std::string_view accessCode, int timeoutMs)
{
    if (!start(currentField, newField, accessCode, timeoutMs))
        return {};
    // The exchange's own timer bounds it; the wait's bound only guards against one that never ends.
    waitFor(this, &MacChangeExchange::finished, timeoutMs + 5000, [this] { return !m_waiting; });
    return m_result;
}

void MacChangeExchange::finish()
{
    if (!m_waiting)
        return;
    m_timer.stop();
    m_waiting = false;
    Q_EMIT finished();
}

void MacChangeExchange::wskSetMac_DataArrival(const QByteArray& datagram, quint32 senderIPv4, quint16 senderPort)
{
    // The first answer of the device asked ends a running change; answers from another host, and
    // answers about another device, are set aside.
    if (!m_waiting || m_result.replied())
        return;
    if (m_peer.known() && !m_peer.sent(senderIPv4, senderPort)) {
        ++m_setAside;
        return;
    }
    MacChangeReply reply =
        parseMacChangeReply(std::string_view(datagram.constData(), static_cast<std::size_t>(datagram.size())));
    if (reply.kind == MacReplyKind::Ignored)
        return;
    // An answer about another device is not this change's.
    if (reply.kind != MacReplyKind::Malformed && m_asked) {
        const std::optional<MacAddress> old = MacAddress::fromField(reply.oldField);
        if (old && *old != *m_asked) {
            ++m_setAside;
            return;
        }
    }
    switch (reply.kind) {
    case MacReplyKind::Ignored:
    case MacReplyKind::Malformed:
        m_result.outcome = MacChangeResult::Outcome::Malformed;
        break;
    case MacReplyKind::Unchanged:
        m_result.outcome = MacChangeResult::Outcome::Unchanged;
        break;
    case MacReplyKind::Changed:
        m_result.outcome = MacChangeResult::Outcome::Changed;
        m_result.newMac = reply.newMac;
        break;
    }
    if (reply.kind != MacReplyKind::Malformed) {
        m_result.oldField = std::move(reply.oldField);
        m_result.newField = std::move(reply.newField);
    }
    Q_EMIT answered();
    finish();
}

} // namespace lv
