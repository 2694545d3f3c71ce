// SPDX-License-Identifier: Apache-2.0
// The devices one search found, as the fleet takes them.

#include "founddevices.h"

#include "latin1.h"
#include "outcometexts.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace lv {

namespace {

std::optional<FoundDevice> foundAt(const DeviceSearch& search, int row)
{
    std::optional<DeviceRef> ref = search.deviceAt(row);
    if (!ref)
        return std::nullopt;
    std::optional<SearchReply> answer = parseSearchReply(ref->raw);
    if (!answer)
        return std::nullopt;
    return FoundDevice{std::move(*ref), std::move(*answer), search.sendersOf(row), search.conflictKind(row)};
}

// The MAC a device answered with, as a number: the order a plan numbers its devices in.
std::uint64_t macOf(const FoundDevice& device)
{
    const std::optional<MacAddress> mac = MacAddress::fromField(device.answer.macField);
    return mac ? mac->value() : 0;
}

} // namespace

FoundDevices foundDevices(const DeviceSearch& search)
{
    FoundDevices found;
    const int rows = static_cast<int>(search.devices().size());
    found.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row)
        if (std::optional<FoundDevice> device = foundAt(search, row))
            found.push_back(std::move(*device));
    return found;
}

FoundDevices foundDevices(const DeviceSearch& search, std::span<const int> rows)
{
    FoundDevices found;
    for (const int row : rows)
        if (std::optional<FoundDevice> device = foundAt(search, row))
            found.push_back(std::move(*device));
    return found;
}

Expected<std::vector<const FoundDevice*>> resolveSelectors(const FoundDevices& devices,
                                                           std::span<const DeviceSelector> selectors)
{
    std::vector<std::vector<const FoundDevice*>> matches(selectors.size());
    for (const FoundDevice& device : devices)
        for (std::size_t i = 0; i < selectors.size(); ++i)
            if (deviceMatches(selectors[i], device.ref.raw))
                matches[i].push_back(&device);
    std::vector<const FoundDevice*> found;
    for (std::size_t i = 0; i < selectors.size(); ++i) {
        if (matches[i].size() > 1) {
            std::vector<std::string> raws;
            for (const FoundDevice* device : matches[i])
                raws.push_back(device->ref.raw);
            return Failure{kExitNotFound, ambiguousSelectorText(selectors[i], raws)};
        }
        found.push_back(matches[i].empty() ? nullptr : matches[i].front());
        if (const FoundDevice* device = found.back(); device && device->shared())
            return Failure{kExitNotFound, sharedAnswerText(fromLatin1(device->answer.macText), device->senders)};
    }
    return found;
}

std::vector<const FoundDevice*> matching(const FoundDevices& devices, const DeviceSelection& selection)
{
    std::vector<const FoundDevice*> matched;
    for (const FoundDevice& device : devices)
        if (selection.matchesAnswer(device.answer))
            matched.push_back(&device);
    return matched;
}

void sortByMac(std::vector<const FoundDevice*>& reached)
{
    std::stable_sort(reached.begin(), reached.end(),
                     [](const FoundDevice* a, const FoundDevice* b) { return macOf(*a) < macOf(*b); });
}

std::vector<QString> conflictTexts(const FoundDevices& devices, const std::vector<const FoundDevice*>& reached)
{
    // Every line of the MACs reached, reached or not: a MAC listed twice cannot be told for one device.
    std::map<std::uint64_t, std::vector<std::string>> linesOfMac;
    for (const FoundDevice* device : reached)
        linesOfMac[macOf(*device)];
    for (std::size_t i = 0; i < devices.size() && !linesOfMac.empty(); ++i)
        if (const auto lines = linesOfMac.find(macOf(devices[i])); lines != linesOfMac.end())
            lines->second.push_back(devices[i].ref.raw);
    std::vector<QString> conflicts;
    conflicts.reserve(reached.size());
    for (const FoundDevice* device : reached) {
        const QString mac = fromLatin1(device->answer.macText);
        const std::vector<std::string>& lines = linesOfMac.at(macOf(*device));
        if (device->shared())
            conflicts.push_back(sharedAnswerText(mac, device->senders));
        else if (lines.size() > 1)
            conflicts.push_back(
                ambiguousSelectorText(DeviceSelector{DeviceSelector::Kind::MacText, device->answer.macText}, lines));
        else
            conflicts.emplace_back();
    }
    return conflicts;
}

} // namespace lv
