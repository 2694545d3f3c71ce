// SPDX-License-Identifier: Apache-2.0
// The device list as a model for lstDev and lstDev2: lines taken in batches, measured once, conflicts coloured.

#include "devicelistmodel.h"

#include "devicelinedelegate.h"
#include "latin1.h"

#include <QAbstractItemView>
#include <QBrush>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <cmath>

namespace lv {

namespace {

// A line is shown, and measured, up to this many characters: a device answering with a huge field
// cannot make the list measure or paint tens of kilobytes per line. lstDev2 keeps the reply whole.
constexpr std::size_t kShownLineLimit = 512;

std::string_view shownPart(const std::string& line)
{
    return std::string_view(line).substr(0, kShownLineLimit);
}

} // namespace

namespace {

double luminance(const QColor& colour)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

} // namespace

double DeviceListModel::contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor DeviceListModel::conflictColour(const QPalette& palette)
{
    // Reds from dark to light: the darkest that reads on a light base, the lightest on a dark one.
    static const QColor reds[] = {QColor(0xC0, 0x00, 0x00), QColor(0x99, 0x00, 0x00), QColor(0x70, 0x00, 0x00),
                                  QColor(0xFF, 0x7A, 0x7A), QColor(0xFF, 0x9E, 0x9E), QColor(0xFF, 0xC8, 0xC8)};
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const bool dark = luminance(base) < 0.18;
    QColor best = reds[0];
    const auto consider = [&](const QColor& red) {
        if (contrast(red, base) > contrast(best, base))
            best = red;
        return contrast(red, base) >= 4.5;
    };
    if (dark) {
        for (int i = 3; i < 6; ++i)
            if (consider(reds[i]))
                return reds[i];
    } else {
        for (int i = 0; i < 3; ++i)
            if (consider(reds[i]))
                return reds[i];
    }
    return best;
}

QColor DeviceListModel::conflictColour()
{
    return conflictColour(QGuiApplication::palette());
}

DeviceListModel::DeviceListModel(DeviceSearch& search, QObject* parent) : QAbstractTableModel(parent), m_search(search)
{
    m_insertTimer.setSingleShot(true);
    m_insertTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_insertTimer, &QTimer::timeout, this, &DeviceListModel::insertPending);
    connect(&m_search, &DeviceSearch::cleared, this, [this] {
        beginResetModel();
        m_insertTimer.stop();
        m_pendingLast = -1;
        m_rows = 0;
        m_widestAdvance = -1;
        m_lineWidth = 0;
        endResetModel();
    });
    connect(&m_search, &DeviceSearch::devicesAdded, this, [this](int, int last) { devicesAdded(last); });
    connect(&m_search, &DeviceSearch::conflictsChanged, this, [this] {
        if (m_rows > 0)
            Q_EMIT dataChanged(this->index(0, LineColumn), this->index(m_rows - 1, LineColumn),
                               {Qt::ForegroundRole, Qt::ToolTipRole});
    });
    connect(&m_search, &DeviceSearch::lineChanged, this, [this](int row) {
        if (row < 0 || row >= m_rows)
            return;
        if (fit(m_search.devices().line(static_cast<std::size_t>(row)))) {
            // A rewritten line became the widest: the view takes the new size
            // only when it lays its lines out again.
            Q_EMIT layoutAboutToBeChanged();
            Q_EMIT layoutChanged();
        }
        Q_EMIT dataChanged(this->index(row, LineColumn), this->index(row, RawColumn));
    });
}

void DeviceListModel::devicesAdded(int last)
{
    if (m_pendingLast < 0)
        m_pendingSince.start();
    m_pendingLast = qMax(m_pendingLast, last);
    // The first lines of a search show at once; later ones wait for a pause.
    const qint64 waitLeft = (endInView() ? kLongestWaitMs : kLongestHiddenWaitMs) - m_pendingSince.elapsed();
    if (m_rows == 0 || waitLeft <= 0) {
        insertPending();
        return;
    }
    m_insertTimer.start(static_cast<int>(qMin<qint64>(kQuietMs, waitLeft)));
}

bool DeviceListModel::endInView() const
{
    if (!m_view)
        return true;
    const QScrollBar* bar = m_view->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void DeviceListModel::insertPending()
{
    m_insertTimer.stop();
    const int first = m_rows;
    const int last = qMin(m_pendingLast, static_cast<int>(m_search.devices().size()) - 1);
    m_pendingLast = -1;
    if (last < first)
        return;
    for (int row = first; row <= last; ++row)
        fit(m_search.devices().line(static_cast<std::size_t>(row)));
    beginInsertRows({}, first, last);
    m_rows = last + 1;
    endInsertRows();
}

void DeviceListModel::measureLinesFor(const QAbstractItemView* view)
{
    m_view = view;
    if (!view)
        return;
    const QFontMetricsF metrics(view->font());
    for (int c = 0; c < 256; ++c)
        m_advance[static_cast<std::size_t>(c)] = metrics.horizontalAdvance(QChar(c));
    // The style's margins around the text and the height of one line, taken
    // from a line of the list's own shape.
    const QString sample = QStringLiteral("      00-50-C2-00-00-00                    192.168.1.1");
    const QSize size = naturalSize(sample);
    m_padding = qMax(0, size.width() - static_cast<int>(std::ceil(metrics.horizontalAdvance(sample))));
    m_lineHeight = size.height();
    m_widestAdvance = -1;
    m_lineWidth = 0;
    for (int row = 0; row < m_rows; ++row)
        fit(m_search.devices().line(static_cast<std::size_t>(row)));
}

void DeviceListModel::setDrawnWidth(std::function<int(std::string_view)> drawnWidth)
{
    m_drawnWidth = std::move(drawnWidth);
    remeasure();
}

void DeviceListModel::remeasure()
{
    measureLinesFor(m_view.data());
    if (m_rows > 0) {
        // The view takes the new size only when it lays its lines out again.
        Q_EMIT layoutAboutToBeChanged();
        Q_EMIT layoutChanged();
    }
}

QSize DeviceListModel::naturalSize(const QString& text) const
{
    QStyleOptionViewItem option;
    option.initFrom(m_view);
    option.font = m_view->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.text = text;
    option.features = QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.textElideMode = m_view->textElideMode();
    option.widget = m_view;
    return m_view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), m_view);
}

