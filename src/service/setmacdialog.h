// SPDX-License-Identifier: Apache-2.0
#pragma once

// frmSetMAC: sends the selected device its new MAC address and, when the device
// reports the change, rewrites the device's line and raw entry in the main
// window's lists. The dialog closes itself after the answer or the time-out.

#include "commandchannel.h"
#include "deviceref.h"
#include "devicesearch.h"
#include "macchange.h"
#include "macchangeexchange.h"
#include "sessionstate.h"

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace lv {

class SetMacDialog final : public QDialog {
    Q_OBJECT
public:
    // `device` is the selected device of `search`'s lists.
    SetMacDialog(SessionState& state, DeviceSearch& search, DeviceRef device, QWidget* parent = nullptr);

    void cmdOk_Click();
    void cmdCancel_Click();

    // The outcome of the change sent by Ok; all false when nothing was sent.
    const MacChangeResult& macChangeResult() const { return m_result; }
    // The dialog's own channel, on which its change runs (its datagrams, for a wire log).
    CommandChannel& channel() { return m_channel; }

    // What the dialog says about a typed address that it will not send.
    static QString problemText(NewMacProblem problem);
    // ... about an address that the device of the listed `line` already has.
    static QString takenText(const QString& line);
    // ... about an access code that cannot be sent as typed.
    static QString accessCodeText();

public Q_SLOTS:
    // Esc and the close box cancel, except while the change waits for its answer.
    void reject() override;

private:
    void applyChange();
    void setBusy(bool busy);

    SessionState& m_state;
    DeviceSearch& m_search;
    const DeviceRef m_device;
    const int m_row;
    CommandChannel m_channel;
    bool m_running = false;
    MacChangeResult m_result;
    std::string m_sentField;
    QLabel* m_lblOldMac = nullptr;
    QLineEdit* m_txtNewMac = nullptr;
    QLabel* m_lblNewMacHint = nullptr;
    QPushButton* m_cmdOk = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};

} // namespace lv
