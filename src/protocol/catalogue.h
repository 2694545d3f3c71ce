// SPDX-License-Identifier: Apache-2.0
#pragma once

// The catalogue of setup windows: for each window its name, title, fields in
// screen order, the item order of its set command and its exchange parameters.
// The window classes, the loaders, the CLI and the simulated devices are all
// built from these tables; a new model is a new entry here.

#include "tagmessage.h"

#include <array>
#include <deque>
#include <optional>
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

// The value a simulated device answers with for a field. In `text`, "{subnet}" stands for the
// device's subnet ("192.168.1.") and "{n}" for the number
//   base + perPort * port + ((device index [+ port]) % cycle) * step     (no cycle term when cycle is 0)
// where port is the field's port block (0 outside one). A list field takes that number as its entry,
// cut to its last entry; `varied` lists take (device index + field number) % entries instead.
struct SampleValue {
    std::string text = "{n}";
    int base = 0;
    int perPort = 0;
    int cycle = 0;
    int step = 1;
    bool cycleWithPort = false;
    bool varied = false;
};

struct WindowDef;

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
    // The name the setting has in every family ("ip", "deviceId", "port1.baud"), so that one plan or
    // one NAME=VALUE reaches the same setting whatever the window calls its tag; empty for a field
    // whose meaning only its own window has.
    std::string role;
    // What a simulated device answers with; every field with a tag has one, but those of the window's
    // roles (IP address, device ID, setup password), which each device sets itself.
    std::optional<SampleValue> sample;

    // The entry a list field's value (a decimal index as sent) stands for; none for another kind of
    // field or a value that is not an index of the list.
    const std::string* entryFor(std::string_view value) const;
    // The same for the field of `window` that carries `tag`: the one decoder of a list value to its
    // label, for the window's status bar and the CLI's reports alike. None without such a field.
    static const std::string* entryFor(const WindowDef* window, std::string_view tag, std::string_view value);
};

// How the model identifiers of a multi-port family end: two families may share their keys and differ
// in the last character.
enum class ModelEnding {
    Any,
    NotA, // anything but "A"
    A,
};

// A multi-port family: four windows, one per port count, filled together from one reply. The windows
// of a family share the general block (the fields every multi-port window has, then the family's
// extra fields) and one snapshot of the values as loaded; all but the shown one stay loaded and
// hidden until the Cancel of the window of `cancelUnloadsAtPorts` ports or the main window's close.
struct FamilyDef {
    std::string name;                // "KR-7x00", "KR-7x00A"
    int modelTableRow = 0;           // the row of the model table that serves it
    std::string loaderName;          // "LoadMultiPortConfig", ...
    std::array<std::string, 4> keys; // the first seven characters of the model, by port count
    ModelEnding ending = ModelEnding::Any;
    std::array<std::string, 4> models;  // the identifiers the devices send, by port count
    std::array<std::string, 4> windows; // the window names, by port count (index 0: one port)
    std::array<bool, 4> versionInTitle{true, true, true, true};
    std::vector<FieldDef> extraFields; // general fields after the shared ones, in screen and item order
    int cancelUnloadsAtPorts = 4;
    bool variantA = false; // the model table's second multi-port loader kind

    // The window of `ports` ports (1..4).
    const WindowDef* window(int ports) const;
    // True when `model` belongs to the family; `ports` is then its port count.
    bool serves(std::string_view model, int* ports) const;
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
    int updateCount = 5;               // how many "U " commands follow the delay
    int delayMs = 500;                 // delay between the set command and the "U " commands
    int portCount = 0;                 // 0 for single-port windows, 1..4 for multi-port windows
    const FamilyDef* family = nullptr; // multi-port windows: their family
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
    // The field a setting name names: its tag, else its role; none for a name that is neither.
    const FieldDef* fieldByName(std::string_view setting) const;
    // True when the set command can carry the tag: the window has an editable field for it.
    bool sendsTag(std::string_view tag) const;
};

inline const std::string* FieldDef::entryFor(const WindowDef* window, std::string_view tag, std::string_view value)
{
    const FieldDef* field = window ? window->fieldByTag(tag) : nullptr;
    return field ? field->entryFor(value) : nullptr;
}

// All windows: ten single-port windows, then the four of each multi-port family. Entries never move.
const std::deque<WindowDef>& windowCatalogue();
const WindowDef* findWindow(std::string_view name);

// The multi-port families, in the order the model table serves them. Entries never move.
const std::deque<FamilyDef>& families();
const FamilyDef* findFamily(std::string_view name);

// A new multi-port family: its four windows are built from the shared multi-port layout and its
// extra fields, and added to the catalogue; the model table serves its models from then on.
// Returns the family as stored. Meant to be called before any window is opened.
const FamilyDef& addFamily(FamilyDef family);

// The general fields that every multi-port window has, before its family's extra ones.
std::vector<FieldDef> sharedGeneralFields();

// Every role a field of some window declares, each once, in catalogue order.
std::vector<std::string> allRoles();

// The window title as Form_Load sets it.
std::string windowTitle(const WindowDef& window, std::string_view selMac, std::string_view version);

// The slots of LoadedConfig in their fixed order (MacAddress first).
const std::vector<std::string>& singlePortSlots();

// Standard lists.
const std::vector<std::string>& baudList(int entries); // 13 entries when asked for 13 or more, else 10
} // namespace lv
