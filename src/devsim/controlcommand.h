// SPDX-License-Identifier: Apache-2.0
#pragma once

// The run-time control commands of the simulated LAN: change its faults and
// read its counters while it runs, one command a line.

#include "simulatedlan.h"

#include <string>
#include <string_view>

namespace lv {

struct ControlResult {
    std::string output; // lines, each ended by "\n", the last one "end"
    bool quit = false;  // the command asks the process to end
};

// fault RULE...   add fault rules (KIND[:PARAM][@SELECTOR])
// clear [RULE]    remove every rule, or the rules written as RULE
// faults          list the rules and how often each fired
// counts          the rules and the commands each device received
// reset           set every counter to zero
// quit            end the process
// help            this list
ControlResult runControlCommand(SimulatedLan& lan, std::string_view line);

// The list above, for the help texts.
std::string controlCommandsHelp();

} // namespace lv
