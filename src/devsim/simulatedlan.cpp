#include "simulatedlan.h"

#include "tagmessage.h"

#include <algorithm>
#include <optional>

namespace lv {

namespace {

constexpr std::string_view kMacAccessCode = "QuartzmoonTEST";

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// "a/b/rest" -> {a, b, rest}; nothing when either "/" is missing.
struct ThreeFields {
    std::string_view first;
    std::string_view second;
    std::string_view rest;
};

std::optional<ThreeFields> splitHeader(std::string_view body)
{
    const std::size_t p1 = body.find('/');
    if (p1 == std::string_view::npos)
        return std::nullopt;
    const std::size_t p2 = body.find('/', p1 + 1);
    if (p2 == std::string_view::npos)
        return std::nullopt;
    return ThreeFields{body.substr(0, p1), body.substr(p1 + 1, p2 - p1 - 1), body.substr(p2 + 1)};
}

// The items of a set command: "/<T>v</T>" repeated. Values are taken up to the
// closing tag of their own item, so a value may hold "/" or "<". Parsing stops
// at the first piece that is not an item.
std::vector<std::pair<std::string, std::string>> parseItems(std::string_view items)
{
    std::vector<std::pair<std::string, std::string>> result;
    std::size_t pos = 0;
    while (pos + 1 < items.size() && items[pos] == '/' && items[pos + 1] == '<') {
        const std::size_t nameEnd = items.find('>', pos + 2);
        if (nameEnd == std::string_view::npos)
            break;
        const std::string_view tag = items.substr(pos + 2, nameEnd - pos - 2);
        const std::string closing = "</" + std::string(tag) + ">";
        const std::size_t close = items.find(closing, nameEnd + 1);
        if (close == std::string_view::npos)
            break;
        result.emplace_back(tag, items.substr(nameEnd + 1, close - nameEnd - 1));
        pos = close + closing.size();
    }
    return result;
}

} // namespace

SimulatedLan::SimulatedLan(LanOptions options) : m_options(std::move(options)), m_random(m_options.seed)
{
    const auto& mix = defaultModelMix();
    const int count = m_options.deviceCount > 0 ? m_options.deviceCount : static_cast<int>(mix.size());
    m_devices.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_devices.push_back(makeDevice(mix[static_cast<std::size_t>(i) % mix.size()], i, m_options.password));
}

std::vector<Outgoing> SimulatedLan::handleDatagram(std::string_view datagram)
{
    if (datagram == kSearchProbe)
        return answerSearch();
    if (startsWith(datagram, "G "))
        return answerConfigRequest(datagram.substr(2));
    if (startsWith(datagram, "S "))
        return applySet(datagram);
    if (startsWith(datagram, "U "))
        return answerUpdate(datagram.substr(2));
    if (startsWith(datagram, "M "))
        return changeMac(datagram.substr(2));
    return {};
}

int SimulatedLan::jitter()
{
    if (m_options.jitterMs <= 0)
        return 0;
    return std::uniform_int_distribution<int>(0, m_options.jitterMs)(m_random);
}

bool SimulatedLan::isSilent(const Device& device) const
{
    return std::any_of(m_options.silent.begin(), m_options.silent.end(), [&device](const std::string& entry) {
        return entry == device.model || entry == device.macField() || entry == device.ip();
    });
}

std::vector<Outgoing> SimulatedLan::answerSearch()
{
    std::vector<Outgoing> out;
    const int copies = std::max(1, m_options.repeat);
    out.reserve(m_devices.size() * static_cast<std::size_t>(copies));
    for (const Device& device : m_devices) {
        const std::string answer = device.searchAnswer();
        for (int i = 0; i < copies; ++i)
            out.push_back({answer, jitter()});
    }
    if (m_options.malformed) {
        // One of each fault a broken device could send: no "/", a MAC field of
        // five numbers, a number above 255, and an answer that is not an "A".
        static const char* const broken[] = {
            "AX 0.80.194.250.0.1 10.99.0.1 NOSLASH\r",
            "AX 0.80.194.250.2/10.99.0.2/FOURDOTS\r",
            "AX 0.80.300.250.0.3/10.99.0.3/BIGBYTE\r",
            "NX 0.80.194.250.0.4/10.99.0.4/NOTANA\r",
        };
        for (const char* text : broken)
            out.push_back({text, jitter()});
    }
    return out;
}

std::vector<std::string> SimulatedLan::splitReply(const Device::Reply& reply, int parts)
{
    const std::string& text = reply.text;
    if (parts <= 1 || reply.itemsEnd <= reply.itemsBegin + 1)
        return {text};
    const std::size_t firstMac = text.find("MAC");
    const std::size_t lo = reply.itemsBegin + 1;
    const std::size_t hi = std::min(reply.itemsEnd, firstMac) - 1; // last allowed cut
    std::vector<std::size_t> cuts;
    if (hi >= lo) {
        const std::size_t span = hi - lo + 1;
        for (int k = 1; k < parts; ++k) {
            std::size_t cut = lo + span * static_cast<std::size_t>(k) / static_cast<std::size_t>(parts);
            // A cut right at the start of an item would fall between items; move it into the item.
            if (std::binary_search(reply.itemStarts.begin(), reply.itemStarts.end(), cut) && cut < hi)
                ++cut;
            if (cuts.empty() || cut > cuts.back())
                cuts.push_back(cut);
        }
    }
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        pieces.push_back(text.substr(from, cut - from));
        from = cut;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

std::vector<Outgoing> SimulatedLan::answerConfigRequest(std::string_view body)
{
    const auto header = splitHeader(body);
    if (!header)
        return {};
    // The password runs up to the zero byte that ends the request.
    const std::string_view password = header->rest.substr(0, header->rest.find('\0'));
    for (const Device& device : m_devices) {
        if (device.macField() != header->first || device.ip() != header->second)
            continue;
        if (isSilent(device) || device.password() != password)
            return {};
        std::vector<Outgoing> out;
        for (std::string& piece : splitReply(device.configurationReply(), m_options.split))
            out.push_back({std::move(piece), m_options.delayMs});
        return out;
    }
    return {};
}

std::vector<Outgoing> SimulatedLan::applySet(std::string_view datagram)
{
    const auto header = splitHeader(datagram.substr(2));
    if (!header)
        return {};
    for (Device& device : m_devices) {
        if (isSilent(device))
            continue;
        // The tool names the device by the values it loaded: the current ones,
        // or those of the last set command when the device has not been reloaded since.
        std::vector<DeviceHeader> names{device.header()};
        if (device.lastSetHeader)
            names.push_back(*device.lastSetHeader);
        for (const DeviceHeader& name : names) {
            if (name.mac != header->first || name.ip != header->second)
                continue;
            // After the password: end, the zero byte of a multi-port window, or "/".
            const std::string_view tail = header->rest;
            if (!startsWith(tail, name.password))
                continue;
            std::string_view items = tail.substr(name.password.size());
            if (!items.empty() && items[0] != '\0' && items[0] != '/')
                continue;
            if (!items.empty() && items[0] == '\0')
                items.remove_prefix(1);
            else if (items == "/" || startsWith(items, "//"))
                items.remove_prefix(1); // the empty fourth header field of the PL-778 window
            for (const auto& [tag, value] : parseItems(items)) {
                if (tag != "MacAddress") // the MAC changes only through the MAC service
                    device.setSetting(tag, value);
            }
            device.lastSetHeader = name;
            device.lastSetCommand = std::string(datagram);
            // The set command itself is not acknowledged; the "U " command is.
            return {};
        }
    }
    return {};
}

std::vector<Outgoing> SimulatedLan::answerUpdate(std::string_view body)
{
    const auto header = splitHeader(body);
    if (!header)
        return {};
    const DeviceHeader asked{std::string(header->first), std::string(header->second), std::string(header->rest)};
    for (const Device& device : m_devices) {
        if (asked != device.header() && !(device.lastSetHeader && asked == *device.lastSetHeader))
            continue;
        if (isSilent(device) || m_options.noAnswerAfterSet)
            return {};
        return {{"AU MAC OK", m_options.delayMs}};
    }
    return {};
}

std::vector<Outgoing> SimulatedLan::changeMac(std::string_view body)
{
    const auto header = splitHeader(body);
    if (!header || header->rest != kMacAccessCode)
        return {};
    const auto newMac = parseMacField(header->second);
    if (!newMac)
        return {};
    Device* target = nullptr;
    for (Device& device : m_devices) {
        if (device.macField() == header->first)
            target = &device;
        else if (device.mac == *newMac)
            return {}; // another device holds that address already
    }
    if (target == nullptr)
        return {};
    const std::string oldField = target->macField();
    target->mac = *newMac;
    return {{"AOld MAC: " + oldField + "\r\nNew MAC: " + target->macField() + "\r", 0}};
}

} // namespace lv
