// SPDX-License-Identifier: Apache-2.0
// The headless setup form: typed values by the window's rules, "changed" derived from the values as
// loaded, and the set command that follows from them.

#include "replybuilder.h"
#include "setupform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lv {
namespace {

using test::replyText;

struct ListCase {
    const char* window;
    const char* control;
    const char* value;
    int index; // -1: refused
};

class ListValueTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListValueTest, LabelsAndRawIndexesPickOnlyEntriesTheWindowHolds)
{
    const ListCase& c = GetParam();
    const WindowDef* window = findWindow(c.window);
    ASSERT_NE(window, nullptr);
    const FieldDef* field = window->fieldByControl(c.control);
    ASSERT_NE(field, nullptr);
    const std::optional<int> index = listIndexForValue(*field, c.value);
    EXPECT_EQ(index.value_or(-1), c.index) << c.window << " " << c.control << "=" << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListValueTest,
    ::testing::Values(ListCase{"frmSetup", "cmbSioBaud", "115200", 9},
                      ListCase{"frmSetup", "cmbSioBaud", "230400", -1}, // 10 entries on this window
                      ListCase{"frmSetup", "cmbSioBaud", "#9", 9}, ListCase{"frmSetup", "cmbSioBaud", "#10", -1},
                      ListCase{"frmSetup", "cmbSioBaud", "#-1", -1}, ListCase{"frmSetup", "cmbSioBaud", "#", -1},
                      ListCase{"frmSetupKr770A", "cmbSioBaud", "921600", 12},
                      ListCase{"frmSetupKr770A", "cmbSioBaud", "#12", 12}, ListCase{"frmSetup", "cmbSioParity", "E", 1},
                      ListCase{"frmSetup", "cmbSioParity", "o", 2}, ListCase{"frmSetup", "cmbSioParity", "X", -1},
                      ListCase{"frmSetup", "cmbSioType", "RS485 (Half Duplex)", 3},
                      ListCase{"frmSetup", "cmbSioType", "rs232", 0}, ListCase{"frmSetup", "cmbSioMode", "UDP", 2},
                      ListCase{"frmSetupKr770A", "cmbSioMode", "UDP", -1}, // "UDP Server" / "UDP Client" here
                      ListCase{"frmSetupKr770A", "cmbSioMode", "udp client", 3},
                      ListCase{"frmSetup", "cmbDHCP", "Enable", 1}));

// Loads a window from a reply carrying every single-port tag, as a device would send it.
SetupForm& loadStandard(SetupForm& form)
{
    form.load(replyText(test::standardItems()));
    return form;
}

std::vector<std::string> itemTags(const std::string& setCommand)
{
    std::vector<std::string> tags;
    for (std::size_t at = setCommand.find("/<"); at != std::string::npos; at = setCommand.find("/<", at + 1)) {
        const std::size_t end = setCommand.find('>', at);
        tags.push_back(setCommand.substr(at + 2, end - at - 2));
    }
    return tags;
}

// The item order of the single-port set command, written out here independently of the catalogue.
const std::vector<std::string> kItemOrder = {"IPAddress",
                                             "SubMask",
                                             "GatewayIP",
                                             "DHCPEnable",
                                             "HostIP",
                                             "HostPort",
                                             "SIOSocketPort",
                                             "SIOSocketType",
                                             "DIOSocketPort",
                                             "DIOSocketType",
                                             "SIOBaud",
                                             "SIOParity",
                                             "SIOBits",
                                             "SIOStops",
                                             "SIOType",
                                             "TCPLinkTimeOut",
                                             "TCPLinkTimeOutMode",
                                             "ChrGap",
                                             "DeviceID",
                                             "ReportIDPort",
                                             "SetupPassword",
                                             "AccessPassword",
                                             "COM1_Modbus",
                                             "PanId",
                                             "RFChan"};

class EveryFieldChanged : public ::testing::TestWithParam<const char*> {};

// Every editable field changed at once, in screen order: the items follow the fixed item order, one each.
TEST_P(EveryFieldChanged, SendsEachItemOnceInTheFixedOrder)
{
    const WindowDef& window = *findWindow(GetParam());
    SetupForm form(window);
    loadStandard(form);
    std::vector<std::string> expected;
    for (const FieldDef& field : window.fields) {
        if (!form.readsField(field) || !field.enabled)
            continue;
        if (field.kind == ControlKind::ComboBox)
            form.setIndex(field.control, form.value(field.control).index == 1 ? 0 : 1);
        else
            form.setText(field.control, form.currentText(field) + "x");
    }
    for (const std::string& tag : kItemOrder)
        if (const FieldDef* field = window.fieldByTag(tag); field && field->enabled && form.readsField(*field))
            expected.push_back(tag);
    EXPECT_EQ(itemTags(form.plan().setCommand), expected);
    EXPECT_FALSE(expected.empty());
}

INSTANTIATE_TEST_SUITE_P(SinglePortWindows, EveryFieldChanged,
                         ::testing::Values("frmSetup", "frmSetupPL700A", "frmSetupKr770A", "frmSetupKr787A",
                                           "frmSetupPL780A", "frmSetupPl778", "frmSetupDn680", "frmSetupDn687",
                                           "frmSetupDn690", "frmSetupNDQ770"),
                         [](const auto& p) { return std::string(p.param); });

