#pragma once

// linkvane-cli apply: configures every device of a plan exactly as its window's Update would, many at once.

#include "command.h"

namespace lv {

class ApplyCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("apply"); }
    QString summary() const override { return QStringLiteral("Configure every device of a plan"); }
    QString description() const override;
    QList<Operand> operands() const override;
    QList<QCommandLineOption> options() const override;
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
