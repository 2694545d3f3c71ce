// SPDX-License-Identifier: Apache-2.0
// help [COMMAND]

#include "commands.h"

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

} // namespace lv
