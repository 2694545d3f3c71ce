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

// Which device a selector names when several listed devices match it (`matches`, list indexes in the
// order the devices answered): the one rule for show, set, set-mac, export and apply alike. -1 when
// none matches.
int chosenDevice(const std::vector<int>& matches);

// A whole decimal number within [low, high]; nothing else (no sign, no blanks, no fraction).
std::optional<int> strictNumber(const QString& text, int low, int high);

} // namespace lv
