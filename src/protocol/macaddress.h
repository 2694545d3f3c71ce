// SPDX-License-Identifier: Apache-2.0
#pragma once

// A MAC address as a value: read from each of the forms the program meets and written to each.
//
//   field   "0.80.194.1.2.3"      search replies, configuration requests, the MAC change command
//   text    "00-50-C2-01-02-03"   the device list, window titles, the command line
//   digits  "0050C2010203"        one spelling of a device's own MacAddress item
//
// No other code reads or writes MAC text.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lv {

class MacAddress {
public:
    // Devices pad a number of their field with zeros as they like ("000.080.0194..."); an address a
    // person types has one to three digits per number.
    enum class FieldDigits { Any, UpToThree };
    // The list's text has "-" between its bytes; a device's own MacAddress item and the command line
    // may use ":" as well (never both in one address).
    enum class Separators { Dash, DashOrColon };

    constexpr MacAddress() = default;
    // The six bytes, the first in the highest place of the 48 low bits.
    static constexpr MacAddress fromValue(std::uint64_t value) { return MacAddress(value & kAllBits); }

    // Six decimal numbers 0..255 joined by exactly five dots.
    static std::optional<MacAddress> fromField(std::string_view field, FieldDigits digits = FieldDigits::Any);
    // Six groups of one or two hexadecimal digits in either case, joined by the separator.
    static std::optional<MacAddress> fromText(std::string_view text, Separators separators = Separators::Dash);
    // Twelve hexadecimal digits in either case, nothing between them.
    static std::optional<MacAddress> fromDigits(std::string_view digits);
    // A device's MacAddress item: the text with ":" or "-", or the twelve digits.
    static std::optional<MacAddress> fromDeviceText(std::string_view text);

    constexpr std::uint64_t value() const { return m_value; }
    constexpr unsigned byte(std::size_t i) const { return static_cast<unsigned>(m_value >> (8 * (5 - i))) & 0xFFU; }

    // "0.80.194.1.2.3"
    std::string field() const;
    // "00-50-C2-01-02-03", in place (a search of thousands of devices allocates nothing for it).
    std::array<char, 17> textChars(char separator = '-') const;
    std::string text(char separator = '-') const;
    // "0050C2010203"
    std::string digits() const;

    // An address one device can carry: not all zero and not a group address (the lowest bit of the
    // first byte; the broadcast address is one).
    constexpr bool isZero() const { return m_value == 0; }
    constexpr bool isBroadcast() const { return m_value == kAllBits; }
    constexpr bool isGroup() const { return (byte(0) & 1U) != 0; }
    constexpr bool isUsableUnicast() const { return !isZero() && !isGroup(); }

    // Ordered by their bytes, the first highest. (Spelled out: moc cannot read <compare>.)
    friend constexpr bool operator==(const MacAddress& a, const MacAddress& b) { return a.m_value == b.m_value; }
    friend constexpr bool operator!=(const MacAddress& a, const MacAddress& b) { return a.m_value != b.m_value; }
    friend constexpr bool operator<(const MacAddress& a, const MacAddress& b) { return a.m_value < b.m_value; }

private:
    static constexpr std::uint64_t kAllBits = 0xFFFF'FFFF'FFFFULL;
    constexpr explicit MacAddress(std::uint64_t value) : m_value(value) {}

    std::uint64_t m_value = 0;
};

} // namespace lv
