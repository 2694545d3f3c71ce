// SPDX-License-Identifier: Apache-2.0
// The catalogue of the setup windows and the multi-port families, written as data, with the sample
// values the simulated devices answer with.

#include "catalogue.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lv {

namespace {

using Fields = std::vector<FieldDef>;
using Entries = std::vector<std::string>;

// Constant-initialised, so the catalogue can be built from any static initialiser.
constexpr std::array<std::string_view, 2> kDisableEnable = {"Disable", "Enable"};
constexpr std::array<std::string_view, 3> kSocketTypes3 = {"TCP Server", "TCP Client", "UDP"};
constexpr std::array<std::string_view, 4> kSocketTypes4 = {"TCP Server", "TCP Client", "UDP Server", "UDP Client"};
constexpr std::array<std::string_view, 2> kSocketTypes2 = {"TCP Server", "UDP Server"};
constexpr std::array<std::string_view, 3> kParity = {"N", "E", "O"};
constexpr std::array<std::string_view, 2> kDataBits = {"7", "8"};
constexpr std::array<std::string_view, 2> kStopBits = {"1", "2"};
constexpr std::array<std::string_view, 5> kSioTypes = {"RS232", "RS232 (RTS/CTS)", "RS232 (RTS/CTS/DSR/DTR)",
                                                       "RS485 (Half Duplex)", "RS422 (Full Duplex)"};
constexpr std::array<std::string_view, 4> kPortTcpModes = {"TCP Server", "UDP Server", "TCP Client", "UDP Client"};
constexpr std::array<std::string_view, 5> kPortHwTypes = {"RS232", "RS232(Xon/Xoff)", "RS232(RTS/CTS)",
                                                          "RS485(Half Duplex)", "RS422(Full Duplex)"};
constexpr std::array<std::string_view, 13> kBaudRates = {
    "300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400", "460800", "921600"};

constexpr std::string_view kModbusNote = "Note: SIO Port 502 is Reserved for the MODBUS/TCP.";
constexpr std::string_view kArbitrationCaption = "Multi Socket Arbitration Time Period";

// Set-command order of every single-port window; each window sends the tags it has a field for.
// clang-format off
constexpr std::array<std::string_view, 25> kSinglePortOrder = {
    "IPAddress", "SubMask", "GatewayIP", "DHCPEnable", "HostIP", "HostPort", "SIOSocketPort", "SIOSocketType",
    "DIOSocketPort", "DIOSocketType", "SIOBaud", "SIOParity", "SIOBits", "SIOStops", "SIOType", "TCPLinkTimeOut",
    "TCPLinkTimeOutMode", "ChrGap", "DeviceID", "ReportIDPort", "SetupPassword", "AccessPassword", "COM1_Modbus",
    "PanId", "RFChan"};
// clang-format on

constexpr std::array<std::string_view, 11> kPortItems = {"RemoteHostIP", "RemoteHostPort", "TCPPort", "TCPMode",
                                                         "Baud",         "Parity",         "Bits",    "Stops",
                                                         "HWType",       "ChrGap",         "Modbus"};

template <std::size_t N> Entries listOf(const std::array<std::string_view, N>& names, std::size_t count = N)
{
    return Entries(names.begin(), names.begin() + std::min(count, N));
}

// ---- field builders -------------------------------------------------------------------------------

FieldDef textField(std::string control, std::string tag, std::string label, std::string unit = {})
{
    FieldDef f;
    f.control = std::move(control);
    f.tag = std::move(tag);
    f.label = std::move(label);
    f.unit = std::move(unit);
    return f;
}

FieldDef listField(std::string control, std::string tag, std::string label, Entries entries, LoadRule rule,
                   int limit = 0)
{
    FieldDef f = textField(std::move(control), std::move(tag), std::move(label));
    f.kind = ControlKind::ComboBox;
    f.entries = std::move(entries);
    f.rule = rule;
    f.limit = limit;
    return f;
}

// A list whose refused values show `defaultIndex` and record `resendMark`, so that the default is sent back.
FieldDef guardedList(std::string control, std::string tag, std::string label, Entries entries, int limit,
                     int defaultIndex, std::string resendMark)
{
    FieldDef f =
        listField(std::move(control), std::move(tag), std::move(label), std::move(entries), LoadRule::Guarded, limit);
    f.defaultIndex = defaultIndex;
    f.resendMark = std::move(resendMark);
    return f;
}

// The same field standing right of the one before it, sharing its label.
FieldDef beside(FieldDef f)
{
    f.label.clear();
    f.sameRow = true;
    return f;
}

FieldDef withRule(FieldDef f, LoadRule rule)
{
    f.rule = rule;
    return f;
}

FieldDef switchedOff(FieldDef f)
{
    f.enabled = false;
    return f;
}

void append(Fields& to, Fields rows)
{
    to.insert(to.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

// ---- single-port rows ---------------------------------------------------------------------------

// IP address, mask, gateway and DHCP; the digital-I/O module takes its DHCP value without a guard.
Fields networkRows(bool guardedDhcp)
{
    FieldDef dhcp = guardedDhcp
                        ? guardedList("cmbDHCP", "DHCPEnable", "DHCP client", listOf(kDisableEnable), 1, 0, "1")
                        : listField("cmbDHCP", "DHCPEnable", "DHCP client", listOf(kDisableEnable), LoadRule::Plain);
    return {textField("txtIP", "IPAddress", "IP address"), textField("txtMask", "SubMask", "Subnet mask"),
            textField("txtGateway", "GatewayIP", "Gateway IP address"), std::move(dhcp)};
}

Fields hostRows()
{
    return {textField("txtHostIP", "HostIP", "Host IP address"),
            textField("txtHostPort", "HostPort", "Host socket port")};
}

FieldDef sioPort()
{
    return textField("txtSioPort", "SIOSocketPort", "Socket port of serial I/O, Type");
}

FieldDef sioMode(Entries entries, LoadRule rule = LoadRule::Guarded)
{
    if (rule == LoadRule::Guarded)
        return beside(guardedList("cmbSioMode", "SIOSocketType", {}, std::move(entries), 3, 0, "1"));
    return beside(listField("cmbSioMode", "SIOSocketType", {}, std::move(entries), rule));
}

FieldDef dioMode(Entries entries, LoadRule rule, int limit = 0)
{
    return listField("cmbDioMode", "DIOSocketType", "Socket port of digital I/O, Type", std::move(entries), rule,
                     limit);
}

// Baud rate, parity, data bits and stop bits on one row, then the serial type and the character gap.
Fields serialRows(int baudEntries)
{
    return {guardedList("cmbSioBaud", "SIOBaud", "Serial I/O settings (baud rate, parity, data bits, stop bits)",
                        baudList(baudEntries), 12, 5, "0"),
            beside(guardedList("cmbSioParity", "SIOParity", {}, listOf(kParity), 2, 0, "1")),
            beside(guardedList("cmbSioBits", "SIOBits", {}, listOf(kDataBits), 1, 1, "0")),
            beside(guardedList("cmbSioStops", "SIOStops", {}, listOf(kStopBits), 1, 0, "1")),
            guardedList("cmbSioType", "SIOType", "Type of serial I/O", listOf(kSioTypes), 4, 0, "1"),
            textField("txtChrGap", "ChrGap", "SIO InterCharacter Gap")};
}

FieldDef tcpLinkTimeOut()
{
    return textField("txtTCPLinkTimeOut", "TCPLinkTimeOut", "TCP Link Time Out", "Sec.");
}

FieldDef slaveResponseTimeOut()
{
    return textField("txtTCPLinkTimeOut", "TCPLinkTimeOut", "Slave Response Time Out", "ms");
}

FieldDef tcpLinkTimeOutMode(LoadRule rule, int limit = 0)
{
    return beside(listField("cmbTCPLinkTimeOutMode", "TCPLinkTimeOutMode", {}, listOf(kDisableEnable), rule, limit));
}

FieldDef deviceId()
{
    return textField("txtDeviceID", "DeviceID", "Device ID");
}

FieldDef reportId(LoadRule rule)
{
    return withRule(textField("txtReportID", "ReportIDPort", "Check Status Port"), rule);
}

FieldDef secretField(FieldDef f)
{
    f.secret = true;
    return f;
}

Fields passwordRows()
{
    return {secretField(textField("txtPassword", "SetupPassword", "Setup password")),
            secretField(textField("txtAccess", "AccessPassword", "Access password"))};
}

FieldDef arbitrationTime(std::string control, LoadRule rule = LoadRule::Text)
{
    return withRule(textField(std::move(control), "DIOSocketPort", std::string(kArbitrationCaption), "ms"), rule);
}

FieldDef modbusNote()
{
    FieldDef f;
    f.control = "Text1";
    f.kind = ControlKind::Note;
    f.entries = {std::string(kModbusNote)};
    f.rule = LoadRule::NotLoaded;
    return f;
}

// The top of every serial window: network, host, serial socket.
Fields serialWindowTop(const Entries& sioModes)
{
    Fields f = networkRows(true);
    append(f, hostRows());
    f.push_back(sioPort());
    f.push_back(sioMode(sioModes));
    return f;
}

// KR-770A and its kin: no digital-I/O type, 13 baud rates, the arbitration period at the bottom.
Fields kr770Fields()
{
    Fields f = serialWindowTop(listOf(kSocketTypes4));
    append(f, serialRows(13));
    f.push_back(slaveResponseTimeOut());
    f.push_back(deviceId());
    append(f, passwordRows());
    f.push_back(arbitrationTime("txtDioPort"));
    return f;
}

Fields kr770NoteFields()
{
    Fields f = kr770Fields();
    f.push_back(modbusNote());
    return f;
}

// The windows with a digital-I/O socket: its port and type under the serial socket, then the serial rows.
Fields digitalIoWindowTop(Entries sioModes, Entries dioModes, LoadRule dioRule)
{
    Fields f = serialWindowTop(sioModes);
    f.push_back(textField("txtDioPort", "DIOSocketPort", "Socket port of digital I/O, Type"));
    f.push_back(beside(dioMode(std::move(dioModes), dioRule)));
    append(f, serialRows(10));
    return f;
}

Fields kr700Fields()
{
    Fields f = digitalIoWindowTop(listOf(kSocketTypes3), listOf(kSocketTypes3), LoadRule::DioType);
    f.push_back(tcpLinkTimeOut());
    f.push_back(tcpLinkTimeOutMode(LoadRule::Preset));
    f.push_back(deviceId());
    f.push_back(reportId(LoadRule::Preset));
    append(f, passwordRows());
    return f;
}

Fields pl700Fields()
{
    Fields f = digitalIoWindowTop(listOf(kSocketTypes4), listOf(kSocketTypes2), LoadRule::Preset);
    f.push_back(slaveResponseTimeOut());
    f.push_back(deviceId());
    append(f, passwordRows());
    f.push_back(modbusNote());
    return f;
}

// The usable fields first, then the four that stay switched off.
Fields pl778Fields()
{
    Fields f = serialWindowTop(listOf(kSocketTypes3));
    append(f, serialRows(10));
    f.push_back(
        listField("COM1_Modbus", "COM1_Modbus", "Modbus TCP", listOf(kDisableEnable), LoadRule::BoundedRecordRaw, 2));
    f.push_back(deviceId());
    append(f, passwordRows());
    f.push_back(arbitrationTime("txtMSATP", LoadRule::TextEmptyAsZero));
    f.push_back(switchedOff(dioMode(listOf(kSocketTypes3), LoadRule::Bounded, 2)));
    f.push_back(switchedOff(tcpLinkTimeOut()));
    f.push_back(switchedOff(tcpLinkTimeOutMode(LoadRule::Bounded, 3)));
    f.push_back(switchedOff(reportId(LoadRule::Text)));
    return f;
}

Fields radioFields()
{
    Fields f = kr770Fields();
    f.push_back(textField("PanID", "PanId", "Z-PAN ID"));
    f.push_back(textField("RFChannel", "RFChan", "Z-RF Channel"));
    f.push_back(listField("ZMode", {}, "Z-Mode", listOf(kDisableEnable), LoadRule::NotLoaded));
    FieldDef nwk = textField("LabelZNwkAddress", "ZNwkAddr", "Z-Network Address, Joined Pan ID");
    FieldDef mac = textField("LabelZMac", "ZMac", "Z-Mac");
    for (FieldDef* d : {&nwk, &mac}) {
        d->kind = ControlKind::Display;
        d->rule = LoadRule::Display;
    }
    f.push_back(std::move(nwk));
    f.push_back(std::move(mac));
    return f;
}

Fields ndq770Fields()
{
    Fields f = networkRows(false);
    f.push_back(sioPort());
    f.push_back(sioMode(listOf(kSocketTypes2), LoadRule::Plain));
    f.push_back(deviceId());
    append(f, passwordRows());
    return f;
}

bool sendsTag(const Fields& fields, std::string_view tag)
{
    return std::any_of(fields.begin(), fields.end(),
                       [&](const FieldDef& f) { return f.tag == tag && f.kind != ControlKind::Display; });
}

WindowDef singlePortWindow(std::string name, std::string titlePrefix, Fields fields, int updateCount,
                           TitleRule titleRule = TitleRule::MacAndVersion)
{
    WindowDef w;
    w.name = std::move(name);
    w.titlePrefix = std::move(titlePrefix);
    w.titleRule = titleRule;
    w.fields = std::move(fields);
    for (std::string_view tag : kSinglePortOrder)
        if (sendsTag(w.fields, tag))
            w.itemOrder.emplace_back(tag);
    w.updateCount = updateCount;
    w.delayMs = 500;
    w.ipTag = "IPAddress";
    w.deviceIdTag = "DeviceID";
    w.passwordTag = "SetupPassword";
    return w;
}

WindowDef radioWindow(std::string name, std::string titlePrefix, TitleRule titleRule)
{
    WindowDef w = singlePortWindow(std::move(name), std::move(titlePrefix), radioFields(), 3, titleRule);
    w.sendOnlyIfLoaded = {"PanId", "RFChan"};
    return w;
}

// ---- multi-port windows ---------------------------------------------------------------------------

FieldDef multiText(std::string control, std::string tag, std::string label)
{
    return withRule(textField(std::move(control), std::move(tag), std::move(label)), LoadRule::Multi);
}

FieldDef multiList(std::string control, std::string tag, std::string label, Entries list)
{
    return listField(std::move(control), std::move(tag), std::move(label), std::move(list), LoadRule::Multi);
}

Fields generalBlock()
{
    return {multiText("IP", "krIP", "Local IP"),
            multiText("Mask", "krMask", "Subnet mask"),
            multiText("Gateway", "krGateway", "Gateway IP"),
            multiList("DHCP", "krDHCP", "DHCP client", listOf(kDisableEnable)),
            multiText("DeviceID", "krDeviceID", "Device ID"),
            multiText("ReportIDPort", "krReportID", "Command Port"),
            secretField(multiText("Password", "krPassword", "Setup password")),
            secretField(multiText("Access", "krAccess", "Access password"))};
}

// The eleven controls of port n; control and item share the name "COMn_" + suffix.
Fields portBlock(int n)
{
    const std::string p = "COM" + std::to_string(n) + "_";
    const Entries hwTypes = listOf(kPortHwTypes, n == 2 || n == 3 ? 5 : 3);
    Fields f = {multiText(p + "RemoteHostIP", p + "RemoteHostIP", "Remote Host IP"),
                multiText(p + "RemoteHostPort", p + "RemoteHostPort", "Remote Host port"),
                multiText(p + "TCPPort", p + "TCPPort", "Local TCP Port, Type"),
                beside(multiList(p + "TCPMode", p + "TCPMode", {}, listOf(kPortTcpModes))),
                multiList(p + "Baud", p + "Baud", "SIO BaudRate", baudList(10)),
                beside(multiList(p + "Parity", p + "Parity", {}, listOf(kParity))),
                beside(multiList(p + "Bits", p + "Bits", {}, listOf(kDataBits))),
                beside(multiList(p + "Stops", p + "Stops", {}, listOf(kStopBits))),
                multiList(p + "HWType", p + "HWType", "SIO Type", hwTypes),
                multiText(p + "ChrGap", p + "ChrGap", "SIO Packets Gap"),
                multiList(p + "Modbus", p + "Modbus", "Modbus TCP", listOf(kDisableEnable))};
    for (FieldDef& d : f)
        d.block = n;
    return f;
}

std::vector<PortGroup> portGroups(int portCount)
{
    switch (portCount) {
    case 1:
        return {{"COM1", {1}}};
    case 2:
        return {{" COM1", {1}}, {"COM2", {2}}};
    case 3:
        return {{" COM1 / COM2", {1, 2}}, {"COM3", {3}}};
    default:
        return {{" COM1 / COM2", {1, 2}}, {"COM3 / COM4", {3, 4}}};
    }
}

WindowDef multiPortWindow(const FamilyDef& family, int portCount)
{
    const auto index = static_cast<std::size_t>(portCount - 1);
    WindowDef w;
    w.name = family.windows[index];
    w.titlePrefix = std::to_string(portCount) + " Port Linkvane  ( MAC: ";
    w.titleRule = family.versionInTitle[index] ? TitleRule::PortMacVersion : TitleRule::PortMac;
    w.fields = generalBlock();
    // The set command carries the access password before the setup password, unlike the screen.
    w.itemOrder = {"krIP", "krMask", "krGateway", "krDHCP", "krDeviceID", "krReportID", "krAccess", "krPassword"};
    for (const FieldDef& extra : family.extraFields) {
        w.fields.push_back(extra);
        w.itemOrder.push_back(extra.tag);
    }
    for (int n = 1; n <= portCount; ++n) {
        append(w.fields, portBlock(n));
        for (std::string_view suffix : kPortItems)
            w.itemOrder.push_back("COM" + std::to_string(n) + "_" + std::string(suffix));
    }
    w.headerExtra = HeaderExtra::Nul;
    w.updateCount = 1;
    w.delayMs = 200;
    w.portCount = portCount;
    w.family = &family;
    w.portGroups = portGroups(portCount);
    w.ipTag = "krIP";
    w.deviceIdTag = "krDeviceID";
    w.passwordTag = "krPassword";
    return w;
}

// The two families the devices come in: the same keys, told apart by a final "A" of the model.
FamilyDef krFamily(std::string name, int row, std::string loaderName, ModelEnding ending,
                   std::array<std::string, 4> windows)
{
    FamilyDef f;
    f.name = std::move(name);
    f.modelTableRow = row;
    f.loaderName = std::move(loaderName);
    f.keys = {"KR-7700", "KR-7800", "KR-7900", "KR-7600"};
    f.ending = ending;
    for (std::size_t i = 0; i < f.keys.size(); ++i)
        f.models[i] = f.keys[i] + (ending == ModelEnding::A ? "A" : "");
    f.windows = std::move(windows);
    f.variantA = ending == ModelEnding::A;
    return f;
}

FamilyDef plainFamily()
{
    return krFamily("KR-7x00", 1, "LoadMultiPortConfig", ModelEnding::NotA,
                    {"Frm1PortSetup", "frm2PortSetup", "frm3PortSetup", "frm4PortSetup"});
}

FamilyDef familyWithArbitration()
{
    FamilyDef f = krFamily("KR-7x00A", 2, "LoadMultiPortAConfig", ModelEnding::A,
                           {"frmKR7700ASetup", "frmKR7800ASetup", "frmKR7900ASetup", "frmKR7600ASetup"});
    f.versionInTitle = {false, true, false, false};
    f.extraFields = {multiList("multis", "multis", "Multi Connection Support", listOf(kDisableEnable)),
                     multiText("arbtime", "arbtime", "Arbitration Time Period"),
                     multiText("uarttimeout", "uarttimeout", "UART Response Timeout")};
    return f;
}

std::vector<WindowDef> singlePortWindows()
{
    std::vector<WindowDef> c;
    c.push_back(singlePortWindow("frmSetup", "KR-700 Setup  ( MAC: ", kr700Fields(), 5));
    c.push_back(singlePortWindow("frmSetupPL700A", "PL-700 Setup  ( MAC: ", pl700Fields(), 5));
    c.push_back(singlePortWindow("frmSetupKr770A", "KR-770A Setup  ( MAC: ", kr770NoteFields(), 3));
    c.push_back(singlePortWindow("frmSetupKr787A", "KR-770A Setup  ( MAC: ", kr770NoteFields(), 3));
    c.push_back(singlePortWindow("frmSetupPL780A", "PL-780A Setup  ( MAC: ", kr770NoteFields(), 3));
    WindowDef pl778 = singlePortWindow("frmSetupPl778", "PL-778  Setup  ( MAC: ", pl778Fields(), 5);
    pl778.headerExtra = HeaderExtra::Slash;
    c.push_back(std::move(pl778));
    c.push_back(radioWindow("frmSetupDn680", "DN-680 Setup  ( MAC: ", TitleRule::MacAndVersion));
    c.push_back(radioWindow("frmSetupDn687", "DN-687 Setup  (", TitleRule::VersionOnly));
    c.push_back(radioWindow("frmSetupDn690", "DN-690 Setup  (", TitleRule::VersionOnly));
    c.push_back(singlePortWindow("frmSetupNDQ770", "Ethernet IO Setup  ( MAC: ", ndq770Fields(), 3));
    return c;
}

// ---- what the simulated devices answer -------------------------------------------------------------

SampleValue fixed(std::string text)
{
    SampleValue v;
    v.text = std::move(text);
    return v;
}

SampleValue number(int base, int perPort = 0, int cycle = 0, int step = 1)
{
    SampleValue v;
    v.base = base;
    v.perPort = perPort;
    v.cycle = cycle;
    v.step = step;
    return v;
}

SampleValue withText(SampleValue v, std::string text)
{
    v.text = std::move(text);
    return v;
}

// The sample of a field by its tag ("COMn_" left off); none for a tag this table does not know.
std::optional<SampleValue> sampleFor(std::string_view tag, ControlKind kind)
{
    if (tag.size() > 5 && tag.substr(0, 3) == "COM" && tag[3] >= '1' && tag[3] <= '9' && tag[4] == '_')
        tag.remove_prefix(5);
    if (kind == ControlKind::ComboBox) {
        // Typical values where a device has a natural default, varied elsewhere.
        if (tag == "SIOBaud" || tag == "Baud") {
            SampleValue v = number(5, 0, 5);
            v.cycleWithPort = true;
            return v;
        }
        if (tag == "SIOBits" || tag == "Bits")
            return number(1);
        SampleValue v;
        v.varied = true;
        return v;
    }
    if (tag == "SubMask" || tag == "krMask")
        return fixed("255.255.255.0");
    if (tag == "GatewayIP" || tag == "krGateway")
        return fixed("{subnet}254");
    if (tag == "HostIP" || tag == "RemoteHostIP")
        return withText(number(100, 1), "{subnet}{n}");
    if (tag == "HostPort" || tag == "RemoteHostPort")
        return number(5000, 1);
    if (tag == "SIOSocketPort" || tag == "TCPPort")
        return number(4001, 1);
    if (tag == "DIOSocketPort")
        return fixed("5001");
    if (tag == "TCPLinkTimeOut")
        return number(30, 0, 5, 10);
    if (tag == "ChrGap")
        return fixed("10");
    if (tag == "ReportIDPort" || tag == "krReportID")
        return fixed("4000");
    if (tag == "AccessPassword" || tag == "krAccess")
        return fixed("");
    if (tag == "arbtime")
        return fixed("100");
    if (tag == "uarttimeout")
        return fixed("200");
    if (tag == "PanId")
        return number(1000, 0, 9000);
    if (tag == "RFChan")
        return number(11, 0, 16);
    if (tag == "ZNwkAddr")
        return withText(number(1000, 0, 9000), "0x{n} / {n}");
    if (tag == "ZMac")
        return withText(number(10, 0, 90), "00:13:A2:00:40:{n}");
    return std::nullopt;
}

// Every field with a tag, but the window's roles, answers with its sample; a family's own fields may
// bring theirs.
WindowDef withSamples(WindowDef w)
{
    for (FieldDef& f : w.fields) {
        if (f.tag.empty() || f.sample || f.tag == w.ipTag || f.tag == w.deviceIdTag || f.tag == w.passwordTag)
            continue;
        f.sample = sampleFor(f.tag, f.kind);
    }
    return w;
}

// ---- roles: the names a setting has in every family -------------------------------------------------

struct RoleRow {
    std::string_view tag;  // a single-port tag, or the item of a multi-port port block ("Baud" of "COM2_Baud")
    std::string_view role; // for a port block item, the part after "portN."
};

// The single-port windows: one serial port, which is port 1.
// clang-format off
constexpr std::array<RoleRow, 19> kSinglePortRoles = {{
    {"IPAddress", "ip"}, {"SubMask", "mask"}, {"GatewayIP", "gateway"}, {"DHCPEnable", "dhcp"},
    {"DeviceID", "deviceId"}, {"SetupPassword", "password"}, {"AccessPassword", "accessPassword"},
    {"ReportIDPort", "commandPort"},
    {"HostIP", "port1.remoteIp"}, {"HostPort", "port1.remotePort"}, {"SIOSocketPort", "port1.localPort"},
    {"SIOSocketType", "port1.mode"}, {"SIOBaud", "port1.baud"}, {"SIOParity", "port1.parity"},
    {"SIOBits", "port1.dataBits"}, {"SIOStops", "port1.stopBits"}, {"SIOType", "port1.type"},
    {"ChrGap", "port1.charGap"}, {"COM1_Modbus", "port1.modbus"}}};

// The general block every multi-port window shares.
constexpr std::array<RoleRow, 8> kGeneralRoles = {{
    {"krIP", "ip"}, {"krMask", "mask"}, {"krGateway", "gateway"}, {"krDHCP", "dhcp"},
    {"krDeviceID", "deviceId"}, {"krPassword", "password"}, {"krAccess", "accessPassword"},
    {"krReportID", "commandPort"}}};

// The items of port block n, named "portN." + role.
constexpr std::array<RoleRow, 11> kPortRoles = {{
    {"RemoteHostIP", "remoteIp"}, {"RemoteHostPort", "remotePort"}, {"TCPPort", "localPort"},
    {"TCPMode", "mode"}, {"Baud", "baud"}, {"Parity", "parity"}, {"Bits", "dataBits"}, {"Stops", "stopBits"},
    {"HWType", "type"}, {"ChrGap", "charGap"}, {"Modbus", "modbus"}}};
// clang-format on

template <std::size_t N> std::string_view roleIn(const std::array<RoleRow, N>& rows, std::string_view tag)
{
    for (const RoleRow& row : rows)
        if (row.tag == tag)
            return row.role;
    return {};
}

// Every field with a tag that the tables know gets its role; a role a field already has stays.
WindowDef withRoles(WindowDef w)
{
    for (FieldDef& f : w.fields) {
        if (f.tag.empty() || !f.role.empty() || f.kind == ControlKind::Display)
            continue;
        if (!w.isMultiPort()) {
            f.role = roleIn(kSinglePortRoles, f.tag);
        } else if (f.block == 0) {
            f.role = roleIn(kGeneralRoles, f.tag);
        } else {
            const std::string prefix = "COM" + std::to_string(f.block) + "_";
            if (f.tag.compare(0, prefix.size(), prefix) == 0)
                if (const std::string_view item = roleIn(kPortRoles, std::string_view(f.tag).substr(prefix.size()));
                    !item.empty())
                    f.role = "port" + std::to_string(f.block) + "." + std::string(item);
        }
    }
    return w;
}

struct Catalogue {
    std::deque<WindowDef> windows;
    std::deque<FamilyDef> families;

    const FamilyDef& add(FamilyDef family)
    {
        const FamilyDef& stored = families.emplace_back(std::move(family));
        for (int ports = 1; ports <= 4; ++ports)
            windows.push_back(withRoles(withSamples(multiPortWindow(stored, ports))));
        return stored;
    }
};

Catalogue& catalogue()
{
    static Catalogue c = [] {
        Catalogue built;
        for (WindowDef& w : singlePortWindows())
            built.windows.push_back(withRoles(withSamples(std::move(w))));
        built.add(plainFamily());
        built.add(familyWithArbitration());
        return built;
    }();
    return c;
}

} // namespace

const FieldDef* WindowDef::fieldByControl(std::string_view control) const
{
    auto it = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& f) { return f.control == control; });
    return it == fields.end() ? nullptr : &*it;
}

