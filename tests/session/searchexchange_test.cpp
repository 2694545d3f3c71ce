// SPDX-License-Identifier: Apache-2.0
// The search as one exchange: how it ends (listed, nothing answered, not sent, no such card) and when
// (the wait, a count, a quiet spell), against a LAN of answers on loopback.

#include "searchexchange.h"

#include "fakedevice.h"
#include "printers.h"
#include "waitfor.h"

#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using Outcome = lv::SearchResult::Outcome;

QByteArray answerOf(int n)
{
    return "AX 0.80.194.9.9." + QByteArray::number(n) + "/10.9.9." + QByteArray::number(n) + "/Dev" +
           QByteArray::number(n) + "\r";
}

QList<QByteArray> answers(int count)
{
    QList<QByteArray> out;
    for (int n = 1; n <= count; ++n)
        out.append(answerOf(n));
    return out;
}

constexpr int kWaitMs = 600;

struct EndCase {
    const char* name;
    int answering;    // devices that answer the probe
    bool portZero;    // the probe aimed at port 0, which no datagram can be sent to
    const char* card; // the card the search keeps to ("": every card)
    int expect;       // SearchEnds::expect
    int idleMs;       // SearchEnds::idleMs
    Outcome outcome;
    int listed;        // devices listed when it ended
    bool early;        // ended well before the wait
    int spacingMs = 0; // between two answers
};

void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << c.name;
}

const EndCase kEndCases[] = {
    {"AnswersAreListed", 3, false, "", 0, -1, Outcome::Listed, 3, false},
    {"OneAnswerIsListed", 1, false, "", 0, -1, Outcome::Listed, 1, false},
    {"SilenceIsNothingAnswered", 0, false, "", 0, -1, Outcome::NothingAnswered, 0, false},
    {"UnsendableProbeIsNotSent", 3, true, "", 0, -1, Outcome::NotSent, 0, true},
    {"MissingCardIsNoInterface", 3, false, "no-such-card9", 0, -1, Outcome::NoInterface, 0, true},
    {"ExpectedCountEndsIt", 5, false, "", 2, -1, Outcome::Listed, 2, true},
    {"QuietSpellEndsIt", 4, false, "", 0, 150, Outcome::Listed, 4, true},
    {"QuietLanEndsBeforeAnyAnswer", 0, false, "", 0, 100, Outcome::NothingAnswered, 0, true},
    // A quiet spell no shorter than the wait is the wait.
    {"QuietSpellAsLongAsTheWait", 0, false, "", 0, kWaitMs, Outcome::NothingAnswered, 0, false},
    // Each new answer starts the quiet spell afresh.
    {"AnswersStillComingKeepItOpen", 5, false, "", 0, 200, Outcome::Listed, 5, true, 120},
};

class SearchExchangeEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(SearchExchangeEnds, EndsAsItShouldWithWhatWasListed)
{
    const EndCase& c = GetParam();
    FakeDevice lan;
    lan.answerEveryDatagramWith(answers(c.answering), c.spacingMs);
    lv::SessionState state;
    state.broadcast = QHostAddress::LocalHost;
    state.gCmdPort = c.portZero ? quint16(0) : lan.port();
    state.interfaceName = QString::fromLatin1(c.card);
    lv::DeviceSearch search(state);
    lv::SearchEnds ends;
    // An early end shows against a wait ten times longer, which it must not sit out.
    ends.waitMs = c.early ? 10 * kWaitMs : kWaitMs;
    ends.expect = c.expect;
    ends.idleMs = c.idleMs;
    lv::SearchExchange exchange(search, ends);
    int finishedSignals = 0;
    QObject::connect(&exchange, &lv::SearchExchange::finished, &exchange, [&] { ++finishedSignals; });
    const lv::SearchResult result = lv::runExchange(exchange);

    EXPECT_TRUE(exchange.isFinished());
    EXPECT_FALSE(exchange.running());
    EXPECT_EQ(finishedSignals, 1);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.devices, c.listed);
    EXPECT_EQ(result.sent(), c.outcome == Outcome::Listed || c.outcome == Outcome::NothingAnswered);
    if (c.early)
        EXPECT_LT(result.endedMs, ends.waitMs) << "it should not have waited for the whole wait";
    else
        EXPECT_GE(result.endedMs, kWaitMs);
    // Only a search that listened for its whole wait may say that a device is in no conflict.
    EXPECT_EQ(result.wholeWait, !c.early);
    EXPECT_EQ(result.lastDeviceMs >= 0, c.listed > 0);
    // Nothing ends it twice: a late answer after the end is listed but signals nothing more.
    LV_EXPECT_NEVER(finishedSignals != 1, 50);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, SearchExchangeEnds, ::testing::ValuesIn(kEndCases),
                         [](const ::testing::TestParamInfo<EndCase>& param) { return std::string(param.param.name); });

// A second search started while the first still listens (the window drops the first) counts afresh, and
// the first signals nothing.
TEST(SearchExchangeRestart, ASecondSearchReplacesTheFirst)
{
    FakeDevice lan(answers(2));
    lv::SessionState state;
    state.broadcast = QHostAddress::LocalHost;
    state.gCmdPort = lan.port();
    lv::DeviceSearch search(state);
    lv::SearchEnds ends;
    ends.waitMs = kWaitMs;
    int finishedSignals = 0;
    auto first = std::make_unique<lv::SearchExchange>(search, ends);
    QObject::connect(first.get(), &lv::SearchExchange::finished, first.get(), [&] { ++finishedSignals; });
    first->start();
    LV_WAIT_TRUE(search.devices().size() == 2, 10 * kWaitMs);
    first.reset();
    lan.answerEveryDatagramWith(answers(3));
    lv::SearchExchange second(search, ends);
    QObject::connect(&second, &lv::SearchExchange::finished, &second, [&] { ++finishedSignals; });
    EXPECT_EQ(lv::runExchange(second).devices, 3);
    EXPECT_EQ(second.result().outcome, Outcome::Listed);
    EXPECT_EQ(finishedSignals, 1);
}

} // namespace
