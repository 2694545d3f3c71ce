#pragma once

// The operands of linkvane-cli's commands, read in one place: the device a command names (its
// selector: deviceselector.h), NAME=VALUE as typed into a window, and the numbers of options.

#include "command.h"
#include "deviceselector.h"
#include "setupform.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace lv {

// The operand naming one device, shared by the commands that take one.
Operand deviceOperand();

// Applies NAME=VALUE to the form as typed into the window; the message says why it was refused.
std::optional<QString> applyTypedValue(SetupForm& form, const QString& name, const QString& value);

// The N of a fleet command's --parallel option: 16 unless it is given; nothing when it is given and not
// a number from 1 to 1024 (kParallelRange says so).
std::optional<int> parallelValue(const QCommandLineParser& parser, const QCommandLineOption& option);
inline constexpr char kParallelRange[] = "--parallel needs a number from 1 to 1024";

} // namespace lv
