// SPDX-License-Identifier: Apache-2.0
// linkvane-cli's entry: the global options, then the command of the registry with its own parser.

#include "cli.h"

#include "clicontext.h"
#include "command.h"
#include "completion.h"
#include "helpformat.h"
#include "linkvane_version.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

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

// Writes a completion script for bash or zsh; the build installs them, so no help lists it.
const QCommandLineOption& completionOption()
{
    static const QCommandLineOption option = [] {
        QCommandLineOption o(QStringLiteral("completion"), QStringLiteral("Write the completion script for SHELL."),
                             QStringLiteral("bash|zsh"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        return o;
    }();
    return option;
}

QList<QCommandLineOption> withHelp(QList<QCommandLineOption> options)
{
    options.append(helpOption());
    return options;
}

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Parses `args` (program name first) with the options given; on failure says why in one line, with
// the nearest option when one was mistyped.
bool parse(QCommandLineParser& parser, const QList<QCommandLineOption>& options, const QStringList& args, Output& out)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption& option : options)
        parser.addOption(option);
    if (parser.parse(args))
        return true;
    const QString where = args.front() == QStringLiteral("linkvane-cli") ? QStringLiteral("linkvane-cli --help")
                                                                         : args.front() + QStringLiteral(" --help");
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString typed = parser.unknownOptionNames().front();
        QStringList known;
        for (const QCommandLineOption& option : options)
            known += option.names();
        QString message = QStringLiteral("unknown option %1").arg(dashed(typed));
        if (const std::optional<QString> nearest = nearestName(typed, known))
            message += QStringLiteral("; did you mean %1?").arg(dashed(*nearest));
        out.error(message + QStringLiteral(" (%1 lists the options)").arg(where));
        return false;
    }
    QString reason = parser.errorText();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    reason.replace(QLatin1Char('\n'), QStringLiteral("; "));
    out.error(reason.left(1).toLower() + reason.mid(1) + QStringLiteral(" (%1 lists the options)").arg(where));
    return false;
}

// Whether the command line asks for JSON and not for --quiet, read leniently: also when it does not
// parse or names no command, so that a usage error gets its document too. Every command's options are
// known here, so that the value an option takes is not read as an option.
bool asksForJson(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QStringList known;
    const auto add = [&](const QCommandLineOption& option) {
        if (!known.contains(option.names().front()))
            parser.addOption(option);
        known += option.names();
    };
    std::for_each(globalOptionList().begin(), globalOptionList().end(), add);
    for (const Command& command : commandRegistry())
        std::for_each(command.options.begin(), command.options.end(), add);
    parser.parse(QStringList{QStringLiteral("linkvane-cli")} + args);
    return parser.isSet(QStringLiteral("json")) && !parser.isSet(QStringLiteral("quiet"));
}

} // namespace

QString unknownCommandMessage(const QString& name)
{
    QStringList names;
    for (const auto& command : commandRegistry())
        names.append(command.name);
    if (const std::optional<QString> nearest = nearestName(name, names))
        return QStringLiteral("unknown command `%1`; did you mean `%2`?").arg(printableName(name), *nearest);
    return QStringLiteral("unknown command `%1` (linkvane-cli help lists the commands)").arg(printableName(name));
}

