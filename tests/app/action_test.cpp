// SPDX-License-Identifier: Apache-2.0
// A device action is offered by both front ends from its row in the action table alone: the CLI's
// command and the window's menu entry run its exchange on a simulated device and end as the row says.
// Its own executable: the made-up action stays added.

#include "askaction.h"
#include "cli.h"
#include "inprocesslan.h"
#include "mainwindowdriver.h"
#include "messagelog.h"

#include <QAction>
#include <QTextStream>

const lv::ActionKind kAsk = askAction();

namespace {

class ActionFrontEnds : public MainWindowDriver {
protected:
    void SetUp() override { ASSERT_TRUE(lan.started()) << lan.error().toStdString(); }
    QString mac()
    {
        return QString::fromStdString(lan.devices().front().macAddressText())
            .replace(QLatin1Char(':'), QLatin1Char('-'));
    }
    QString silence() { return QStringLiteral("silent@") + QString::fromStdString(lan.devices().front().macField()); }
    InProcessLan lan;
};

TEST_F(ActionFrontEnds, TheCommandRunsTheRowsExchange)
{
    for (const bool silent : {false, true}) {
        if (silent) {
            ASSERT_TRUE(lan.addFault(silence()));
        }
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int code = lv::runCli({QStringLiteral("--broadcast"), InProcessLan::broadcastAddress().toString(),
                                     QStringLiteral("--port"), QString::number(lan.port()), QStringLiteral("--wait"),
                                     QStringLiteral("300"), QStringLiteral("ask"), mac()},
                                    outStream, errStream);
        outStream.flush();
        errStream.flush();
        EXPECT_EQ(code, silent ? lv::kExitNoAnswer : lv::kExitDone) << err.toStdString();
        EXPECT_EQ(out, silent ? QString() : mac() + QStringLiteral(": loaded\n"));
        EXPECT_EQ(err.contains(QStringLiteral("did not answer again")), silent) << err.toStdString();
    }
    EXPECT_TRUE(lv::usageText(100).contains(QStringLiteral("  ask")));
}

TEST_F(ActionFrontEnds, TheMenuEntryRunsItOnTheSelectedDevice)
{
    openWindow(InProcessLan::broadcastAddress(), lan.port());
    ASSERT_TRUE(searchFor(static_cast<int>(lan.devices().size())));
    auto* entry = window->findChild<QAction*>(QStringLiteral("mnuAction_ask"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("&Ask Again"));
    int row = 0;
    while (row < rows() && !line(row).contains(mac()))
        ++row;
    selectRow(row);
    for (const bool silent : {false, true}) {
        if (silent) {
            ASSERT_TRUE(lan.addFault(silence()));
        }
        entry->trigger();
        const lv::MessageLog::Entry& said = window->messageLog().entries().back();
        EXPECT_EQ(said.text,
                  mac() + (silent ? QStringLiteral(" did not answer again") : QStringLiteral(" answered again")));
        EXPECT_EQ(said.problem, silent);
    }
}

} // namespace
