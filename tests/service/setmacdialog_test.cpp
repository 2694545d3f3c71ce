// SPDX-License-Identifier: Apache-2.0
// frmSetMAC against a scripted device on loopback: the command bytes, the
// answers it takes and the ones it leaves alone, the bounded wait, the typed
// address check, Cancel and Enter, and the layout in twips.

#include "../forms/formtestsupport.h"
#include "mnemonic.h"
#include "setmacdialog.h"
#include "waitfor.h"

#include "devicesearch.h"
#include "fakedevice.h"
#include "macchange.h"
#include "printers.h"
#include "typetext.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

namespace {

const QByteArray kProbe("X 99.130.83.99");
const QByteArray kFirstAnswer("AX 0.80.194.1.2.3/192.168.1.20/DEV1\r");
const QByteArray kSecondAnswer("AX 0.80.194.1.2.9/10.0.0.2/TWO\r");
const QByteArray kExampleReply("AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r");
const QByteArray kCommand("M 0.80.194.1.2.3/0.80.194.1.2.4/QuartzmoonTEST");

QList<QByteArray> commandsReceived(const FakeDevice& device)
{
    QList<QByteArray> out;
    for (const FakeDevice::Received& r : device.received())
        if (r.bytes.startsWith("M "))
            out << r.bytes;
    return out;
}

class SetMacDialogTest : public ::testing::Test {
protected:
    SetMacDialogTest()
    {
        state.broadcast = QHostAddress::LocalHost;
        state.gCmdPort = device.port();
        state.gMacPass = QStringLiteral("QuartzmoonTEST");
        device.setHandler([this](const FakeDevice::Received& r) -> QList<QByteArray> {
            if (r.bytes == kProbe) {
                probe = r;
                return {kFirstAnswer, kSecondAnswer};
            }
            if (r.bytes.startsWith("M "))
                return answers;
            return {};
        });
        search.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return search.devices().size() == 2; }, 3000));
        linesBefore = {search.devices().line(0), search.devices().line(1)};
        const std::optional<lv::DeviceRef> first = search.deviceAt(0);
        EXPECT_TRUE(first && first->macField == "0.80.194.1.2.3");
        dialog = std::make_unique<lv::SetMacDialog>(state, search, first.value_or(lv::DeviceRef{}));
        dialog->show();
        txtNewMac = dialog->findChild<QLineEdit*>(QStringLiteral("txtNewMac"));
        hint = dialog->findChild<QLabel*>(QStringLiteral("lblNewMacHint"));
    }

    void press(const char* button)
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    bool listsUnchanged() const
    {
        return search.devices().raw(0) == kFirstAnswer.toStdString() &&
               search.devices().raw(1) == kSecondAnswer.toStdString() && search.devices().line(0) == linesBefore[0] &&
               search.devices().line(1) == linesBefore[1];
    }

    FakeDevice device;
    std::optional<FakeDevice::Received> probe;
    QList<QByteArray> answers;
    lv::SessionState state;
    lv::DeviceSearch search{state};
    std::vector<std::string> linesBefore;
    std::unique_ptr<lv::SetMacDialog> dialog;
    QLineEdit* txtNewMac = nullptr;
    QLabel* hint = nullptr;
};

TEST_F(SetMacDialogTest, ControlsLaidOutInTwips)
{
    const auto px = [](int twips) { return (twips + 7) / 15; };
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Set MAC Address"));
    EXPECT_EQ(dialog->size(), QSize(px(6705), px(2850)));
    const struct {
        const char* name;
        const char* text;
        int left, top, width, height;
        Qt::Key mnemonic = Qt::Key_unknown; // Alt+this key, underlined
    } controls[] = {
        {"Label2", "Old Address", 480, 600, 1104, 240},
        {"lblOldMac", "0.80.194.1.2.3", 1656, 480, 4452, 492},
        {"Label1", "New Address", 432, 1296, 1188, 240},
        {"txtNewMac", "", 1656, 1176, 4452, 492},
        {"lblNewMacHint", "", 432, 1716, 5676, 300},
        {"cmdOk", "Ok", 2328, 2064, 900, 330, Qt::Key_O},
        {"cmdCancel", "Cancel", 3744, 2064, 900, 330, Qt::Key_C},
    };
    for (const auto& c : controls) {
        auto* widget = dialog->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), QRect(px(c.left), px(c.top), px(c.width), px(c.height))) << c.name;
        const QString text = widget->property("text").toString();
        EXPECT_EQ(lv::shownCaption(text), QString::fromLatin1(c.text)) << c.name;
        EXPECT_EQ(QKeySequence::mnemonic(text),
                  c.mnemonic == Qt::Key_unknown ? QKeySequence() : QKeySequence(Qt::ALT | c.mnemonic))
            << c.name;
        EXPECT_TRUE(lv::test::firstStemShown(widget)) << c.name;
    }
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("lblOldMac"))->font().pointSize(), 18);
    EXPECT_EQ(txtNewMac->font().pointSize(), 18);
}

