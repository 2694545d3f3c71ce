// help [COMMAND]

#include "helpcommand.h"

#include "cli.h"
#include "clicontext.h"

#include <QCommandLineParser>

namespace lv {

QList<Operand> HelpCommand::operands() const
{
    return {{QStringLiteral("COMMAND"), QStringLiteral("the command to describe"), QStringLiteral("[COMMAND]")}};
}

CommandResult HelpCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    if (operands.isEmpty()) {
        context.output().text(usageText());
        return std::nullopt;
    }
    if (operands.size() > 1)
        return Failure{kExitUsage, QStringLiteral("help takes at most one COMMAND")};
    const Command* command = findCommand(operands.front());
    if (!command)
        return Failure{kExitUsage, unknownCommandMessage(operands.front())};
    context.output().text(commandHelpText(*command));
    return std::nullopt;
}

} // namespace lv
