// SPDX-License-Identifier: Apache-2.0
// help [COMMAND]

#include "commandlist.h"

#include "cli.h"
#include "clicontext.h"

#include <QCommandLineParser>

namespace lv {

CommandResult runHelp(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    if (operands.isEmpty()) {
        context.output().text(usageText());
        return std::nullopt;
    }
    const Command* command = findCommand(operands.front());
    if (!command)
        return Failure{kExitUsage, unknownCommandMessage(operands.front())};
    context.output().text(commandHelpText(*command));
    return std::nullopt;
}

Command helpCommand()
{
    return {QStringLiteral("help"),
            QStringLiteral("What each command does (help COMMAND for one)"),
            QStringLiteral("Prints the list of commands and the global options, or with COMMAND that "
                           "command's operands and options (as COMMAND --help does)."),
            {{QStringLiteral("COMMAND"), QStringLiteral("the command to describe"), QStringLiteral("[COMMAND]"), 0, 1}},
            {},
            runHelp};
}

} // namespace lv
