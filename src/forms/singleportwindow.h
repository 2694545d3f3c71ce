// SPDX-License-Identifier: Apache-2.0
#pragma once

// The single-port layout: the setup window of every single-port device (serial converters, radio
// modules, the digital-I/O module), one row per field as the catalogue lists them.

#include "setupwindow.h"

namespace lv {

class SinglePortWindow final : public SetupWindow {
    Q_OBJECT
public:
    // Builds the rows of the window's fields, then the buttons.
    SinglePortWindow(const WindowDef& window, CommandChannel& channel, LoadedValues* loaded = nullptr,
                     QWidget* parent = nullptr);
};

} // namespace lv
