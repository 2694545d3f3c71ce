#pragma once

// linkvane-cli export: a plan holding the devices' settings as their windows show them.

#include "command.h"

namespace lv {

class SetupForm;

class ExportCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("export"); }
    QString summary() const override { return QStringLiteral("Write a plan holding the settings of devices"); }
    QString description() const override
    {
        return QStringLiteral("Writes a plan for apply (JSON on standard output): for every device its MAC text, "
                              "window and each field it can set, by tag, lists by their labels. Secrets are "
                              "written as *** (left as they are by apply) unless --show-secrets.");
    }
    QList<Operand> operands() const override;
    QList<QCommandLineOption> options() const override;
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
