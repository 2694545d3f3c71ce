// SPDX-License-Identifier: Apache-2.0
// The status bar that elides a long message instead of cutting it.

#include "statusline.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace lv {

namespace {

// The bar's name as a screen reader reads it; the message is its description.
QString barName(bool unseenProblem)
{
    return unseenProblem ? QStringLiteral("Status: Messages holds a failure not seen yet") : QStringLiteral("Status");
}

} // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent)
{
    connect(this, &QStatusBar::messageChanged, this, &StatusLine::follow);
    setAccessibleName(barName(false));
}

void StatusLine::follow(const QString& message)
{
    describe(message, message);
}

void StatusLine::say(const QString& message, const QString& details)
{
    showMessage(message);
    if (details.isEmpty())
        return describe(message, message);
    const QString whole = message + QStringLiteral("\n\n") + details;
    // As rich text the tip wraps its long lines (a likely cause is a paragraph) instead of running
    // off the screen.
    describe(whole, QStringLiteral("<qt>") + whole.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
                        QStringLiteral("</qt>"));
}

void StatusLine::setUnseenProblem(bool unseen)
{
    if (unseen == m_unseenProblem)
        return;
    m_unseenProblem = unseen;
    setAccessibleName(barName(unseen));
    // The mark moves the text: all of it is drawn again.
    update();
}

void StatusLine::describe(const QString& text, const QString& tip)
{
    setToolTip(tip);
    setAccessibleDescription(text);
    if (QWidget* top = window(); top && top != this)
        top->setAccessibleDescription(text);
}

QRect StatusLine::messageRect() const
{
    // QStatusBar repaints x = 6 to width - 12 (mirrored right to left) when its message changes.
    const QRect rect(6, 0, qMax(0, width() - 18), height());
    return layoutDirection() == Qt::RightToLeft ? QStyle::visualRect(Qt::RightToLeft, this->rect(), rect) : rect;
}

QRect StatusLine::markRect() const
{
    if (!m_unseenProblem)
        return {};
    const int side = qMin(height() - 2, style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this));
    const QRect message = messageRect();
    const QRect mark(message.left(), message.top() + (message.height() - side) / 2, side, side);
    return QStyle::visualRect(layoutDirection(), message, mark);
}

QRect StatusLine::textRect() const
{
    QRect text = messageRect();
    if (m_unseenProblem) {
        const int used = markRect().width() + 4;
        if (layoutDirection() == Qt::RightToLeft)
            text.setRight(text.right() - used);
        else
            text.setLeft(text.left() + used);
    }
    return text;
}

QString StatusLine::shownText() const
{
    return fontMetrics().elidedText(currentMessage(), Qt::ElideMiddle, textRect().width());
}

void StatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    if (m_unseenProblem) {
        const QRect mark = markRect();
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).paint(&painter, mark);
    }
    if (currentMessage().isEmpty())
        return;
    painter.setPen(palette().windowText().color());
    painter.drawText(textRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

void StatusLine::mouseReleaseEvent(QMouseEvent* event)
{
    QStatusBar::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace lv
