#pragma once

// A command of linkvane-cli: its name, description, operands and options, from which both its
// parser and its --help are made, and what it does. Commands live in one registry.

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class QCommandLineParser;

namespace lv {

class CliContext;

// Exit codes of linkvane-cli.
enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitNotFound = 2,
    kExitNoAnswer = 3,
    kExitUnknownValue = 4,
    kExitSomeFailed = 5,
};

struct Operand {
    QString name;        // "DEVICE"
    QString description; // one line
    QString syntax;      // as in the usage line: "DEVICE", "NAME=VALUE..."
};

class Command {
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    // One line for the list of commands.
    virtual QString summary() const = 0;
    virtual QString description() const = 0;
    virtual QList<Operand> operands() const { return {}; }
    virtual QList<QCommandLineOption> options() const { return {}; }
    // Runs the command; `parser` has parsed the command's own and the global options.
    virtual int execute(CliContext& context, const QCommandLineParser& parser) = 0;

    // The usage line and the description of every operand and option, wrapped to `width` columns.
    QString helpText(const QList<QCommandLineOption>& globalOptions, int width) const;
};

// Every command, in the order the help lists them.
const std::vector<std::unique_ptr<Command>>& commandRegistry();
Command* findCommand(const QString& name);

// The text of the options for a help page: "--name VALUE  description", wrapped to `width` columns.
QString describeOptions(const QList<QCommandLineOption>& options, int width);

} // namespace lv
