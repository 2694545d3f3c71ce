// SPDX-License-Identifier: Apache-2.0
// Whether a configuration reply holds every item its window's loader reads.

#include "loaders.h"

#include "modeltable.h"
#include "tagmessage.h"

#include <algorithm>

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

bool holdsTagPiece(std::string_view text)
{
    return text.find_first_of("<>") != std::string_view::npos;
}

// A device ends its reply with its model, one word of at most eight characters, and ends the version
// at a carriage return. A piece of a tag in either, or a longer word after "MODEL: ", is text of the
// reply joined right after the marker: a datagram that came later in the device's order came first.
// A marker found only inside items is the device's own, swallowed by an item that pieces joined out of
// order put around it. A reply without the marker is taken as it is: its text comes from a fixed place.
bool modelWhole(std::string_view reply, std::string_view read)
{
    const std::size_t at = findOutsideItems(reply, kModelMarker);
    if (at == std::string_view::npos)
        return reply.find(kModelMarker) == std::string_view::npos;
    std::string_view word = reply.substr(at + kModelMarker.size());
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    word = word.substr(0, static_cast<std::size_t>(std::find_if(word.begin(), word.end(), blank) - word.begin()));
    return word.size() <= kModelLength && !holdsTagPiece(read);
}

bool versionWhole(std::string_view reply, std::string_view read)
{
    if (findOutsideItems(reply, kVersionMarker) == std::string_view::npos)
        return reply.find(kVersionMarker) == std::string_view::npos;
    return !holdsTagPiece(read);
}

} // namespace

std::vector<std::string> missingItems(const WindowDef& window, std::string_view reply, int portCount)
{
    std::vector<std::string> missing;
    if (!whole(reply, kMacAddressTag))
        missing.emplace_back(kMacAddressTag);
    // The model and the version count as missing items when what follows their marker is not theirs.
    const ModelVersion read = readModelVersion(reply);
    if (!modelWhole(reply, read.model))
        missing.emplace_back(kModelMarker);
    if (!versionWhole(reply, read.version))
        missing.emplace_back(kVersionMarker);
    const int ports = window.isMultiPort() ? portCount : 0;
    for (const FieldDef& field : window.fields)
        if (needed(field, ports) && !whole(reply, field.tag))
            missing.push_back(field.tag);
    return missing;
}

} // namespace lv
