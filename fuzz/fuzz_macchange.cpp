// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the MAC change answer and the rewrite of a listed
// device that follows it. After every input the visible lines and the raw
// entries must still pair index by index, and a rewritten line must keep its
// IP and device-ID columns.

#include "devicelist.h"
#include "macchange.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The line that the search would build for a raw entry: the pairing of the two lists.
std::optional<std::string> lineOf(std::string_view raw)
{
    const auto reply = lv::parseSearchReply(raw);
    if (!reply)
        return std::nullopt;
    return lv::deviceListLine(reply->macText, reply->ip, reply->deviceId);
}

void checkPaired(const lv::DeviceList& list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::optional<std::string> line = lineOf(list.raw(i));
        check(line && *line == list.line(i));
        check(list.contains(list.raw(i)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte splits the rest into a search answer to list and the answer to the "M " command.
    const std::size_t cut = size == 0 ? 0 : 1 + std::min<std::size_t>(data[0], size - 1);
    const std::string_view searchAnswer = input.substr(size == 0 ? 0 : 1, cut == 0 ? 0 : cut - 1);
    const std::string_view answer = input.substr(cut);

    const lv::MacChangeReply reply = lv::parseMacChangeReply(answer);
    check((reply.kind == lv::MacReplyKind::Ignored) == (answer.empty() || answer.front() != 'A'));
    if (reply.kind == lv::MacReplyKind::Unchanged)
        check(reply.newField == reply.oldField);
    if (reply.kind == lv::MacReplyKind::Changed) {
        check(reply.newField != reply.oldField);
        check(lv::MacAddress::fromField(reply.newField) == reply.newMac);
        check(reply.newMac.has_value());
    } else {
        check(!reply.newMac);
    }

    lv::DeviceList list;
    check(list.add("AX 0.80.194.1.2.3/192.168.1.20/DEV1\r") == 0);
    (void)list.add(searchAnswer);
    // Listed unless the first part was this very answer.
    (void)list.add("AX 0.80.194.1.2.9/10.0.0.2/TWO\rtail");
    check(list.size() >= 2);
    checkPaired(list);

    if (reply.kind == lv::MacReplyKind::Changed) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::vector<std::string> linesBefore;
            std::vector<std::string> rawsBefore;
            for (std::size_t k = 0; k < list.size(); ++k) {
                linesBefore.push_back(list.line(k));
                rawsBefore.push_back(list.raw(k));
            }
            const auto listed = lv::parseSearchReply(list.raw(i));
            check(listed.has_value());
            const std::optional<lv::MacRewrite> rewrite =
                lv::rewriteDeviceMac(list.line(i), list.raw(i), reply.newField);
            check(rewrite.has_value());
            list.setRaw(i, rewrite->raw);
            list.setLine(i, rewrite->line);

            check(list.size() == linesBefore.size());
            const std::string& line = list.line(i);
            check(line.compare(0, 23, std::string(6, ' ') + reply.newMac->text()) == 0);
            check(line.substr(23) == linesBefore[i].substr(23));
            // IP from character 44, the device ID at the end, both as listed before.
            check(line.compare(43, listed->ip.size(), listed->ip) == 0);
            check(line.size() >= listed->deviceId.size() &&
                  line.compare(line.size() - listed->deviceId.size(), std::string::npos, listed->deviceId) == 0);
            check(lv::macTextOfLine(line) == reply.newMac->text());
            // The selection reads the MAC field from the first blank, the search from character 4:
            // the same field whenever the first blank is the third character, as in "AX ".
            if (list.raw(i).find(' ') == 2)
                check(lv::macFieldOfEntry(list.raw(i)) == reply.newField);
            for (std::size_t k = 0; k < list.size(); ++k) {
                if (k == i)
                    continue;
                check(list.line(k) == linesBefore[k] && list.raw(k) == rawsBefore[k]);
            }
            checkPaired(list);
            // The device's next search answer is the rewritten entry: listed already.
            check(list.add(list.raw(i)) == -1);
        }
    }

    // The rewrite never reads past either text, whatever they hold.
    if (const auto any = lv::rewriteDeviceMac(searchAnswer, answer, reply.newField)) {
        check(any->line.size() >= 23);
        check(any->raw.compare(0, std::min<std::size_t>(3, answer.size()), answer.substr(0, 3)) == 0);
    }

    // A typed address that passes the check is a MAC field; hexadecimal text converts to one.
    if (lv::checkNewMacField(answer) == lv::NewMacProblem::None)
        check(lv::MacAddress::fromField(answer).has_value());
    if (const auto mac = lv::MacAddress::fromText(answer)) {
        check(lv::checkNewMacField(mac->field()) != lv::NewMacProblem::Form);
        check(lv::MacAddress::fromText(mac->text()) == mac);
        check(lv::MacAddress::fromField(mac->field()) == mac);
        check(lv::MacAddress::fromDigits(mac->digits()) == mac);
    }
    return 0;
}
