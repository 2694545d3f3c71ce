// SPDX-License-Identifier: Apache-2.0
// What each result means (the fleet's word, failure, exit code), one table for every kind of result, and
// the action table's completeness.

#include "datagramexchange.h"
#include "deviceactions.h"
#include "jobsteps.h"
#include "macchangeexchange.h"
#include "outcometexts.h"
#include "searchexchange.h"
#include "verifyexchange.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using lv::FleetResult;
using lv::Meaning;

TEST(ActionTable, EveryOutcomeOfEveryActionHasOneMeaning)
{
    for (const lv::DeviceAction& action : lv::deviceActions()) {
        SCOPED_TRACE(action.name);
        ASSERT_TRUE(action.outcomes.isValid());
        EXPECT_EQ(action.meanings.size(), static_cast<std::size_t>(action.outcomes.keyCount()));
        for (int i = 0; i < action.outcomes.keyCount(); ++i) {
            const int value = action.outcomes.value(i);
            EXPECT_EQ(std::ranges::count(action.meanings, value, &lv::ActionOutcome::outcome), 1)
                << action.outcomes.key(i);
        }
        // A success never shows the word of a failure.
        for (const lv::ActionOutcome& row : action.meanings)
            EXPECT_TRUE(row.meaning.failure || !lv::isFailure(row.meaning.result)) << row.outcome;
        EXPECT_EQ(&lv::deviceAction(action.kind), &action);
    }
    ASSERT_NE(lv::actionForPlanKey(u"set"), nullptr);
    EXPECT_EQ(lv::actionForPlanKey(u"set")->kind, lv::ActionKind::Update);
    EXPECT_EQ(lv::actionForPlanKey(u"reboot"), nullptr);
}

TEST(FleetWords, OnlyTheFourWordsOfADoneDeviceSucceed)
{
    const QMetaEnum results = QMetaEnum::fromType<FleetResult>();
    QStringList words;
    QStringList succeeding;
    for (int i = 0; i < results.keyCount(); ++i) {
        const auto result = static_cast<FleetResult>(results.value(i));
        words << lv::resultText(result);
        if (!lv::isFailure(result))
            succeeding << lv::resultText(result);
    }
    EXPECT_EQ(words.join(u','), QStringLiteral("updated,unchanged,not found,no answer,refused,loaded,would update,"
                                               "not sent,interrupted,incomplete,mismatch"));
    EXPECT_EQ(succeeding.join(u','), QStringLiteral("updated,unchanged,loaded,would update"));
}

struct MeaningRow {
    const char* name;
    std::function<Meaning()> meaning;
    Meaning expected;
};

void PrintTo(const MeaningRow& row, std::ostream* os)
{
    *os << row.name;
}

class MeaningOf : public ::testing::TestWithParam<MeaningRow> {};

TEST_P(MeaningOf, SaysTheWordFailureAndExitCode)
{
    EXPECT_EQ(GetParam().meaning(), GetParam().expected);
}

template <typename Result> Meaning of(typename Result::Outcome outcome)
{
    Result result;
    result.outcome = outcome;
    return lv::meaningOf(result);
}

Meaning macChange(lv::MacChangeResult::Outcome outcome, std::string newField, std::string asked)
{
    lv::MacChangeResult result;
    result.outcome = outcome;
    result.newField = std::move(newField);
    result.askedField = std::move(asked);
    return lv::meaningOf(result);
}

Meaning datagram(lv::DatagramResult::Outcome outcome, lv::MacChangeResult::Outcome verdict)
{
    lv::DatagramResult result;
    result.outcome = outcome;
    result.verdict = static_cast<int>(verdict);
    return lv::meaningOf(result, lv::deviceAction(lv::ActionKind::MacChange));
}

using Mac = lv::MacChangeResult::Outcome;
constexpr Meaning kFailed3{FleetResult::NoAnswer, true, lv::kExitNoAnswer};

