// SPDX-License-Identifier: Apache-2.0
// Reading and writing the forms of a MAC address.

#include "macaddress.h"

#include "hex.h"

namespace lv {

namespace {

// Six numbers written in `base` and joined by `separator`, each of one to `maxDigits` digits and at
// most 255, the first in the highest place.
std::optional<std::uint64_t> sixNumbers(std::string_view text, char separator, unsigned base, std::size_t maxDigits)
{
    std::uint64_t value = 0;
    std::size_t count = 0;
    std::size_t digits = 0;
    unsigned number = 0;
    for (const char c : text) {
        if (c == separator) {
            if (digits == 0 || count == 5)
                return std::nullopt;
            value = value << 8 | number;
            ++count;
            digits = 0;
            number = 0;
            continue;
        }
        const int v = hexValue(c);
        if (v < 0 || static_cast<unsigned>(v) >= base || digits == maxDigits)
            return std::nullopt;
        number = number * base + static_cast<unsigned>(v);
        // Above 255 a byte would spill into its neighbour.
        if (number > 255)
            return std::nullopt;
        ++digits;
    }
    if (digits == 0 || count != 5)
        return std::nullopt;
    return value << 8 | number;
}

} // namespace

std::optional<MacAddress> MacAddress::fromField(std::string_view field, FieldDigits digits)
{
    const std::size_t maxDigits = digits == FieldDigits::UpToThree ? 3 : field.size();
    const std::optional<std::uint64_t> value = sixNumbers(field, '.', 10, maxDigits);
    return value ? std::optional<MacAddress>(MacAddress(*value)) : std::nullopt;
}

std::optional<MacAddress> MacAddress::fromText(std::string_view text, Separators separators)
{
    const bool colon = text.find(':') != std::string_view::npos;
    const bool dash = text.find('-') != std::string_view::npos;
    if (colon && (dash || separators == Separators::Dash))
        return std::nullopt;
    const std::optional<std::uint64_t> value = sixNumbers(text, colon ? ':' : '-', 16, 2);
    return value ? std::optional<MacAddress>(MacAddress(*value)) : std::nullopt;
}

std::optional<MacAddress> MacAddress::fromDigits(std::string_view digits)
{
    if (digits.size() != 12)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int v = hexValue(c);
        if (v < 0)
            return std::nullopt;
        value = value << 4 | static_cast<unsigned>(v);
    }
    return MacAddress(value);
}

std::optional<MacAddress> MacAddress::fromDeviceText(std::string_view text)
{
    if (std::optional<MacAddress> mac = fromDigits(text))
        return mac;
    return fromText(text, Separators::DashOrColon);
}

std::string MacAddress::field() const
{
    std::string text;
    text.reserve(23);
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0)
            text.push_back('.');
        text += std::to_string(byte(i));
    }
    return text;
}

std::array<char, 17> MacAddress::textChars(char separator) const
{
    std::array<char, 17> text{};
    for (std::size_t i = 0; i < 6; ++i) {
        text[3 * i] = hexDigit(byte(i) >> 4);
        text[3 * i + 1] = hexDigit(byte(i));
        if (i < 5)
            text[3 * i + 2] = separator;
    }
    return text;
}

std::string MacAddress::text(char separator) const
{
    const std::array<char, 17> chars = textChars(separator);
    return std::string(chars.data(), chars.size());
}

std::string MacAddress::digits() const
{
    std::string text(12, '0');
    for (std::size_t i = 0; i < 6; ++i) {
        text[2 * i] = hexDigit(byte(i) >> 4);
        text[2 * i + 1] = hexDigit(byte(i));
    }
    return text;
}

} // namespace lv
