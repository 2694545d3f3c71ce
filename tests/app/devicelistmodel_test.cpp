// SPDX-License-Identifier: Apache-2.0
// The device-list model behind lstDev: one size for every line that fits the
// widest line as the style lays it out, and new lines inserted in batches.

#include "devicelistmodel.h"

#include "devicelist.h"
#include "fakedevice.h"
#include "printers.h"
#include "waitfor.h"

#include <QBrush>
#include <QListView>
#include <QPalette>
#include <QScrollBar>
#include <QStringListModel>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using Lan = FakeDevice;

QByteArray answer(int i, const QByteArray& ip, const QByteArray& id)
{
    return "AX 0.80.194.0." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250) + "/" + ip + "/" + id +
           "\r";
}

class DeviceListModelTest : public ::testing::Test {
protected:
    DeviceListModelTest() : search(state), model(search)
    {
        state.broadcast = QHostAddress(QHostAddress::LocalHost);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(7.5);
        view.setFont(font);
        view.setUniformItemSizes(true);
        view.setModel(&model);
        view.resize(400, 280);
        model.measureLinesFor(&view);
    }

    void searchOn(Lan& lan, int expected)
    {
        state.gCmdPort = lan.port();
        ASSERT_TRUE(search.start());
        LV_WAIT_EQ(model.rowCount(), expected, 5000);
    }

    // The size a view that measures every line gives each line of the model.
    QList<QSize> naturalSizes() const
    {
        QStringList lines;
        for (int r = 0; r < model.rowCount(); ++r)
            lines << model.index(r, lv::DeviceListModel::LineColumn).data().toString();
        QStringListModel plain(lines);
        QListView measuring;
        measuring.setFont(view.font());
        measuring.setModel(&plain);
        QList<QSize> sizes;
        for (int r = 0; r < plain.rowCount(); ++r)
            sizes << measuring.sizeHintForIndex(plain.index(r));
        return sizes;
    }

    lv::SessionState state;
    lv::DeviceSearch search;
    lv::DeviceListModel model;
    QListView view;
};

// The widest line decides wherever it stands; a tab widens a line beyond the sum of its characters.
struct WidestCase {
    const char* name;
    QList<QByteArray> answers;
};

void PrintTo(const WidestCase& c, std::ostream* os)
{
    *os << c.name;
}

class LineSizeTest : public DeviceListModelTest, public ::testing::WithParamInterface<WidestCase> {};

