// SPDX-License-Identifier: Apache-2.0
// The device list as lstDev shows it: a line is shown whole up to its limit, the first lines of a
// search appear at once, and the one line size fits every line however the style lays it out.

#include "devicelistmodel.h"

#include "answeringpeer.h"
#include "devicelist.h"
#include "printers.h"
#include "waitfor.h"

#include <QListView>
#include <QStringListModel>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace {

QByteArray answer(int i, const QByteArray& id)
{
    return "AX 0.80.194.0.9." + QByteArray::number(i) + "/10.9.0." + QByteArray::number(i) + "/" + id + "\r";
}

class DeviceListPin : public ::testing::Test {
protected:
    DeviceListPin() : search(state), model(search)
    {
        state.broadcast = QHostAddress(QHostAddress::LocalHost);
        view.setUniformItemSizes(true);
        view.setModel(&model);
        view.resize(400, 280);
        model.measureLinesFor(&view);
    }

    void searchOn(AnsweringPeer& lan, int expected)
    {
        state.gCmdPort = lan.port();
        ASSERT_TRUE(search.start());
        LV_WAIT_EQ(model.rowCount(), expected, 5000);
    }

    // The width a view that measures the line on its own gives it.
    int naturalWidth(const QString& line) const
    {
        QStringListModel plain({line});
        QListView measuring;
        measuring.setFont(view.font());
        measuring.setModel(&plain);
        return measuring.sizeHintForIndex(plain.index(0)).width();
    }

    QString shown(int row) const { return model.index(row, lv::DeviceListModel::LineColumn).data().toString(); }

    lv::SessionState state;
    lv::DeviceSearch search;
    lv::DeviceListModel model;
    QListView view;
};

// ---- a line is shown whole up to 512 characters, longer ones end in an ellipsis

class DeviceListLengthPin : public DeviceListPin, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceListLengthPin, ALineIsShownWholeUpToTheLimit)
{
    const int length = GetParam();
    const std::size_t base = lv::deviceListLine("00-50-C2-00-09-01", "10.9.0.1", "").size();
    ASSERT_LT(base, static_cast<std::size_t>(length));
    // The device ID ends in a mark, so a cut anywhere shows.
    QByteArray id(length - static_cast<int>(base) - 1, 'd');
    id += 'Z';
    AnsweringPeer lan({answer(1, id)});
    searchOn(lan, 1);
    const std::string& line = search.devices().line(0);
    ASSERT_EQ(line.size(), static_cast<std::size_t>(length));
    const QString text = shown(0);
    if (length <= 512) {
        EXPECT_EQ(text, QString::fromLatin1(line.data(), length));
    } else {
        EXPECT_EQ(text.size(), 512);
        EXPECT_EQ(text.left(511), QString::fromLatin1(line.data(), 511));
        EXPECT_EQ(text.back(), QChar(0x2026));
    }
    // lstDev2's column keeps the reply whole, however long.
    EXPECT_EQ(model.index(0, lv::DeviceListModel::RawColumn).data().toString().toLatin1(), answer(1, id));
}

INSTANTIATE_TEST_SUITE_P(Lengths, DeviceListLengthPin, ::testing::Values(100, 511, 512, 513, 2000));

// ---- the first lines of every search show in the turn they arrive

class DeviceListFirstLinesPin : public DeviceListPin, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceListFirstLinesPin, TheFirstAnswersShowAtOnce)
{
    QList<QByteArray> answers;
    for (int i = 1; i <= GetParam(); ++i)
        answers << answer(i, "First-" + QByteArray::number(i));
    AnsweringPeer lan(answers);
    state.gCmdPort = lan.port();
    for (int round = 0; round < 2; ++round) {
        // What the list holds when the search has just reported its first batch of devices (the model
        // is told first: it was connected first).
        int rowsAtFirstBatch = -1;
        const QMetaObject::Connection c =
            QObject::connect(&search, &lv::DeviceSearch::devicesAdded, &model, [&](int first, int) {
                if (first == 0)
                    rowsAtFirstBatch = model.rowCount();
            });
        ASSERT_TRUE(search.start());
        EXPECT_EQ(model.rowCount(), 0);
        LV_WAIT_TRUE(rowsAtFirstBatch >= 0, 2000);
        QObject::disconnect(c);
        EXPECT_GT(rowsAtFirstBatch, 0) << "search " << round << ": the first lines waited";
        LV_WAIT_EQ(model.rowCount(), GetParam(), 2000);
    }
}

INSTANTIATE_TEST_SUITE_P(Batches, DeviceListFirstLinesPin, ::testing::Values(1, 4));

// ---- a tab widens a line beyond the sum of its characters: the line size still fits it

struct TabCase {
    const char* name;
    bool tabbedFirst;
    int tabs;
    int plainExtra; // characters the plain line has beyond the tabbed line's count
};

void PrintTo(const TabCase& c, std::ostream* os)
{
    *os << c.name;
}

class DeviceListTabPin : public DeviceListPin, public ::testing::WithParamInterface<TabCase> {};

TEST_P(DeviceListTabPin, TheLineSizeFitsALineWithTabs)
{
    const TabCase& c = GetParam();
    // The plain line has more characters than the tabbed one, the tabbed one is wider as laid out.
    const QByteArray plain = QByteArray(c.tabs + 1 + c.plainExtra, 'm');
    const QByteArray tabbed = QByteArray(c.tabs, '\t') + "T";
    const QList<QByteArray> answers = c.tabbedFirst ? QList<QByteArray>{answer(1, tabbed), answer(2, plain)}
                                                    : QList<QByteArray>{answer(1, plain), answer(2, tabbed)};
    AnsweringPeer lan(answers);
    searchOn(lan, 2);
    const int tabbedRow = c.tabbedFirst ? 0 : 1;
    const int tabbedWidth = naturalWidth(shown(tabbedRow));
    const int plainWidth = naturalWidth(shown(1 - tabbedRow));
    ASSERT_GT(tabbedWidth, plainWidth) << "the style does not widen tabs: nothing to check";
    EXPECT_GE(model.lineSize().width(), tabbedWidth);
    EXPECT_LE(model.lineSize().width(), tabbedWidth + 3);
}

INSTANTIATE_TEST_SUITE_P(Orders, DeviceListTabPin,
                         ::testing::Values(TabCase{"TabbedFirst", true, 8, 20},
                                           TabCase{"TabbedAfterALongerLine", false, 8, 20},
                                           TabCase{"ThreeTabsAfterALongerLine", false, 3, 3}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
