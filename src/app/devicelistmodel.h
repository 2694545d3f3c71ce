#pragma once

// Presents the device search to the two list views of the main window: column 0
// holds the lines of lstDev, column 1 the raw replies of the hidden lstDev2. One
// model for both keeps them paired index by index by construction.
//
// The answers of one read of the socket become rows in one insertion. All lines
// of lstDev are one line of text high, so the view needs one size for every
// line: as wide as the widest line seen since the list was cleared, found from
// the characters' advances as each line comes in rather than by laying out
// every line's text again.

#include "devicesearch.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QSize>

#include <array>
#include <string>

class QAbstractItemView;

namespace lv {

class DeviceListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { LineColumn = 0, RawColumn = 1 };

    explicit DeviceListModel(DeviceSearch& search, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Gives the lines of LineColumn the size they take in `view` (its font and
    // style), as Qt::SizeHintRole. Without a view the delegate measures each line.
    void measureLinesFor(const QAbstractItemView* view);

    // The size every line of LineColumn reports; invalid before the first line
    // or without a view to measure for.
    QSize lineSize() const;

private:
    void addRows(int first, int last);
    // Widens the line size to fit `line`; true when it grew.
    bool fit(const std::string& line);
    QSize naturalSize(const QString& text) const;

    DeviceSearch& m_search;
    int m_rows = 0;

    QPointer<const QAbstractItemView> m_view;
    std::array<double, 256> m_advance{}; // per Latin-1 character, in the view's font
    int m_padding = 0;                   // what the style adds around a line's text
    int m_lineHeight = 0;
    double m_widestAdvance = -1; // the largest sum of advances seen; -1 when none
    int m_lineWidth = 0;
};

} // namespace lv
