// SPDX-License-Identifier: Apache-2.0
// The run-time control commands of the simulated LAN.

#include "controlcommand.h"

#include <sstream>
#include <vector>

namespace lv {

namespace {

std::vector<std::string> words(std::string_view line)
{
    std::istringstream in{std::string(line)};
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

} // namespace

std::string controlCommandsHelp()
{
    return "fault RULE...  add rules, RULE as for --fault\n"
           "clear [RULE]   remove all rules, or those = RULE\n"
           "faults         the rules, how often each fired\n"
           "counts         the rules; commands per device\n"
           "reset          set every counter to zero\n"
           "quit           end the process\n"
           "help           this list\n"
           "Every answer ends with a line \"end\".\n";
}

ControlResult runControlCommand(SimulatedLan& lan, std::string_view line)
{
    ControlResult result;
    const std::vector<std::string> w = words(line);
    std::string& out = result.output;
    if (w.empty()) {
        out = "end\n";
        return result;
    }
    const std::string& command = w[0];
    if (command == "fault" && w.size() >= 2) {
        // All or nothing: one bad rule adds none of them.
        std::vector<FaultRule> rules;
        for (std::size_t i = 1; i < w.size(); ++i) {
            std::string error;
            auto rule = parseFaultRule(w[i], &error);
            if (!rule) {
                out = "error " + error + "\nend\n";
                return result;
            }
            rules.push_back(std::move(*rule));
        }
        for (FaultRule& rule : rules) {
            out += "ok fault " + rule.ruleText() + "\n";
            lan.addFault(std::move(rule));
        }
    } else if (command == "clear" && w.size() <= 2) {
        out = "ok cleared " + std::to_string(lan.clearFaults(w.size() == 2 ? w[1] : std::string())) + "\n";
    } else if (command == "faults" && w.size() == 1) {
        out = lan.faultsReport();
    } else if (command == "counts" && w.size() == 1) {
        out = lan.countsReport();
    } else if (command == "reset" && w.size() == 1) {
        lan.resetCounts();
        out = "ok reset\n";
    } else if (command == "quit" && w.size() == 1) {
        out = "ok quit\n";
        result.quit = true;
    } else if (command == "help" && w.size() == 1) {
        out = controlCommandsHelp();
    } else {
        out = "error unknown command \"" + std::string(line) + "\" (try help)\n";
    }
    out += "end\n";
    return result;
}

} // namespace lv
