#pragma once

// Builds configuration replies for the loader tests: "A", a model and version
// head, the text "MAC", then one "<T>v</T>" item per entry, in the order given.

#include <string>
#include <utility>
#include <vector>

namespace lv::test {

using Items = std::vector<std::pair<std::string, std::string>>;

inline std::string item(const std::string& tag, const std::string& value)
{
    return "<" + tag + ">" + value + "</" + tag + ">";
}

inline std::string replyText(const Items& items)
{
    std::string reply = "A MODEL: TESTDEV VER:1.0\rMAC ";
    for (const auto& [tag, value] : items)
        reply += item(tag, value);
    return reply;
}

} // namespace lv::test
