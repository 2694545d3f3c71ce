// The simulated devices: their addresses, settings, search answer and configuration reply.

#include "device.h"

#include "catalogue.h"
#include "modeltable.h"
#include "tagmessage.h"

#include <algorithm>
#include <cstdio>

namespace lv {

namespace {

// KR788A and KR789A open no window in the tool; they carry the fields of their
// sibling KR787A so that their reply still looks like a device's.
constexpr std::string_view kFallbackSibling = "KR787A";

std::string ipForIndex(int index)
{
    // Three subnets in turn, so that addresses of 8 to 15 characters occur.
    const int k = index / 3;
    const int third = 1 + k / 250;
    const int fourth = (k % 250) * 37 % 250 + 1; // 37 is prime to 250: distinct within a subnet
    switch (index % 3) {
    case 0:
        return "192.168." + std::to_string(third) + "." + std::to_string(fourth);
    case 1:
        return "10.0." + std::to_string(third - 1) + "." + std::to_string(fourth);
    default:
        return "172.16." + std::to_string(100 + third) + "." + std::to_string(fourth);
    }
}

std::string deviceIdForIndex(int index)
{
    static const char* const prefixes[] = {"DEV", "LINE", "ST", "PLANT-A"};
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", index + 1);
    return std::string(prefixes[index % 4]) + digits;
}

// "192.168.1.5" -> "192.168.1."
std::string subnetOf(const std::string& ip)
{
    return ip.substr(0, ip.rfind('.') + 1);
}

// The port number n of a "COMn_..." tag and the tag without that prefix.
std::pair<int, std::string_view> splitPortTag(std::string_view tag)
{
    if (tag.size() > 5 && tag.substr(0, 3) == "COM" && tag[3] >= '1' && tag[3] <= '9' && tag[4] == '_')
        return {tag[3] - '0', tag.substr(5)};
    return {0, tag};
}

std::string textValue(const WindowDef& window, std::string_view tag, int index, const std::string& ip,
                      const std::string& password)
{
    if (tag == window.ipTag)
        return ip;
    if (tag == window.deviceIdTag)
        return deviceIdForIndex(index);
    if (tag == window.passwordTag)
        return password;
    const auto [port, name] = splitPortTag(tag);
    if (name == "SubMask" || name == "krMask")
        return "255.255.255.0";
    if (name == "GatewayIP" || name == "krGateway")
        return subnetOf(ip) + "254";
    if (name == "HostIP" || name == "RemoteHostIP")
        return subnetOf(ip) + std::to_string(100 + port);
    if (name == "HostPort" || name == "RemoteHostPort")
        return std::to_string(5000 + port);
    if (name == "SIOSocketPort" || name == "TCPPort")
        return std::to_string(4000 + port + 1);
    if (name == "DIOSocketPort")
        return "5001";
    if (name == "TCPLinkTimeOut")
        return std::to_string(30 + index % 5 * 10);
    if (name == "ChrGap")
        return "10";
    if (name == "ReportIDPort" || name == "krReportID")
        return "4000";
    if (name == "AccessPassword" || name == "krAccess")
        return "";
    if (name == "arbtime")
        return "100";
    if (name == "uarttimeout")
        return "200";
    if (name == "PanId")
        return std::to_string(1000 + index % 9000);
    if (name == "RFChan")
        return std::to_string(11 + index % 16);
    if (name == "ZNwkAddr")
        return "0x" + std::to_string(1000 + index % 9000) + " / " + std::to_string(1000 + index % 9000);
    if (name == "ZMac")
        return "00:13:A2:00:40:" + std::to_string(10 + index % 90);
    return "0";
}

std::string listValue(const FieldDef& field, int index, int fieldNumber)
{
    const auto [port, name] = splitPortTag(field.tag);
    int entries = static_cast<int>(field.entries.size());
    if (field.rule == LoadRule::Guarded || field.rule == LoadRule::Bounded || field.rule == LoadRule::BoundedRecordRaw)
        entries = std::min(entries, field.limit + 1);
    if (entries <= 0)
        return "0";
    // Typical values where a device has a natural default, varied elsewhere.
    if (name == "SIOBaud" || name == "Baud")
        return std::to_string(std::min(entries - 1, 5 + (index + port) % 5));
    if (name == "SIOBits" || name == "Bits")
        return std::to_string(std::min(entries - 1, 1));
    return std::to_string((index + fieldNumber) % entries);
}

} // namespace

bool Device::isMultiPort() const
{
    return windowDef->isMultiPort();
}

const std::string& Device::ipTag() const
{
    return windowDef->ipTag;
}

const std::string& Device::deviceIdTag() const
{
    return windowDef->deviceIdTag;
}

const std::string& Device::passwordTag() const
{
    return windowDef->passwordTag;
}

std::string Device::macField() const
{
    return mac.field();
}

std::string Device::macAddressText() const
{
    return mac.text(':');
}

std::string Device::setting(std::string_view tag) const
{
    for (const auto& [name, value] : settings)
        if (name == tag)
            return value;
    return {};
}

bool Device::hasSetting(std::string_view tag) const
{
    return std::any_of(settings.begin(), settings.end(), [tag](const auto& s) { return s.first == tag; });
}

void Device::setSetting(std::string_view tag, std::string_view value)
{
    for (auto& [name, current] : settings) {
        if (name == tag) {
            current = value;
            return;
        }
    }
    settings.emplace_back(tag, value);
}

std::string Device::searchAnswer() const
{
    return "AX " + macField() + "/" + ip() + "/" + deviceId() + "\r";
}

Device::Reply Device::configurationReply(const std::string* macAddress, bool markerFirst) const
{
    // The tool takes the model from the eight characters after "MODEL: ", and a
    // six-character model such as KR787A is only recognised when the reply ends
    // right after it; so the model closes the reply. The tool treats the reply as
    // complete once it holds "MAC": items whose values happen to hold "MAC" go
    // last, and the marker follows them.
    Reply reply;
    reply.text = "AG VER:" + version + "\r";
    if (markerFirst)
        reply.text += "MAC\r";
    reply.itemsBegin = reply.text.size();
    std::vector<std::pair<std::string, std::string>> items;
    items.emplace_back(kMacAddressTag, macAddress ? *macAddress : macAddressText());
    items.insert(items.end(), settings.begin(), settings.end());
    std::stable_partition(items.begin(), items.end(),
                          [](const auto& item) { return item.second.find("MAC") == std::string::npos; });
    for (const auto& [tag, value] : items) {
        reply.itemStarts.push_back(reply.text.size());
        reply.text += tagItem(tag, value);
    }
    reply.itemsEnd = reply.text.size();
    reply.text += markerFirst ? "\rMODEL: " + model : "\rMAC\rMODEL: " + model;
    return reply;
}

Device makeDevice(const std::string& model, int index, const std::string& password)
{
    Device device;
    device.model = model;
    const ModelDispatch dispatch = dispatchModel(model);
    // A multi-port device of p ports carries the general items and ports 1..p:
    // the fields of the family's window for p ports.
    device.windowDef = dispatch.windowDef ? dispatch.windowDef : dispatchModel(kFallbackSibling).windowDef;
    device.window = device.windowDef->name;
    const WindowDef& window = *device.windowDef;
    const int serial = index + 1;
    device.mac = MacAddress::fromValue(0x0050C2000000ULL | (static_cast<std::uint64_t>(serial) & 0xFFFFFFU));
    device.version = "1." + std::to_string(10 + index % 90);

    const std::string ip = ipForIndex(index);
    int fieldNumber = 0;
    for (const FieldDef& field : window.fields) {
        ++fieldNumber;
        if (field.tag.empty() || field.tag == kMacAddressTag || device.hasSetting(field.tag))
            continue;
        const std::string value = field.kind == ControlKind::ComboBox
                                      ? listValue(field, index, fieldNumber)
                                      : textValue(window, field.tag, index, ip, password);
        device.settings.emplace_back(field.tag, value);
    }
    // Whatever the window, the device always knows its address, ID and password.
    if (!device.hasSetting(window.ipTag))
        device.setSetting(window.ipTag, ip);
    if (!device.hasSetting(window.deviceIdTag))
        device.setSetting(window.deviceIdTag, deviceIdForIndex(index));
    if (!device.hasSetting(window.passwordTag))
        device.setSetting(window.passwordTag, password);
    return device;
}

} // namespace lv
