// SPDX-License-Identifier: Apache-2.0
// The catalogue against the windows' fields, lists, titles and item orders.

#include "catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace lv {
namespace {

std::vector<std::string> windowNames()
{
    std::vector<std::string> names;
    for (const WindowDef& w : windowCatalogue())
        names.push_back(w.name);
    return names;
}

TEST(Catalogue, HoldsTheEighteenWindowsInOrder)
{
    const std::vector<std::string> expected = {
        "frmSetup",      "frmSetupPL700A", "frmSetupKr770A",  "frmSetupKr787A",  "frmSetupPL780A",  "frmSetupPl778",
        "frmSetupDn680", "frmSetupDn687",  "frmSetupDn690",   "frmSetupNDQ770",  "Frm1PortSetup",   "frm2PortSetup",
        "frm3PortSetup", "frm4PortSetup",  "frmKR7700ASetup", "frmKR7800ASetup", "frmKR7900ASetup", "frmKR7600ASetup"};
    EXPECT_EQ(windowNames(), expected);
    EXPECT_EQ(findWindow("frmSetupPl778"), &windowCatalogue()[5]);
    EXPECT_EQ(findWindow("frmsetup"), nullptr);
}

class EveryWindow : public testing::TestWithParam<std::string> {
protected:
    const WindowDef& window() const { return *findWindow(GetParam()); }
};

TEST_P(EveryWindow, EachItemHasExactlyOneSendableField)
{
    const WindowDef& w = window();
    std::set<std::string> seen;
    for (const std::string& tag : w.itemOrder) {
        EXPECT_TRUE(seen.insert(tag).second) << tag << " twice in the item order";
        const auto count = std::count_if(w.fields.begin(), w.fields.end(), [&](const FieldDef& f) {
            return f.tag == tag && f.kind != ControlKind::Display;
        });
        EXPECT_EQ(count, 1) << tag;
    }
    // Conversely no field carries a tag that the set command would never send.
    for (const FieldDef& f : w.fields) {
        if (!f.tag.empty() && f.kind != ControlKind::Display) {
            EXPECT_TRUE(seen.count(f.tag)) << f.control << " is never sent";
        }
    }
    for (const std::string& tag : w.sendOnlyIfLoaded)
        EXPECT_TRUE(seen.count(tag)) << tag;
}

TEST_P(EveryWindow, ControlsAreWellFormed)
{
    const WindowDef& w = window();
    std::set<std::string> names;
    ASSERT_FALSE(w.fields.empty());
    EXPECT_FALSE(w.fields.front().sameRow);
    for (const FieldDef& f : w.fields) {
        EXPECT_TRUE(names.insert(f.control).second) << f.control << " twice";
        if (f.kind == ControlKind::ComboBox || f.kind == ControlKind::Note) {
            EXPECT_FALSE(f.entries.empty()) << f.control;
        }
        if (f.sameRow) {
            EXPECT_TRUE(f.label.empty()) << f.control;
        }
        if (f.rule == LoadRule::Guarded) {
            // The default must be an entry, and the mark must differ from it or the default is never sent.
            EXPECT_LT(f.defaultIndex, static_cast<int>(f.entries.size())) << f.control;
            EXPECT_NE(f.resendMark, std::to_string(f.defaultIndex)) << f.control;
        }
        EXPECT_EQ(f.rule == LoadRule::Multi, w.isMultiPort()) << f.control;
    }
}

TEST_P(EveryWindow, ExchangeParametersMatchTheFamily)
{
    const WindowDef& w = window();
    if (w.isMultiPort()) {
        EXPECT_EQ(w.headerExtra, HeaderExtra::Nul);
        EXPECT_EQ(w.updateCount, 1);
        EXPECT_EQ(w.delayMs, 200);
        return;
    }
    EXPECT_EQ(w.delayMs, 500);
    EXPECT_EQ(w.headerExtra, w.name == "frmSetupPl778" ? HeaderExtra::Slash : HeaderExtra::None);
    const bool fiveUpdates = w.name == "frmSetup" || w.name == "frmSetupPL700A" || w.name == "frmSetupPl778";
    EXPECT_EQ(w.updateCount, fiveUpdates ? 5 : 3);
    const auto& slots = singlePortSlots();
    for (const std::string& tag : w.itemOrder)
        EXPECT_NE(std::find(slots.begin(), slots.end(), tag), slots.end()) << tag << " has no loaded slot";
}

// Roles: each names one field of a window, the header's own tags carry theirs, a port role names a
// port the window has, and no role reads as a tag of any window.
TEST_P(EveryWindow, EachRoleNamesOneFieldOfAPortTheWindowHas)
{
    const WindowDef& w = window();
    std::set<std::string> tags;
    for (const WindowDef& any : windowCatalogue())
        for (const FieldDef& f : any.fields)
            tags.insert(f.tag);
    std::set<std::string> roles;
    for (const FieldDef& f : w.fields) {
        if (f.role.empty())
            continue;
        EXPECT_TRUE(roles.insert(f.role).second) << f.role << " twice";
        EXPECT_FALSE(tags.count(f.role)) << f.role << " is also a tag";
        EXPECT_TRUE(w.sendsTag(f.tag)) << f.role << " names " << f.control << ", which is never sent";
        EXPECT_EQ(w.fieldByName(f.role), &f) << f.role;
        if (f.role.rfind("port", 0) == 0) {
            const int port = std::stoi(f.role.substr(4));
            EXPECT_EQ(port, w.isMultiPort() ? f.block : 1) << f.role << " on " << f.control;
        }
    }
    EXPECT_EQ(w.fieldByName("ip")->tag, w.ipTag);
    EXPECT_EQ(w.fieldByName("deviceId")->tag, w.deviceIdTag);
    EXPECT_EQ(w.fieldByName("password")->tag, w.passwordTag);
    for (int port = 1; port <= w.portCount; ++port)
        for (const char* item : {".baud", ".parity", ".dataBits", ".stopBits", ".type", ".charGap", ".localPort"})
            EXPECT_TRUE(roles.count("port" + std::to_string(port) + item)) << port << item;
    EXPECT_FALSE(roles.count("port" + std::to_string(std::max(w.portCount, 1) + 1) + ".baud"));
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryWindow, testing::ValuesIn(windowNames()));

// The simulated devices answer every field from its sample: a field the catalogue gives none would
// leave the simulator nothing to answer.
TEST(Catalogue, EveryFieldButTheRolesCarriesASample)
{
    for (const WindowDef& w : windowCatalogue()) {
        for (const FieldDef& f : w.fields) {
            const bool role = f.tag == w.ipTag || f.tag == w.deviceIdTag || f.tag == w.passwordTag;
            if (f.tag.empty() || role)
                EXPECT_FALSE(f.sample) << w.name << " " << f.control;
            else
                EXPECT_TRUE(f.sample) << w.name << " " << f.control;
        }
    }
}

TEST(Catalogue, EachMultiPortWindowBelongsToTheFamilyThatNamesIt)
{
    ASSERT_EQ(families().size(), 2u);
    for (const FamilyDef& family : families()) {
        SCOPED_TRACE(family.name);
        for (int ports = 1; ports <= 4; ++ports) {
            const WindowDef* w = family.window(ports);
            ASSERT_NE(w, nullptr) << ports;
            EXPECT_EQ(w->family, &family);
            EXPECT_EQ(w->portCount, ports);
            int served = 0;
            EXPECT_TRUE(family.serves(family.models[static_cast<std::size_t>(ports - 1)], &served));
            EXPECT_EQ(served, ports);
        }
    }
    // The same keys, told apart by the last character.
    int ports = 0;
    EXPECT_TRUE(findFamily("KR-7x00")->serves("KR-7600X", &ports));
    EXPECT_FALSE(findFamily("KR-7x00A")->serves("KR-7600X", &ports));
    EXPECT_TRUE(findFamily("KR-7x00A")->serves("KR-7600ZA", &ports));
    EXPECT_FALSE(findFamily("KR-7x00")->serves("KR-7600ZA", &ports));
    EXPECT_FALSE(findFamily("KR-7x00")->serves("KR-760", &ports));
    for (const WindowDef& w : windowCatalogue())
        EXPECT_EQ(w.family != nullptr, w.isMultiPort()) << w.name;
}

TEST(Catalogue, MultiPortWindowsHoldElevenFieldsPerPort)
{
    for (const WindowDef& w : windowCatalogue()) {
        if (!w.isMultiPort())
            continue;
        SCOPED_TRACE(w.name);
        const int general = w.family->name == "KR-7x00A" ? 11 : 8;
        const auto portFields =
            std::count_if(w.fields.begin(), w.fields.end(), [](const FieldDef& f) { return f.block > 0; });
        EXPECT_EQ(portFields, 11 * w.portCount);
        EXPECT_EQ(w.itemOrder.size(), static_cast<size_t>(general + 11 * w.portCount));
        std::vector<int> grouped;
        for (const PortGroup& g : w.portGroups)
            grouped.insert(grouped.end(), g.ports.begin(), g.ports.end());
        std::vector<int> ports(w.portCount);
        for (int n = 1; n <= w.portCount; ++n)
            ports[n - 1] = n;
        EXPECT_EQ(grouped, ports);
        const auto access = std::find(w.itemOrder.begin(), w.itemOrder.end(), "krAccess");
        const auto password = std::find(w.itemOrder.begin(), w.itemOrder.end(), "krPassword");
        EXPECT_EQ(access + 1, password);
    }
    const WindowDef& four = *findWindow("frmKR7600ASetup");
    for (int n = 1; n <= 4; ++n) {
        const FieldDef* hw = four.fieldByControl("COM" + std::to_string(n) + "_HWType");
        ASSERT_NE(hw, nullptr);
        EXPECT_EQ(hw->entries.size(), n == 2 || n == 3 ? 5u : 3u) << n;
        EXPECT_EQ(hw->block, n);
    }
    EXPECT_EQ(four.portGroups[1].caption, "COM3 / COM4");
    EXPECT_EQ(findWindow("frm2PortSetup")->portGroups[0].caption, " COM1");
}

TEST(Catalogue, OnlyPl778HasSwitchedOffFields)
{
    for (const WindowDef& w : windowCatalogue()) {
        std::set<std::string> off;
        for (const FieldDef& f : w.fields)
            if (!f.enabled)
                off.insert(f.control);
        const std::set<std::string> expected =
            w.name == "frmSetupPl778"
                ? std::set<std::string>{"cmbDioMode", "txtTCPLinkTimeOut", "cmbTCPLinkTimeOutMode", "txtReportID"}
                : std::set<std::string>{};
        EXPECT_EQ(off, expected) << w.name;
    }
}

TEST(Catalogue, NoteStandsOnTheFourModbusWindowsOnly)
{
    const std::set<std::string> withNote = {"frmSetupPL700A", "frmSetupKr770A", "frmSetupKr787A", "frmSetupPL780A"};
    for (const WindowDef& w : windowCatalogue()) {
        const FieldDef* note = w.fieldByControl("Text1");
        ASSERT_EQ(note != nullptr, withNote.count(w.name) == 1) << w.name;
        if (note) {
            EXPECT_EQ(note->kind, ControlKind::Note);
            EXPECT_EQ(note->entries.at(0), "Note: SIO Port 502 is Reserved for the MODBUS/TCP.");
        }
    }
}

struct TitleCase {
    std::string window;
    std::string expected;
};

class Titles : public testing::TestWithParam<TitleCase> {};

TEST_P(Titles, FollowTheWindowsRule)
{
    EXPECT_EQ(windowTitle(*findWindow(GetParam().window), "00-50-C2-01-02-03", "V2.1"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, Titles,
    testing::Values(TitleCase{"frmSetup", "KR-700 Setup  ( MAC: 00-50-C2-01-02-03 )  (V2.1)"},
                    TitleCase{"frmSetupKr787A", "KR-770A Setup  ( MAC: 00-50-C2-01-02-03 )  (V2.1)"},
                    TitleCase{"frmSetupPl778", "PL-778  Setup  ( MAC: 00-50-C2-01-02-03 )  (V2.1)"},
                    TitleCase{"frmSetupDn680", "DN-680 Setup  ( MAC: 00-50-C2-01-02-03 )  (V2.1)"},
                    TitleCase{"frmSetupDn687", "DN-687 Setup  (V2.1)"},
                    TitleCase{"frmSetupNDQ770", "Ethernet IO Setup  ( MAC: 00-50-C2-01-02-03 )  (V2.1)"},
                    TitleCase{"Frm1PortSetup", "1 Port Linkvane  ( MAC: 00-50-C2-01-02-03 )V2.1"},
                    TitleCase{"frmKR7800ASetup", "2 Port Linkvane  ( MAC: 00-50-C2-01-02-03 )V2.1"},
                    TitleCase{"frmKR7700ASetup", "1 Port Linkvane  ( MAC: 00-50-C2-01-02-03 )"},
                    TitleCase{"frmKR7600ASetup", "4 Port Linkvane  ( MAC: 00-50-C2-01-02-03 )"}));

TEST(Catalogue, LookupsAndStandardLists)
{
    const WindowDef& radio = *findWindow("frmSetupDn690");
    EXPECT_EQ(radio.fieldByTag("ZMac")->control, "LabelZMac");
    EXPECT_EQ(radio.fieldByControl("PanID")->tag, "PanId");
    EXPECT_EQ(radio.fieldByTag(""), nullptr); // ZMode has no tag and must not be found by one
    EXPECT_EQ(radio.fieldByControl("Text1"), nullptr);
    EXPECT_EQ(radio.itemOrder.back(), "RFChan");
    EXPECT_EQ(findWindow("frmSetupPl778")->fieldByTag("DIOSocketPort")->control, "txtMSATP");

    EXPECT_EQ(baudList(10).size(), 10u);
    EXPECT_EQ(baudList(13).back(), "921600");
    EXPECT_EQ(findWindow("frmSetupKr770A")->fieldByControl("cmbSioBaud")->entries.size(), 13u);
    EXPECT_EQ(findWindow("frmSetup")->fieldByControl("cmbSioBaud")->entries.size(), 10u);
    EXPECT_EQ(singlePortSlots().size(), 26u);
    EXPECT_EQ(singlePortSlots().front(), "MacAddress");
}

} // namespace
} // namespace lv
