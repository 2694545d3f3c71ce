// SPDX-License-Identifier: Apache-2.0
#pragma once

// Every command of linkvane-cli, in the order the help lists them. Each command's own file gives its
// row of the registry (name, summary, description, operands, options and the function that runs it)
// as NAMECommand(); a new command is its file and one line here.

#include "command.h"

#define LV_CLI_COMMANDS(X)                                                                                             \
    X(helpCommand)                                                                                                     \
    X(searchCommand)                                                                                                   \
    X(showCommand)                                                                                                     \
    X(setCommand)                                                                                                      \
    X(setMacCommand)                                                                                                   \
    X(exportCommand)                                                                                                   \
    X(applyCommand)                                                                                                    \
    X(diagnoseCommand)

namespace lv {

#define LV_DECLARE_COMMAND(make) Command make();
LV_CLI_COMMANDS(LV_DECLARE_COMMAND)
#undef LV_DECLARE_COMMAND

} // namespace lv
