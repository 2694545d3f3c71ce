// Feeds arbitrary replies to every single-port loader and to the Update that
// follows it: a loaded window never selects an entry its list does not hold,
// and an Update with nothing touched carries the loaded header and no field
// the loader did not mark for sending back.

#include "catalogue.h"
#include "loaders.h"
#include "updateplan.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    for (const lv::WindowDef& window : lv::windowCatalogue()) {
        if (window.isMultiPort())
            continue;
        const lv::LoadResult result = lv::loadSinglePort(window, reply);
        std::map<std::string, std::string, std::less<>> current;
        for (const lv::FieldDef& field : window.fields) {
            const auto it = result.controls.find(field.control);
            check(it != result.controls.end());
            if (field.kind == lv::ControlKind::ComboBox)
                check(it->second.index >= -1 && it->second.index < static_cast<int>(field.entries.size()));
            current[field.control] = lv::currentText(field, it->second);
        }
        const lv::UpdatePlan plan = lv::planUpdate(window, result.loaded, current);
        const lv::HeaderValues header = lv::headerValues(window, result.loaded);
        std::string expectedHeader = "S " + header.mac + "/" + header.ip + "/" + header.password;
        if (window.headerExtra == lv::HeaderExtra::Slash)
            expectedHeader += "/";
        check(plan.setCommand.compare(0, expectedHeader.size(), expectedHeader) == 0);
        check(plan.updateCommand == "U " + header.mac + "/" + header.ip + "/" + header.password);
        // Nothing was touched, so every item is one the loader marked for
        // sending back: a refused guarded value, the PL-778 arbitration period
        // shown as "0", or a Modbus value recorded as received.
        std::string_view items = std::string_view(plan.setCommand).substr(expectedHeader.size());
        while (!items.empty()) {
            check(items.substr(0, 2) == "/<");
            const std::size_t close = items.find('>');
            check(close != std::string_view::npos);
            const std::string tag(items.substr(2, close - 2));
            const std::string end = "</" + tag + ">";
            const std::size_t endAt = items.find(end, close);
            check(endAt != std::string_view::npos);
            const lv::FieldDef* field = window.fieldByTag(tag);
            check(field != nullptr);
            check(field->rule == lv::LoadRule::Guarded || field->rule == lv::LoadRule::TextEmptyAsZero ||
                  field->rule == lv::LoadRule::BoundedRecordRaw);
            items.remove_prefix(endAt + end.size());
        }
    }
    return 0;
}