const std::string* FieldDef::entryFor(std::string_view value) const
{
    if (kind != ControlKind::ComboBox || value.empty() || value.size() >= 6 ||
        value.find_first_not_of("0123456789") != std::string_view::npos)
        return nullptr;
    std::size_t index = 0;
    for (const char digit : value)
        index = index * 10 + static_cast<std::size_t>(digit - '0');
    return index < entries.size() ? &entries[index] : nullptr;
}

const FieldDef* WindowDef::fieldByTag(std::string_view tag) const
{
    if (tag.empty())
        return nullptr;
    auto it = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& f) { return f.tag == tag; });
    return it == fields.end() ? nullptr : &*it;
}

const FieldDef* WindowDef::fieldByName(std::string_view setting) const
{
    if (const FieldDef* byTag = fieldByTag(setting))
        return byTag;
    if (setting.empty())
        return nullptr;
    auto it = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& f) { return f.role == setting; });
    return it == fields.end() ? nullptr : &*it;
}

bool WindowDef::sendsTag(std::string_view tag) const
{
    if (std::find(itemOrder.begin(), itemOrder.end(), tag) == itemOrder.end())
        return false;
    const FieldDef* field = fieldByTag(tag);
    return field && (field->kind == ControlKind::TextBox || field->kind == ControlKind::ComboBox);
}

