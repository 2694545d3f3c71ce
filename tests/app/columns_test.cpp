// SPDX-License-Identifier: Apache-2.0
// The device list's columns under their captions, measured in pixels as drawn, in the default font
// and in a larger one; and the window wide enough that no standard line is cut.

#include "mainwindowfixture.h"

#include "devicelinedelegate.h"
#include "latin1.h"

#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>

namespace {

// Where runs of ink start along `band` of `image`: columns holding a pixel unlike the band's
// background, runs parted by more than `gap` blank columns.
QList<int> inkRuns(const QImage& image, const QRect& band, int gap)
{
    const QRgb background = image.pixel(band.left(), band.top());
    QList<int> starts;
    int lastInk = band.left() - gap - 2;
    for (int x = band.left(); x <= band.right(); ++x) {
        bool ink = false;
        for (int y = band.top(); y <= band.bottom() && !ink; ++y)
            ink = qAbs(qGray(image.pixel(x, y)) - qGray(background)) > 60;
        if (!ink)
            continue;
        if (x - lastInk > gap)
            starts << x;
        lastInk = x;
    }
    return starts;
}

int lastInk(const QImage& image, const QRect& band)
{
    const QRgb background = image.pixel(band.left(), band.top());
    for (int x = band.right(); x >= band.left(); --x)
        for (int y = band.top(); y <= band.bottom(); ++y)
            if (qAbs(qGray(image.pixel(x, y)) - qGray(background)) > 60)
                return x;
    return -1;
}

// The point size of the window's font; 0 keeps the application's.
class ColumnsTest : public MainWindowFixture, public ::testing::WithParamInterface<double> {
protected:
    ColumnsTest()
    {
        if (GetParam() > 0) {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPointSizeF(GetParam());
            window->setFont(font);
        }
        searchFor();
        lstDev->doItemsLayout(); // as the list's next turn would: a grab before it shows no line
    }
};

// And each part of a line is drawn pixel for pixel as a label in the list's font and colours draws it.
TEST_P(ColumnsTest, CaptionsStandOverTheirColumns)
{
    const QImage list = lstDev->viewport()->grab().toImage();
    const int gap = lstDev->fontMetrics().horizontalAdvance(QStringLiteral("00"));
    const int viewportLeft = lstDev->viewport()->mapTo(window.get(), QPoint()).x();
    QList<int> captions;
    for (int i = 0; i < 3; ++i) {
        auto* header = window->findChild<QLabel*>(QStringLiteral("Label1_%1").arg(i));
        const QImage image = header->grab().toImage();
        const QList<int> runs = inkRuns(image, image.rect(), image.width());
        ASSERT_EQ(runs.size(), 1) << i;
        captions << header->mapTo(window.get(), QPoint(runs[0], 0)).x() - viewportLeft;
    }
    const auto* delegate = qobject_cast<lv::DeviceLineDelegate*>(lstDev->itemDelegate());
    QLabel label(lstDev); // in the list's font, never shown
    label.setBackgroundRole(QPalette::Base);
    label.setAutoFillBackground(true);
    for (int row = 0; row < 5; ++row) {
        const QRect band = lstDev->visualRect(lstDev->model()->index(row, 0)).intersected(list.rect());
        const QList<int> runs = inkRuns(list, band, gap);
        ASSERT_GE(runs.size(), 3) << latin1(line(row));
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(runs[i], captions[i], 2) << "column " << i << " of " << latin1(line(row));
            const int left = band.left() + delegate->partLeft(lv::DeviceLineDelegate::Part(i));
            label.setText((*lv::DeviceLineDelegate::parts(line(row)))[i]);
            label.resize(label.sizeHint().width(), band.height());
            EXPECT_EQ(list.copy(QRect(QPoint(left, band.top()), label.size())), label.grab().toImage())
                << i << " drawn";
        }
    }
}

TEST_P(ColumnsTest, TheWindowShowsTheWidestStandardLineWhole)
{
    auto* delegate = qobject_cast<lv::DeviceLineDelegate*>(lstDev->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    // With a vertical scroll bar, as a long list has.
    const int extent = lstDev->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lstDev);
    const int room = lstDev->viewport()->width() - (lstDev->verticalScrollBar()->isVisible() ? 0 : extent);
    EXPECT_LE(delegate->drawnWidth(lv::toLatin1(delegate->widestStandardLine())), room);
    EXPECT_EQ(lstDev->horizontalScrollBar()->maximum(), 0);
    // Every line in sight ends inside the list.
    const QImage list = lstDev->viewport()->grab().toImage();
    for (int row = 0; row < rows(); ++row) {
        const QRect band = lstDev->visualRect(lstDev->model()->index(row, 0)).intersected(list.rect());
        if (band.height() < 4)
            continue;
        EXPECT_LT(lastInk(list, band), room - 2) << latin1(line(row));
    }
    // The button shows its caption whole.
    auto* search = window->findChild<QPushButton*>(QStringLiteral("cmdSearch"));
    EXPECT_GE(search->width(), search->sizeHint().width());
}

INSTANTIATE_TEST_SUITE_P(Fonts, ColumnsTest, ::testing::Values(0.0, 11.0),
                         [](const ::testing::TestParamInfo<double>& tp) {
                             return tp.param > 0 ? std::string("Points") + std::to_string(int(tp.param))
                                                 : std::string("Default");
                         });

} // namespace
