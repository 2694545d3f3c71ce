#pragma once

// Opens the setup window that the model table chose for a device, filled by
// its loader, modally over the main window.

#include "commandchannel.h"
#include "devicelinepatch.h"
#include "exchanges.h"
#include "sessionstate.h"

#include <QDialog>

#include <functional>

class QWidget;

namespace lv {

struct SetupWindowContext {
    CommandChannel& channel;
    SessionState& state;
    QWidget* parent = nullptr;
    // Rewrites the selected device-list line after an answered Update.
    std::function<void(const DeviceLinePatch&)> patchLine;
};

// Fills and shows the window of the reply's model-table row; returns when the
// window is closed. Rows without a window open nothing.
void showSetupWindow(SetupWindowContext& context, const ConfigRequestResult& result);

// Unloads the setup windows that a multi-port load left loaded and hidden.
void unloadHiddenSetupWindows();

// Called with every setup window right before it is shown, so tests can drive
// the modal window; empty in normal runs.
void setSetupWindowObserver(std::function<void(QDialog*)> observer);

} // namespace lv
