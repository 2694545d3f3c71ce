// SPDX-License-Identifier: Apache-2.0
// The one reader and writer of IPv4 text.

#include "ipv4.h"

namespace lv {

std::optional<Ipv4> Ipv4::fromText(std::string_view text)
{
    std::uint32_t value = 0;
    int numbers = 0;
    std::size_t at = 0;
    while (numbers < 4) {
        if (numbers > 0) {
            if (at == text.size() || text[at] != '.')
                return std::nullopt;
            ++at;
        }
        const std::size_t first = at;
        unsigned number = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - first < 3)
            number = number * 10 + static_cast<unsigned>(text[at++] - '0');
        const std::size_t digits = at - first;
        // "0" alone, never "00" or "010".
        if (digits == 0 || number > 255 || (digits > 1 && text[first] == '0'))
            return std::nullopt;
        value = value << 8 | number;
        ++numbers;
    }
    if (at != text.size())
        return std::nullopt;
    return Ipv4(value);
}

std::string Ipv4::text() const
{
    std::string out;
    out.reserve(15);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.append(std::to_string((m_value >> shift) & 0xFFU));
        if (shift > 0)
            out.push_back('.');
    }
    return out;
}

} // namespace lv
