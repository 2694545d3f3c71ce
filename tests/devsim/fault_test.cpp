// SPDX-License-Identifier: Apache-2.0
// Fault rules of the simulated LAN: their syntax, the devices they select, what each does, and the counters.

#include "controlcommand.h"
#include "simulatedlan.h"

#include "lanhelpers.h"

#include "devicelist.h"
#include "modeltable.h"
#include "tagmessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace lv {
namespace {

using namespace lantest;

std::string update(const Device& d)
{
    return updateCommand(d.macAddressText(), d.ip(), "");
}

std::string macChange(const Device& d, std::string_view newMac)
{
    return "M " + d.macField() + "/" + std::string(newMac) + "/QuartzmoonTEST";
}

FaultRule rule(std::string_view ruleText)
{
    std::string error;
    auto parsed = parseFaultRule(ruleText, &error);
    EXPECT_TRUE(parsed.has_value()) << ruleText << ": " << error;
    return parsed.value_or(FaultRule{});
}

TEST(FaultRuleSyntax, ValidSpecsAndTheirNormalForm)
{
    const std::pair<const char*, const char*> cases[] = {
        {"silent@KR-700", "silent@KR-700"},
        {"silent", "silent@*"},
        {"late@10.0.0.1", "late:1500@10.0.0.1"},
        {"late:0@*", "late:0@*"},
        {"split:7@0.80.194.0.0.3", "split:7@0.80.194.0.0.3"},
        {"truncate", "truncate:0@*"},
        {"oversize:65507", "oversize:65507@*"},
        {"impostor:00:50:C2:AA:BB:CC@KR-7800", "impostor:00:50:C2:AA:BB:CC@KR-7800"},
        {"mac-malformed:no-cr@00-50-C2-00-00-01", "mac-malformed:no-cr@00-50-C2-00-00-01"},
        {"mac-first", "mac-first:2@*"},
        {"silent@KR-700#1", "silent@KR-700#1"},
        {"split:3#20", "split:3@*#20"},
        {"ignore-field:SIOBaud@KR-700", "ignore-field:SIOBaud@KR-700"},
        {"restart", "restart:2000@*"},
        {"restart:0@10.0.0.1#1", "restart:0@10.0.0.1#1"},
        {"search-late", "search-late:400@*"},
        {"twin:near-answer@KR-700", "twin:near-answer@KR-700"},
        {"pieces", "pieces@*"},
        {"pieces:2,1@KR-700", "pieces:2,1@KR-700"},
    };
    for (const auto& [ruleText, normal] : cases)
        EXPECT_EQ(rule(ruleText).ruleText(), normal) << ruleText;
}

TEST(FaultRuleSyntax, InvalidSpecsAreRefusedWithAReason)
{
    for (const char* ruleText : {"",
                                 "quiet@KR-700",
                                 "silent@",
                                 "silent:3@KR-700",
                                 "late:-1",
                                 "late:soon",
                                 "split:0",
                                 "split:",
                                 "oversize:65508",
                                 "mac-first:1",
                                 "mac-malformed:garbled",
                                 "Silent@KR-700",
                                 "late:15x@*",
                                 "silent#0",
                                 "silent@KR-700#",
                                 "silent#x",
                                 "silent#-1",
                                 "ignore-field",
                                 "ignore-field:",
                                 "ignore-field@KR-700",
                                 "restart:-5",
                                 "restart:600001",
                                 "restart:later",
                                 "pieces:1",
                                 "pieces:1,3",
                                 "pieces:1,,2"}) {
        std::string error;
        EXPECT_FALSE(parseFaultRule(ruleText, &error).has_value()) << ruleText;
        EXPECT_FALSE(error.empty()) << ruleText;
    }
}

TEST(FaultRuleSelector, NamesDevicesByModelMacOrIp)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[5];
    std::string lowerMac = d.macAddressText();
    for (char& c : lowerMac)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string dashed = d.macAddressText();
    std::replace(dashed.begin(), dashed.end(), ':', '-');
    for (const std::string& selector : {d.model, d.macField(), d.macAddressText(), lowerMac, dashed, d.ip()}) {
        FaultRule r = rule("silent@" + selector);
        int named = 0;
        for (const Device& other : lan.devices())
            named += r.appliesTo(other) ? 1 : 0;
        EXPECT_TRUE(r.appliesTo(d)) << selector;
        EXPECT_EQ(named, 1) << selector;
    }
    FaultRule all = rule("silent");
    for (const Device& other : lan.devices())
        EXPECT_TRUE(all.appliesTo(other));
    EXPECT_FALSE(rule("silent@KR-70").appliesTo(lan.devices()[0]));
}

