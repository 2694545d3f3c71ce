// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to everything that reads device text: search replies,
// the device list, tag values, model and version, and the line rewrites.

#include "devicelist.h"
#include "modeltable.h"
#include "tagmessage.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    if (const auto reply = lv::parseSearchReply(input)) {
        check(reply->macText.size() == 17);
        const std::string line = lv::deviceListLine(reply->macText, reply->ip, reply->deviceId);
        check(line.compare(43, reply->ip.size(), reply->ip) == 0);
        check(lv::macTextOfLine(line) == reply->macText);
        check(lv::patchIpColumn(line, reply->ip, reply->ip) == line);
    }

    lv::DeviceList list;
    const int first = list.add(input);
    check(list.add(input) == -1);
    check(list.size() == (first == 0 ? 1u : 0u));
    if (first == 0) {
        list.setRaw(0, std::string(input.substr(0, size / 2)));
        check(list.contains(input.substr(0, size / 2)));
    }
    (void)lv::macFieldOfEntry(input);
    (void)lv::addressPartOfEntry(input);

    for (const std::string_view tag : {"MacAddress", "IPAddress", "TCPLinkTimeOut", "ZNwkAddr", "A", ""}) {
        const lv::TagValue v = lv::GetTagValue(input, tag);
        check(v.present || v.value.empty());
        check(v.value.size() <= size);
    }

    const lv::ModelVersion mv = lv::readModelVersion(input);
    check(mv.model.size() <= 8 && mv.version.size() <= 40);
    const lv::ModelDispatch d = lv::dispatchModel(mv.model);
    check(d.row >= 1 && d.row <= 15 && d.portCount >= 0 && d.portCount <= 4);
    (void)lv::dispatchModel(input);

    // Split the input into a line and two texts to rewrite it with.
    const std::size_t a = size / 3;
    const std::size_t b = 2 * size / 3;
    const std::string_view line = input.substr(0, a);
    const std::string_view oldText = input.substr(a, b - a);
    const std::string_view newText = input.substr(b);
    (void)lv::patchIpColumn(line, oldText, newText);
    const std::string patched = lv::patchDeviceIdColumn(line, oldText, newText);
    check(!patched.empty() && patched.back() == ' ');
    return 0;
}
