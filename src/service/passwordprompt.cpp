// SPDX-License-Identifier: Apache-2.0
// frmPass and frmMACPass.

#include "passwordprompt.h"

#include "latin1validator.h"
#include "mnemonic.h"
#include "starmaskstyle.h"
#include "textlabel.h"
#include "twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lv {

PasswordPrompt::PasswordPrompt(const QString& name, const QString& caption, QString& target, QWidget* parent)
    : QDialog(parent), m_target(target)
{
    setObjectName(name);
    setWindowTitle(caption);
    setFixedSize(twipsToPixels(4425), twipsToPixels(2100));

    auto* label = textLabel(QStringLiteral("Password"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(twipRect(240, 600, 888, 240));

    m_txtPass = new QLineEdit(this);
    m_txtPass->setObjectName(QStringLiteral("txtPass"));
    StarMaskStyle::apply(m_txtPass);
    m_txtPass->setValidator(new Latin1Validator(m_txtPass));
    QFont big = m_txtPass->font();
    big.setPointSize(18);
    m_txtPass->setFont(big);
    m_txtPass->setGeometry(twipRect(1152, 504, 2724, 420));
    // A screen reader names the entry by its caption.
    m_txtPass->setAccessibleName(caption);
    label->setBuddy(m_txtPass);
    // Enter in the entry presses Ok.
    connect(m_txtPass, &QLineEdit::returnPressed, this, &PasswordPrompt::cmdOk_Click);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setGeometry(twipRect(1368, 1368, 900, 330));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &PasswordPrompt::cmdOk_Click);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setGeometry(twipRect(2448, 1368, 900, 330));
    cancel->setAutoDefault(false);
    // Alt+O and Alt+C, underlined as the platform shows mnemonics.
    setMnemonic(ok, QLatin1Char('O'));
    setMnemonic(cancel, QLatin1Char('C'));
    connect(cancel, &QPushButton::clicked, this, &PasswordPrompt::cmdCancel_Click);
}

void PasswordPrompt::cmdOk_Click()
{
    m_target = m_txtPass->text();
    accept();
}

void PasswordPrompt::cmdCancel_Click()
{
    reject();
}

void showSetupPasswordPrompt(QWidget* parent, SessionState& state)
{
    PasswordPrompt prompt(QStringLiteral("frmPass"), QStringLiteral("Password"), state.gSetupPass, parent);
    prompt.exec();
}

bool showMacPasswordPrompt(QWidget* parent, SessionState& state)
{
    PasswordPrompt prompt(QStringLiteral("frmMACPass"), QStringLiteral("MAC Password"), state.gMacPass, parent);
    return prompt.exec() == QDialog::Accepted;
}

} // namespace lv
