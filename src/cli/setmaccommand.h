#pragma once

// linkvane-cli set-mac: the MAC service, through the same exchange as the window's frmSetMAC.

#include "command.h"

#include <QString>

#include <optional>
#include <string>

namespace lv {

class SetMacCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("set-mac"); }
    QString summary() const override { return QStringLiteral("Give a device a new MAC address (the MAC service)"); }
    QString description() const override
    {
        return QStringLiteral("Gives the device a new MAC address (the MAC service; needs its access code from "
                              "--access-code-file, LINKVANE_ACCESS_CODE or the terminal).");
    }
    QList<Operand> operands() const override;
    QList<QCommandLineOption> options() const override;
    int execute(CliContext& context, const QCommandLineParser& parser) override;
};

// NEW_MAC as typed: dotted decimal as it stands, hyphenated hexadecimal converted to dotted decimal.
std::string newMacFieldFromOperand(const QString& text);

} // namespace lv
