// SPDX-License-Identifier: Apache-2.0
#pragma once

// The MAC service of the main window: the access-code prompt (AskMacPass), the
// check that opens frmSetMAC for the selected device (OpenSetMac), and the
// keyboard shortcut that reaches both. The menus carry no entry for it.

#include "deviceref.h"
#include "devicesearch.h"
#include "macchangeexchange.h"
#include "sessionstate.h"

#include <QObject>
#include <QString>

#include <functional>

class QShortcut;

namespace lv {

class MacService final : public QObject {
    Q_OBJECT
public:
    // `window` owns the shortcut and the dialogs; `selected` gives the selected device of the list (none
    // when no line is selected); `busy` says whether a configuration request is under way, during
    // which the service does not open.
    MacService(QWidget& window, SessionState& state, DeviceSearch& search,
               std::function<std::optional<DeviceRef>()> selected, std::function<bool()> busy);

    // Shows frmMACPass; true when the operator pressed Ok.
    bool AskMacPass();
    // Opens frmSetMAC for the selected device once the access code is right;
    // "MAC Password Error" otherwise.
    void OpenSetMac();
    // Ctrl+Shift+M: asks for the code while none has been accepted, then opens
    // the service for the selected device.
    void macShortcut_Activated();

    QShortcut* shortcut() const { return m_shortcut; }
    bool accessCodeAccepted() const;

Q_SIGNALS:
    // A change was sent to the device whose MAC text is `deviceMac` (as its line showed it before the
    // change); what became of it.
    void macChangeFinished(const lv::MacChangeResult& result, const QString& deviceMac);

private:
    QWidget& m_window;
    SessionState& m_state;
    DeviceSearch& m_search;
    std::function<std::optional<DeviceRef>()> m_selected;
    std::function<bool()> m_busy;
    QShortcut* m_shortcut = nullptr;
};

} // namespace lv
