// SPDX-License-Identifier: Apache-2.0
// One configuration change end to end through the main window: search, open a
// device, edit its window, Update, and the device list follows; the simulator
// shows what arrived on the wire.

#include "mainwindowfixture.h"

#include "devicelist.h"
#include "singleportwindow.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class UpdateFlowTest : public MainWindowFixture {
protected:
    explicit UpdateFlowTest(const QStringList& simArgs = {}) : MainWindowFixture(simArgs) { searchFor(); }

    static void choose(QWidget* w, const char* name, int index)
    {
        auto* combo = w->findChild<QComboBox*>(QString::fromLatin1(name));
        ASSERT_NE(combo, nullptr) << name;
        combo->setCurrentIndex(index);
    }

    static void click(QWidget* w, const char* name)
    {
        QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    QList<QByteArray> receivedSince(int before) { return sim.received().mid(before); }
};

// Per window family: the edit, and the items the set command must carry.
struct FamilyCase {
    const char* model;
    const char* window;
    int updateCount;
    const char* headerExtra; // after the password
};

class UpdateFamilyTest : public UpdateFlowTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(UpdateFamilyTest, UpdateSendsChangedItemsAndRewritesTheLine)
{
    const FamilyCase& c = GetParam();
    const int row = rowOfModel(QString::fromLatin1(c.model));
    ASSERT_GE(row, 0) << c.model;
    const QString lineBefore = line(row);
    lv::LoadedValues loaded;
    const int before = sim.received().size();
    openAndEdit<lv::SinglePortWindow>(row, [&](lv::SinglePortWindow* w) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName(), QString::fromLatin1(c.window));
        loaded = w->loadedConfig();
        retype(w, "txtIP", QStringLiteral("10.9.8.7"));
        retype(w, "txtDeviceID", QStringLiteral("NEWNAME123"));
        // Edited last but sent before the device ID: items keep their fixed order.
        choose(w, "cmbDHCP", loaded["DHCPEnable"] == "1" ? 0 : 1);
        click(w, "cmdUpdate");
    });
    const std::string dhcp = loaded["DHCPEnable"] == "1" ? "0" : "1";
    // The simulator may still be logging the later "U " commands it received.
    EXPECT_TRUE(QTest::qWaitFor([&] { return receivedSince(before).count() >= 2 + c.updateCount; }, 2000));
    const QList<QByteArray> got = receivedSince(before);
    QList<QByteArray> sets, updates;
    for (const QByteArray& d : got) {
        if (d.startsWith("S "))
            sets << d;
        if (d.startsWith("U "))
            updates << d;
    }
    const std::string mac = loaded["MacAddress"], ip = loaded["IPAddress"], pw = loaded["SetupPassword"];
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(latin1(QString::fromLatin1(sets[0])), "S " + mac + "/" + ip + "/" + pw + c.headerExtra +
                                                        "/<IPAddress>10.9.8.7</IPAddress>" + "/<DHCPEnable>" + dhcp +
                                                        "</DHCPEnable>/<DeviceID>NEWNAME123</DeviceID>");
    ASSERT_EQ(updates.size(), c.updateCount);
    for (const QByteArray& u : updates)
        EXPECT_EQ(latin1(QString::fromLatin1(u)), "U " + mac + "/" + ip + "/" + pw);
    EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty());

    // The line: the new IP at character 44 with its filler, the ID cut to 8 and a blank.
    const std::string expected = lv::patchDeviceIdColumn(lv::patchIpColumn(latin1(lineBefore), ip, "10.9.8.7"),
                                                         loaded["DeviceID"], "NEWNAME123");
    EXPECT_EQ(latin1(line(row)), expected);
    EXPECT_EQ(line(row).mid(43, 8), QStringLiteral("10.9.8.7"));
    EXPECT_TRUE(line(row).endsWith(QStringLiteral("                  NEWNAME1 ")));

    // The device took the change: the next search lists it under its new address.
    searchFor();
    bool listed = false;
    for (int r = 0; r < rows(); ++r)
        listed = listed || raw(r).contains(QStringLiteral("/10.9.8.7/NEWNAME123"));
    EXPECT_TRUE(listed);
}

INSTANTIATE_TEST_SUITE_P(
    Families, UpdateFamilyTest,
    ::testing::Values(FamilyCase{"KR-700", "frmSetup", 5, ""}, FamilyCase{"PL-770A", "frmSetupPL700A", 5, ""},
                      FamilyCase{"KR-780A", "frmSetupPL780A", 3, ""}, FamilyCase{"PL-778A", "frmSetupPl778", 5, "/"},
                      FamilyCase{"DN-680A", "frmSetupDn680", 3, ""}, FamilyCase{"NDQ-770", "frmSetupNDQ770", 3, ""}),
    [](const ::testing::TestParamInfo<FamilyCase>& param) { return std::string(param.param.window); });

TEST_F(UpdateFlowTest, CancelSendsNothingAndKeepsTheLine)
{
    const int row = rowOfModel(QStringLiteral("KR-770A"));
    ASSERT_GE(row, 0);
    const QString lineBefore = line(row);
    const int before = sim.received().size();
    openAndEdit<lv::SinglePortWindow>(row, [&](lv::SinglePortWindow* w) {
        retype(w, "txtIP", QStringLiteral("10.1.1.1"));
        click(w, "cmdCancel");
    });
    for (const QByteArray& d : receivedSince(before))
        EXPECT_TRUE(d.startsWith("G ")) << escapeBytes(d);
    EXPECT_EQ(line(row), lineBefore);
}

