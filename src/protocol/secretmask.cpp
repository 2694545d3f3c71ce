// SPDX-License-Identifier: Apache-2.0
// Hiding the setup password and the access code in commands, replies and shown values.

#include "secretmask.h"

#include "catalogue.h"

#include <algorithm>
#include <set>

namespace lv {

namespace {

const std::set<std::string, std::less<>>& secretTags()
{
    static const std::set<std::string, std::less<>> tags = [] {
        std::set<std::string, std::less<>> t;
        for (const WindowDef& window : windowCatalogue())
            for (const FieldDef& field : window.fields)
                if (field.secret && !field.tag.empty())
                    t.insert(field.tag);
        return t;
    }();
    return tags;
}

// Replaces the value of every "<T>value</T>" item of a secret tag.
void maskItems(std::string& text)
{
    for (const std::string& tag : secretTags()) {
        const std::string open = "<" + tag + ">";
        const std::string close = "</" + tag + ">";
        std::size_t from = 0;
        while ((from = text.find(open, from)) != std::string::npos) {
            const std::size_t begin = from + open.size();
            const std::size_t end = text.find(close, begin);
            if (end == std::string::npos)
                break;
            if (end > begin)
                text.replace(begin, end - begin, kMaskedSecret);
            from = text.find(close, begin) + close.size();
        }
    }
}

} // namespace

void SecretMask::addPassword(const std::string& password)
{
    if (password.empty() || std::find(m_passwords.begin(), m_passwords.end(), password) != m_passwords.end())
        return;
    m_passwords.push_back(password);
    // Longest first: of two passwords where one begins the other, the longer one is meant.
    std::sort(m_passwords.begin(), m_passwords.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::size_t SecretMask::headerPasswordEnd(std::string_view bytes, char letter, std::size_t start) const
{
    const std::string_view rest = bytes.substr(start);
    switch (letter) {
    case 'G': { // the password runs to the zero byte that ends the request, whatever it holds itself
        const std::size_t lastNul = rest.rfind('\0');
        return start + (lastNul == std::string_view::npos ? rest.size() : lastNul);
    }
    case 'U': // nothing follows the password
    case 'M': // nothing follows the access code
        return bytes.size();
    default:
        break;
    }
    // A set command: the password is followed by the end, the zero byte of a multi-port window or "/".
    for (const std::string& password : m_passwords) {
        if (rest.substr(0, password.size()) != password)
            continue;
        const std::size_t after = start + password.size();
        if (after == bytes.size() || bytes[after] == '\0' || bytes[after] == '/')
            return after;
    }
    const std::size_t nul = std::min(rest.find('\0'), rest.size());
    return start + std::min(nul, std::min(rest.find('/'), rest.size()));
}

std::string SecretMask::masked(std::string_view bytes) const
{
    std::string text(bytes);
    if (!m_enabled)
        return text;
    // A command ("G ", "S ", "U ", "M "), or a device's echo of one ("AG mac/ip/..."), whose address
    // part is a MAC and an IP address: a reply's first line ("AG VER:1/2\r...") is no echo.
    const auto isHeader = [bytes](std::size_t at) {
        return bytes.size() >= at + 2 && bytes[at + 1] == ' ' &&
               (bytes[at] == 'G' || bytes[at] == 'S' || bytes[at] == 'U' || bytes[at] == 'M');
    };
    std::size_t at = 0;
    if (!isHeader(0) && !bytes.empty() && bytes[0] == 'A' && isHeader(1))
        at = 1;
    if (isHeader(at)) {
        const std::size_t first = bytes.find('/', at + 2);
        const std::size_t second = first == std::string_view::npos ? first : bytes.find('/', first + 1);
        const bool addressPart =
            second != std::string_view::npos &&
            (at == 0 || bytes.substr(at + 2, second - at - 2).find_first_not_of("0123456789abcdefABCDEF.:-/") ==
                            std::string_view::npos);
        if (addressPart) {
            const std::size_t start = second + 1;
            const std::size_t end = headerPasswordEnd(bytes, bytes[at], start);
            text.replace(start, end - start, end > start ? kMaskedSecret : std::string_view());
        }
    }
    maskItems(text);
    maskKnown(text);
    return text;
}

void SecretMask::maskKnown(std::string& text) const
{
    // A known password of some length is hidden wherever else it stands (a device may echo it in a
    // value); a short one would hide ordinary text, so those are hidden in headers and items only.
    for (const std::string& password : m_passwords) {
        if (password.size() < kMaskAnywhereFrom)
            continue;
        std::size_t from = 0;
        while ((from = text.find(password, from)) != std::string::npos) {
            text.replace(from, password.size(), kMaskedSecret);
            from += kMaskedSecret.size();
        }
    }
}

} // namespace lv
