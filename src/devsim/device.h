// SPDX-License-Identifier: Apache-2.0
#pragma once

// One simulated device: its model, MAC, firmware version and the settings it
// keeps in memory, addressed through the tags of its setup window.

#include "macaddress.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv {

struct WindowDef;

// The three values that name a device in the header of the "S " and "U " commands.
struct DeviceHeader {
    std::string mac;
    std::string ip;
    std::string password;

    bool operator==(const DeviceHeader&) const = default;
};

// How many commands of each kind reached the device (addressed to it, for all
// but the search probe, which every device receives).
struct CommandCounts {
    long long search = 0;
    long long config = 0; // "G "
    long long set = 0;    // "S "
    long long update = 0; // "U "
    long long mac = 0;    // "M "
};

struct Device {
    std::string model;                    // the identifier sent after "MODEL: "
    std::string window;                   // the catalogue window whose fields the device carries
    const WindowDef* windowDef = nullptr; // its catalogue entry, never null for a device of makeDevice
    MacAddress mac;
    std::string version;
    // Every setting as tag and value, in the order of the window's fields; tags
    // the window does not know are kept at the end when a set command brings them.
    std::vector<std::pair<std::string, std::string>> settings;

    // The header of the last accepted set command and the command itself: the
    // tool names the device by its loaded values until it loads it again.
    std::optional<DeviceHeader> lastSetHeader;
    std::string lastSetCommand;
    CommandCounts counts;
    // The address the device holds on the LAN: its IP address as built, then as its last "U " applied
    // it (a set command changes the setting, the device moves once it has answered "U "). Only a LAN
    // whose devices have addresses of their own (LanOptions::ownAddresses) sends from there.
    std::string address;

    std::string macField() const;       // "0.80.194.1.2.3"
    std::string macAddressText() const; // "00:50:C2:01:02:03", the MacAddress item
    bool isMultiPort() const;
    // The tags of the window's roles: IP address, device ID, setup password.
    const std::string& ipTag() const;
    const std::string& deviceIdTag() const;
    const std::string& passwordTag() const;
    std::string ip() const { return setting(ipTag()); }
    std::string deviceId() const { return setting(deviceIdTag()); }
    std::string password() const { return setting(passwordTag()); }
    DeviceHeader header() const { return {macAddressText(), ip(), password()}; }

    std::string setting(std::string_view tag) const;
    bool hasSetting(std::string_view tag) const;
    void setSetting(std::string_view tag, std::string_view value);

    // "AX " + MAC field + "/" + IP + "/" + device ID + CR
    std::string searchAnswer() const;
    // The whole configuration reply as one text, with the position where the
    // tag items start and end, so that a reply can be cut inside them.
    // `macAddress` replaces the MacAddress value when it is given; `markerFirst`
    // puts the "MAC" marker right after the version, before the items.
    struct Reply {
        std::string text;
        std::size_t itemsBegin = 0;
        std::size_t itemsEnd = 0;
        std::vector<std::size_t> itemStarts;
    };
    Reply configurationReply(const std::string* macAddress = nullptr, bool markerFirst = false) const;
};

// Builds device number `index` (0-based) of model `model`, with a MAC, IP and
// device ID derived from the index (distinct for distinct indexes) and plausible
// values for every field of its window. `givenIp`, when not empty, replaces the IP address derived
// from the index.
Device makeDevice(const std::string& model, int index, const std::string& password, const std::string& givenIp = {});

// The loopback address of device number `index` on a LAN of own addresses: 127.1.0.1, 127.1.0.2, ...,
// never 127.0.0.1 (where the LAN itself listens) and never one ending in .0 or .255.
std::string ownAddressForIndex(int index);

} // namespace lv
