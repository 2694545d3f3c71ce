#pragma once

// linkvane-cli set: changes settings exactly as the window's Update would.

#include "command.h"

#include <QString>

#include <optional>

namespace lv {

class SetCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("set"); }
    QString summary() const override
    {
        return QStringLiteral("Change a device's settings as the window's Update would");
    }
    QString description() const override
    {
        return QStringLiteral("Loads the device as its window would, applies the changes and sends only what "
                              "differs, then the window's \"U \" commands.");
    }
    QList<Operand> operands() const override;
    QList<QCommandLineOption> options() const override;
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
