// SPDX-License-Identifier: Apache-2.0
#pragma once

// Model and version of a configuration reply and the model table that picks the
// loader and setup window for a device.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

struct FamilyDef;
struct WindowDef;

// The longest model a device sends: the characters read after "MODEL: ".
inline constexpr std::size_t kModelLength = 8;

struct ModelVersion {
    std::string model;   // up to 8 characters after the first "MODEL: " outside the items
    std::string version; // up to 40 characters after the first "VER:" outside the items, cut at the first CR
};

// When "MODEL: " is missing the model is taken from character 7 of the reply,
// when "VER:" is missing the version from character 4, as the devices' own
// tools always did.
ModelVersion readModelVersion(std::string_view reply);

enum class LoaderKind {
    None,       // rows 6 and 7: the model is known and nothing opens
    MultiPort,  // row 1
    MultiPortA, // row 2
    SinglePort, // rows 3-5, 8-15
};

struct ModelDispatch {
    int row = 15;            // 1..15, the first row of the table that matched
    int portCount = 1;       // 0..4
    bool isVariantA = false; // the last character of the model is "A"
    LoaderKind loader = LoaderKind::SinglePort;
    std::string loaderName; // "LoadSetupKr770A", "LoadMultiPortConfig", ... empty for rows 6 and 7
    std::string window;     // window that opens ("frmSetupKr770A", "frm3PortSetup", ...); empty for rows 6, 7
    const WindowDef* windowDef = nullptr; // its catalogue entry; null for rows 6 and 7
    const FamilyDef* family = nullptr;    // multi-port rows: the family of the window
};

ModelDispatch dispatchModel(std::string_view model);

// One row of the model table. Single-port rows name one window; the row of a multi-port family (one
// per family of the catalogue) names its four windows, by port count.
struct ModelRow {
    int row = 0;
    std::string_view key; // the model's first seven characters (six for KR787A, KR788A, KR789A); empty: default
    LoaderKind loader = LoaderKind::SinglePort;
    std::string_view loaderName;
    std::array<std::string_view, 4> windows{};
    std::array<std::string_view, 4> models{}; // identifiers of the models the row serves, as devices send them
    const FamilyDef* family = nullptr;        // multi-port rows: the family they serve
};

// The rows, in the order the simulated LAN plays one device of each model; the rows of the families
// follow the others, in the catalogue's order.
const std::vector<ModelRow>& modelTable();

// One device of every model the table serves: the simulated LAN's default mix.
const std::vector<std::string>& simulatedModels();

} // namespace lv