// The exit codes set, show, set-mac and apply end with today, and the window's "problem" marks.
INSTANTIATE_TEST_SUITE_P(
    Results, MeaningOf,
    ::testing::Values(
        MeaningRow{"SearchListed",
                   [] { return of<lv::SearchResult>(lv::SearchResult::Outcome::Listed); },
                   {FleetResult::Loaded, false, lv::kExitDone}},
        MeaningRow{"SearchNoInterface",
                   [] { return of<lv::SearchResult>(lv::SearchResult::Outcome::NoInterface); },
                   {FleetResult::NotSent, true, lv::kExitUsage}},
        MeaningRow{"RequestNotADevice",
                   [] { return of<lv::ConfigRequestResult>(lv::ConfigRequestResult::Outcome::NotADevice); },
                   {FleetResult::NotFound, true, lv::kExitNoAnswer}},
        MeaningRow{"UpdateTooLarge",
                   [] { return of<lv::UpdateResult>(lv::UpdateResult::Outcome::TooLarge); },
                   {FleetResult::Refused, true, lv::kExitNoAnswer}},
        MeaningRow{"VerifyNoAnswer",
                   [] { return of<lv::VerifyResult>(lv::VerifyResult::Outcome::NoAnswer); },
                   {FleetResult::Updated, true, lv::kExitNoAnswer}},
        MeaningRow{"ReachShared",
                   [] { return of<lv::ReachResult>(lv::ReachResult::Outcome::Shared); },
                   {FleetResult::Refused, true, lv::kExitNotFound}},
        MeaningRow{"PrepareNoWindow",
                   [] { return of<lv::PrepareResult>(lv::PrepareResult::Outcome::NoWindow); },
                   {FleetResult::Refused, true, lv::kExitUnknownValue}},
        MeaningRow{"PrepareTooLarge",
                   [] { return of<lv::PrepareResult>(lv::PrepareResult::Outcome::TooLarge); },
                   {FleetResult::Refused, true, lv::kExitNoAnswer}},
        MeaningRow{"PrepareNoMac", [] { return of<lv::PrepareResult>(lv::PrepareResult::Outcome::NoMac); }, kFailed3},
        MeaningRow{"GateRefused",
                   [] { return of<lv::GateResult>(lv::GateResult::Outcome::Refused); },
                   {FleetResult::NotSent, true, lv::kExitUsage}},
        // The window takes any new address; the CLI holds the device to the one it asked for.
        MeaningRow{"MacChanged",
                   [] { return macChange(Mac::Changed, "0.1.2.3.4.5", ""); },
                   {FleetResult::Updated, false, lv::kExitDone}},
        MeaningRow{"MacKept",
                   [] { return macChange(Mac::Unchanged, "0.1.2.3.4.5", ""); },
                   {FleetResult::Unchanged, true, lv::kExitNoAnswer}},
        MeaningRow{"MacKeptAsAsked",
                   [] { return macChange(Mac::Unchanged, "000.1.2.3.4.5", "0.1.2.3.4.5"); },
                   {FleetResult::Unchanged, false, lv::kExitDone}},
        MeaningRow{"MacChangedToAnother",
                   [] { return macChange(Mac::Changed, "0.1.2.3.4.7", "0.1.2.3.4.5"); },
                   {FleetResult::Mismatch, true, lv::kExitNoAnswer}},
        MeaningRow{"MacKeptNamingNone",
                   [] { return macChange(Mac::Unchanged, "", "0.1.2.3.4.5"); },
                   {FleetResult::Unchanged, true, lv::kExitNoAnswer}},
        MeaningRow{"MacMalformed", [] { return macChange(Mac::Malformed, "", "0.1.2.3.4.5"); }, kFailed3},
        MeaningRow{"DatagramAnswered",
                   [] { return datagram(lv::DatagramResult::Outcome::Answered, Mac::Changed); },
                   {FleetResult::Updated, false, lv::kExitDone}},
        MeaningRow{"DatagramNoAnswer", [] { return datagram(lv::DatagramResult::Outcome::NoAnswer, Mac::Changed); },
                   kFailed3}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