TEST(SetupFormPasswords, SetupBeforeAccessPasswordAndTheOldOneInTheHeader)
{
    SetupForm form(*findWindow("frmSetup"));
    loadStandard(form);
    ASSERT_EQ(form.set("AccessPassword", "new-access"), SetError::None);
    ASSERT_EQ(form.set("SetupPassword", "new-setup"), SetError::None);
    EXPECT_EQ(form.plan().setCommand, "S 00:50:C2:01:02:03/192.168.1.50/pw"
                                      "/<SetupPassword>new-setup</SetupPassword>"
                                      "/<AccessPassword>new-access</AccessPassword>");
}

TEST(SetupFormChange, ATrailingBlankIsAChangeAndTravelsAsTyped)
{
    SetupForm form(*findWindow("frmSetupKr770A"));
    loadStandard(form);
    ASSERT_EQ(form.set("DeviceID", "Line-07 "), SetError::None);
    EXPECT_EQ(form.plan().setCommand, "S 00:50:C2:01:02:03/192.168.1.50/pw/<DeviceID>Line-07 </DeviceID>");
    // Typed back to the loaded value, the field is unchanged again: nothing is stored but the value.
    ASSERT_EQ(form.set("DeviceID", "Line-07"), SetError::None);
    EXPECT_FALSE(form.changed(*findWindow("frmSetupKr770A")->fieldByTag("DeviceID")));
    EXPECT_EQ(form.plan().setCommand, "S 00:50:C2:01:02:03/192.168.1.50/pw");
}

struct SetCase {
    const char* name;
    const char* window;
    const char* tag;
    const char* value;
    SetError error;
};

class SetupFormSet : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetupFormSet, RefusesWhatTheWindowCannotSend)
{
    const SetCase& c = GetParam();
    SetupForm form(*findWindow(c.window));
    loadStandard(form);
    const std::string before = form.plan().setCommand;
    EXPECT_EQ(form.set(c.tag, c.value), c.error);
    if (c.error != SetError::None) {
        EXPECT_EQ(form.plan().setCommand, before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetupFormSet,
    ::testing::Values(SetCase{"TextField", "frmSetup", "HostPort", "5000", SetError::None},
                      SetCase{"ListLabel", "frmSetup", "SIOBaud", "115200", SetError::None},
                      SetCase{"TagTheWindowLacks", "frmSetupKr770A", "ReportIDPort", "1", SetError::UnknownName},
                      SetCase{"DisplayOnly", "frmSetupDn680", "ZMac", "1", SetError::UnknownName},
                      SetCase{"MacAddressIsNoField", "frmSetup", "MacAddress", "1", SetError::UnknownName},
                      SetCase{"ControlNameIsNoTag", "frmSetup", "txtIP", "1.2.3.4", SetError::UnknownName},
                      SetCase{"SwitchedOff", "frmSetupPl778", "TCPLinkTimeOut", "5", SetError::SwitchedOff},
                      SetCase{"NoSuchEntry", "frmSetup", "SIOBaud", "230400", SetError::NoSuchEntry},
                      SetCase{"PortTheWindowLacks", "frm2PortSetup", "COM3_Baud", "9600", SetError::UnknownName}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SetupFormRadio, PanIdIsNeitherReadNorSentWhenTheDeviceReportedNone)
{
    SetupForm form(*findWindow("frmSetupDn680"));
    form.load(replyText(test::Items{{"MacAddress", "m"}, {"IPAddress", "1.2.3.4"}, {"PanId", ""}, {"RFChan", "11"}}));
    EXPECT_EQ(form.set("PanId", "2B"), SetError::NotReported);
    EXPECT_EQ(form.set("RFChan", "12"), SetError::None);
    EXPECT_EQ(form.plan().setCommand.find("PanId"), std::string::npos);
    EXPECT_NE(form.plan().setCommand.find("/<RFChan>12</RFChan>"), std::string::npos);
}

TEST(SetupFormLinePatch, NamesTheColumnsOfTheFamilysRoles)
{
    SetupForm single(*findWindow("frmSetup"));
    loadStandard(single);
    single.set("DeviceID", "Pump-7");
    DeviceLinePatch p = single.linePatch();
    EXPECT_FALSE(p.ipChanged);
    EXPECT_TRUE(p.deviceIdChanged);
    EXPECT_EQ(p.loadedDeviceId, "Line-07");
    EXPECT_EQ(p.newDeviceId, "Pump-7");

    SetupForm multi(*findWindow("frm2PortSetup"));
    multi.load(replyText(test::Items{{"MacAddress", "m"}, {"krIP", "10.0.0.2"}, {"krDeviceID", "A"}}), 2);
    multi.set("krIP", "10.0.0.30");
    p = multi.linePatch();
    EXPECT_TRUE(p.ipChanged);
    EXPECT_EQ(p.loadedIp, "10.0.0.2");
    EXPECT_EQ(p.newIp, "10.0.0.30");
    EXPECT_FALSE(p.deviceIdChanged);
}

} // namespace
} // namespace lv
