// SPDX-License-Identifier: Apache-2.0
// What each audience reads at the end of each exchange, one table per result: the texts no flow of the
// window or the CLI already reads word for word (those stay checked where they are shown).

#include "outcometexts.h"

#include "catalogue.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace {

using lv::Audience;
using lv::FleetResult;

template <typename Result> struct Row {
    Result result;
    Audience audience;
    const char* expected;
};

template <typename Result> void PrintTo(const Row<Result>& row, std::ostream* os)
{
    *os << '"' << row.expected << '"';
}

template <typename Result> Result of(typename Result::Outcome outcome)
{
    Result result;
    result.outcome = outcome;
    return result;
}

// One device, asked for with a 2 s wait; a set command too large for a datagram; KR-700's window.
const lv::TextContext kContext{.device = QStringLiteral("0.14.198.0.0.1"),
                               .timeoutMs = 2000,
                               .model = QStringLiteral("XY-1"),
                               .setCommandBytes = 70000,
                               .askedMac = "0.14.198.0.0.2",
                               .window = lv::findWindow("frmSetup"),
                               .interfaceName = QStringLiteral("eth9"),
                               .target = QStringLiteral("10.0.0.255"),
                               .port = 1500};

template <typename Result> class OutcomeTextTest : public ::testing::TestWithParam<Row<Result>> {
protected:
    void check() const
    {
        const Row<Result>& row = this->GetParam();
        EXPECT_EQ(lv::describe(row.result, row.audience, kContext), QString::fromUtf8(row.expected));
    }
};

using RequestText = OutcomeTextTest<lv::ConfigRequestResult>;
TEST_P(RequestText, SaysWhatBecameOfTheRequest)
{
    check();
}
using Request = lv::ConfigRequestResult::Outcome;

lv::ConfigRequestResult request(Request outcome, std::string reply, std::size_t missing, const char* window = nullptr)
{
    lv::ConfigRequestResult result = of<lv::ConfigRequestResult>(outcome);
    result.reply = std::move(reply);
    result.missing.resize(missing);
    result.modelVersion.model = "XY-1";
    result.dispatch.windowDef = window ? lv::findWindow(window) : nullptr;
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RequestText,
    ::testing::ValuesIn(std::vector<Row<lv::ConfigRequestResult>>{
        {request(Request::NotSent, "", 0), Audience::Window, "The request to 0.14.198.0.0.1 could not be sent"},
        {request(Request::NotADevice, "", 0), Audience::Window, "0.14.198.0.0.1 is not a device that can be asked"},
        {request(Request::Incomplete, "A", 1), Audience::Window,
         "0.14.198.0.0.1 sent an incomplete reply (1 field missing); no window was opened"},
        {request(Request::Answered, "A", 0, "frmSetup"), Audience::Window, "KR-700 setup opened"},
        {request(Request::Answered, "A", 0, "frm4PortSetup"), Audience::Window, "4-port setup opened"},
        {request(Request::NotSent, "", 0), Audience::Cli,
         "the configuration request to 0.14.198.0.0.1 could not be sent"},
        {request(Request::Incomplete, "A", 3), Audience::Cli,
         "device 0.14.198.0.0.1: incomplete reply (3 fields missing)"},
        {request(Request::NotAReply, "X", 0), Audience::Cli,
         "device 0.14.198.0.0.1 did not answer the configuration request within 2000 ms"},
        {request(Request::NotADevice, "", 0), Audience::Fleet, "the search answer names no device"},
        {request(Request::NotSent, "", 0), Audience::Fleet, "the configuration request could not be sent"},
        {request(Request::NoAnswer, "", 0), Audience::Fleet, "no answer to the configuration request within 2000 ms"},
        {request(Request::NotAReply, "X", 0), Audience::Fleet, "the answer to the configuration request is not one"},
        {request(Request::Incomplete, "A", 2), Audience::Fleet, "incomplete reply (2 fields missing)"},
        {request(Request::Aborted, "", 0), Audience::Fleet,
         "interrupted while its configuration was read; nothing was sent"},
    }));

using UpdateText = OutcomeTextTest<lv::UpdateResult>;
TEST_P(UpdateText, SaysWhatBecameOfTheUpdate)
{
    check();
}
using Update = lv::UpdateResult::Outcome;

