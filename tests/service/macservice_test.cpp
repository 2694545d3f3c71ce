// SPDX-License-Identifier: Apache-2.0
// The MAC service of the main window end to end against the simulated LAN: the
// shortcut, the access code, frmSetMAC and what the lists show afterwards.

#include "servicefixture.h"

#include "devsimprocess.h"
#include "fakedevice.h"
#include "macchange.h"
#include "waitfor.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>

#include <ostream>

namespace {

const QString kCode = QStringLiteral("QuartzmoonTEST");

class MacServiceTest : public ServiceFixture {
protected:
    MacServiceTest()
    {
        openWindow(QHostAddress(QStringLiteral("127.255.255.255")), sim.port());
        spy = std::make_unique<QSignalSpy>(&window->macService(), &lv::MacService::macChangeFinished);
    }

    // Lists the LAN and selects the first device (0.80.194.0.0.1).
    void searchAndSelectFirst()
    {
        ASSERT_TRUE(searchFor(21));
        selectRow(0);
        linesBefore = lines();
        rawsBefore = raws();
    }

    QList<QByteArray> macCommands() { return sim.waitForReceived("M ", 1, 0); }

    DevsimProcess sim;
    std::unique_ptr<QSignalSpy> spy;
    QStringList linesBefore;
    QStringList rawsBefore;
};

TEST_F(MacServiceTest, ShortcutAsksForTheCodeThenChangesTheSelectedDevice)
{
    searchAndSelectFirst();
    ASSERT_EQ(raw(0).left(18), QStringLiteral("AX 0.80.194.0.0.1/"));
    ModalWatcher prompt(QStringLiteral("frmMACPass"), [&](QWidget* w) { typeAndPress(w, "txtPass", kCode, "cmdOk"); });
    ModalWatcher setMac(QStringLiteral("frmSetMAC"), [&](QWidget* w) {
        EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblOldMac"))->text(), QStringLiteral("0.80.194.0.0.1"));
        typeAndPress(w, "txtNewMac", QStringLiteral("0.80.194.1.2.4"), "Enter");
    });
    pressServiceShortcut();
    EXPECT_TRUE(prompt.fired());
    EXPECT_TRUE(setMac.fired());
    EXPECT_EQ(state.gMacPass, kCode);

    const QList<QByteArray> sent = sim.waitForReceived("M ", 1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], QByteArray("M 0.80.194.0.0.1/0.80.194.1.2.4/QuartzmoonTEST"));

    // Characters 7-23 of the line and the MAC field of the entry follow; the rest stays.
    EXPECT_EQ(line(0).mid(6, 17), QStringLiteral("00-50-C2-01-02-04"));
    EXPECT_EQ(line(0).left(6), QStringLiteral("      "));
    EXPECT_EQ(line(0).mid(23), linesBefore[0].mid(23));
    EXPECT_EQ(raw(0), QStringLiteral("AX 0.80.194.1.2.4") + rawsBefore[0].mid(rawsBefore[0].indexOf(QLatin1Char('/'))));
    EXPECT_EQ(lines().mid(1), linesBefore.mid(1));
    EXPECT_EQ(raws().mid(1), rawsBefore.mid(1));
    ASSERT_EQ(spy->size(), 1);
    const auto result = qvariant_cast<lv::MacChangeResult>(spy->at(0).at(0));
    EXPECT_EQ(result.outcome, lv::MacChangeResult::Outcome::Changed);
    ASSERT_TRUE(result.newMac);
    EXPECT_EQ(result.newMac->text(), "00-50-C2-01-02-04");

