// The command registry of linkvane-cli and the help made from each command's definition.

#include "command.h"

#include "applycommand.h"
#include "diagnosecommand.h"
#include "exportcommand.h"
#include "helpcommand.h"
#include "helpformat.h"
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

QString describeOptions(const QList<QCommandLineOption>& options, int width)
{
    QList<HelpRow> rows;
    for (const QCommandLineOption& option : options)
        if (!option.flags().testFlag(QCommandLineOption::HiddenFromHelp))
            rows.append({optionSyntax(option), option.description()});
    return helpTable(rows, width);
}

QString Command::helpText(const QList<QCommandLineOption>& globalOptions, int width) const
{
    QString usage = QStringLiteral("usage: linkvane-cli [global options] ") + name();
    if (!options().isEmpty())
        usage += QStringLiteral(" [options]");
    for (const Operand& operand : operands())
        usage += QLatin1Char(' ') + operand.syntax;
    // The usage line's continuations stand under the command's name.
    const int under = static_cast<int>(QStringLiteral("usage: linkvane-cli ").size());
    QString text = wrapText(usage, width, 0, under) + QStringLiteral("\n\n") + wrapText(description(), width) +
                   QStringLiteral("\n");
    if (!operands().isEmpty()) {
        QList<HelpRow> rows;
        for (const Operand& operand : operands())
            rows.append({operand.name, operand.description});
        text += QStringLiteral("\nOperands:\n") + helpTable(rows, width);
    }
    if (!options().isEmpty())
        text += QStringLiteral("\nOptions:\n") + describeOptions(options(), width);
    text += QStringLiteral("\nGlobal options:\n") + describeOptions(globalOptions, width);
    return text;
}

const std::vector<std::unique_ptr<Command>>& commandRegistry()
{
    static const std::vector<std::unique_ptr<Command>> commands = [] {
        std::vector<std::unique_ptr<Command>> c;
        c.push_back(std::make_unique<HelpCommand>());
        c.push_back(std::make_unique<SearchCommand>());
        c.push_back(std::make_unique<ShowCommand>());
        c.push_back(std::make_unique<SetCommand>());
        c.push_back(std::make_unique<SetMacCommand>());
        c.push_back(std::make_unique<ExportCommand>());
        c.push_back(std::make_unique<ApplyCommand>());
        c.push_back(std::make_unique<DiagnoseCommand>());
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