// One device with the fault, its neighbour without: what the faulty one does, and that the other is untouched.
class FaultEffect : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_target = m_lan.devices()[kTarget];
        m_reference = joined(m_lan.handleDatagram(getRequest(m_target)));
    }
    void apply(std::string_view ruleText) { m_lan.addFault(rule(std::string(ruleText) + "@" + m_target.macField())); }
    void expectBystanderUntouched()
    {
        const Device& other = m_lan.devices()[kTarget + 1];
        const auto out = m_lan.handleDatagram(getRequest(other));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].delayMs, 0);
        EXPECT_TRUE(replyHoldsMac(out[0].bytes));
        EXPECT_EQ(GetTagValue(out[0].bytes, "MacAddress").value, other.macAddressText());
        EXPECT_EQ(m_lan.handleDatagram(update(other)).size(), 1u);
    }
    long long fired() const { return m_lan.faults().back().fired; }

    static constexpr std::size_t kTarget = 13; // KR-7700, a multi-port device
    SimulatedLan m_lan;
    Device m_target;
    std::string m_reference;
};

TEST_F(FaultEffect, SilentAnswersNothingAndAppliesNothing)
{
    apply("silent");
    EXPECT_TRUE(m_lan.handleDatagram(getRequest(m_target)).empty());
    const DeviceHeader h = m_target.header();
    m_lan.handleDatagram(assembleSetCommand(h.mac, h.ip, h.password, HeaderExtra::Nul, {{"krDeviceID", "Z", ""}}));
    EXPECT_EQ(m_lan.devices()[kTarget].deviceId(), m_target.deviceId());
    EXPECT_TRUE(m_lan.handleDatagram(update(m_target)).empty());
    EXPECT_TRUE(m_lan.handleDatagram(macChange(m_target, "0.80.194.7.7.7")).empty());
    EXPECT_EQ(m_lan.devices()[kTarget].macField(), m_target.macField());
    EXPECT_EQ(m_lan.handleDatagram(kSearchProbe).size(), m_lan.devices().size()); // it still answers the search
    EXPECT_EQ(fired(), 4);
    const CommandCounts& c = m_lan.devices()[kTarget].counts;
    EXPECT_EQ(c.config, 2); // one in SetUp
    EXPECT_EQ(c.set, 1);
    EXPECT_EQ(c.update, 1);
    EXPECT_EQ(c.mac, 1);
    EXPECT_EQ(c.search, 1);
    expectBystanderUntouched();
}

TEST_F(FaultEffect, LateDelaysEveryAnswerButTheSearch)
{
    apply("late");
    for (const std::string& command : {getRequest(m_target), update(m_target), macChange(m_target, "0.80.194.7.7.7")}) {
        const auto out = m_lan.handleDatagram(command);
        ASSERT_FALSE(out.empty()) << command;
        for (const Outgoing& o : out)
            EXPECT_EQ(o.delayMs, 1500) << command;
    }
    for (const Outgoing& o : m_lan.handleDatagram(kSearchProbe))
        EXPECT_EQ(o.delayMs, 0);
    expectBystanderUntouched();
}