bool DeviceListModel::fit(const std::string& line)
{
    if (!m_view)
        return false;
    double advance = 0;
    bool plain = true;
    for (const char c : shownPart(line)) {
        const auto byte = static_cast<unsigned char>(c);
        advance += m_advance[byte];
        plain = plain && byte >= 0x20;
    }
    const int drawn = m_drawnWidth ? m_drawnWidth(shownPart(line)) : 0;
    // Only a line that may be wider than every one before is measured as the
    // style lays it out (kerning, tabs); the others cost one sum of advances.
    if (plain && advance <= m_widestAdvance) {
        if (drawn <= m_lineWidth)
            return false;
        m_lineWidth = drawn;
        return true;
    }
    m_widestAdvance = qMax(m_widestAdvance, advance);
    const int width = std::max(
        {naturalSize(fromLatin1(shownPart(line))).width(), static_cast<int>(std::ceil(advance)) + m_padding, drawn});
    if (width <= m_lineWidth)
        return false;
    m_lineWidth = width;
    return true;
}

QSize DeviceListModel::lineSize() const
{
    if (!m_view || m_lineWidth <= 0)
        return {};
    return {m_lineWidth, m_lineHeight};
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
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    if (role == Qt::SizeHintRole) {
        if (index.column() != LineColumn)
            return {};
        const QSize size = lineSize();
        return size.isValid() ? QVariant(size) : QVariant();
    }
    if (index.column() == LineColumn && (role == Qt::ForegroundRole || role == Qt::ToolTipRole)) {
        // The text stays as built; the colour and the tip mark a shared IP address or MAC.
        const ConflictKind kind = m_search.conflictKind(index.row());
        if (kind == ConflictKind::None)
            return {};
        if (role == Qt::ForegroundRole)
            return QBrush(m_view ? conflictColour(m_view->palette()) : conflictColour());
        if (static_cast<int>(kind) & static_cast<int>(ConflictKind::SharedAnswer))
            return QStringLiteral("Another host sends this device's answer too: it cannot be opened");
        switch (kind) {
        case ConflictKind::SharedIp:
            return QStringLiteral("Another device answers with this IP address too");
        case ConflictKind::SharedMac:
            return QStringLiteral("This MAC address answers from another IP address too");
        case ConflictKind::Both:
        case ConflictKind::None:
        case ConflictKind::SharedAnswer:
            break;
        }
        return QStringLiteral("Another device answers with this IP address too, and this MAC address answers "
                              "from another IP address too");
    }
    if (role != Qt::DisplayRole)
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (index.column() != LineColumn)
        return fromLatin1(m_search.devices().raw(row));
    const std::string& line = m_search.devices().line(row);
    if (line.size() <= kShownLineLimit)
        return fromLatin1(line);
    return QString(fromLatin1(std::string_view(line).substr(0, kShownLineLimit - 1)) + QChar(0x2026));
}

QModelIndexList DeviceListModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                       Qt::MatchFlags flags) const
{
    const auto how = Qt::MatchFlags(flags & Qt::MatchTypeMask);
    if (role != Qt::DisplayRole || start.column() != LineColumn || how != Qt::MatchStartsWith ||
        value.userType() != QMetaType::QString || m_rows == 0)
        return QAbstractTableModel::match(start, role, value, hits, flags);
    const QString typed = value.toString();
    const Qt::CaseSensitivity cs = flags.testFlag(Qt::MatchCaseSensitive) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const auto matches = [&](int row) {
        const QString line = data(index(row, LineColumn)).toString();
        if (const auto parts = DeviceLineDelegate::parts(line)) {
            for (const QString& part : *parts)
                if (!part.isEmpty() && part.startsWith(typed, cs))
                    return true;
            return false;
        }
        return line.trimmed().startsWith(typed, cs);
    };
    QModelIndexList found;
    const int first = qBound(0, start.row(), m_rows - 1);
    const int count = flags.testFlag(Qt::MatchWrap) ? m_rows : m_rows - first;
    for (int i = 0; i < count && (hits < 0 || found.size() < hits); ++i) {
        const int row = (first + i) % m_rows;
        if (matches(row))
            found << index(row, LineColumn);
    }
    return found;
}

} // namespace lv
