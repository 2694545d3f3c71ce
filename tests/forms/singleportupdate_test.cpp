// SPDX-License-Identifier: Apache-2.0
// Update of the single-port windows over loopback: the set command, the delay, the "U " commands.

#include "devicelist.h"
#include "dialogs.h"
#include "formtestsupport.h"
#include "waitfor.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace lv::test {
namespace {

// One operator edit: a text typed into a text box, or a list entry picked ("#N").
struct Edit {
    std::string control;
    QString value;
};

void applyEdits(QWidget& window, const std::vector<Edit>& edits)
{
    for (const Edit& e : edits) {
        if (e.value.startsWith(QLatin1Char('#')))
            chooseEntry(window, e.control, e.value.mid(1).toInt());
        else
            typeInto(window, e.control, e.value);
    }
}

class SinglePortUpdate : public LoopbackDeviceTest {
protected:
    void clickUpdate(SinglePortWindow& window)
    {
        QTest::mouseClick(find<QPushButton>(window, "cmdUpdate"), Qt::LeftButton);
    }
};

struct UpdateCase {
    const char* name;
    const char* window;
    Items changes;           // of the reply
    std::vector<Edit> edits; // by the operator
    QByteArray items;        // what follows the header of the set command
    int updateCount;
};

void PrintTo(const UpdateCase& c, std::ostream* os)
{
    *os << c.window << " " << c.name;
}

class SinglePortUpdateCases : public SinglePortUpdate, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(SinglePortUpdateCases, SendsTheChangedItemsThenTheUpdateCommands)
{
    const UpdateCase& c = GetParam();
    auto window = openWindow(c.window, withItems(standardItems(), c.changes), m_channel);
    ASSERT_NE(window, nullptr);
    window->show();
    applyEdits(*window, c.edits);
    clickUpdate(*window);

