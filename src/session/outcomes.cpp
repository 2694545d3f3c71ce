// SPDX-License-Identifier: Apache-2.0
// What each result means: the exchanges' by the action table, the steps' of a job here.

#include "outcomes.h"

#include "datagramexchange.h"
#include "deviceactions.h"
#include "exchanges.h"
#include "jobsteps.h"
#include "macchangeexchange.h"
#include "searchexchange.h"
#include "verifyexchange.h"

#include <algorithm>
#include <array>

namespace lv {

namespace {

template <typename Result> Meaning byTable(ActionKind kind, const Result& result)
{
    return deviceAction(kind).meaningOf(static_cast<int>(result.outcome));
}

} // namespace

Meaning meaningOf(const SearchResult& result)
{
    using Outcome = SearchResult::Outcome;
    if (result.outcome == Outcome::Listed)
        return {FleetResult::Loaded, false, kExitDone};
    if (result.outcome == Outcome::NothingAnswered)
        return {FleetResult::NotFound, true, kExitNotFound};
    // The interface named on the command line is not there: the operator's to mend.
    if (result.outcome == Outcome::NoInterface)
        return {FleetResult::NotSent, true, kExitUsage};
    return {result.outcome == Outcome::NotSent ? FleetResult::NotSent : FleetResult::Interrupted, true, kExitNoAnswer};
}

Meaning meaningOf(const ConfigRequestResult& result)
{
    return byTable(ActionKind::Load, result);
}

Meaning meaningOf(const UpdateResult& result)
{
    return byTable(ActionKind::Update, result);
}

Meaning meaningOf(const VerifyResult& result)
{
    return byTable(ActionKind::Verify, result);
}

Meaning meaningOf(const MacChangeResult& result)
{
    const Meaning meaning = byTable(ActionKind::MacChange, result);
    if (result.askedField.empty())
        return meaning;
    // An answer that keeps the old address names no new one when its field is empty.
    const bool wellFormed =
        result.changed() || (result.outcome == MacChangeResult::Outcome::Unchanged && !result.newField.empty());
    if (!wellFormed)
        return meaning;
    // Done when the device now carries the address asked for (also when it carried it already).
    if (MacAddress::fromField(result.newField) == MacAddress::fromField(result.askedField))
        return {result.changed() ? FleetResult::Updated : FleetResult::Unchanged, false, kExitDone};
    return {FleetResult::Mismatch, true, kExitNoAnswer};
}

Meaning meaningOf(const DatagramResult& result, const DeviceAction& action)
{
    using Outcome = DatagramResult::Outcome;
    if (result.outcome == Outcome::Answered)
        return action.meaningOf(result.verdict);
    // Nothing the action reads came back: it ended as an exchange ends that got no answer.
    const FleetResult word = result.outcome == Outcome::NotSent    ? FleetResult::NotSent
                             : result.outcome == Outcome::NoAnswer ? FleetResult::NoAnswer
                                                                   : FleetResult::Interrupted;
    return {word, true, kExitNoAnswer};
}

Meaning meaningOf(const ReachResult& result)
{
    switch (result.outcome) {
    case ReachResult::Outcome::NotFound:
    case ReachResult::Outcome::NoMatch:
        return {FleetResult::NotFound, true, kExitNotFound};
    case ReachResult::Outcome::NamedTwice:
    case ReachResult::Outcome::Shared:
        break;
    }
    return {FleetResult::Refused, true, kExitNotFound};
}

Meaning meaningOf(const PrepareResult& result)
{
    switch (result.outcome) {
    case PrepareResult::Outcome::Loaded:
        return {FleetResult::Loaded, false, kExitDone};
    case PrepareResult::Outcome::Ready:
        return {FleetResult::WouldUpdate, false, kExitDone};
    case PrepareResult::Outcome::Unchanged:
        return {FleetResult::Unchanged, false, kExitDone};
    case PrepareResult::Outcome::NoMac:
        return {FleetResult::NoAnswer, true, kExitNoAnswer};
    case PrepareResult::Outcome::TooLarge:
        return {FleetResult::Refused, true, kExitNoAnswer};
    case PrepareResult::Outcome::NoWindow:
    case PrepareResult::Outcome::WrongWindow:
    case PrepareResult::Outcome::Refused:
        break;
    }
    return {FleetResult::Refused, true, kExitUnknownValue};
}

Meaning meaningOf(const GateResult& result)
{
    // What follows a gate decides; until then the job would send its update.
    if (result.outcome == GateResult::Outcome::Passed)
        return {FleetResult::WouldUpdate, false, kExitDone};
    // A check cut short leaves the device updated, but not as asked: the check did not end.
    if (result.outcome == GateResult::Outcome::Interrupted)
        return {result.point == GateResult::Point::Check ? FleetResult::Updated : FleetResult::Interrupted, true,
                kExitNoAnswer};
    // What had to be done first could not be (the backup's file): the operator's to mend.
    return {FleetResult::NotSent, true, kExitUsage};
}

bool isFailure(FleetResult result)
{
    static constexpr std::array kDone{FleetResult::Updated, FleetResult::Unchanged, FleetResult::WouldUpdate,
                                      FleetResult::Loaded};
    return std::ranges::find(kDone, result) == kDone.end();
}

} // namespace lv