const std::deque<WindowDef>& windowCatalogue()
{
    return catalogue().windows;
}

namespace {

template <typename Entry> const Entry* byName(const std::deque<Entry>& entries, std::string_view name)
{
    auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

} // namespace

const WindowDef* findWindow(std::string_view name)
{
    return byName(windowCatalogue(), name);
}

const std::deque<FamilyDef>& families()
{
    return catalogue().families;
}

const FamilyDef* findFamily(std::string_view name)
{
    return byName(families(), name);
}

const FamilyDef& addFamily(FamilyDef family)
{
    return catalogue().add(std::move(family));
}

std::vector<FieldDef> sharedGeneralFields()
{
    return generalBlock();
}

const WindowDef* FamilyDef::window(int ports) const
{
    if (ports < 1 || ports > 4)
        return nullptr;
    return findWindow(windows[static_cast<std::size_t>(ports - 1)]);
}

bool FamilyDef::serves(std::string_view model, int* ports) const
{
    const bool endsInA = !model.empty() && model.back() == 'A';
    if ((ending == ModelEnding::A && !endsInA) || (ending == ModelEnding::NotA && endsInA))
        return false;
    const std::string_view key = model.substr(0, 7);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i].empty() && key == keys[i]) {
            if (ports)
                *ports = static_cast<int>(i) + 1;
            return true;
        }
    }
    return false;
}

