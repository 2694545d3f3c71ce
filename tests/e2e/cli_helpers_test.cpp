// The CLI's own rules, in process: how DEVICE is read, how a typed value picks
// a list entry, how single-byte text is written as JSON.

#include "cli.h"
#include "printers.h"

#include "catalogue.h"

#include <gtest/gtest.h>

namespace {

using lv::DeviceSelector;

struct SpecCase {
    const char* text;
    bool valid;
    DeviceSelector::Kind kind;
    const char* normalised;
};

class DeviceSelectorTest : public ::testing::TestWithParam<SpecCase> {};

TEST_P(DeviceSelectorTest, ReadsTheThreeFormsAndRefusesTheRest)
{
    const SpecCase& c = GetParam();
    const std::optional<DeviceSelector> selector = lv::parseDeviceSelector(QString::fromLatin1(c.text));
    ASSERT_EQ(selector.has_value(), c.valid) << c.text;
    if (!c.valid)
        return;
    EXPECT_EQ(selector->kind, c.kind);
    EXPECT_EQ(selector->text, c.normalised);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DeviceSelectorTest,
    ::testing::Values(SpecCase{"00-50-C2-01-02-03", true, DeviceSelector::Kind::MacText, "00-50-C2-01-02-03"},
                      SpecCase{"00-50-c2-0a-0b-ff", true, DeviceSelector::Kind::MacText, "00-50-C2-0A-0B-FF"},
                      SpecCase{"0-50-C2-1-2-3", true, DeviceSelector::Kind::MacText, "00-50-C2-01-02-03"},
                      SpecCase{"00:50:C2:01:02:03", true, DeviceSelector::Kind::MacText, "00-50-C2-01-02-03"},
                      SpecCase{"0.80.194.1.2.3", true, DeviceSelector::Kind::MacField, "00-50-C2-01-02-03"},
                      SpecCase{"192.168.1.20", true, DeviceSelector::Kind::Ip, "192.168.1.20"},
                      SpecCase{"00-50-C2-01-02", false, DeviceSelector::Kind::MacText, ""},
                      SpecCase{"00-50-C2-01-02-123", false, DeviceSelector::Kind::MacText, ""},
                      SpecCase{"00-50-C2-01-02-GG", false, DeviceSelector::Kind::MacText, ""},
                      SpecCase{"0.80.194.1.2.256", false, DeviceSelector::Kind::MacField, ""},
                      SpecCase{"192.168.1.256", false, DeviceSelector::Kind::Ip, ""},
                      SpecCase{"192.168.1", false, DeviceSelector::Kind::Ip, ""},
                      SpecCase{"device-one", false, DeviceSelector::Kind::Ip, ""},
                      SpecCase{"", false, DeviceSelector::Kind::Ip, ""}));

TEST(DeviceMatch, MacFormsMatchTheReplyWhateverTheCaseAndIpMatchesExactly)
{
    const std::string reply = "AX 0.80.194.1.2.3/192.168.1.20/DEV\r";
    const auto matches = [&](const char* text) {
        return lv::deviceMatches(*lv::parseDeviceSelector(QString::fromLatin1(text)), reply);
    };
    EXPECT_TRUE(matches("00-50-c2-01-02-03"));
    EXPECT_TRUE(matches("0.80.194.1.2.3"));
    EXPECT_TRUE(matches("192.168.1.20"));
    EXPECT_FALSE(matches("00-50-C2-01-02-04"));
    EXPECT_FALSE(matches("192.168.1.2"));
    EXPECT_FALSE(lv::deviceMatches(*lv::parseDeviceSelector(QStringLiteral("192.168.1.20")), "BX 0.80.194.1.2.3/x/y"));
}

struct ListCase {
    const char* window;
    const char* control;
    const char* value;
    int index; // -1: refused
};

class ListValueTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListValueTest, LabelsAndRawIndexesPickOnlyEntriesTheWindowHolds)
{
    const ListCase& c = GetParam();
    const lv::WindowDef* window = lv::findWindow(c.window);
    ASSERT_NE(window, nullptr);
    const lv::FieldDef* field = window->fieldByControl(c.control);
    ASSERT_NE(field, nullptr);
    const std::optional<int> index = lv::listIndexForValue(*field, QString::fromLatin1(c.value));
    EXPECT_EQ(index.value_or(-1), c.index) << c.window << " " << c.control << "=" << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListValueTest,
    ::testing::Values(ListCase{"frmSetup", "cmbSioBaud", "115200", 9},
                      ListCase{"frmSetup", "cmbSioBaud", "230400", -1}, // 10 entries on this window
                      ListCase{"frmSetup", "cmbSioBaud", "#9", 9}, ListCase{"frmSetup", "cmbSioBaud", "#10", -1},
                      ListCase{"frmSetup", "cmbSioBaud", "#-1", -1}, ListCase{"frmSetup", "cmbSioBaud", "#", -1},
                      ListCase{"frmSetupKr770A", "cmbSioBaud", "921600", 12},
                      ListCase{"frmSetupKr770A", "cmbSioBaud", "#12", 12}, ListCase{"frmSetup", "cmbSioParity", "E", 1},
                      ListCase{"frmSetup", "cmbSioParity", "o", 2}, ListCase{"frmSetup", "cmbSioParity", "X", -1},
                      ListCase{"frmSetup", "cmbSioType", "RS485 (Half Duplex)", 3},
                      ListCase{"frmSetup", "cmbSioType", "rs232", 0}, ListCase{"frmSetup", "cmbSioMode", "UDP", 2},
                      ListCase{"frmSetupKr770A", "cmbSioMode", "UDP", -1}, // "UDP Server" / "UDP Client" here
                      ListCase{"frmSetupKr770A", "cmbSioMode", "udp client", 3},
                      ListCase{"frmSetup", "cmbDHCP", "Enable", 1}));

TEST(JsonString, EscapesControlBytesAndKeepsLatin1Characters)
{
    using namespace std::string_literals;
    EXPECT_EQ(lv::jsonString("S a/b/\0/<T>1</T>"s), QStringLiteral("\"S a/b/\\u0000/<T>1</T>\""));
    EXPECT_EQ(lv::jsonString("q\"b\\s\r\n\x1f"), QStringLiteral("\"q\\\"b\\\\s\\u000d\\u000a\\u001f\""));
    EXPECT_EQ(lv::jsonString("caf\xe9"), QStringLiteral("\"caf\u00e9\""));
    EXPECT_EQ(lv::jsonString(""), QStringLiteral("\"\""));
}

TEST(PrintableText, ShowsControlBytesAsEscapes)
{
    using namespace std::string_literals;
    EXPECT_EQ(lv::printableText("a\0b\\c\x7f"s), QStringLiteral("a\\x00b\\\\c\\x7f"));
}

} // namespace
