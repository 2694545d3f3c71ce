// SPDX-License-Identifier: Apache-2.0
// The check after an Update against the simulated LAN in this process: the configuration asked for
// again, within its bound, and every changed field compared with what the device reports.

#include "runexchange.h"
#include "verifyexchange.h"

#include "exchanges.h"
#include "inprocesslan.h"
#include "printers.h"
#include "setupform.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace lv {

void PrintTo(const VerifiedField& f, std::ostream* os)
{
    *os << "{" << f.tag << ", sent \"" << f.sent << "\", reported \"" << f.reported << "\"}";
}

namespace {

enum class Role { Ip, DeviceId, Password, Baud };

const std::string& tagOf(const Device& d, Role role)
{
    static const std::string baud = "SIOBaud";
    static const std::string portBaud = "COM1_Baud";
    switch (role) {
    case Role::Ip:
        return d.ipTag();
    case Role::DeviceId:
        return d.deviceIdTag();
    case Role::Password:
        return d.passwordTag();
    case Role::Baud:
        return d.isMultiPort() ? portBaud : baud;
    }
    return baud;
}

struct VerifyCase {
    const char* name;
    const char* model;
    std::vector<std::pair<Role, const char*>> set; // values as typed
    const char* faultBeforeUpdate;                 // "KIND[:PARAM]" with {tag} for the first field's tag
    const char* faultAfterUpdate;
    int timeoutMs;
    VerifyExchange::Outcome outcome;
    std::vector<bool> matches; // per field of `set`
    int atLeastMs;             // the shortest the check may have taken
};

class Verify : public ::testing::TestWithParam<VerifyCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lan.started()) << m_lan.error().toStdString();
        m_state.broadcast = QHostAddress(QHostAddress::LocalHost);
        m_state.gCmdPort = m_lan.port();
    }

    const Device& deviceOf(const char* model)
    {
        for (const Device& d : m_lan.devices())
            if (d.model == model)
                return d;
        ADD_FAILURE() << "no simulated " << model;
        return m_lan.devices().front();
    }

    void addFault(const std::string& text, const Device& d)
    {
        QString error;
        ASSERT_TRUE(m_lan.addFault(QString::fromStdString(text + "@" + d.macField()), &error)) << error.toStdString();
    }

    InProcessLan m_lan;
    SessionState m_state;
    CommandChannel m_channel{m_state};
};

TEST_P(Verify, ComparesEveryChangedFieldWithinTheBound)
{
    const VerifyCase& c = GetParam();
    const Device device = deviceOf(c.model);
    const std::string raw = device.searchAnswer();
    const ConfigRequestResult loaded = requestConfiguration(m_channel, raw, device.password());
    ASSERT_TRUE(loaded.valid()) << c.name;
    ASSERT_NE(loaded.dispatch.windowDef, nullptr);
    const WindowDef& window = *loaded.dispatch.windowDef;
    SetupForm form(window);
    form.load(loaded.reply, loaded.dispatch.portCount);
    for (const auto& [role, value] : c.set)
        ASSERT_EQ(form.set(tagOf(device, role), value), SetError::None) << tagOf(device, role) << "=" << value;
    const UpdatePlan plan = form.plan();
    ASSERT_EQ(plan.changedFields.size(), c.set.size());

    std::string fault = c.faultBeforeUpdate;
    if (const auto at = fault.find("{tag}"); at != std::string::npos)
        fault.replace(at, 5, tagOf(device, c.set.front().first));
    if (!fault.empty())
        addFault(fault, device);
    ASSERT_EQ(runUpdate(m_channel, raw, plan).outcome, UpdateExchange::Outcome::Answered);
    if (*c.faultAfterUpdate)
        addFault(c.faultAfterUpdate, device);

    QElapsedTimer clock;
    clock.start();
    VerifyExchange verify(m_channel, raw, device.password(), window, loaded.dispatch.portCount, plan, c.timeoutMs);
    const VerifyResult result = runExchange(verify);
    const qint64 took = clock.elapsed();

    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_GE(took, c.atLeastMs);
    // The bound holds for the last request too: none waits past it.
    EXPECT_LE(took, c.timeoutMs + kRequestTimeoutMs / 4);
    // The fields come in the order of the set command, which need not be the order they were set in.
    ASSERT_EQ(result.fields.size(), plan.changedFields.size());
    for (std::size_t k = 0; k < plan.changedFields.size(); ++k)
        EXPECT_EQ(result.fields[k].tag, plan.changedFields[k].tag);
    for (std::size_t i = 0; i < c.set.size(); ++i) {
        const std::string& tag = tagOf(device, c.set[i].first);
        const auto same = [&tag](const auto& f) { return f.tag == tag; };
        const auto sentAt = std::find_if(plan.changedFields.begin(), plan.changedFields.end(), same);
        const auto fieldAt = std::find_if(result.fields.begin(), result.fields.end(), same);
        ASSERT_NE(sentAt, plan.changedFields.end()) << tag;
        ASSERT_NE(fieldAt, result.fields.end()) << tag;
        const FieldChange& sent = *sentAt;
        const VerifiedField& f = *fieldAt;
        EXPECT_EQ(f.sent, sent.current);
        // A field the device kept reports the value as loaded before; without an answer nothing is reported.
        const std::string expected = c.outcome == VerifyExchange::Outcome::NoAnswer ? std::string()
                                     : c.matches[i]                                 ? sent.current
                                                                                    : sent.loaded;
        EXPECT_EQ(f.reported, expected) << f.tag;
        EXPECT_EQ(f.matches(), c.matches[i] && c.outcome != VerifyExchange::Outcome::NoAnswer) << f.tag;
    }
    // No request beyond what the bound allows, one a second at most while the device is quiet.
    EXPECT_GE(result.attempts, 1);
    EXPECT_LE(result.attempts, c.timeoutMs / kRequestTimeoutMs + 2);
}

