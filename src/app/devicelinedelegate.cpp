// SPDX-License-Identifier: Apache-2.0
// The device list's columns: measured from the font in use, drawn part by part.

#include "devicelinedelegate.h"

#include "devicelist.h"
#include "latin1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lv {

namespace {

// The widest of `characters` in `metrics`, repeated `count` times: the widest text of that shape.
int widest(const QFontMetrics& metrics, QStringView characters, int count)
{
    int best = 0;
    for (const QChar c : characters)
        best = qMax(best, metrics.horizontalAdvance(c));
    return best * count;
}

bool blank(QStringView text)
{
    for (const QChar c : text)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

} // namespace

DeviceLineDelegate::DeviceLineDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), m_view(view)
{
    updateColumns();
}

void DeviceLineDelegate::updateColumns()
{
    const QFontMetrics metrics(m_view->font());
    const QFontMetricsF exact(m_view->font());
    for (int c = 0; c < 256; ++c)
        m_advance[static_cast<std::size_t>(c)] = exact.horizontalAdvance(QChar(c));
    // The same margin the style keeps between an item's edge and its text.
    m_textMargin = m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1;
    const QStringView hex(u"0123456789ABCDEF");
    const QStringView digits(u"0123456789");
    const int gap = metrics.horizontalAdvance(QStringLiteral("0000"));
    m_left[Mac] = metrics.horizontalAdvance(QStringLiteral("      "));
    m_left[Ip] = m_left[Mac] + widest(metrics, hex, 12) + metrics.horizontalAdvance(QStringLiteral("-----")) + gap;
    m_left[DeviceId] =
        m_left[Ip] + widest(metrics, digits, 12) + metrics.horizontalAdvance(QStringLiteral("...")) + gap;
}

std::optional<std::array<QString, 3>> DeviceLineDelegate::parts(const QString& line)
{
    constexpr qsizetype kMacAt = 6;
    constexpr qsizetype kMacLength = 17;
    constexpr qsizetype kIpAt = 43;
    if (line.size() < kIpAt || !blank(QStringView(line).left(kMacAt)) ||
        !blank(QStringView(line).mid(kMacAt + kMacLength, kIpAt - kMacAt - kMacLength)))
        return std::nullopt;
    const QString mac = line.mid(kMacAt, kMacLength);
    if (mac.contains(QLatin1Char(' ')))
        return std::nullopt;
    qsizetype ipEnd = line.indexOf(QLatin1Char(' '), kIpAt);
    if (ipEnd < 0)
        ipEnd = line.size();
    qsizetype idAt = ipEnd;
    while (idAt < line.size() && line.at(idAt) == QLatin1Char(' '))
        ++idAt;
    return std::array<QString, 3>{mac, line.mid(kIpAt, ipEnd - kIpAt), line.mid(idAt)};
}

QString DeviceLineDelegate::widestStandardLine() const
{
    const QFontMetrics metrics(m_view->font());
    const auto widestOf = [&metrics](QStringView characters) {
        QChar best = characters.front();
        for (const QChar c : characters)
            if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(best))
                best = c;
        return best;
    };
    const QChar hex = widestOf(u"0123456789ABCDEF");
    const QChar digit = widestOf(u"0123456789");
    const QString pair(2, hex);
    const QString number(3, digit);
    const QString mac = QStringList(6, pair).join(QLatin1Char('-'));
    const QString ip = QStringList(4, number).join(QLatin1Char('.'));
    const QString id(8, widestOf(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-"));
    return fromLatin1(deviceListLine(toLatin1(mac), toLatin1(ip), toLatin1(id)));
}

int DeviceLineDelegate::drawnWidth(std::string_view line) const
{
    constexpr std::size_t kMacAt = 6;
    constexpr std::size_t kIpAt = 43;
    if (line.size() < kIpAt || line.substr(0, kMacAt).find_first_not_of(' ') != std::string_view::npos ||
        line.substr(kMacAt + 17, kIpAt - kMacAt - 17).find_first_not_of(' ') != std::string_view::npos ||
        line.substr(kMacAt, 17).find(' ') != std::string_view::npos)
        return 0;
    const auto advance = [this](std::string_view text) {
        double sum = 0;
        for (const char c : text)
            sum += m_advance[static_cast<unsigned char>(c)];
        return static_cast<int>(std::ceil(sum));
    };
    const std::size_t ipEnd = std::min(line.find(' ', kIpAt), line.size());
    const std::size_t idAt = std::min(line.find_first_not_of(' ', ipEnd), line.size());
    const int right = std::max({partLeft(Mac) + advance(line.substr(kMacAt, 17)),
                                partLeft(Ip) + advance(line.substr(kIpAt, ipEnd - kIpAt)),
                                partLeft(DeviceId) + advance(line.substr(idAt))});
    return right + m_textMargin;
}

void DeviceLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const std::optional<std::array<QString, 3>> split = parts(item.text);
    if (!split) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The item's background, selection and focus as the style draws them, then the parts in the colour
    // the style would give the text.
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    painter->save();
    painter->setFont(item.font);
    painter->setPen(
        item.palette.color(group, (item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    const QRect rect = item.rect;
    for (int part = Mac; part <= DeviceId; ++part) {
        const int left = rect.left() + partLeft(Part(part));
        const int right = part == DeviceId ? rect.right() : rect.left() + partLeft(Part(part + 1)) - 1;
        painter->drawText(QRect(QPoint(left, rect.top()), QPoint(right, rect.bottom())),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, (*split)[part]);
    }
    painter->restore();
}

} // namespace lv
