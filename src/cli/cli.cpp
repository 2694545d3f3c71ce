// linkvane-cli's entry: the global options, then the command of the registry with its own parser.

#include "cli.h"

#include "clicontext.h"
#include "command.h"
#include "linkvane_version.h"

#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace lv {

namespace {

const QCommandLineOption& helpOption()
{
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("Show this help."));
    return option;
}

const QCommandLineOption& versionOption()
{
    static const QCommandLineOption option(QStringLiteral("version"), QStringLiteral("Show the version."));
    return option;
}

QList<QCommandLineOption> withHelp(QList<QCommandLineOption> options)
{
    options.append(helpOption());
    return options;
}

// Parses `args` (program name first) with the options given; on failure says why.
bool parse(QCommandLineParser& parser, const QList<QCommandLineOption>& options, const QStringList& args, Output& out)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption& option : options)
        parser.addOption(option);
    if (parser.parse(args))
        return true;
    out.error(parser.errorText() + QStringLiteral("\nTry linkvane-cli --help."));
    return false;
}

} // namespace

QString usageText()
{
    QString text = QStringLiteral("usage: linkvane-cli [global options] COMMAND [options] [operands]\n\n"
                                  "Commands:\n");
    for (const auto& command : commandRegistry())
        text += QStringLiteral("  ") + command->name().leftJustified(10) + command->description() + QLatin1Char('\n');
    text += QStringLiteral("\nGlobal options (before or after the command):\n") +
            describeOptions(withHelp(globalOptionList()) << versionOption());
    text += QStringLiteral("\nlinkvane-cli COMMAND --help describes a command.\n"
                           "exit: 0 done, 1 usage, 2 device not found, 3 no answer or not sent, 4 a name or value "
                           "the window does not have, 5 some devices of a plan failed\n");
    return text;
}

int runCli(const QStringList& args, QTextStream& out, QTextStream& err, CliEnd end)
{
    CliContext context(out, err);
    Output& output = context.output();

    // The global options stand before the command; whatever follows the command is its own.
    QCommandLineParser global;
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parse(global, withHelp(globalOptionList()) << versionOption(),
               QStringList{QStringLiteral("linkvane-cli")} + args, output))
        return kExitUsage;
    const QStringList rest = global.positionalArguments();
    if (global.isSet(versionOption())) {
        output.text(QStringLiteral("linkvane-cli " LINKVANE_VERSION "\n"));
        return kExitDone;
    }
    if (rest.isEmpty()) {
        if (global.isSet(helpOption())) {
            output.text(usageText());
            return kExitDone;
        }
        output.error(QStringLiteral("no command given"));
        output.note(usageText());
        return kExitUsage;
    }
    Command* command = findCommand(rest.front());
    if (!command) {
        output.error(QStringLiteral("unknown command %1").arg(rest.front()));
        output.note(usageText());
        return kExitUsage;
    }
    if (!context.readGlobalOptions(global))
        return kExitUsage;

    QCommandLineParser own;
    const QList<QCommandLineOption> options = withHelp(command->options() + globalOptionList());
    if (!parse(own, options, QStringList{QStringLiteral("linkvane-cli ") + command->name()} + rest.mid(1), output))
        return kExitUsage;
    if (own.isSet(helpOption()) || global.isSet(helpOption())) {
        output.text(command->helpText(withHelp(globalOptionList())));
        return kExitDone;
    }
    if (!context.readGlobalOptions(own))
        return kExitUsage;
    const CommandResult result = command->execute(context, own);
    if (result && !result->message.isEmpty())
        output.error(result->message);
    const int code = result ? result->code : kExitDone;
    if (end == CliEnd::EndProcess) {
        out.flush();
        err.flush();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

} // namespace lv
