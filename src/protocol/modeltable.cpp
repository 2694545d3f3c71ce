// SPDX-License-Identifier: Apache-2.0
// Model and version of a reply, and the model table that picks a device's window.

#include "modeltable.h"

#include "catalogue.h"

#include <array>

namespace lv {

namespace {

constexpr std::size_t kVersionLength = 40;
constexpr std::size_t kKeyLength = 7;

// Where the model and version are taken from when their markers are missing:
// just after where a marker found at the very start would have ended.
constexpr std::size_t kModelFallback = 6;
constexpr std::size_t kVersionFallback = 3;

std::string_view after(std::string_view reply, std::string_view marker, std::size_t fallback, std::size_t length)
{
    const std::size_t at = findOutsideItems(reply, marker);
    const std::size_t start = at == std::string_view::npos ? fallback : at + marker.size();
    if (start >= reply.size())
        return {};
    return reply.substr(start, length);
}

// The single-port rows and the rows of models that open nothing. The keys are distinct, so the order
// of the rows does not change which row matches; it is the order in which the simulated LAN plays its
// devices, the multi-port families' rows following.
const std::vector<ModelRow> kSinglePortRows{
    {15, "", LoaderKind::SinglePort, "LoadSetup", {"frmSetup"}, {"KR-700"}, nullptr},
    {8, "PL-770A", LoaderKind::SinglePort, "LoadSetupPL700A", {"frmSetupPL700A"}, {"PL-770A"}, nullptr},
    {3, "KR-770A", LoaderKind::SinglePort, "LoadSetupKr770A", {"frmSetupKr770A"}, {"KR-770A"}, nullptr},
    {5, "KR787A", LoaderKind::SinglePort, "LoadSetupKr787A", {"frmSetupKr787A"}, {"KR787A"}, nullptr},
    {6, "KR788A", LoaderKind::None, "", {}, {"KR788A"}, nullptr},
    {7, "KR789A", LoaderKind::None, "", {}, {"KR789A"}, nullptr},
    {13, "PL-780A", LoaderKind::SinglePort, "LoadSetupPL780A", {"frmSetupPL780A"}, {"PL-780A"}, nullptr},
    {14, "KR-780A", LoaderKind::SinglePort, "LoadSetupPL780A", {"frmSetupPL780A"}, {"KR-780A"}, nullptr},
    {12, "PL-778A", LoaderKind::SinglePort, "LoadSetupPl778", {"frmSetupPl778"}, {"PL-778A"}, nullptr},
    {9, "DN-680A", LoaderKind::SinglePort, "LoadSetupDn680", {"frmSetupDn680"}, {"DN-680A"}, nullptr},
    {10, "DN-687A", LoaderKind::SinglePort, "LoadSetupDn687", {"frmSetupDn687"}, {"DN-687A"}, nullptr},
    {11, "DN-690A", LoaderKind::SinglePort, "LoadSetupDn690", {"frmSetupDn690"}, {"DN-690A"}, nullptr},
    {4, "NDQ-770", LoaderKind::SinglePort, "LoadSetupNDQ770", {"frmSetupNDQ770"}, {"NDQ-770"}, nullptr},
};

constexpr int kDefaultRow = 15;

ModelRow familyRow(const FamilyDef& family)
{
    ModelRow row;
    row.row = family.modelTableRow;
    row.loader = family.variantA ? LoaderKind::MultiPortA : LoaderKind::MultiPort;
    row.loaderName = family.loaderName;
    row.family = &family;
    for (std::size_t i = 0; i < 4; ++i) {
        row.windows[i] = family.windows[i];
        row.models[i] = family.models[i];
    }
    return row;
}

// The rows as they are now: the families the catalogue holds may have grown since the last call.
struct Rows {
    std::vector<ModelRow> rows;
    std::vector<std::string> models;
    std::size_t families = 0;
};

const Rows& currentRows()
{
    static Rows current;
    if (current.rows.empty() || current.families != families().size()) {
        current.rows = kSinglePortRows;
        for (const FamilyDef& family : families())
            current.rows.push_back(familyRow(family));
        current.models.clear();
        for (const ModelRow& row : current.rows)
            for (std::string_view model : row.models)
                if (!model.empty())
                    current.models.emplace_back(model);
        current.families = families().size();
    }
    return current;
}

const ModelRow& defaultRow()
{
    for (const ModelRow& row : kSinglePortRows)
        if (row.row == kDefaultRow)
            return row;
    return kSinglePortRows.front();
}

ModelDispatch dispatchTo(const ModelRow& row, int windowIndex)
{
    ModelDispatch d;
    d.row = row.row;
    d.loader = row.loader;
    d.loaderName = std::string(row.loaderName);
    d.window = std::string(row.windows[static_cast<std::size_t>(windowIndex)]);
    d.windowDef = d.window.empty() ? nullptr : findWindow(d.window);
    d.family = row.family;
    return d;
}

} // namespace

ModelVersion readModelVersion(std::string_view reply)
{
    ModelVersion mv;
    mv.model = std::string(after(reply, kModelMarker, kModelFallback, kModelLength));
    std::string_view version = after(reply, kVersionMarker, kVersionFallback, kVersionLength);
    version = version.substr(0, version.find('\r'));
    mv.version = std::string(version);
    return mv;
}

ModelDispatch dispatchModel(std::string_view model)
{
    const bool isVariantA = !model.empty() && model.back() == 'A';
    const std::string_view key = model.substr(0, kKeyLength);
    const ModelRow* chosen = nullptr;
    int portCount = 0;
    for (const ModelRow& row : currentRows().rows)
        if (row.family && row.family->serves(model, &portCount)) {
            chosen = &row;
            break;
        }
    if (!chosen) {
        portCount = 0;
        for (const ModelRow& row : kSinglePortRows)
            if (!row.key.empty() && key == row.key)
                chosen = &row;
    }
    if (!chosen)
        chosen = &defaultRow();
    ModelDispatch d = dispatchTo(*chosen, portCount > 0 ? portCount - 1 : 0);
    d.portCount = portCount;
    d.isVariantA = isVariantA;
    return d;
}

const std::vector<ModelRow>& modelTable()
{
    return currentRows().rows;
}

const std::vector<std::string>& simulatedModels()
{
    return currentRows().models;
}

} // namespace lv
