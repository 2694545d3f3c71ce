// SPDX-License-Identifier: Apache-2.0
// The multi-port families through the main window against the simulator: the four windows of a family
// filled and one shown, Update on the wire, Cancel and the family lifecycle, titles.

#include "mainwindowfixture.h"

#include "multiportwindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

#include <functional>
#include <ostream>

namespace {

using namespace std::string_literals;

class MultiPortFlow : public MainWindowFixture {
protected:
    MultiPortFlow() { searchFor(); }

    int rowOf(const char* model) { return rowOfSimulated(model); }

    // Opens the device at `row`; `act` runs on the shown window once its modal loop runs.
    QString open(int row, std::function<void(lv::SetupWindow*)> act) { return openAndEdit(row, act); }

    static void press(lv::SetupWindow* w, const char* button)
    {
        QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    QStringList loadedWindows() { return window->windows().loadedNames(); }

    QList<QByteArray> sentSince(int before, const QByteArray& prefix)
    {
        QList<QByteArray> out;
        for (const QByteArray& d : sim.received().mid(before))
            if (d.startsWith(prefix))
                out << d;
        return out;
    }
};

TEST_F(MultiPortFlow, TwoPortDeviceFillsTheFamilyAndShowsItsWindow)
{
    const int row = rowOf("KR-7800");
    ASSERT_GE(row, 0);
    QString port2In3, port2In4, port1In1, title, status;
    bool oneHasPort2 = true;
    const QString shown = open(row, [&](lv::SetupWindow* w) {
        auto* host = &window->windows();
        port2In3 = host->loaded("frm3PortSetup")->findChild<QLineEdit*>(QStringLiteral("COM2_RemoteHostIP"))->text();
        port2In4 = host->loaded("frm4PortSetup")->findChild<QLineEdit*>(QStringLiteral("COM2_RemoteHostIP"))->text();
        port1In1 = host->loaded("Frm1PortSetup")->findChild<QLineEdit*>(QStringLiteral("COM1_RemoteHostIP"))->text();
        oneHasPort2 = host->loaded("Frm1PortSetup")->findChild<QWidget*>(QStringLiteral("COM2_Baud")) != nullptr;
        title = w->windowTitle();
        status = window->statusBar()->currentMessage();
        press(w, "cmdCancel");
    });
    EXPECT_EQ(shown, QStringLiteral("frm2PortSetup"));
    EXPECT_EQ(status, QStringLiteral("2-port setup opened"));
    const QString ownPort2 = QString::fromLatin1(state.MultiPortSnapshot["COM2_RemoteHostIP"]);
    EXPECT_FALSE(ownPort2.isEmpty());
    EXPECT_EQ(port2In3, ownPort2);
    EXPECT_EQ(port2In4, ownPort2);
    EXPECT_EQ(port1In1, QString::fromLatin1(state.MultiPortSnapshot["COM1_RemoteHostIP"]));
    EXPECT_FALSE(oneHasPort2);
    EXPECT_EQ(title, QStringLiteral("2 Port Linkvane  ( MAC: ") + line(row).mid(6, 17) + QStringLiteral(" )") +
                         QString::fromStdString(window->lastAnswered()->modelVersion.version));
    // Cancel closed the two-port window only; the others stay loaded and hidden.
    EXPECT_EQ(loadedWindows(), (QStringList{QStringLiteral("Frm1PortSetup"), QStringLiteral("frm3PortSetup"),
                                            QStringLiteral("frm4PortSetup")}));
}

TEST_F(MultiPortFlow, UpdateSendsOnlyTheChangedPortItemAndOneUpdateCommand)
{
    const int row = rowOf("KR-7800");
    ASSERT_GE(row, 0);
    const int before = sim.received().size();
    int chosen = -1;
    const QString shown = open(row, [&](lv::SetupWindow* w) {
        auto* baud = w->findChild<QComboBox*>(QStringLiteral("COM2_Baud"));
        chosen = baud->currentIndex() == 6 ? 7 : 6;
        baud->setCurrentIndex(chosen);
        press(w, "cmdUpdate");
    });
    ASSERT_EQ(shown, QStringLiteral("frm2PortSetup"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sentSince(before, "U ").isEmpty(); }, 2000));
    const QList<QByteArray> sets = sentSince(before, "S ");
    ASSERT_EQ(sets.size(), 1);
    const std::string header = "S " + state.MultiPortSnapshot["MacAddress"] + "/" + state.MultiPortSnapshot["krIP"] +
                               "/" + state.MultiPortSnapshot["krPassword"];
    EXPECT_EQ(sets[0].toStdString(), header + "\0"s + "/<COM2_Baud>" + std::to_string(chosen) + "</COM2_Baud>");
    const QList<QByteArray> updates = sentSince(before, "U ");
    ASSERT_EQ(updates.size(), 1);
    EXPECT_EQ(updates[0].toStdString(), "U " + header.substr(2));
    EXPECT_FALSE(loadedWindows().contains(QStringLiteral("frm2PortSetup")));
    EXPECT_TRUE(loadedWindows().contains(QStringLiteral("frm4PortSetup")));
}

// The four-port window's Cancel unloads its own family, whichever it is, and leaves the other loaded.
struct FamilyCase {
    const char* name;
    const char* otherOnePort;  // loads the other family first (its one-port window is cancelled)
    const char* fourPortModel; // then this family's four-port window is cancelled
    const char* fourPortWindow;
    QStringList loadedAfter;
};

void PrintTo(const FamilyCase& c, std::ostream* os)
{
    *os << c.name;
}

class FamilyCancel : public MultiPortFlow, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(FamilyCancel, FourPortCancelUnloadsTheWholeFamilyOnly)
{
    const FamilyCase& c = GetParam();
    const auto cancel = [](lv::SetupWindow* w) { press(w, "cmdCancel"); };
    open(rowOf(c.otherOnePort), cancel);
    ASSERT_EQ(loadedWindows().size(), 3) << loadedWindows().join(u' ').toStdString();
    ASSERT_EQ(open(rowOf(c.fourPortModel), cancel), QString::fromLatin1(c.fourPortWindow));
    EXPECT_EQ(loadedWindows(), c.loadedAfter);
    window->close();
    EXPECT_TRUE(loadedWindows().isEmpty()) << "closing the main window unloads both families";
}

INSTANTIATE_TEST_SUITE_P(Families, FamilyCancel,
                         ::testing::Values(FamilyCase{"FamilyA",
                                                      "KR-7700",
                                                      "KR-7600A",
                                                      "frmKR7600ASetup",
                                                      {QStringLiteral("frm2PortSetup"), QStringLiteral("frm3PortSetup"),
                                                       QStringLiteral("frm4PortSetup")}},
                                           FamilyCase{"PlainFamily",
                                                      "KR-7700A",
                                                      "KR-7600",
                                                      "frm4PortSetup",
                                                      {QStringLiteral("frmKR7600ASetup"),
                                                       QStringLiteral("frmKR7800ASetup"),
                                                       QStringLiteral("frmKR7900ASetup")}}),
                         [](const auto& p) { return std::string(p.param.name); });

// Escape and the close box are the four-port window's Cancel: the family goes with them; in the
// two-port window they close that window alone, as its Cancel does.
TEST_F(MultiPortFlow, EscapeAndTheCloseBoxAreCancel)
{
    const std::function<void(lv::SetupWindow*)> ways[] = {
        [](lv::SetupWindow* w) { QTest::keyClick(w, Qt::Key_Escape); },
        [](lv::SetupWindow* w) { w->close(); },
    };
    for (const auto& way : ways) {
        ASSERT_EQ(open(rowOf("KR-7600"), way), QStringLiteral("frm4PortSetup"));
        EXPECT_EQ(loadedWindows(), (QStringList{}));
        ASSERT_EQ(open(rowOf("KR-7800"), way), QStringLiteral("frm2PortSetup"));
        EXPECT_EQ(loadedWindows(), (QStringList{QStringLiteral("Frm1PortSetup"), QStringLiteral("frm3PortSetup"),
                                                QStringLiteral("frm4PortSetup")}));
        window->windows().unloadAll();
    }
}

// A window the family kept loaded and hidden is titled for the device it shows when it shows again.
TEST_F(MultiPortFlow, AHiddenWindowIsTitledForTheDeviceItShows)
{
    const int two = rowOf("KR-7800");
    const int one = rowOf("KR-7700");
    ASSERT_GE(two, 0);
    ASSERT_GE(one, 0);
    open(two, [](lv::SetupWindow* w) { press(w, "cmdUpdate"); });
    const QString firstMac = line(two).mid(6, 17);
    QString title;
    ASSERT_EQ(open(one,
                   [&](lv::SetupWindow* w) {
                       title = w->windowTitle();
                       press(w, "cmdCancel");
                   }),
              QStringLiteral("Frm1PortSetup"));
    const QString version = QString::fromStdString(window->lastAnswered()->modelVersion.version);
    ASSERT_NE(line(one).mid(6, 17), firstMac);
    EXPECT_EQ(title,
              QStringLiteral("1 Port Linkvane  ( MAC: ") + line(one).mid(6, 17) + QStringLiteral(" )") + version);
}

TEST_F(MultiPortFlow, TheAFamilysOnePortTitleCarriesNoVersion)
{
    QString title;
    open(rowOf("KR-7700A"), [&](lv::SetupWindow* w) {
        title = w->windowTitle();
        press(w, "cmdCancel");
    });
    EXPECT_TRUE(title.startsWith(QStringLiteral("1 Port Linkvane  ( MAC: "))) << title.toStdString();
    EXPECT_TRUE(title.endsWith(QStringLiteral(" )"))) << title.toStdString();
}

} // namespace
