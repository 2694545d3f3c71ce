// SPDX-License-Identifier: Apache-2.0
// The command line's value parsing on arbitrary text: a device selector that parses round-trips its
// normalised text; a value for a list names an entry of the list or nothing; setting any field of any
// window from any text never breaks the form.
//
// Input: the first byte picks the window and the field; the rest is the typed text.

#include "catalogue.h"
#include "deviceselector.h"
#include "operands.h"
#include "setupform.h"

#include "fuzzcheck.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void checkSelector(const QString& text)
{
    const auto selector = lv::parseDeviceSelector(text);
    if (!selector)
        return;
    const auto again = lv::parseDeviceSelector(QString::fromStdString(selector->text));
    check(again.has_value());
    check(again->text == selector->text);
    if (selector->kind == lv::DeviceSelector::Kind::Ip) {
        check(again->kind == lv::DeviceSelector::Kind::Ip);
    } else {
        // Both MAC forms normalise to the upper-case MAC text.
        check(again->kind == lv::DeviceSelector::Kind::MacText);
        check(selector->text.size() == 17);
        for (std::size_t i = 0; i < 17; ++i)
            check(i % 3 == 2 ? selector->text[i] == '-'
                             : (selector->text[i] >= '0' && selector->text[i] <= '9') ||
                                   (selector->text[i] >= 'A' && selector->text[i] <= 'F'));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    checkSelector(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    checkSelector(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    if (const auto n = lv::strictNumber(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), 0, 255))
        check(*n >= 0 && *n <= 255);

    const auto& catalogue = lv::windowCatalogue();
    const lv::WindowDef& window = catalogue[data[0] % catalogue.size()];
    for (const lv::FieldDef& field : window.fields) {
        if (field.kind != lv::ControlKind::ComboBox)
            continue;
        if (const auto index = lv::listIndexForValue(field, text))
            check(*index >= 0 && *index < static_cast<int>(field.entries.size()));
    }
    if (window.fields.empty())
        return 0;
    // A form loaded from nothing reports no value; one that loaded values for every tag takes edits.
    lv::LoadedValues loaded;
    for (const lv::FieldDef& field : window.fields)
        if (!field.tag.empty())
            loaded[field.tag] = field.kind == lv::ControlKind::ComboBox ? "0" : "x";
    lv::SetupForm form(window, &loaded);
    const lv::FieldDef& field = window.fields[(data[0] / catalogue.size()) % window.fields.size()];
    const std::string before = form.currentText(field);
    const lv::SetError error = form.set(field.tag, text);
    if (error == lv::SetError::None) {
        check(window.sendsTag(field.tag) && field.enabled);
        if (field.kind == lv::ControlKind::TextBox)
            check(form.currentText(field) == text && !lv::carriesItem(field.tag, text));
        else
            check(lv::listIndexForValue(field, text) == form.value(field.control).index);
    } else {
        check(form.currentText(field) == before);
    }
    check(form.fieldCarryingItem() == nullptr);
    return 0;
}
