// SPDX-License-Identifier: Apache-2.0
#pragma once

// Shell completion for linkvane-cli, written from the command registry: the commands, each command's
// options and the global ones, and the setting names a set command takes (the tags of every window of
// the catalogue), so completion cannot drift from what the program accepts.

#include <QString>

#include <optional>

namespace lv {

// The completion script for `shell` ("bash" or "zsh"); none for another shell.
std::optional<QString> completionScript(const QString& shell);

} // namespace lv