using O = VerifyExchange::Outcome;

// clang-format off: one row a line
INSTANTIATE_TEST_SUITE_P(
    Cases, Verify,
    ::testing::Values(
        VerifyCase{"DeviceIdVerified", "KR-700", {{Role::DeviceId, "NEWID"}}, "", "", 5000, O::Verified, {true}, 0},
        VerifyCase{"ListFieldVerified", "KR-700", {{Role::Baud, "19200"}}, "", "", 5000, O::Verified, {true}, 0},
        VerifyCase{"NewIpAndPasswordAreAskedWith",
                   "KR-700",
                   {{Role::Ip, "10.77.0.9"}, {Role::Password, "pw2"}},
                   "",
                   "",
                   5000,
                   O::Verified,
                   {true, true},
                   0},
        VerifyCase{"MultiPortVerifiedAndAskedWithItsNewPassword",
                   "KR-7700",
                   {{Role::DeviceId, "MP"}, {Role::Baud, "9600"}, {Role::Password, "pw3"}},
                   "",
                   "",
                   5000,
                   O::Verified,
                   {true, true, true},
                   0},
        VerifyCase{"IgnoredFieldIsAMismatch",
                   "KR-700",
                   {{Role::DeviceId, "NEWID"}},
                   "ignore-field:{tag}",
                   "",
                   5000,
                   O::Mismatch,
                   {false},
                   0},
        VerifyCase{"OneOfTwoFieldsKept",
                   "KR-7700",
                   {{Role::Baud, "9600"}, {Role::DeviceId, "MP"}},
                   "ignore-field:{tag}",
                   "",
                   5000,
                   O::Mismatch,
                   {false, true},
                   0},
        VerifyCase{"RestartingDeviceVerifiedOnceBack",
                   "KR-700",
                   {{Role::DeviceId, "NEWID"}},
                   "restart:2000",
                   "",
                   5000,
                   O::Verified,
                   {true},
                   1900},
        VerifyCase{"SilentDeviceIsNoAnswerAtTheBound",
                   "KR-700",
                   {{Role::DeviceId, "NEWID"}},
                   "",
                   "silent",
                   2100,
                   O::NoAnswer,
                   {false},
                   2000},
        VerifyCase{"DeviceBackTooLateIsNoAnswer",
                   "KR-700",
                   {{Role::DeviceId, "NEWID"}},
                   "restart:4000",
                   "",
                   2000,
                   O::NoAnswer,
                   {false},
                   1900}),
    [](const auto& param) { return std::string(param.param.name); });
// clang-format on

} // namespace
} // namespace lv
