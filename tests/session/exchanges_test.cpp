// SPDX-License-Identifier: Apache-2.0
// The exchanges with one device against a scripted device on loopback.

#include "exchanges.h"
#include "macchangeexchange.h"
#include "runexchange.h"
#include "searchexchange.h"
#include "verifyexchange.h"

#include "fakedevice.h"
#include "printers.h"
#include "replybuilder.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QUdpSocket>

#include <QTest>

#include <gtest/gtest.h>

#include <cctype>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

// Every item a window reads: without them a reply is never whole.
const QByteArray kItems = QByteArray::fromStdString(lv::test::everyItemText());

std::string str(const QByteArray& b)
{
    return {b.constData(), static_cast<std::size_t>(b.size())};
}

QByteArray reply(const char* model, const char* tail = "<MacAddress>00-50-C2-01-02-03</MacAddress> MAC")
{
    // The model stands last: a six-character model matches only when the reply ends right after it.
    return QByteArray("AG VER:1.07\r") + tail + kItems + " MODEL: " + model;
}

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest()
    {
        state.broadcast = QHostAddress::LocalHost;
        state.gCmdPort = device.port();
    }
    FakeDevice device;
    lv::SessionState state;
    lv::CommandChannel channel{state};
};

TEST_F(ExchangeTest, RequestBytesAreAddressPartPasswordAndNul)
{
    for (const std::string password : {"secret", ""}) {
        const auto before = device.received().size();
        lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/DEV1\r"}, password, 50);
        ASSERT_EQ(device.received().size(), before + 1);
        EXPECT_EQ(str(device.received().back().bytes), "G 0.80.194.1.2.3/10.0.0.7/" + password + std::string(1, '\0'));
    }
}

TEST_F(ExchangeTest, EntryNotFromSearchSendsNothing)
{
    const lv::ConfigRequestResult result = lv::requestConfiguration(channel, {"AY 0.80.194.1.2.3/10.0.0.7/D"}, "", 50);
    EXPECT_FALSE(result.sent());
    LV_EXPECT_NEVER(!device.received().isEmpty(), 50);
}

struct DispatchCase {
    const char* model;
    int row;
    int portCount;
    const char* window;
};

class RequestDispatchTest : public ExchangeTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(RequestDispatchTest, SplitReplyCompletesAndPicksRow)
{
    const QByteArray full = reply(GetParam().model);
    // The cut falls inside the MacAddress item; "MAC" only arrives with the second half.
    const int cut = full.indexOf("C2-01") + 2;
    device.setHandler([&](const FakeDevice::Received&) { return QList<QByteArray>{full.left(cut), full.mid(cut)}; });
    const lv::ConfigRequestResult result = lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "");
    ASSERT_TRUE(result.valid());
    EXPECT_EQ(result.reply, str(full));
    EXPECT_EQ(result.dispatch.row, GetParam().row);
    EXPECT_EQ(result.dispatch.portCount, GetParam().portCount);
    EXPECT_EQ(result.dispatch.window, GetParam().window);
    EXPECT_EQ(result.modelVersion.version, "1.07");
}

INSTANTIATE_TEST_SUITE_P(Models, RequestDispatchTest,
                         ::testing::Values(DispatchCase{"KR-7800A", 2, 2, "frmKR7800ASetup"},
                                           DispatchCase{"KR-7900", 1, 3, "frm3PortSetup"},
                                           DispatchCase{"KR788A", 6, 0, ""}, DispatchCase{"ZZ-9999", 15, 0, "frmSetup"},
                                           DispatchCase{"PL-778A", 12, 0, "frmSetupPl778"}),
                         [](const ::testing::TestParamInfo<DispatchCase>& param) {
                             std::string name;
                             for (const char c : std::string(param.param.model))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST_F(ExchangeTest, ReplyWithoutUpperCaseMacTimesOutAfterAboutOneSecond)
{
    device.setHandler([](const FakeDevice::Received&) {
        return QList<QByteArray>{reply("KR-770A", "<MacAddress>x</MacAddress> Mac")};
    });
    QElapsedTimer t;
    t.start();
    const lv::ConfigRequestResult result = lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "");
    const qint64 elapsed = t.elapsed();
    EXPECT_EQ(result.outcome, lv::ConfigRequest::Outcome::NoAnswer);
    EXPECT_FALSE(result.valid());
    EXPECT_GE(elapsed, 950);
}

TEST_F(ExchangeTest, ReplyNotStartingWithAIsNotTaken)
{
    // A datagram that cannot begin a reply is not kept, so it neither ends the wait nor spoils a real
    // reply behind it.
    device.setHandler([](const FakeDevice::Received&) { return QList<QByteArray>{"B MODEL: KR-770A MAC"}; });
    const lv::ConfigRequestResult result =
        lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "", 300);
    EXPECT_EQ(result.outcome, lv::ConfigRequest::Outcome::NoAnswer);
    EXPECT_FALSE(result.valid());
    EXPECT_TRUE(result.reply.empty());
}

