// SPDX-License-Identifier: Apache-2.0
#pragma once

// The operands of linkvane-cli's commands, read in one place: the device a command names (its
// selector: deviceselector.h), NAME=VALUE as typed into a window, and the numbers of options.

#include "command.h"
#include "deviceselector.h"
#include "optionnames.h"
#include "selection.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace lv {

// A whole decimal number within [low, high]; nothing else (no sign, no blanks, no fraction).
std::optional<int> strictNumber(const QString& text, int low, int high);

// The operand naming one device, shared by the commands that take one.
Operand deviceOperand();

// The device a DEVICE operand names, or why it names none.
Expected<DeviceSelector> deviceSelectorOperand(const QString& text);
// The devices of several DEVICE operands, or why the first that names none does not.
Expected<std::vector<DeviceSelector>> deviceSelectorOperands(const QStringList& texts);

// NAME=VALUE operands as typed, split at the first "=", or the first that is not one.
using NameValues = std::vector<std::pair<QString, QString>>;
Expected<NameValues> nameValueOperands(const QStringList& texts);

// The number an option gives within [low, high]; `fallback` when it is not given. The failure says `range`.
Expected<int> numberOption(const QCommandLineParser& parser, OptionName option, int low, int high, int fallback,
                           const QString& range);

// The N of a fleet command's --parallel option: 16 unless it is given; a number from 1 to 1024.
Expected<int> parallelValue(const QCommandLineParser& parser);

// --select EXPR, read; nothing when it is not given.
Expected<std::optional<DeviceSelection>> selectOption(const QCommandLineParser& parser);

// The MAC field a NEW_MAC operand asks for ("0.80.194.1.2.4", or the field of "00-50-C2-01-02-04"), or why
// it is refused: not a MAC in either form, or not one a device may take.
Expected<std::string> newMacOperand(const QString& text);

} // namespace lv
