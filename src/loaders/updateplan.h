// SPDX-License-Identifier: Apache-2.0
#pragma once

// What Update sends for a window: the set command built from the fields that
// differ from their loaded values, and the "U " command that follows it.

#include "catalogue.h"
#include "ipv4.h"
#include "loaders.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lv {

struct UpdatePlan {
    std::string setCommand;    // "S " header [+ NUL | "/"] + changed items
    std::string updateCommand; // "U " header
    int updateCount = 1;
    int delayMs = 0;
    int changedItems = 0; // the items the set command carries: none when nothing differs from as loaded
    // The IP address the set command gives the device; none when it keeps its own, or when the text
    // sent is no plain dotted quad (the device's reading of it cannot be foreseen).
    std::optional<Ipv4> newIp{};
    // Those items by tag, with the value sent and the value as loaded, in the order of the set command.
    std::vector<FieldChange> changedFields{};
};

// The header values of a window's commands: MAC, IP and password as loaded.
struct HeaderValues {
    std::string mac;
    std::string ip;
    std::string password;
};
HeaderValues headerValues(const WindowDef& window, const LoadedValues& loaded);

// `current` holds, by control name, what each field holds now (text, or a list
// index as decimal text). A field missing from `current` counts as unchanged.
UpdatePlan planUpdate(const WindowDef& window, const LoadedValues& loaded,
                      const std::map<std::string, std::string, std::less<>>& current);

} // namespace lv
