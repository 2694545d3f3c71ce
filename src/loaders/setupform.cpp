// SPDX-License-Identifier: Apache-2.0
// The headless setup form shared by the setup windows and the command-line tool.

#include "setupform.h"

#include <algorithm>
#include <charconv>

namespace lv {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// "#N" with N a plain decimal number; no sign, no blanks.
std::optional<int> rawIndex(std::string_view text)
{
    if (text.size() < 2 || text.front() != '#' || text.size() > 10)
        return std::nullopt;
    int n = 0;
    const char* first = text.data() + 1;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end != last || *first == '-' || *first == '+')
        return std::nullopt;
    return n;
}

const ControlValue& designState()
{
    static const ControlValue value;
    return value;
}

} // namespace

const std::vector<std::string>& knownTags()
{
    static const std::vector<std::string> tags = [] {
        std::vector<std::string> all{std::string(kMacAddressTag)};
        for (const WindowDef& window : windowCatalogue())
            for (const FieldDef& field : window.fields)
                if (!field.tag.empty() && std::find(all.begin(), all.end(), field.tag) == all.end())
                    all.push_back(field.tag);
        return all;
    }();
    return tags;
}

bool carriesItem(std::string_view tag, std::string_view value)
{
    // A device that reads its reply's markers wherever they stand would take the value for them.
    if (value.find(kModelMarker) != std::string_view::npos || value.find(kVersionMarker) != std::string_view::npos)
        return true;
    if (value.find('<') == std::string_view::npos)
        return false;
    const auto holds = [value](std::string_view prefix, std::string_view name) {
        return value.find(std::string(prefix) + std::string(name) + ">") != std::string_view::npos;
    };
    if (holds("</", tag))
        return true;
    for (const std::string& known : knownTags())
        if (holds("<", known) || holds("</", known))
            return true;
    return false;
}

std::optional<int> listIndexForValue(const FieldDef& field, std::string_view value)
{
    const int count = static_cast<int>(field.entries.size());
    if (!value.empty() && value.front() == '#') {
        const std::optional<int> n = rawIndex(value);
        if (!n || *n >= count)
            return std::nullopt;
        return n;
    }
    for (int i = 0; i < count; ++i)
        if (field.entries[static_cast<std::size_t>(i)] == value)
            return i;
    std::optional<int> found;
    for (int i = 0; i < count; ++i) {
        if (equalIgnoringCase(field.entries[static_cast<std::size_t>(i)], value)) {
            if (found)
                return std::nullopt; // more than one entry fits: the operator must say which
            found = i;
        }
    }
    return found;
}

SetupForm::SetupForm(const WindowDef& window, LoadedValues* loaded)
    : m_window(window), m_loaded(loaded ? loaded : &m_ownLoaded)
{
}

const std::string& SetupForm::loadedText(std::string_view tag) const
{
    static const std::string empty;
    const auto it = m_loaded->find(tag);
    return it == m_loaded->end() ? empty : it->second;
}

void SetupForm::load(std::string_view reply, int portCount)
{
    if (m_window.isMultiPort()) {
        apply(loadMultiPort(m_window, reply, portCount, *m_loaded), false);
        return;
    }
    apply(loadSinglePort(m_window, reply));
}

void SetupForm::apply(const LoadResult& result, bool recordLoaded)
{
    if (recordLoaded)
        *m_loaded = result.loaded;
    for (const auto& [name, value] : result.controls) {
        if (!m_window.fieldByControl(name))
            continue;
        if (value.set)
            m_controls[name] = value;
        else
            m_controls.erase(name);
    }
}

const ControlValue& SetupForm::value(std::string_view control) const
{
    const auto it = m_controls.find(control);
    return it == m_controls.end() ? designState() : it->second;
}

void SetupForm::setText(std::string_view control, std::string text)
{
    ControlValue& v = m_controls[std::string(control)];
    v.text = std::move(text);
    v.set = true;
}

void SetupForm::setIndex(std::string_view control, int index)
{
    ControlValue& v = m_controls[std::string(control)];
    v.index = index;
    v.set = true;
}

