// SPDX-License-Identifier: Apache-2.0
// A device's job against the simulated LAN in this process: its result, its text, the set command it
// sent and how often it tried all follow from the steps it ran; the runner stops jobs as it is told.

#include "devicejob.h"

#include "askaction.h"
#include "inprocesslan.h"
#include "plan.h"
#include "printers.h"
#include "secretmask.h"
#include "sessionstate.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using lv::FleetResult;

const lv::ActionKind kAsk = askAction();
using Mode = lv::JobSettings::Mode;

struct JobCase {
    const char* name;
    const char* fault; // as for linkvane-devsim --fault, at the device; empty: none
    lv::SetEntries set;
    Mode mode;
    bool verify;
    const char* window; // the window the changes were written for; empty: any
    bool refuseBeforeSend;
    FleetResult result;
    const char* error; // a trailing '*': the text starts so
    bool sent;         // a set command sent, or that would be
    int tries;
    int sets; // set commands the device received
};

const lv::SetEntries kRename{{QStringLiteral("DeviceID"), QStringLiteral("Job-1")}};

class DeviceJobTest : public ::testing::TestWithParam<JobCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lan.started()) << m_lan.error().toStdString();
        m_state.broadcast = QHostAddress(QHostAddress::LocalHost);
        m_state.gCmdPort = m_lan.port();
    }
    const lv::Device& device()
    {
        for (const lv::Device& d : m_lan.devices())
            if (d.model == "KR-770A")
                return d;
        return m_lan.devices().front();
    }
    std::unique_ptr<lv::DeviceJob> job(lv::SetEntries set, lv::JobSettings settings, const char* window = "",
                                       std::vector<lv::PlannedAction> actions = {})
    {
        const lv::Device& d = device();
        lv::DeviceTask task{QStringLiteral("pump"), lv::DeviceRef(d.searchAnswer()), d.macField(),
                            d.password(),           QString::fromLatin1(window),     std::move(set),
                            std::move(actions)};
        settings.timeoutMs = 200;
        settings.retries = 1;
        return std::make_unique<lv::DeviceJob>(m_state, std::move(task), std::move(settings), m_mask);
    }
    int setsReceived() const
    {
        return static_cast<int>(std::count_if(m_lan.received().begin(), m_lan.received().end(),
                                              [](const QByteArray& b) { return b.startsWith("S "); }));
    }

    InProcessLan m_lan;
    lv::SessionState m_state;
    lv::SecretMask m_mask;
};

TEST_P(DeviceJobTest, EndsAsItsStepsSay)
{
    const JobCase& c = GetParam();
    if (*c.fault) {
        ASSERT_TRUE(m_lan.addFault(QString::fromLatin1(c.fault) + QLatin1Char('@') +
                                   QString::fromStdString(device().macField())));
    }
    lv::JobSettings settings{.mode = c.mode, .verify = c.verify};
    if (c.refuseBeforeSend)
        settings.beforeSend = [](const lv::DeviceOutcome&) { return std::optional(QStringLiteral("disk full")); };
    std::vector<std::unique_ptr<lv::DeviceJob>> jobs;
    jobs.push_back(job(c.set, settings, c.window));
    lv::runDeviceJobs(jobs, 1, {});
    const lv::DeviceOutcome& o = jobs.front()->outcome();
    EXPECT_EQ(o.result(), c.result);
    const QString error = QString::fromUtf8(c.error);
    if (error.endsWith(QLatin1Char('*')))
        EXPECT_TRUE(o.error().startsWith(error.chopped(1))) << o.error().toStdString();
    else
        EXPECT_EQ(o.error(), error);
    EXPECT_EQ(o.sent().has_value(), c.sent);
    EXPECT_EQ(o.tries(), c.tries);
    EXPECT_EQ(setsReceived(), c.sets);
    EXPECT_EQ(o.succeeded(), !lv::isFailure(c.result));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DeviceJobTest,
    ::testing::Values(
        JobCase{"Updated", "", kRename, Mode::Apply, false, "", false, FleetResult::Updated, "", true, 1, 1},
        JobCase{"Verified", "", kRename, Mode::Apply, true, "", false, FleetResult::Updated, "", true, 1, 1},
        JobCase{"Unchanged", "", {}, Mode::Apply, false, "", false, FleetResult::Unchanged, "", false, 1, 0},
        JobCase{"DryRun", "", kRename, Mode::DryRun, false, "", false, FleetResult::WouldUpdate, "", true, 1, 0},
        JobCase{"Loaded", "", kRename, Mode::Load, false, "", false, FleetResult::Loaded, "", false, 1, 0},
        JobCase{"Silent", "silent", kRename, Mode::Apply, false, "", false, FleetResult::NoAnswer,
                "no answer to the configuration request within 200 ms", false, 2, 0},
        JobCase{"NoUpdate", "no-update", kRename, Mode::Apply, false, "", false, FleetResult::NoAnswer,
                "no answer to the update within 200 ms", true, 2, 2},
        JobCase{"Mismatch", "ignore-field:DeviceID", kRename, Mode::Apply, true, "", false, FleetResult::Mismatch, "",
                true, 1, 1},
        JobCase{"ValueRefused",
                "",
                {{QStringLiteral("SIOBaud"), QStringLiteral("12345")}},
                Mode::Apply,
                false,
                "",
                false,
                FleetResult::Refused,
                "the list SIOBaud of frmSetupKr770A holds no 12345*",
                false,
                1,
                0},
        JobCase{"OtherWindow", "", kRename, Mode::Apply, false, "frmOther", false, FleetResult::Refused,
                "the plan was written for frmOther, the device opens frmSetupKr770A", false, 1, 0},
        JobCase{"BackupFailed", "", kRename, Mode::Apply, false, "", true, FleetResult::NotSent, "disk full", false, 1,
                0}),
    [](const auto& p) { return std::string(p.param.name); });

