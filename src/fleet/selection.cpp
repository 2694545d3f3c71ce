// SPDX-License-Identifier: Apache-2.0
// Choosing devices by model, device ID and address.

#include "selection.h"

#include "ipv4.h"
#include "latin1.h"
#include "showntext.h"

#include <QStringList>

#include <algorithm>
#include <cctype>

namespace lv {

namespace {

char folded(char c, bool foldCase)
{
    return foldCase ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
}

// A [...] class at pattern[p] (p at the "["): whether c is in it, and where the pattern goes on. A "["
// without its "]" is a plain character.
std::optional<std::pair<bool, std::size_t>> classMatch(std::string_view pattern, std::size_t p, char c, bool foldCase)
{
    std::size_t i = p + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated)
        ++i;
    bool in = false;
    bool first = true;
    for (; i < pattern.size() && (pattern[i] != ']' || first); first = false) {
        char low = pattern[i];
        if (low == '\\' && i + 1 < pattern.size())
            low = pattern[++i];
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            i += 2;
        }
        ++i;
        const char f = folded(c, foldCase);
        if ((c >= low && c <= high) || (f >= folded(low, foldCase) && f <= folded(high, foldCase)))
            in = true;
    }
    if (i >= pattern.size())
        return std::nullopt;
    return std::make_pair(in != negated, i + 1);
}

std::optional<DeviceSelection::IpRange> parseIpRange(const QString& text)
{
    if (!isLatin1(text))
        return std::nullopt;
    const std::string s = toLatin1(text);
    if (const std::size_t slash = s.find('/'); slash != std::string::npos) {
        const std::optional<Ipv4> base = Ipv4::fromText(std::string_view(s).substr(0, slash));
        const std::string bits = s.substr(slash + 1);
        if (!base || bits.empty() || bits.size() > 2 || !std::all_of(bits.begin(), bits.end(), ::isdigit))
            return std::nullopt;
        const int prefix = std::stoi(bits);
        if (prefix > 32)
            return std::nullopt;
        const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t(0) << (32 - prefix);
        return DeviceSelection::IpRange{base->value() & mask, (base->value() & mask) | ~mask};
    }
    if (const std::size_t dash = s.find('-'); dash != std::string::npos) {
        const std::optional<Ipv4> first = Ipv4::fromText(std::string_view(s).substr(0, dash));
        const std::optional<Ipv4> last = Ipv4::fromText(std::string_view(s).substr(dash + 1));
        if (!first || !last || last->value() < first->value())
            return std::nullopt;
        return DeviceSelection::IpRange{first->value(), last->value()};
    }
    const std::optional<Ipv4> one = Ipv4::fromText(s);
    if (!one)
        return std::nullopt;
    return DeviceSelection::IpRange{one->value(), one->value()};
}

} // namespace

bool globMatches(std::string_view pattern, std::string_view text, bool foldCase)
{
    // Iterative with one backtrack point: the last "*" and where the text stood when it was met.
    std::size_t p = 0;
    std::size_t t = 0;
    std::optional<std::pair<std::size_t, std::size_t>> star;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = std::make_pair(++p, t);
            continue;
        }
        if (p < pattern.size()) {
            const char c = text[t];
            if (pattern[p] == '?') {
                ++p;
                ++t;
                continue;
            }
            if (pattern[p] == '[')
                if (const auto cls = classMatch(pattern, p, c, foldCase)) {
                    if (cls->first) {
                        p = cls->second;
                        ++t;
                        continue;
                    }
                    goto mismatch;
                }
            const std::size_t literal = pattern[p] == '\\' && p + 1 < pattern.size() ? p + 1 : p;
            if (folded(pattern[literal], foldCase) == folded(c, foldCase)) {
                p = literal + 1;
                ++t;
                continue;
            }
        }
    mismatch:
        if (!star)
            return false;
        p = star->first;
        t = ++star->second;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool DeviceSelection::matchesAnswer(const SearchReply& reply) const
{
    for (const std::string& id : ids)
        if (!globMatches(id, reply.deviceId))
            return false;
    if (ips.empty())
        return true;
    const std::optional<Ipv4> ip = Ipv4::fromText(reply.ip);
    return ip && std::all_of(ips.begin(), ips.end(), [&](const IpRange& range) {
               return ip->value() >= range.first && ip->value() <= range.last;
           });
}

bool DeviceSelection::matchesModel(std::string_view model) const
{
    return std::all_of(models.begin(), models.end(),
                       [&](const std::string& pattern) { return globMatches(pattern, model, true); });
}

DeviceSelection DeviceSelection::joined(const DeviceSelection& other) const
{
    DeviceSelection both = *this;
    both.models.insert(both.models.end(), other.models.begin(), other.models.end());
    both.ids.insert(both.ids.end(), other.ids.begin(), other.ids.end());
    both.ips.insert(both.ips.end(), other.ips.begin(), other.ips.end());
    return both;
}

std::optional<DeviceSelection> parseSelection(const QString& text, QString* error)
{
    DeviceSelection selection;
    const QStringList criteria = text.split(QLatin1Char(','));
    for (const QString& criterion : criteria) {
        const qsizetype equals = criterion.indexOf(QLatin1Char('='));
        const QString key = criterion.left(equals).trimmed();
        const QString value = equals < 0 ? QString() : criterion.mid(equals + 1).trimmed();
        if (equals < 0 || value.isEmpty()) {
            *error = QStringLiteral("\"%1\" is not KEY=VALUE (model=GLOB, id=GLOB, ip=CIDR or ip=FIRST-LAST)")
                         .arg(printableName(criterion));
            return std::nullopt;
        }
        if (key == QLatin1String("ip")) {
            const std::optional<DeviceSelection::IpRange> range = parseIpRange(value);
            if (!range) {
                *error = QStringLiteral("ip=%1: give a network (10.20.0.0/24), a range (10.20.0.11-10.20.0.60) or "
                                        "one address")
                             .arg(printableName(value));
                return std::nullopt;
            }
            selection.ips.push_back(*range);
        } else if (key == QLatin1String("model") || key == QLatin1String("id")) {
            // Models and IDs are single-byte text: a pattern beyond it could match nothing.
            if (!isLatin1(value)) {
                *error =
                    QStringLiteral("%1=%2: a pattern is single-byte (Latin-1) text").arg(key, printableName(value));
                return std::nullopt;
            }
            (key == QLatin1String("model") ? selection.models : selection.ids).push_back(toLatin1(value));
        } else {
            *error = QStringLiteral("unknown selection key \"%1\" (known: model, id, ip)").arg(printableName(key));
            return std::nullopt;
        }
    }
    return selection;
}

} // namespace lv
