#include "modeltable.h"

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

struct SinglePortRow {
    int row;
    std::string_view key;
    LoaderKind loader;
    std::string_view loaderName;
    std::string_view window;
};

constexpr std::array<SinglePortRow, 12> kSinglePortRows{{
    {3, "KR-770A", LoaderKind::SinglePort, "LoadSetupKr770A", "frmSetupKr770A"},
    {4, "NDQ-770", LoaderKind::SinglePort, "LoadSetupNDQ770", "frmSetupNDQ770"},
    {5, "KR787A", LoaderKind::SinglePort, "LoadSetupKr787A", "frmSetupKr787A"},
    {6, "KR788A", LoaderKind::None, "", ""},
    {7, "KR789A", LoaderKind::None, "", ""},
    {8, "PL-770A", LoaderKind::SinglePort, "LoadSetupPL700A", "frmSetupPL700A"},
    {9, "DN-680A", LoaderKind::SinglePort, "LoadSetupDn680", "frmSetupDn680"},
    {10, "DN-687A", LoaderKind::SinglePort, "LoadSetupDn687", "frmSetupDn687"},
    {11, "DN-690A", LoaderKind::SinglePort, "LoadSetupDn690", "frmSetupDn690"},
    {12, "PL-778A", LoaderKind::SinglePort, "LoadSetupPl778", "frmSetupPl778"},
    {13, "PL-780A", LoaderKind::SinglePort, "LoadSetupPL780A", "frmSetupPL780A"},
    {14, "KR-780A", LoaderKind::SinglePort, "LoadSetupPL780A", "frmSetupPL780A"},
}};

constexpr std::array<std::string_view, 4> kMultiPortKeys{"KR-7700", "KR-7800", "KR-7900", "KR-7600"};
constexpr std::array<std::string_view, 4> kMultiPortWindows{"Frm1PortSetup", "frm2PortSetup", "frm3PortSetup",
                                                            "frm4PortSetup"};
constexpr std::array<std::string_view, 4> kMultiPortAWindows{"frmKR7700ASetup", "frmKR7800ASetup", "frmKR7900ASetup",
                                                             "frmKR7600ASetup"};

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
    ModelDispatch d;
    d.isVariantA = !model.empty() && model.back() == 'A';
    const std::string_view key = model.substr(0, kKeyLength);
    d.portCount = 0;
    for (std::size_t i = 0; i < kMultiPortKeys.size(); ++i) {
        if (key == kMultiPortKeys[i])
            d.portCount = static_cast<int>(i) + 1;
    }

    if (d.portCount != 0) {
        const auto index = static_cast<std::size_t>(d.portCount - 1);
        d.row = d.isVariantA ? 2 : 1;
        d.loader = d.isVariantA ? LoaderKind::MultiPortA : LoaderKind::MultiPort;
        d.loaderName = d.isVariantA ? "LoadMultiPortAConfig" : "LoadMultiPortConfig";
        d.window = std::string(d.isVariantA ? kMultiPortAWindows[index] : kMultiPortWindows[index]);
        return d;
    }

    for (const SinglePortRow& row : kSinglePortRows) {
        if (key == row.key) {
            d.row = row.row;
            d.loader = row.loader;
            d.loaderName = std::string(row.loaderName);
            d.window = std::string(row.window);
            return d;
        }
    }

    d.row = 15;
    d.loader = LoaderKind::SinglePort;
    d.loaderName = "LoadSetup";
    d.window = "frmSetup";
    return d;
}

} // namespace lv
