// SPDX-License-Identifier: Apache-2.0
#pragma once

// The exchanges run to their end, as one line of a test.

#include "exchanges.h"
#include "verifyexchange.h"

namespace lv {

inline ConfigRequestResult requestConfiguration(CommandChannel& channel, const DeviceRef& device,
                                                const std::string& password, int timeoutMs = kRequestTimeoutMs)
{
    ConfigRequest request(channel, device, password, timeoutMs);
    return runExchange(request);
}

inline UpdateResult runUpdate(CommandChannel& channel, const DeviceRef& device, const UpdatePlan& plan,
                              int timeoutMs = kAnswerTimeoutMs)
{
    UpdateExchange update(channel, device, plan, timeoutMs);
    return runExchange(update);
}

} // namespace lv
