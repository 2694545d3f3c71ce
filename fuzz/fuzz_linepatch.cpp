// SPDX-License-Identifier: Apache-2.0
// PatchDeviceLine on arbitrary lines and values: nothing is read past the line, the first 43
// characters stay when the line has them, the new IP starts at character 44, and the device-ID
// column is the line without its last (loaded length + 1) characters, the new ID cut to 8 and a
// blank. On a line the search built, the patched line is the line of the new values.
//
// Input: a flags byte, then line, loaded IP, new IP, loaded ID and new ID as chunks.

#include "devicelinepatch.h"
#include "devicelist.h"

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::size_t ipFillerSize(std::size_t ipLength)
{
    return ipLength < 15 ? 2 * (15 - ipLength) : 0;
}

void checkPatch(std::string_view line, const lv::DeviceLinePatch& patch)
{
    const std::string result = lv::patchDeviceLine(line, patch);
    if (!patch.changesLine()) {
        check(result == line);
        return;
    }
    lv::DeviceLinePatch ipOnly = patch;
    ipOnly.deviceIdChanged = false;
    const std::string afterIp = lv::patchDeviceLine(line, ipOnly);
    if (patch.ipChanged) {
        const std::size_t kept = std::min<std::size_t>(line.size(), 43);
        check(afterIp.compare(0, kept, line.substr(0, kept)) == 0);
        check(afterIp.size() >= kept + patch.newIp.size());
        const std::size_t filler = ipFillerSize(patch.newIp.size());
        const std::size_t oldEnd = 43 + patch.loadedIp.size() + ipFillerSize(patch.loadedIp.size());
        const std::size_t tail = oldEnd < line.size() ? line.size() - oldEnd : 0;
        check(afterIp.size() == kept + patch.newIp.size() + filler + tail);
        if (line.size() >= 43) {
            check(afterIp.compare(43, patch.newIp.size(), patch.newIp) == 0);
            check(afterIp.compare(43 + patch.newIp.size(), filler, std::string(filler, ' ')) == 0);
        }
        if (tail > 0)
            check(afterIp.compare(afterIp.size() - tail, tail, line.substr(oldEnd)) == 0);
    } else {
        check(afterIp == line);
    }
    if (patch.deviceIdChanged) {
        const std::size_t cut = std::min(afterIp.size(), patch.loadedDeviceId.size() + 1);
        const std::string_view id = std::string_view(patch.newDeviceId).substr(0, 8);
        check(result.size() == afterIp.size() - cut + id.size() + 1);
        check(result.compare(0, afterIp.size() - cut, afterIp, 0, afterIp.size() - cut) == 0);
        check(result.compare(afterIp.size() - cut, id.size(), id) == 0);
        check(result.back() == ' ');
    } else {
        check(result == afterIp);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    std::vector<std::string_view> parts =
        splitChunks(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    parts.resize(5);
    lv::DeviceLinePatch patch;
    patch.loadedIp = std::string(parts[1]);
    patch.newIp = std::string(parts[2]);
    patch.loadedDeviceId = std::string(parts[3]);
    patch.newDeviceId = std::string(parts[4]);
    patch.ipChanged = (flags & 1) != 0;
    patch.deviceIdChanged = (flags & 2) != 0;

    // An arbitrary line, copied so that a read past its end is one the sanitizer sees.
    const std::string line(parts[0]);
    checkPatch(line, patch);

    // The line the search built for the loaded values: patched, it is the line of the new ones,
    // with one of the 19 blanks given to the trailing blank of the ID column.
    const std::string mac = "00-50-C2-01-02-03";
    const std::string built = lv::deviceListLine(mac, patch.loadedIp, patch.loadedDeviceId);
    checkPatch(built, patch);
    const std::string result = lv::patchDeviceLine(built, patch);
    const std::string ip = patch.ipChanged ? patch.newIp : patch.loadedIp;
    if (patch.deviceIdChanged) {
        const std::string fresh = lv::deviceListLine(mac, ip, "");
        check(result == fresh.substr(0, fresh.size() - 1) + patch.newDeviceId.substr(0, 8) + " ");
    } else {
        check(result == lv::deviceListLine(mac, ip, patch.loadedDeviceId));
    }
    check(lv::macTextOfLine(result) == mac);
    return 0;
}
