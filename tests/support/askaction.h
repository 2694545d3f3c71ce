// SPDX-License-Identifier: Apache-2.0
#pragma once

// A device action made up for the tests of the action table: it asks for the configuration again and
// takes the first reply as its answer ("loaded"). A plan asks for it by "ask", the CLI has a command
// "ask" and the window a menu entry for it. Added to the process's table for good on first use: a test
// executable that uses it is its own process.

#include "datagramexchange.h"
#include "deviceactions.h"
#include "devicelist.h"
#include "outcometexts.h"
#include "tagmessage.h"

#include <array>

inline lv::ActionKind askAction()
{
    static const lv::DatagramAction datagram{
        [](const lv::DeviceRef& device, const lv::PlannedAction&) {
            return lv::configRequest(lv::addressPartOfEntry(device.raw).value_or(""), "");
        },
        [](std::string_view answer, const lv::DeviceRef&) {
            return answer.starts_with("AG") ? lv::DatagramVerdict{lv::DatagramVerdict::Kind::Final, 0}
                                            : lv::DatagramVerdict{};
        },
        300};
    static constexpr std::array meanings{lv::ActionOutcome{0, {lv::FleetResult::Loaded, false, lv::kExitDone}}};
    static const lv::ActionKind kind = [] {
        const auto added = static_cast<lv::ActionKind>(lv::deviceActions().size());
        lv::addDeviceAction(
            {added, "ask", "ask", "ask", "Ask a device for its configuration again", "&Ask Again", &datagram,
             QMetaEnum::fromType<lv::DatagramResult::Outcome>(), meanings,
             [](const lv::DatagramResult& result, lv::Audience audience, const lv::TextContext& context) {
                 if (result.outcome != lv::DatagramResult::Outcome::Answered)
                     return QStringLiteral("%1 did not answer again").arg(context.device);
                 return audience == lv::Audience::Window ? QStringLiteral("%1 answered again").arg(context.device)
                                                         : QString();
             }});
        return added;
    }();
    return kind;
}
