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
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