    const auto sets = m_device.withPrefix("S ");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets.front(), header("S ") + c.items);
    const auto updates = m_device.withPrefix("U ");
    ASSERT_EQ(updates.size(), static_cast<std::size_t>(c.updateCount));
    for (const QByteArray& u : updates)
        EXPECT_EQ(u, header("U "));
    EXPECT_EQ(m_device.received().size(), 1u + static_cast<std::size_t>(c.updateCount));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(Dialogs::shownMessages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SinglePortUpdateCases,
    ::testing::Values(
        UpdateCase{
            "RefusedBaudIsSentBackAsItsDefault", "frmSetup", {{"SIOBaud", "13"}}, {}, "/<SIOBaud>5</SIOBaud>", 5},
        UpdateCase{"AcceptedBaudIsNotResent", "frmSetup", {{"SIOBaud", "5"}}, {}, "", 5},
        UpdateCase{"RefusedParityBitsAndDhcpAreSentBack",
                   "frmSetup",
                   {{"SIOParity", "3"}, {"SIOBits", "2"}, {"DHCPEnable", "2"}},
                   {},
                   "/<DHCPEnable>0</DHCPEnable>/<SIOParity>0</SIOParity>/<SIOBits>1</SIOBits>",
                   5},
        UpdateCase{"DioType255IsNotResent", "frmSetup", {{"DIOSocketType", "255"}}, {}, "", 5},
        UpdateCase{"BaudChangeSendsItsIndex",
                   "frmSetup",
                   {},
                   {{"cmbSioBaud", QStringLiteral("#9")}},
                   "/<SIOBaud>9</SIOBaud>",
                   5},
        UpdateCase{"EditedAwayAndBackIsNotSent",
                   "frmSetup",
                   {},
                   {{"txtIP", QStringLiteral("10.0.0.1")},
                    {"txtIP", QStringLiteral("192.168.1.50")},
                    {"cmbSioParity", QStringLiteral("#2")},
                    {"cmbSioParity", QStringLiteral("#0")}},
                   "",
                   5},
        UpdateCase{"ItemsFollowTheCommandOrderNotTheScreenOrder",
                   "frmSetup",
                   {},
                   {{"txtChrGap", QStringLiteral("20")},
                    {"cmbTCPLinkTimeOutMode", QStringLiteral("#1")},
                    {"txtIP", QStringLiteral("192.168.1.9")},
                    {"txtPassword", QString()}},
                   "/<IPAddress>192.168.1.9</IPAddress>/<TCPLinkTimeOutMode>1</TCPLinkTimeOutMode>"
                   "/<ChrGap>20</ChrGap>/<SetupPassword></SetupPassword>",
                   5},
        UpdateCase{"SingleByteTextIsSentByteForByte",
                   "frmSetup",
                   {{"DeviceID", "Caf\xe9"}},
                   {{"txtAccess", QStringLiteral(u"Z\u00fcrich")}},
                   "/<AccessPassword>Z\xfcrich</AccessPassword>",
                   5},
        UpdateCase{"Pl778UnchangedIsHeaderWithTrailingSlash", "frmSetupPl778", {}, {}, "/", 5},
        UpdateCase{"Pl778EmptyArbitrationAndModbus7AreSentAsZero",
                   "frmSetupPl778",
                   {{"DIOSocketPort", ""}, {"COM1_Modbus", "7"}},
                   {},
                   "//<DIOSocketPort>0</DIOSocketPort>/<COM1_Modbus>0</COM1_Modbus>",
                   5},
        UpdateCase{"Pl778ModbusChoice",
                   "frmSetupPl778",
                   {},
                   {{"COM1_Modbus", QStringLiteral("#1")}},
                   "//<COM1_Modbus>1</COM1_Modbus>",
                   5},
        UpdateCase{"Pl700NeverSendsWhatItLacks",
                   "frmSetupPL700A",
                   {},
                   {{"txtTCPLinkTimeOut", QStringLiteral("250")}},
                   "/<TCPLinkTimeOut>250</TCPLinkTimeOut>",
                   5},
        UpdateCase{"Kr770ArbitrationTravelsAsDioSocketPort",
                   "frmSetupKr770A",
                   {},
                   {{"txtDioPort", QStringLiteral("30")}},
                   "/<DIOSocketPort>30</DIOSocketPort>",
                   3},
        UpdateCase{"Kr787UnchangedIsHeaderOnly", "frmSetupKr787A", {}, {}, "", 3},
        UpdateCase{"Pl780HighBaud",
                   "frmSetupPL780A",
                   {},
                   {{"cmbSioBaud", QStringLiteral("#12")}},
                   "/<SIOBaud>12</SIOBaud>",
                   3},
        UpdateCase{"RadioChannelComesAfterEverythingElse",
                   "frmSetupDn680",
                   {},
                   {{"RFChannel", QStringLiteral("15")},
                    {"txtDeviceID", QStringLiteral("Pump-2")},
                    {"PanID", QStringLiteral("BEEF")},
                    {"cmbSioBaud", QStringLiteral("#10")}},
                   "/<SIOBaud>10</SIOBaud>/<DeviceID>Pump-2</DeviceID>/<PanId>BEEF</PanId>/<RFChan>15</RFChan>",
                   3},
        UpdateCase{"RadioWithoutLoadedPanIdNeverSendsIt",
                   "frmSetupDn687",
                   {{"PanId", ""}},
                   {{"PanID", QStringLiteral("1234")}},
                   "",
                   3},
        UpdateCase{"RadioWithoutLoadedChannelNeverSendsIt",
                   "frmSetupDn690",
                   {{"RFChan", ""}},
                   {{"RFChannel", QStringLiteral("20")}, {"PanID", QStringLiteral("77")}},
                   "/<PanId>77</PanId>",
                   3},
        UpdateCase{"ZModeChangesNothing", "frmSetupDn690", {}, {{"ZMode", QStringLiteral("#1")}}, "", 3},
        UpdateCase{"Ndq770UdpServer",
                   "frmSetupNDQ770",
                   {},
                   {{"cmbSioMode", QStringLiteral("#1")}},
                   "/<SIOSocketType>1</SIOSocketType>",
                   3},
        UpdateCase{"Ndq770DhcpBeforeDeviceId",
                   "frmSetupNDQ770",
                   {},
                   {{"txtDeviceID", QStringLiteral("IO-1")}, {"cmbDHCP", QStringLiteral("#1")}},
                   "/<DHCPEnable>1</DHCPEnable>/<DeviceID>IO-1</DeviceID>",
                   3}),
    [](const ::testing::TestParamInfo<UpdateCase>& p) { return std::string(p.param.name); });

TEST_F(SinglePortUpdate, UpdateCommandsFollowTheSetCommandAfterTheDelay)
{
    auto window = openWindow("frmSetupKr770A", standardItems(), m_channel);
    window->show();
    clickUpdate(*window);
    const auto& received = m_device.received();
    ASSERT_EQ(received.size(), 4u);
    ASSERT_TRUE(received[0].bytes.startsWith("S "));
    ASSERT_TRUE(received[1].bytes.startsWith("U "));
    EXPECT_GE(received[1].atMs - received[0].atMs, 450);
    // The "U " commands go out in a row, without a delay of their own between them.
    EXPECT_LT(received[3].atMs - received[1].atMs, received[1].atMs - received[0].atMs);
}

TEST_F(SinglePortUpdate, AnsweredUpdateReportsTheDeviceLineChanges)
{
    auto window = openWindow("frmSetup", standardItems(), m_channel);
    window->show();
    typeInto(*window, "txtIP", QStringLiteral("10.1.2.3"));
    typeInto(*window, "txtDeviceID", QStringLiteral("Conveyor-12"));
    clickUpdate(*window);
    ASSERT_TRUE(window->outcome().patch);
    const DeviceLinePatch patch = *window->outcome().patch;
    EXPECT_TRUE(patch.ipChanged);
    EXPECT_EQ(patch.loadedIp, "192.168.1.50");
    EXPECT_EQ(patch.newIp, "10.1.2.3");
    EXPECT_TRUE(patch.deviceIdChanged);
    EXPECT_EQ(patch.loadedDeviceId, "Line-07");
    EXPECT_EQ(patch.newDeviceId, "Conveyor-12");
    // The device is named by its old address; the new one travels as an item.
    EXPECT_EQ(m_device.withPrefix("S ").at(0), header("S ") + "/<IPAddress>10.1.2.3</IPAddress>"
                                                              "/<DeviceID>Conveyor-12</DeviceID>");

    // IP column: 43 characters kept, the new address with 2 blanks per character short of 15, then what
    // followed the old address and its filler. Device-ID column: the old ID and the blank before it give
    // way to the new ID cut to 8 characters and one blank.
    const std::string line = deviceListLine(kSelMac, "192.168.1.50", "Line-07");
    std::string expected = line.substr(0, 43) + "10.1.2.3" + std::string(14, ' ') + line.substr(43 + 12 + 6);
    expected = expected.substr(0, expected.size() - 8) + "Conveyor ";
    EXPECT_EQ(patchDeviceLine(line, patch), expected);
}

TEST_F(SinglePortUpdate, UnchangedIpAndDeviceIdLeaveTheLineAlone)
{
    auto window = openWindow("frmSetupNDQ770", standardItems(), m_channel);
    window->show();
    typeInto(*window, "txtMask", QStringLiteral("255.255.0.0"));
    clickUpdate(*window);
    ASSERT_TRUE(window->outcome().patch);
    const DeviceLinePatch patch = *window->outcome().patch;
    EXPECT_FALSE(patch.changesLine());
    const std::string line = deviceListLine(kSelMac, "192.168.1.50", "Line-07");
    EXPECT_EQ(patchDeviceLine(line, patch), line);
}

TEST_F(SinglePortUpdate, CancelSendsNothing)
{
    auto window = openWindow("frmSetup", standardItems(), m_channel);
    window->show();
    typeInto(*window, "txtIP", QStringLiteral("10.1.2.3"));
    QTest::mouseClick(find<QPushButton>(*window, "cmdCancel"), Qt::LeftButton);
    LV_EXPECT_NEVER(!m_device.received().empty(), 150);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(window->outcome().patch);
}

TEST_F(SinglePortUpdate, SilentDeviceKeepsTheWindowOpenWithTheEdits)
{
    m_device.setAnswering(false);
    auto window = openWindow("frmSetupPl778", standardItems(), m_channel);
    window->show();
    typeInto(*window, "txtDeviceID", QStringLiteral("Press-4"));
    chooseEntry(*window, "COM1_Modbus", 1);

    clickUpdate(*window);

    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->outcome().patch);
    ASSERT_EQ(Dialogs::shownMessages().size(), 1);
    EXPECT_EQ(Dialogs::shownMessages()[0].text, SinglePortWindow::noAnswerMessage());
    EXPECT_EQ(Dialogs::shownMessages()[0].title, QStringLiteral("MsgBox"));
    EXPECT_EQ(find<QLineEdit>(*window, "txtDeviceID")->text(), QStringLiteral("Press-4"));
    EXPECT_EQ(find<QComboBox>(*window, "COM1_Modbus")->currentIndex(), 1);
    EXPECT_TRUE(find<QPushButton>(*window, "cmdUpdate")->isEnabled());
    EXPECT_TRUE(find<QPushButton>(*window, "cmdCancel")->isEnabled());

