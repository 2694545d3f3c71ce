// SPDX-License-Identifier: Apache-2.0
// The simulated LAN without sockets: search answers, configuration replies, set and "U " commands,
// misbehaviour and the MAC change, each datagram handed to it directly.

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

TEST(SimulatedLanSearch, ProbeGetsOneParsableAnswerPerDevice)
{
    SimulatedLan lan;
    const auto answers = texts(lan.handleDatagram(kSearchProbe));
    ASSERT_EQ(answers.size(), 21u);
    std::set<std::string> macs, ips;
    std::set<std::size_t> ipLengths;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const auto reply = parseSearchReply(answers[i]);
        ASSERT_TRUE(reply.has_value()) << answers[i];
        EXPECT_EQ(answers[i].back(), '\r');
        EXPECT_EQ(reply->macField, lan.devices()[i].macField());
        EXPECT_EQ(reply->ip, lan.devices()[i].ip());
        EXPECT_EQ(reply->deviceId, lan.devices()[i].deviceId());
        EXPECT_FALSE(reply->deviceId.empty());
        EXPECT_LE(reply->ip.size(), 15u);
        macs.insert(reply->macField);
        ips.insert(reply->ip);
        ipLengths.insert(reply->ip.size());
    }
    EXPECT_EQ(macs.size(), 21u);
    EXPECT_EQ(ips.size(), 21u);
    EXPECT_GE(ipLengths.size(), 3u);
}

TEST(SimulatedLanSearch, OnlyTheExactProbeIsAnswered)
{
    SimulatedLan lan;
    for (std::string_view near : {"X 99.130.83.9", "X 99.130.83.990", "x 99.130.83.99", ""})
        EXPECT_TRUE(lan.handleDatagram(near).empty()) << near;
    EXPECT_TRUE(lan.handleDatagram(std::string("X 99.130.83.99\0", 15)).empty());
}

TEST(SimulatedLanSearch, ManyDevicesAreDistinct)
{
    LanOptions options;
    options.deviceCount = 10000;
    SimulatedLan lan(options);
    std::set<std::string> macs, ips;
    for (const Device& d : lan.devices()) {
        macs.insert(d.macField());
        ips.insert(d.ip());
        ASSERT_TRUE(parseSearchReply(d.searchAnswer()).has_value()) << d.searchAnswer();
    }
    EXPECT_EQ(macs.size(), 10000u);
    EXPECT_EQ(ips.size(), 10000u);
    EXPECT_EQ(lan.devices()[21].model, lan.devices()[0].model);
}

TEST(SimulatedLanSearch, RepeatJitterAndMalformedAnswers)
{
    LanOptions options;
    options.repeat = 3;
    options.jitterMs = 50;
    options.malformed = true;
    SimulatedLan lan(options);
    const auto out = lan.handleDatagram(kSearchProbe);
    ASSERT_EQ(out.size(), 21u * 3 + 4);
    int parsed = 0;
    std::set<int> delays;
    for (const Outgoing& o : out) {
        EXPECT_GE(o.delayMs, 0);
        EXPECT_LE(o.delayMs, 50);
        delays.insert(o.delayMs);
        parsed += parseSearchReply(o.bytes).has_value() ? 1 : 0;
    }
    EXPECT_EQ(parsed, 63); // none of the malformed four parses
    EXPECT_GT(delays.size(), 5u);
}

struct ModelCase {
    const char* model;
    const char* window;  // what the tool opens for the reply
    const char* carries; // whose fields the reply carries
};

class SimulatedLanConfig : public ::testing::TestWithParam<ModelCase> {};