TEST_F(UpdateFlowTest, WindowOfTheNextDeviceHoldsNothingOfTheFirst)
{
    const int a = rowOfModel(QStringLiteral("DN-680A"));
    const int b = rowOfModel(QStringLiteral("NDQ-770"));
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    lv::LoadedValues loadedA, loadedB;
    QString ipB;
    openAndEdit<lv::SinglePortWindow>(a, [&](lv::SinglePortWindow* w) {
        loadedA = w->loadedConfig();
        w->reject();
    });
    openAndEdit<lv::SinglePortWindow>(b, [&](lv::SinglePortWindow* w) {
        loadedB = w->loadedConfig();
        ipB = w->findChild<QLineEdit*>(QStringLiteral("txtIP"))->text();
        EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("PanID")), nullptr);
        w->reject();
    });
    EXPECT_FALSE(loadedA["PanId"].empty());
    EXPECT_EQ(loadedB.count("PanId") ? loadedB["PanId"] : std::string(), "");
    EXPECT_EQ(loadedB.count("SIOBaud") ? loadedB["SIOBaud"] : std::string(), "");
    EXPECT_NE(loadedA["MacAddress"], loadedB["MacAddress"]);
    EXPECT_EQ(latin1(ipB), loadedB["IPAddress"]);
    EXPECT_TRUE(raw(b).contains(QStringLiteral("/") + ipB + QStringLiteral("/")));
}

class NoAnswerFlowTest : public UpdateFlowTest {
protected:
    NoAnswerFlowTest() : UpdateFlowTest({QStringLiteral("--no-answer-after-set")}) {}
};

TEST_F(NoAnswerFlowTest, DeviceThatDoesNotAnswerLeavesWindowOpenWithEdits)
{
    const int row = rowOfModel(QStringLiteral("KR-770A"));
    ASSERT_GE(row, 0);
    const QString lineBefore = line(row);
    bool stillOpen = false;
    QString ipAfter;
    openAndEdit<lv::SinglePortWindow>(row, [&](lv::SinglePortWindow* w) {
        retype(w, "txtIP", QStringLiteral("10.2.2.2"));
        click(w, "cmdUpdate");
        stillOpen = w->isVisible();
        ipAfter = w->findChild<QLineEdit*>(QStringLiteral("txtIP"))->text();
        EXPECT_TRUE(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->isEnabled());
        w->reject();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(ipAfter, QStringLiteral("10.2.2.2"));
    ASSERT_EQ(lv::Dialogs::shownMessages().size(), 1);
    EXPECT_EQ(line(row), lineBefore);
}

} // namespace

namespace {

class SlowAnswerFlowTest : public UpdateFlowTest {
protected:
    SlowAnswerFlowTest() : UpdateFlowTest({QStringLiteral("--delay"), QStringLiteral("400")}) {}
};

TEST_F(SlowAnswerFlowTest, LineOfTheOpenedDeviceIsPatchedEvenIfTheSelectionMovedDuringTheRequest)
{
    const int row = 0;
    const int other = 5;
    const QString otherBefore = line(other);
    // While the request waits, the operator clicks another line.
    QTimer::singleShot(150, [&] { selectRow(other); });
    openAndEdit<lv::SinglePortWindow>(row, [&](lv::SinglePortWindow* w) {
        retype(w, "txtDeviceID", QStringLiteral("MOVED"));
        click(w, "cmdUpdate");
    });
    EXPECT_TRUE(line(row).endsWith(QStringLiteral("                  MOVED ")));
    EXPECT_EQ(line(other), otherBefore);
    EXPECT_EQ(lstDev->currentIndex().row(), row);
}

// Two IP changes without a search, each device at its own address: the second Update's one "U " (a multi-port
// window's) is answered from the address the first gave, the next request from the second's.
class OwnAddressFlowTest : public UpdateFlowTest {
protected:
    OwnAddressFlowTest() : UpdateFlowTest({QStringLiteral("--own-addresses")}) {}
};

TEST_F(OwnAddressFlowTest, TwoIpChangesWithoutASearchAreEachAnswered)
{
    const int row = rowOfSimulated("KR-7800");
    ASSERT_GE(row, 0);
    const QStringList at{line(row).mid(43).section(QLatin1Char(' '), 0, 0), QStringLiteral("127.1.7.1"),
                         QStringLiteral("127.1.7.2")};
    for (int i = 0; i < at.size(); ++i) {
        QString shown;
        openAndEdit(row, [&](lv::SetupWindow* w) {
            shown = w->findChild<QLineEdit*>(QStringLiteral("IP"))->text();
            if (i + 1 < at.size()) {
                retype(w, "IP", at[i + 1]);
                click(w, "cmdUpdate");
            }
            if (w->isVisible())
                w->reject();
        });
        EXPECT_EQ(shown, at[i]);
        EXPECT_TRUE(lv::Dialogs::shownMessages().isEmpty()) << "no answer at " << latin1(at[i]);
    }
}

} // namespace
