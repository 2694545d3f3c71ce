// SPDX-License-Identifier: Apache-2.0
// PatchDeviceLine: the IP column, then the device-ID column.

#include "devicelinepatch.h"

#include "devicelist.h"

namespace lv {

std::string patchDeviceLine(std::string_view line, const DeviceLinePatch& patch)
{
    std::string result(line);
    if (patch.ipChanged)
        result = patchIpColumn(result, patch.loadedIp, patch.newIp);
    if (patch.deviceIdChanged)
        result = patchDeviceIdColumn(result, patch.loadedDeviceId, patch.newDeviceId);
    return result;
}

} // namespace lv
