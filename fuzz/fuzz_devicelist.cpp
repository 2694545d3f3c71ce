// SPDX-License-Identifier: Apache-2.0
// The main window's processing of search replies over a sequence of datagrams: each chunk of the
// input is one datagram received, or a rewrite of a listed entry as a MAC change or an Update makes
// it. After every step the entry the step touched pairs its line and raw reply, has its columns where
// the layout puts them and is found by the duplicate test, one other entry in turn still holds its raw
// reply and is found, and the duplicate test answers for the step's texts exactly as a plain list of
// the raw entries would. At the end every entry is checked as the touched one. A run decodes at most
// kMaxSteps chunks, so that every run stays short.

#include "devicelist.h"

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kMaxSteps = 256;

bool blanks(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// The layout of a line: 6 blanks, the MAC text (characters 7-23), 20 blanks, the IP from character 44,
// 2 blanks per character the IP is short of 15, 19 blanks, the device ID.
void checkColumns(std::string_view line, const lv::SearchReplyView& reply)
{
    const std::size_t filler = reply.ip.size() < 15 ? 2 * (15 - reply.ip.size()) : 0;
    check(line.size() == 43 + reply.ip.size() + filler + 19 + reply.deviceId.size());
    check(blanks(line.substr(0, 6)));
    check(line.substr(6, 17) == reply.macText());
    check(blanks(line.substr(23, 20)));
    check(line.substr(43, reply.ip.size()) == reply.ip);
    check(blanks(line.substr(43 + reply.ip.size(), filler + 19)));
    check(line.substr(43 + reply.ip.size() + filler + 19) == reply.deviceId);
    check(lv::macTextOfLine(line) == reply.macText());
}

// The raw entries the list must hold, in order, and how many of them hold each text (a rewritten
// entry may equal another one).
struct Model {
    std::vector<std::string> raws;
    std::map<std::string, int, std::less<>> count;

    bool listed(std::string_view text) const { return count.find(text) != count.end(); }
    void put(const std::string& raw) { ++count[raw]; }
    void drop(const std::string& raw)
    {
        const auto it = count.find(raw);
        if (--it->second == 0)
            count.erase(it);
    }
};

void checkEntry(const lv::DeviceList& list, const Model& model, std::size_t i)
{
    const std::string& raw = model.raws[i];
    check(list.raw(i) == raw);
    const auto reply = lv::viewSearchReply(raw);
    check(reply.has_value());
    check(list.line(i) == lv::deviceListLine(reply->macText(), reply->ip, reply->deviceId));
    checkColumns(list.line(i), *reply);
    check(list.contains(raw));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    lv::DeviceList list;
    Model model;

    std::string probe;
    std::size_t step = 0;
    for (const std::string_view chunk : splitChunks(input)) {
        if (step++ == kMaxSteps)
            break;
        std::size_t touched = static_cast<std::size_t>(-1);
        // A chunk that starts with 0xFE rewrites entry (second byte modulo the count) with the rest:
        // the raw entry and its line together, as the window does after a MAC change or an Update.
        if (chunk.size() >= 2 && static_cast<unsigned char>(chunk[0]) == 0xFE && !model.raws.empty()) {
            const std::size_t i = static_cast<unsigned char>(chunk[1]) % model.raws.size();
            const std::string_view raw = chunk.substr(2);
            const auto reply = lv::viewSearchReply(raw);
            if (!reply)
                continue;
            list.setRaw(i, std::string(raw));
            list.setLine(i, lv::deviceListLine(reply->macText(), reply->ip, reply->deviceId));
            const std::string old = model.raws[i];
            model.drop(old);
            model.raws[i] = std::string(raw);
            model.put(model.raws[i]);
            // The text the entry held is found exactly when another entry still holds it.
            check(list.contains(old) == model.listed(old));
            touched = i;
        } else {
            const bool wasListed = model.listed(chunk);
            check(list.contains(chunk) == wasListed);
            const bool wellFormed = lv::viewSearchReply(chunk).has_value();
            const int index = list.add(chunk);
            if (wasListed || !wellFormed) {
                check(index == -1);
            } else {
                check(index == static_cast<int>(model.raws.size()));
                model.raws.emplace_back(chunk);
                model.put(model.raws.back());
                touched = model.raws.size() - 1;
            }
            // The same datagram again, as a device answering twice, adds nothing.
            check(list.add(chunk) == -1);
        }
        check(list.size() == model.raws.size());
        if (touched != static_cast<std::size_t>(-1))
            checkEntry(list, model, touched);
        if (!model.raws.empty()) {
            const std::size_t other = step % model.raws.size();
            check(list.raw(other) == model.raws[other] && list.contains(model.raws[other]));
        }
        // Texts near the listed ones are found exactly when they are listed themselves.
        probe.assign(chunk).push_back('\r');
        check(list.contains(probe) == model.listed(probe));
        if (!chunk.empty()) {
            const std::string_view cut = chunk.substr(0, chunk.size() - 1);
            check(list.contains(cut) == model.listed(cut));
        }
    }
    for (std::size_t i = 0; i < model.raws.size(); ++i)
        checkEntry(list, model, i);
    list.clear();
    check(list.size() == 0 && (model.raws.empty() || !list.contains(model.raws.front())));
    return 0;
}
