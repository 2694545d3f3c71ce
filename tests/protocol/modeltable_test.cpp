// SPDX-License-Identifier: Apache-2.0
// Model and version reading and the rows of the model table.

#include "modeltable.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lv {
namespace {

struct DispatchCase {
    std::string model;
    int row;
    int portCount;
    bool isVariantA;
    LoaderKind loader;
    std::string loaderName;
    std::string window;
};

void PrintTo(const DispatchCase& c, std::ostream* os)
{
    *os << '"' << c.model << '"';
}

class DispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchTest, PicksRow)
{
    const DispatchCase& c = GetParam();
    const ModelDispatch d = dispatchModel(c.model);
    EXPECT_EQ(d.row, c.row);
    EXPECT_EQ(d.portCount, c.portCount);
    EXPECT_EQ(d.isVariantA, c.isVariantA);
    EXPECT_EQ(d.loader, c.loader);
    EXPECT_EQ(d.loaderName, c.loaderName);
    EXPECT_EQ(d.window, c.window);
}

constexpr auto kMulti = LoaderKind::MultiPort;
constexpr auto kMultiA = LoaderKind::MultiPortA;
constexpr auto kSingle = LoaderKind::SinglePort;
constexpr auto kNone = LoaderKind::None;

INSTANTIATE_TEST_SUITE_P(
    Rows, DispatchTest,
    ::testing::Values(DispatchCase{"KR-7700", 1, 1, false, kMulti, "LoadMultiPortConfig", "Frm1PortSetup"},
                      DispatchCase{"KR-7700X", 1, 1, false, kMulti, "LoadMultiPortConfig", "Frm1PortSetup"},
                      DispatchCase{"KR-7800 ", 1, 2, false, kMulti, "LoadMultiPortConfig", "frm2PortSetup"},
                      DispatchCase{"KR-7900", 1, 3, false, kMulti, "LoadMultiPortConfig", "frm3PortSetup"},
                      DispatchCase{"KR-7600\r", 1, 4, false, kMulti, "LoadMultiPortConfig", "frm4PortSetup"},
                      DispatchCase{"KR-7700A", 2, 1, true, kMultiA, "LoadMultiPortAConfig", "frmKR7700ASetup"},
                      DispatchCase{"KR-7800A", 2, 2, true, kMultiA, "LoadMultiPortAConfig", "frmKR7800ASetup"},
                      DispatchCase{"KR-7900A", 2, 3, true, kMultiA, "LoadMultiPortAConfig", "frmKR7900ASetup"},
                      DispatchCase{"KR-7600A", 2, 4, true, kMultiA, "LoadMultiPortAConfig", "frmKR7600ASetup"},
                      DispatchCase{"KR-7800a", 1, 2, false, kMulti, "LoadMultiPortConfig", "frm2PortSetup"},
                      DispatchCase{"KR-770A", 3, 0, true, kSingle, "LoadSetupKr770A", "frmSetupKr770A"},
                      DispatchCase{"KR-770AB", 3, 0, false, kSingle, "LoadSetupKr770A", "frmSetupKr770A"},
                      DispatchCase{"NDQ-770", 4, 0, false, kSingle, "LoadSetupNDQ770", "frmSetupNDQ770"},
                      DispatchCase{"NDQ-770\r\n", 4, 0, false, kSingle, "LoadSetupNDQ770", "frmSetupNDQ770"},
                      DispatchCase{"KR787A", 5, 0, true, kSingle, "LoadSetupKr787A", "frmSetupKr787A"},
                      DispatchCase{"KR788A", 6, 0, true, kNone, "", ""},
                      DispatchCase{"KR789A", 7, 0, true, kNone, "", ""},
                      // A six-character key only matches when nothing follows it.
                      DispatchCase{"KR787A\r", 15, 0, false, kSingle, "LoadSetup", "frmSetup"},
                      DispatchCase{"KR788AB", 15, 0, false, kSingle, "LoadSetup", "frmSetup"},
                      DispatchCase{"KR789A  ", 15, 0, false, kSingle, "LoadSetup", "frmSetup"},
                      DispatchCase{"PL-770A", 8, 0, true, kSingle, "LoadSetupPL700A", "frmSetupPL700A"},
                      DispatchCase{"DN-680A", 9, 0, true, kSingle, "LoadSetupDn680", "frmSetupDn680"},
                      DispatchCase{"DN-687A\r", 10, 0, false, kSingle, "LoadSetupDn687", "frmSetupDn687"},
                      DispatchCase{"DN-690A", 11, 0, true, kSingle, "LoadSetupDn690", "frmSetupDn690"},
                      DispatchCase{"PL-778A", 12, 0, true, kSingle, "LoadSetupPl778", "frmSetupPl778"},
                      DispatchCase{"PL-780A", 13, 0, true, kSingle, "LoadSetupPL780A", "frmSetupPL780A"},
                      DispatchCase{"KR-780A", 14, 0, true, kSingle, "LoadSetupPL780A", "frmSetupPL780A"},
                      DispatchCase{"kr-770a", 15, 0, false, kSingle, "LoadSetup", "frmSetup"},
                      DispatchCase{"KR-770", 15, 0, false, kSingle, "LoadSetup", "frmSetup"},
                      DispatchCase{"PL-700", 15, 0, false, kSingle, "LoadSetup", "frmSetup"},
                      DispatchCase{"", 15, 0, false, kSingle, "LoadSetup", "frmSetup"}));

