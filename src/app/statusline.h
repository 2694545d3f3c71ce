// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window's status bar. A message wider than the bar is drawn elided in the middle, so its
// start (the device) and its end (what happened) both stay readable; the whole text is the bar's
// tooltip and the window's accessible description, where a screen reader finds it, followed by the
// details given for the message, if any (in the tooltip as rich text, so that it wraps).
//
// The text is drawn in the rectangle QStatusBar repaints when its message changes, so the partial
// repaint of a new message shows the same pixels as a repaint of the whole bar. A problem the operator
// has not seen yet in the message log is marked by a warning sign before the text and in the bar's
// accessible name; a click on the bar asks for the log.

#include <QStatusBar>

namespace lv {

class StatusLine final : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // The message as it is drawn in the bar's present width.
    QString shownText() const;
    // Shows `message`; its tooltip says `details` below it. A later message drops them.
    void say(const QString& message, const QString& details = {});
    // Marks (or unmarks) a failure in the message log that the operator has not seen.
    void setUnseenProblem(bool unseen);
    bool unseenProblem() const { return m_unseenProblem; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void follow(const QString& message);
    void describe(const QString& text, const QString& tip);
    // Where QStatusBar repaints its message (it has no permanent widgets here).
    QRect messageRect() const;
    QRect markRect() const;
    QRect textRect() const;

    bool m_unseenProblem = false;
};

} // namespace lv