struct HostileCase {
    const char* name;
    QList<QByteArray> datagrams; // sent in this order in answer to the request
    bool valid;
    const char* model; // expected when valid
    int foreign;       // replies set aside as another device's
};

class HostileReply : public ExchangeTest, public ::testing::WithParamInterface<HostileCase> {};

// Whatever else answers on the LAN, the request takes only a reply of the device asked.
TEST_P(HostileReply, OnlyTheAskedDevicesReplyIsTaken)
{
    const HostileCase& c = GetParam();
    device.setHandler([&c](const FakeDevice::Received&) { return c.datagrams; });
    QElapsedTimer t;
    t.start();
    const lv::ConfigRequestResult result =
        lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "", 400);
    // A guard, ten times the bound: what comes in never keeps the request waiting past it.
    EXPECT_LT(t.elapsed(), 10 * 400) << "the request did not end on its own bound";
    EXPECT_EQ(result.valid(), c.valid);
    if (c.valid) {
        EXPECT_EQ(result.modelVersion.model, c.model);
    }
    EXPECT_EQ(result.foreignReplies, c.foreign);
}

const QByteArray kOwn = "A VER:1\r<MacAddress>00:50:c2:01:02:03</MacAddress> MAC" + kItems + " MODEL: KR-770A";
const QByteArray kOther = "A VER:1\r<MacAddress>00:50:C2:01:02:09</MacAddress> MAC" + kItems + " MODEL: NDQ-770";

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileReply,
    ::testing::Values(
        HostileCase{"OwnReply", {kOwn}, true, "KR-770A", 0},
        HostileCase{"StrayDatagramFirst", {"?", kOwn}, true, "KR-770A", 0},
        HostileCase{"JunkFloodFirst", {QByteArray(60000, '?'), QByteArray(60000, '?'), kOwn}, true, "KR-770A", 0},
        HostileCase{"AnotherDeviceFirst", {kOther, kOwn}, true, "KR-770A", 1},
        HostileCase{"OnlyAnotherDevice", {kOther}, false, "", 1},
        HostileCase{"MacAddressInAnotherForm",
                    {"A <MacAddress>device-7</MacAddress> MAC" + kItems + " MODEL: DN-680A"},
                    true,
                    "DN-680A",
                    0},
        HostileCase{"BareDigitsOfTheAskedDevice",
                    {"A <MacAddress>0050C2010203</MacAddress> MAC" + kItems + " MODEL: PL-778A"},
                    true,
                    "PL-778A",
                    0},
        HostileCase{"MacBeforeItsItems",
                    {"A MAC VER:1\r", "<MacAddress>00-50-C2-01-02-03</MacAddress>" + kItems + " MODEL: KR-780A"},
                    true,
                    "KR-780A",
                    0}),
    [](const auto& p) { return std::string(p.param.name); });

