// Model and version of a reply, and the model table that picks a device's window.

#include "modeltable.h"

#include "catalogue.h"

#include <array>

namespace lv {

namespace {

constexpr std::size_t kModelLength = 8;
constexpr std::size_t kVersionLength = 40;
constexpr std::size_t kKeyLength = 7;

// Where the model and version are taken from when their markers are missing:
// just after where a marker found at the very start would have ended.
constexpr std::size_t kModelFallback = 6;
constexpr std::size_t kVersionFallback = 3;

std::string_view after(std::string_view reply, std::string_view marker, std::size_t fallback, std::size_t length)
{
    const std::size_t at = reply.find(marker);
    const std::size_t start = at == std::string_view::npos ? fallback : at + marker.size();
    if (start >= reply.size())
        return {};
    return reply.substr(start, length);
}

using Windows = std::array<std::string_view, 4>;
using Models = std::array<std::string_view, 4>;

constexpr Windows kPlainFamily{"Frm1PortSetup", "frm2PortSetup", "frm3PortSetup", "frm4PortSetup"};
constexpr Windows kFamilyA{"frmKR7700ASetup", "frmKR7800ASetup", "frmKR7900ASetup", "frmKR7600ASetup"};
constexpr std::array<std::string_view, 4> kMultiPortKeys{"KR-7700", "KR-7800", "KR-7900", "KR-7600"};

// The keys are distinct, so the order of the rows does not change which row matches; it is the
// order in which the simulated LAN plays its devices.
const std::vector<ModelRow> kRows{
    {15, "", LoaderKind::SinglePort, "LoadSetup", {"frmSetup"}, {"KR-700"}},
    {8, "PL-770A", LoaderKind::SinglePort, "LoadSetupPL700A", {"frmSetupPL700A"}, {"PL-770A"}},
    {3, "KR-770A", LoaderKind::SinglePort, "LoadSetupKr770A", {"frmSetupKr770A"}, {"KR-770A"}},
    {5, "KR787A", LoaderKind::SinglePort, "LoadSetupKr787A", {"frmSetupKr787A"}, {"KR787A"}},
    {6, "KR788A", LoaderKind::None, "", {}, {"KR788A"}},
    {7, "KR789A", LoaderKind::None, "", {}, {"KR789A"}},
    {13, "PL-780A", LoaderKind::SinglePort, "LoadSetupPL780A", {"frmSetupPL780A"}, {"PL-780A"}},
    {14, "KR-780A", LoaderKind::SinglePort, "LoadSetupPL780A", {"frmSetupPL780A"}, {"KR-780A"}},
    {12, "PL-778A", LoaderKind::SinglePort, "LoadSetupPl778", {"frmSetupPl778"}, {"PL-778A"}},
    {9, "DN-680A", LoaderKind::SinglePort, "LoadSetupDn680", {"frmSetupDn680"}, {"DN-680A"}},
    {10, "DN-687A", LoaderKind::SinglePort, "LoadSetupDn687", {"frmSetupDn687"}, {"DN-687A"}},
    {11, "DN-690A", LoaderKind::SinglePort, "LoadSetupDn690", {"frmSetupDn690"}, {"DN-690A"}},
    {4, "NDQ-770", LoaderKind::SinglePort, "LoadSetupNDQ770", {"frmSetupNDQ770"}, {"NDQ-770"}},
    {1, "", LoaderKind::MultiPort, "LoadMultiPortConfig", kPlainFamily, {"KR-7700", "KR-7800", "KR-7900", "KR-7600"}},
    {2, "", LoaderKind::MultiPortA, "LoadMultiPortAConfig", kFamilyA,
     {"KR-7700A", "KR-7800A", "KR-7900A", "KR-7600A"}},
};

const ModelRow& rowNumbered(int number)
{
    for (const ModelRow& row : kRows)
        if (row.row == number)
            return row;
    return kRows.front();
}

ModelDispatch dispatchTo(const ModelRow& row, int windowIndex)
{
    ModelDispatch d;
    d.row = row.row;
    d.loader = row.loader;
    d.loaderName = std::string(row.loaderName);
    d.window = std::string(row.windows[static_cast<std::size_t>(windowIndex)]);
    d.windowDef = d.window.empty() ? nullptr : findWindow(d.window);
    return d;
}

} // namespace

ModelVersion readModelVersion(std::string_view reply)
{
    ModelVersion mv;
    mv.model = std::string(after(reply, "MODEL: ", kModelFallback, kModelLength));
    std::string_view version = after(reply, "VER:", kVersionFallback, kVersionLength);
    version = version.substr(0, version.find('\r'));
    mv.version = std::string(version);
    return mv;
}

ModelDispatch dispatchModel(std::string_view model)
{
    const bool isVariantA = !model.empty() && model.back() == 'A';
    const std::string_view key = model.substr(0, kKeyLength);
    int portCount = 0;
    for (std::size_t i = 0; i < kMultiPortKeys.size(); ++i)
        if (key == kMultiPortKeys[i])
            portCount = static_cast<int>(i) + 1;

    const ModelRow* chosen = nullptr;
    int windowIndex = 0;
    if (portCount != 0) {
        chosen = &rowNumbered(isVariantA ? 2 : 1);
        windowIndex = portCount - 1;
    } else {
        for (const ModelRow& row : kRows)
            if (!row.key.empty() && key == row.key)
                chosen = &row;
        if (!chosen)
            chosen = &rowNumbered(15);
    }
    ModelDispatch d = dispatchTo(*chosen, windowIndex);
    d.portCount = portCount;
    d.isVariantA = isVariantA;
    return d;
}

const std::vector<ModelRow>& modelTable()
{
    return kRows;
}

const std::vector<std::string>& simulatedModels()
{
    static const std::vector<std::string> models = [] {
        std::vector<std::string> m;
        for (const ModelRow& row : kRows)
            for (std::string_view model : row.models)
                if (!model.empty())
                    m.emplace_back(model);
        return m;
    }();
    return models;
}

const std::array<std::string_view, 4>& familyWindows(bool familyA)
{
    return familyA ? kFamilyA : kPlainFamily;
}

} // namespace lv