    // Update again once the device answers: the same items, and the window closes.
    m_device.setAnswering(true);
    clickUpdate(*window);
    const auto sets = m_device.withPrefix("S ");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0], sets[1]);
    EXPECT_EQ(sets[1], header("S ") + "//<DeviceID>Press-4</DeviceID>/<COM1_Modbus>1</COM1_Modbus>");
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->outcome().patch);
    EXPECT_EQ(window->outcome().updates.size(), 2u);
}

TEST_F(SinglePortUpdate, ButtonsAndEscapeAreLockedWhileAnUpdateRuns)
{
    m_device.setAnswering(false);
    auto window = openWindow("frmSetup", standardItems(), m_channel);
    window->show();
    bool updateEnabled = true;
    bool cancelEnabled = true;
    bool visibleAfterEscape = false;
    QTimer::singleShot(200, window.get(), [&] {
        updateEnabled = find<QPushButton>(*window, "cmdUpdate")->isEnabled();
        cancelEnabled = find<QPushButton>(*window, "cmdCancel")->isEnabled();
        QTest::keyClick(window.get(), Qt::Key_Escape);
        visibleAfterEscape = window->isVisible();
    });
    clickUpdate(*window);
    EXPECT_FALSE(updateEnabled);
    EXPECT_FALSE(cancelEnabled);
    EXPECT_TRUE(visibleAfterEscape);
    EXPECT_TRUE(window->isVisible());
    // Only the first Update went out.
    EXPECT_EQ(m_device.withPrefix("S ").size(), 1u);
}

} // namespace
} // namespace lv::test

