// SPDX-License-Identifier: Apache-2.0
// The MAC service of the main window: AskMacPass, OpenSetMac and their shortcut.

#include "macservice.h"

#include "dialogs.h"
#include "latin1.h"
#include "macchange.h"
#include "outcometexts.h"
#include "passwordprompt.h"
#include "setmacdialog.h"

#include <QShortcut>

namespace lv {

MacService::MacService(QWidget& window, SessionState& state, DeviceSearch& search,
                       std::function<std::optional<DeviceRef>()> selected, std::function<bool()> busy)
    : QObject(&window), m_window(window), m_state(state), m_search(search), m_selected(std::move(selected)),
      m_busy(std::move(busy))
{
    setObjectName(QStringLiteral("macService"));
    // Three keys held together: not a combination an operator presses by chance.
    m_shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), &window);
    m_shortcut->setObjectName(QStringLiteral("macServiceShortcut"));
    m_shortcut->setContext(Qt::WindowShortcut);
    connect(m_shortcut, &QShortcut::activated, this, &MacService::macShortcut_Activated);
}

bool MacService::accessCodeAccepted() const
{
    return m_state.gMacPass == fromLatin1(kMacServiceAccessCode);
}

bool MacService::AskMacPass()
{
    return showMacPasswordPrompt(&m_window, m_state);
}

void MacService::OpenSetMac()
{
    // Not in the middle of a configuration request: its wait keeps handling events.
    if (m_busy())
        return;
    if (!accessCodeAccepted()) {
        Dialogs::message(&m_window, macPasswordErrorText(Audience::Window), QStringLiteral("MsgBox"));
        return;
    }
    // The selected device as the list holds it now (an earlier change may have rewritten its entry).
    const std::optional<DeviceRef> selected = m_selected();
    if (!selected || selected->macField.empty())
        return;

    // Named by the address it had when the command went out, whatever the dialog did to its line.
    const QString deviceMac = selected->mac ? fromLatin1(selected->mac->text()) : fromLatin1(selected->macField);
    SetMacDialog dialog(m_state, m_search, *selected, &m_window);
    dialog.exec();
    const MacChangeResult& result = dialog.macChangeResult();
    if (result.sent())
        Q_EMIT macChangeFinished(result, deviceMac);
}

void MacService::macShortcut_Activated()
{
    if (m_busy())
        return;
    if (!accessCodeAccepted() && !AskMacPass())
        return;
    OpenSetMac();
}

} // namespace lv
