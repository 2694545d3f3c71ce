// SPDX-License-Identifier: Apache-2.0
// The loader of the multi-port families.

#include "loaders.h"

namespace lv {

namespace {

ControlValue shownValue(const FieldDef& field, const TagValue& tag)
{
    ControlValue value;
    value.set = true;
    if (field.kind != ControlKind::ComboBox) {
        value.text = tag.present ? tag.value : std::string();
        return value;
    }
    // Only a plain decimal index that the list holds selects an entry; anything else shows none.
    const std::optional<long long> n = tag.present ? listNumber(tag.value) : std::nullopt;
    value.index = n && *n >= 0 && *n < static_cast<long long>(field.entries.size()) ? static_cast<int>(*n) : -1;
    return value;
}

} // namespace

LoadResult loadMultiPort(const WindowDef& window, std::string_view reply, int portCount, LoadedValues& snapshot)
{
    LoadResult result;
    result.window = &window;
    if (portCount < 1)
        return result;
    snapshot[std::string(kMacAddressTag)] = GetTagValue(reply, kMacAddressTag).value;
    for (const FieldDef& field : window.fields) {
        if (field.tag.empty() || field.block > portCount)
            continue;
        const ControlValue value = shownValue(field, GetTagValue(reply, field.tag));
        snapshot[field.tag] = currentText(field, value);
        result.controls[field.control] = value;
    }
    result.loaded = snapshot;
    return result;
}

} // namespace lv
