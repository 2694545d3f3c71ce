#pragma once

// linkvane-cli show: a device's configuration as its window shows it.

#include "command.h"

namespace lv {

class ShowCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("show"); }
    QString summary() const override { return QStringLiteral("Print a device's configuration as its window shows it"); }
    QString description() const override
    {
        return QStringLiteral("Prints every field of the device's setup window with the value as loaded and, "
                              "for lists, the entry shown.");
    }
    QList<Operand> operands() const override;
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