std::vector<std::string> allRoles()
{
    std::vector<std::string> roles;
    for (const WindowDef& w : windowCatalogue())
        for (const FieldDef& f : w.fields)
            if (!f.role.empty() && std::find(roles.begin(), roles.end(), f.role) == roles.end())
                roles.push_back(f.role);
    return roles;
}

std::string windowTitle(const WindowDef& window, std::string_view selMac, std::string_view version)
{
    std::string title = window.titlePrefix;
    switch (window.titleRule) {
    case TitleRule::MacAndVersion:
        title.append(selMac).append(" )  (").append(version).append(")");
        break;
    case TitleRule::VersionOnly:
        title.append(version).append(")");
        break;
    case TitleRule::PortMac:
        title.append(selMac).append(" )");
        break;
    case TitleRule::PortMacVersion:
        title.append(selMac).append(" )").append(version);
        break;
    }
    return title;
}

const std::vector<std::string>& singlePortSlots()
{
    static const std::vector<std::string> slots = [] {
        std::vector<std::string> s = {"MacAddress"};
        s.insert(s.end(), kSinglePortOrder.begin(), kSinglePortOrder.end());
        return s;
    }();
    return slots;
}

const std::vector<std::string>& baudList(int entries)
{
    static const Entries all = listOf(kBaudRates);
    static const Entries ten = listOf(kBaudRates, 10);
    return entries >= 13 ? all : ten;
}

} // namespace lv