namespace lv::test {
namespace {

// A text box shows a loaded value whole however long it is, so an untouched Update sends nothing of it
// and an edit at its end sends it whole.
TEST_F(SinglePortUpdate, TextBoxesHaveNoLengthLimit)
{
    const std::string longId(40000, 'D');
    auto window = openWindow("frmSetup", withItems(standardItems(), {{"DeviceID", longId}}), m_channel);
    window->show();
    EXPECT_EQ(find<QLineEdit>(*window, "txtDeviceID")->text().size(), 40000);
    EXPECT_EQ(window->loadedConfig().at("DeviceID"), longId);
    clickUpdate(*window);
    ASSERT_EQ(m_device.withPrefix("S ").size(), 1u);
    EXPECT_EQ(m_device.withPrefix("S ")[0], header("S "));
}

} // namespace
} // namespace lv::test

namespace lv::test {
namespace {

struct RefusedUpdate {
    const char* name;
    Items changes;       // of the reply
    const char* control; // typed into
    QString typed;
    QString message;
};

class SinglePortRefusedUpdate : public SinglePortUpdate, public ::testing::WithParamInterface<RefusedUpdate> {};

// What the device would misread, what names no device and what cannot leave is not sent: the window
// says why and keeps the edits.
TEST_P(SinglePortRefusedUpdate, SendsNothingAndKeepsTheEdit)
{
    const RefusedUpdate& c = GetParam();
    auto window = openWindow("frmSetupKr770A", withItems(standardItems(), c.changes), m_channel);
    window->show();
    // Typed key by key, except a text too long to type in a test's time.
    if (c.typed.size() > 200)
        find<QLineEdit>(*window, c.control)->setText(c.typed);
    else
        typeInto(*window, c.control, c.typed);
    clickUpdate(*window);
    EXPECT_TRUE(m_device.received().empty());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(Dialogs::shownMessages().size(), 1);
    EXPECT_EQ(Dialogs::shownMessages()[0].text, c.message);
    EXPECT_EQ(find<QLineEdit>(*window, c.control)->text(), c.typed);
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePortRefusedUpdate,
                         ::testing::Values(RefusedUpdate{"ValueCarriesAnotherItem",
                                                         {},
                                                         "txtDeviceID",
                                                         QStringLiteral("a</DeviceID><IPAddress>6.6.6.6</IPAddress>"),
                                                         SetupWindow::fieldProblemMessage(QStringLiteral("DeviceID"))},
                                           RefusedUpdate{"ValueCarriesItsOwnClosingTag",
                                                         {},
                                                         "txtHostPort",
                                                         QStringLiteral("1</HostPort>"),
                                                         SetupWindow::fieldProblemMessage(QStringLiteral("HostPort"))},
                                           RefusedUpdate{"ReplyWithoutMacAddress",
                                                         {{"MacAddress", ""}},
                                                         "txtDeviceID",
                                                         QStringLiteral("Pump-7"),
                                                         SetupWindow::noMacMessage()},
                                           RefusedUpdate{"TooLargeForADatagram",
                                                         {},
                                                         "txtChrGap",
                                                         QString(70000, QLatin1Char('9')),
                                                         SetupWindow::notSentMessage()}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(SinglePortUpdate, AnOrdinaryAngleBracketIsSentAsTyped)
{
    auto window = openWindow("frmSetup", standardItems(), m_channel);
    window->show();
    typeInto(*window, "txtDeviceID", QStringLiteral("<pump> 7"));
    clickUpdate(*window);
    ASSERT_EQ(m_device.withPrefix("S ").size(), 1u);
    EXPECT_EQ(m_device.withPrefix("S ")[0], header("S ") + "/<DeviceID><pump> 7</DeviceID>");
}

} // namespace
} // namespace lv::test