// A reply complete in its markers before its items came is looked at again as they come: the request
// ends when the reply is whole, long before its bound.
TEST_F(ExchangeTest, AReplyMadeWholeByLaterDatagramsEndsAsItIs)
{
    device.setHandler([this](const FakeDevice::Received& request) {
        QTimer::singleShot(200, &channel, [this, request] { device.answer(request, kItems); });
        return QList<QByteArray>{"A VER:1\rMODEL: KR-780A\rMAC <MacAddress>00-50-C2-01-02-03</MacAddress>"};
    });
    QElapsedTimer t;
    t.start();
    const lv::ConfigRequestResult result =
        lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "", 5000);
    EXPECT_TRUE(result.valid());
    EXPECT_EQ(result.dispatch.row, 14);
    EXPECT_LT(t.elapsed(), 2500);
}

// Another host on the LAN answers in the device's name: its datagrams are set aside whatever they hold,
// since the device's replies come from where its search answer came from.
struct StrangerCase {
    const char* name;
    QList<QByteArray> fromStranger; // sent by the other host just before the device answers
    QList<QByteArray> fromDevice;
    bool valid;
    int strangers;
};

class StrangerReply : public ExchangeTest, public ::testing::WithParamInterface<StrangerCase> {};

TEST_P(StrangerReply, IsNeverTakenForTheDevicesReply)
{
    const StrangerCase& c = GetParam();
    QUdpSocket stranger;
    device.setHandler([&](const FakeDevice::Received& r) {
        for (const QByteArray& d : c.fromStranger)
            stranger.writeDatagram(d, r.from, r.port);
        return c.fromDevice;
    });
    const lv::DevicePeer peer{QHostAddress(QHostAddress::LocalHost).toIPv4Address(), device.port()};
    const lv::ConfigRequestResult result =
        lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r", 0, peer}, "", 400);
    EXPECT_EQ(result.valid(), c.valid);
    EXPECT_FALSE(QByteArray::fromStdString(result.reply).contains("INJECTED")) << result.reply;
    EXPECT_EQ(result.strangers, c.strangers);
}

const QByteArray kInjected = "A<DeviceID>INJECTED</DeviceID><IPAddress>6.6.6.6</IPAddress>";

INSTANTIATE_TEST_SUITE_P(
    Cases, StrangerReply,
    ::testing::Values(StrangerCase{"InjectedBeforeTheReply", {kInjected}, {kOwn}, true, 1},
                      StrangerCase{"WholeForgedReplyFirst", {kOwn + "INJECTED"}, {kOwn}, true, 1},
                      StrangerCase{
                          "FloodFromAnotherHost", QList<QByteArray>(8, QByteArray(60000, 'A')), {kOwn}, true, 8},
                      StrangerCase{"OnlyTheStrangerAnswers", {kOwn + "INJECTED"}, {}, false, 1}),
    [](const auto& p) { return std::string(p.param.name); });

// The answer that ends an Update's wait must come from the device too: from where its search answer
// came, or from the address the Update gives it, on the device's port.
struct UpdateAnswerCase {
    const char* name;
    const char* newIp;    // the plan's new address ("": none)
    const char* answerAt; // the sender's address
    bool devicePort;
    bool answered;
};

class UpdateAnswerSender : public ExchangeTest, public ::testing::WithParamInterface<UpdateAnswerCase> {};