TEST_P(LineSizeTest, OneLineSizeFitsTheWidestLineExactly)
{
    Lan lan(GetParam().answers);
    searchOn(lan, static_cast<int>(GetParam().answers.size()));
    int widest = 0;
    for (const QSize& natural : naturalSizes()) {
        widest = qMax(widest, natural.width());
        EXPECT_EQ(natural.height(), model.lineSize().height());
    }
    EXPECT_GE(model.lineSize().width(), widest);
    EXPECT_LE(model.lineSize().width(), widest + 3);
    for (int r = 0; r < model.rowCount(); ++r) {
        EXPECT_EQ(model.index(r, lv::DeviceListModel::LineColumn).data(Qt::SizeHintRole).toSize(), model.lineSize());
        EXPECT_FALSE(model.index(r, lv::DeviceListModel::RawColumn).data(Qt::SizeHintRole).isValid());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineSizeTest,
    ::testing::Values(
        WidestCase{"Mixed",
                   {answer(0, "10.0.0.1", "DEV0001"), answer(1, "192.168.100.200", "PLANT-A0002"),
                    answer(2, "172.16.1.9", "A device ID much longer than the columns were made for, WWWW"),
                    answer(3, "10.0.0.4",
                           QByteArray("Stra\xdf"
                                      "e 4 \xe9t\xe9",
                                      12)),
                    answer(4, "10.0.0.5", "tab\there"), answer(5, "10.0.0.6", "")}},
        // The tabbed line has fewer characters than the plain one and is wider as laid out.
        WidestCase{"TabbedFirst",
                   {answer(1, "10.9.0.1", QByteArray(8, '\t') + "T"), answer(2, "10.9.0.2", QByteArray(29, 'm'))}},
        WidestCase{"TabbedAfterALongerLine",
                   {answer(1, "10.9.0.1", QByteArray(29, 'm')), answer(2, "10.9.0.2", QByteArray(8, '\t') + "T")}},
        WidestCase{"ThreeTabsAfterALongerLine",
                   {answer(1, "10.9.0.1", QByteArray(7, 'm')), answer(2, "10.9.0.2", QByteArray(3, '\t') + "T")}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DeviceListModelTest, ALongLineScrollsToItsEndInTheView)
{
    Lan lan({answer(0, "10.0.0.1", "DEV1"), answer(1, "10.0.0.2", QByteArray(120, 'W')), answer(2, "10.0.0.3", "D")});
    view.show();
    searchOn(lan, 3);
    const int natural = naturalSizes().value(1).width();
    ASSERT_GT(natural, view.viewport()->width());
    LV_WAIT_TRUE(view.horizontalScrollBar()->maximum() > 0, 2000);
    EXPECT_GE(view.horizontalScrollBar()->maximum() + view.viewport()->width(), natural);
}

TEST_F(DeviceListModelTest, ARewrittenLineThatIsWiderWidensEveryLine)
{
    Lan lan({answer(0, "10.0.0.1", "DEV1"), answer(1, "10.0.0.2", "DEV2")});
    searchOn(lan, 2);
    const int before = model.lineSize().width();
    const std::string longer = search.devices().line(1) + std::string(40, 'M');
    search.setLine(1, longer);
    EXPECT_GT(model.lineSize().width(), before);
    EXPECT_GE(model.lineSize().width(), naturalSizes().value(1).width());
    // A new search starts from its own lines.
    lan.answerEveryDatagramWith({answer(7, "10.0.0.7", "D")});
    searchOn(lan, 1);
    EXPECT_LT(model.lineSize().width(), before);
}

TEST_F(DeviceListModelTest, ABurstOfAnswersBecomesAFewInsertionsPairedWithTheirReplies)
{
    QList<QByteArray> answers;
    for (int i = 0; i < 3000; ++i)
        answers << answer(i, "10.0." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250),
                          "DEV" + QByteArray::number(i));
    Lan lan(answers);
    int insertions = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &model, [&] { ++insertions; });
    searchOn(lan, 3000);
    EXPECT_LE(insertions, 30);
    for (int r = 0; r < model.rowCount(); r += 97) {
        const auto row = static_cast<std::size_t>(r);
        EXPECT_EQ(model.index(r, lv::DeviceListModel::LineColumn).data().toString().toStdString(),
                  search.devices().line(row));
        EXPECT_EQ(model.index(r, lv::DeviceListModel::RawColumn).data().toString().toLatin1().toStdString(),
                  search.devices().raw(row));
    }
}

// A line is shown whole up to 512 characters, a longer one ends in an ellipsis; lstDev2 keeps it whole.
class LineLengthTest : public DeviceListModelTest, public ::testing::WithParamInterface<int> {};

TEST_P(LineLengthTest, ALineIsShownWholeUpToTheLimit)
{
    const int length = GetParam();
    const std::size_t base = lv::deviceListLine("00-50-C2-00-00-01", "10.9.0.1", "").size();
    ASSERT_LT(base, static_cast<std::size_t>(length));
    // The device ID ends in a mark, so a cut anywhere shows.
    const QByteArray id = QByteArray(length - static_cast<int>(base) - 1, 'd') + 'Z';
    Lan lan({answer(1, "10.9.0.1", id)});
    searchOn(lan, 1);
    const std::string& line = search.devices().line(0);
    ASSERT_EQ(line.size(), static_cast<std::size_t>(length));
    const QString text = model.index(0, lv::DeviceListModel::LineColumn).data().toString();
    const int whole = std::min(length, 512);
    EXPECT_EQ(text.size(), whole);
    EXPECT_EQ(text.left(length > 512 ? 511 : whole), QString::fromLatin1(line.data(), length > 512 ? 511 : whole));
    EXPECT_EQ(text.back() == QChar(0x2026), length > 512);
    EXPECT_EQ(model.index(0, lv::DeviceListModel::RawColumn).data().toString().toLatin1(), answer(1, "10.9.0.1", id));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LineLengthTest, ::testing::Values(100, 511, 512, 513, 2000));

// The first lines of every search show in the turn they arrive.
class FirstLinesTest : public DeviceListModelTest, public ::testing::WithParamInterface<int> {};

TEST_P(FirstLinesTest, TheFirstAnswersShowAtOnce)
{
    QList<QByteArray> answers;
    for (int i = 1; i <= GetParam(); ++i)
        answers << answer(i, "10.9.0." + QByteArray::number(i), "First-" + QByteArray::number(i));
    Lan lan(answers);
    state.gCmdPort = lan.port();
    for (int round = 0; round < 2; ++round) {
        // What the list holds when the search reports its first batch (the model is told first: it was
        // connected first).
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

INSTANTIATE_TEST_SUITE_P(Batches, FirstLinesTest, ::testing::Values(1, 4));

} // namespace

namespace {

// A line whose IP another device answers with too is marked in a red that reads on the list's base,
// light or dark: contrast at least 4.5:1.
class ConflictColourTest : public DeviceListModelTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ConflictColourTest, MarkedLinesKeepTheirContrast)
{
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, QColor(QString::fromLatin1(GetParam())));
    palette.setColor(QPalette::Text, palette.color(QPalette::Base).lightness() < 128 ? Qt::white : Qt::black);
    view.setPalette(palette);
    Lan lan({answer(0, "10.0.0.1", "DEV0001"), answer(1, "10.0.0.1", "DEV0002"), answer(2, "10.0.0.3", "DEV0003")});
    searchOn(lan, 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.index(0, 0).data(Qt::ForegroundRole).isValid(); }, 2000));
    for (int row : {0, 1}) {
        const QColor red = model.index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color();
        EXPECT_GE(lv::DeviceListModel::contrast(red, palette.color(QPalette::Base)), 4.5) << red.name().toStdString();
        EXPECT_GT(red.red(), std::max(red.green(), red.blue()) + 50) << "still a red: " << red.name().toStdString();
    }
    EXPECT_FALSE(model.index(2, 0).data(Qt::ForegroundRole).isValid());
}

INSTANTIATE_TEST_SUITE_P(Bases, ConflictColourTest,
                         ::testing::Values("#ffffff", "#f0f0f0", "#e0e0e0", "#353535", "#2b2b2b", "#1e1e1e", "#000000",
                                           "#3c3f41"));

TEST(ConflictContrast, RatiosOfKnownPairs)
{
    EXPECT_NEAR(lv::DeviceListModel::contrast(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(lv::DeviceListModel::contrast(QColor(0xC0, 0, 0), Qt::white), 6.5, 0.1);
    EXPECT_NEAR(lv::DeviceListModel::contrast(Qt::white, Qt::white), 1.0, 0.001);
}

} // namespace
