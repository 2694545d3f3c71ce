// SPDX-License-Identifier: Apache-2.0
#pragma once

// Turns a configuration reply into what a setup window shows and what was
// recorded as loaded. Plain C++: the window applies the result to its widgets.

#include "catalogue.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

// The values as loaded, by tag ("MacAddress", "IPAddress", "SIOBaud", ...).
// A tag without an entry counts as empty text.
using LoadedValues = std::map<std::string, std::string, std::less<>>;

// What one control holds after loading.
struct ControlValue {
    std::string text; // text boxes and display labels
    int index = -1;   // lists: the selected index, -1 for none
    bool set = false; // false: the control keeps its design-time state
};

struct LoadResult {
    const WindowDef* window = nullptr;
    std::map<std::string, ControlValue, std::less<>> controls; // by control name
    LoadedValues loaded;                                       // LoadedConfig / MultiPortSnapshot
};

// The single-port loaders (every window whose portCount is 0). LoadedConfig is
// emptied first: only this reply's values are in the result.
LoadResult loadSinglePort(const WindowDef& window, std::string_view reply);

// The multi-port loaders (LoadMultiPortConfig, LoadMultiPortAConfig): the general items of the window's
// family and the blocks of ports 1 to `portCount`, each value taken as the reply gives it. A list value
// that is not a decimal number within its list, or an item missing from the reply, leaves the control
// empty or without an entry. `snapshot` (the MultiPortSnapshot) records, for every item read, what the
// control shows; port blocks that are not read keep what an earlier load left there.
LoadResult loadMultiPort(const WindowDef& window, std::string_view reply, int portCount, LoadedValues& snapshot);

// Every tag a window sends or shows, and MacAddress.
const std::vector<std::string>& knownTags();

// The tags of the items the window's loader needs from a configuration reply for `portCount` ports
// (0 for a single-port window) that the reply does not hold whole: missing, or with a value that holds
// the opening or closing tag of any item a window knows. A reply gathered from datagrams that came out
// of order, or without one of them, reads that way; a reply is loaded only when nothing is missing.
// Items shown only when present (ZNwkAddr, ZMac) and items a window takes only when the reply carries
// them are never missing. A model or version that holds a piece of a tag counts as missing too, named
// by its marker ("MODEL: ", "VER:").
std::vector<std::string> missingItems(const WindowDef& window, std::string_view reply, int portCount);

// A list value as a number: an optional '-' and decimal digits, nothing else.
std::optional<long long> listNumber(std::string_view text);

// A control's value as Update reads it: its text, or a list's index as decimal text.
std::string currentText(const FieldDef& field, const ControlValue& value);

} // namespace lv
