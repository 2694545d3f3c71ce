// SPDX-License-Identifier: Apache-2.0
#pragma once

// An IPv4 address as a value, read from and written as a plain dotted quad ("10.0.0.7"): four decimal
// numbers 0..255 joined by three dots, with no leading zeros, blanks or anything else. That is how the
// devices write their addresses and how an operator names one; "010.0.0.7" would read as octal to some
// tools and as decimal to others, so it is refused rather than guessed. No other code reads IPv4 text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lv {

class Ipv4 {
public:
    constexpr Ipv4() = default;
    // The address in host byte order, the first number in the highest byte.
    constexpr explicit Ipv4(std::uint32_t value) : m_value(value) {}

    static std::optional<Ipv4> fromText(std::string_view text);

    constexpr std::uint32_t value() const { return m_value; }
    // "10.0.0.7"
    std::string text() const;

    // Ordered by their value. (Spelled out: moc cannot read <compare>.)
    friend constexpr bool operator==(Ipv4 a, Ipv4 b) { return a.m_value == b.m_value; }
    friend constexpr bool operator!=(Ipv4 a, Ipv4 b) { return a.m_value != b.m_value; }
    friend constexpr bool operator<(Ipv4 a, Ipv4 b) { return a.m_value < b.m_value; }

private:
    std::uint32_t m_value = 0;
};

} // namespace lv
