#pragma once

// Presents the device search to the two list views of the main window: column 0
// holds the lines of lstDev, column 1 the raw replies of the hidden lstDev2. One
// model for both keeps them paired index by index by construction.

#include "devicesearch.h"

#include <QAbstractTableModel>

namespace lv {

class DeviceListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { LineColumn = 0, RawColumn = 1 };

    explicit DeviceListModel(DeviceSearch& search, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    DeviceSearch& m_search;
    int m_rows = 0;
};

} // namespace lv
