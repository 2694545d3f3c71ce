// SPDX-License-Identifier: Apache-2.0
#pragma once

// How a device is named on the command line: its MAC text, its MAC field or its IP address.

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

struct DeviceSelector {
    enum class Kind { MacText, MacField, Ip };
    Kind kind = Kind::Ip;
    std::string text; // MacText and MacField: upper-case "00-50-C2-01-02-03"; Ip: the address
};

// "00-50-c2-01-02-03" (also with ":"), "0.80.194.1.2.3" or an IPv4 address; no result for anything else.
std::optional<DeviceSelector> parseDeviceSelector(const QString& text);

// True when the raw search reply names the device.
bool deviceMatches(const DeviceSelector& selector, std::string_view rawEntry);

// What a selector names among the answers, the one rule for show, set, set-mac, export and apply alike:
// a device when exactly one answer matches; when two or more do (one IP address answered by two MACs,
// one MAC answered from two addresses), no device: the operator must say which, and the candidates are
// listed ("00-50-C2-01-02-03 at 10.0.0.5", one per raw answer given).
QString ambiguousSelectorText(const DeviceSelector& selector, const std::vector<std::string>& rawAnswers);

} // namespace lv
