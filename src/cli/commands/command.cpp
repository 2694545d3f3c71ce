// SPDX-License-Identifier: Apache-2.0
// The command registry of linkvane-cli and the help made from each command's definition.

#include "command.h"

#include "commandlist.h"
#include "deviceactions.h"
#include "helpformat.h"

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
    QString usage = QStringLiteral("usage: linkvane-cli [global options] ") + name;
    if (!options.isEmpty())
        usage += QStringLiteral(" [options]");
    for (const Operand& operand : operands)
        usage += QLatin1Char(' ') + operand.syntax;
    // The usage line's continuations stand under the command's name.
    const int under = static_cast<int>(QStringLiteral("usage: linkvane-cli ").size());
    QString text =
        wrapText(usage, width, 0, under) + QStringLiteral("\n\n") + wrapText(description, width) + QStringLiteral("\n");
    if (!operands.isEmpty()) {
        QList<HelpRow> rows;
        for (const Operand& operand : operands)
            rows.append({operand.name, operand.description});
        text += QStringLiteral("\nOperands:\n") + helpTable(rows, width);
    }
    if (!options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + describeOptions(options, width);
    text += QStringLiteral("\nGlobal options:\n") + describeOptions(globalOptions, width);
    return text;
}

const std::vector<Command>& commandRegistry()
{
    static const std::vector<Command> commands = [] {
#define LV_COMMAND_ROW(make) make(),
        std::vector<Command> rows{LV_CLI_COMMANDS(LV_COMMAND_ROW)};
#undef LV_COMMAND_ROW
        for (const DeviceAction& action : deviceActions())
            if (action.cliCommand && action.datagram)
                rows.push_back(actionCommand(action));
        return rows;
    }();
    return commands;
}

std::optional<QString> Command::operandCountRefusal(qsizetype count) const
{
    int least = 0;
    int most = 0;
    for (const Operand& operand : operands) {
        least += operand.least;
        most = most < 0 || operand.most < 0 ? -1 : most + operand.most;
    }
    if (count >= least && (most < 0 || count <= most))
        return std::nullopt;
    if (operands.isEmpty())
        return name + QStringLiteral(" takes no operands");
    // "one DEVICE", "at most one COMMAND", "DEVICE and NEW_MAC", "DEVICE and any number of NAME=VALUE".
    QStringList parts;
    for (const Operand& operand : operands) {
        QString part;
        if (operand.least == 0 && operand.most < 0)
            part = QStringLiteral("any number of ");
        else if (operand.least == 0)
            part = QStringLiteral("at most one ");
        else if (operand.most < 0)
            part = QStringLiteral("one or more ");
        else if (operands.size() == 1)
            part = QStringLiteral("one ");
        parts.append(part + operand.name);
    }
    return name + QStringLiteral(" takes ") + parts.join(QStringLiteral(" and "));
}

const Command* findCommand(const QString& name)
{
    for (const Command& command : commandRegistry())
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace lv
