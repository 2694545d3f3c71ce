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

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string digitsOf(const std::array<unsigned, 6>& bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (unsigned b : bytes) {
        digits += kHex[(b >> 4) & 0xF];
        digits += kHex[b & 0xF];
    }
    return digits;
}

} // namespace

std::optional<std::array<unsigned, 6>> macAddressBytes(std::string_view text)
{
    if (text.empty() || (text.find(':') != std::string_view::npos && text.find('-') != std::string_view::npos))
        return std::nullopt;
    const char separator = text.find(':') != std::string_view::npos ? ':' : '-';
    std::array<unsigned, 6> bytes{};
    std::size_t count = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c == separator) {
            if (digits == 0 || count == 5)
                return std::nullopt;
            ++count;
            digits = 0;
            continue;
        }
        const int v = hexValue(c);
        if (v < 0 || digits == 2)
            return std::nullopt;
        bytes[count] = bytes[count] * 16 + static_cast<unsigned>(v);
        ++digits;
    }
    if (digits == 0 || count != 5)
        return std::nullopt;
    return bytes;
}

std::optional<std::array<unsigned, 6>> macFieldBytes(std::string_view macField)
{
    std::array<unsigned, 6> bytes{};
    std::size_t count = 0;
    std::size_t digits = 0;
    for (const char c : macField) {
        if (c == '.') {
            if (digits == 0 || count == 5)
                return std::nullopt;
            ++count;
            digits = 0;
            continue;
        }
        if (c < '0' || c > '9' || digits == 3)
            return std::nullopt;
        bytes[count] = bytes[count] * 10 + static_cast<unsigned>(c - '0');
        if (bytes[count] > 255)
            return std::nullopt;
        ++digits;
    }
    if (digits == 0 || count != 5)
        return std::nullopt;
    return bytes;
}

std::optional<std::string> macAddressDigits(std::string_view text)
{
    if (text.size() == 12 && text.find_first_of(":-") == std::string_view::npos) {
        std::array<unsigned, 6> bytes{};
        for (std::size_t i = 0; i < 6; ++i) {
            const int hi = hexValue(text[2 * i]);
            const int lo = hexValue(text[2 * i + 1]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            bytes[i] = static_cast<unsigned>(hi * 16 + lo);
        }
        return digitsOf(bytes);
    }
    const auto bytes = macAddressBytes(text);
    return bytes ? std::optional<std::string>(digitsOf(*bytes)) : std::nullopt;
}

std::optional<std::string> macDigitsOfField(std::string_view macField)
{
    const auto bytes = macFieldBytes(macField);
    return bytes ? std::optional<std::string>(digitsOf(*bytes)) : std::nullopt;
}

} // namespace lv
