// SPDX-License-Identifier: Apache-2.0
// The set command of an Update from the fields that differ from their loaded values.

#include "updateplan.h"

#include <algorithm>
#include <iterator>

namespace lv {

namespace {

const std::string& valueOf(const LoadedValues& loaded, const std::string& tag)
{
    static const std::string empty;
    const auto it = loaded.find(tag);
    return it == loaded.end() ? empty : it->second;
}

} // namespace

HeaderValues headerValues(const WindowDef& window, const LoadedValues& loaded)
{
    return {valueOf(loaded, std::string(kMacAddressTag)), valueOf(loaded, window.ipTag),
            valueOf(loaded, window.passwordTag)};
}

UpdatePlan planUpdate(const WindowDef& window, const LoadedValues& loaded,
                      const std::map<std::string, std::string, std::less<>>& current)
{
    std::vector<FieldChange> fields;
    fields.reserve(window.itemOrder.size());
    for (const std::string& tag : window.itemOrder) {
        const FieldDef* field = window.fieldByTag(tag);
        if (!field)
            continue;
        const std::string& loadedText = valueOf(loaded, tag);
        // The radio windows neither read nor send PAN ID and RF channel when the
        // device reported none.
        const auto& onlyIfLoaded = window.sendOnlyIfLoaded;
        if (loadedText.empty() && std::find(onlyIfLoaded.begin(), onlyIfLoaded.end(), tag) != onlyIfLoaded.end())
            continue;
        const auto it = current.find(field->control);
        fields.push_back({tag, it == current.end() ? loadedText : it->second, loadedText});
    }
    const HeaderValues header = headerValues(window, loaded);
    UpdatePlan plan;
    for (const FieldChange& f : fields)
        if (f.tag == window.ipTag && f.current != f.loaded)
            plan.newIp = Ipv4::fromText(f.current);
    plan.setCommand = assembleSetCommand(header.mac, header.ip, header.password, window.headerExtra, fields);
    plan.updateCommand = updateCommand(header.mac, header.ip, header.password);
    plan.updateCount = window.updateCount;
    plan.delayMs = window.delayMs;
    std::copy_if(fields.begin(), fields.end(), std::back_inserter(plan.changedFields),
                 [](const FieldChange& f) { return f.current != f.loaded; });
    plan.changedItems = static_cast<int>(plan.changedFields.size());
    return plan;
}

} // namespace lv
