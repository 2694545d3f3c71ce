// SPDX-License-Identifier: Apache-2.0
// Fault rules of the simulated devices: their names, parameters and selectors.

#include "fault.h"

#include "device.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace lv {

namespace {

enum class Param { None, Number, Text };

struct KindInfo {
    FaultKind kind;
    std::string_view name;
    Param param;
    int defaultNumber;
    int low;
    int high;
    std::string_view help;
};

constexpr std::array<KindInfo, 20> kKinds{{
    {FaultKind::Silent, "silent", Param::None, 0, 0, 0, "no answer to G, S, U, M"},
    {FaultKind::Late, "late", Param::Number, 1500, 0, 600000, "G, U, M answers MS late (1500)"},
    {FaultKind::Split, "split", Param::Number, 2, 1, 10000, "reply in N datagrams (2)"},
    {FaultKind::Repeat, "repeat", Param::Number, 2, 1, 1000, "every answer N times (2)"},
    {FaultKind::Truncate, "truncate", Param::Number, 0, 0, kMaxDatagramBytes, "replies cut before \"MAC\", or at N"},
    {FaultKind::Oversize, "oversize", Param::Number, 65000, 1, kMaxDatagramBytes, "reply, U answer of N bytes (65000)"},
    {FaultKind::OversizeSearch, "oversize-search", Param::Number, 65000, 1, kMaxDatagramBytes,
     "search answer of N bytes (65000)"},
    {FaultKind::MacFirst, "mac-first", Param::Number, 2, 2, 10000, "\"MAC\" in 1st of N, 100 ms apart (2)"},
    {FaultKind::Impostor, "impostor", Param::Text, 0, 0, 0, "reply names MacAddress TEXT (next)"},
    {FaultKind::Hijack, "hijack", Param::None, 0, 0, 0, "answers requests for other devices"},
    {FaultKind::Junk, "junk", Param::Number, 1, 1, kMaxDatagramBytes, "\"?\" or N junk bytes before answers"},
    {FaultKind::NoUpdate, "no-update", Param::None, 0, 0, 0, "no answer to U"},
    {FaultKind::MacSilent, "mac-silent", Param::None, 0, 0, 0, "no answer to M, MAC kept"},
    {FaultKind::MacMalformed, "mac-malformed", Param::Text, 0, 0, 0, "MAC changed, bad M reply: no-marker"},
    {FaultKind::IgnoreField, "ignore-field", Param::Text, 0, 0, 0, "S applied but item TAG kept"},
    {FaultKind::Restart, "restart", Param::Number, 2000, 0, 600000, "no answer to G for MS after U (2000)"},
    {FaultKind::Reorder, "reorder", Param::Number, 3, 2, 10000, "reply in N datagrams, last two swapped (3)"},
    {FaultKind::Twin, "twin", Param::Text, 0, 0, 0, "a 2nd search answer, as T says"},
    {FaultKind::SearchLate, "search-late", Param::Number, 400, 0, 600000, "search answer MS late (400)"},
    {FaultKind::Pieces, "pieces", Param::Text, 0, 0, 0, "reply cut between items, sent in ORDER (1,3,2)"},
}};

// The most pieces a reply is cut into: more than a reply has items is pointless.
constexpr int kMaxPieces = 64;

// "1,3,2" -> {1, 3, 2}: every number from 1 to the count once, at least two; nothing otherwise.
std::optional<std::vector<int>> parsePieceOrder(std::string_view text)
{
    std::vector<int> order;
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        int n = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + from, text.data() + comma, n);
        if (comma == from || ec != std::errc() || ptr != text.data() + comma || n < 1 || n > kMaxPieces)
            return std::nullopt;
        order.push_back(n);
        from = comma + 1;
    }
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t k = 0; k < sorted.size(); ++k)
        if (sorted[k] != static_cast<int>(k) + 1)
            return std::nullopt;
    if (order.size() < 2)
        return std::nullopt;
    return order;
}

const KindInfo* infoOf(FaultKind kind)
{
    for (const KindInfo& info : kKinds)
        if (info.kind == kind)
            return &info;
    return nullptr;
}

const KindInfo* infoNamed(std::string_view name)
{
    for (const KindInfo& info : kKinds)
        if (info.name == name)
            return &info;
    return nullptr;
}

constexpr std::array<std::string_view, 3> kMacReplyFaults{"no-marker", "no-cr", "bad-value"};
constexpr std::array<std::string_view, 4> kTwins{"same-ip", "same-mac", "same-answer", "near-answer"};

std::string upper(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

} // namespace

std::string_view faultKindName(FaultKind kind)
{
    const KindInfo* info = infoOf(kind);
    return info ? info->name : std::string_view("?");
}

