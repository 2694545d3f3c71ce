// SPDX-License-Identifier: Apache-2.0
// The multi-port loaders and the Update plan of the multi-port windows, headless.

#include "loaders.h"
#include "replybuilder.h"
#include "setupform.h"

#include <gtest/gtest.h>

#include <string>

namespace lv {
namespace {

using test::Items;
using test::multiPortItems;
using test::replyText;
using namespace std::string_literals;

const WindowDef& window(const char* name)
{
    return *findWindow(name);
}

TEST(MultiPortLoad, ReadsThePortsOfItsCountAndKeepsTheSnapshotsOtherPorts)
{
    LoadedValues snapshot;
    Items four = multiPortItems(4, false);
    four["COM3_Baud"] = "7";
    four["COM4_ChrGap"] = "44";
    loadMultiPort(window("frm4PortSetup"), replyText(four), 4, snapshot);
    ASSERT_EQ(snapshot["COM4_ChrGap"], "44");

    const LoadResult two = loadMultiPort(window("frm4PortSetup"), replyText(multiPortItems(2, false)), 2, snapshot);
    EXPECT_EQ(two.controls.count("COM2_Baud"), 1u);
    EXPECT_EQ(two.controls.count("COM3_Baud"), 0u) << "port 3 is not read for a two-port device";
    EXPECT_EQ(snapshot["COM2_RemoteHostIP"], "10.0.1.2");
    EXPECT_EQ(snapshot["COM3_Baud"], "7") << "an earlier load's port 3 stays in the snapshot";
    EXPECT_EQ(snapshot["COM4_ChrGap"], "44");
    EXPECT_EQ(snapshot["MacAddress"], "00:50:C2:00:00:0E");
}

TEST(MultiPortLoad, OnlyTheAFamilyReadsItsThreeItems)
{
    LoadedValues snapshot;
    loadMultiPort(window("frmKR7600ASetup"), replyText(multiPortItems(1, true)), 1, snapshot);
    ASSERT_EQ(snapshot["arbtime"], "50");
    Items plain = multiPortItems(1, true);
    plain["arbtime"] = "99";
    loadMultiPort(window("frm4PortSetup"), replyText(plain), 1, snapshot);
    EXPECT_EQ(snapshot["arbtime"], "50") << "the plain family has no arbitration time";
    EXPECT_EQ(snapshot["multis"], "1");
}

struct ValueCase {
    const char* name;
    const char* tag;
    std::string value; // "<missing>" leaves the item out
    int index;         // for lists; text boxes: -2
    const char* shown; // text boxes: the text shown
};

class MultiPortValues : public ::testing::TestWithParam<ValueCase> {};

// Whatever the reply holds, the control shows something sound and the snapshot records what it shows,
// so an untouched Update never sends a value the operator did not choose.
TEST_P(MultiPortValues, ShownAsTheyCanBeAndNotSentUntouched)
{
    const ValueCase& c = GetParam();
    Items items = multiPortItems(4, true);
    if (c.value == "<missing>")
        items.erase(c.tag);
    else
        items[c.tag] = c.value;
    std::string reply = replyText(items);
    if (c.value == "<closed first>") {
        items.erase(c.tag);
        reply = "A MODEL: KR-7600A VER:1\r</"s + c.tag + "> MAC " + replyText(items).substr(1) + "<" + c.tag + ">1";
    }
    SetupForm form(window("frmKR7600ASetup"));
    form.load(reply, 4);
    const FieldDef& field = *window("frmKR7600ASetup").fieldByTag(c.tag);
    if (c.index != -2)
        EXPECT_EQ(form.value(field.control).index, c.index);
    else
        EXPECT_EQ(form.value(field.control).text, c.shown);
    EXPECT_FALSE(form.changed(field));
    EXPECT_EQ(form.plan().setCommand, "S 00:50:C2:00:00:0E/10.0.0.14/old\0"s);
}

INSTANTIATE_TEST_SUITE_P(Cases, MultiPortValues,
                         ::testing::Values(ValueCase{"ZeroIsFirstEntry", "COM1_TCPMode", "0", 0, ""},
                                           ValueCase{"BaudTenOnTenEntries", "COM1_Baud", "10", -1, ""},
                                           ValueCase{"LeadingZero", "COM2_Baud", "06", 6, ""},
                                           ValueCase{"NotANumber", "COM2_Parity", "E", -1, ""},
                                           ValueCase{"Negative", "krDHCP", "-1", -1, ""},
                                           ValueCase{"Huge", "multis", "99999999999999999999", -1, ""},
                                           ValueCase{"MissingList", "COM1_Baud", "<missing>", -1, ""},
                                           ValueCase{"ClosedBeforeOpened", "COM3_Stops", "<closed first>", -1, ""},
                                           ValueCase{"HwTypeFiveOnPortOneOfThree", "COM1_HWType", "3", -1, ""},
                                           ValueCase{"HwTypeFiveOnPortTwo", "COM2_HWType", "4", 4, ""},
                                           ValueCase{"HwTypeFiveOnPortFourOfThree", "COM4_HWType", "4", -1, ""},
                                           ValueCase{"EmptyText", "krMask", "", -2, ""},
                                           ValueCase{"MissingText", "COM4_RemoteHostIP", "<missing>", -2, ""},
                                           ValueCase{"TextAsGiven", "arbtime", " 5 0 ", -2, " 5 0 "}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MultiPortLoad, TheFirstOccurrenceCounts)
{
    SetupForm form(window("frm2PortSetup"));
    form.load(replyText(multiPortItems(2, false)) + "<krIP>9.9.9.9</krIP>", 2);
    EXPECT_EQ(form.value("IP").text, "10.0.0.14");
}

struct PlanCase {
    const char* name;
    const char* window;
    Items edits; // by tag: text, or "#N" for a list index
    std::string expectedItems;
};

class MultiPortPlan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(MultiPortPlan, HeaderNulThenChangedItemsInTheFixedOrder)
{
    const PlanCase& c = GetParam();
    const WindowDef& def = window(c.window);
    SetupForm form(def);
    form.load(replyText(multiPortItems(def.portCount, def.family->variantA)), def.portCount);
    for (const auto& [tag, value] : c.edits) {
        const FieldDef& field = *def.fieldByTag(tag);
        if (value.front() == '#')
            form.setIndex(field.control, std::stoi(value.substr(1)));
        else
            form.setText(field.control, value);
    }
    const UpdatePlan plan = form.plan();
    EXPECT_EQ(plan.setCommand, "S 00:50:C2:00:00:0E/10.0.0.14/old\0"s + c.expectedItems);
    EXPECT_EQ(plan.updateCommand, "U 00:50:C2:00:00:0E/10.0.0.14/old");
    EXPECT_EQ(plan.updateCount, 1);
    EXPECT_EQ(plan.delayMs, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MultiPortPlan,
    ::testing::Values(PlanCase{"Untouched", "frm2PortSetup", {}, ""},
                      PlanCase{"OnlyComTwoBaud", "frm2PortSetup", {{"COM2_Baud", "#6"}}, "/<COM2_Baud>6</COM2_Baud>"},
                      PlanCase{"Password", "frm2PortSetup", {{"krPassword", "new"}}, "/<krPassword>new</krPassword>"},
                      PlanCase{
                          "AccessBeforePasswordWhateverTheEditingOrder",
                          "frmKR7900ASetup",
                          {{"COM3_Modbus", "#1"},
                           {"krPassword", "p"},
                           {"uarttimeout", "9"},
                           {"krAccess", "a"},
                           {"krIP", "10.0.0.15"},
                           {"COM1_ChrGap", "7"}},
                          "/<krIP>10.0.0.15</krIP>/<krAccess>a</krAccess>/<krPassword>p</krPassword>"
                          "/<uarttimeout>9</uarttimeout>/<COM1_ChrGap>7</COM1_ChrGap>/<COM3_Modbus>1</COM3_Modbus>"},
                      PlanCase{"UnselectedListSendsMinusOne",
                               "Frm1PortSetup",
                               {{"COM1_Parity", "#-1"}},
                               "/<COM1_Parity>-1</COM1_Parity>"}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace lv