TEST_F(FaultEffect, SplitRepeatAndMacFirstKeepTheReplyText)
{
    apply("split:5");
    auto out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(joined(out), m_reference);
    for (std::size_t k = 0; k + 1 < out.size(); ++k)
        EXPECT_FALSE(replyHoldsMac(out[k].bytes)) << k;

    m_lan.clearFaults();
    apply("repeat:3");
    out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 3u);
    for (const Outgoing& o : out)
        EXPECT_EQ(o.bytes, m_reference);
    int copies = 0;
    for (const Outgoing& o : m_lan.handleDatagram(kSearchProbe))
        copies += o.bytes == m_target.searchAnswer() ? 1 : 0;
    EXPECT_EQ(copies, 3);

    m_lan.clearFaults();
    apply("mac-first:3");
    out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_TRUE(replyHoldsMac(out[0].bytes));
    EXPECT_EQ(out[0].bytes.find('<'), std::string::npos) << out[0].bytes; // no item before the marker
    EXPECT_EQ(out[0].delayMs, 0);
    EXPECT_EQ(out[1].delayMs, 100); // so that the marker is read on its own
    EXPECT_EQ(out[2].delayMs, 200);
    const std::string all = joined(out);
    EXPECT_EQ(GetTagValue(all, "krIP").value, m_target.ip());
    EXPECT_EQ(GetTagValue(all, "COM1_Baud").value, m_target.setting("COM1_Baud"));
    EXPECT_EQ(readModelVersion(all).model, m_target.model);

    // Cut between items (each piece but the first starts one) and sent 1, 3, 2.
    m_lan.clearFaults();
    apply("pieces");
    out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].bytes + out[2].bytes + out[1].bytes, m_reference);
    EXPECT_EQ(std::string() + out[2].bytes.front() + out[1].bytes.front(), "<<");
    expectBystanderUntouched();
}

TEST_F(FaultEffect, TruncatedRepliesNeverComplete)
{
    apply("truncate");
    std::string reply = joined(m_lan.handleDatagram(getRequest(m_target)));
    EXPECT_FALSE(replyHoldsMac(reply));
    EXPECT_EQ(m_reference.substr(0, reply.size()), reply);
    EXPECT_GT(reply.size(), 100u);
    EXPECT_FALSE(replyHoldsMac(joined(m_lan.handleDatagram(update(m_target)))));

    m_lan.clearFaults();
    apply("truncate:40");
    apply("split:3");
    reply = joined(m_lan.handleDatagram(getRequest(m_target)));
    EXPECT_EQ(reply, m_reference.substr(0, 40));
    expectBystanderUntouched();
}

TEST_F(FaultEffect, OversizedAnswersKeepTheirValues)
{
    apply("oversize");
    auto out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes.size(), 65000u);
    for (const auto& [tag, value] : m_target.settings)
        EXPECT_EQ(GetTagValue(out[0].bytes, tag).value, value) << tag;
    EXPECT_EQ(readModelVersion(out[0].bytes).model, m_target.model);
    const auto u = m_lan.handleDatagram(update(m_target));
    ASSERT_EQ(u.size(), 1u);
    EXPECT_EQ(u[0].bytes.size(), 65000u);
    EXPECT_TRUE(replyHoldsMac(u[0].bytes));

    apply("oversize-search:65507");
    const auto search = m_lan.handleDatagram(kSearchProbe);
    EXPECT_EQ(search[kTarget].bytes.size(), 65507u);
    const auto parsed = parseSearchReply(search[kTarget].bytes);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->macField, m_target.macField());
    EXPECT_EQ(parsed->ip, m_target.ip());
    EXPECT_EQ(search[kTarget + 1].bytes, m_lan.devices()[kTarget + 1].searchAnswer());
    expectBystanderUntouched();
}

