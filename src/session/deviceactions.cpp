// SPDX-License-Identifier: Apache-2.0
// The action table: what can be done to a device, and what each outcome of it means.

#include "deviceactions.h"

#include "exchanges.h"
#include "macchangeexchange.h"
#include "outcometexts.h"
#include "verifyexchange.h"

#include <algorithm>
#include <array>
#include <vector>

namespace lv {

namespace {

using R = FleetResult;

template <typename Outcome>
constexpr ActionOutcome row(Outcome outcome, FleetResult result, bool failure, ExitCode exit)
{
    return {static_cast<int>(outcome), {result, failure, exit}};
}

using Ask = ConfigRequestResult::Outcome;
constexpr std::array kLoadMeanings{
    row(Ask::Answered, R::Loaded, false, kExitDone),        row(Ask::NotAReply, R::NoAnswer, true, kExitNoAnswer),
    row(Ask::NoAnswer, R::NoAnswer, true, kExitNoAnswer),   row(Ask::NotSent, R::NotSent, true, kExitNoAnswer),
    row(Ask::NotADevice, R::NotFound, true, kExitNoAnswer), row(Ask::Incomplete, R::Incomplete, true, kExitNoAnswer),
    row(Ask::Aborted, R::Interrupted, true, kExitNoAnswer),
};

using Update = UpdateResult::Outcome;
constexpr std::array kUpdateMeanings{
    row(Update::Answered, R::Updated, false, kExitDone),       row(Update::NoAnswer, R::NoAnswer, true, kExitNoAnswer),
    row(Update::NotSent, R::NotSent, true, kExitNoAnswer),     row(Update::TooLarge, R::Refused, true, kExitNoAnswer),
    row(Update::Aborted, R::Interrupted, true, kExitNoAnswer),
};

// The Update was confirmed whatever the check found; only a check that saw every value sent is done.
using Verify = VerifyResult::Outcome;
constexpr std::array kVerifyMeanings{
    row(Verify::Verified, R::Updated, false, kExitDone),
    row(Verify::Mismatch, R::Mismatch, true, kExitNoAnswer),
    row(Verify::NoAnswer, R::Updated, true, kExitNoAnswer),
    row(Verify::Aborted, R::Updated, true, kExitNoAnswer),
};

// Without an asked field (the window): only a new address is done. meaningOf(MacChangeResult) holds a
// change with one to that field.
using Mac = MacChangeResult::Outcome;
constexpr std::array kMacChangeMeanings{
    row(Mac::NotSent, R::NotSent, true, kExitNoAnswer),    row(Mac::NoAnswer, R::NoAnswer, true, kExitNoAnswer),
    row(Mac::Malformed, R::NoAnswer, true, kExitNoAnswer), row(Mac::Unchanged, R::Unchanged, true, kExitNoAnswer),
    row(Mac::Changed, R::Updated, false, kExitDone),       row(Mac::Aborted, R::Interrupted, true, kExitNoAnswer),
};

QString describeMacChange(const DatagramResult& result, Audience audience, const TextContext& context)
{
    return describe(macChangeResult(result), audience, context);
}

std::vector<DeviceAction>& table()
{
    static std::vector<DeviceAction> actions{
        {ActionKind::Load, "load", nullptr, nullptr, nullptr, nullptr, nullptr,
         QMetaEnum::fromType<ConfigRequestResult::Outcome>(), kLoadMeanings, nullptr},
        {ActionKind::Update, "update", "set", nullptr, nullptr, nullptr, nullptr,
         QMetaEnum::fromType<UpdateResult::Outcome>(), kUpdateMeanings, nullptr},
        {ActionKind::Verify, "verify", nullptr, nullptr, nullptr, nullptr, nullptr,
         QMetaEnum::fromType<VerifyResult::Outcome>(), kVerifyMeanings, nullptr},
        // Keyboard-only in the window, and set-mac is a command of its own.
        {ActionKind::MacChange, "mac-change", nullptr, nullptr, nullptr, nullptr, &macChangeDatagram(),
         QMetaEnum::fromType<MacChangeResult::Outcome>(), kMacChangeMeanings, describeMacChange},
    };
    return actions;
}

} // namespace

Meaning DeviceAction::meaningOf(int outcome) const
{
    const auto found = std::ranges::find(meanings, outcome, &ActionOutcome::outcome);
    return found == meanings.end() ? Meaning{FleetResult::NoAnswer, true, kExitNoAnswer} : found->meaning;
}

std::span<const DeviceAction> deviceActions()
{
    return table();
}

const DeviceAction& deviceAction(ActionKind kind)
{
    const std::vector<DeviceAction>& actions = table();
    const auto found = std::ranges::find(actions, kind, &DeviceAction::kind);
    return found == actions.end() ? actions.front() : *found;
}

const DeviceAction* actionForPlanKey(QStringView key)
{
    for (const DeviceAction& action : table())
        if (action.planKey && key == QLatin1String(action.planKey))
            return &action;
    return nullptr;
}

void addDeviceAction(const DeviceAction& action)
{
    table().push_back(action);
}

} // namespace lv