void SetupForm::recordShownText(std::string_view control, std::string shown)
{
    const FieldDef* field = m_window.fieldByControl(control);
    if (!field || field->kind != ControlKind::TextBox || value(control).text == shown)
        return;
    if (!field->tag.empty() && m_loaded->count(field->tag))
        (*m_loaded)[field->tag] = shown;
    setText(control, std::move(shown));
}

std::string SetupForm::currentText(const FieldDef& field) const
{
    return lv::currentText(field, value(field.control));
}

bool SetupForm::readsField(const FieldDef& field) const
{
    if (!m_window.sendsTag(field.tag))
        return false;
    const auto& onlyIfLoaded = m_window.sendOnlyIfLoaded;
    // The radio windows neither read nor send PAN ID and RF channel when the device reported none.
    return loadedText(field.tag).size() > 0 ||
           std::find(onlyIfLoaded.begin(), onlyIfLoaded.end(), field.tag) == onlyIfLoaded.end();
}

bool SetupForm::changed(const FieldDef& field) const
{
    return readsField(field) && currentText(field) != loadedText(field.tag);
}

SetError SetupForm::set(std::string_view tag, std::string_view value)
{
    const FieldDef* field = m_window.fieldByTag(tag);
    if (!field || !m_window.sendsTag(tag))
        return SetError::UnknownName;
    if (!field->enabled)
        return SetError::SwitchedOff;
    if (!readsField(*field))
        return SetError::NotReported;
    if (field->kind == ControlKind::ComboBox) {
        const std::optional<int> index = listIndexForValue(*field, value);
        if (!index)
            return SetError::NoSuchEntry;
        setIndex(field->control, *index);
    } else {
        if (value.find('\0') != std::string_view::npos)
            return SetError::HoldsNul;
        if (field->secret && value.find_first_of("\r\n") != std::string_view::npos)
            return SetError::NotOneLine;
        if (carriesItem(field->tag, value))
            return SetError::CarriesItem;
        setText(field->control, std::string(value));
    }
    return SetError::None;
}

const FieldDef* SetupForm::fieldCarryingItem() const
{
    for (const FieldDef& field : m_window.fields)
        if (field.kind == ControlKind::TextBox && changed(field) && carriesItem(field.tag, currentText(field)))
            return &field;
    return nullptr;
}

UpdatePlan SetupForm::plan() const
{
    std::map<std::string, std::string, std::less<>> current;
    for (const FieldDef& field : m_window.fields)
        if (field.kind == ControlKind::TextBox || field.kind == ControlKind::ComboBox)
            current[field.control] = currentText(field);
    return planUpdate(m_window, *m_loaded, current);
}

DeviceLinePatch SetupForm::linePatch() const
{
    DeviceLinePatch patch;
    const auto column = [this](const std::string& tag, std::string& loaded, std::string& now) {
        loaded = loadedText(tag);
        const FieldDef* field = m_window.fieldByTag(tag);
        now = field ? currentText(*field) : loaded;
        return now != loaded;
    };
    patch.ipChanged = column(m_window.ipTag, patch.loadedIp, patch.newIp);
    patch.deviceIdChanged = column(m_window.deviceIdTag, patch.loadedDeviceId, patch.newDeviceId);
    return patch;
}

std::vector<ShownField> SetupForm::shownFields() const
{
    std::vector<ShownField> shown;
    for (const FieldDef& field : m_window.fields) {
        if (field.tag.empty() || field.kind == ControlKind::Note)
            continue;
        ShownField f{field.tag, field.control, currentText(field), std::nullopt, field.enabled, field.secret};
        if (field.kind == ControlKind::ComboBox) {
            const int index = value(field.control).index;
            f.label = index >= 0 && index < static_cast<int>(field.entries.size())
                          ? field.entries[static_cast<std::size_t>(index)]
                          : std::string();
        }
        shown.push_back(std::move(f));
    }
    return shown;
}

} // namespace lv
