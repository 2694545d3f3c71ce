// SPDX-License-Identifier: Apache-2.0
// frmSetMAC: the typed address check, the change and the rewrite of the device's line and entry.

#include "setmacdialog.h"

#include "devicelist.h"
#include "latin1.h"
#include "macaddress.h"
#include "mnemonic.h"
#include "outcometexts.h"
#include "textlabel.h"
#include "twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lv {

namespace {

QFont bigFont(const QWidget* widget)
{
    QFont font = widget->font();
    font.setPointSize(18);
    return font;
}

} // namespace

SetMacDialog::SetMacDialog(SessionState& state, DeviceSearch& search, DeviceRef device, QWidget* parent)
    : QDialog(parent), m_state(state), m_search(search), m_device(std::move(device)), m_row(m_device.row),
      m_channel(state, this)
{
    setObjectName(QStringLiteral("frmSetMAC"));
    m_channel.socket().setObjectName(QStringLiteral("wskSetMac"));
    setWindowTitle(QStringLiteral("Set MAC Address"));
    setFixedSize(twipsToPixels(6705), twipsToPixels(2850));

    auto* label2 = textLabel(QStringLiteral("Old Address"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(twipRect(480, 600, 1104, 240));

    m_lblOldMac = textLabel(fromLatin1(m_device.macField), this);
    m_lblOldMac->setObjectName(QStringLiteral("lblOldMac"));
    m_lblOldMac->setFont(bigFont(m_lblOldMac));
    m_lblOldMac->setGeometry(twipRect(1656, 480, 4452, 492));

    auto* label1 = textLabel(QStringLiteral("New Address"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(twipRect(432, 1296, 1188, 240));

    m_txtNewMac = new QLineEdit(this);
    m_txtNewMac->setObjectName(QStringLiteral("txtNewMac"));
    m_txtNewMac->setFont(bigFont(m_txtNewMac));
    m_txtNewMac->setGeometry(twipRect(1656, 1176, 4452, 492));
    // A screen reader names the entry by its caption, and reads what the dialog says about it.
    m_txtNewMac->setAccessibleName(label1->text());
    label1->setBuddy(m_txtNewMac);
    m_lblOldMac->setAccessibleName(label2->text());
    // The caption names the label; a screen reader reads the address from its description.
    m_lblOldMac->setAccessibleDescription(
        m_device.macText.empty() ? m_lblOldMac->text()
                                 : QStringLiteral("%1 (%2)").arg(m_lblOldMac->text(), fromLatin1(m_device.macText)));
    label2->setBuddy(m_lblOldMac);
    // Enter in the entry presses Ok.
    connect(m_txtNewMac, &QLineEdit::returnPressed, this, &SetMacDialog::cmdOk_Click);

    // Says why a typed address is not sent; empty otherwise.
    m_lblNewMacHint = textLabel({}, this);
    m_lblNewMacHint->setObjectName(QStringLiteral("lblNewMacHint"));
    QFont small = m_lblNewMacHint->font();
    small.setPointSizeF(8);
    m_lblNewMacHint->setFont(small);
    m_lblNewMacHint->setGeometry(twipRect(432, 1716, 5676, 300));

    m_cmdOk = new QPushButton(QStringLiteral("Ok"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdOk->setGeometry(twipRect(2328, 2064, 900, 330));
    m_cmdOk->setAutoDefault(false);
    connect(m_cmdOk, &QPushButton::clicked, this, &SetMacDialog::cmdOk_Click);

    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setGeometry(twipRect(3744, 2064, 900, 330));
    m_cmdCancel->setAutoDefault(false);
    // Alt+O and Alt+C, underlined as the platform shows mnemonics.
    setMnemonic(m_cmdOk, QLatin1Char('O'));
    setMnemonic(m_cmdCancel, QLatin1Char('C'));
    connect(m_cmdCancel, &QPushButton::clicked, this, &SetMacDialog::cmdCancel_Click);

    m_txtNewMac->setFocus();
}

QString SetMacDialog::problemText(NewMacProblem problem)
{
    return fromLatin1(describeNewMacProblem(problem));
}

void SetMacDialog::cmdOk_Click()
{
    if (m_running)
        return;
    // A device given a malformed address may no longer be reachable, so the
    // text is checked here and only a usable unicast address goes out.
    // The hyphenated text the list shows is taken too, and sent as the field it stands for.
    // A character outside Latin-1 becomes "?", which the check refuses.
    const NewMac typed = parseNewMac(toLatin1(m_txtNewMac->text()));
    if (typed.problem != NewMacProblem::None) {
        m_lblNewMacHint->setText(problemText(typed.problem));
        m_txtNewMac->setFocus();
        return;
    }
    // Two devices with one MAC could no longer be told apart on the LAN.
    if (const std::optional<int> other = m_search.otherDeviceWithMac(*typed.address(), m_row)) {
        m_lblNewMacHint->setText(takenText(fromLatin1(m_search.devices().line(static_cast<std::size_t>(*other)))));
        m_txtNewMac->setFocus();
        return;
    }
    // The access code goes out as single bytes: a character Latin-1 cannot hold would arrive altered.
    if (!isLatin1(m_state.gMacPass)) {
        m_lblNewMacHint->setText(accessCodeText());
        return;
    }
    m_lblNewMacHint->clear();

    m_sentField = m_device.macField;
    setBusy(true);
    // Painted now: the exchange's wait lets only its own events through.
    m_lblNewMacHint->setText(QStringLiteral("Waiting for the device…"));
    m_lblNewMacHint->repaint();
    // The command leaves through the interface the device answered the search on.
    MacChangeExchange change(m_channel, m_device, typed.field, toLatin1(m_state.gMacPass));
    m_running = true;
    m_result = runExchange(change);
    m_running = false;
    setBusy(false);
    m_lblNewMacHint->clear();
    if (m_result.changed())
        applyChange();
    accept();
}

QString SetMacDialog::takenText(const QString& line)
{
    return macTakenText(Audience::Window, fromLatin1(macTextOfLine(toLatin1(line))));
}

QString SetMacDialog::accessCodeText()
{
    return QStringLiteral("The access code holds characters that cannot be sent; enter it again");
}

void SetMacDialog::applyChange()
{
    if (m_row < 0 || static_cast<std::size_t>(m_row) >= m_search.devices().size())
        return;
    const auto index = static_cast<std::size_t>(m_row);
    // Rewrite only the entry of the device that was asked.
    if (macFieldOfEntry(m_search.devices().raw(index)) != m_sentField)
        return;
    const std::optional<MacRewrite> rewrite =
        rewriteDeviceMac(m_search.devices().line(index), m_search.devices().raw(index), m_result.newField);
    if (!rewrite)
        return;
    m_search.setRaw(m_row, rewrite->raw);
    m_search.setLine(m_row, rewrite->line);
}

void SetMacDialog::cmdCancel_Click()
{
    reject();
}

void SetMacDialog::reject()
{
    if (m_running)
        return;
    QDialog::reject();
}

void SetMacDialog::setBusy(bool busy)
{
    m_txtNewMac->setEnabled(!busy);
    m_cmdOk->setEnabled(!busy);
    m_cmdCancel->setEnabled(!busy);
}

} // namespace lv
