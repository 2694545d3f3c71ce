// SPDX-License-Identifier: Apache-2.0
#pragma once

// The multi-port layout: a grid of caption cells ("General Setting", "COM1", " COM1 / COM2", ...),
// row labels and one or two columns of port controls, for the four windows of every family.

#include "setupwindow.h"

class QGridLayout;

namespace lv {

class MultiPortWindow final : public SetupWindow {
    Q_OBJECT
public:
    MultiPortWindow(const WindowDef& window, CommandChannel& channel, LoadedValues* snapshot = nullptr,
                    QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildForm();
    // As large as the grid wants, within a 1366 x 768 screen (or the screen there is).
    void setReadingTabOrder();
    void fitToScreen();
    // Adds one block: its caption cell, the row labels of `ports.front()` and the ports' controls side
    // by side. Returns the next free grid row.
    int addBlock(QGridLayout* grid, int firstRow, const QString& caption, const std::vector<int>& ports);

    QWidget* m_content = nullptr;
    bool m_fitted = false;
};

} // namespace lv
