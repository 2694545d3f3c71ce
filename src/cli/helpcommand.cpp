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

int HelpCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    const QStringList operands = parser.positionalArguments();
    if (operands.isEmpty()) {
        context.output().text(usageText());
        return kExitDone;
    }
    if (operands.size() > 1)
        return context.fail(kExitUsage, QStringLiteral("help takes at most one COMMAND"));
    const Command* command = findCommand(operands.front());
    if (!command)
        return context.fail(kExitUsage, unknownCommandMessage(operands.front()));
    context.output().text(commandHelpText(*command));
    return kExitDone;
}

} // namespace lv
