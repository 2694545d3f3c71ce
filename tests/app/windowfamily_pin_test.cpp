// SPDX-License-Identifier: Apache-2.0
// The multi-port families' lifecycle through the main window: the Cancel of a family's four-port
// window unloads that family, whichever it is, and leaves the other one loaded.

#include "mainwindowfixture.h"

#include "modeltable.h"

#include <functional>

namespace {

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

class FamilyCancelPin : public MainWindowFixture, public ::testing::WithParamInterface<FamilyCase> {
protected:
    FamilyCancelPin() { searchFor(); }

    int rowOf(const char* model) { return rowOfSimulated(model); }

    // Opens the device at `row`, presses Cancel in the window shown; returns that window's name.
    QString openAndCancel(int row)
    {
        return openAndEdit(row, [](lv::SetupWindow* w) {
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        });
    }
};

TEST_P(FamilyCancelPin, FourPortCancelUnloadsItsOwnFamily)
{
    const FamilyCase& c = GetParam();
    const int other = rowOf(c.otherOnePort);
    const int four = rowOf(c.fourPortModel);
    ASSERT_GE(other, 0);
    ASSERT_GE(four, 0);
    openAndCancel(other);
    ASSERT_EQ(window->windows().loadedNames().size(), 3) << window->windows().loadedNames().join(u' ').toStdString();
    ASSERT_EQ(openAndCancel(four), QString::fromLatin1(c.fourPortWindow));
    EXPECT_EQ(window->windows().loadedNames(), c.loadedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Families, FamilyCancelPin,
    ::testing::Values(FamilyCase{"FamilyA", "KR-7700", "KR-7600A", "frmKR7600ASetup",
                                 {QStringLiteral("frm2PortSetup"), QStringLiteral("frm3PortSetup"),
                                  QStringLiteral("frm4PortSetup")}},
                      FamilyCase{"PlainFamily", "KR-7700A", "KR-7600", "frm4PortSetup",
                                 {QStringLiteral("frmKR7600ASetup"), QStringLiteral("frmKR7800ASetup"),
                                  QStringLiteral("frmKR7900ASetup")}}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
