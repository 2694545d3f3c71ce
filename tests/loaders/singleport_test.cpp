// SPDX-License-Identifier: Apache-2.0
// The single-port loaders: what each field shows and records for every kind of value.

#include "loaders.h"
#include "modeltable.h"
#include "replybuilder.h"
#include "tagmessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

namespace lv {
namespace {

using Items = test::ItemList;
using test::replyText;

// A reply in which every single-port value is valid for every window.
const Items kGoodItems = {{"MacAddress", "00-50-C2-AA-BB-CC"},
                          {"IPAddress", "192.168.1.10"},
                          {"SubMask", "255.255.255.0"},
                          {"GatewayIP", "192.168.1.1"},
                          {"DHCPEnable", "1"},
                          {"HostIP", "192.168.1.2"},
                          {"HostPort", "4001"},
                          {"SIOSocketPort", "4660"},
                          {"SIOSocketType", "1"},
                          {"DIOSocketPort", "4661"},
                          {"DIOSocketType", "1"},
                          {"SIOBaud", "9"},
                          {"SIOParity", "2"},
                          {"SIOBits", "0"},
                          {"SIOStops", "1"},
                          {"SIOType", "3"},
                          {"TCPLinkTimeOut", "30"},
                          {"TCPLinkTimeOutMode", "1"},
                          {"ChrGap", "10"},
                          {"DeviceID", "DEV-01"},
                          {"ReportIDPort", "5000"},
                          {"SetupPassword", "pw"},
                          {"AccessPassword", "acc"},
                          {"COM1_Modbus", "1"},
                          {"PanId", "1234"},
                          {"RFChan", "11"},
                          {"ZNwkAddr", "0001/1234"},
                          {"ZMac", "00:11:22:33"}};

// The good reply with one item replaced, dropped (no value) or written with its closing tag first.
std::string replyWith(const std::string& tag, const std::optional<std::string>& value, bool reversed = false)
{
    std::string reply = replyText({});
    for (const auto& [t, v] : kGoodItems) {
        if (t != tag)
            reply += test::item(t, v);
        else if (reversed)
            reply += "</" + t + ">" + v + "<" + t + ">";
        else if (value)
            reply += test::item(t, *value);
    }
    return reply;
}

struct LoadCase {
    std::string name;
    std::string window;
    std::string tag;
    std::optional<std::string> value; // nullopt: the item is missing
    std::string control;
    bool set;
    int index;                           // lists; -1 for text controls
    std::string text;                    // text controls
    std::optional<std::string> recorded; // nullopt: nothing recorded for the tag
    bool reversed = false;
};

void PrintTo(const LoadCase& c, std::ostream* os)
{
    *os << c.name;
}

class LoadValue : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadValue, ShowsAndRecords)
{
    const LoadCase& c = GetParam();
    const WindowDef* window = findWindow(c.window);
    ASSERT_NE(window, nullptr);
    const LoadResult r = loadSinglePort(*window, replyWith(c.tag, c.value, c.reversed));
    ASSERT_EQ(r.controls.count(c.control), 1u);
    const ControlValue& shown = r.controls.at(c.control);
    EXPECT_EQ(shown.set, c.set);
    EXPECT_EQ(shown.index, c.index);
    EXPECT_EQ(shown.text, c.text);
    const auto slot = r.loaded.find(c.tag);
    if (c.recorded) {
        ASSERT_NE(slot, r.loaded.end());
        EXPECT_EQ(slot->second, *c.recorded);
    } else {
        EXPECT_EQ(slot, r.loaded.end());
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(SinglePort, LoadValue, testing::Values(
    // Guarded lists: a refused value shows the default and records the mark, so the default is sent back.
    LoadCase{"BaudRefused", "frmSetup", "SIOBaud", "13", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"BaudAccepted", "frmSetup", "SIOBaud", "5", "cmbSioBaud", true, 5, "", "5"},
    LoadCase{"BaudLeadingZero", "frmSetup", "SIOBaud", "01", "cmbSioBaud", true, 1, "", "1"},
    LoadCase{"BaudNotANumber", "frmSetup", "SIOBaud", "fast", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"BaudWithBlank", "frmSetup", "SIOBaud", " 5", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"BaudWithPlus", "frmSetup", "SIOBaud", "+5", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"BaudEmpty", "frmSetup", "SIOBaud", "", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"BaudHuge", "frmSetup", "SIOBaud", "99999999999999999999", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"BaudNegative", "frmSetup", "SIOBaud", "-1", "cmbSioBaud", true, 5, "", "0"},
    LoadCase{"ParityRefused", "frmSetup", "SIOParity", "3", "cmbSioParity", true, 0, "", "1"},
    LoadCase{"BitsRefused", "frmSetup", "SIOBits", "2", "cmbSioBits", true, 1, "", "0"},
    LoadCase{"DhcpRefused", "frmSetup", "DHCPEnable", "2", "cmbDHCP", true, 0, "", "1"},
    // Accepted but beyond the window's list: nothing selected, nothing sent unless the operator picks.
    LoadCase{"BaudBeyondTenEntryList", "frmSetup", "SIOBaud", "11", "cmbSioBaud", true, -1, "", "-1"},
    LoadCase{"BaudOnThirteenEntryList", "frmSetupKr770A", "SIOBaud", "12", "cmbSioBaud", true, 12, "", "12"},
    LoadCase{"SocketBeyondThreeEntryList", "frmSetupPl778", "SIOSocketType", "3", "cmbSioMode", true, -1, "", "-1"},
    LoadCase{"SocketOnFourEntryList", "frmSetupKr770A", "SIOSocketType", "3", "cmbSioMode", true, 3, "", "3"},
    // frmSetup's digital I/O type: below 0 or 255 selects the first entry, which is recorded.
    LoadCase{"DioType255", "frmSetup", "DIOSocketType", "255", "cmbDioMode", true, 0, "", "0"},
    LoadCase{"DioTypeNegative", "frmSetup", "DIOSocketType", "-4", "cmbDioMode", true, 0, "", "0"},
    LoadCase{"DioTypeKept", "frmSetup", "DIOSocketType", "2", "cmbDioMode", true, 2, "", "2"},
    LoadCase{"DioTypeBeyondList", "frmSetup", "DIOSocketType", "7", "cmbDioMode", true, -1, "", "-1"},
    LoadCase{"DioTypeNotANumber", "frmSetup", "DIOSocketType", "x", "cmbDioMode", true, -1, "", "-1"},
    // PL-778.
    LoadCase{"ArbitrationEmptyShowsZero", "frmSetupPl778", "DIOSocketPort", "", "txtMSATP",
             true, -1, "0", std::nullopt},
    LoadCase{"ArbitrationValue", "frmSetupPl778", "DIOSocketPort", "250", "txtMSATP", true, -1, "250", "250"},
    LoadCase{"ModbusAboveLimitRecordsRaw", "frmSetupPl778", "COM1_Modbus", "7", "COM1_Modbus", true, 0, "", "7"},
    LoadCase{"ModbusEnabled", "frmSetupPl778", "COM1_Modbus", "1", "COM1_Modbus", true, 1, "", "1"},
    LoadCase{"ModbusLeadingZeroRecordsRaw", "frmSetupPl778", "COM1_Modbus", "01", "COM1_Modbus", true, 1, "", "01"},
    LoadCase{"ModbusAtLimitBeyondList", "frmSetupPl778", "COM1_Modbus", "2", "COM1_Modbus", true, -1, "", "-1"},
    LoadCase{"ModbusNotANumber", "frmSetupPl778", "COM1_Modbus", "on", "COM1_Modbus", true, -1, "", "-1"},
    LoadCase{"LinkModeAboveLimit", "frmSetupPl778", "TCPLinkTimeOutMode", "4", "cmbTCPLinkTimeOutMode",
             true, 0, "", "0"},
    LoadCase{"LinkModeAtLimitBeyondList", "frmSetupPl778", "TCPLinkTimeOutMode", "3", "cmbTCPLinkTimeOutMode",
             true, -1, "", "-1"},
    LoadCase{"SwitchedOffDioModeLoaded", "frmSetupPl778", "DIOSocketType", "2", "cmbDioMode", true, 2, "", "2"},
    // NDQ-770 plain lists.
    LoadCase{"NdqSocketUdp", "frmSetupNDQ770", "SIOSocketType", "1", "cmbSioMode", true, 1, "", "1"},
    LoadCase{"NdqSocketBeyondList", "frmSetupNDQ770", "SIOSocketType", "2", "cmbSioMode", true, -1, "", "-1"},
    LoadCase{"NdqDhcpBeyondList", "frmSetupNDQ770", "DHCPEnable", "5", "cmbDHCP", true, -1, "", "-1"},
    // Items missing or closed before they open: the design-time state, recorded as such.
    LoadCase{"MissingText", "frmSetup", "IPAddress", std::nullopt, "txtIP", false, -1, "", ""},
    LoadCase{"MissingGuardedList", "frmSetup", "SIOBaud", std::nullopt, "cmbSioBaud", false, -1, "", "-1"},
    LoadCase{"MissingArbitration", "frmSetupPl778", "DIOSocketPort", std::nullopt, "txtMSATP", false, -1, "", ""},
    LoadCase{"ReversedItem", "frmSetupKr770A", "SIOParity", "1", "cmbSioParity", false, -1, "", "-1", true},
    // Fields the devices' own loaders never filled are preset from the reply when it carries them.
    LoadCase{"PresetLinkMode", "frmSetup", "TCPLinkTimeOutMode", "1", "cmbTCPLinkTimeOutMode", true, 1, "", "1"},
    LoadCase{"PresetLinkModeBeyondList", "frmSetup", "TCPLinkTimeOutMode", "2", "cmbTCPLinkTimeOutMode",
             true, -1, "", "-1"},
    LoadCase{"PresetLinkModeMissing", "frmSetup", "TCPLinkTimeOutMode", std::nullopt, "cmbTCPLinkTimeOutMode",
             false, -1, "", "-1"},
    LoadCase{"PresetReportId", "frmSetup", "ReportIDPort", "5001", "txtReportID", true, -1, "5001", "5001"},
    LoadCase{"PresetReportIdMissing", "frmSetup", "ReportIDPort", std::nullopt, "txtReportID", false, -1, "", ""},
    LoadCase{"PresetPl700DioMode", "frmSetupPL700A", "DIOSocketType", "1", "cmbDioMode", true, 1, "", "1"},
    LoadCase{"PresetPl700DioModeBeyondList", "frmSetupPL700A", "DIOSocketType", "2", "cmbDioMode", true, -1, "", "-1"},
    // Radio windows.
    LoadCase{"RadioPanId", "frmSetupDn680", "PanId", "BEEF", "PanID", true, -1, "BEEF", "BEEF"},
    LoadCase{"RadioMissingPanId", "frmSetupDn687", "PanId", std::nullopt, "PanID", false, -1, "", ""},
    LoadCase{"RadioZMacShown", "frmSetupDn690", "ZMac", "AB:CD", "LabelZMac", true, -1, "AB:CD", std::nullopt},
    LoadCase{"RadioZMacMissing", "frmSetupDn690", "ZMac", std::nullopt, "LabelZMac", false, -1, "", std::nullopt},
    LoadCase{"RadioZMacEmpty", "frmSetupDn680", "ZMac", "", "LabelZMac", false, -1, "", std::nullopt},
    LoadCase{"RadioZNwkAddrEmpty", "frmSetupDn680", "ZNwkAddr", "", "LabelZNwkAddress", false, -1, "", std::nullopt},
    // Text values are kept exactly, blanks included.
    LoadCase{"TextKeepsBlanks", "frmSetupNDQ770", "DeviceID", " id 7 ", "txtDeviceID", true, -1, " id 7 ", " id 7 "}),
    [](const testing::TestParamInfo<LoadCase>& param) { return param.param.name; });
// clang-format on

std::vector<std::string> singlePortWindowNames()
{
    std::vector<std::string> names;
    for (const WindowDef& w : windowCatalogue())
        if (!w.isMultiPort())
            names.push_back(w.name);
    return names;
}

class EverySinglePortWindow : public testing::TestWithParam<std::string> {
protected:
    const WindowDef& window() const { return *findWindow(GetParam()); }

    // What Update would send right after loading, with no change by the operator.
    static std::vector<std::string> unchangedSends(const LoadResult& r)
    {
        std::vector<std::string> sent;
        for (const std::string& tag : r.window->itemOrder) {
            const FieldDef& f = *r.window->fieldByTag(tag);
            const auto slot = r.loaded.find(tag);
            const std::string loaded = slot == r.loaded.end() ? std::string() : slot->second;
            if (currentText(f, r.controls.at(f.control)) != loaded)
                sent.push_back(tag);
        }
        return sent;
    }
};

TEST_P(EverySinglePortWindow, GoodReplyFillsEveryFieldAndSendsNothing)
{
    const LoadResult r = loadSinglePort(window(), replyText(kGoodItems));
    EXPECT_EQ(r.window, &window());
    EXPECT_EQ(r.loaded.at("MacAddress"), "00-50-C2-AA-BB-CC");
    EXPECT_EQ(r.controls.size(), window().fields.size());
    for (const std::string& tag : window().itemOrder) {
        const FieldDef& f = *window().fieldByTag(tag);
        EXPECT_TRUE(r.controls.at(f.control).set) << f.control;
        EXPECT_NE(r.loaded.at(tag), "-1") << tag;
    }
    EXPECT_EQ(unchangedSends(r), std::vector<std::string>{});
}

TEST_P(EverySinglePortWindow, EmptyReplyLeavesControlsAsDesignedAndSendsNothing)
{
    const LoadResult r = loadSinglePort(window(), "A MAC");
    for (const auto& [control, value] : r.controls)
        EXPECT_FALSE(value.set) << control;
    EXPECT_EQ(unchangedSends(r), std::vector<std::string>{});
}

TEST_P(EverySinglePortWindow, DamagedValuesNeverSelectOutsideTheList)
{
    for (const char* bad : {"-2", "65536", "2147483648", "x", "3.5"}) {
        Items items;
        for (const auto& [tag, value] : kGoodItems)
            items.emplace_back(tag, tag == "MacAddress" ? value : bad);
        const LoadResult r = loadSinglePort(window(), replyText(items));
        for (const FieldDef& f : window().fields) {
            const int index = r.controls.at(f.control).index;
            EXPECT_GE(index, -1) << f.control << " " << bad;
            EXPECT_LT(index, static_cast<int>(f.entries.size())) << f.control << " " << bad;
        }
    }
}

TEST_P(EverySinglePortWindow, RecordsOnlyItsOwnSlots)
{
    // Load another model first: nothing of it may survive into this window's values.
    loadSinglePort(*findWindow(GetParam() == "frmSetupDn680" ? "frmSetupPl778" : "frmSetupDn680"),
                   replyText(kGoodItems));
    const LoadResult r = loadSinglePort(window(), replyText(kGoodItems));
    std::set<std::string> expected = {"MacAddress"};
    expected.insert(window().itemOrder.begin(), window().itemOrder.end());
    std::set<std::string> recorded;
    for (const auto& [tag, value] : r.loaded)
        recorded.insert(tag);
    EXPECT_EQ(recorded, expected);
}

INSTANTIATE_TEST_SUITE_P(SinglePort, EverySinglePortWindow, testing::ValuesIn(singlePortWindowNames()));

TEST(SinglePort, UnloadedControlsStayAsDesigned)
{
    const LoadResult radio = loadSinglePort(*findWindow("frmSetupDn680"), replyText(kGoodItems) + "<ZMode>1</ZMode>");
    EXPECT_FALSE(radio.controls.at("ZMode").set);
    EXPECT_EQ(currentText(*radio.window->fieldByControl("ZMode"), radio.controls.at("ZMode")), "-1");
    EXPECT_EQ(radio.controls.at("LabelZNwkAddress").text, "0001/1234");

    const LoadResult kr770 = loadSinglePort(*findWindow("frmSetupKr770A"), replyText(kGoodItems));
    EXPECT_FALSE(kr770.controls.at("Text1").set);
    EXPECT_EQ(kr770.controls.at("txtDioPort").text, "4661"); // the arbitration period travels as DIOSocketPort
}

TEST(SinglePort, FirstOccurrenceOfAnItemCounts)
{
    const LoadResult r = loadSinglePort(*findWindow("frmSetupNDQ770"),
                                        replyText({{"IPAddress", "10.0.0.1"}, {"IPAddress", "10.0.0.2"}}));
    EXPECT_EQ(r.controls.at("txtIP").text, "10.0.0.1");
    EXPECT_EQ(r.loaded.at("IPAddress"), "10.0.0.1");
}

} // namespace
} // namespace lv

namespace lv {

namespace {

// The reply a device sends, gathered from datagrams in arrival order as the reply buffer gathers them
// (nothing is kept before a datagram that starts with "A").
std::string gathered(const std::vector<std::string_view>& datagrams)
{
    std::string text;
    for (std::string_view d : datagrams)
        if (!text.empty() || (!d.empty() && d.front() == 'A'))
            text += d;
    return text;
}

} // namespace

// Cut in three anywhere (each piece longer than the longest item, as a datagram of a real reply is),
// delivered in any order or with one piece lost: the reply is either whole and loads exactly as sent,
// with its model and version, or it is incomplete. It never loads with a field left out or taken from
// pieces that do not belong. The markers stand first, or last as the simulated devices send them; a
// long value in the last item, one the window does not read, lets a piece hold its closing tag alone.
TEST(WholeReply, EverySplitAndOrderGivesTheWholeReplyOrIncomplete)
{
    const char* const first = "A MODEL: KR-770A VER:1.0\rMAC ";
    const test::Items longUnread = test::withItems(test::standardItems(), {{"ZNwkAddr", std::string(80, 'n')}});
    for (const auto& [name, head, items, tail] :
         {std::tuple{"frmSetupKr770A", first, test::standardItems(), ""},
          std::tuple{"frm4PortSetup", first, test::multiPortItems(4, false), ""},
          std::tuple{"frmSetupKr770A", "AG VER:1.0\r", test::standardItems(), "\rMAC\rMODEL: KR-770A"},
          std::tuple{"frmSetupKr770A", first, longUnread, ""}}) {
        const WindowDef& window = *findWindow(name);
        const int ports = window.portCount;
        const std::string reply = head + replyText(items, "") + tail;
        const ModelVersion sentModel = readModelVersion(reply);
        LoadedValues sent;
        const LoadResult whole = ports ? loadMultiPort(window, reply, ports, sent) : loadSinglePort(window, reply);
        ASSERT_TRUE(missingItems(window, reply, ports).empty()) << name;
        const std::size_t minPiece = 48; // longer than any item of these replies (47 bytes)
        int used = 0;
        int refused = 0;
        for (std::size_t i = minPiece; i + 2 * minPiece <= reply.size(); i += 13)
            for (std::size_t j = i + minPiece; j + minPiece <= reply.size(); j += 17) {
                const std::string_view r(reply);
                std::vector<std::string_view> pieces{r.substr(0, i), r.substr(i, j - i), r.substr(j)};
                std::vector<int> order{0, 1, 2};
                do {
                    for (int lost = -1; lost < 3; ++lost) {
                        std::vector<std::string_view> arrived;
                        for (int k : order)
                            if (k != lost)
                                arrived.push_back(pieces[static_cast<std::size_t>(k)]);
                        const std::string text = gathered(arrived);
                        // Without "MAC" the reply buffer never completes.
                        if (!replyHoldsMac(text) || !missingItems(window, text, ports).empty()) {
                            ++refused;
                            continue;
                        }
                        ++used;
                        LoadedValues snapshot;
                        const LoadResult got =
                            ports ? loadMultiPort(window, text, ports, snapshot) : loadSinglePort(window, text);
                        ASSERT_EQ(got.loaded, whole.loaded) << name << " cut at " << i << ", " << j;
                        const ModelVersion read = readModelVersion(text);
                        ASSERT_EQ(read.model, sentModel.model) << name << " cut at " << i << ", " << j;
                        ASSERT_EQ(read.version, sentModel.version) << name << " cut at " << i << ", " << j;
                    }
                } while (std::next_permutation(order.begin(), order.end()));
            }
        // Both outcomes occur: the check is neither always nor never satisfied.
        EXPECT_GT(used, 0) << name;
        EXPECT_GT(refused, 0) << name;
    }
    // A version not ended by its carriage return but glued to items is refused as the model is.
    EXPECT_FALSE(missingItems(*findWindow("frmSetupKr770A"),
                              "A MODEL: KR-770A\rMAC VER:1.0" + replyText(test::standardItems(), ""), 0)
                     .empty());
}

} // namespace lv
