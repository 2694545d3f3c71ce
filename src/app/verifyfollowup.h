// SPDX-License-Identifier: Apache-2.0
#pragma once

// Option > Verify After Update: once the device confirmed an Update, its configuration is asked for
// again, without the window waiting, and compared with what was sent. One check runs at a time: a new
// one replaces the last, and its channel goes with it.

#include "commandchannel.h"
#include "verifyexchange.h"

#include <QObject>

#include <memory>

namespace lv {

class VerifyFollowUp final : public QObject {
    Q_OBJECT
public:
    explicit VerifyFollowUp(SessionState& state, QObject* parent = nullptr);
    ~VerifyFollowUp() override;

    // Checks the device `mac` of the confirmed Update `plan`, named as its search found it and asked with
    // the setup password the Update went out with. Nothing starts when the request named no window.
    void start(const ConfigRequestResult& request, const DeviceRef& device, const UpdatePlan& plan, const QString& mac);
    // The check while it runs; null otherwise.
    const VerifyExchange* running() const { return m_verify && !m_verify->isFinished() ? m_verify.get() : nullptr; }

Q_SIGNALS:
    // What the status bar says of the check as it starts.
    void says(const QString& text, const QString& details);
    // How the check ended, of the device `mac`; `problem`: the device reports other values or did not
    // answer.
    void outcome(const QString& text, const QString& details, const QString& mac, bool problem);
    void finished();

private:
    void ended(const QString& mac);

    SessionState& m_state;
    std::unique_ptr<CommandChannel> m_channel;
    std::unique_ptr<VerifyExchange> m_verify; // declared after its channel: destroyed before it
    const WindowDef* m_window = nullptr;
};

} // namespace lv
