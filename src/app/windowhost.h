// SPDX-License-Identifier: Apache-2.0
#pragma once

// The window host: owns the setup windows, keyed by window name. It creates a window on first use,
// fills and shows the one the model table chose, keeps the multi-port families loaded and hidden
// between requests, and unloads them when the main window closes.

#include "exchanges.h"
#include "sessionstate.h"
#include "setupwindow.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <string>
#include <string_view>

class QDialog;
class QWidget;

namespace lv {

class CommandChannel;
struct FamilyDef;

class WindowHost final : public QObject {
    Q_OBJECT
public:
    WindowHost(CommandChannel& channel, SessionState& state, QWidget* owner);
    ~WindowHost() override;

    // Fills the window of the reply's model-table row (for a multi-port device all four windows of
    // its family) and shows it modally; returns what its Updates came to once it has closed. Rows
    // without a window open nothing. `device` is the device asked, whose Update the window sends;
    // `updateEnded` hears of every Update as it ends, while the window stays open.
    SetupOutcome open(const ConfigRequestResult& result, const DeviceRef& device,
                      const std::function<void(const UpdateResult&)>& updateEnded);

    // The unload step of the main window's close: the multi-port windows of every family, in order.
    void unloadAll();

    // The window of that name while it is loaded, else null.
    SetupWindow* loaded(std::string_view name) const;
    // The names of the loaded windows.
    QStringList loadedNames() const;

    // Called with every setup window right before it is shown, so tests can drive the modal window;
    // empty in normal runs.
    static void setObserver(std::function<void(QDialog*)> observer);

private:
    // The window of `def`, created (and its title set for `device` and `version`) when not loaded;
    // `open` sets the title again for the device of every window it shows.
    SetupWindow* ensure(const WindowDef& def, const DeviceRef& device, const std::string& version);
    void unload(const std::string& name);
    void unloadFamily(const FamilyDef& family);
    SetupOutcome showModal(SetupWindow& window, const std::function<void(const UpdateResult&)>& updateEnded);

    CommandChannel& m_channel;
    SessionState& m_state;
    QWidget* m_owner;
    std::map<std::string, QPointer<SetupWindow>, std::less<>> m_windows;
    SetupWindow* m_shown = nullptr;
};

} // namespace lv
