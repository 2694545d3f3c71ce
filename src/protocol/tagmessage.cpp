// SPDX-License-Identifier: Apache-2.0
// Tag values, the request, set and "U " command texts.

#include "tagmessage.h"

#include <algorithm>
#include <unordered_map>

namespace lv {

TagValue GetTagValue(std::string_view buffer, std::string_view tag)
{
    std::string open;
    open.reserve(tag.size() + 2);
    open.append("<").append(tag).append(">");
    std::string close;
    close.reserve(tag.size() + 3);
    close.append("</").append(tag).append(">");

    const std::size_t p = buffer.find(open);
    if (p == std::string_view::npos)
        return {};
    const std::size_t s = p + open.size();
    // The closing tag is looked for from the start of the buffer, not from the value,
    // so a closing tag that comes first leaves the value absent.
    const std::size_t q = buffer.find(close);
    if (q == std::string_view::npos || q < s)
        return {};
    return {std::string(buffer.substr(s, q - s)), true};
}

std::string tagItem(std::string_view tag, std::string_view value)
{
    std::string item;
    item.reserve(2 * tag.size() + value.size() + 5);
    item.append("<").append(tag).append(">").append(value).append("</").append(tag).append(">");
    return item;
}

bool replyHoldsMac(std::string_view buffer)
{
    return buffer.find("MAC") != std::string_view::npos;
}

std::size_t findOutsideItems(std::string_view buffer, std::string_view needle)
{
    if (needle.empty())
        return std::string_view::npos;
    const std::size_t first = buffer.find(needle);
    if (first == std::string_view::npos || buffer.find('<') > first)
        return first; // the common case: no tag before the marker
    // Every "<name>" and "</name>" of the buffer, in order (a '<' met before the '>' starts anew).
    struct Mark {
        std::size_t at;
        std::size_t end; // one past its '>'
        std::string_view name;
        bool closing;
    };
    std::vector<Mark> marks;
    std::unordered_map<std::string_view, std::vector<std::size_t>> closings; // name -> indices into marks
    for (std::size_t lt = buffer.find('<'); lt != std::string_view::npos;) {
        const std::size_t gt = buffer.find_first_of("<>", lt + 1);
        if (gt == std::string_view::npos)
            break;
        if (buffer[gt] == '<') {
            lt = gt;
            continue;
        }
        const bool closing = gt > lt + 1 && buffer[lt + 1] == '/';
        const std::string_view name = buffer.substr(lt + (closing ? 2 : 1), gt - lt - (closing ? 2 : 1));
        if (!name.empty()) {
            if (closing)
                closings[name].push_back(marks.size());
            marks.push_back({lt, gt + 1, name, closing});
        }
        lt = buffer.find('<', gt + 1);
    }
    // The items, left to right: an opening tag outside every earlier item, up to the first closing tag
    // of its name that starts after it. Their spans do not overlap.
    std::vector<std::pair<std::size_t, std::size_t>> items;
    std::size_t coveredTo = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const Mark& mark = marks[i];
        if (mark.closing || mark.at < coveredTo)
            continue;
        const auto found = closings.find(mark.name);
        if (found == closings.end())
            continue;
        const std::vector<std::size_t>& indices = found->second;
        const auto next = std::upper_bound(indices.begin(), indices.end(), i);
        if (next == indices.end())
            continue;
        coveredTo = marks[*next].end;
        items.emplace_back(mark.at, coveredTo);
    }
    auto item = items.begin();
    for (std::size_t at = first; at != std::string_view::npos; at = buffer.find(needle, at + 1)) {
        while (item != items.end() && item->second <= at)
            ++item;
        if (item == items.end() || at < item->first)
            return at;
    }
    return std::string_view::npos;
}

std::string configRequest(std::string_view addressPart, std::string_view password)
{
    std::string request("G ");
    request.append(addressPart).append(password);
    request.push_back('\0');
    return request;
}

namespace {

std::string header(char letter, std::string_view mac, std::string_view ip, std::string_view password)
{
    std::string text;
    text.reserve(mac.size() + ip.size() + password.size() + 5);
    text.push_back(letter);
    text.push_back(' ');
    text.append(mac).append("/").append(ip).append("/").append(password);
    return text;
}

} // namespace

std::string assembleSetCommand(std::string_view mac, std::string_view ip, std::string_view password, HeaderExtra extra,
                               const std::vector<FieldChange>& fields)
{
    std::string command = header('S', mac, ip, password);
    switch (extra) {
    case HeaderExtra::None:
        break;
    case HeaderExtra::Nul:
        command.push_back('\0');
        break;
    case HeaderExtra::Slash:
        command.push_back('/');
        break;
    }
    for (const FieldChange& field : fields) {
        if (field.current == field.loaded)
            continue;
        command.push_back('/');
        command.append(tagItem(field.tag, field.current));
    }
    return command;
}

std::string updateCommand(std::string_view mac, std::string_view ip, std::string_view password)
{
    return header('U', mac, ip, password);
}

} // namespace lv
