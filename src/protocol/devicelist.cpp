// SPDX-License-Identifier: Apache-2.0
// Search replies, device-list lines and the paired lists with their duplicate index.

#include "devicelist.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lv {

namespace {

constexpr std::size_t kIpColumn = 43; // characters before the IP of a line
constexpr std::size_t kIpWidth = 15;
constexpr std::size_t kShownIdLength = 8;

std::string ipFiller(std::size_t ipLength)
{
    return ipLength < kIpWidth ? std::string(2 * (kIpWidth - ipLength), ' ') : std::string();
}

} // namespace

std::optional<std::pair<std::size_t, std::size_t>> twoSlashes(std::string_view entry)
{
    const std::size_t p1 = entry.find('/');
    if (p1 == std::string_view::npos)
        return std::nullopt;
    const std::size_t p2 = entry.find('/', p1 + 1);
    if (p2 == std::string_view::npos)
        return std::nullopt;
    return std::pair{p1, p2};
}

std::optional<SearchReplyView> viewSearchReply(std::string_view datagram)
{
    if (datagram.empty() || datagram.front() != 'A')
        return std::nullopt;
    const auto slashes = twoSlashes(datagram);
    if (!slashes || slashes->first < 3)
        return std::nullopt;
    const auto [p1, p2] = *slashes;
    const std::size_t cr = datagram.find('\r');
    if (cr != std::string_view::npos && cr < p2)
        return std::nullopt;

    SearchReplyView reply;
    reply.macField = datagram.substr(3, p1 - 3);
    const std::optional<MacAddress> mac = MacAddress::fromField(reply.macField);
    if (!mac)
        return std::nullopt;
    reply.mac = *mac;
    reply.macChars = mac->textChars();
    reply.ip = datagram.substr(p1 + 1, p2 - p1 - 1);
    if (cr != std::string_view::npos)
        reply.deviceId = datagram.substr(p2 + 1, cr - p2 - 1);
    return reply;
}

std::optional<SearchReply> parseSearchReply(std::string_view datagram)
{
    const std::optional<SearchReplyView> view = viewSearchReply(datagram);
    if (!view)
        return std::nullopt;
    return SearchReply{std::string(view->macField), std::string(view->macText()), std::string(view->ip),
                       std::string(view->deviceId)};
}

std::string deviceListLine(std::string_view macText, std::string_view ip, std::string_view deviceId)
{
    std::string line;
    line.reserve(kIpColumn + 2 * kIpWidth + 19 + deviceId.size());
    line.append(6, ' ').append(macText).append(20, ' ').append(ip).append(ipFiller(ip.size()));
    line.append(19, ' ').append(deviceId);
    return line;
}

std::string macFieldOfEntry(std::string_view rawEntry)
{
    const std::size_t b = rawEntry.find(' ');
    const std::size_t s = rawEntry.find('/');
    if (b == std::string_view::npos || s == std::string_view::npos || s <= b)
        return {};
    return std::string(rawEntry.substr(b + 1, s - b - 1));
}

std::optional<std::string> addressPartOfEntry(std::string_view rawEntry)
{
    if (!rawEntry.starts_with("AX"))
        return std::nullopt;
    const auto slashes = twoSlashes(rawEntry);
    if (!slashes)
        return std::nullopt;
    // p2 > p1 >= 2, so the part always starts inside the entry.
    return std::string(rawEntry.substr(3, slashes->second - 2));
}

std::optional<std::string> entryWithIp(std::string_view rawEntry, std::string_view newIp)
{
    const auto slashes = twoSlashes(rawEntry);
    if (!slashes)
        return std::nullopt;
    const auto [p1, p2] = *slashes;
    std::string entry;
    entry.reserve(rawEntry.size() - (p2 - p1 - 1) + newIp.size());
    entry.append(rawEntry.substr(0, p1 + 1));
    entry.append(newIp);
    entry.append(rawEntry.substr(p2));
    return entry;
}

std::string macTextOfLine(std::string_view line)
{
    const std::size_t dash = line.find('-');
    if (dash == std::string_view::npos)
        return {};
    const std::size_t start = dash >= 2 ? dash - 2 : 0;
    return std::string(line.substr(start, 17));
}

std::string patchIpColumn(std::string_view line, std::string_view loadedIp, std::string_view newIp)
{
    // The loaded address and its filler end here; for addresses of up to 15
    // characters that is 73 minus the address length.
    const std::size_t oldEnd = kIpColumn + loadedIp.size() + 2 * (kIpWidth - std::min(loadedIp.size(), kIpWidth));
    std::string patched(line.substr(0, kIpColumn));
    patched.append(newIp).append(ipFiller(newIp.size()));
    if (oldEnd < line.size())
        patched.append(line.substr(oldEnd));
    return patched;
}

std::string patchDeviceIdColumn(std::string_view line, std::string_view loadedId, std::string_view newId)
{
    const std::size_t cut = std::min(line.size(), loadedId.size() + 1);
    std::string patched(line.substr(0, line.size() - cut));
    patched.append(newId.substr(0, kShownIdLength));
    patched.push_back(' ');
    return patched;
}

int DeviceList::add(std::string_view datagram, int* listed)
{
    if (const Holders* holders = m_rawCount.find(datagram)) {
        if (listed)
            *listed = holders->first;
        return -1;
    }
    if (!viewSearchReply(datagram))
        return -1;
    m_raw.emplace_back(datagram);
    m_lines.emplace_back();
    m_lineBuilt.push_back(false);
    const int index = static_cast<int>(m_raw.size() - 1);
    countRaw(m_raw.back(), index);
    return index;
}

const std::string& DeviceList::line(std::size_t i) const
{
    std::string& line = m_lines.at(i);
    if (!m_lineBuilt[i]) {
        // Every entry was a reply when it was added, and a rewrite builds the line before it.
        if (const std::optional<SearchReplyView> reply = viewSearchReply(m_raw[i]))
            line = deviceListLine(reply->macText(), reply->ip, reply->deviceId);
        m_lineBuilt[i] = true;
    }
    return line;
}

void DeviceList::clear()
{
    m_raw.clear();
    m_lines.clear();
    m_lineBuilt.clear();
    m_rawCount.clear();
}

void DeviceList::setLine(std::size_t i, std::string line)
{
    m_lines.at(i) = std::move(line);
    m_lineBuilt[i] = true;
}

void DeviceList::setRaw(std::size_t i, std::string raw)
{
    // The line stays what the old entry made it until it is set.
    line(i);
    std::string& entry = m_raw.at(i);
    uncountRaw(entry, static_cast<int>(i));
    entry = std::move(raw);
    countRaw(entry, static_cast<int>(i));
}

bool DeviceList::contains(std::string_view datagram) const
{
    return m_rawCount.find(datagram) != nullptr;
}

void DeviceList::countRaw(const std::string& raw, int index)
{
    Holders& holders = m_rawCount[raw];
    ++holders.count;
    if (holders.first < 0 || index < holders.first)
        holders.first = index;
}

void DeviceList::uncountRaw(const std::string& raw, int index)
{
    Holders* holders = m_rawCount.find(raw);
    if (!holders)
        return;
    if (--holders->count == 0) {
        m_rawCount.erase(raw);
    } else if (holders->first == index) {
        // Rare (an entry rewritten after an update that equals another): the next holder is looked for.
        holders->first = -1;
        for (std::size_t i = 0; i < m_raw.size(); ++i)
            if (static_cast<int>(i) != index && m_raw[i] == raw) {
                holders->first = static_cast<int>(i);
                break;
            }
    }
}

} // namespace lv
