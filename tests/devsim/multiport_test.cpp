// SPDX-License-Identifier: Apache-2.0
// Multi-port devices of both families and the MAC service of every device, played by the simulated LAN.

#include "simulatedlan.h"

#include "lanhelpers.h"

#include "catalogue.h"
#include "devicelist.h"
#include "modeltable.h"
#include "tagmessage.h"

#include <gtest/gtest.h>

#include <set>

namespace lv {
namespace {

using namespace lantest;

struct MultiPortCase {
    const char* model;
    int ports;
    bool variantA;
};

class SimulatedMultiPort : public ::testing::TestWithParam<MultiPortCase> {};

TEST_P(SimulatedMultiPort, ReplyHoldsTheGeneralItemsAndExactlyItsPorts)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[indexOfModel(lan, GetParam().model)];
    EXPECT_TRUE(d.isMultiPort());
    EXPECT_EQ(d.ipTag(), "krIP");
    const std::string reply = joined(lan.handleDatagram(getRequest(d, "")));
    ASSERT_TRUE(replyHoldsMac(reply));
    const ModelDispatch dispatch = dispatchModel(readModelVersion(reply).model);
    EXPECT_EQ(dispatch.portCount, GetParam().ports);
    EXPECT_EQ(dispatch.isVariantA, GetParam().variantA);

    // The 4-port window of the family has every item a device of the family can carry.
    const WindowDef* full = findFamily(GetParam().variantA ? "KR-7x00A" : "KR-7x00")->window(4);
    ASSERT_NE(full, nullptr);
    int general = 0;
    for (const FieldDef& field : full->fields) {
        const TagValue v = GetTagValue(reply, field.tag);
        EXPECT_EQ(v.present, field.block <= GetParam().ports) << field.tag;
        if (!v.present)
            continue;
        general += field.block == 0 ? 1 : 0;
        if (field.kind == ControlKind::ComboBox) {
            const int index = std::stoi(v.value);
            EXPECT_GE(index, 0) << field.tag;
            EXPECT_LT(index, static_cast<int>(field.entries.size())) << field.tag;
        }
    }
    EXPECT_EQ(general, GetParam().variantA ? 11 : 8);
    EXPECT_EQ(GetTagValue(reply, "krIP").value, d.ip());
    EXPECT_EQ(GetTagValue(reply, "krDeviceID").value, d.deviceId());
}

TEST_P(SimulatedMultiPort, SetCommandOfItsWindowIsAppliedAndUpdateAnswered)
{
    LanOptions options;
    options.password = "pw";
    SimulatedLan lan(options);
    const std::size_t i = indexOfModel(lan, GetParam().model);
    const DeviceHeader old = lan.devices()[i].header();
    const std::string port = "COM" + std::to_string(GetParam().ports) + "_Baud";
    const std::string set = assembleSetCommand(
        old.mac, old.ip, old.password, HeaderExtra::Nul,
        {{"krIP", "10.77.0.9", old.ip}, {"krDeviceID", "MP-NEW", "x"}, {"krAccess", "acc", ""}, {port, "6", "5"}});
    EXPECT_TRUE(lan.handleDatagram(set).empty());
    const Device& d = lan.devices()[i];
    EXPECT_EQ(d.ip(), "10.77.0.9");
    EXPECT_EQ(d.setting(port), "6");
    EXPECT_EQ(d.setting("krAccess"), "acc");
    EXPECT_EQ(lan.handleDatagram(kSearchProbe)[i].bytes, "AX " + d.macField() + "/10.77.0.9/MP-NEW\r");

    // The "U " names the device as loaded, without a zero byte; a "U " with one names nobody.
    const std::vector<Outgoing> answer = lan.handleDatagram(updateCommand(old.mac, old.ip, old.password));
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_TRUE(replyHoldsMac(answer[0].bytes));
    EXPECT_TRUE(lan.handleDatagram(updateCommand(old.mac, old.ip, old.password) + '\0').empty());

    const std::string reply = joined(lan.handleDatagram(getRequest(d, "pw")));
    EXPECT_EQ(GetTagValue(reply, "krIP").value, "10.77.0.9");
    EXPECT_EQ(GetTagValue(reply, port).value, "6");
}

TEST_P(SimulatedMultiPort, SetCommandWithAWrongHeaderChangesNothing)
{
    LanOptions options;
    options.password = "pw";
    SimulatedLan lan(options);
    const std::size_t i = indexOfModel(lan, GetParam().model);
    const Device before = lan.devices()[i];
    const DeviceHeader h = before.header();
    const std::vector<FieldChange> change{{"krDeviceID", "X", ""}};
    for (const std::string& set :
         {assembleSetCommand(h.mac, h.ip, "pX", HeaderExtra::Nul, change),
          assembleSetCommand(h.mac, h.ip, "p", HeaderExtra::Nul, change),
          assembleSetCommand(h.mac, "10.250.0.1", h.password, HeaderExtra::Nul, change),
          assembleSetCommand("00:50:C2:FF:FF:FF", h.ip, h.password, HeaderExtra::Nul, change)}) {
        lan.handleDatagram(set);
        EXPECT_EQ(lan.devices()[i].settings, before.settings) << set;
    }
    EXPECT_EQ(lan.devices()[i].counts.set, 0);
}

TEST_P(SimulatedMultiPort, EachPortAnswersWithItsOwnAddressesAndThePortsShareTheirSerialSettings)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[indexOfModel(lan, GetParam().model)];
    const std::string reply = joined(lan.handleDatagram(getRequest(d, "")));
    std::set<std::string> hosts, remotePorts, localPorts;
    for (int n = 1; n <= GetParam().ports; ++n) {
        const std::string p = "COM" + std::to_string(n) + "_";
        hosts.insert(GetTagValue(reply, p + "RemoteHostIP").value);
        remotePorts.insert(GetTagValue(reply, p + "RemoteHostPort").value);
        localPorts.insert(GetTagValue(reply, p + "TCPPort").value);
        // A remote host on the device's own subnet.
        EXPECT_EQ(GetTagValue(reply, p + "RemoteHostIP").value.rfind(d.ip().substr(0, d.ip().rfind('.') + 1), 0), 0u);
        EXPECT_EQ(GetTagValue(reply, p + "ChrGap").value, "10");
    }
    const auto ports = static_cast<std::size_t>(GetParam().ports);
    EXPECT_EQ(hosts.size(), ports);
    EXPECT_EQ(remotePorts.size(), ports);
    EXPECT_EQ(localPorts.size(), ports);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, SimulatedMultiPort,
                         ::testing::Values(MultiPortCase{"KR-7700", 1, false}, MultiPortCase{"KR-7800", 2, false},
                                           MultiPortCase{"KR-7900", 3, false}, MultiPortCase{"KR-7600", 4, false},
                                           MultiPortCase{"KR-7700A", 1, true}, MultiPortCase{"KR-7800A", 2, true},
                                           MultiPortCase{"KR-7900A", 3, true}, MultiPortCase{"KR-7600A", 4, true}),
                         [](const auto& param) {
                             std::string name = param.param.model;
                             std::erase(name, '-');
                             return name;
                         });

