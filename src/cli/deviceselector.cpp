// Reading the three forms that name a device.

#include "deviceselector.h"

#include "devicelist.h"

#include <QStringList>

namespace lv {

std::optional<int> strictNumber(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int n = text.toInt();
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

std::optional<DeviceSelector> parseDeviceSelector(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QChar separator = trimmed.contains(QLatin1Char('-')) ? QLatin1Char('-') : QLatin1Char(':');
    if (trimmed.contains(separator)) {
        const QStringList parts = trimmed.split(separator);
        if (parts.size() != 6)
            return std::nullopt;
        QStringList hex;
        for (const QString& part : parts) {
            bool ok = false;
            const uint value = part.toUInt(&ok, 16);
            if (!ok || part.isEmpty() || part.size() > 2 || part.startsWith(QLatin1Char('+')))
                return std::nullopt;
            hex.append(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
        }
        return DeviceSelector{DeviceSelector::Kind::MacText, hex.join(QLatin1Char('-')).toStdString()};
    }
    const QStringList parts = trimmed.split(QLatin1Char('.'));
    if (parts.size() == 6) {
        const std::optional<std::string> mac = macTextFromField(trimmed.toLatin1().toStdString());
        if (!mac)
            return std::nullopt;
        return DeviceSelector{DeviceSelector::Kind::MacField, *mac};
    }
    if (parts.size() == 4) {
        for (const QString& part : parts)
            if (!strictNumber(part, 0, 255))
                return std::nullopt;
        return DeviceSelector{DeviceSelector::Kind::Ip, trimmed.toStdString()};
    }
    return std::nullopt;
}

bool deviceMatches(const DeviceSelector& selector, std::string_view rawEntry)
{
    const std::optional<SearchReply> reply = parseSearchReply(rawEntry);
    if (!reply)
        return false;
    if (selector.kind == DeviceSelector::Kind::Ip)
        return reply->ip == selector.text;
    return reply->macText == selector.text;
}

} // namespace lv
