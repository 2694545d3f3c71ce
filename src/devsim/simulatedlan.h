// SPDX-License-Identifier: Apache-2.0
#pragma once

// The devices of the simulated LAN and their answers to every command the tool
// sends. No sockets here: a datagram goes in, the datagrams to send back to its
// sender come out, each with the delay after which it is due.

#include "device.h"
#include "fault.h"

#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv {

struct LanOptions {
    int deviceCount = 0;             // 0: one device of every model of the default mix
    std::string password;            // the setup password of every device
    int split = 1;                   // datagrams per configuration reply
    int delayMs = 0;                 // delay of every answer to "G ", "S " and "U "
    int jitterMs = 0;                // search answers spread over 0..jitterMs
    int repeat = 1;                  // copies of every search answer
    bool malformed = false;          // add malformed search answers to every search
    bool noAnswerAfterSet = false;   // devices answer no "U " command
    std::vector<std::string> silent; // selectors of devices that ignore "G ", "S ", "U ", "M "
    std::vector<FaultRule> faults;   // per-device faults, in the order given
    unsigned seed = 1;               // of the jitter
    // Every device at an address of its own (ownAddressForIndex), which is its IP address: it hears
    // what is sent there or broadcast, and answers from there (the server binds one socket each).
    bool ownAddresses = false;
};

struct Outgoing {
    std::string bytes;
    int delayMs = 0;
    bool fromElsewhere = false; // sent from another port, as another host repeating a device's answer would
    std::string from;           // with own addresses, the address of the device that sends it; empty: the LAN's
};

class SimulatedLan {
public:
    explicit SimulatedLan(LanOptions options = {});

    // The answers of all devices to one datagram, in the order they are to be sent. `to` is the address
    // it was sent to, with own addresses: only a device there hears it; empty: a broadcast, every device does.
    std::vector<Outgoing> handleDatagram(std::string_view datagram, std::string_view to = {});
    // With own addresses: the addresses devices moved to since the last call, for the server to bind.
    std::vector<std::string> takeNewAddresses() { return std::exchange(m_newAddresses, {}); }

    const std::vector<Device>& devices() const { return m_devices; }
    Device& device(std::size_t i) { return m_devices.at(i); }
    const LanOptions& options() const { return m_options; }

    // The fault rules in force, oldest first; where several rules of one kind
    // apply to a device, the newest decides. `--silent`, `--split` and
    // `--no-answer-after-set` are rules as well ("silent@X", "split:N@*", "no-update@*").
    const std::vector<FaultRule>& faults() const { return m_faults; }
    void addFault(FaultRule rule);
    // Removes every rule (ruleText empty) or the rules written as `ruleText`; gives how many went.
    std::size_t clearFaults(std::string_view ruleText = {});
    // Sets every fault's and every device's counters to zero.
    void resetCounts();
    // One line per rule: "fault RULE fired N".
    std::string faultsReport() const;
    // The rules' lines, then one line per device that received anything:
    // "device MAC-FIELD MODEL IP search=N G=N S=N U=N M=N".
    std::string countsReport() const;

    // Cuts a reply into `parts` datagrams; every cut lies inside the tag items
    // and before the first "MAC", so only the last datagram completes the reply.
    static std::vector<std::string> splitReply(const Device::Reply& reply, int parts);

    // Milliseconds on a monotonic clock, for the faults that last a while (restart); tests may set their own.
    void setClock(std::function<long long()> clock) { m_clock = std::move(clock); }

private:
    std::vector<Outgoing> answerSearch();
    std::vector<Outgoing> answerConfigRequest(std::string_view body);
    std::vector<Outgoing> applySet(std::string_view datagram);
    std::vector<Outgoing> answerUpdate(std::string_view body);
    std::vector<Outgoing> changeMac(std::string_view body);
    std::vector<Outgoing> configurationReply(const Device& device);
    // Applies the faults every answer shares (oversize, truncate, junk, late, repeat)
    // to the datagrams of one answer; `delayMs` is the delay without faults, and
    // each datagram after the first comes `gapMs` after the one before.
    std::vector<Outgoing> shapeAnswer(const Device& device, std::vector<std::string> pieces, int delayMs, bool padded,
                                      int gapMs = 0);
    // The newest rule of `kind` that applies to the device, counted as fired; null if none.
    FaultRule* fault(const Device& device, FaultKind kind);
    bool has(const Device& device, FaultKind kind) const;
    int jitter();
    // Whether the datagram being handled reaches the device: a broadcast, or sent to its address.
    bool hears(const Device& device) const { return m_to.empty() || device.address == m_to; }
    // The Outgoing::from of the device's answers.
    std::string senderOf(const Device& device) const { return m_options.ownAddresses ? device.address : std::string(); }
    // Whether a rule keeps the device from taking the item `tag` of a set command.
    bool ignoresItem(const Device& device, std::string_view tag);

    LanOptions m_options;
    std::vector<FaultRule> m_faults;
    std::vector<Device> m_devices;
    std::mt19937 m_random;
    std::function<long long()> m_clock;
    std::vector<long long> m_restartingUntil; // per device: no "G " is answered before this time
    std::string_view m_to;                    // where the datagram being handled was sent (empty: broadcast)
    std::vector<std::string> m_newAddresses;
};

} // namespace lv
