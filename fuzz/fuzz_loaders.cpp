// SPDX-License-Identifier: Apache-2.0
// Every loader, single-port and multi-port, on an arbitrary reply, then Update: untouched, it sends
// only what the loader marked for sending back (single-port: a refused guarded value, the PL-778
// arbitration period shown as "0", a Modbus value recorded as received; multi-port: nothing); after
// random edits it sends exactly the changed fields, in the window's item order, each once.
//
// Input: the first byte picks the window; the first chunk is the reply; every further chunk is one
// edit (field index, how, value).

#include "catalogue.h"
#include "loaders.h"
#include "setupform.h"
#include "updateplan.h"

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string header(const lv::SetupForm& form)
{
    const lv::WindowDef& window = form.window();
    std::string text = "S " + form.loadedText(lv::kMacAddressTag) + "/" + form.loadedText(window.ipTag) + "/" +
                       form.loadedText(window.passwordTag);
    if (window.headerExtra == lv::HeaderExtra::Nul)
        text.push_back('\0');
    else if (window.headerExtra == lv::HeaderExtra::Slash)
        text.push_back('/');
    return text;
}

// The set command that carries exactly the changed fields, in item order, each once.
std::string expectedSet(const lv::SetupForm& form, std::vector<std::string>* tags)
{
    const lv::WindowDef& window = form.window();
    std::string text = header(form);
    for (const std::string& tag : window.itemOrder) {
        const lv::FieldDef* field = window.fieldByTag(tag);
        if (!field || !form.changed(*field))
            continue;
        text += "/<" + tag + ">" + form.currentText(*field) + "</" + tag + ">";
        if (tags)
            tags->push_back(tag);
    }
    return text;
}

void checkControls(const lv::SetupForm& form)
{
    for (const lv::FieldDef& field : form.window().fields) {
        if (field.kind != lv::ControlKind::ComboBox)
            continue;
        const int index = form.value(field.control).index;
        check(index >= -1 && index < static_cast<int>(field.entries.size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto& catalogue = lv::windowCatalogue();
    const lv::WindowDef& window = catalogue[data[0] % catalogue.size()];
    const std::vector<std::string_view> chunks =
        splitChunks(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    // Every tag once in the item order.
    for (std::size_t i = 0; i < window.itemOrder.size(); ++i)
        check(std::count(window.itemOrder.begin(), window.itemOrder.end(), window.itemOrder[i]) == 1);

    lv::LoadedValues snapshot;
    lv::SetupForm form(window, window.isMultiPort() ? &snapshot : nullptr);
    form.load(chunks[0], window.portCount);
    checkControls(form);

    const lv::UpdatePlan untouched = form.plan();
    std::vector<std::string> sent;
    check(untouched.setCommand == expectedSet(form, &sent));
    check(untouched.updateCommand == "U " + form.loadedText(lv::kMacAddressTag) + "/" + form.loadedText(window.ipTag) +
                                         "/" + form.loadedText(window.passwordTag));
    for (const std::string& tag : sent) {
        check(!window.isMultiPort());
        const lv::FieldDef* field = window.fieldByTag(tag);
        check(field->rule == lv::LoadRule::Guarded || field->rule == lv::LoadRule::TextEmptyAsZero ||
              field->rule == lv::LoadRule::BoundedRecordRaw);
        if (field->rule == lv::LoadRule::Guarded)
            check(form.loadedText(tag) == field->resendMark);
    }
    check(form.fieldCarryingItem() == nullptr || !sent.empty());

    // Random edits, as typed on the command line or in the window's controls.
    for (std::size_t c = 1; c < chunks.size(); ++c) {
        const std::string_view edit = chunks[c];
        if (edit.size() < 2 || window.fields.empty())
            continue;
        const lv::FieldDef& field = window.fields[static_cast<unsigned char>(edit[0]) % window.fields.size()];
        const unsigned how = static_cast<unsigned char>(edit[1]);
        const std::string_view value = edit.substr(2);
        if (how % 2 == 0) {
            const std::string before = form.currentText(field);
            const lv::SetError error = form.set(field.tag, value);
            if (error == lv::SetError::None && field.kind == lv::ControlKind::TextBox)
                check(form.currentText(field) == value);
            if (error != lv::SetError::None)
                check(form.currentText(field) == before);
            if (error == lv::SetError::CarriesItem)
                check(lv::carriesItem(field.tag, value));
        } else if (field.enabled && form.readsField(field)) {
            // What a control of the window can hold: any text in a box, an entry or none in a list.
            if (field.kind == lv::ControlKind::TextBox)
                form.setText(field.control, std::string(value));
            else if (field.kind == lv::ControlKind::ComboBox)
                form.setIndex(field.control, static_cast<int>(how / 2 % (field.entries.size() + 1)) - 1);
        }
        checkControls(form);
    }
    std::vector<std::string> changedTags;
    const lv::UpdatePlan edited = form.plan();
    check(edited.setCommand == expectedSet(form, &changedTags));
    // Every field the form counts as changed is one the window can send.
    for (const std::string& tag : changedTags)
        check(window.sendsTag(tag));
    // A text that carries an item is found before anything is sent.
    if (const lv::FieldDef* carrying = form.fieldCarryingItem())
        check(std::find(changedTags.begin(), changedTags.end(), carrying->tag) != changedTags.end());
    return 0;
}