    // A following double-click addresses the device by its new MAC, and it answers.
    int opened = 0;
    lv::WindowHost::setObserver([&](QDialog* dialog) {
        ++opened;
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    doubleClickRow(0);
    const QList<QByteArray> requests = sim.waitForReceived("G ", 1);
    ASSERT_EQ(requests.size(), 1);
    const QString ip = rawsBefore[0].section(QLatin1Char('/'), 1, 1);
    EXPECT_EQ(requests[0], QByteArray("G 0.80.194.1.2.4/") + ip.toLatin1() + QByteArray("/\0", 2));
    EXPECT_EQ(opened, 1);

    // The code stays accepted: the shortcut now opens the service directly.
    ModalWatcher promptAgain(
        QStringLiteral("frmMACPass"), [&](QWidget* w) { typeAndPress(w, "txtPass", {}, "cmdCancel"); }, 1000);
    ModalWatcher setMacAgain(QStringLiteral("frmSetMAC"), [&](QWidget* w) {
        EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblOldMac"))->text(), QStringLiteral("0.80.194.1.2.4"));
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    });
    pressServiceShortcut();
    EXPECT_TRUE(setMacAgain.fired());
    EXPECT_FALSE(promptAgain.fired());

    // The next search lists the device under its new address.
    ASSERT_TRUE(searchFor(21));
    EXPECT_EQ(rows(), 21);
    EXPECT_EQ(lines().filter(QStringLiteral("00-50-C2-01-02-04")).size(), 1);
    EXPECT_EQ(lines().filter(QStringLiteral("00-50-C2-00-00-01")).size(), 0);
}

class AccessCodeTest : public MacServiceTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AccessCodeTest, AnyOtherTextGivesMacPasswordErrorAndOpensNothing)
{
    searchAndSelectFirst();
    ModalWatcher prompt(QStringLiteral("frmMACPass"),
                        [&](QWidget* w) { typeAndPress(w, "txtPass", QString::fromLatin1(GetParam()), "cmdOk"); });
    ModalWatcher setMac(
        QStringLiteral("frmSetMAC"),
        [&](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton); },
        1000);
    pressServiceShortcut();
    EXPECT_TRUE(prompt.fired());
    EXPECT_FALSE(setMac.fired());
    const QList<lv::Dialogs::Shown>& shown = lv::Dialogs::shownMessages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("MAC Password Error"));
    EXPECT_EQ(shown[0].title, QStringLiteral("MsgBox"));

    // OpenSetMac on its own refuses as well.
    window->macService().OpenSetMac();
    EXPECT_EQ(lv::Dialogs::shownMessages().size(), 2);
    LV_EXPECT_NEVER(!macCommands().isEmpty(), 100);
    EXPECT_EQ(lines(), linesBefore);
    EXPECT_TRUE(spy->isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Codes, AccessCodeTest,
                         ::testing::Values("quartzmoontest", "QUARTZMOONTEST", "QuartzMoonTEST", "QuartzmoonTES",
                                           "QuartzmoonTEST ", ""));

TEST_F(MacServiceTest, CancelInThePromptOpensNothing)
{
    searchAndSelectFirst();
    ModalWatcher prompt(QStringLiteral("frmMACPass"),
                        [&](QWidget* w) { typeAndPress(w, "txtPass", kCode, "cmdCancel"); });
    pressServiceShortcut();
    EXPECT_TRUE(prompt.fired());
    EXPECT_TRUE(state.gMacPass.isEmpty());
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());
}

TEST_F(MacServiceTest, NoSelectedDeviceOpensNothing)
{
    ASSERT_TRUE(searchFor(21));
    state.gMacPass = kCode;
    ModalWatcher setMac(
        QStringLiteral("frmSetMAC"),
        [&](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton); },
        500);
    window->macService().OpenSetMac();
    EXPECT_FALSE(setMac.fired());
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());
}

TEST_F(MacServiceTest, CancelSendsNothing)
{
    searchAndSelectFirst();
    state.gMacPass = kCode;
    ModalWatcher setMac(QStringLiteral("frmSetMAC"), [&](QWidget* w) {
        typeAndPress(w, "txtNewMac", QStringLiteral("0.80.194.1.2.4"), "cmdCancel");
    });
    window->macService().OpenSetMac();
    EXPECT_TRUE(setMac.fired());
    LV_EXPECT_NEVER(!macCommands().isEmpty(), 300);
    EXPECT_EQ(lines(), linesBefore);
    EXPECT_EQ(raws(), rawsBefore);
    EXPECT_TRUE(spy->isEmpty());
}

