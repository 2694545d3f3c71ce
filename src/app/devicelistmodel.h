// SPDX-License-Identifier: Apache-2.0
#pragma once

// Presents the device search to the two list views of the main window: column 0
// holds the lines of lstDev, column 1 the raw replies of the hidden lstDev2. One
// model for both keeps them paired index by index by construction.
//
// New lines join the list in batches: the first ones at once, later ones when
// answers pause for a moment, or when the oldest has waited a tenth of a second
// (half a second while the view shows lines above the end and new ones would
// only move its scroll bar). A list view then lays itself out and repaints a
// few times a second rather than once per answer. All lines
// of lstDev are one line of text high, so the view needs one size for every
// line: as wide as the widest line seen since the list was cleared, found from
// the characters' advances as each line comes in rather than by laying out
// every line's text again. A line whose IP address is answered by another MAC
// as well, or whose MAC answers from another IP address too, shows in the
// conflict colour, with a tip that says why.

#include "devicesearch.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QElapsedTimer>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <array>
#include <functional>
#include <string>

class QAbstractItemView;

namespace lv {

class DeviceListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { LineColumn = 0, RawColumn = 1 };

    explicit DeviceListModel(DeviceSearch& search, QObject* parent = nullptr);

    // The text colour (Qt::ForegroundRole) of a line whose IP address another MAC answers with too:
    // a red that keeps a contrast of at least 4.5:1 on the palette's base, light or dark.
    static QColor conflictColour(const QPalette& palette);
    // The same for the application's palette.
    static QColor conflictColour();
    // The contrast ratio of two colours, 1 to 21 (WCAG 2).
    static double contrast(const QColor& a, const QColor& b);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Type-ahead in the list: a line matches text that starts its MAC text, its IP address or its
    // device ID (every line starts with blanks, so its own start would never match).
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

    // Gives the lines of LineColumn the size they take in `view` (its font and
    // style), as Qt::SizeHintRole. Without a view the delegate measures each line.
    void measureLinesFor(const QAbstractItemView* view);

    // How wide a line is drawn when the view lays its parts out in columns (the style's margins
    // included; 0 for a line it draws as plain text). The line size covers that width too.
    void setDrawnWidth(std::function<int(std::string_view)> drawnWidth);
    // Measures the lines again, as after a change of the view's font.
    void remeasure();

    // The size every line of LineColumn reports; invalid before the first line
    // or without a view to measure for.
    QSize lineSize() const;

    // How long answers must pause before the lines waiting are shown, and how
    // long a line waits at most.
    static constexpr int kQuietMs = 25;
    static constexpr int kLongestWaitMs = 100;
    static constexpr int kLongestHiddenWaitMs = 500;

private:
    void devicesAdded(int last);
    // Inserts the lines that wait, in one insertion.
    void insertPending();
    // True when lines appended now would be in sight in the view.
    bool endInView() const;
    // Widens the line size to fit `line`; true when it grew.
    bool fit(const std::string& line);
    QSize naturalSize(const QString& text) const;

    DeviceSearch& m_search;
    int m_rows = 0;
    int m_pendingLast = -1; // the last line waiting to be inserted; -1 when none
    QElapsedTimer m_pendingSince;
    QTimer m_insertTimer;

    QPointer<const QAbstractItemView> m_view;
    std::array<double, 256> m_advance{}; // per Latin-1 character, in the view's font
    int m_padding = 0;                   // what the style adds around a line's text
    int m_lineHeight = 0;
    double m_widestAdvance = -1; // the largest sum of advances seen; -1 when none
    int m_lineWidth = 0;
    std::function<int(std::string_view)> m_drawnWidth;
};

} // namespace lv
