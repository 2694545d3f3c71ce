// SPDX-License-Identifier: Apache-2.0
// The devices of the simulated LAN answering each command, with the faults chosen for them.

#include "simulatedlan.h"

#include "catalogue.h"
#include "devicelist.h"
#include "modeltable.h"
#include "tagmessage.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>

namespace lv {

namespace {

constexpr std::string_view kMacAccessCode = "QuartzmoonTEST";

// Between the datagrams of a reply whose marker comes first.
constexpr int kMacFirstGapMs = 100;
// Between the pieces of a reply cut between items, so that each is read on its own, as pieces that
// took different paths through a LAN come.
constexpr int kPiecesGapMs = 100;

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
    const auto slashes = twoSlashes(body);
    if (!slashes)
        return std::nullopt;
    const auto [p1, p2] = *slashes;
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

// Whether a header's IP can name the device, as loaded now or at its last set
// command: a cheap test before the whole header is compared.
bool namedByIp(const Device& device, std::string_view ip)
{
    return device.ip() == ip || (device.lastSetHeader && device.lastSetHeader->ip == ip);
}

} // namespace

SimulatedLan::SimulatedLan(LanOptions options) : m_options(std::move(options)), m_random(m_options.seed)
{
    const auto& mix = simulatedModels();
    const int count = m_options.deviceCount > 0 ? m_options.deviceCount : static_cast<int>(mix.size());
    m_devices.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_devices.push_back(makeDevice(mix[static_cast<std::size_t>(i) % mix.size()], i, m_options.password,
                                       m_options.ownAddresses ? ownAddressForIndex(i) : std::string()));

    // The process-wide options are rules for every device (or the devices named).
    for (const std::string& selector : m_options.silent)
        m_faults.push_back({FaultKind::Silent, 0, {}, selector});
    if (m_options.split > 1)
        m_faults.push_back({FaultKind::Split, m_options.split, {}, "*"});
    if (m_options.noAnswerAfterSet)
        m_faults.push_back({FaultKind::NoUpdate, 0, {}, "*"});
    m_faults.insert(m_faults.end(), m_options.faults.begin(), m_options.faults.end());
    m_restartingUntil.assign(m_devices.size(), 0);
    m_clock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

void SimulatedLan::addFault(FaultRule rule)
{
    m_faults.push_back(std::move(rule));
}

std::size_t SimulatedLan::clearFaults(std::string_view ruleText)
{
    // The rule text as the rules write themselves ("split@X" is "split:2@X").
    std::string wanted(ruleText);
    if (auto rule = parseFaultRule(ruleText, nullptr))
        wanted = rule->ruleText();
    const std::size_t before = m_faults.size();
    std::erase_if(m_faults, [&](const FaultRule& rule) { return ruleText.empty() || rule.ruleText() == wanted; });
    return before - m_faults.size();
}

void SimulatedLan::resetCounts()
{
    for (FaultRule& rule : m_faults)
        rule.fired = 0;
    for (Device& device : m_devices)
        device.counts = {};
}

std::string SimulatedLan::faultsReport() const
{
    std::string out;
    for (const FaultRule& rule : m_faults)
        out += "fault " + rule.ruleText() + " fired " + std::to_string(rule.fired) + "\n";
    return out;
}

std::string SimulatedLan::countsReport() const
{
    std::string out = faultsReport();
    for (const Device& d : m_devices) {
        const CommandCounts& c = d.counts;
        if (c.search == 0 && c.config == 0 && c.set == 0 && c.update == 0 && c.mac == 0)
            continue;
        out += "device " + d.macField() + " " + d.model + " " + d.ip() + " search=" + std::to_string(c.search) +
               " G=" + std::to_string(c.config) + " S=" + std::to_string(c.set) + " U=" + std::to_string(c.update) +
               " M=" + std::to_string(c.mac) + "\n";
    }
    return out;
}

FaultRule* SimulatedLan::fault(const Device& device, FaultKind kind)
{
    for (auto it = m_faults.rbegin(); it != m_faults.rend(); ++it) {
        if (it->kind == kind && !it->spent() && it->appliesTo(device)) {
            ++it->fired;
            return &*it;
        }
    }
    return nullptr;
}

bool SimulatedLan::has(const Device& device, FaultKind kind) const
{
    return std::any_of(m_faults.begin(), m_faults.end(), [&](const FaultRule& rule) {
        return rule.kind == kind && !rule.spent() && rule.appliesTo(device);
    });
}

std::vector<Outgoing> SimulatedLan::handleDatagram(std::string_view datagram, std::string_view to)
{
    m_to = to;
    std::vector<Outgoing> out;
    if (datagram == kSearchProbe)
        out = answerSearch();
    else if (startsWith(datagram, "G "))
        out = answerConfigRequest(datagram.substr(2));
    else if (startsWith(datagram, "S "))
        out = applySet(datagram);
    else if (startsWith(datagram, "U "))
        out = answerUpdate(datagram.substr(2));
    else if (startsWith(datagram, "M "))
        out = changeMac(datagram.substr(2));
    m_to = {};
    return out;
}

bool SimulatedLan::ignoresItem(const Device& device, std::string_view tag)
{
    // Several rules may each keep one item of the same device.
    for (FaultRule& rule : m_faults) {
        if (rule.kind == FaultKind::IgnoreField && rule.text == tag && !rule.spent() && rule.appliesTo(device)) {
            ++rule.fired;
            return true;
        }
    }
    return false;
}

int SimulatedLan::jitter()
{
    if (m_options.jitterMs <= 0)
        return 0;
    return std::uniform_int_distribution<int>(0, m_options.jitterMs)(m_random);
}

namespace {

// The search answer of a second device that shares one thing with `device`: its IP address (and has a
// MAC whose highest bit of the last byte differs) or its MAC (and answers with the next IP address).
std::string twinAnswer(const Device& device, bool sameIp)
{
    if (sameIp)
        return "AX " + MacAddress::fromValue(device.mac.value() ^ 0x80U).field() + "/" + device.ip() + "/" +
               device.deviceId() + "\r";
    std::string ip = device.ip();
    const std::size_t dot = ip.rfind('.');
    const int last = dot == std::string::npos ? 0 : std::atoi(ip.c_str() + dot + 1);
    ip = ip.substr(0, dot + 1) + std::to_string((last + 128) % 256);
    return "AX " + device.macField() + "/" + ip + "/" + device.deviceId() + "\r";
}

} // namespace

std::vector<Outgoing> SimulatedLan::answerSearch()
{
    std::vector<Outgoing> out;
    const int copies = std::max(1, m_options.repeat);
    out.reserve(m_devices.size() * static_cast<std::size_t>(copies));
    const bool anyFault = !m_faults.empty();
    for (Device& device : m_devices) {
        if (!hears(device))
            continue;
        ++device.counts.search;
        std::string answer = device.searchAnswer();
        int deviceCopies = copies;
        if (anyFault) {
            if (const FaultRule* big = fault(device, FaultKind::OversizeSearch)) {
                // Padded inside the device-ID field, before the carriage return.
                const std::size_t target = static_cast<std::size_t>(big->number);
                if (answer.size() < target)
                    answer.insert(answer.size() - 1, target - answer.size(), 'W');
            }
            if (const FaultRule* again = fault(device, FaultKind::Repeat))
                deviceCopies *= again->number;
        }
        const FaultRule* twin = anyFault ? fault(device, FaultKind::Twin) : nullptr;
        const bool copied = twin && (twin->text == "same-answer" || twin->text == "near-answer");
        if (copied)
            out.push_back({twin->text == "same-answer" ? answer : std::string(answer).insert(answer.size() - 1, " "),
                           0,
                           true,
                           {}});
        const FaultRule* late = anyFault ? fault(device, FaultKind::SearchLate) : nullptr;
        for (int i = 0; i < deviceCopies; ++i)
            out.push_back({answer, jitter() + (late ? late->number : 0), false, senderOf(device)});
        if (twin && !copied)
            out.push_back({twinAnswer(device, twin->text == "same-ip"), jitter(), false, {}}); // another host's
    }
    // From hosts that are no device: they hear a broadcast, not a probe sent to a device's own address.
    if (m_options.malformed && m_to.empty()) {
        // One of each fault a broken device could send: no "/", a MAC field of
        // five numbers, a number above 255, and an answer that is not an "A".
        static const char* const broken[] = {
            "AX 0.80.194.250.0.1 10.99.0.1 NOSLASH\r",
            "AX 0.80.194.250.2/10.99.0.2/FOURDOTS\r",
            "AX 0.80.300.250.0.3/10.99.0.3/BIGBYTE\r",
            "NX 0.80.194.250.0.4/10.99.0.4/NOTANA\r",
        };
        for (const char* text : broken)
            out.push_back({text, jitter(), false, {}});
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

namespace {

// `parts` pieces of nearly equal length that join to `text`; fewer when it is shorter.
std::vector<std::string> evenPieces(std::string_view text, int parts)
{
    std::vector<std::string> pieces;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(1, parts)), text.size());
    std::size_t from = 0;
    for (std::size_t k = 1; k <= n; ++k) {
        const std::size_t to = text.size() * k / n;
        pieces.emplace_back(text.substr(from, to - from));
        from = to;
    }
    if (pieces.empty())
        pieces.emplace_back();
    return pieces;
}

// The reply cut between items into order.size() pieces (fewer when it has fewer items), each but the
// first starting with an item's "<", sent in `order` (numbered from 1): a piece the cut did not make
// is left out of the order.
std::vector<std::string> piecesInOrder(const Device::Reply& reply, const std::vector<int>& order)
{
    // Where a piece may start: at any item but the first (so the first piece names the device), or
    // where the items end and the markers follow.
    std::vector<std::size_t> starts(reply.itemStarts.begin() + std::min<std::size_t>(1, reply.itemStarts.size()),
                                    reply.itemStarts.end());
    starts.push_back(reply.itemsEnd);
    const std::size_t parts = order.size();
    std::vector<std::size_t> cuts{0};
    for (std::size_t k = 1; k < parts; ++k) {
        const std::size_t at = k * starts.size() / parts; // piece k ends before the at-th start
        if (at > 0 && starts[at - 1] > cuts.back())
            cuts.push_back(starts[at - 1]);
    }
    cuts.push_back(reply.text.size());
    std::vector<std::string> pieces;
    for (const int n : order) {
        const auto piece = static_cast<std::size_t>(n);
        if (piece < cuts.size())
            pieces.push_back(reply.text.substr(cuts[piece - 1], cuts[piece] - cuts[piece - 1]));
    }
    return pieces;
}

// A tag item that the tool reads no field from, sized so that the reply reaches `target` bytes.
void padReply(Device::Reply& reply, std::size_t target)
{
    const std::string empty = tagItem("Padding", "");
    if (reply.text.size() + empty.size() >= target)
        return;
    const std::string item = tagItem("Padding", std::string(target - reply.text.size() - empty.size(), 'P'));
    reply.itemStarts.push_back(reply.itemsEnd);
    reply.text.insert(reply.itemsEnd, item);
    reply.itemsEnd += item.size();
}

} // namespace

std::vector<Outgoing> SimulatedLan::configurationReply(const Device& device)
{
    std::string otherMac;
    const std::string* macAddress = nullptr;
    if (const FaultRule* impostor = fault(device, FaultKind::Impostor)) {
        if (!impostor->text.empty()) {
            otherMac = impostor->text;
        } else {
            const std::size_t self = static_cast<std::size_t>(&device - m_devices.data());
            MacAddress neighbour = m_devices[(self + 1) % m_devices.size()].mac;
            if (neighbour == device.mac) // a LAN of one: a MAC no device has
                neighbour = MacAddress::fromValue(neighbour.value() ^ 0xFFU);
            otherMac = neighbour.text(':');
        }
        macAddress = &otherMac;
    }
    const FaultRule* macFirst = fault(device, FaultKind::MacFirst);
    Device::Reply reply = device.configurationReply(macAddress, macFirst != nullptr);
    bool padded = false;
    if (const FaultRule* big = fault(device, FaultKind::Oversize)) {
        padReply(reply, static_cast<std::size_t>(big->number));
        padded = true;
    }
    std::vector<std::string> pieces;
    int gapMs = macFirst ? kMacFirstGapMs : 0;
    if (macFirst) {
        // The first datagram ends with the marker; the items follow in the others.
        pieces.push_back(reply.text.substr(0, reply.itemsBegin));
        for (std::string& piece :
             evenPieces(std::string_view(reply.text).substr(reply.itemsBegin), macFirst->number - 1))
            pieces.push_back(std::move(piece));
    } else if (const FaultRule* split = fault(device, FaultKind::Split)) {
        pieces = splitReply(reply, split->number);
    } else if (const FaultRule* cut = fault(device, FaultKind::Pieces)) {
        pieces = piecesInOrder(reply, cut->pieceOrder());
        gapMs = kPiecesGapMs;
    } else if (const FaultRule* reorder = fault(device, FaultKind::Reorder)) {
        // As a LAN that takes two paths may deliver them.
        pieces = splitReply(reply, reorder->number);
        if (pieces.size() >= 2)
            std::swap(pieces[pieces.size() - 1], pieces[pieces.size() - 2]);
    } else {
        pieces = {reply.text};
    }
    // The items of a reply with the marker first arrive a little after it, so that
    // the marker is seen before them rather than in the same read.
    return shapeAnswer(device, std::move(pieces), m_options.delayMs, padded, gapMs);
}

std::vector<Outgoing> SimulatedLan::shapeAnswer(const Device& device, std::vector<std::string> pieces, int delayMs,
                                                bool padded, int gapMs)
{
    if (m_faults.empty()) {
        std::vector<Outgoing> out;
        for (std::size_t k = 0; k < pieces.size(); ++k)
            out.push_back({std::move(pieces[k]), delayMs + static_cast<int>(k) * gapMs, false, senderOf(device)});
        return out;
    }
    if (!padded) {
        if (const FaultRule* big = fault(device, FaultKind::Oversize)) {
            // Padding after the answer's own text: the tool reads nothing there.
            std::string& last = pieces.back();
            if (last.size() < static_cast<std::size_t>(big->number))
                last.append(static_cast<std::size_t>(big->number) - last.size(), ' ');
        }
    }
    if (const FaultRule* cut = fault(device, FaultKind::Truncate)) {
        // Keep the bytes before the first "MAC" of the joined answer, and at most `number` of them.
        std::string all;
        for (const std::string& piece : pieces)
            all += piece;
        std::size_t keep = all.find("MAC");
        if (keep == std::string::npos)
            keep = all.size();
        if (cut->number > 0)
            keep = std::min(keep, static_cast<std::size_t>(cut->number));
        std::vector<std::string> kept;
        std::size_t at = 0;
        for (std::string& piece : pieces) {
            if (at >= keep)
                break;
            kept.push_back(piece.substr(0, keep - at));
            at += piece.size();
        }
        if (kept.empty())
            kept.emplace_back(all.substr(0, keep));
        pieces = std::move(kept);
    }
    std::vector<int> offsets;
    for (std::size_t k = 0; k < pieces.size(); ++k)
        offsets.push_back(static_cast<int>(k) * gapMs);
    if (const FaultRule* junk = fault(device, FaultKind::Junk)) {
        // Junk never starts with "A" and never holds "MAC".
        pieces.insert(pieces.begin(), junk->number <= 1 ? std::string("?") : std::string(junk->number, '?'));
        offsets.insert(offsets.begin(), 0);
    }
    if (const FaultRule* late = fault(device, FaultKind::Late))
        delayMs = late->number;
    int copies = 1;
    if (const FaultRule* again = fault(device, FaultKind::Repeat))
        copies = again->number;
    std::vector<Outgoing> out;
    out.reserve(pieces.size() * static_cast<std::size_t>(copies));
    for (int c = 0; c < copies; ++c)
        for (std::size_t k = 0; k < pieces.size(); ++k)
            out.push_back({pieces[k], delayMs + offsets[k], false, senderOf(device)});
    return out;
}

std::vector<Outgoing> SimulatedLan::answerConfigRequest(std::string_view body)
{
    const auto header = splitHeader(body);
    if (!header)
        return {};
    // The password runs up to the zero byte that ends the request.
    const std::string_view password = header->rest.substr(0, header->rest.find('\0'));
    std::vector<Outgoing> out;
    Device* asked = nullptr;
    // The MAC field compared as numbers first: a request names one device of many.
    if (const auto mac = MacAddress::fromField(header->first, MacAddress::FieldDigits::UpToThree)) {
        for (Device& device : m_devices) {
            if (hears(device) && device.mac == *mac && device.macField() == header->first &&
                device.ip() == header->second) {
                asked = &device;
                break;
            }
        }
    }
    // Devices that answer whatever device the request names speak first.
    const bool anyHijack =
        std::any_of(m_faults.begin(), m_faults.end(), [](const FaultRule& r) { return r.kind == FaultKind::Hijack; });
    if (anyHijack) {
        for (Device& device : m_devices) {
            if (&device == asked || !hears(device) || !has(device, FaultKind::Hijack) || has(device, FaultKind::Silent))
                continue;
            fault(device, FaultKind::Hijack);
            for (Outgoing& o : configurationReply(device))
                out.push_back(std::move(o));
        }
    }
    if (asked == nullptr)
        return out;
    ++asked->counts.config;
    if (fault(*asked, FaultKind::Silent) || asked->password() != password)
        return out;
    if (m_clock() < m_restartingUntil[static_cast<std::size_t>(asked - m_devices.data())])
        return out;
    for (Outgoing& o : configurationReply(*asked))
        out.push_back(std::move(o));
    return out;
}

std::vector<Outgoing> SimulatedLan::applySet(std::string_view datagram)
{
    const auto header = splitHeader(datagram.substr(2));
    if (!header)
        return {};
    for (Device& device : m_devices) {
        if (!hears(device) || !namedByIp(device, header->second))
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
            ++device.counts.set;
            if (fault(device, FaultKind::Silent))
                return {};
            if (!items.empty() && items[0] == '\0')
                items.remove_prefix(1);
            else if (items == "/" || startsWith(items, "//"))
                items.remove_prefix(1); // the empty fourth header field of the PL-778 window
            for (const auto& [tag, value] : parseItems(items)) {
                // The MAC changes only through the MAC service.
                if (tag != kMacAddressTag && !ignoresItem(device, tag))
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
    for (Device& device : m_devices) {
        if (!hears(device) || !namedByIp(device, asked.ip) ||
            (asked != device.header() && !(device.lastSetHeader && asked == *device.lastSetHeader)))
            continue;
        ++device.counts.update;
        if (fault(device, FaultKind::Silent))
            return {};
        // The device applies what it holds: its answer leaves from the address it had, and then it moves.
        std::vector<Outgoing> out;
        if (!fault(device, FaultKind::NoUpdate)) {
            if (const FaultRule* restart = fault(device, FaultKind::Restart))
                m_restartingUntil[static_cast<std::size_t>(&device - m_devices.data())] = m_clock() + restart->number;
            out = shapeAnswer(device, {"AU MAC OK"}, m_options.delayMs, false);
        }
        if (device.address != device.ip()) {
            device.address = device.ip();
            if (m_options.ownAddresses)
                m_newAddresses.push_back(device.address);
        }
        return out;
    }
    return {};
}

std::vector<Outgoing> SimulatedLan::changeMac(std::string_view body)
{
    const auto header = splitHeader(body);
    if (!header)
        return {};
    Device* target = nullptr;
    if (const auto mac = MacAddress::fromField(header->first, MacAddress::FieldDigits::UpToThree))
        for (Device& device : m_devices)
            if (hears(device) && device.mac == *mac && device.macField() == header->first)
                target = &device;
    if (target == nullptr)
        return {};
    ++target->counts.mac;
    if (fault(*target, FaultKind::Silent) || fault(*target, FaultKind::MacSilent))
        return {};
    if (header->rest != kMacAccessCode)
        return {};
    // Only six decimal numbers 0..255 joined by five dots are applied.
    const auto newMac = MacAddress::fromField(header->second, MacAddress::FieldDigits::UpToThree);
    if (!newMac)
        return {};
    for (const Device& device : m_devices)
        if (&device != target && device.mac == *newMac)
            return {}; // another device holds that address already
    // The faults are those of the device as it was asked, so a rule naming the old MAC still holds for this answer.
    const std::string oldField = target->macField();
    const std::string newField = newMac->field();
    std::string reply = "AOld MAC: " + oldField + "\r\nNew MAC: " + newField + "\r";
    if (const FaultRule* bad = fault(*target, FaultKind::MacMalformed)) {
        switch (bad->macReplyFault()) {
        case MacReplyFault::NoMarker:
            reply = "AOld MAC: " + oldField + "\r\n" + newField + "\r";
            break;
        case MacReplyFault::NoCr:
            reply = "AOld MAC: " + oldField + "\r\nNew MAC: " + newField;
            break;
        case MacReplyFault::BadValue:
            reply = "AOld MAC: " + oldField + "\r\nNew MAC: " + newField.substr(0, newField.rfind('.')) + "\r";
            break;
        }
    }
    std::vector<Outgoing> out = shapeAnswer(*target, {std::move(reply)}, 0, false);
    target->mac = *newMac;
    return out;
}

} // namespace lv
