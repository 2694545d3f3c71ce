// SPDX-License-Identifier: Apache-2.0
// The main window on a LAN where one device is broken or hostile, and under a flood of distinct
// answers: no hang, no window for a reply of another device, the two lists stay paired.

#include "mainwindowfixture.h"

#include "devicelist.h"
#include "modeltable.h"

#include <QFile>
#include <QTimer>

namespace {

QString macOf(const char* model)
{
    const auto& models = lv::simulatedModels();
    for (std::size_t i = 0; i < models.size(); ++i)
        if (models[i] == model)
            return QStringLiteral("00-50-C2-00-00-%1").arg(i + 1, 2, 16, QLatin1Char('0')).toUpper();
    return {};
}

struct HostileCase {
    const char* name;
    const char* fault;
    const char* opens; // the window that must open for the KR-770A device; empty: none
};

class HostileLan : public MainWindowFixture, public ::testing::WithParamInterface<HostileCase> {
protected:
    HostileLan() : MainWindowFixture({QStringLiteral("--fault"), QString::fromLatin1(GetParam().fault)}) {}
};

TEST_P(HostileLan, OpensOnlyTheAskedDevicesWindowWithinTheBound)
{
    const HostileCase& c = GetParam();
    searchFor();
    int row = -1;
    for (int r = 0; r < rows(); ++r)
        if (line(r).mid(6, 17) == macOf("KR-770A"))
            row = r;
    ASSERT_GE(row, 0);
    QString opened;
    lv::WindowHost::setObserver([&](QDialog* d) {
        opened = d->objectName();
        QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    });
    doubleClickRow(row);
    EXPECT_EQ(opened, QString::fromLatin1(c.opens));
    // Whatever came in meanwhile, every line is still the one its raw entry makes.
    for (int r = 0; r < rows(); ++r) {
        const auto reply = lv::parseSearchReply(latin1(raw(r)));
        ASSERT_TRUE(reply.has_value()) << r;
        EXPECT_EQ(latin1(line(r)), lv::deviceListLine(reply->macText, reply->ip, reply->deviceId)) << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileLan,
                         ::testing::Values(HostileCase{"JunkBeforeTheReply", "junk:60000@KR-770A", "frmSetupKr770A"},
                                           HostileCase{"MacInTheFirstDatagram", "mac-first:3@KR-770A",
                                                       "frmSetupKr770A"},
                                           HostileCase{"AnotherDeviceAnswersFirst", "hijack@NDQ-770", "frmSetupKr770A"},
                                           HostileCase{"RepliesInAnothersName", "impostor@KR-770A", ""},
                                           HostileCase{"LatePastTheTimeOut", "late@KR-770A", ""},
                                           HostileCase{"RepeatedAnswers", "repeat:3@*", "frmSetupKr770A"},
                                           HostileCase{"SameAnswerFromAnotherPort", "twin:same-answer@KR-770A", ""},
                                           HostileCase{"ReplyOutOfOrder", "reorder:3@KR-770A", ""}),
                         [](const auto& p) { return std::string(p.param.name); });

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& l : status.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasured = false; // the sanitizers' own memory and speed say nothing of the window's
#else
constexpr bool kMeasured = true;
#endif

class FloodedLan : public MainWindowFixture {
protected:
    FloodedLan()
        : MainWindowFixture({QStringLiteral("--devices"), QStringLiteral("100000"), QStringLiteral("--jitter"),
                             QStringLiteral("2000")})
    {
    }
};

// 100,000 distinct answers within 2 s: all listed, the event loop never stalls long, memory stays bounded.
TEST_F(FloodedLan, ListsAHundredThousandAnswersWithoutStalling)
{
    if (!kMeasured)
        GTEST_SKIP() << "a sanitizer build";
    ASSERT_TRUE(sim.started());
    QElapsedTimer gap;
    qint64 longestStallMs = 0;
    QTimer meter;
    meter.setTimerType(Qt::PreciseTimer);
    QObject::connect(&meter, &QTimer::timeout, &meter,
                     [&] { longestStallMs = std::max(longestStallMs, gap.restart() - 10); });
    gap.start();
    meter.start(10);
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows() >= 100000; }, 20000));
    meter.stop();
    const qint64 listedMs = t.elapsed();
    const long rssKb = residentKb();
    RecordProperty("listedMs", static_cast<int>(listedMs));
    RecordProperty("longestStallMs", static_cast<int>(longestStallMs));
    RecordProperty("residentKb", static_cast<int>(rssKb));
    std::printf("100000 answers: listed after %lld ms, longest stall %lld ms, resident %ld kB\n",
                static_cast<long long>(listedMs), static_cast<long long>(longestStallMs), rssKb);
    EXPECT_EQ(rows(), 100000);
    EXPECT_LT(rssKb, 150 * 1024);
}

} // namespace

namespace {

class HugeAnswer : public MainWindowFixture {
protected:
    HugeAnswer() : MainWindowFixture({QStringLiteral("--fault"), QStringLiteral("oversize-search:20000@KR-700")}) {}
};

// A search answer padded to 20,000 bytes is listed, cut in the list and kept whole in lstDev2.
TEST_F(HugeAnswer, IsListedCutAndKeptWhole)
{
    searchFor();
    int row = -1;
    for (int r = 0; r < rows(); ++r)
        if (line(r).mid(6, 17) == macOf("KR-700"))
            row = r;
    ASSERT_GE(row, 0);
    EXPECT_GE(raw(row).size(), 19000);
    EXPECT_EQ(line(row).size(), 512);
    EXPECT_TRUE(line(row).endsWith(QChar(0x2026)));
    EXPECT_TRUE(raw(row).startsWith(QStringLiteral("AX ")));
    EXPECT_LE(lstDev->model()->index(row, 0).data(Qt::SizeHintRole).toSize().width(), 20000);
}

} // namespace