struct ModelVersionCase {
    const char* name;
    std::string reply;
    std::string model;
    std::string version;
};

void PrintTo(const ModelVersionCase& c, std::ostream* os)
{
    *os << c.name;
}

class ModelVersionTest : public ::testing::TestWithParam<ModelVersionCase> {};

TEST_P(ModelVersionTest, Reads)
{
    const ModelVersionCase& c = GetParam();
    const ModelVersion mv = readModelVersion(c.reply);
    EXPECT_EQ(mv.model, c.model);
    EXPECT_EQ(mv.version, c.version);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ModelVersionTest,
    ::testing::Values(
        ModelVersionCase{"Both", "AG MODEL: KR-7800A VER:1.23b\r<MacAddress>x</MacAddress>MAC", "KR-7800A", "1.23b"},
        ModelVersionCase{"ModelEndsReply", "AG VER:2\r MODEL: KR-7900", "KR-7900", "2"},
        ModelVersionCase{"ModelOfSixThenCr", "AG MODEL: KR788A\rVER:9\r", "KR788A\rV", "9"},
        ModelVersionCase{"FirstMarkerWins", "A MODEL: ONE1111 MODEL: TWO VER:a\rVER:b\r", "ONE1111 ", "a"},
        ModelVersionCase{"VersionCutToForty", "A MODEL: X VER:" + std::string(50, 'v'), "X VER:vv",
                         std::string(40, 'v')},
        ModelVersionCase{"CrAfterFortyNotNeeded", "A VER:" + std::string(40, 'v') + "\r", "vvvvvvvv",
                         std::string(40, 'v')},
        ModelVersionCase{"EmptyVersion", "A MODEL: PL-778A VER:\rMAC", "PL-778A ", ""},
        ModelVersionCase{"ModelMissingFromSeventh", "ABCDEFGHIJKLMNOP VER:1\r", "GHIJKLMN", "1"},
        ModelVersionCase{"ModelMissingShortReply", "ABCDEFGHI", "GHI", "DEFGHI"},
        ModelVersionCase{"ModelMissingReplyOfSix", "ABCDEF", "", "DEF"},
        ModelVersionCase{"VersionMissingFromFourth", "AB MODEL: KR-770A\rrest", "KR-770A\r", "MODEL: KR-770A"},
        ModelVersionCase{"VersionMissingShortReply", "ABC", "", ""}, ModelVersionCase{"Empty", "", "", ""},
        ModelVersionCase{"MarkersCaseSensitive", "A model: KR-770A ver:1\r", "l: KR-77", "odel: KR-770A ver:1"},
        // A device's values can hold the markers: the reply's own markers are read, never those inside items.
        ModelVersionCase{"MarkersInsideItemsSkipped",
                         "AG <DeviceID>MODEL: KR-7600 VER:9</DeviceID>VER:1.0\r<IP>1</IP>MAC\rMODEL: KR-700", "KR-700",
                         "1.0"},
        ModelVersionCase{"MarkerAfterAnItemOfTheSameNameTwice", "A <D>x</D><D>MODEL: BAD</D> MODEL: KR-770A VER:2\r",
                         "KR-770A ", "2"},
        ModelVersionCase{"OnlyInsideItemsFallsBack", "A VER:3\r<DeviceID>MODEL: KR-7600</DeviceID>MAC", "3\r<Devic",
                         "3"},
        ModelVersionCase{"UnclosedTagIsNoItem", "A <DeviceID>VER:4\rMODEL: KR-7800A", "KR-7800A", "4"},
        ModelVersionCase{"ClosingTagFirstIsNoItem", "A </D>MODEL: KR-770A<D>", "KR-770A<", "/D>MODEL: KR-770A<D>"}),
    [](const ::testing::TestParamInfo<ModelVersionCase>& tp) { return std::string(tp.param.name); });

} // namespace
} // namespace lv
