// SPDX-License-Identifier: Apache-2.0
// A third multi-port family, defined here and nowhere else: a catalogue record is all it takes for the
// model table to serve it, the simulated devices to answer as it, and the main window to open, send
// and unload its windows by the family's rules. Its own executable: the family stays added for the
// rest of the process.

#include "catalogue.h"
#include "inprocesslan.h"
#include "mainwindow.h"
#include "modeltable.h"
#include "multiportwindow.h"
#include "printers.h"
#include "windowhost.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using namespace std::string_literals;

lv::FamilyDef txFamily()
{
    lv::FamilyDef f;
    f.name = "TX-8x00";
    f.modelTableRow = 16;
    f.loaderName = "LoadTx8x00Config";
    f.keys = {"TX-8100", "TX-8200", "TX-8300", "TX-8400"};
    f.models = {"TX-8100", "TX-8200", "TX-8300", "TX-8400"};
    f.windows = {"frmTX8100Setup", "frmTX8200Setup", "frmTX8300Setup", "frmTX8400Setup"};
    lv::FieldDef power;
    power.control = "TxPower";
    power.tag = "TxPower";
    power.label = "Transmit power";
    power.unit = "dBm";
    power.rule = lv::LoadRule::Multi;
    lv::SampleValue sample;
    sample.text = "17";
    power.sample = sample;
    f.extraFields = {power};
    return f;
}

const lv::FamilyDef& addedFamily()
{
    static const lv::FamilyDef& family = lv::addFamily(txFamily());
    return family;
}

TEST(ThirdFamily, TheModelTableServesItByItsRecordAlone)
{
    const lv::FamilyDef& family = addedFamily();
    for (int ports = 1; ports <= 4; ++ports) {
        const lv::ModelDispatch d = lv::dispatchModel(family.models[static_cast<std::size_t>(ports - 1)]);
        EXPECT_EQ(d.family, &family) << ports;
        EXPECT_EQ(d.portCount, ports);
        EXPECT_EQ(d.row, 16);
        EXPECT_EQ(d.loaderName, "LoadTx8x00Config");
        ASSERT_NE(d.windowDef, nullptr);
        EXPECT_EQ(d.windowDef->name, family.windows[static_cast<std::size_t>(ports - 1)]);
        EXPECT_EQ(d.windowDef->portCount, ports);
        // The shared general block, then the family's own field, then its ports.
        EXPECT_EQ(d.windowDef->fields.size(), lv::sharedGeneralFields().size() + 1 + 11 * std::size_t(ports));
        EXPECT_EQ(d.windowDef->itemOrder[lv::sharedGeneralFields().size()], "TxPower");
    }
    // The two families the devices come in are served as before.
    EXPECT_EQ(lv::dispatchModel("KR-7800").windowDef->name, "frm2PortSetup");
    EXPECT_EQ(lv::dispatchModel("KR-7800A").windowDef->name, "frmKR7800ASetup");
    EXPECT_EQ(lv::dispatchModel("TX-800").row, 15);
}

// Adds the family before the simulated LAN of the fixture picks its default mix of models.
struct WithThirdFamily : ::testing::Test {
    WithThirdFamily() { (void)addedFamily(); }
};

class ThirdFamilyWindows : public WithThirdFamily {
protected:
    ThirdFamilyWindows()
    {
        state.broadcast = InProcessLan::broadcastAddress();
        state.gCmdPort = lan.port();
        window = std::make_unique<lv::MainWindow>(state);
        window->show();
        lstDev = window->findChild<QListView*>(QStringLiteral("lstDev"));
    }
    ~ThirdFamilyWindows() override { lv::WindowHost::setObserver({}); }

    int rows() const { return lstDev->model()->rowCount(); }

    // The list row of the simulated device of `model`.
    int rowOf(const std::string& model)
    {
        for (const lv::Device& device : lan.devices())
            if (device.model == model)
                for (int r = 0; r < rows(); ++r)
                    if (lstDev->model()->index(r, lstDev->modelColumn()).data().toString().mid(6, 17) ==
                        QString::fromStdString(device.mac.text()))
                        return r;
        return -1;
    }