std::string faultKindsHelp()
{
    std::string text;
    for (const KindInfo& info : kKinds) {
        std::string head(info.name);
        if (info.param == Param::Number)
            head +=
                info.kind == FaultKind::Late || info.kind == FaultKind::Restart || info.kind == FaultKind::SearchLate
                    ? "[:MS]"
                    : "[:N]";
        else if (info.kind == FaultKind::IgnoreField)
            head += ":TAG";
        else if (info.kind == FaultKind::Twin)
            head += ":T";
        else if (info.kind == FaultKind::Pieces)
            head += "[:ORDER]";
        else if (info.param == Param::Text)
            head += info.kind == FaultKind::Impostor ? "[:TEXT]" : "[:W]";
        head.resize(std::max<std::size_t>(head.size() + 1, 20), ' ');
        text += head + std::string(info.help) + "\n";
    }
    text += "(W: no-marker, no-cr or bad-value)\n"
            "(T: same-ip: another MAC, the device's IP;\n"
            " same-mac: its MAC, another IP; same-answer:\n"
            " its answer from another port, first;\n"
            " near-answer: the same, a blank after the ID)\n";
    return text;
}

std::string FaultRule::ruleText() const
{
    const KindInfo* info = infoOf(kind);
    std::string out(faultKindName(kind));
    if (info && info->param == Param::Number)
        out += ":" + std::to_string(number);
    else if (info && info->param == Param::Text && !text.empty())
        out += ":" + text;
    out += "@" + selector;
    if (limit > 0)
        out += "#" + std::to_string(limit);
    return out;
}

std::vector<int> FaultRule::pieceOrder() const
{
    return parsePieceOrder(text).value_or(std::vector<int>{1, 3, 2});
}

bool FaultRule::appliesTo(const Device& device) const
{
    if (selector == "*")
        return true;
    if (selector == device.model || selector == device.macField() || selector == device.ip())
        return true;
    std::string mac = upper(selector);
    std::replace(mac.begin(), mac.end(), '-', ':');
    return mac == device.macAddressText();
}

MacReplyFault FaultRule::macReplyFault() const
{
    if (text == kMacReplyFaults[1])
        return MacReplyFault::NoCr;
    if (text == kMacReplyFaults[2])
        return MacReplyFault::BadValue;
    return MacReplyFault::NoMarker;
}

std::optional<FaultRule> parseFaultRule(std::string_view ruleText, std::string* error)
{
    const auto fail = [error](std::string why) -> std::optional<FaultRule> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    long long limit = 0;
    if (const std::size_t hash = ruleText.rfind('#'); hash != std::string_view::npos) {
        const std::string_view count = ruleText.substr(hash + 1);
        const auto [ptr, ec] = std::from_chars(count.data(), count.data() + count.size(), limit);
        if (count.empty() || ec != std::errc() || ptr != count.data() + count.size() || limit < 1)
            return fail("a fault's \"#COUNT\" is a number from 1 on");
        ruleText = ruleText.substr(0, hash);
    }
    const std::size_t at = ruleText.find('@');
    const std::string_view head = ruleText.substr(0, at);
    const std::string_view selector = at == std::string_view::npos ? std::string_view("*") : ruleText.substr(at + 1);
    if (selector.empty())
        return fail("a fault needs a device after \"@\"");
    const std::size_t colon = head.find(':');
    const std::string_view name = head.substr(0, colon);
    const KindInfo* info = infoNamed(name);
    if (!info)
        return fail("unknown fault \"" + std::string(name) + "\"");

    FaultRule rule;
    rule.kind = info->kind;
    rule.selector = std::string(selector);
    rule.limit = limit;
    rule.number = info->defaultNumber;
    // Without a tag the rule would ignore nothing and look as if it were in force.
    if (rule.kind == FaultKind::IgnoreField && (colon == std::string_view::npos || colon + 1 == head.size()))
        return fail("ignore-field needs the tag of the item to keep, as in ignore-field:SIOBaud");
    if (colon == std::string_view::npos)
        return rule;
    const std::string_view param = head.substr(colon + 1);
    switch (info->param) {
    case Param::None:
        return fail("fault \"" + std::string(name) + "\" takes no parameter");
    case Param::Number: {
        int value = 0;
        const auto [ptr, ec] = std::from_chars(param.data(), param.data() + param.size(), value);
        if (param.empty() || ec != std::errc() || ptr != param.data() + param.size() || value < info->low ||
            value > info->high)
            return fail("fault \"" + std::string(name) + "\" needs a number from " + std::to_string(info->low) +
                        " to " + std::to_string(info->high));
        rule.number = value;
        return rule;
    }
    case Param::Text:
        if (rule.kind == FaultKind::MacMalformed &&
            std::find(kMacReplyFaults.begin(), kMacReplyFaults.end(), param) == kMacReplyFaults.end())
            return fail("mac-malformed is no-marker, no-cr or bad-value");
        if (rule.kind == FaultKind::Twin && std::find(kTwins.begin(), kTwins.end(), param) == kTwins.end())
            return fail("twin is same-ip, same-mac, same-answer or near-answer");
        if (rule.kind == FaultKind::Pieces && !parsePieceOrder(param))
            return fail("pieces needs every number from 1 to the count of pieces once, as in pieces:1,3,2");
        rule.text = std::string(param);
        return rule;
    }
    return rule;
}

} // namespace lv
