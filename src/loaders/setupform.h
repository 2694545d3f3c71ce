// SPDX-License-Identifier: Apache-2.0
#pragma once

// The headless setup form: for one window, what each control holds now and the values as loaded,
// setting a field by the window's rules, the Update plan and the device-line patch that follows it.

#include "catalogue.h"
#include "devicelinepatch.h"
#include "loaders.h"
#include "updateplan.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

// One field as the window shows it.
struct ShownField {
    std::string tag;
    std::string control;
    std::string value;                // a text box's text, a list's index as decimal text
    std::optional<std::string> label; // lists only: the entry shown, empty when none is
    bool enabled = true;
    bool secret = false;
};

// Why a field could not be set from a typed value.
enum class SetError {
    None,
    UnknownName, // the window has no field that its set command carries under this tag
    SwitchedOff, // the field is switched off and can never be edited
    NotReported, // the device reported no value, so the window never sends this field
    NoSuchEntry, // the list holds no such entry
    CarriesItem, // the text holds a tag of an item or a reply marker, so it would be read as something else
    HoldsNul,    // the text holds a NUL, where the device would end the value
    NotOneLine,  // a secret's text holds a CR or LF: no input of any tool could type it again
};

// True when `value` holds its own closing tag, an opening or closing tag of any item a window knows,
// or a marker of the configuration reply ("MODEL: ", "VER:"): sent as it is, the device would read
// the command, or later its own reply, differently from what was typed.
bool carriesItem(std::string_view tag, std::string_view value);

// The list index for a value typed for a list field: an entry's label (exact, else the one entry
// that matches without regard to letter case) or "#N". No result when the list does not hold it.
std::optional<int> listIndexForValue(const FieldDef& field, std::string_view value);

class SetupForm {
public:
    // `loaded` is where the values as loaded live (the session's LoadedConfig, or the
    // MultiPortSnapshot that all windows of both multi-port families share); without one the form
    // keeps its own.
    explicit SetupForm(const WindowDef& window, LoadedValues* loaded = nullptr);
    SetupForm(const SetupForm&) = delete;
    SetupForm& operator=(const SetupForm&) = delete;

    const WindowDef& window() const { return m_window; }
    const LoadedValues& loaded() const { return *m_loaded; }
    const std::string& loadedText(std::string_view tag) const;

    // Fills the form from a configuration reply by the window's loader. For a multi-port window the
    // reply is read for `portCount` ports.
    void load(std::string_view reply, int portCount = 0);
    // Shows what a loader read. The values as loaded are replaced by the result's unless
    // `recordLoaded` is false (a multi-port loader writes the shared snapshot once for the family).
    void apply(const LoadResult& result, bool recordLoaded = true);

    const ControlValue& value(std::string_view control) const;
    void setText(std::string_view control, std::string text);
    void setIndex(std::string_view control, int index);
    // What a loaded text box really shows is what counts as loaded: a box that shortened the value
    // records the shortened text, so the shortening alone is never sent.
    void recordShownText(std::string_view control, std::string shown);

    // The field's value as Update reads it: the text, or the list index as decimal text.
    std::string currentText(const FieldDef& field) const;
    bool changed(const FieldDef& field) const;
    // True for every field whose current value the set command can carry.
    bool readsField(const FieldDef& field) const;

    // Sets the field carried by `tag` from typed text or a list label (or "#N").
    SetError set(std::string_view tag, std::string_view value);

    // True when the reply named the device: without a MacAddress no command can address it.
    bool hasDeviceMac() const { return !loadedText(kMacAddressTag).empty(); }
    // The first changed field whose text carries an item; null when there is none.
    const FieldDef* fieldCarryingItem() const;

    UpdatePlan plan() const;
    DeviceLinePatch linePatch() const;
    std::vector<ShownField> shownFields() const;

private:
    const WindowDef& m_window;
    LoadedValues m_ownLoaded;
    LoadedValues* m_loaded;
    std::map<std::string, ControlValue, std::less<>> m_controls;
};

} // namespace lv