lv::UpdateResult update(Update outcome, int commandsSent)
{
    lv::UpdateResult result = of<lv::UpdateResult>(outcome);
    result.commandsSent = commandsSent;
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UpdateText,
    ::testing::ValuesIn(std::vector<Row<lv::UpdateResult>>{
        {update(Update::Answered, 4), Audience::Window, "0.14.198.0.0.1 updated"},
        {update(Update::TooLarge, 0), Audience::Window, "The update of 0.14.198.0.0.1 could not be sent"},
        {update(Update::NotSent, 0), Audience::Cli,
         "the update of 0.14.198.0.0.1 could not be sent (70000 bytes; one "
         "datagram carries at most 65507); nothing was sent"},
        {update(Update::Aborted, 1), Audience::Cli, "device 0.14.198.0.0.1 did not answer the update within 2000 ms"},
        {update(Update::NoAnswer, 4), Audience::Fleet, "no answer to the update within 2000 ms"},
        {update(Update::NotSent, 0), Audience::Fleet, "the set command could not be sent"},
        {update(Update::NotSent, 1), Audience::Fleet, "the \"U \" command could not be sent"},
        {update(Update::TooLarge, 0), Audience::Fleet,
         "the set command would be 70000 bytes; one datagram carries at most 65507; nothing was sent"},
        {update(Update::Aborted, 1), Audience::Fleet,
         "interrupted after S: the set command was sent, the \"U \" commands were not confirmed"},
        {update(Update::Aborted, 0), Audience::Fleet, "interrupted before the set command; nothing was sent"},
    }));

using VerifyText = OutcomeTextTest<lv::VerifyResult>;
TEST_P(VerifyText, SaysWhatTheCheckFound)
{
    check();
}
using Verify = lv::VerifyResult::Outcome;

// The first differing field is shown as the window shows it: the baud rate's list entry, not its index.
lv::VerifyResult mismatch()
{
    lv::VerifyResult result = of<lv::VerifyResult>(Verify::Mismatch);
    result.fields = {{"DeviceID", "A", "A"}, {"SIOBaud", "6", "5"}, {"SetupPassword", "x", "y"}};
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, VerifyText,
    ::testing::ValuesIn(std::vector<Row<lv::VerifyResult>>{
        {mismatch(), Audience::Window, "0.14.198.0.0.1 updated, but it reports SIOBaud 9600 (sent 19200)"},
        {of<lv::VerifyResult>(Verify::NoAnswer), Audience::Cli,
         "0.14.198.0.0.1 confirmed the update, but the check got no answer"},
        {mismatch(), Audience::Cli, "0.14.198.0.0.1 confirmed the update, but the check found other values"},
        {mismatch(), Audience::Fleet, ""},
    }));

TEST(VerifyDetails, ListEveryDifferingFieldAsShownThenTheStrangers)
{
    EXPECT_EQ(lv::windowVerifyDetails(mismatch(), kContext, 2),
              QStringLiteral("Fields that differ from what the Update sent:\nSIOBaud: reports 9600, sent 19200\n"
                             "SetupPassword: reports ***, sent ***\n2 datagrams from other hosts were ignored"));
}

using MacText = OutcomeTextTest<lv::MacChangeResult>;
TEST_P(MacText, SaysWhatBecameOfTheMacChange)
{
    check();
}
using Mac = lv::MacChangeResult::Outcome;

lv::MacChangeResult macChange(Mac outcome, std::string newField)
{
    lv::MacChangeResult result = of<lv::MacChangeResult>(outcome);
    result.newField = std::move(newField);
    return result;
}

INSTANTIATE_TEST_SUITE_P(Outcomes, MacText,
                         ::testing::ValuesIn(std::vector<Row<lv::MacChangeResult>>{
                             {macChange(Mac::Unchanged, "0.14.198.0.0.1"), Audience::Window,
                              "0.14.198.0.0.1 kept its MAC address"},
                             {macChange(Mac::Aborted, ""), Audience::Cli,
                              "device 0.14.198.0.0.1 did not answer the MAC change within 2000 ms"},
                             {macChange(Mac::Unchanged, ""), Audience::Cli,
                              "device 0.14.198.0.0.1 answered, but its answer names no new MAC "
                              "address; nothing is known to have changed"},
                             {macChange(Mac::Changed, "0.14.198.0.0.3"), Audience::Cli,
                              "device 0.14.198.0.0.1 reports the MAC address 0.14.198.0.0.3, not 0.14.198.0.0.2"},
                             {macChange(Mac::Unchanged, "000.014.198.000.000.002"), Audience::Cli, ""},
                         }));

using SearchText = OutcomeTextTest<lv::SearchResult>;
TEST_P(SearchText, SaysWhatBecameOfTheSearch)
{
    check();
}
using Search = lv::SearchResult::Outcome;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SearchText,
    ::testing::ValuesIn(std::vector<Row<lv::SearchResult>>{
        {of<lv::SearchResult>(Search::NotSent), Audience::Window, "The search probe could not be sent"},
        {of<lv::SearchResult>(Search::NoInterface), Audience::Window, "The interface eth9 is not there"},
        {of<lv::SearchResult>(Search::NotSent), Audience::Cli, "the search probe could not be sent to 10.0.0.255:1500"},
        {of<lv::SearchResult>(Search::NoInterface), Audience::Cli, "there is no network interface eth9"},
        {of<lv::SearchResult>(Search::NothingAnswered), Audience::Fleet, "no answer to the search"},
    }));

