// SPDX-License-Identifier: Apache-2.0
#pragma once

// Small helpers of the simulated-LAN tests: commands for a device and the text of its answers.

#include "simulatedlan.h"

#include "tagmessage.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace lv::lantest {

inline std::vector<std::string> texts(const std::vector<Outgoing>& out)
{
    std::vector<std::string> result;
    for (const Outgoing& o : out)
        result.push_back(o.bytes);
    return result;
}

// The datagrams of an answer joined, as the tool's reply buffer gathers them.
inline std::string joined(const std::vector<Outgoing>& out)
{
    std::string all;
    for (const Outgoing& o : out)
        all += o.bytes;
    return all;
}

inline std::string getRequest(const Device& d, std::string_view password = {})
{
    return configRequest(d.macField() + "/" + d.ip() + "/", password);
}

inline std::size_t indexOfModel(const SimulatedLan& lan, std::string_view model)
{
    for (std::size_t i = 0; i < lan.devices().size(); ++i)
        if (lan.devices()[i].model == model)
            return i;
    ADD_FAILURE() << "no device of model " << model;
    return 0;
}

} // namespace lv::lantest
