// SPDX-License-Identifier: Apache-2.0
#pragma once

// Devices chosen by what they are instead of one by one: --select and a plan entry's "select".
//
//   model=KR-77*            the model the device reports (case does not matter)
//   id=Hall2-*              the device ID of its search answer
//   ip=10.20.0.0/24         its address within a network
//   ip=10.20.0.11-10.20.0.60  or within a range, both ends included
//
// Several criteria joined by "," must all match. Patterns take * (any run), ? (one character) and
// [...] classes ([a-c], [!0-9]); a backslash makes the next character plain.

#include "devicelist.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

struct DeviceSelection {
    struct IpRange {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
    };
    std::vector<std::string> models; // patterns, each must match
    std::vector<std::string> ids;
    std::vector<IpRange> ips;

    // Whether the device's model must be asked for (a configuration request) before it can be judged.
    bool needsModel() const { return !models.empty(); }
    // What the search answer alone tells: its device ID and address.
    bool matchesAnswer(const SearchReply& reply) const;
    bool matchesModel(std::string_view model) const;
    // Both selections at once: a device must match every criterion of each.
    DeviceSelection joined(const DeviceSelection& other) const;
};

// Reads an expression; without a result `error` says what is wrong with it.
std::optional<DeviceSelection> parseSelection(const QString& text, QString* error);

// Whether `text` matches the pattern as a whole; `foldCase` compares ASCII letters without case.
bool globMatches(std::string_view pattern, std::string_view text, bool foldCase = false);

} // namespace lv
