// SPDX-License-Identifier: Apache-2.0
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

// The number a sample stands for on device `index`, for a field of port block `port`.
int sampleNumber(const SampleValue& sample, int index, int port)
{
    int n = sample.base + sample.perPort * port;
    if (sample.cycle > 0)
        n += ((index + (sample.cycleWithPort ? port : 0)) % sample.cycle) * sample.step;
    return n;
}

void replaceAll(std::string& text, std::string_view placeholder, const std::string& value)
{
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

std::string textValue(const WindowDef& window, const FieldDef& field, int index, const std::string& ip,
                      const std::string& password)
{
    if (field.tag == window.ipTag)
        return ip;
    if (field.tag == window.deviceIdTag)
        return deviceIdForIndex(index);
    if (field.tag == window.passwordTag)
        return password;
    // Every other field brings its sample from the catalogue; one without is a fault of the catalogue.
    const SampleValue& sample = field.sample.value();
    std::string text = sample.text;
    replaceAll(text, "{subnet}", subnetOf(ip));
    replaceAll(text, "{n}", std::to_string(sampleNumber(sample, index, field.block)));
    return text;
}

std::string listValue(const FieldDef& field, int index, int fieldNumber)
{
    int entries = static_cast<int>(field.entries.size());
    if (field.rule == LoadRule::Guarded || field.rule == LoadRule::Bounded || field.rule == LoadRule::BoundedRecordRaw)
        entries = std::min(entries, field.limit + 1);
    if (entries <= 0)
        return "0";
    const SampleValue& sample = field.sample.value();
    if (sample.varied)
        return std::to_string((index + fieldNumber) % entries);
    return std::to_string(std::min(entries - 1, sampleNumber(sample, index, field.block)));
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

std::string ownAddressForIndex(int index)
{
    const int second = 1 + index / (254 * 256);
    const int third = index / 254 % 256;
    const int fourth = index % 254 + 1;
    return "127." + std::to_string(second) + "." + std::to_string(third) + "." + std::to_string(fourth);
}

Device makeDevice(const std::string& model, int index, const std::string& password, const std::string& givenIp)
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

    const std::string ip = givenIp.empty() ? ipForIndex(index) : givenIp;
    int fieldNumber = 0;
    for (const FieldDef& field : window.fields) {
        ++fieldNumber;
        if (field.tag.empty() || field.tag == kMacAddressTag || device.hasSetting(field.tag))
            continue;
        const std::string value = field.kind == ControlKind::ComboBox ? listValue(field, index, fieldNumber)
                                                                      : textValue(window, field, index, ip, password);
        device.settings.emplace_back(field.tag, value);
    }
    // Whatever the window, the device always knows its address, ID and password.
    if (!device.hasSetting(window.ipTag))
        device.setSetting(window.ipTag, ip);
    if (!device.hasSetting(window.deviceIdTag))
        device.setSetting(window.deviceIdTag, deviceIdForIndex(index));
    if (!device.hasSetting(window.passwordTag))
        device.setSetting(window.passwordTag, password);
    device.address = ip;
    return device;
}

} // namespace lv
