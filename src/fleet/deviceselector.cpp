// SPDX-License-Identifier: Apache-2.0
// Reading the three forms that name a device.

#include "deviceselector.h"

#include "devicelist.h"
#include "ipv4.h"
#include "latin1.h"
#include "macaddress.h"
#include "showntext.h"

#include <QStringList>

namespace lv {

std::optional<DeviceSelector> parseDeviceSelector(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!isLatin1(trimmed))
        return std::nullopt;
    const std::string typed = toLatin1(trimmed);
    if (trimmed.contains(QLatin1Char('-')) || trimmed.contains(QLatin1Char(':'))) {
        const std::optional<MacAddress> mac = MacAddress::fromText(typed, MacAddress::Separators::DashOrColon);
        if (!mac)
            return std::nullopt;
        return DeviceSelector{DeviceSelector::Kind::MacText, mac->text()};
    }
    const QStringList parts = trimmed.split(QLatin1Char('.'));
    if (parts.size() == 6) {
        const std::optional<MacAddress> mac = MacAddress::fromField(typed);
        if (!mac)
            return std::nullopt;
        return DeviceSelector{DeviceSelector::Kind::MacField, mac->text()};
    }
    // A plain dotted quad, as the devices write their addresses.
    if (const std::optional<Ipv4> ip = Ipv4::fromText(typed))
        return DeviceSelector{DeviceSelector::Kind::Ip, ip->text()};
    return std::nullopt;
}

QString ambiguousSelectorText(const DeviceSelector& selector, const std::vector<std::string>& rawAnswers)
{
    QStringList candidates;
    for (const std::string& raw : rawAnswers)
        if (const std::optional<SearchReply> reply = parseSearchReply(raw))
            candidates.append(printableText(reply->macText) + QStringLiteral(" at ") + printableText(reply->ip));
    const QString named = printableText(selector.text);
    return selector.kind == DeviceSelector::Kind::Ip
               ? QStringLiteral("%1 is answered by %2 devices: %3; name one by its MAC")
                     .arg(named)
                     .arg(candidates.size())
                     .arg(candidates.join(QStringLiteral(", ")))
               : QStringLiteral("%1 is answered from %2 addresses: %3; two devices share this MAC, so nothing is "
                                "sent to either (give one a new MAC first)")
                     .arg(named)
                     .arg(candidates.size())
                     .arg(candidates.join(QStringLiteral(", ")));
}

bool deviceMatches(const DeviceSelector& selector, std::string_view rawEntry)
{
    const std::optional<SearchReplyView> reply = viewSearchReply(rawEntry);
    if (!reply)
        return false;
    if (selector.kind == DeviceSelector::Kind::Ip)
        return reply->ip == selector.text;
    return reply->macText() == selector.text;
}

} // namespace lv