struct AnswerCase {
    const char* name;
    QList<QByteArray> answers;
    bool replied;
    bool changed;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetMacAnswerTest : public SetMacDialogTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(SetMacAnswerTest, OkSendsOnceWaitsBoundedAndRewritesOnlyOnAChange)
{
    const AnswerCase& c = GetParam();
    answers = c.answers;
    QTest::keyClicks(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    QElapsedTimer t;
    t.start();
    press("cmdOk");
    const qint64 ms = t.elapsed();

    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(commandsReceived(device), QList<QByteArray>{kCommand});
    const lv::MacChangeResult& result = dialog->macChangeResult();
    EXPECT_TRUE(result.sent());
    EXPECT_EQ(result.replied(), c.replied);
    EXPECT_EQ(result.changed(), c.changed);
    if (!c.replied) {
        EXPECT_GE(ms, 950);
    }

    if (c.changed) {
        EXPECT_EQ(result.oldField, "0.80.194.1.2.3");
        EXPECT_EQ(result.newField, "0.80.194.1.2.4");
        ASSERT_TRUE(result.newMac);
        EXPECT_EQ(result.newMac->text(), "00-50-C2-01-02-04");
        const std::string& line = search.devices().line(0);
        EXPECT_EQ(line.substr(0, 23), std::string(6, ' ') + "00-50-C2-01-02-04");
        EXPECT_EQ(line.substr(23), linesBefore[0].substr(23));
        EXPECT_EQ(search.devices().raw(0), "AX 0.80.194.1.2.4/192.168.1.20/DEV1\r");
        EXPECT_EQ(search.devices().raw(1), kSecondAnswer.toStdString());
        EXPECT_EQ(search.devices().line(1), linesBefore[1]);
    } else {
        EXPECT_TRUE(listsUnchanged());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SetMacAnswerTest,
    ::testing::Values(
        AnswerCase{"Example", {kExampleReply}, true, true},
        AnswerCase{"NotAnAnswerThenExample",
                   {"BOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r", kExampleReply},
                   true,
                   true},
        AnswerCase{"SameValue", {"AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.3\r"}, true, false},
        AnswerCase{"NoOldMarker", {"ANew MAC: 0.80.194.1.2.4\r"}, true, false},
        AnswerCase{"NoNewMarker", {"AOld MAC: 0.80.194.1.2.3\r\n0.80.194.1.2.4\r"}, true, false},
        AnswerCase{"NoCarriageReturn", {"AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4"}, true, false},
        AnswerCase{"FiveNumbers", {"AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2\r"}, true, false},
        AnswerCase{"NumberAbove255", {"AOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.256\r"}, true, false},
        AnswerCase{"OnlyTheFirstAnswerCounts", {"A malformed", kExampleReply}, true, false},
        AnswerCase{
            "AnswerSplitInTwoIsNotJoined", {"AOld MAC: 0.80.194.1.2.3\r\n", "New MAC: 0.80.194.1.2.4\r"}, true, false},
        AnswerCase{"OnlyNotAnAnswer", {"BOld MAC: 0.80.194.1.2.3\r\nNew MAC: 0.80.194.1.2.4\r"}, false, false},
        AnswerCase{"Silent", {}, false, false}),
    [](const ::testing::TestParamInfo<AnswerCase>& tp) { return std::string(tp.param.name); });

TEST_F(SetMacDialogTest, RewrittenEntryStaysADuplicateForALateSearchAnswer)
{
    answers = {kExampleReply};
    QTest::keyClicks(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    press("cmdOk");
    ASSERT_TRUE(dialog->macChangeResult().changed());
    ASSERT_TRUE(probe);
    // The device now answers the search with its new MAC: already listed.
    device.answer(*probe, "AX 0.80.194.1.2.4/192.168.1.20/DEV1\r");
    // Its former answer is not, so it is listed again; it also marks when the
    // first datagram has surely been handled.
    device.answer(*probe, kFirstAnswer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.devices().size() == 3; }, 3000));
    LV_EXPECT_NEVER(search.devices().size() != 3u, 50);
    EXPECT_EQ(search.devices().raw(2), kFirstAnswer.toStdString());
}

TEST_F(SetMacDialogTest, EnterInTheEntrySends)
{
    answers = {kExampleReply};
    QTest::keyClicks(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    QTest::keyClick(txtNewMac, Qt::Key_Return);
    EXPECT_EQ(commandsReceived(device), QList<QByteArray>{kCommand});
    EXPECT_TRUE(dialog->macChangeResult().changed());
    EXPECT_FALSE(dialog->isVisible());
}

// The list shows the hyphenated text, so an operator may type that: it goes out as the field, the same
// command as the dotted form gives.
TEST_F(SetMacDialogTest, TheHyphenatedTextGoesOutAsTheField)
{
    answers = {kExampleReply};
    for (const QString& typed : {QStringLiteral("00-50-C2-01-02-04"), QStringLiteral("00-50-c2-1-2-4")}) {
        SCOPED_TRACE(typed.toStdString());
        const qsizetype before = commandsReceived(device).size();
        dialog->show();
        txtNewMac->clear();
        QTest::keyClicks(txtNewMac, typed);
        press("cmdOk");
        EXPECT_EQ(commandsReceived(device).mid(before), QList<QByteArray>{kCommand});
        EXPECT_TRUE(dialog->macChangeResult().changed());
    }
}

// During the bounded wait the dialog says what it waits for; afterwards the remark is gone.
TEST_F(SetMacDialogTest, SaysItWaitsForTheDevice)
{
    QString during;
    device.setHandler([&](const FakeDevice::Received&) -> QList<QByteArray> {
        during = hint->text();
        return {kExampleReply};
    });
    QTest::keyClicks(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    press("cmdOk");
    EXPECT_EQ(during, QStringLiteral("Waiting for the device…"));
    EXPECT_TRUE(hint->text().isEmpty());
}

// A screen reader names the entry and the old address by their captions, and reads the old address
// from its label's description.
TEST_F(SetMacDialogTest, EntriesAreNamedAndLabelled)
{
    const struct {
        const char* control;
        const char* name;
        const char* description;
    } cases[] = {{"txtNewMac", "New Address", ""}, {"lblOldMac", "Old Address", "0.80.194.1.2.3 (00-50-C2-01-02-03)"}};
    for (const auto& c : cases) {
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(dialog->findChild<QWidget*>(QString::fromLatin1(c.control)));
        ASSERT_NE(iface, nullptr) << c.control;
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromLatin1(c.name)) << c.control;
        EXPECT_EQ(iface->text(QAccessible::Description), QString::fromLatin1(c.description)) << c.control;
        const auto labels = iface->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << c.control;
        EXPECT_EQ(labels.front().first->text(QAccessible::Name), QString::fromLatin1(c.name)) << c.control;
    }
}

TEST_F(SetMacDialogTest, CancelSendsNothing)
{
    answers = {kExampleReply};
    QTest::keyClicks(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    press("cmdCancel");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    LV_EXPECT_NEVER(!commandsReceived(device).isEmpty(), 200);
    EXPECT_FALSE(dialog->macChangeResult().sent());
    EXPECT_TRUE(listsUnchanged());
}

struct RefusedCase {
    const char* name;
    const char* text;
    lv::NewMacProblem problem;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}

class RefusedAddressTest : public SetMacDialogTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedAddressTest, SaysWhatIsExpectedKeepsTheTextAndSendsNothing)
{
    answers = {kExampleReply};
    const QString typed = QString::fromUtf8(GetParam().text);
    typeText(txtNewMac, typed);
    press("cmdOk");
    QTest::keyClick(txtNewMac, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(txtNewMac->text(), typed);
    EXPECT_FALSE(hint->text().isEmpty());
    EXPECT_EQ(hint->text(), lv::SetMacDialog::problemText(GetParam().problem));
    LV_EXPECT_NEVER(!commandsReceived(device).isEmpty(), 150);
    EXPECT_TRUE(listsUnchanged());

    // Once corrected, the address goes out and the remark goes away.
    txtNewMac->clear();
    QTest::keyClicks(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    QTest::keyClick(txtNewMac, Qt::Key_Return);
    EXPECT_EQ(commandsReceived(device), QList<QByteArray>{kCommand});
    EXPECT_TRUE(hint->text().isEmpty());
}

using P = lv::NewMacProblem;

INSTANTIATE_TEST_SUITE_P(Typed, RefusedAddressTest,
                         ::testing::Values(RefusedCase{"FiveNumbers", "0.80.194.1.2", P::Form},
                                           RefusedCase{"NumberAbove255", "0.80.194.1.2.256", P::Form},
                                           RefusedCase{"Empty", "", P::Form},
                                           RefusedCase{"HyphenatedFiveBytes", "00-50-C2-01-02", P::Form},
                                           RefusedCase{"HyphenatedGroup", "01-50-C2-01-02-04", P::Group},
                                           RefusedCase{"ColonSeparated", "00:50:C2:01:02:04", P::Form},
                                           RefusedCase{"NotLatin1", "0.80.194.1.2.\u0664", P::Form},
                                           RefusedCase{"AllZero", "0.0.0.0.0.0", P::AllZero},
                                           RefusedCase{"Broadcast", "255.255.255.255.255.255", P::Broadcast},
                                           RefusedCase{"GroupAddress", "1.80.194.1.2.4", P::Group}),
                         [](const ::testing::TestParamInfo<RefusedCase>& tp) { return std::string(tp.param.name); });

// An address another listed device has, however it is written, is refused in the dialog: two devices
// with one MAC could no longer be told apart. Nothing is sent.
struct TakenCase {
    const char* name;
    const char* text;
};

void PrintTo(const TakenCase& c, std::ostream* os)
{
    *os << c.name;
}

class TakenAddressTest : public SetMacDialogTest, public ::testing::WithParamInterface<TakenCase> {};

TEST_P(TakenAddressTest, AddressOfAnotherListedDeviceIsRefused)
{
    answers = {kExampleReply};
    typeText(txtNewMac, QString::fromLatin1(GetParam().text));
    press("cmdOk");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(hint->text(), QStringLiteral("00-50-C2-01-02-09 is already the address of another listed device"));
    LV_EXPECT_NEVER(!commandsReceived(device).isEmpty(), 150);
    EXPECT_FALSE(dialog->macChangeResult().sent());
    EXPECT_TRUE(listsUnchanged());
}

INSTANTIATE_TEST_SUITE_P(Written, TakenAddressTest,
                         ::testing::Values(TakenCase{"AsTheField", "0.80.194.1.2.9"},
                                           TakenCase{"WithLeadingZeros", "000.080.194.001.002.009"},
                                           TakenCase{"Hyphenated", "00-50-C2-01-02-09"}),
                         [](const ::testing::TestParamInfo<TakenCase>& tp) { return std::string(tp.param.name); });

TEST_F(SetMacDialogTest, AnAddressNoListedDeviceHasGoesOut)
{
    answers = {kExampleReply};
    // The next address along is nobody's: it goes out.
    typeText(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    press("cmdOk");
    EXPECT_EQ(commandsReceived(device), QList<QByteArray>{kCommand});
}

TEST_F(SetMacDialogTest, AccessCodeLatin1CannotHoldIsRefusedNotAltered)
{
    answers = {kExampleReply};
    // U+0141 would leave as "?".
    state.gMacPass = QStringLiteral("Quartzmoon\u0141EST");
    typeText(txtNewMac, QStringLiteral("0.80.194.1.2.4"));
    press("cmdOk");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(hint->text(), lv::SetMacDialog::accessCodeText());
    LV_EXPECT_NEVER(!commandsReceived(device).isEmpty(), 150);
    EXPECT_TRUE(listsUnchanged());

    // The last character of Latin-1 is sent as its byte.
    state.gMacPass = QStringLiteral("Quartzmoon\u00FFEST");
    press("cmdOk");
    EXPECT_EQ(commandsReceived(device), QList<QByteArray>{QByteArray("M 0.80.194.1.2.3/0.80.194.1.2.4/Quartzmoon\xFF"
                                                                     "EST")});
}

} // namespace