TEST_F(FaultEffect, ImpostorAndHijackNameAnotherDevice)
{
    apply("impostor");
    std::string reply = joined(m_lan.handleDatagram(getRequest(m_target)));
    EXPECT_EQ(GetTagValue(reply, "MacAddress").value, m_lan.devices()[kTarget + 1].macAddressText());
    m_lan.clearFaults();
    apply("impostor:00-11-22-33-44-55");
    reply = joined(m_lan.handleDatagram(getRequest(m_target)));
    EXPECT_EQ(GetTagValue(reply, "MacAddress").value, "00-11-22-33-44-55");

    m_lan.clearFaults();
    apply("hijack");
    const Device& other = m_lan.devices()[2];
    const auto out = m_lan.handleDatagram(getRequest(other));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(GetTagValue(out[0].bytes, "MacAddress").value, m_target.macAddressText()); // the hijacker first
    EXPECT_EQ(GetTagValue(out[1].bytes, "MacAddress").value, other.macAddressText());
    EXPECT_EQ(m_lan.handleDatagram(getRequest(m_target)).size(), 1u); // asked itself, it answers once
    EXPECT_EQ(m_lan.handleDatagram(configRequest("0.80.194.250.250.250/10.250.0.1/", "")).size(), 1u);
    EXPECT_EQ(fired(), 2);
}

TEST_F(FaultEffect, JunkComesFirstAndNeverLooksLikeAReply)
{
    apply("junk");
    auto out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, "?");
    EXPECT_EQ(out[1].bytes, m_reference);
    out = m_lan.handleDatagram(update(m_target));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, "?");

    m_lan.clearFaults();
    apply("junk:65000");
    out = m_lan.handleDatagram(getRequest(m_target));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes.size(), 65000u);
    EXPECT_NE(out[0].bytes.front(), 'A');
    EXPECT_FALSE(replyHoldsMac(out[0].bytes));
    expectBystanderUntouched();
}

TEST_F(FaultEffect, NoUpdateAndMacSilentTouchOnlyTheirCommand)
{
    apply("no-update");
    EXPECT_TRUE(m_lan.handleDatagram(update(m_target)).empty());
    EXPECT_EQ(m_lan.handleDatagram(getRequest(m_target)).size(), 1u);
    apply("mac-silent");
    EXPECT_TRUE(m_lan.handleDatagram(macChange(m_target, "0.80.194.7.7.7")).empty());
    EXPECT_EQ(m_lan.devices()[kTarget].macField(), m_target.macField());
    EXPECT_EQ(m_lan.handleDatagram(getRequest(m_target)).size(), 1u);
    expectBystanderUntouched();
}

// A set command for the target carrying `items` as tag and value.
std::string setFor(const Device& d, const std::vector<std::pair<std::string, std::string>>& items)
{
    std::vector<FieldChange> fields;
    for (const auto& [tag, value] : items)
        fields.push_back({tag, value, ""});
    const DeviceHeader h = d.header();
    return assembleSetCommand(h.mac, h.ip, h.password, HeaderExtra::Nul, fields);
}

TEST_F(FaultEffect, IgnoreFieldKeepsOnlyItsItemAndAnswersAsUsual)
{
    const std::string tag = m_target.deviceIdTag();
    const std::string other = m_target.ipTag();
    apply("ignore-field:" + tag);
    m_lan.handleDatagram(setFor(m_target, {{tag, "KEPT?"}, {other, "10.9.8.7"}}));
    const Device& now = m_lan.devices()[kTarget];
    EXPECT_EQ(now.deviceId(), m_target.deviceId());
    EXPECT_EQ(now.ip(), "10.9.8.7");
    EXPECT_EQ(fired(), 1);
    // The "U " is answered and the reply reports the kept value: nothing on the wire gives the fault away.
    Device renamed = now;
    EXPECT_EQ(texts(m_lan.handleDatagram(update(renamed))), std::vector<std::string>{"AU MAC OK"});
    const auto reply = m_lan.handleDatagram(getRequest(renamed));
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(GetTagValue(reply[0].bytes, tag).value, m_target.deviceId());
    expectBystanderUntouched();
}

