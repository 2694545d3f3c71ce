#pragma once

// The catalogue of setup windows: for each window its name, title, fields in
// screen order, the item order of its set command and its exchange parameters.
// The window classes, the loaders, the CLI and the simulated devices are all
// built from these tables; a new model is a new entry here.

#include "tagmessage.h"

#include <string>
#include <string_view>
#include <vector>

namespace lv {

enum class ControlKind {
    TextBox,  // txt..., the value is its text
    ComboBox, // cmb..., the value is the decimal text of the selected index, "-1" for none
    Display,  // a label that shows a loaded value (ZNwkAddr, ZMac); never sent
    Note,     // a read-only text box with a fixed note (Text1); never read. The note is entries[0].
};

// How a single-port loader fills a field (multi-port loaders take every value as given).
enum class LoadRule {
    NotLoaded,        // the loader does not touch this field (ZMode, Text1)
    Text,             // the value as text
    TextEmptyAsZero,  // PL-778 txtMSATP: an empty value shows "0" and records nothing
    Guarded,          // accepted range 0..limit, else defaultIndex shown and resendMark recorded
    DioType,          // frmSetup cmbDioMode: below 0 or 255 selects 0; the selection is recorded
    Bounded,          // above limit -> 0; the selection is recorded
    BoundedRecordRaw, // PL-778 COM1_Modbus: above limit -> 0; the value as received is recorded
    Plain,            // the value is the index
    Display,          // shown in a label when present and not empty; nothing recorded
    Multi,            // multi-port windows: the value as given, no bounds
    Preset,           // a field the device's own loader never filled (cmbTCPLinkTimeOutMode and txtReportID on
                      // frmSetup, cmbDioMode on frmSetupPL700A): taken from the reply when it carries the tag
                      // (a list value the list does not hold selects nothing), the shown state recorded, so
                      // only the operator's own choice is ever sent back
};

struct FieldDef {
    std::string control; // objectName: "txtIP", "cmbSioBaud", "COM2_Baud"
    std::string tag;     // item tag; empty for fields without one (ZMode, Text1); Display fields
                         // name the tag they show but are never sent
    std::string label;   // caption of the row label; empty for a field on the row of the one
                         // before, and for a row without label (Text1)
    ControlKind kind = ControlKind::TextBox;
    std::vector<std::string> entries; // list entries, index 0 first; for a Note the note text alone
    std::string unit;                 // unit label right of the field ("Sec.", "ms")
    bool enabled = true;              // false: switched off at design time, never editable
    bool sameRow = false;             // stands right of the field before it
    LoadRule rule = LoadRule::Text;
    int limit = 0;          // Guarded: highest accepted value; Bounded: highest kept value
    int defaultIndex = 0;   // Guarded: index shown when the value is refused
    std::string resendMark; // Guarded: recorded when the value is refused
    int block = 0;          // multi-port: 0 general block, n = port n
    bool secret = false;    // a password: masked in anything shown to a person unless asked for
};

enum class TitleRule {
    MacAndVersion, // prefix + gSelMac + " )  (" + gVersion + ")"
    VersionOnly,   // prefix + gVersion + ")"
    PortMac,       // prefix + gSelMac + " )"
    PortMacVersion // prefix + gSelMac + " )" + gVersion
};

// Port-block arrangement of a multi-port window: each group is one caption
// with one or two ports side by side.
// The caption of the general block of every multi-port window.
inline constexpr std::string_view kGeneralSettingCaption = "General Setting";

struct PortGroup {
    std::string caption;
    std::vector<int> ports;
};

struct WindowDef {
    std::string name;        // "frmSetupKr770A", "frm2PortSetup", ...
    std::string titlePrefix; // "KR-770A Setup  ( MAC: ", "2 Port Linkvane  ( MAC: "
    TitleRule titleRule = TitleRule::MacAndVersion;
    std::vector<FieldDef> fields;       // screen order
    std::vector<std::string> itemOrder; // tags in the order of the set command
    HeaderExtra headerExtra = HeaderExtra::None;
    int updateCount = 5; // how many "U " commands follow the delay
    int delayMs = 500;   // delay between the set command and the "U " commands
    int portCount = 0;   // 0 for single-port windows, 1..4 for multi-port windows
    bool familyA = false;
    std::vector<PortGroup> portGroups; // multi-port only
    // Radio windows: these tags are compared only when their loaded value is not empty.
    std::vector<std::string> sendOnlyIfLoaded;
    // The family's roles: the tags that carry the device's IP address, device ID and setup
    // password. The headers of the set and "U " commands and the device-list patch use them.
    std::string ipTag;
    std::string deviceIdTag;
    std::string passwordTag;

    bool isMultiPort() const { return portCount > 0; }
    const FieldDef* fieldByControl(std::string_view control) const;
    const FieldDef* fieldByTag(std::string_view tag) const;
    // True when the set command can carry the tag: the window has an editable field for it.
    bool sendsTag(std::string_view tag) const;
};


// All eighteen windows: ten single-port windows, then the two multi-port families.
const std::vector<WindowDef>& windowCatalogue();
const WindowDef* findWindow(std::string_view name);

// The window title as Form_Load sets it.
std::string windowTitle(const WindowDef& window, std::string_view selMac, std::string_view version);

// The slots of LoadedConfig in their fixed order (MacAddress first).
const std::vector<std::string>& singlePortSlots();

// Standard lists.
const std::vector<std::string>& baudList(int entries); // 13 entries when asked for 13 or more, else 10
} // namespace lv
