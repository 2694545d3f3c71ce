// The main window's processing of search replies over a sequence of datagrams: each chunk of the
// input is one datagram received, or a rewrite of a listed entry as a MAC change or an Update makes
// it. After every step the visible lines and the raw replies still pair index by index, every line
// has its columns where the layout puts them, and the duplicate test answers exactly as a plain
// list of the raw entries would.

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

// The layout of a line: 6 blanks, the MAC text (characters 7-23), 20 blanks, the IP from character 44,
// 2 blanks per character the IP is short of 15, 19 blanks, the device ID.
void checkColumns(const std::string& line, const lv::SearchReply& reply)
{
    const std::size_t filler = reply.ip.size() < 15 ? 2 * (15 - reply.ip.size()) : 0;
    check(line.size() == 43 + reply.ip.size() + filler + 19 + reply.deviceId.size());
    check(line.compare(0, 6, std::string(6, ' ')) == 0);
    check(line.compare(6, 17, reply.macText) == 0);
    check(line.compare(23, 20, std::string(20, ' ')) == 0);
    check(line.compare(43, reply.ip.size(), reply.ip) == 0);
    check(line.compare(43 + reply.ip.size(), filler + 19, std::string(filler + 19, ' ')) == 0);
    check(line.compare(43 + reply.ip.size() + filler + 19, std::string::npos, reply.deviceId) == 0);
    check(lv::macTextOfLine(line) == reply.macText);
}

void checkList(const lv::DeviceList& list, const std::vector<std::string>& raws)
{
    check(list.size() == raws.size());
    for (std::size_t i = 0; i < raws.size(); ++i) {
        check(list.raw(i) == raws[i]);
        const auto reply = lv::parseSearchReply(raws[i]);
        check(reply.has_value());
        check(list.line(i) == lv::deviceListLine(reply->macText, reply->ip, reply->deviceId));
        checkColumns(list.line(i), *reply);
        check(list.contains(raws[i]));
    }
}

bool listed(const std::vector<std::string>& raws, std::string_view text)
{
    return std::find(raws.begin(), raws.end(), text) != raws.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    lv::DeviceList list;
    std::vector<std::string> raws; // what the list must hold, as a plain list

    for (const std::string_view chunk : splitChunks(input)) {
        // A chunk that starts with 0xFE rewrites entry (second byte modulo the count) with the rest:
        // the raw entry and its line together, as the window does after a MAC change or an Update.
        if (chunk.size() >= 2 && static_cast<unsigned char>(chunk[0]) == 0xFE && !raws.empty()) {
            const std::size_t i = static_cast<unsigned char>(chunk[1]) % raws.size();
            const std::string_view raw = chunk.substr(2);
            const auto reply = lv::parseSearchReply(raw);
            if (!reply)
                continue;
            list.setRaw(i, std::string(raw));
            list.setLine(i, lv::deviceListLine(reply->macText, reply->ip, reply->deviceId));
            raws[i] = std::string(raw);
        } else {
            const bool wasListed = listed(raws, chunk);
            check(list.contains(chunk) == wasListed);
            const bool wellFormed = lv::parseSearchReply(chunk).has_value();
            const int index = list.add(chunk);
            if (wasListed || !wellFormed) {
                check(index == -1);
            } else {
                check(index == static_cast<int>(raws.size()));
                raws.emplace_back(chunk);
            }
            // The same datagram again, as a device answering twice, adds nothing.
            check(list.add(chunk) == -1);
        }
        checkList(list, raws);
        // Texts near the listed ones are found exactly when they are listed themselves.
        const std::string probe = std::string(chunk) + "\r";
        check(list.contains(probe) == listed(raws, probe));
        if (!chunk.empty()) {
            const std::string_view cut = chunk.substr(0, chunk.size() - 1);
            check(list.contains(cut) == listed(raws, cut));
        }
    }
    list.clear();
    check(list.size() == 0 && (raws.empty() || !list.contains(raws.front())));
    return 0;
}