TEST(FaultRules, IgnoreFieldRulesOfOneDeviceEachKeepTheirItem)
{
    SimulatedLan lan;
    const Device d = lan.devices()[0];
    lan.addFault(rule("ignore-field:" + d.deviceIdTag() + "@" + d.model));
    lan.addFault(rule("ignore-field:NoSuchTag@" + d.model));
    lan.addFault(rule("ignore-field:" + d.ipTag() + "@" + d.model));
    lan.handleDatagram(setFor(d, {{d.deviceIdTag(), "NEWID"}, {d.ipTag(), "10.9.8.7"}}));
    EXPECT_EQ(lan.devices()[0].deviceId(), d.deviceId());
    EXPECT_EQ(lan.devices()[0].ip(), d.ip());
    EXPECT_EQ(lan.faults()[0].fired, 1);
    EXPECT_EQ(lan.faults()[1].fired, 0);
    EXPECT_EQ(lan.faults()[2].fired, 1);
}

struct RestartCase {
    const char* rule;
    long long askedAfterMs; // after the "U " command
    bool answered;
};

class RestartFault : public ::testing::TestWithParam<RestartCase> {};

TEST_P(RestartFault, NoConfigurationReplyWhileRestarting)
{
    SimulatedLan lan;
    long long now = 1000000;
    lan.setClock([&now] { return now; });
    const Device d = lan.devices()[0];
    lan.addFault(rule(std::string(GetParam().rule) + "@" + d.model));
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), 1u); // before any "U ", it answers
    EXPECT_EQ(texts(lan.handleDatagram(update(d))), std::vector<std::string>{"AU MAC OK"});
    now += GetParam().askedAfterMs;
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), GetParam().answered ? 1u : 0u);
    EXPECT_EQ(lan.devices()[0].counts.config, 2);
    // Its neighbour never restarted.
    EXPECT_EQ(lan.handleDatagram(getRequest(lan.devices()[1])).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Times, RestartFault,
                         ::testing::Values(RestartCase{"restart", 0, false}, RestartCase{"restart", 1999, false},
                                           RestartCase{"restart", 2000, true}, RestartCase{"restart:500", 499, false},
                                           RestartCase{"restart:500", 500, true}, RestartCase{"restart:0", 0, true}));

struct MalformedCase {
    const char* which;
    const char* reply; // with {old} for the old MAC field
};

class MacReplyMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MacReplyMalformed, TheMacChangesButTheReplyIsBroken)
{
    SimulatedLan lan;
    const Device before = lan.devices()[4];
    lan.addFault(rule(std::string("mac-malformed:") + GetParam().which + "@" + before.model));
    const auto out = lan.handleDatagram(macChange(before, "0.80.194.7.7.7"));
    ASSERT_EQ(out.size(), 1u);
    std::string expected = GetParam().reply;
    expected.replace(expected.find("{old}"), 5, before.macField());
    EXPECT_EQ(out[0].bytes, expected);
    EXPECT_EQ(lan.devices()[4].macField(), "0.80.194.7.7.7");
}

INSTANTIATE_TEST_SUITE_P(Kinds, MacReplyMalformed,
                         ::testing::Values(MalformedCase{"no-marker", "AOld MAC: {old}\r\n0.80.194.7.7.7\r"},
                                           MalformedCase{"no-cr", "AOld MAC: {old}\r\nNew MAC: 0.80.194.7.7.7"},
                                           MalformedCase{"bad-value", "AOld MAC: {old}\r\nNew MAC: 0.80.194.7.7\r"}),
                         [](const auto& param) {
                             std::string name = param.param.which;
                             std::erase(name, '-');
                             return name;
                         });

TEST(FaultRules, NewestRuleOfAKindDecidesAndClearTakesTheNormalForm)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[0];
    lan.addFault(rule("split:2"));
    lan.addFault(rule("split:4@KR-700"));
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), 4u);
    EXPECT_EQ(lan.handleDatagram(getRequest(lan.devices()[1])).size(), 2u);
    EXPECT_EQ(lan.clearFaults("split:4@KR-700"), 1u);
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), 2u);
    EXPECT_EQ(lan.clearFaults("split@*"), 1u); // "split" is "split:2"
    EXPECT_EQ(lan.clearFaults("split@*"), 0u);
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), 1u);
}

