// SPDX-License-Identifier: Apache-2.0
#pragma once

// The About box (frmAbout), opened from the Help menu.

#include <QDialog>

namespace lv {

// frmAbout: the program's name and version.
class AboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace lv