TEST_F(MacServiceTest, MalformedAddressesAreRefusedBeforeSending)
{
    searchAndSelectFirst();
    state.gMacPass = kCode;
    ModalWatcher setMac(QStringLiteral("frmSetMAC"), [&](QWidget* w) {
        auto* entry = w->findChild<QLineEdit*>(QStringLiteral("txtNewMac"));
        auto* hint = w->findChild<QLabel*>(QStringLiteral("lblNewMacHint"));
        for (const QString& text : {QStringLiteral("0.80.194.1.2"), QStringLiteral("0.80.194.1.2.256")}) {
            entry->clear();
            typeAndPress(w, "txtNewMac", text, "cmdOk");
            EXPECT_TRUE(w->isVisible()) << lv::toLatin1(text);
            EXPECT_EQ(entry->text(), text);
            EXPECT_FALSE(hint->text().isEmpty()) << lv::toLatin1(text);
        }
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    });
    window->macService().OpenSetMac();
    EXPECT_TRUE(setMac.fired());
    LV_EXPECT_NEVER(!macCommands().isEmpty(), 200);
    EXPECT_EQ(lines(), linesBefore);
}

TEST_F(MacServiceTest, NoAnswerClosesAfterItsBoundWithListsUnchanged)
{
    searchAndSelectFirst();
    state.gMacPass = kCode;
    // The device does not answer the change (the dialog itself refuses an address another listed
    // device holds, so a free one is sent).
    ASSERT_TRUE(sim.addFault("mac-silent"));
    QElapsedTimer t;
    qint64 waited = 0;
    ModalWatcher setMac(QStringLiteral("frmSetMAC"), [&](QWidget* w) {
        t.start();
        typeAndPress(w, "txtNewMac", QStringLiteral("0.80.194.0.0.99"), "cmdOk");
        waited = t.elapsed();
        EXPECT_FALSE(w->isVisible());
    });
    window->macService().OpenSetMac();
    ASSERT_TRUE(setMac.fired());
    EXPECT_GE(waited, 950);
    // A guard of ten times the bound, which fails rather than hangs; speed is for the benchmarks.
    EXPECT_LT(waited, 10 * 1000);
    EXPECT_EQ(sim.waitForReceived("M ", 1).size(), 1);
    EXPECT_EQ(lines(), linesBefore);
    EXPECT_EQ(raws(), rawsBefore);
    ASSERT_EQ(spy->size(), 1);
    const auto result = qvariant_cast<lv::MacChangeResult>(spy->at(0).at(0));
    EXPECT_EQ(result.outcome, lv::MacChangeResult::Outcome::NoAnswer);
    EXPECT_FALSE(result.newMac);
}

} // namespace

// What the status bar says after a MAC change names the device the command went to, whatever the
// device did and whichever device was opened before.
struct StatusCase {
    const char* name;
    const char* fault; // devsim's fault rule for every device, or empty
    const char* says;  // %1: the device's MAC text before the change, %2: the new one
};

