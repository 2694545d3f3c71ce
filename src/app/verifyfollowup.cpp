// SPDX-License-Identifier: Apache-2.0
// The check after a confirmed Update, run beside the main window.

#include "verifyfollowup.h"

#include "latin1.h"
#include "outcometexts.h"

namespace lv {

VerifyFollowUp::VerifyFollowUp(SessionState& state, QObject* parent) : QObject(parent), m_state(state) {}

VerifyFollowUp::~VerifyFollowUp() = default;

void VerifyFollowUp::start(const ConfigRequestResult& request, const DeviceRef& device, const UpdatePlan& plan,
                           const QString& mac)
{
    const WindowDef* window = request.dispatch.windowDef;
    if (!window)
        return;
    // A check still running for an earlier Update gives way; its channel goes with it.
    m_verify.reset();
    m_channel = std::make_unique<CommandChannel>(m_state);
    m_window = window;
    m_verify = std::make_unique<VerifyExchange>(*m_channel, device, toLatin1(m_state.gSetupPass), *window,
                                                request.dispatch.portCount, plan);
    connect(m_verify.get(), &VerifyExchange::finished, this, [this, mac] { ended(mac); });
    // Said before the check starts: one that cannot send ends at once and says so after this.
    Q_EMIT says(QStringLiteral("%1 updated; checking what it reports now…").arg(mac), {});
    m_verify->start();
}

void VerifyFollowUp::ended(const QString& mac)
{
    if (!m_verify || !m_window)
        return;
    const VerifyResult& result = m_verify->result();
    const TextContext context{.device = mac, .window = m_window};
    if (const QString text = describe(result, Audience::Window, context); !text.isEmpty())
        Q_EMIT outcome(text, windowVerifyDetails(result, context, m_channel ? m_channel->strangers() : 0), mac,
                       result.outcome != VerifyResult::Outcome::Verified);
    Q_EMIT finished();
}

} // namespace lv
