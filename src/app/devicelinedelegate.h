// SPDX-License-Identifier: Apache-2.0
#pragma once

// Draws a device-list line in three columns: the MAC text, the IP address and the device ID each start
// at a fixed x, measured in the list's font, however wide the blanks between them happen to be in it.
// The line's text stays as built (copying it, the raw twin list and every reader see the same
// characters); only where its parts are drawn changes. A line that is not of the standard shape is
// drawn as it is.

#include <QStyledItemDelegate>

#include <array>
#include <optional>
#include <string_view>

class QAbstractItemView;

namespace lv {

class DeviceLineDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum Part { Mac = 0, Ip = 1, DeviceId = 2 };

    explicit DeviceLineDelegate(QAbstractItemView* view);

    // Measures the columns again in the view's present font.
    void updateColumns();
    // Where each part starts, from the left edge of an item.
    int partLeft(Part part) const { return m_textMargin + m_left[part]; }
    // How wide a line is drawn in columns, from the left edge of an item (the style's margins included);
    // 0 for a line drawn as plain text. Summed from the characters' advances: the list asks this of
    // every line that comes in.
    int drawnWidth(std::string_view line) const;

    // The widest line of the standard shape in the view's font: a 17-character MAC text, a 15-character
    // IP address and an 8-character device ID, each of the widest characters it may hold.
    QString widestStandardLine() const;

    // The MAC text, IP and device ID of a standard line: six blanks, the 17-character MAC text, blanks
    // to character 44, the IP, blanks, the device ID (which may hold blanks of its own).
    static std::optional<std::array<QString, 3>> parts(const QString& line);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QAbstractItemView* m_view;
    std::array<int, 3> m_left{};
    std::array<double, 256> m_advance{}; // per Latin-1 character
    int m_textMargin = 0;
};

} // namespace lv
