// SPDX-License-Identifier: Apache-2.0
// Secrets masked in every command and reply a log or a report shows.

#include "secretmask.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MaskCase {
    const char* name;
    std::string bytes;
    std::string masked;
};

class SecretMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(SecretMaskTest, HidesTheHeaderPasswordAndSecretItemsOnly)
{
    lv::SecretMask mask;
    mask.addPassword("pw/x"); // a known password may hold "/"
    mask.addPassword("pw");
    EXPECT_EQ(mask.masked(GetParam().bytes), GetParam().masked);
    mask.setEnabled(false);
    EXPECT_EQ(mask.masked(GetParam().bytes), GetParam().bytes);
}

const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Messages, SecretMaskTest,
    ::testing::Values(
        MaskCase{"Request", "G 0.80.194.0.0.1/10.0.0.1/secret" + kNul, "G 0.80.194.0.0.1/10.0.0.1/***" + kNul},
        MaskCase{"RequestWithoutPassword", "G 0.80.194.0.0.1/10.0.0.1/" + kNul, "G 0.80.194.0.0.1/10.0.0.1/" + kNul},
        MaskCase{"SetSinglePort", "S 00:50:C2:00:00:01/10.0.0.1/pw/<DeviceID>Pump</DeviceID>",
                 "S 00:50:C2:00:00:01/10.0.0.1/***/<DeviceID>Pump</DeviceID>"},
        MaskCase{"SetKnownPasswordWithSlash", "S m/10.0.0.1/pw/x/<DeviceID>A</DeviceID>",
                 "S m/10.0.0.1/***/<DeviceID>A</DeviceID>"},
        MaskCase{"SetUnknownPassword", "S m/10.0.0.1/other/<DeviceID>A</DeviceID>",
                 "S m/10.0.0.1/***/<DeviceID>A</DeviceID>"},
        MaskCase{"SetHeaderOnlyNoPassword", "S m/10.0.0.1/", "S m/10.0.0.1/"},
        MaskCase{"SetNoPasswordWithItem", "S m/10.0.0.1//<DeviceID>A</DeviceID>",
                 "S m/10.0.0.1//<DeviceID>A</DeviceID>"},
        MaskCase{"SetMultiPort", "S m/10.0.0.1/pw" + kNul + "/<krPassword>new</krPassword>/<krAccess></krAccess>",
                 "S m/10.0.0.1/***" + kNul + "/<krPassword>***</krPassword>/<krAccess></krAccess>"},
        MaskCase{"SetPl778ExtraField",
                 "S m/10.0.0.1/pw//<SetupPassword>n</SetupPassword><AccessPassword>a</AccessPassword>",
                 "S m/10.0.0.1/***//<SetupPassword>***</SetupPassword><AccessPassword>***</AccessPassword>"},
        MaskCase{"Update", "U m/10.0.0.1/anything/at all", "U m/10.0.0.1/***"},
        MaskCase{"MacChange", "M 0.80.194.0.0.1/0.80.194.0.0.2/AccessCode", "M 0.80.194.0.0.1/0.80.194.0.0.2/***"},
        MaskCase{"Reply", "AG VER:1\r<SetupPassword>pw</SetupPassword><krAccess>x</krAccess><DeviceID>pw</DeviceID>MAC",
                 "AG VER:1\r<SetupPassword>***</SetupPassword><krAccess>***</krAccess><DeviceID>pw</DeviceID>MAC"},
        MaskCase{"SearchAnswer", "AX 0.80.194.0.0.1/10.0.0.1/pw\r", "AX 0.80.194.0.0.1/10.0.0.1/pw\r"},
        // The whole password, a zero byte in it included, and a device's echo of a command.
        MaskCase{"RequestPasswordHoldingANul", "G m/10.0.0.1/sec" + kNul + "ret" + kNul, "G m/10.0.0.1/***" + kNul},
        MaskCase{"EchoOfTheRequest", "AG 0.80.194.0.0.1/10.0.0.1/secret" + kNul,
                 "AG 0.80.194.0.0.1/10.0.0.1/***" + kNul},
        MaskCase{"EchoOfTheSetCommand", "AS 00:50:C2:00:00:01/10.0.0.1/pw/<DeviceID>A</DeviceID>",
                 "AS 00:50:C2:00:00:01/10.0.0.1/***/<DeviceID>A</DeviceID>"},
        MaskCase{"ReplyFirstLineIsNoHeader", "AG VER:1/2/3\r<DeviceID>a/b</DeviceID>MAC",
                 "AG VER:1/2/3\r<DeviceID>a/b</DeviceID>MAC"},
        MaskCase{"KnownLongPasswordInAValue", "AG VER:1\r<DeviceID>xpw/xy</DeviceID>MAC",
                 "AG VER:1\r<DeviceID>x***y</DeviceID>MAC"}),
    [](const ::testing::TestParamInfo<MaskCase>& param) { return std::string(param.param.name); });

} // namespace
