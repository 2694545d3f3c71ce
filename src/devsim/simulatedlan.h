#pragma once

// The devices of the simulated LAN and their answers to every command the tool
// sends. No sockets here: a datagram goes in, the datagrams to send back to its
// sender come out, each with the delay after which it is due.

#include "device.h"

#include <random>
#include <string>
#include <string_view>
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
    std::vector<std::string> silent; // models, MAC fields or IPs of devices that ignore "G ", "S ", "U "
    unsigned seed = 1;               // of the jitter
};

struct Outgoing {
    std::string bytes;
    int delayMs = 0;
};

class SimulatedLan {
public:
    explicit SimulatedLan(LanOptions options = {});

    // The answers of all devices to one datagram, in the order they are to be sent.
    std::vector<Outgoing> handleDatagram(std::string_view datagram);

    const std::vector<Device>& devices() const { return m_devices; }
    Device& device(std::size_t i) { return m_devices.at(i); }
    const LanOptions& options() const { return m_options; }

    // Cuts a reply into `parts` datagrams; every cut lies inside the tag items
    // and before the first "MAC", so only the last datagram completes the reply.
    static std::vector<std::string> splitReply(const Device::Reply& reply, int parts);

private:
    std::vector<Outgoing> answerSearch();
    std::vector<Outgoing> answerConfigRequest(std::string_view body);
    std::vector<Outgoing> applySet(std::string_view datagram);
    std::vector<Outgoing> answerUpdate(std::string_view body);
    std::vector<Outgoing> changeMac(std::string_view body);
    bool isSilent(const Device& device) const;
    int jitter();

    LanOptions m_options;
    std::vector<Device> m_devices;
    std::mt19937 m_random;
};

} // namespace lv
