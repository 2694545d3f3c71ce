// SPDX-License-Identifier: Apache-2.0
// The command-port rule of the input box.

#include "sessionstate.h"

#include "printers.h"

#include <gtest/gtest.h>

namespace {

struct PortCase {
    const char* entry;
    const char* stored; // "" = refused
};

class CommandPortTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(CommandPortTest, NormalisesOrRefuses)
{
    const std::optional<quint16> port = lv::normaliseCommandPort(QString::fromLatin1(GetParam().entry));
    EXPECT_EQ(port ? QString::number(*port) : QString(), QString::fromLatin1(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(Entries, CommandPortTest,
                         ::testing::Values(PortCase{"65535", "65535"}, PortCase{"0", "0"}, PortCase{"65536", ""},
                                           PortCase{"-1", ""}, PortCase{"1234.6", "1235"}, PortCase{"1234.4", "1234"},
                                           PortCase{"65535.4", "65535"}, PortCase{"65535.5", ""},
                                           PortCase{" 8080 ", "8080"}, PortCase{"00123", "123"},
                                           PortCase{"1e3", "1000"}, PortCase{"abc", ""}, PortCase{"12a", ""},
                                           PortCase{"", ""}, PortCase{"-0.4", "0"}, PortCase{"1 2", ""}));

} // namespace