QString usageText(int width)
{
    const int under = static_cast<int>(QStringLiteral("usage: linkvane-cli ").size());
    QString text =
        wrapText(QStringLiteral("usage: linkvane-cli [global options] COMMAND [options] [operands]"), width, 0, under) +
        QStringLiteral("\n\nCommands:\n");
    QList<HelpRow> commands;
    for (const auto& command : commandRegistry())
        commands.append({command.name, command.summary});
    text += helpTable(commands, width);
    text += QLatin1Char('\n') + wrapText(QStringLiteral("Global options (before or after the command):"), width) +
            QLatin1Char('\n') + describeOptions(withHelp(globalOptionList()) << versionOption(), width);
    text += QLatin1Char('\n') +
            wrapText(QStringLiteral("linkvane-cli help COMMAND (or COMMAND --help) describes a command."), width) +
            QStringLiteral("\n\nExit status:\n");
    text += helpTable(
        {{QStringLiteral("0"), QStringLiteral("done")},
         {QStringLiteral("1"), QStringLiteral("a wrong command, option, operand or plan, or output that "
                                              "could not be written")},
         {QStringLiteral("2"),
          QStringLiteral("the device was not found, two devices answer to its name, or fewer than --expect answered")},
         {QStringLiteral("3"), QStringLiteral("no answer, not sent, or not the answer expected")},
         {QStringLiteral("4"), QStringLiteral("a name or value the device's window does not have")},
         {QStringLiteral("5"), QStringLiteral("some devices of a plan failed")},
         {QStringLiteral("130, 143"), QStringLiteral("set or apply interrupted by SIGINT or SIGTERM (what "
                                                     "was done is still reported)")}},
        width);
    return text;
}

QString commandHelpText(const Command& command, int width)
{
    return command.helpText(withHelp(globalOptionList()), width);
}

namespace {

// The command line's global options, then the command it names; the exit code.
int runCommandLine(CliContext& context, const QStringList& args)
{
    Output& output = context.output();

    // The global options stand before the command; whatever follows the command is its own.
    QCommandLineParser global;
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parse(global, withHelp(globalOptionList()) << versionOption() << completionOption(),
               QStringList{QStringLiteral("linkvane-cli")} + args, output))
        return kExitUsage;
    const QStringList rest = global.positionalArguments();
    if (global.isSet(completionOption())) {
        const std::optional<QString> script = completionScript(global.value(completionOption()));
        if (!script) {
            output.error(QStringLiteral("--completion takes bash or zsh"));
            return kExitUsage;
        }
        output.text(*script);
        return kExitDone;
    }
    if (global.isSet(versionOption())) {
        output.text(QStringLiteral("linkvane-cli " LINKVANE_VERSION "\n" LINKVANE_LICENCE_LINE "\n"));
        return kExitDone;
    }
    if (rest.isEmpty()) {
        if (global.isSet(helpOption())) {
            output.text(usageText());
            return kExitDone;
        }
        output.error(QStringLiteral("no command given (linkvane-cli help lists the commands)"));
        return kExitUsage;
    }
    const Command* command = findCommand(rest.front());
    if (!command) {
        output.error(unknownCommandMessage(rest.front()));
        return kExitUsage;
    }
    if (!context.readGlobalOptions(global))
        return kExitUsage;

    QCommandLineParser own;
    const QList<QCommandLineOption> options = withHelp(command->options + globalOptionList());
    if (!parse(own, options, QStringList{QStringLiteral("linkvane-cli ") + command->name} + rest.mid(1), output))
        return kExitUsage;
    if (own.isSet(helpOption()) || global.isSet(helpOption())) {
        output.text(commandHelpText(*command));
        return kExitDone;
    }
    if (!context.readGlobalOptions(own))
        return kExitUsage;
    if (const std::optional<QString> refused = command->operandCountRefusal(own.positionalArguments().size())) {
        output.error(*refused);
        return kExitUsage;
    }
    const CommandResult result = command->run(context, own);
    if (result && !result->message.isEmpty())
        output.error(result->message);
    return result ? result->code : kExitDone;
}

} // namespace

int runCli(const QStringList& args, QTextStream& out, QTextStream& err, CliEnd end)
{
    CliContext context(out, err);
    Output& output = context.output();
    int code = runCommandLine(context, args);
    // With --json a command that failed before it wrote its result writes one document all the same.
    if (code != kExitDone && !output.wroteDocument() && asksForJson(args))
        output.errorDocument(code);
    // A report that did not reach its reader is no success, whatever the devices said.
    if (output.outputFailed()) {
        output.error(QStringLiteral("could not write the output (disk full or the reader gone)"));
        if (code == kExitDone)
            code = kExitUsage;
    }
    if (end == CliEnd::EndProcess) {
        out.flush();
        err.flush();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

} // namespace lv
