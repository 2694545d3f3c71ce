#pragma once

#include "command.h"

namespace lv {

// help [COMMAND]: the list of commands, or one command's help.
class HelpCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("help"); }
    QString summary() const override { return QStringLiteral("What each command does (help COMMAND for one)"); }
    QString description() const override
    {
        return QStringLiteral("Prints the list of commands and the global options, or with COMMAND that "
                              "command's operands and options (as COMMAND --help does).");
    }
    QList<Operand> operands() const override;
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
