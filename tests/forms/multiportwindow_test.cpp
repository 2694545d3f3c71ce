// SPDX-License-Identifier: Apache-2.0
// The multi-port windows: their grid, lists and titles, an Update over loopback, and each window filled
// from its simulated device.

#include "devicesearch.h"
#include "devsimprocess.h"
#include "dialogs.h"
#include "exchanges.h"
#include "formtestsupport.h"
#include "modeltable.h"
#include "multiportwindow.h"
#include "runexchange.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

namespace lv::test {
namespace {

using namespace std::string_literals;

Items twoPortItems()
{
    return multiPortItems(2, false, kMacAddress, "192.168.1.50", "pw");
}

class MultiPortWindowTest : public LoopbackDeviceTest {
protected:
    std::unique_ptr<MultiPortWindow> open(const char* name, const Items& items)
    {
        const WindowDef& def = *findWindow(name);
        auto window = std::make_unique<MultiPortWindow>(def, m_channel, &m_snapshot);
        window->Form_Load(QString::fromLatin1(kSelMac), QString::fromLatin1(kVersion));
        window->apply(loadMultiPort(def, replyText(items), def.portCount, m_snapshot), false);
        return window;
    }

    LoadedValues m_snapshot;
};

TEST_F(MultiPortWindowTest, ChangingComTwoBaudSendsTheHeaderNulAndThatItemAlone)
{
    auto window = open("frm2PortSetup", twoPortItems());
    window->show();
    ASSERT_EQ(find<QComboBox>(*window, "COM2_Baud")->currentText(), QStringLiteral("9600"));
    chooseEntry(*window, "COM2_Baud", 6);
    ASSERT_EQ(find<QComboBox>(*window, "COM2_Baud")->currentText(), QStringLiteral("19200"));
    // When each command left, by the sender's clock: a receiver that reads the set command late (a
    // loaded machine, Wine) would see the delay shorter than it was.
    QElapsedTimer clock;
    clock.start();
    std::vector<std::pair<QByteArray, qint64>> left;
    QObject::connect(&m_channel, &CommandChannel::datagramSent, window.get(),
                     [&](const QByteArray& d) { left.emplace_back(d.left(2), clock.nsecsElapsed()); });
    QTest::mouseClick(find<QPushButton>(*window, "cmdUpdate"), Qt::LeftButton);
    const auto sets = m_device.withPrefix("S ");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].toStdString(), "S "s + kMacAddress + "/192.168.1.50/pw" + "\0"s + "/<COM2_Baud>6</COM2_Baud>");
    const auto updates = m_device.withPrefix("U ");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].toStdString(), "U "s + kMacAddress + "/192.168.1.50/pw");
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].first, "S ");
    EXPECT_EQ(left[1].first, "U ");
    EXPECT_GE(left[1].second - left[0].second, 200'000'000) << "the 200 ms delay before the \"U \" command";
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MultiPortWindowTest, ABaudOutsideTheListShowsNoEntryAndIsNotSentUntouched)
{
    Items items = twoPortItems();
    items["COM1_Baud"] = "10";
    items.erase("COM2_Baud");
    auto window = open("frm2PortSetup", items);
    EXPECT_EQ(find<QComboBox>(*window, "COM1_Baud")->currentIndex(), -1);
    EXPECT_EQ(find<QComboBox>(*window, "COM2_Baud")->currentIndex(), -1);
    window->show();
    QTest::mouseClick(find<QPushButton>(*window, "cmdUpdate"), Qt::LeftButton);
    const auto sets = m_device.withPrefix("S ");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].toStdString(), "S "s + kMacAddress + "/192.168.1.50/pw" + "\0"s);
}

TEST_F(MultiPortWindowTest, UnansweredUpdateKeepsTheWindowAndTheEdits)
{
    m_device.setAnswering(false);
    auto window = open("frm2PortSetup", twoPortItems());
    expectUnansweredUpdateKeepsEdit(*window, "DeviceID", QStringLiteral("Hall-9"));
}

struct LayoutCase {
    const char* window;
    std::vector<const char*> captions; // block captions top to bottom
    const char* titleEnd;              // after "<n> Port Linkvane  ( MAC: " + MAC
};

class MultiPortLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MultiPortLayout, CaptionsTitlesListsAndSize)
{
    const LayoutCase& c = GetParam();
    const WindowDef& def = *findWindow(c.window);
    SessionState state;
    CommandChannel channel(state);
    MultiPortWindow window(def, channel);
    window.Form_Load(QString::fromLatin1(kSelMac), QString::fromLatin1(kVersion));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("%1 Port Linkvane  ( MAC: ").arg(def.portCount) +
                                        QString::fromLatin1(kSelMac) + QString::fromLatin1(c.titleEnd));
    QStringList captions;
    for (int block : {0, 1, 3})
        if (auto* cell = window.findChild<QLabel*>(QStringLiteral("lblBlock%1").arg(block)))
            captions << cell->text();
    QStringList expected;
    for (const char* caption : c.captions)
        expected << QString::fromLatin1(caption);
    EXPECT_EQ(captions, expected);
    for (int port = 1; port <= 4; ++port) {
        auto* hw = window.findChild<QComboBox*>(QStringLiteral("COM%1_HWType").arg(port));
        if (port > def.portCount) {
            EXPECT_EQ(hw, nullptr);
            continue;
        }
        ASSERT_NE(hw, nullptr);
        EXPECT_EQ(hw->count(), port == 2 || port == 3 ? 5 : 3) << port;
        EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("COM%1_TCPMode").arg(port))->itemText(1),
                  QStringLiteral("UDP Server"));
    }
    EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("Password"))->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("arbtime")) != nullptr, def.family->name == "KR-7x00A");
    window.show();
    EXPECT_LE(window.frameGeometry().height(), 768);
    EXPECT_LE(window.frameGeometry().width(), 1366);
    for (const QLabel* label : window.findChildren<QLabel*>())
        EXPECT_TRUE(firstStemShown(label)) << label->objectName().toStdString();
    // The ports of one caption stand side by side in port order: no control of one reaches into the next.
    const auto columnOf = [&](int port) {
        std::pair<int, int> leftRight{INT_MAX, -1};
        for (const FieldDef& field : def.fields)
            if (field.block == port && !field.control.empty())
                if (const auto* control = window.findChild<QWidget*>(QString::fromStdString(field.control))) {
                    const QRect r(control->mapTo(&window, QPoint(0, 0)), control->size());
                    leftRight = {std::min(leftRight.first, r.left()), std::max(leftRight.second, r.right())};
                }
        return leftRight;
    };
    for (const PortGroup& group : def.portGroups)
        for (std::size_t i = 0; i + 1 < group.ports.size(); ++i) {
            const auto left = columnOf(group.ports[i]);
            const auto right = columnOf(group.ports[i + 1]);
            ASSERT_GE(left.second, 0) << "port " << group.ports[i];
            ASSERT_GE(right.second, 0) << "port " << group.ports[i + 1];
            EXPECT_LT(left.second, right.first) << "COM" << group.ports[i] << " reaches into COM" << group.ports[i + 1];
        }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, MultiPortLayout,
    ::testing::Values(LayoutCase{"Frm1PortSetup", {"General Setting", "COM1"}, " )2.07 build 0311"},
                      LayoutCase{"frm2PortSetup", {"General Setting", " COM1"}, " )2.07 build 0311"},
                      LayoutCase{"frm3PortSetup", {"General Setting", " COM1 / COM2", "COM3"}, " )2.07 build 0311"},
                      LayoutCase{
                          "frm4PortSetup", {"General Setting", " COM1 / COM2", "COM3 / COM4"}, " )2.07 build 0311"},
                      LayoutCase{"frmKR7700ASetup", {"General Setting", "COM1"}, " )"},
                      LayoutCase{"frmKR7800ASetup", {"General Setting", " COM1"}, " )2.07 build 0311"},
                      LayoutCase{"frmKR7900ASetup", {"General Setting", " COM1 / COM2", "COM3"}, " )"},
                      LayoutCase{"frmKR7600ASetup", {"General Setting", " COM1 / COM2", "COM3 / COM4"}, " )"}),
    [](const auto& p) { return std::string(p.param.window); });

// Every multi-port window filled from its simulated device; LINKVANE_SCREENSHOT_DIR=<dir> writes
// <dir>/<window>.png for the documentation.
TEST(MultiPortDevsim, EveryWindowOpensFilledFromItsDevice)
{
    DevsimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.allOutput().toStdString();
    SessionState state;
    state.broadcast = QHostAddress(QHostAddress::LocalHost);
    state.gCmdPort = sim.port();
    CommandChannel channel(state);
    DeviceSearch search(state);
    search.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return search.devices().size() >= simulatedModels().size(); }, 3000));
    const QString shots = qEnvironmentVariable("LINKVANE_SCREENSHOT_DIR");
    int opened = 0;
    for (std::size_t i = 0; i < search.devices().size(); ++i) {
        const std::string& raw = search.devices().raw(i);
        const ConfigRequestResult config = requestConfiguration(channel, {raw}, "");
        const WindowDef* def = config.dispatch.windowDef;
        if (!config.valid() || !def || !def->isMultiPort())
            continue;
        SCOPED_TRACE(def->name);
        ++opened;
        LoadedValues snapshot;
        MultiPortWindow window(*def, channel, &snapshot);
        window.Form_Load(QString::fromLatin1(macTextOfLine(search.devices().line(i))),
                         QString::fromLatin1(config.modelVersion.version));
        window.apply(loadMultiPort(*def, config.reply, def->portCount, snapshot), false);
        const std::string ip = parseSearchReply(raw)->ip;
        EXPECT_EQ(find<QLineEdit>(window, "IP")->text().toStdString(), ip);
        const std::string lastPort = "COM" + std::to_string(def->portCount) + "_Baud";
        EXPECT_GE(find<QComboBox>(window, lastPort.c_str())->currentIndex(), 0);
        if (shots.isEmpty())
            continue;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QDir().mkpath(shots);
        EXPECT_TRUE(
            window.grab().save(shots + QLatin1Char('/') + QString::fromLatin1(def->name) + QStringLiteral(".png")));
    }
    EXPECT_EQ(opened, 8);
}

} // namespace
} // namespace lv::test
