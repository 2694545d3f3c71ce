// Feeds arbitrary replies to every single-port loader and to the Update that
// follows it: a loaded window never selects an entry its list does not hold,
// and an Update with nothing touched sends no field the loader did not mark
// for resending.

#include "catalogue.h"
#include "loaders.h"
#include "setcommand.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

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
        check(plan.setCommand.rfind("S ", 0) == 0);
        check(plan.updateCommand.rfind("U ", 0) == 0);
        // Items sent without an edit come only from refused list values and
        // the PL-778 special cases, which all carry short decimal values.
        const std::size_t items = plan.setCommand.find("/<");
        if (items != std::string::npos)
            check(plan.setCommand.size() - items < 400);
    }
    return 0;
}
