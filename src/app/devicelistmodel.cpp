#include "devicelistmodel.h"

namespace lv {

DeviceListModel::DeviceListModel(DeviceSearch& search, QObject* parent) : QAbstractTableModel(parent), m_search(search)
{
    connect(&m_search, &DeviceSearch::cleared, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
    connect(&m_search, &DeviceSearch::deviceAdded, this, [this](int index) {
        beginInsertRows({}, index, index);
        m_rows = index + 1;
        endInsertRows();
    });
    connect(&m_search, &DeviceSearch::lineChanged, this,
            [this](int row) { Q_EMIT dataChanged(this->index(row, LineColumn), this->index(row, RawColumn)); });
}

int DeviceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DeviceListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows)
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    const std::string& text = index.column() == LineColumn ? m_search.devices().line(row) : m_search.devices().raw(row);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace lv
