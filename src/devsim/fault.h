// SPDX-License-Identifier: Apache-2.0
#pragma once

// Misbehaviour of simulated devices, chosen per device and counted: a fault
// rule names what goes wrong, with an optional parameter, which devices it
// applies to, and optionally how often ("KIND[:PARAM][@SELECTOR][#COUNT]").

#include "tagmessage.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

struct Device;

enum class FaultKind {
    Silent,         // no answer to "G ", "S " (not applied), "U ", "M " (not applied)
    Late,           // answers to "G ", "U " and "M " come PARAM ms late (default past the tool's 1000 ms bound)
    Split,          // the configuration reply in PARAM datagrams, cut inside tag items
    Repeat,         // every answer of the device sent PARAM times
    Truncate,       // every reply cut before its first "MAC" (or after PARAM bytes): it never completes
    Oversize,       // the configuration reply and the "U " answer padded to PARAM bytes
    OversizeSearch, // the search answer padded to PARAM bytes, inside its device-ID field
    MacFirst,       // the "MAC" marker in the first of PARAM datagrams, the items after it, 100 ms apart
    Impostor,       // the configuration reply carries another MacAddress (PARAM, else the next device's)
    Hijack,         // the device answers configuration requests addressed to other devices
    Junk,           // a stray datagram before every answer: "?" or PARAM bytes of junk
    NoUpdate,       // no answer to "U "
    MacSilent,      // no answer to "M " (the MAC is not changed)
    MacMalformed,   // the "M " reply malformed: PARAM no-marker, no-cr or bad-value (the MAC is changed)
    IgnoreField,    // a set command is applied except its item PARAM (a tag), which keeps its old value
    Restart,        // after answering "U " the device answers no "G " for PARAM ms, as while it restarts
    Reorder,        // the reply in PARAM datagrams, the last two sent the other way round (1, 3, 2 of three)
    Twin,           // a second search answer beside the device's own: PARAM same-ip (another MAC with the
                    // device's IP address), same-mac (the device's MAC with another IP address),
                    // same-answer (the device's answer word for word, from another port, before its own) or
                    // near-answer (the same with a blank after the device ID)
    SearchLate,     // the search answer PARAM ms late; beside twin:same-answer, an impostor that is faster
    Pieces,         // the reply cut between items into as many pieces as PARAM numbers ("1,3,2"), sent in
                    // that order 100 ms apart: every piece holds whole items, only their order is wrong
};

enum class MacReplyFault { NoMarker, NoCr, BadValue };

struct FaultRule {
    FaultKind kind = FaultKind::Silent;
    int number = 0;       // the parameter of Late, Split, Repeat, Truncate, Oversize*, MacFirst, Junk, Restart,
                          // SearchLate
    std::string text;     // the parameter of Impostor, MacMalformed and IgnoreField and Pieces, as given
    std::string selector; // "*" for every device
    long long limit = 0;  // the rule fires at most this often, then lets the devices be; 0: no limit
    long long fired = 0;  // how often the rule changed what a device did

    bool spent() const { return limit > 0 && fired >= limit; }

    // The rule as it is written on the command line.
    std::string ruleText() const;
    // A selector names devices by model, MAC field (0.80.194.1.2.3), MAC text in
    // either notation (00-50-C2-01-02-03, 00:50:C2:01:02:03) or IP address; "*" names all.
    bool appliesTo(const Device& device) const;
    MacReplyFault macReplyFault() const;
    // Pieces: the order in which the pieces leave, numbered from 1 (1, 3, 2 without a parameter).
    std::vector<int> pieceOrder() const;
};

// "silent@KR-700", "late:1500@0.80.194.0.0.3", "split:3", "mac-malformed:no-cr@10.0.0.1",
// "silent@KR-700#1" (only the first request goes unanswered, as a device that misses one).
// A missing "@SELECTOR" names every device; a missing parameter takes the kind's default.
std::optional<FaultRule> parseFaultRule(std::string_view ruleText, std::string* error);

std::string_view faultKindName(FaultKind kind);

// Every kind with its parameter, one line each, for the help text.
std::string faultKindsHelp();

} // namespace lv
