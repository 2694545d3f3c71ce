// SPDX-License-Identifier: Apache-2.0
#pragma once

// Builds configuration replies for the tests: "A", a model and version head, the text "MAC", then
// one "<T>v</T>" item per entry, in the order given (a map gives them in tag order).

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv::test {

using ItemList = std::vector<std::pair<std::string, std::string>>;
using Items = std::map<std::string, std::string, std::less<>>;

inline constexpr std::string_view kReplyHead = "A MODEL: TESTDEV VER:2.07 build 0311\rMAC ";

inline std::string item(const std::string& tag, const std::string& value)
{
    return "<" + tag + ">" + value + "</" + tag + ">";
}

template <typename Container> std::string replyText(const Container& items, std::string_view head = kReplyHead)
{
    std::string reply(head);
    for (const auto& [tag, value] : items)
        reply += item(tag, value);
    return reply;
}

inline std::string replyText(const ItemList& items, std::string_view head = kReplyHead)
{
    return replyText<ItemList>(items, head);
}

// A plausible configuration of a single-port device: every tag any single-port window reads.
inline Items standardItems(std::string_view macAddress = "00:50:C2:01:02:03")
{
    return {{"MacAddress", std::string(macAddress)},
            {"IPAddress", "192.168.1.50"},
            {"SubMask", "255.255.255.0"},
            {"GatewayIP", "192.168.1.1"},
            {"DHCPEnable", "0"},
            {"HostIP", "192.168.1.10"},
            {"HostPort", "4001"},
            {"SIOSocketPort", "4660"},
            {"SIOSocketType", "0"},
            {"DIOSocketPort", "4661"},
            {"DIOSocketType", "0"},
            {"SIOBaud", "5"},
            {"SIOParity", "0"},
            {"SIOBits", "1"},
            {"SIOStops", "0"},
            {"SIOType", "0"},
            {"TCPLinkTimeOut", "60"},
            {"TCPLinkTimeOutMode", "0"},
            {"ChrGap", "10"},
            {"DeviceID", "Line-07"},
            {"ReportIDPort", "4662"},
            {"SetupPassword", "pw"},
            {"AccessPassword", "guest"},
            {"COM1_Modbus", "0"},
            {"PanId", "1A2B"},
            {"RFChan", "11"},
            {"ZNwkAddr", "0x3F21, 0x1A2B"},
            {"ZMac", "00:12:4B:00:01:02:03:04"}};
}

// A multi-port converter's general items (with the three "A" items for that family) and the eleven
// items of ports 1..ports: baud 9600 (index 5), port n's remote host 10.0.1.n, gap n.
inline Items multiPortItems(int ports, bool arbitration, std::string_view macAddress = "00:50:C2:00:00:0E",
                            std::string_view ip = "10.0.0.14", std::string_view password = "old")
{
    Items items{{"MacAddress", std::string(macAddress)},
                {"krIP", std::string(ip)},
                {"krMask", "255.255.255.0"},
                {"krGateway", "10.0.0.1"},
                {"krDHCP", "0"},
                {"krDeviceID", "Hall-3"},
                {"krReportID", "65534"},
                {"krPassword", std::string(password)},
                {"krAccess", "acc"}};
    if (arbitration) {
        items["multis"] = "1";
        items["arbtime"] = "50";
        items["uarttimeout"] = "20";
    }
    for (int n = 1; n <= ports; ++n) {
        const std::string p = "COM" + std::to_string(n) + "_";
        items[p + "RemoteHostIP"] = "10.0.1." + std::to_string(n);
        items[p + "RemoteHostPort"] = std::to_string(5000 + n);
        items[p + "TCPPort"] = std::to_string(4000 + n);
        items[p + "TCPMode"] = "0";
        items[p + "Baud"] = "5";
        items[p + "Parity"] = "0";
        items[p + "Bits"] = "1";
        items[p + "Stops"] = "0";
        items[p + "HWType"] = "2";
        items[p + "ChrGap"] = std::to_string(n);
        items[p + "Modbus"] = "0";
    }
    return items;
}

// Every item any window reads but MacAddress, for a reply that any window can load whole.
inline std::string everyItemText()
{
    Items items = standardItems();
    items.merge(multiPortItems(4, true));
    items.erase("MacAddress");
    return replyText(items, "");
}

inline Items withItems(Items items, const Items& changes)
{
    for (const auto& [tag, value] : changes)
        items[tag] = value;
    return items;
}

} // namespace lv::test
