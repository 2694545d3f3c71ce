// SPDX-License-Identifier: Apache-2.0
#pragma once

// A command of linkvane-cli: its name, description, operands and options, from which both its
// parser and its --help are made, and the function that runs it. Commands are rows of one registry.

#include "expected.h"
#include "outcometexts.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QCommandLineParser;

namespace lv {

class CliContext;
struct DeviceAction;

// What a command ends with: nothing when it did what it was asked, else its failure.
using CommandResult = std::optional<Failure>;

// What a result makes a command end with: its exit code and the CLI's text of it; nothing when it is no
// failure (outcomes.h says which are).
template <typename R> CommandResult failureOf(const R& result, const TextContext& context)
{
    if (!isFailure(result))
        return std::nullopt;
    return Failure{exitCode(result), describe(result, Audience::Cli, context)};
}

struct Operand {
    QString name;        // "DEVICE"
    QString description; // one line
    QString syntax;      // as in the usage line: "DEVICE", "NAME=VALUE..."
    int least = 1;       // how many the command takes: at least, and at most (-1: any number)
    int most = 1;
};

// A command: what its help says and what it runs. Every command is a row of the registry.
struct Command {
    QString name;
    QString summary; // one line for the list of commands
    QString description;
    QList<Operand> operands;
    QList<QCommandLineOption> options;
    std::function<CommandResult(CliContext& context, const QCommandLineParser& parser)> run;

    // Why `count` operands do not fit the command ("show takes one DEVICE"); nothing when they do. The
    // parser checks this before the command runs.
    std::optional<QString> operandCountRefusal(qsizetype count) const;
    // The usage line and the description of every operand and option, wrapped to `width` columns.
    QString helpText(const QList<QCommandLineOption>& globalOptions, int width) const;
};

// Every command, in the order the help lists them: those of commandlist.h, then one for each device
// action that names a CLI command (deviceactions.h).
const std::vector<Command>& commandRegistry();

// The command made from a device action's row: DEVICE as operand, the action's exchange run on it,
// its outcome reported and turned into the exit code as the row says.
Command actionCommand(const DeviceAction& action);
const Command* findCommand(const QString& name);

// The text of the options for a help page: "--name VALUE  description", wrapped to `width` columns.
QString describeOptions(const QList<QCommandLineOption>& options, int width);

} // namespace lv
