// SPDX-License-Identifier: Apache-2.0
// The windows against linkvane-devsim: searched, requested and loaded as the
// main window does it, then updated over real UDP.

#include "devicelist.h"
#include "devicesearch.h"
#include "devsimprocess.h"
#include "dialogs.h"
#include "exchanges.h"
#include "formtestsupport.h"
#include "runexchange.h"

#include <QDir>
#include <QPushButton>
#include <QSignalSpy>

namespace lv::test {
namespace {

struct FoundDevice {
    SearchReply search;
    ConfigRequestResult config;
};

class SinglePortDevsim : public ::testing::Test {
protected:
    explicit SinglePortDevsim(const QStringList& args = {}) : m_sim(args)
    {
        m_state.broadcast = QHostAddress(QHostAddress::LocalHost);
        m_state.gCmdPort = m_sim.port();
        Dialogs::setScripted(true);
    }
    ~SinglePortDevsim() override { Dialogs::reset(); }

    // Search, then request the configuration of every single-port device found.
    std::map<std::string, FoundDevice> findSinglePortDevices()
    {
        DeviceSearch search(m_state);
        search.start();
        // The simulator's LAN: 21 devices.
        EXPECT_TRUE(QTest::qWaitFor([&] { return search.devices().size() >= 21; }, 10000));
        std::map<std::string, FoundDevice> byWindow;
        for (std::size_t i = 0; i < search.devices().size(); ++i) {
            const std::string& raw = search.devices().raw(i);
            ConfigRequestResult config = requestConfiguration(m_channel, {raw}, "");
            const WindowDef* def = findWindow(config.dispatch.window);
            if (!config.valid() || !def || def->isMultiPort())
                continue;
            byWindow.try_emplace(def->name, FoundDevice{*parseSearchReply(raw), std::move(config)});
        }
        return byWindow;
    }

    std::unique_ptr<SinglePortWindow> open(const FoundDevice& device)
    {
        const WindowDef& def = *findWindow(device.config.dispatch.window);
        auto window = std::make_unique<SinglePortWindow>(def, m_channel);
        window->Form_Load(QString::fromLatin1(device.search.macText),
                          QString::fromLatin1(device.config.modelVersion.version));
        window->apply(loadSinglePort(def, device.config.reply));
        return window;
    }

    DevsimProcess m_sim;
    SessionState m_state;
    CommandChannel m_channel{m_state};
};

TEST_F(SinglePortDevsim, EveryWindowOpensFilledFromItsDevice)
{
    ASSERT_TRUE(m_sim.started()) << m_sim.allOutput().toStdString();
    const auto devices = findSinglePortDevices();
    EXPECT_EQ(devices.size(), 10u);
    // Screenshots for the documentation: LINKVANE_SCREENSHOT_DIR=<dir> writes <dir>/<window>.png.
    const QString shots = qEnvironmentVariable("LINKVANE_SCREENSHOT_DIR");
    for (const auto& [name, device] : devices) {
        SCOPED_TRACE(name);
        auto window = open(device);
        EXPECT_EQ(find<QLineEdit>(*window, "txtIP")->text(), QString::fromLatin1(device.search.ip));
        EXPECT_EQ(find<QLineEdit>(*window, "txtDeviceID")->text(), QString::fromLatin1(device.search.deviceId));
        EXPECT_TRUE(window->windowTitle().contains(QString::fromLatin1(device.config.modelVersion.version)));
        if (shots.isEmpty())
            continue;
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QDir().mkpath(shots);
        EXPECT_TRUE(window->grab().save(shots + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png")));
    }
}

TEST_F(SinglePortDevsim, UpdateChangesTheDeviceAndTheNextLoadShowsIt)
{
    ASSERT_TRUE(m_sim.started()) << m_sim.allOutput().toStdString();
    auto devices = findSinglePortDevices();
    ASSERT_EQ(devices.count("frmSetupPl778"), 1u);
    const FoundDevice& device = devices.at("frmSetupPl778");
    auto window = open(device);
    window->show();
    chooseEntry(*window, "cmbSioBaud", 9);
    typeInto(*window, "txtDeviceID", QStringLiteral("Press-9"));
    QTest::mouseClick(find<QPushButton>(*window, "cmdUpdate"), Qt::LeftButton);

    ASSERT_TRUE(window->outcome().patch);
    EXPECT_TRUE(window->outcome().patch->deviceIdChanged);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(Dialogs::shownMessages().isEmpty());
    const auto sets = m_sim.waitForReceived("S ", 1);
    ASSERT_EQ(sets.size(), 1);
    EXPECT_TRUE(sets[0].endsWith("/<SIOBaud>9</SIOBaud>/<DeviceID>Press-9</DeviceID>")) << sets[0].toStdString();
    EXPECT_EQ(m_sim.waitForReceived("U ", 5).size(), 5);

    const auto again = findSinglePortDevices();
    auto reloaded = open(again.at("frmSetupPl778"));
    EXPECT_EQ(find<QComboBox>(*reloaded, "cmbSioBaud")->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(find<QLineEdit>(*reloaded, "txtDeviceID")->text(), QStringLiteral("Press-9"));
    EXPECT_EQ(again.at("frmSetupPl778").search.deviceId, "Press-9");
}

class SinglePortDevsimSilent : public SinglePortDevsim {
protected:
    SinglePortDevsimSilent() : SinglePortDevsim({QStringLiteral("--no-answer-after-set")}) {}
};

TEST_F(SinglePortDevsimSilent, UnansweredUpdateLeavesTheWindowOpen)
{
    ASSERT_TRUE(m_sim.started()) << m_sim.allOutput().toStdString();
    auto devices = findSinglePortDevices();
    ASSERT_EQ(devices.count("frmSetupDn680"), 1u);
    auto window = open(devices.at("frmSetupDn680"));
    expectUnansweredUpdateKeepsEdit(*window, "RFChannel", QStringLiteral("21"));
    EXPECT_EQ(m_sim.waitForReceived("U ", 3).size(), 3);
}

} // namespace
} // namespace lv::test