using StepText = ::testing::TestWithParam<std::pair<QString, const char*>>;
TEST_P(StepText, SaysWhatBecameOfTheStep)
{
    EXPECT_EQ(GetParam().first, QString::fromUtf8(GetParam().second));
}

template <typename Result> QString step(typename Result::Outcome outcome, Audience audience, QString detail = {})
{
    Result result = of<Result>(outcome);
    if constexpr (std::is_same_v<Result, lv::ReachResult>)
        result.detail = std::move(detail);
    if constexpr (std::is_same_v<Result, lv::GateResult>)
        result.why = std::move(detail);
    return lv::describe(result, audience, kContext);
}

QString prepare(lv::PrepareResult::Outcome outcome, Audience audience, lv::TypedRefusal refusal = {})
{
    lv::PrepareResult result = of<lv::PrepareResult>(outcome);
    result.form = std::make_shared<lv::SetupForm>(*lv::findWindow("frmSetup"));
    result.plannedWindow = QStringLiteral("frmSetupKr770A");
    result.refusal = std::move(refusal);
    return lv::describe(result, audience, kContext);
}

QString gate(lv::GateResult::Point point)
{
    lv::GateResult result = of<lv::GateResult>(lv::GateResult::Outcome::Interrupted);
    result.point = point;
    return lv::describe(result, Audience::Fleet);
}

using Reach = lv::ReachResult::Outcome;
using Prepare = lv::PrepareResult::Outcome;
INSTANTIATE_TEST_SUITE_P(
    Outcomes, StepText,
    ::testing::Values(
        std::pair{step<lv::ReachResult>(Reach::NotFound, Audience::Fleet), "no answer to the search"},
        std::pair{step<lv::ReachResult>(Reach::NoMatch, Audience::Fleet, QStringLiteral("model=KR*")),
                  "no device matches select model=KR*"},
        std::pair{step<lv::ReachResult>(Reach::NamedTwice, Audience::Fleet, QStringLiteral("select id=x")),
                  "the plan names this device twice (also as select id=x)"},
        std::pair{step<lv::ReachResult>(Reach::Shared, Audience::Fleet, QStringLiteral("shared")), "shared"},
        std::pair{prepare(Prepare::NoWindow, Audience::Fleet), "no window opens for model XY-1; nothing to set"},
        std::pair{prepare(Prepare::NoWindow, Audience::Window), "0.14.198.0.0.1 is a XY-1, which has no setup window"},
        std::pair{prepare(Prepare::WrongWindow, Audience::Fleet),
                  "the plan was written for frmSetupKr770A, the device opens frmSetup"},
        std::pair{prepare(Prepare::Refused, Audience::Fleet, {lv::SetError::HoldsNul, QStringLiteral("krIP"), {}}),
                  "the value of krIP holds a NUL; the device would end the value there"},
        std::pair{prepare(Prepare::TooLarge, Audience::Fleet),
                  "the set command would be 70000 bytes; one datagram carries at most 65507; nothing was sent"},
        std::pair{prepare(Prepare::Ready, Audience::Fleet), ""},
        std::pair{gate(lv::GateResult::Point::Start), "interrupted before it started; nothing was sent"},
        std::pair{gate(lv::GateResult::Point::BeforeSend),
                  "interrupted once its configuration was read; nothing was sent"},
        std::pair{gate(lv::GateResult::Point::Check), "interrupted before the check after the update ended"},
        std::pair{step<lv::GateResult>(lv::GateResult::Outcome::Refused, Audience::Fleet, QStringLiteral("disk full")),
                  "disk full"}));

TEST(FleetSummary, CountsEveryResultWithoutAWordOfItsOwnAsFailed)
{
    lv::RunCounts counts;
    counts.ended = {{FleetResult::Updated, 2}, {FleetResult::NotFound, 1}, {FleetResult::Interrupted, 1},
                    {FleetResult::Refused, 3}, {FleetResult::Mismatch, 1}, {FleetResult::Unchanged, 0}};
    EXPECT_EQ(lv::fleetSummaryText(counts, 2, 1949),
              QStringLiteral("2 updated, 1 mismatch, 2 failed, 3 refused, 2 left out by --select in 1.9 s"));
    EXPECT_EQ(lv::fleetSummaryText({}, 0, 40), QStringLiteral("no device in 0.0 s"));
}

} // namespace
