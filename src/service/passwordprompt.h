// SPDX-License-Identifier: Apache-2.0
#pragma once

// frmPass and frmMACPass: a masked entry whose Ok stores the text in a
// program-wide value. Each opens with an empty entry.

#include "sessionstate.h"

#include <QDialog>

class QLineEdit;

namespace lv {

class PasswordPrompt final : public QDialog {
    Q_OBJECT
public:
    // `target` receives the entry on Ok; Cancel leaves it unchanged.
    PasswordPrompt(const QString& name, const QString& caption, QString& target, QWidget* parent = nullptr);

    void cmdOk_Click();
    void cmdCancel_Click();

private:
    QString& m_target;
    QLineEdit* m_txtPass = nullptr;
};

// The setup-password prompt of the Option menu.
void showSetupPasswordPrompt(QWidget* parent, SessionState& state);

// The access-code prompt of the MAC service (AskMacPass); true when the
// operator pressed Ok (or Enter), false on Cancel.
bool showMacPasswordPrompt(QWidget* parent, SessionState& state);

} // namespace lv
