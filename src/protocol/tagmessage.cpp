// Tag values, the request, set and "U " command texts.

#include "tagmessage.h"

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
