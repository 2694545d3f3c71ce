// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reads a secret from the terminal without showing it. The only platform-specific code of the CLI.

#include <QString>

#include <optional>

namespace lv {

// True when standard input is an interactive terminal.
bool stdinIsTerminal();

// Writes `prompt` on standard error and reads one line from the terminal with echo switched off;
// no result when standard input is not a terminal or the input ended.
std::optional<QString> readSecretFromTerminal(const QString& prompt);

} // namespace lv
