// SPDX-License-Identifier: Apache-2.0
#pragma once

// Hiding secrets in what linkvane-cli shows: the password field of a command's header and the value of
// every item whose field the catalogue marks secret, each shown as "***".

#include <string>
#include <string_view>
#include <vector>

namespace lv {

// What a secret is shown as.
inline constexpr std::string_view kMaskedSecret = "***";

class SecretMask {
public:
    // Masking on or off (--show-secrets turns it off).
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool enabled() const { return m_enabled; }

    // A password known to be in use: a set command's header names the device by its loaded password,
    // which may hold "/", so the known ones are matched first. Empty passwords hide nothing.
    void addPassword(const std::string& password);

    // `bytes` with every secret replaced by "***" ("G ", "S ", "U " and "M " headers and a device's echo
    // of them, secret items, known passwords); as they are when masking is off. An empty secret stays
    // empty.
    std::string masked(std::string_view bytes) const;

    // Known passwords this long or longer are hidden wherever they appear.
    static constexpr std::size_t kMaskAnywhereFrom = 4;

private:
    std::size_t headerPasswordEnd(std::string_view bytes, char letter, std::size_t start) const;
    void maskKnown(std::string& text) const;

    bool m_enabled = true;
    std::vector<std::string> m_passwords;
};

} // namespace lv