TEST(FaultRules, ACountedRuleStopsAfterItFired)
{
    SimulatedLan lan;
    const Device& d = lan.devices()[0];
    lan.addFault(rule("split:3@KR-700"));
    lan.addFault(rule("silent@KR-700#2"));
    EXPECT_TRUE(lan.handleDatagram(getRequest(d)).empty());
    EXPECT_TRUE(lan.handleDatagram(update(d)).empty());
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), 3u); // the older rule holds again
    EXPECT_EQ(lan.faults()[1].fired, 2);
    EXPECT_EQ(lan.faults()[0].fired, 1);
}

TEST(FaultRules, GlobalOptionsAreRules)
{
    LanOptions options;
    options.silent = {"KR-770A"};
    options.split = 3;
    options.noAnswerAfterSet = true;
    SimulatedLan lan(options);
    ASSERT_EQ(lan.faults().size(), 3u);
    EXPECT_EQ(lan.faults()[0].ruleText(), "silent@KR-770A");
    EXPECT_EQ(lan.faults()[1].ruleText(), "split:3@*");
    EXPECT_EQ(lan.faults()[2].ruleText(), "no-update@*");
}

TEST(ControlCommands, FaultCountsResetAndClear)
{
    SimulatedLan lan;
    EXPECT_EQ(runControlCommand(lan, "fault silent@KR-700 late:2000@PL-770A").output,
              "ok fault silent@KR-700\nok fault late:2000@PL-770A\nend\n");
    // One bad rule adds none.
    EXPECT_EQ(runControlCommand(lan, "fault junk@KR-700 nonsense@KR-700").output.substr(0, 6), "error ");
    EXPECT_EQ(lan.faults().size(), 2u);

    const Device& d = lan.devices()[0];
    lan.handleDatagram(getRequest(d));
    lan.handleDatagram(getRequest(d));
    lan.handleDatagram(kSearchProbe);
    const std::string counts = runControlCommand(lan, "counts").output;
    EXPECT_NE(counts.find("fault silent@KR-700 fired 2\n"), std::string::npos) << counts;
    EXPECT_NE(counts.find("fault late:2000@PL-770A fired 0\n"), std::string::npos) << counts;
    EXPECT_NE(counts.find("device " + d.macField() + " KR-700 " + d.ip() + " search=1 G=2 S=0 U=0 M=0\n"),
              std::string::npos)
        << counts;
    EXPECT_EQ(counts.substr(counts.size() - 4), "end\n");

    EXPECT_EQ(runControlCommand(lan, "reset").output, "ok reset\nend\n");
    EXPECT_EQ(runControlCommand(lan, "counts").output,
              "fault silent@KR-700 fired 0\nfault late:2000@PL-770A fired 0\nend\n");
    EXPECT_EQ(runControlCommand(lan, "clear late:2000@PL-770A").output, "ok cleared 1\nend\n");
    EXPECT_EQ(runControlCommand(lan, "faults").output, "fault silent@KR-700 fired 0\nend\n");
    EXPECT_EQ(runControlCommand(lan, "clear").output, "ok cleared 1\nend\n");
    EXPECT_EQ(lan.handleDatagram(getRequest(d)).size(), 1u);

    EXPECT_TRUE(runControlCommand(lan, "quit").quit);
    EXPECT_FALSE(runControlCommand(lan, "counts").quit);
    for (const char* bad : {"fault", "counts now", "clear a b", "launch"})
        EXPECT_EQ(runControlCommand(lan, bad).output.substr(0, 6), "error ") << bad;
    EXPECT_EQ(runControlCommand(lan, "   ").output, "end\n");
}

} // namespace
} // namespace lv
