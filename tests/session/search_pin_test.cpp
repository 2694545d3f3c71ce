// SPDX-License-Identifier: Apache-2.0
// The card each device of a search is reached through, across searches: a search that no longer
// probes a card hears nothing more from it, and no device is given a card of an earlier search.
// Loopback stands in for the cards: "the routing table's choice" (no interface) and the loopback card by name.

#include "devicesearch.h"

#include "fakedevice.h"
#include "printers.h"

#include <QNetworkInterface>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

namespace {

QByteArray answerOf(int n)
{
    return "AX 0.80.194.7.7." + QByteArray::number(n) + "/10.7.7." + QByteArray::number(n) + "/Dev" +
           QByteArray::number(n) + "\r";
}

class SearchCardsPin : public ::testing::Test {
protected:
    SearchCardsPin()
    {
        state.broadcast = QHostAddress::LocalHost;
        state.gCmdPort = device.port();
    }
    std::vector<std::string> listed() const
    {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < search.devices().size(); ++i)
            out.push_back(search.devices().raw(i));
        return out;
    }
    FakeDevice device;
    lv::SessionState state;
    lv::DeviceSearch search{state};
};

// The loopback card by what it is, whatever the system calls it ("lo", "loopback_0").
QNetworkInterface loopbackCard()
{
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack) && iface.flags().testFlag(QNetworkInterface::IsUp))
            return iface;
    return {};
}

// Each probe is answered late by a device of its own: the first probe's device answers after the
// second search has started on another card.
TEST_F(SearchCardsPin, LateAnswersOfACardNoLongerProbedAreNotListed)
{
    const QNetworkInterface lo = loopbackCard();
    ASSERT_TRUE(lo.isValid()) << "no loopback interface";
    int probes = 0;
    device.setHandler([&](const FakeDevice::Received& r) {
        const int n = ++probes;
        QTimer::singleShot(200, [this, r, n] { device.answer(r, answerOf(n)); });
        return QList<QByteArray>{};
    });
    ASSERT_TRUE(search.start()); // where the routing table sends
    state.interfaceName = lo.name();
    ASSERT_TRUE(search.start()); // through the named card only
    QTest::qWait(500);
    ASSERT_EQ(probes, 2);
    EXPECT_EQ(listed(), std::vector<std::string>{answerOf(2).toStdString()});
    ASSERT_EQ(search.sockets().size(), 1u);
}

struct PastEndCase {
    const char* name;
    int offset; // the row asked for, from the end of the list
};

void PrintTo(const PastEndCase& c, std::ostream* os)
{
    *os << c.name;
}

class SearchPastEndPin : public SearchCardsPin, public ::testing::WithParamInterface<PastEndCase> {};

// A longer search through a card, then a shorter one: rows the second search did not fill name no
// device, and no card either (a card of the first search would send commands astray).
TEST_P(SearchPastEndPin, RowsPastTheListGiveNoCardOfAnEarlierSearch)
{
    const QNetworkInterface lo = loopbackCard();
    ASSERT_TRUE(lo.isValid()) << "no loopback interface";
    state.interfaceName = lo.name();
    QList<QByteArray> answers{answerOf(1), answerOf(2), answerOf(3)};
    device.setHandler([&](const FakeDevice::Received&) { return answers; });
    ASSERT_TRUE(search.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.devices().size() == 3; }, 1000));
    ASSERT_EQ(search.devices().size(), 3u);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(search.interfaceOf(row), lo.index());

    answers = {answerOf(4)};
    ASSERT_TRUE(search.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.devices().size() == 1; }, 1000));
    QTest::qWait(50);
    ASSERT_EQ(search.devices().size(), 1u);
    EXPECT_EQ(search.interfaceOf(0), lo.index());
    const int row = static_cast<int>(search.devices().size()) + GetParam().offset;
    EXPECT_EQ(search.interfaceOf(row), 0) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(Rows, SearchPastEndPin,
                         ::testing::Values(PastEndCase{"JustPastTheEnd", 0}, PastEndCase{"TwoPast", 1},
                                           PastEndCase{"BeforeTheStart", -2}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
