// SPDX-License-Identifier: Apache-2.0
#pragma once

// PatchDeviceLine: what an answered Update changes in the device list, the IP and
// device-ID columns of the device's line, each only when that field was changed.

#include <string>
#include <string_view>

namespace lv {

struct DeviceLinePatch {
    std::string loadedIp;
    std::string newIp;
    bool ipChanged = false;
    std::string loadedDeviceId;
    std::string newDeviceId;
    bool deviceIdChanged = false;

    bool changesLine() const { return ipChanged || deviceIdChanged; }
};

// The IP column first, then the device-ID column of the line as the first step left it.
std::string patchDeviceLine(std::string_view line, const DeviceLinePatch& patch);

} // namespace lv
