// SPDX-License-Identifier: Apache-2.0
// Whether a configuration reply holds every item its window's loader reads.

#include "loaders.h"

#include "tagmessage.h"

namespace lv {

namespace {

bool needed(const FieldDef& field, int portCount)
{
    if (field.tag.empty() || field.block > portCount)
        return false;
    switch (field.rule) {
    case LoadRule::NotLoaded:
    case LoadRule::Display:
    case LoadRule::Preset:
        return false;
    default:
        return true;
    }
}

// A value that holds another item's tag was joined from pieces that do not belong together: the
// datagrams of a reply came in another order than the device sent them, or one of them is missing.
bool holdsTag(std::string_view value)
{
    if (value.find('<') == std::string_view::npos)
        return false;
    for (const std::string& tag : knownTags()) {
        const std::size_t at = value.find(tag);
        for (std::size_t i = at; i != std::string_view::npos; i = value.find(tag, i + 1)) {
            const bool opens = i >= 1 && value[i - 1] == '<';
            const bool closes = i >= 2 && value[i - 1] == '/' && value[i - 2] == '<';
            if ((opens || closes) && i + tag.size() < value.size() && value[i + tag.size()] == '>')
                return true;
        }
    }
    return false;
}

bool whole(std::string_view reply, std::string_view tag)
{
    const TagValue value = GetTagValue(reply, tag);
    return value.present && !holdsTag(value.value);
}

} // namespace

std::vector<std::string> missingItems(const WindowDef& window, std::string_view reply, int portCount)
{
    std::vector<std::string> missing;
    if (!whole(reply, kMacAddressTag))
        missing.emplace_back(kMacAddressTag);
    const int ports = window.isMultiPort() ? portCount : 0;
    for (const FieldDef& field : window.fields)
        if (needed(field, ports) && !whole(reply, field.tag))
            missing.push_back(field.tag);
    return missing;
}

} // namespace lv
