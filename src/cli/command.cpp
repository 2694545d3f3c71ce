// The command registry of linkvane-cli and the help made from each command's definition.

#include "command.h"

#include "applycommand.h"
#include "exportcommand.h"
#include "searchcommand.h"
#include "setcommand.h"
#include "setmaccommand.h"
#include "showcommand.h"

#include <algorithm>

namespace lv {

namespace {

QString optionSyntax(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names.append(name.size() == 1 ? QStringLiteral("-") + name : QStringLiteral("--") + name);
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QLatin1Char(' ') + option.valueName();
    return text;
}

} // namespace

QString describeOptions(const QList<QCommandLineOption>& options)
{
    qsizetype width = 0;
    for (const QCommandLineOption& option : options)
        width = std::max(width, optionSyntax(option).size());
    QString text;
    for (const QCommandLineOption& option : options)
        text += QStringLiteral("  ") + optionSyntax(option).leftJustified(width + 2) + option.description() +
                QLatin1Char('\n');
    return text;
}

QString Command::helpText(const QList<QCommandLineOption>& globalOptions) const
{
    QString usage = QStringLiteral("usage: linkvane-cli [global options] ") + name();
    if (!options().isEmpty())
        usage += QStringLiteral(" [options]");
    for (const Operand& operand : operands())
        usage += QLatin1Char(' ') + operand.syntax;
    QString text = usage + QStringLiteral("\n\n") + description() + QStringLiteral("\n");
    if (!operands().isEmpty()) {
        text += QStringLiteral("\nOperands:\n");
        for (const Operand& operand : operands())
            text += QStringLiteral("  ") + operand.name.leftJustified(12) + operand.description + QLatin1Char('\n');
    }
    if (!options().isEmpty())
        text += QStringLiteral("\nOptions:\n") + describeOptions(options());
    text += QStringLiteral("\nGlobal options:\n") + describeOptions(globalOptions);
    return text;
}

const std::vector<std::unique_ptr<Command>>& commandRegistry()
{
    static const std::vector<std::unique_ptr<Command>> commands = [] {
        std::vector<std::unique_ptr<Command>> c;
        c.push_back(std::make_unique<SearchCommand>());
        c.push_back(std::make_unique<ShowCommand>());
        c.push_back(std::make_unique<SetCommand>());
        c.push_back(std::make_unique<SetMacCommand>());
        c.push_back(std::make_unique<ExportCommand>());
        c.push_back(std::make_unique<ApplyCommand>());
        return c;
    }();
    return commands;
}

Command* findCommand(const QString& name)
{
    for (const auto& command : commandRegistry())
        if (command->name() == name)
            return command.get();
    return nullptr;
}

} // namespace lv
