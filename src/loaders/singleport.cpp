// SPDX-License-Identifier: Apache-2.0
// The single-port loaders: list values checked against their bounds and defaulted, text as given.

#include "loaders.h"

#include <charconv>
#include <limits>
#include <optional>

namespace lv {

// A list value as a number: an optional '-' and one or more decimal digits, nothing else, so "01" is 1
// and " 1", "+1", "1 " or "" are not numbers at all. Devices write plain decimal indexes; anything else
// is a damaged reply and must not pick an entry by accident. Values too large for the type saturate,
// which keeps them above every limit.
std::optional<long long> listNumber(std::string_view text)
{
    long long n = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, n);
    if (end != last)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range)
        return text.front() == '-' ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    if (ec != std::errc())
        return std::nullopt;
    return n;
}

namespace {

// The index the list can show for `value`: the value itself when the list holds that entry, else none.
int indexInList(const FieldDef& field, long long value)
{
    return value >= 0 && value < static_cast<long long>(field.entries.size()) ? static_cast<int>(value) : -1;
}

ControlValue textControl(std::string text)
{
    return ControlValue{std::move(text), -1, true};
}

ControlValue listControl(int index)
{
    return ControlValue{{}, index, true};
}

// What a field shows and records; `recorded` empty means nothing is written to the loaded values.
struct FieldLoad {
    ControlValue control;
    std::optional<std::string> recorded;
};

// The control's state read back, as the window's Update will read it.
FieldLoad readBack(const FieldDef& field, const ControlValue& control)
{
    return {control, currentText(field, control)};
}

FieldLoad loadList(const FieldDef& field, const std::string& value)
{
    const std::optional<long long> n = listNumber(value);
    switch (field.rule) {
    case LoadRule::Guarded:
        if (!n || *n < 0 || *n > field.limit)
            return {listControl(field.defaultIndex), field.resendMark};
        return readBack(field, listControl(indexInList(field, *n)));
    case LoadRule::DioType:
        if (n && (*n < 0 || *n == 255))
            return readBack(field, listControl(0));
        break;
    case LoadRule::Bounded:
        if (n && *n > field.limit)
            return readBack(field, listControl(0));
        break;
    case LoadRule::BoundedRecordRaw:
        // The value as received is recorded, so a replaced value differs from the shown 0 and is sent back.
        if (n && *n > field.limit)
            return {listControl(0), value};
        if (n && indexInList(field, *n) >= 0)
            return {listControl(indexInList(field, *n)), value};
        break;
    default:
        break;
    }
    return readBack(field, listControl(n ? indexInList(field, *n) : -1));
}

FieldLoad loadField(const FieldDef& field, const TagValue& tag)
{
    if (field.rule == LoadRule::NotLoaded || field.kind == ControlKind::Note)
        return {ControlValue{}, std::nullopt};
    if (field.rule == LoadRule::Display) {
        if (tag.present && !tag.value.empty())
            return {textControl(tag.value), std::nullopt};
        return {ControlValue{}, std::nullopt};
    }
    // A tag missing from the reply leaves the control as designed and records that state, so nothing is sent
    // for it unless the operator changes it.
    if (!tag.present)
        return readBack(field, ControlValue{});
    if (field.kind == ControlKind::ComboBox)
        return loadList(field, tag.value);
    if (field.rule == LoadRule::TextEmptyAsZero && tag.value.empty())
        return {textControl("0"), std::nullopt};
    return readBack(field, textControl(tag.value));
}

} // namespace

LoadResult loadSinglePort(const WindowDef& window, std::string_view reply)
{
    LoadResult result;
    result.window = &window;
    result.loaded["MacAddress"] = GetTagValue(reply, "MacAddress").value;
    for (const FieldDef& field : window.fields) {
        const TagValue tag = field.tag.empty() ? TagValue{} : GetTagValue(reply, field.tag);
        FieldLoad load = loadField(field, tag);
        result.controls[field.control] = std::move(load.control);
        if (load.recorded && !field.tag.empty())
            result.loaded[field.tag] = std::move(*load.recorded);
    }
    return result;
}

std::string currentText(const FieldDef& field, const ControlValue& value)
{
    if (field.kind == ControlKind::ComboBox)
        return std::to_string(value.index);
    return value.text;
}

} // namespace lv
