// SPDX-License-Identifier: Apache-2.0
#pragma once

// What each command of linkvane-cli does. Their names, descriptions, operands and options are the
// registry's table (command.cpp); each function here runs one, with `parser` holding its own and the
// global options.

#include "command.h"
#include "diagnosis.h"

class QCommandLineParser;

namespace lv {

CommandResult runHelp(CliContext& context, const QCommandLineParser& parser);
CommandResult runSearch(CliContext& context, const QCommandLineParser& parser);
CommandResult runShow(CliContext& context, const QCommandLineParser& parser);
CommandResult runSet(CliContext& context, const QCommandLineParser& parser);
CommandResult runSetMac(CliContext& context, const QCommandLineParser& parser);
CommandResult runExport(CliContext& context, const QCommandLineParser& parser);
CommandResult runApply(CliContext& context, const QCommandLineParser& parser);
CommandResult runDiagnose(CliContext& context, const QCommandLineParser& parser);

// diagnose's plain words for one likely cause, naming the options that remedy it.
QString causeText(Cause cause, const Diagnosis& diagnosis);

} // namespace lv
