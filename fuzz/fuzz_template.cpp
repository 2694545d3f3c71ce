// SPDX-License-Identifier: Apache-2.0
// Value templates and device selections on arbitrary text. A value is either refused by templateFault or
// expands without fault; text as export writes it (braces doubled) passes and expands back to itself;
// a value without braces expands to itself. Selections are read or refused, and glob patterns without
// classes or escapes match exactly as a plain recursive matcher says (on short inputs).

#include "selection.h"
#include "valuetemplate.h"

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

bool plainGlob(std::string_view p, std::string_view t, bool fold)
{
    if (p.empty())
        return t.empty();
    if (p[0] == '*')
        return plainGlob(p.substr(1), t, fold) || (!t.empty() && plainGlob(p, t.substr(1), fold));
    if (t.empty())
        return false;
    const auto low = [fold](char c) { return fold && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return (p[0] == '?' || low(p[0]) == low(t[0])) && plainGlob(p.substr(1), t.substr(1), fold);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> chunks = splitChunks(input);
    const QString value = QString::fromUtf8(chunks[0].data(), static_cast<qsizetype>(chunks[0].size()));
    const lv::TemplateValues values{static_cast<int>(size % 1000) + 1, "00-50-C2-00-00-0B", chunks.back()};

    if (!lv::templateFault(value)) {
        const QString expanded = lv::expandTemplates(value, values);
        if (!value.contains(QLatin1Char('{')) && !value.contains(QLatin1Char('}')))
            check(expanded == value);
    }
    const QString escaped = lv::escapeTemplates(value);
    check(!lv::templateFault(escaped));
    check(lv::expandTemplates(escaped, values) == value);

    QString why;
    const auto selection = lv::parseSelection(value, &why);
    check(selection.has_value() || !why.isEmpty());

    if (chunks.size() >= 3) {
        const std::string_view pattern = chunks[1];
        const std::string_view text = chunks[2];
        const bool plain = pattern.find_first_of("[\\") == std::string_view::npos;
        for (const bool fold : {false, true}) {
            const bool matched = lv::globMatches(pattern, text, fold);
            if (plain && pattern.size() <= 12 && text.size() <= 16)
                check(matched == plainGlob(pattern, text, fold));
        }
    }
    return 0;
}