// A stop lets the job under way read its configuration and send nothing; the next one never starts.
TEST_F(DeviceJobTest, AStopSendsNothingMoreAndStartsNoJob)
{
    ASSERT_TRUE(m_lan.addFault(QStringLiteral("late:100@") + QString::fromStdString(device().macField())));
    std::vector<std::unique_ptr<lv::DeviceJob>> jobs;
    jobs.push_back(job(kRename, {}));
    jobs.push_back(job(kRename, {}));
    lv::runDeviceJobs(jobs, 1, {}, [] { return 1; });
    EXPECT_EQ(jobs[0]->outcome().result(), FleetResult::Interrupted);
    EXPECT_EQ(jobs[0]->outcome().error(),
              QStringLiteral("interrupted once its configuration was read; nothing was sent"));
    EXPECT_TRUE(jobs[0]->outcome().form());
    EXPECT_EQ(jobs[1]->outcome().error(), QStringLiteral("interrupted before it started; nothing was sent"));
    EXPECT_EQ(setsReceived(), 0);
}

// A plan asks for an action by its key; it runs after the Update, or alone when nothing needs changing,
// and its answer is the job's word. A job whose Update failed runs none.
TEST_F(DeviceJobTest, AnActionOfThePlanRunsLastAndDecides)
{
    QString error;
    const std::optional<lv::Plan> plan = lv::readPlanJson(
        R"({"devices": [{"device": "10.0.0.1", "ask": true}, {"device": "10.0.0.2", "ask": false}]})", &error);
    ASSERT_TRUE(plan) << error.toStdString();
    ASSERT_EQ(plan->entries[0].actions.size(), 1u);
    EXPECT_EQ(plan->entries[0].actions[0].kind, kAsk);
    EXPECT_TRUE(plan->entries[1].actions.empty());
    EXPECT_FALSE(lv::readPlanJson(R"({"devices": [{"device": "10.0.0.1", "ask": 3}]})", &error));
    EXPECT_EQ(error, QStringLiteral("devices[0].ask: must be true, false or single-byte text"));

    for (const lv::SetEntries& set : {kRename, lv::SetEntries{}}) {
        std::vector<std::unique_ptr<lv::DeviceJob>> jobs;
        jobs.push_back(job(set, {}, "", plan->entries[0].actions));
        lv::runDeviceJobs(jobs, 1, {});
        EXPECT_EQ(jobs[0]->outcome().result(), FleetResult::Loaded);
        EXPECT_EQ(jobs[0]->outcome().steps.actions.size(), 1u);
        EXPECT_EQ(jobs[0]->outcome().sent().has_value(), !set.empty());
    }
    ASSERT_TRUE(m_lan.addFault(QStringLiteral("no-update@") + QString::fromStdString(device().macField())));
    std::vector<std::unique_ptr<lv::DeviceJob>> jobs;
    // Another name than the one the loop left: the device has something to change.
    jobs.push_back(job({{QStringLiteral("DeviceID"), QStringLiteral("Job-2")}}, {}, "", plan->entries[0].actions));
    lv::runDeviceJobs(jobs, 1, {});
    EXPECT_EQ(jobs[0]->outcome().result(), FleetResult::NoAnswer);
    EXPECT_TRUE(jobs[0]->outcome().steps.actions.empty());
}

} // namespace