void PrintTo(const StatusCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacStatusTest : public ServiceFixture, public ::testing::WithParamInterface<StatusCase> {
protected:
    MacStatusTest()
        : sim(*GetParam().fault ? QStringList{QStringLiteral("--fault"), QString::fromLatin1(GetParam().fault)}
                                : QStringList{})
    {
        openWindow(QHostAddress(QStringLiteral("127.255.255.255")), sim.port());
    }

    // Gives the device at `row` the address `newField` through the service; the status text after it.
    QString changeDevice(int row, const QString& newField)
    {
        selectRow(row);
        ModalWatcher prompt(
            QStringLiteral("frmMACPass"), [&](QWidget* w) { typeAndPress(w, "txtPass", kCode, "cmdOk"); }, 1000);
        ModalWatcher setMac(QStringLiteral("frmSetMAC"),
                            [&](QWidget* w) { typeAndPress(w, "txtNewMac", newField, "Enter"); });
        pressServiceShortcut();
        EXPECT_TRUE(setMac.fired());
        return window->statusBar()->currentMessage();
    }

    QString expected(int row, const char* newText) const
    {
        return QString::fromUtf8(GetParam().says).arg(line(row).mid(6, 17), QString::fromLatin1(newText));
    }

    DevsimProcess sim;
};

TEST_P(MacStatusTest, NamesTheDeviceTheChangeWentTo)
{
    ASSERT_TRUE(searchFor(21));
    // Right after the search, with no device opened yet.
    QString says = expected(0, "00-50-C2-01-02-04");
    EXPECT_EQ(changeDevice(0, QStringLiteral("0.80.194.1.2.4")), says);

    // After another device was opened: the one whose line was selected for the change.
    lv::WindowHost::setObserver([](QDialog* d) { QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection); });
    doubleClickRow(1);
    lv::WindowHost::setObserver({});
    ASSERT_EQ(QString::fromStdString(window->lastAnswered()->device.macText), line(1).mid(6, 17));
    says = expected(2, "00-50-C2-01-02-05");
    EXPECT_EQ(changeDevice(2, QStringLiteral("0.80.194.1.2.5")), says);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, MacStatusTest,
    ::testing::Values(StatusCase{"WellBehaved", "", "%1: MAC changed to %2"},
                      StatusCase{"Silent", "mac-silent", "%1 gave no answer to the MAC change"},
                      StatusCase{"Malformed", "mac-malformed:bad-value",
                                 "%1 answered the MAC change with no readable address; search again to see it"}),
    [](const ::testing::TestParamInfo<StatusCase>& tp) { return std::string(tp.param.name); });

namespace {

// Two changes of one selected device in a row: the second names the address the first gave.

struct ChainCase {
    const char* name;
    bool byShortcut; // the second change is opened by the shortcut, else by OpenSetMac itself
};

void PrintTo(const ChainCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacChainTest : public MacServiceTest, public ::testing::WithParamInterface<ChainCase> {
protected:
    void changeTo(const QString& newField, bool byShortcut)
    {
        ModalWatcher setMac(QStringLiteral("frmSetMAC"),
                            [&](QWidget* w) { typeAndPress(w, "txtNewMac", newField, "cmdOk"); });
        if (byShortcut)
            pressServiceShortcut();
        else
            window->macService().OpenSetMac();
        EXPECT_TRUE(setMac.fired());
    }
};

TEST_P(MacChainTest, TheSecondChangeNamesTheNewAddress)
{
    searchAndSelectFirst();
    ASSERT_EQ(raw(0).left(18), QStringLiteral("AX 0.80.194.0.0.1/"));
    state.gMacPass = kCode;

    changeTo(QStringLiteral("0.80.194.1.2.4"), false);
    ASSERT_EQ(line(0).mid(6, 17), QStringLiteral("00-50-C2-01-02-04"));
    changeTo(QStringLiteral("0.80.194.1.2.5"), GetParam().byShortcut);

    const QList<QByteArray> sent = sim.waitForReceived("M ", 2);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0], QByteArray("M 0.80.194.0.0.1/0.80.194.1.2.4/QuartzmoonTEST"));
    EXPECT_EQ(sent[1], QByteArray("M 0.80.194.1.2.4/0.80.194.1.2.5/QuartzmoonTEST"));
    EXPECT_EQ(line(0).mid(6, 17), QStringLiteral("00-50-C2-01-02-05"));
    EXPECT_TRUE(raw(0).startsWith(QStringLiteral("AX 0.80.194.1.2.5/"))) << raw(0).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Openings, MacChainTest,
                         ::testing::Values(ChainCase{"ByShortcut", true}, ChainCase{"ByOpenSetMac", false}),
                         [](const auto& p) { return std::string(p.param.name); });

// The list changes while the device takes its time to answer: only the asked device's entry is rewritten.

struct MovedCase {
    const char* name;
    QList<QByteArray> second; // what the search started during the wait lists
};

void PrintTo(const MovedCase& c, std::ostream* os)
{
    *os << c.name;
}

class MacListMovedTest : public ServiceFixture, public ::testing::WithParamInterface<MovedCase> {};

