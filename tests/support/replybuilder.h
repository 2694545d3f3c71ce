#pragma once

// Builds configuration replies for the tests: "A", a model and version head, the text "MAC", then
// one "<T>v</T>" item per entry, in the order given (a map gives them in tag order).

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv::test {

using ItemList = std::vector<std::pair<std::string, std::string>>;
using Items = std::map<std::string, std::string, std::less<>>;

inline constexpr std::string_view kReplyHead = "A MODEL: TESTDEV VER:2.07 build 0311\rMAC ";

inline std::string item(const std::string& tag, const std::string& value)
{
    return "<" + tag + ">" + value + "</" + tag + ">";
}

template <typename Container> std::string replyText(const Container& items, std::string_view head = kReplyHead)
{
    std::string reply(head);
    for (const auto& [tag, value] : items)
        reply += item(tag, value);
    return reply;
}

inline std::string replyText(const ItemList& items, std::string_view head = kReplyHead)
{
    return replyText<ItemList>(items, head);
}

inline Items withItems(Items items, const Items& changes)
{
    for (const auto& [tag, value] : changes)
        items[tag] = value;
    return items;
}

} // namespace lv::test