    // Double-clicks the row; `act` runs on the window that shows. Returns its name.
    QString open(int row, std::function<void(lv::SetupWindow*)> act)
    {
        QString shown;
        lv::WindowHost::setObserver([&shown, act](QDialog* d) {
            shown = d->objectName();
            auto* w = qobject_cast<lv::SetupWindow*>(d);
            QTimer::singleShot(0, d, [w, act] { act(w); });
        });
        const QModelIndex index = lstDev->model()->index(row, 0);
        lstDev->scrollTo(index);
        QTest::mouseClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
        QTest::mouseDClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
        lv::WindowHost::setObserver({});
        return shown;
    }

    static void press(lv::SetupWindow* w, const char* button)
    {
        QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    QStringList loadedWindows() { return window->windows().loadedNames(); }

    InProcessLan lan;
    lv::SessionState state;
    std::unique_ptr<lv::MainWindow> window;
    QListView* lstDev = nullptr;
};

TEST_F(ThirdFamilyWindows, OpensSendsAndUnloadsByTheFamilysRules)
{
    ASSERT_TRUE(lan.started()) << lan.error().toStdString();
    ASSERT_EQ(lan.devices().size(), 25u) << "one device of each of the 21 models and of the 4 added ones";
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    const int expected = static_cast<int>(lan.devices().size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() >= expected; }, 5000)) << rows() << " of " << expected;

    // The three-port device: its window shows the family's field as the device answered it, and the
    // ports it has; the Update sends the changed item after the multi-port header and one "U ".
    const int row = rowOf("TX-8300");
    ASSERT_GE(row, 0);
    QString power;
    bool hasPort3 = false;
    bool hasPort4 = true;
    QStringList loadedWhileShown;
    const QString shown = open(row, [&](lv::SetupWindow* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("TxPower"));
        power = edit ? edit->text() : QStringLiteral("(none)");
        hasPort3 = w->findChild<QComboBox*>(QStringLiteral("COM3_Baud")) != nullptr;
        hasPort4 = w->findChild<QComboBox*>(QStringLiteral("COM4_Baud")) != nullptr;
        loadedWhileShown = loadedWindows();
        if (edit) {
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("20"));
        }
        press(w, "cmdUpdate");
    });
    EXPECT_EQ(shown, QStringLiteral("frmTX8300Setup"));
    EXPECT_EQ(power, QStringLiteral("17"));
    EXPECT_TRUE(hasPort3);
    EXPECT_FALSE(hasPort4);
    EXPECT_EQ(loadedWhileShown, (QStringList{QStringLiteral("frmTX8100Setup"), QStringLiteral("frmTX8200Setup"),
                                             QStringLiteral("frmTX8300Setup"), QStringLiteral("frmTX8400Setup")}));
    const QList<QByteArray> sets = lan.waitForReceived("S ", 1);
    ASSERT_EQ(sets.size(), 1);
    const std::string header = "S " + state.MultiPortSnapshot["MacAddress"] + "/" + state.MultiPortSnapshot["krIP"] +
                               "/" + state.MultiPortSnapshot["krPassword"];
    EXPECT_EQ(sets[0].toStdString(), header + "\0"s + "/<TxPower>20</TxPower>");
    EXPECT_EQ(lan.waitForReceived("U ", 1).size(), 1);
    // The device took it.
    const lv::Device* device = nullptr;
    for (const lv::Device& d : lan.devices())
        if (d.model == "TX-8300")
            device = &d;
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->setting("TxPower"), "20");
    // The Update unloaded the shown window only.
    EXPECT_EQ(loadedWindows(), (QStringList{QStringLiteral("frmTX8100Setup"), QStringLiteral("frmTX8200Setup"),
                                            QStringLiteral("frmTX8400Setup")}));

    // The Cancel of the four-port window unloads the whole family.
    const int four = rowOf("TX-8400");
    ASSERT_GE(four, 0);
    EXPECT_EQ(open(four, [](lv::SetupWindow* w) { press(w, "cmdCancel"); }), QStringLiteral("frmTX8400Setup"));
    EXPECT_TRUE(loadedWindows().isEmpty()) << loadedWindows().join(QLatin1Char(' ')).toStdString();

    // And the main window's close unloads it with the others.
    EXPECT_EQ(open(rowOf("TX-8100"), [](lv::SetupWindow* w) { press(w, "cmdCancel"); }),
              QStringLiteral("frmTX8100Setup"));
    EXPECT_FALSE(loadedWindows().isEmpty());
    window->close();
    EXPECT_TRUE(loadedWindows().isEmpty());
}

} // namespace