TEST_P(MacListMovedTest, OnlyTheAskedDevicesEntryIsRewritten)
{
    const QByteArray a = "AX 0.80.194.0.3.1/10.3.0.1/Asked\r";
    const QByteArray b = "AX 0.80.194.0.3.2/10.3.0.2/Other\r";
    QList<QByteArray> answers{a, b};
    FakeDevice device;
    device.setHandler([&](const FakeDevice::Received& r) -> QList<QByteArray> {
        if (r.bytes.startsWith("X "))
            return answers;
        if (r.bytes.startsWith("M "))
            QTimer::singleShot(
                300, [&device, r] { device.answer(r, "AM Old MAC: 0.80.194.0.3.1\r\nNew MAC: 0.80.194.1.2.4\r"); });
        return {};
    });
    openWindow(QHostAddress::LocalHost, device.port());
    ASSERT_TRUE(searchFor(2));
    selectRow(0);
    state.gMacPass = kCode;

    // While the change waits for its answer, a new search lists other entries.
    ModalWatcher setMac(QStringLiteral("frmSetMAC"), [&](QWidget* w) {
        answers = GetParam().second;
        QTimer::singleShot(100, window.get(),
                           [this] { window->findChild<QPushButton*>(QStringLiteral("cmdSearch"))->click(); });
        typeAndPress(w, "txtNewMac", QStringLiteral("0.80.194.1.2.4"), "cmdOk");
    });
    window->macService().OpenSetMac();
    ASSERT_TRUE(setMac.fired());
    ASSERT_EQ(device.withPrefix("M ").size(), 1u);
    EXPECT_EQ(device.withPrefix("M ")[0], QByteArray("M 0.80.194.0.3.1/0.80.194.1.2.4/QuartzmoonTEST"));
    QStringList expected;
    for (const QByteArray& entry : GetParam().second)
        expected << QString::fromLatin1(entry);
    LV_WAIT_EQ(raws(), expected, 3000);
    EXPECT_TRUE(lines().filter(QStringLiteral("00-50-C2-01-02-04")).isEmpty()) << lines().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Lists, MacListMovedTest,
                         ::testing::Values(MovedCase{"OtherDeviceFirst",
                                                     {"AX 0.80.194.0.3.2/10.3.0.2/Other\r",
                                                      "AX 0.80.194.0.3.1/10.3.0.1/Asked\r"}},
                                           MovedCase{"AskedDeviceGone", {"AX 0.80.194.0.3.2/10.3.0.2/Other\r"}}),
                         [](const auto& p) { return std::string(p.param.name); });

// The MAC change of a device that only the second card sees leaves by that card. Skipped unless
// LINKVANE_REACH_MAC names such a device (its MAC text), LINKVANE_REACH_DEVICES how many devices
// both cards see together, and the command port is the default.
TEST_F(ServiceFixture, MacChangeReachesADeviceBehindTheSecondCard)
{
    const QString far = qEnvironmentVariable("LINKVANE_REACH_MAC");
    if (far.isEmpty())
        GTEST_SKIP() << "LINKVANE_REACH_MAC is not set: not inside the namespaces of reach.sh";
    openWindow(QHostAddress(QHostAddress::Broadcast), 65535);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    int row = -1;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (int r = 0; r < rows() && row < 0; ++r)
                if (line(r).mid(6, 17) == far)
                    row = r;
            return row >= 0;
        },
        3000));
    LV_WAIT_EQ(rows(), qEnvironmentVariableIntValue("LINKVANE_REACH_DEVICES"), 3000); // the rest of the answers
    ASSERT_GT(row, 0) << "the far device is listed first: the first card's devices did not answer";
    selectRow(row);
    state.gMacPass = kCode;
    const QString newText = far.left(12) + QStringLiteral("02") + far.mid(14);
    const QString newField = QString::fromStdString(lv::MacAddress::fromText(newText.toStdString())->field());
    ModalWatcher setMac(QStringLiteral("frmSetMAC"),
                        [&](QWidget* w) { typeAndPress(w, "txtNewMac", newField, "cmdOk"); });
    window->macService().OpenSetMac();
    ASSERT_TRUE(setMac.fired());
    EXPECT_EQ(line(row).mid(6, 17), newText) << "no answer through the first card";
}

} // namespace