TEST_P(UpdateAnswerSender, IsTheDeviceAtItsOldOrNewAddress)
{
    const UpdateAnswerCase& c = GetParam();
    QUdpSocket sender;
    // Windows lets a second socket take the device's port (on another loopback address) only when shared.
    ASSERT_TRUE(sender.bind(QHostAddress(QString::fromLatin1(c.answerAt)), c.devicePort ? device.port() : 0,
                            QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
    device.setHandler([&](const FakeDevice::Received& r) {
        if (r.bytes.startsWith("U "))
            sender.writeDatagram("AU MAC OK", r.from, r.port);
        return r.bytes.startsWith("G ") ? QList<QByteArray>{kOwn} : QList<QByteArray>{};
    });
    const lv::DevicePeer peer{QHostAddress(QHostAddress::LocalHost).toIPv4Address(), device.port()};
    const lv::DeviceRef asked{"AX 0.80.194.1.2.3/10.0.0.7/D\r", 0, peer};
    ASSERT_TRUE(lv::requestConfiguration(channel, asked, "", 400).valid());
    lv::UpdatePlan plan;
    plan.setCommand = "S 00:50:C2:01:02:03/10.0.0.7//<DeviceID>x</DeviceID>";
    plan.updateCommand = "U 00:50:C2:01:02:03/10.0.0.7/";
    plan.newIp = lv::Ipv4::fromText(c.newIp);
    const lv::UpdateResult update = lv::runUpdate(channel, asked, plan, 300);
    EXPECT_EQ(update.outcome, c.answered ? lv::UpdateResult::Outcome::Answered : lv::UpdateResult::Outcome::NoAnswer);
    EXPECT_EQ(update.strangers, c.answered ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateAnswerSender,
    ::testing::Values(UpdateAnswerCase{"AnotherPort", "", "127.0.0.1", false, false},
                      UpdateAnswerCase{"TheNewAddress", "127.0.0.2", "127.0.0.2", true, true},
                      UpdateAnswerCase{"NewAddressAnotherPort", "127.0.0.2", "127.0.0.2", false, false},
                      UpdateAnswerCase{"AnAddressNoUpdateGave", "127.0.0.3", "127.0.0.2", true, false}),
    [](const auto& p) { return std::string(p.param.name); });

// A MAC change counts only the device's own answer about itself: one from another host, or one whose
// "Old MAC" names another device, is set aside and the wait goes on.
struct MacAnswerCase {
    const char* name;
    QByteArray fromStranger;
    QByteArray fromDevice;
    lv::MacChangeResult::Outcome outcome;
    int setAside;
};

class MacChangeAnswer : public ExchangeTest, public ::testing::WithParamInterface<MacAnswerCase> {};

TEST_P(MacChangeAnswer, IsTheAskedDevicesOwn)
{
    const MacAnswerCase& c = GetParam();
    QUdpSocket stranger;
    device.setHandler([&](const FakeDevice::Received& r) {
        if (!c.fromStranger.isEmpty())
            stranger.writeDatagram(c.fromStranger, r.from, r.port);
        return c.fromDevice.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{c.fromDevice};
    });
    const lv::DevicePeer peer{QHostAddress(QHostAddress::LocalHost).toIPv4Address(), device.port()};
    lv::MacChangeExchange exchange(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r", 0, peer}, "0.80.194.1.2.4", "code", 300);
    const lv::MacChangeResult result = lv::runExchange(exchange);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(exchange.setAside(), c.setAside);
}

const QByteArray kChanged = "AM Old MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r";

INSTANTIATE_TEST_SUITE_P(
    Cases, MacChangeAnswer,
    ::testing::Values(MacAnswerCase{"OwnAnswer", {}, kChanged, lv::MacChangeResult::Outcome::Changed, 0},
                      MacAnswerCase{"AnotherHostFirst", "AM Old MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.3\r",
                                    kChanged, lv::MacChangeResult::Outcome::Changed, 1},
                      MacAnswerCase{"OnlyAnotherHost", kChanged, {}, lv::MacChangeResult::Outcome::NoAnswer, 1},
                      MacAnswerCase{"JunkFromAnotherHostFirst", "A junk", kChanged,
                                    lv::MacChangeResult::Outcome::Changed, 1},
                      MacAnswerCase{"AboutAnotherDevice",
                                    {},
                                    "AM Old MAC: 0.80.194.0.0.9\r\nNew MAC: 0.80.194.1.2.4\r",
                                    lv::MacChangeResult::Outcome::NoAnswer,
                                    1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ExchangeTest, LateAnswerOfEarlierDeviceIsNeverTakenForTheNextReply)
{
    // Device .5 answers 1300 ms after its request, long after the request timed
    // out; device .6 answers 600 ms after its own. The late answer arrives in
    // the middle of the second request's wait.
    device.setHandler([&](const FakeDevice::Received& r) {
        const bool first = r.bytes.contains("/10.0.0.5/");
        const QByteArray answer =
            first ? reply("KR-770A") : reply("NDQ-770", "<MacAddress>00-50-C2-01-02-04</MacAddress> MAC");
        QTimer::singleShot(first ? 1300 : 600, [this, r, answer] { device.answer(r, answer); });
        return QList<QByteArray>{};
    });
    const lv::ConfigRequestResult a = lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.5/A\r"}, "");
    EXPECT_EQ(a.outcome, lv::ConfigRequest::Outcome::NoAnswer);
    const lv::ConfigRequestResult b = lv::requestConfiguration(channel, {"AX 0.80.194.1.2.4/10.0.0.6/B\r"}, "");
    ASSERT_TRUE(b.valid());
    EXPECT_EQ(b.modelVersion.model, "NDQ-770");
    EXPECT_EQ(b.dispatch.window, "frmSetupNDQ770");
    EXPECT_EQ(b.reply.find("KR-770A"), std::string::npos);
}

double cpuSeconds()
{
#if defined(_WIN32)
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<quint64>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7; // in units of 100 ns
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

TEST_F(ExchangeTest, WaitingForASilentDeviceCostsNoCpu)
{
    const double before = cpuSeconds();
    QElapsedTimer t;
    t.start();
    const lv::ConfigRequestResult result = lv::requestConfiguration(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "");
    const double cpu = cpuSeconds() - before;
    EXPECT_EQ(result.outcome, lv::ConfigRequest::Outcome::NoAnswer);
    EXPECT_GE(t.elapsed(), 950);
    // A spinning wait would burn the whole second.
    EXPECT_LT(cpu, 0.1) << "CPU seconds across a 1 s wait: " << cpu;
    std::printf("CPU time across a 1 s request to a silent device: %.4f s (wall %lld ms)\n", cpu,
                static_cast<long long>(t.elapsed()));
}

TEST_F(ExchangeTest, UpdateSendsSetThenDelayedUpdateCommandsAndWaitsForMac)
{
    device.setHandler([](const FakeDevice::Received& r) {
        return r.bytes.startsWith("U ") ? QList<QByteArray>{"AU MAC"} : QList<QByteArray>{};
    });
    lv::UpdateExchange update(channel, {}, lv::UpdatePlan{"S m/i/p/<DeviceID>x</DeviceID>", "U m/i/p", 3, 500});
    update.start();
    // The delay's timer fires at once, as a platform's may fire early: "U " still waits out the delay.
    auto* timer = update.findChild<QTimer*>();
    QTimerEvent early(timer->timerId());
    QCoreApplication::sendEvent(timer, &early);
    LV_WAIT_TRUE(update.isFinished(), 5000);
    EXPECT_EQ(update.result().outcome, lv::UpdateResult::Outcome::Answered);
    const auto& got = device.received();
    ASSERT_GE(got.size(), 4);
    EXPECT_EQ(got[0].bytes, "S m/i/p/<DeviceID>x</DeviceID>");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(got[i].bytes, "U m/i/p");
    EXPECT_GE(got[1].atMs - got[0].atMs, 450);
    EXPECT_EQ(got.size(), 4);
}

TEST_F(ExchangeTest, UpdateToSilentDeviceEndsWithinTheBound)
{
    lv::UpdateExchange update(channel, {}, lv::UpdatePlan{"S m/i/p", "U m/i/p", 1, 200});
    update.start();
    // Its own timers end it; the wait is a guard of ten times the delay and the bound.
    LV_WAIT_TRUE(update.isFinished(), 10 * (200 + lv::kAnswerTimeoutMs));
    EXPECT_EQ(update.result().outcome, lv::UpdateResult::Outcome::NoAnswer);
}

// The exchanges as objects: each runs on the event loop and ends with its typed outcome, so several
// run at once (as a fleet runs them) and none holds up the others.
TEST_F(ExchangeTest, ExchangeObjectsRunAtOnceAndEachEndsWithItsOutcome)
{
    device.setHandler([](const FakeDevice::Received& r) {
        if (r.bytes.startsWith("G 0.80.194.1.2.3/"))
            return QList<QByteArray>{reply("KR-770A")};
        if (r.bytes.startsWith("G 0.80.194.1.2.4/"))
            return QList<QByteArray>{"XG MAC <MacAddress>00-50-C2-01-02-04</MacAddress> MODEL: KR-770A"};
        return QList<QByteArray>{};
    });
    lv::CommandChannel second{state};
    lv::CommandChannel third{state};
    lv::ConfigRequest answered(channel, {"AX 0.80.194.1.2.3/10.0.0.7/D\r"}, "", 400);
    lv::ConfigRequest notAReply(second, {"AX 0.80.194.1.2.4/10.0.0.8/D\r"}, "", 400);
    lv::ConfigRequest silent(third, {"AX 0.80.194.1.2.5/10.0.0.9/D\r"}, "", 400);
    lv::ConfigRequest notADevice(third, {"AY 0.80.194.1.2.5/10.0.0.9/D"}, "", 400);
    for (lv::ConfigRequest* r : {&answered, &notAReply, &silent})
        r->start();
    notADevice.start();
    EXPECT_TRUE(notADevice.isFinished()) << "nothing to send: it ends at once";
    // start() returns at once: none waited for its reply before the next one was sent.
    EXPECT_FALSE(answered.isFinished() || notAReply.isFinished() || silent.isFinished());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered.isFinished() && notAReply.isFinished() && silent.isFinished(); },
                                10 * 400));
    EXPECT_EQ(answered.result().outcome, lv::ConfigRequest::Outcome::Answered);
    EXPECT_EQ(answered.result().dispatch.window, "frmSetupKr770A");
    // A datagram that does not start with "A" is never taken as the reply.
    EXPECT_EQ(notAReply.result().outcome, lv::ConfigRequest::Outcome::NoAnswer);
    EXPECT_FALSE(notAReply.result().valid());
    EXPECT_EQ(silent.result().outcome, lv::ConfigRequest::Outcome::NoAnswer);
    EXPECT_EQ(notADevice.result().outcome, lv::ConfigRequest::Outcome::NotADevice);

    // An Update too large for a datagram sends nothing at all.
    const auto before = device.received().size();
    lv::UpdateExchange tooLarge(channel, {}, lv::UpdatePlan{"S " + std::string(70000, 'x'), "U m/i/p", 1, 10});
    tooLarge.start();
    EXPECT_TRUE(tooLarge.isFinished());
    EXPECT_EQ(tooLarge.result().outcome, lv::UpdateExchange::Outcome::TooLarge);
    EXPECT_FALSE(tooLarge.result().setSent());
    LV_EXPECT_NEVER(device.received().size() != before, 30);
}

// abort() ends every exchange at once with Aborted: finished() comes once, and nothing more goes out
// (the Update is cut in its delay, before any "U ").
using MakeExchange = std::function<std::unique_ptr<lv::Exchange>(lv::CommandChannel&, lv::DeviceSearch&)>;
struct AbortCase {
    const char* name;
    MakeExchange make;
    int outcome;                           // the Aborted outcome of its result type
    int (*outcomeOf)(const lv::Exchange&); // reads its result's outcome
};

void PrintTo(const AbortCase& c, std::ostream* os)
{
    *os << c.name;
}

const lv::DeviceRef kAsked{"AX 0.80.194.1.2.3/10.0.0.7/D\r"};
const lv::UpdatePlan kPlan{"S m/i/p", "U m/i/p", 1, 300};

template <typename E> int outcomeOf(const lv::Exchange& e)
{
    return static_cast<int>(static_cast<const E&>(e).result().outcome);
}

template <typename E> AbortCase abortCase(const char* name, MakeExchange make)
{
    return {name, std::move(make), static_cast<int>(E::Outcome::Aborted), &outcomeOf<E>};
}

class AbortEnds : public ExchangeTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortEnds, AtOnceWithNothingMoreSent)
{
    const AbortCase& c = GetParam();
    lv::DeviceSearch search(state);
    const std::unique_ptr<lv::Exchange> exchange = c.make(channel, search);
    int finished = 0;
    QObject::connect(exchange.get(), &lv::Exchange::finished, exchange.get(), [&] { ++finished; });
    exchange->start();
    ASSERT_FALSE(exchange->isFinished());
    LV_WAIT_EQ(device.received().size(), 1, 2000);
    exchange->abort();
    exchange->abort();
    EXPECT_TRUE(exchange->isFinished());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(c.outcomeOf(*exchange), c.outcome);
    LV_EXPECT_NEVER(device.received().size() > 1, 2 * kPlan.delayMs);
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, AbortEnds,
    ::testing::Values(abortCase<lv::SearchExchange>("Search",
                                                    [](lv::CommandChannel&, lv::DeviceSearch& s) {
                                                        return std::make_unique<lv::SearchExchange>(s,
                                                                                                    lv::SearchEnds{});
                                                    }),
                      abortCase<lv::ConfigRequest>("Request",
                                                   [](lv::CommandChannel& ch, lv::DeviceSearch&) {
                                                       return std::make_unique<lv::ConfigRequest>(ch, kAsked, "");
                                                   }),
                      abortCase<lv::UpdateExchange>("Update",
                                                    [](lv::CommandChannel& ch, lv::DeviceSearch&) {
                                                        return std::make_unique<lv::UpdateExchange>(ch, kAsked, kPlan);
                                                    }),
                      abortCase<lv::VerifyExchange>("Verify",
                                                    [](lv::CommandChannel& ch, lv::DeviceSearch&) {
                                                        return std::make_unique<lv::VerifyExchange>(
                                                            ch, kAsked, "", *lv::findWindow("frmSetup"), 1, kPlan);
                                                    }),
                      abortCase<lv::MacChangeExchange>("MacChange",
                                                       [](lv::CommandChannel& ch, lv::DeviceSearch&) {
                                                           return std::make_unique<lv::MacChangeExchange>(
                                                               ch, kAsked, "0.80.194.1.2.4", "code");
                                                       })),
    [](const auto& param) { return std::string(param.param.name); });

// ---- the MAC change: each change reads only the answers to its own command

QByteArray macAnswer(const char* oldField, const char* newField)
{
    return QByteArray("AM Old MAC: ") + oldField + "\r\nNew MAC: " + newField + "\r";
}

struct LateCase {
    const char* name;
    bool secondAnswered; // the device answers the second command (after the first's late answer came)
};

void PrintTo(const LateCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacChangeLate : public ::testing::TestWithParam<LateCase> {};

TEST_P(MacChangeLate, ALateAnswerOfAnEarlierChangeIsNotThisOnes)
{
    FakeDevice device;
    lv::SessionState state;
    state.broadcast = QHostAddress::LocalHost;
    state.gCmdPort = device.port();
    int commands = 0;
    device.setHandler([&](const FakeDevice::Received& r) {
        if (!r.bytes.startsWith("M "))
            return QList<QByteArray>{};
        if (++commands == 1) {
            // The first change is answered after its wait has ended, while the second one waits.
            QTimer::singleShot(250, [&device, r] { device.answer(r, macAnswer("0.80.194.1.2.3", "0.80.194.9.9.1")); });
        } else if (GetParam().secondAnswered) {
            QTimer::singleShot(400, [&device, r] { device.answer(r, macAnswer("0.80.194.1.2.3", "0.80.194.9.9.2")); });
        }
        return QList<QByteArray>{};
    });

    lv::CommandChannel channel(state);
    const lv::DeviceRef asked{"AX 0.80.194.1.2.3/10.0.0.7/D\r"};
    lv::MacChangeExchange firstChange(channel, asked, "0.80.194.9.9.1", "code", 100);
    const lv::MacChangeResult first = lv::runExchange(firstChange);
    ASSERT_TRUE(first.sent());
    EXPECT_FALSE(first.replied());
    lv::MacChangeExchange secondChange(channel, asked, "0.80.194.9.9.2", "code", 700);
    const lv::MacChangeResult second = lv::runExchange(secondChange);
    ASSERT_TRUE(second.sent());
    ASSERT_EQ(device.withPrefix("M ").size(), 2u);
    if (GetParam().secondAnswered) {
        EXPECT_TRUE(second.replied());
        EXPECT_EQ(second.newField, "0.80.194.9.9.2");
    } else {
        EXPECT_FALSE(second.replied()) << "took " << second.newField;
        EXPECT_TRUE(second.newField.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, MacChangeLate,
                         ::testing::Values(LateCase{"SecondUnanswered", false}, LateCase{"SecondAnswered", true}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
