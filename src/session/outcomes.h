// SPDX-License-Identifier: Apache-2.0
#pragma once

// What a result means, in one place for every front end: the word a fleet line shows for it, whether it
// is a failure, and the exit code a command ends with. meaningOf() answers for each exchange's result
// and each step of a job; isFailure() and exitCode() are the only places that answer "failed?" and
// "which exit code?". The meanings of the exchanges with a device are rows of the action table
// (deviceactions.h); those of the steps that are not exchanges are written here.

#include <QMetaType>
#include <QObject>

#include <map>

namespace lv {

// Exit codes of linkvane-cli.
enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitNotFound = 2,
    kExitNoAnswer = 3,
    kExitUnknownValue = 4,
    kExitSomeFailed = 5,
};

// What became of a device in a fleet; resultText() gives the word its line shows.
struct Fleet {
    Q_GADGET
public:
    enum class Result {
        Updated,
        Unchanged,
        NotFound,
        NoAnswer,
        Refused,
        Loaded,
        WouldUpdate,
        NotSent,
        Interrupted,
        Incomplete,
        Mismatch, // updated, and the check after it found a field the device does not report as sent
    };
    Q_ENUM(Result)
};
using FleetResult = Fleet::Result;

struct Meaning {
    FleetResult result;
    bool failure;
    ExitCode exit;
    bool operator==(const Meaning&) const = default;
};

struct SearchResult;
struct ConfigRequestResult;
struct UpdateResult;
struct VerifyResult;
struct MacChangeResult;
struct DatagramResult;
struct ReachResult;
struct PrepareResult;
struct GateResult;
struct DeviceAction;

Meaning meaningOf(const SearchResult& result);
Meaning meaningOf(const ConfigRequestResult& result);
Meaning meaningOf(const UpdateResult& result);
Meaning meaningOf(const VerifyResult& result);
// A MAC change with an asked field succeeds when the device reports that field; without one, when it
// reports a new address.
Meaning meaningOf(const MacChangeResult& result);
Meaning meaningOf(const DatagramResult& result, const DeviceAction& action);
Meaning meaningOf(const ReachResult& result);
Meaning meaningOf(const PrepareResult& result);
Meaning meaningOf(const GateResult& result);

template <typename R> bool isFailure(const R& result)
{
    return meaningOf(result).failure;
}
template <typename R> ExitCode exitCode(const R& result)
{
    return meaningOf(result).exit;
}
// By the word alone: only updated, unchanged, would update and loaded are done as asked.
bool isFailure(FleetResult result);

// How many jobs of a run ended with each result, and how many have not ended yet.
struct RunCounts {
    std::map<FleetResult, int> ended;
    int left = 0;

    int of(FleetResult result) const
    {
        const auto found = ended.find(result);
        return found == ended.end() ? 0 : found->second;
    }
};

} // namespace lv