TEST_P(SimulatedLanConfig, ReplyNamesModelVersionAndEveryTagOfItsWindow)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[indexOfModel(lan, GetParam().model)];
    const auto out = texts(lan.handleDatagram(getRequest(d, "")));
    ASSERT_EQ(out.size(), 1u);
    const std::string& reply = out[0];
    EXPECT_EQ(reply.front(), 'A');
    EXPECT_TRUE(replyHoldsMac(reply));
    const ModelVersion mv = readModelVersion(reply);
    EXPECT_EQ(mv.model, d.model);
    EXPECT_EQ(mv.version, d.version);
    EXPECT_EQ(dispatchModel(mv.model).window, GetParam().window);

    EXPECT_EQ(GetTagValue(reply, "MacAddress").value, d.macAddressText());
    const WindowDef* window = findWindow(GetParam().carries);
    ASSERT_NE(window, nullptr);
    for (const FieldDef& field : window->fields) {
        if (field.tag.empty())
            continue;
        const TagValue v = GetTagValue(reply, field.tag);
        EXPECT_TRUE(v.present) << field.tag;
        if (field.kind == ControlKind::ComboBox) {
            const int index = std::stoi(v.value);
            EXPECT_GE(index, 0) << field.tag;
            EXPECT_LT(index, static_cast<int>(field.entries.size())) << field.tag;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllModels, SimulatedLanConfig,
    ::testing::Values(
        ModelCase{"KR-700", "frmSetup", "frmSetup"}, ModelCase{"PL-770A", "frmSetupPL700A", "frmSetupPL700A"},
        ModelCase{"KR-770A", "frmSetupKr770A", "frmSetupKr770A"},
        ModelCase{"KR787A", "frmSetupKr787A", "frmSetupKr787A"}, ModelCase{"KR788A", "", "frmSetupKr787A"},
        ModelCase{"KR789A", "", "frmSetupKr787A"}, ModelCase{"PL-780A", "frmSetupPL780A", "frmSetupPL780A"},
        ModelCase{"KR-780A", "frmSetupPL780A", "frmSetupPL780A"},
        ModelCase{"PL-778A", "frmSetupPl778", "frmSetupPl778"}, ModelCase{"DN-680A", "frmSetupDn680", "frmSetupDn680"},
        ModelCase{"DN-687A", "frmSetupDn687", "frmSetupDn687"}, ModelCase{"DN-690A", "frmSetupDn690", "frmSetupDn690"},
        ModelCase{"NDQ-770", "frmSetupNDQ770", "frmSetupNDQ770"},
        ModelCase{"KR-7700", "Frm1PortSetup", "Frm1PortSetup"}, ModelCase{"KR-7800", "frm2PortSetup", "frm2PortSetup"},
        ModelCase{"KR-7900", "frm3PortSetup", "frm3PortSetup"}, ModelCase{"KR-7600", "frm4PortSetup", "frm4PortSetup"},
        ModelCase{"KR-7700A", "frmKR7700ASetup", "frmKR7700ASetup"},
        ModelCase{"KR-7800A", "frmKR7800ASetup", "frmKR7800ASetup"},
        ModelCase{"KR-7900A", "frmKR7900ASetup", "frmKR7900ASetup"},
        ModelCase{"KR-7600A", "frmKR7600ASetup", "frmKR7600ASetup"}),
    [](const auto& param) {
        std::string name = param.param.model;
        std::erase(name, '-');
        return name;
    });

TEST(SimulatedLanConfigRequest, OnlyTheNamedDeviceWithItsPasswordAnswers)
{
    LanOptions options;
    options.password = "s3cret";
    SimulatedLan lan(options);
    const Device& d = lan.devices()[3];
    const Device& other = lan.devices()[4];
    EXPECT_TRUE(lan.handleDatagram(getRequest(d, "")).empty());
    EXPECT_TRUE(lan.handleDatagram(getRequest(d, "s3cre")).empty());
    EXPECT_TRUE(lan.handleDatagram(getRequest(d, "s3cret!")).empty());
    EXPECT_TRUE(lan.handleDatagram(configRequest(d.macField() + "/" + other.ip() + "/", "s3cret")).empty());
    EXPECT_TRUE(lan.handleDatagram(configRequest(other.macField() + "/" + d.ip() + "/", "s3cret")).empty());
    const auto out = texts(lan.handleDatagram(getRequest(d, "s3cret")));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(GetTagValue(out[0], "MacAddress").value, d.macAddressText());
}

class SimulatedLanSplit : public ::testing::TestWithParam<int> {};

TEST_P(SimulatedLanSplit, PiecesJoinToTheWholeReplyAndOnlyTheLastHoldsMac)
{
    const int parts = GetParam();
    SimulatedLan whole;
    LanOptions options;
    options.split = parts;
    options.delayMs = 40;
    SimulatedLan split(options);
    for (std::size_t i = 0; i < whole.devices().size(); ++i) {
        const std::string request = getRequest(whole.devices()[i], "");
        const std::string reference = joined(whole.handleDatagram(request));
        const auto out = split.handleDatagram(request);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(parts)) << whole.devices()[i].model;
        EXPECT_EQ(joined(out), reference);
        for (std::size_t k = 0; k < out.size(); ++k) {
            EXPECT_EQ(out[k].delayMs, 40);
            EXPECT_FALSE(out[k].bytes.empty());
            EXPECT_EQ(replyHoldsMac(out[k].bytes), k + 1 == out.size()) << k << ": " << out[k].bytes;
            if (k + 1 < out.size()) { // the cut falls inside an item, not between two
                const std::string& next = out[k + 1].bytes;
                EXPECT_FALSE(out[k].bytes.back() == '>' && next.front() == '<' && next.substr(0, 2) != "</")
                    << out[k].bytes;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Parts, SimulatedLanSplit, ::testing::Values(2, 3, 7));

TEST(SimulatedLanSplit, ValueHoldingMacStillCompletesOnlyAtTheEnd)
{
    LanOptions options;
    options.split = 4;
    SimulatedLan lan(options);
    Device& d = lan.device(0);
    d.setSetting("DeviceID", "MACHINE-1");
    const auto out = texts(lan.handleDatagram(getRequest(d, "")));
    ASSERT_EQ(out.size(), 4u);
    for (std::size_t k = 0; k + 1 < out.size(); ++k)
        EXPECT_FALSE(replyHoldsMac(out[k])) << out[k];
    std::string all;
    for (const auto& piece : out)
        all += piece;
    EXPECT_EQ(GetTagValue(all, "DeviceID").value, "MACHINE-1");
}

TEST(SimulatedLanSet, NewIpShowsInSearchAndOldHeaderStillNamesTheDevice)
{
    SimulatedLan lan;
    const std::size_t i = indexOfModel(lan, "KR-770A");
    const DeviceHeader old = lan.devices()[i].header();
    const std::string set = assembleSetCommand(old.mac, old.ip, old.password, HeaderExtra::None,
                                               {{"IPAddress", "10.1.2.3", old.ip},
                                                {"DeviceID", "NEW-ID", "x"},
                                                {"SIOBaud", "9", "5"},
                                                {"HostIP", "1.2.3.4/5<6", ""}});
    EXPECT_TRUE(lan.handleDatagram(set).empty());
    const Device& d = lan.devices()[i];
    EXPECT_EQ(d.ip(), "10.1.2.3");
    EXPECT_EQ(d.setting("SIOBaud"), "9");
    EXPECT_EQ(d.setting("HostIP"), "1.2.3.4/5<6");
    EXPECT_EQ(d.lastSetCommand, set);

    const auto search = texts(lan.handleDatagram(kSearchProbe));
    EXPECT_EQ(search[i], "AX " + d.macField() + "/10.1.2.3/NEW-ID\r");

    for (int k = 0; k < 3; ++k) // every "U " is answered
        EXPECT_EQ(texts(lan.handleDatagram(updateCommand(old.mac, old.ip, old.password))),
                  std::vector<std::string>{"AU MAC OK"});
    EXPECT_EQ(lan.handleDatagram(updateCommand(old.mac, "10.1.2.3", old.password)).size(), 1u);
    EXPECT_TRUE(lan.handleDatagram(updateCommand(old.mac, "10.1.2.4", old.password)).empty());

    EXPECT_TRUE(lan.handleDatagram(configRequest(d.macField() + "/" + old.ip + "/", "")).empty());
    const std::string reply = joined(lan.handleDatagram(getRequest(d, "")));
    EXPECT_EQ(GetTagValue(reply, "IPAddress").value, "10.1.2.3");
    EXPECT_EQ(GetTagValue(reply, "DeviceID").value, "NEW-ID");
}

TEST(SimulatedLanSet, WrongHeaderChangesNothing)
{
    SimulatedLan lan;
    const Device before = lan.devices()[1];
    const DeviceHeader h = before.header();
    for (const std::string& set :
         {assembleSetCommand(h.mac, h.ip, "nope", HeaderExtra::None, {{"DeviceID", "X", ""}}),
          assembleSetCommand(before.macField(), h.ip, h.password, HeaderExtra::None, {{"DeviceID", "X", ""}}),
          assembleSetCommand(h.mac, "10.9.9.9", h.password, HeaderExtra::None, {{"DeviceID", "X", ""}})}) {
        lan.handleDatagram(set);
        EXPECT_EQ(lan.devices()[1].settings, before.settings) << set;
        EXPECT_TRUE(lan.handleDatagram("U " + h.mac + "/" + h.ip + "/nope").empty());
    }
}

TEST(SimulatedLanSet, MultiPortHeaderEndsWithNul)
{
    LanOptions options;
    options.password = "pw";
    SimulatedLan lan(options);
    const std::size_t i = indexOfModel(lan, "KR-7800A");
    const DeviceHeader h = lan.devices()[i].header();
    const std::string set =
        assembleSetCommand(h.mac, h.ip, h.password, HeaderExtra::Nul,
                           {{"krPassword", "newpw", "pw"}, {"COM2_Baud", "9", "0"}, {"VendorExtra", "kept", ""}});
    ASSERT_NE(set.find('\0'), std::string::npos);
    lan.handleDatagram(set);
    const Device& d = lan.devices()[i];
    EXPECT_EQ(d.password(), "newpw");
    EXPECT_EQ(d.setting("COM2_Baud"), "9");
    // The "U " after the set still carries the password the tool loaded.
    EXPECT_EQ(lan.handleDatagram(updateCommand(h.mac, h.ip, "pw")).size(), 1u);
    EXPECT_TRUE(lan.handleDatagram(getRequest(d, "pw")).empty());
    const std::string reply = joined(lan.handleDatagram(getRequest(d, "newpw")));
    EXPECT_EQ(GetTagValue(reply, "VendorExtra").value, "kept");
    EXPECT_EQ(GetTagValue(reply, "krPassword").value, "newpw");
}

TEST(SimulatedLanSet, Pl778HeaderHasAnEmptyFourthField)
{
    SimulatedLan lan;
    const std::size_t i = indexOfModel(lan, "PL-778A");
    const DeviceHeader h = lan.devices()[i].header();
    const std::string set = assembleSetCommand(h.mac, h.ip, h.password, HeaderExtra::Slash,
                                               {{"COM1_Modbus", "1", "0"}, {"DIOSocketPort", "250", "0"}});
    lan.handleDatagram(set);
    EXPECT_EQ(lan.devices()[i].setting("COM1_Modbus"), "1");
    EXPECT_EQ(lan.devices()[i].setting("DIOSocketPort"), "250");
    EXPECT_EQ(lan.devices()[i].lastSetCommand, set);
    // A header alone, extra "/" included, is accepted too and then named by U.
    const std::string bare = assembleSetCommand(h.mac, h.ip, h.password, HeaderExtra::Slash, {});
    lan.handleDatagram(bare);
    EXPECT_EQ(lan.devices()[i].lastSetCommand, bare);
}

TEST(SimulatedLanMisbehaviour, SilentDevicesAndNoAnswerAfterSet)
{
    SimulatedLan reference;
    LanOptions options;
    options.silent = {"NDQ-770", reference.devices()[0].macField(), reference.devices()[5].ip()};
    SimulatedLan lan(options);
    for (std::size_t i = 0; i < lan.devices().size(); ++i) {
        const Device& d = lan.devices()[i];
        const bool silent = d.model == "NDQ-770" || i == 0 || i == 5;
        EXPECT_EQ(lan.handleDatagram(getRequest(d, "")).empty(), silent) << d.model;
        EXPECT_EQ(lan.handleDatagram(updateCommand(d.macAddressText(), d.ip(), "")).empty(), silent) << d.model;
    }
    EXPECT_EQ(lan.handleDatagram(kSearchProbe).size(), 21u);

    LanOptions mute;
    mute.noAnswerAfterSet = true;
    SimulatedLan quiet(mute);
    const DeviceHeader h = quiet.devices()[2].header();
    quiet.handleDatagram(assembleSetCommand(h.mac, h.ip, h.password, HeaderExtra::None, {{"DeviceID", "Q", ""}}));
    EXPECT_EQ(quiet.devices()[2].deviceId(), "Q");
    EXPECT_TRUE(quiet.handleDatagram(updateCommand(h.mac, h.ip, h.password)).empty());
    EXPECT_FALSE(quiet.handleDatagram(getRequest(quiet.devices()[2], "")).empty());
}

TEST(SimulatedLanMac, ChangeWithAccessCode)
{
    SimulatedLan lan;
    const std::string old = lan.devices()[7].macField();
    const std::string taken = lan.devices()[8].macField();
    EXPECT_TRUE(lan.handleDatagram("M " + old + "/0.80.194.9.9.9/quartzmoonTEST").empty());
    EXPECT_TRUE(lan.handleDatagram("M " + old + "/0.80.194.9.9/QuartzmoonTEST").empty());
    EXPECT_TRUE(lan.handleDatagram("M " + old + "/0.80.194.9.9.256/QuartzmoonTEST").empty());
    EXPECT_TRUE(lan.handleDatagram("M " + old + "/" + taken + "/QuartzmoonTEST").empty());
    EXPECT_TRUE(lan.handleDatagram("M 0.80.194.9.9.8/0.80.194.9.9.9/QuartzmoonTEST").empty());
    EXPECT_EQ(lan.devices()[7].macField(), old);

    const auto out = texts(lan.handleDatagram("M " + old + "/0.80.194.9.9.9/QuartzmoonTEST"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], "AOld MAC: " + old + "\r\nNew MAC: 0.80.194.9.9.9\r");
    EXPECT_EQ(lan.handleDatagram(kSearchProbe)[7].bytes.substr(0, 18), "AX 0.80.194.9.9.9/");
    const std::string reply = joined(lan.handleDatagram(getRequest(lan.devices()[7], "")));
    EXPECT_EQ(GetTagValue(reply, "MacAddress").value, "00:50:C2:09:09:09");
}

} // namespace
} // namespace lv