TEST(SimulatedDevices, RolesComeFromTheWindowOfTheModel)
{
    SimulatedLan lan;
    ASSERT_EQ(lan.devices().size(), simulatedModels().size());
    for (std::size_t i = 0; i < lan.devices().size(); ++i) {
        const Device& d = lan.devices()[i];
        EXPECT_EQ(d.model, simulatedModels()[i]);
        ASSERT_NE(d.windowDef, nullptr) << d.model;
        EXPECT_EQ(d.window, d.windowDef->name);
        const ModelDispatch dispatch = dispatchModel(d.model);
        if (dispatch.windowDef) {
            EXPECT_EQ(d.windowDef, dispatch.windowDef) << d.model;
        }
        EXPECT_EQ(d.ipTag(), d.windowDef->ipTag);
        EXPECT_TRUE(d.hasSetting(d.windowDef->ipTag)) << d.model;
        EXPECT_TRUE(d.hasSetting(d.windowDef->deviceIdTag)) << d.model;
        EXPECT_TRUE(d.hasSetting(d.windowDef->passwordTag)) << d.model;
    }
}

// The MAC service: "M " + MAC field + "/" + new MAC text + "/" + access code.
std::string macCommand(const Device& d, std::string_view newMac, std::string_view code = "QuartzmoonTEST")
{
    return "M " + d.macField() + "/" + std::string(newMac) + "/" + std::string(code);
}

TEST(SimulatedMacChange, NewMacShowsInSearchRequestAndHeaders)
{
    SimulatedLan lan;
    const std::size_t i = indexOfModel(lan, "KR-7800A");
    const Device before = lan.devices()[i];
    const auto out = lan.handleDatagram(macCommand(before, "0.80.194.1.2.4"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, "AOld MAC: " + before.macField() + "\r\nNew MAC: 0.80.194.1.2.4\r");

    const Device& after = lan.devices()[i];
    EXPECT_EQ(after.macField(), "0.80.194.1.2.4");
    EXPECT_EQ(lan.handleDatagram(kSearchProbe)[i].bytes,
              "AX 0.80.194.1.2.4/" + before.ip() + "/" + before.deviceId() + "\r");
    EXPECT_TRUE(lan.handleDatagram(getRequest(before, "")).empty()); // the old MAC names nobody
    const std::string reply = joined(lan.handleDatagram(getRequest(after, "")));
    EXPECT_EQ(GetTagValue(reply, "MacAddress").value, "00:50:C2:01:02:04");
    EXPECT_EQ(lan.handleDatagram(updateCommand("00:50:C2:01:02:04", before.ip(), "")).size(), 1u);
    EXPECT_TRUE(lan.handleDatagram(updateCommand(before.macAddressText(), before.ip(), "")).empty());
    EXPECT_EQ(after.counts.mac, 1);
}

TEST(SimulatedMacChange, MalformedNewMacOrWrongCodeIsNotApplied)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[2];
    const std::string old = d.macField();
    for (const char* text :
         {"0.80.194.1.2", "0.80.194.1.2.256", "0.80.194.1.2.3.4", "0.80.194.1.2.-1", "0.80.194.1.2.+1", "0.80.194.1..2",
          "0.80.194.1.2.", " 0.80.194.1.2.3", "0.80.194.1.2.3 ", "0.80.194.1.2.0x1", "00-50-C2-01-02-04", ""}) {
        EXPECT_TRUE(lan.handleDatagram(macCommand(d, text)).empty()) << text;
        EXPECT_EQ(d.macField(), old) << text;
    }
    for (const char* code : {"quartzmoonTEST", "QuartzmoonTEST ", "QuartzmoonTES", "", "QuartzmoonTEST\r"}) {
        EXPECT_TRUE(lan.handleDatagram(macCommand(d, "0.80.194.9.9.9", code)).empty()) << code;
        EXPECT_EQ(d.macField(), old);
    }
    EXPECT_TRUE(lan.handleDatagram(macCommand(d, lan.devices()[3].macField())).empty()); // taken by another
    EXPECT_EQ(d.macField(), old);
    EXPECT_FALSE(lan.handleDatagram(macCommand(d, "0.80.194.9.9.9")).empty());
}

} // namespace
} // namespace lv
