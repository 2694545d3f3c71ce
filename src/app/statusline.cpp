// SPDX-License-Identifier: Apache-2.0
// The status bar that elides a long message instead of cutting it.

#include "statusline.h"

#include <QPainter>
#include <QStyleOption>

namespace lv {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent)
{
    connect(this, &QStatusBar::messageChanged, this, &StatusLine::follow);
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

void StatusLine::describe(const QString& text, const QString& tip)
{
    setToolTip(tip);
    setAccessibleDescription(text);
    if (QWidget* top = window(); top && top != this)
        top->setAccessibleDescription(text);
}

QRect StatusLine::textRect() const
{
    // The same margins QStatusBar draws its message with.
    return rect().adjusted(2, 0, -2, 0);
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
    if (currentMessage().isEmpty())
        return;
    painter.setPen(palette().windowText().color());
    painter.drawText(textRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

} // namespace lv
