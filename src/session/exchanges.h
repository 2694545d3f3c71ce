#pragma once

// The exchanges with one device, written once for the GUI and the CLI.

#include "commandchannel.h"
#include "modeltable.h"
#include "updateplan.h"

#include <string>
#include <string_view>

namespace lv {

inline constexpr int kRequestTimeoutMs = 1000;
inline constexpr int kAnswerTimeoutMs = 1000;

struct ConfigRequestResult {
    bool sent = false;       // false: nothing went out (the entry is not a search reply, or sending failed)
    bool sendFailed = false; // the request was built but could not be sent
    bool timedOut = false;   // no complete reply within the time-out
    bool valid = false;      // complete, in time and starting with "A": the loader may run
    std::string reply;       // ReplyBuffer after the wait
    int foreignReplies = 0;  // replies set aside because they named another device
    ModelVersion modelVersion;
    ModelDispatch dispatch;
};

// The configuration request for one raw search reply: "G " + address part +
// password + NUL, then the wait for "MAC". Model, version and the model-table
// row are read even when the request timed out.
ConfigRequestResult requestConfiguration(CommandChannel& channel, std::string_view rawEntry,
                                         const std::string& password, int timeoutMs = kRequestTimeoutMs);

// The configuration request for the device of a raw search reply, then the session's model, version,
// port count and variant mark, as every front end needs them before a window opens.
ConfigRequestResult requestAndRecord(CommandChannel& channel, std::string_view rawEntry,
                                     int timeoutMs = kRequestTimeoutMs);

enum class UpdateResult {
    Answered, // the device answered within the time-out after the last "U " command
    NoAnswer, // sent, and no answer in time
    NotSent,  // a command could not be sent (too large for a datagram, or a socket error)
};

// Update: the set command, the delay, the "U " commands, the wait for "MAC".
UpdateResult runUpdate(CommandChannel& channel, const UpdatePlan& plan, int timeoutMs = kAnswerTimeoutMs);

} // namespace lv
