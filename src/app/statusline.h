// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window's status bar. A message wider than the bar is drawn elided in the middle, so its
// start (the device) and its end (what happened) both stay readable; the whole text is the bar's
// tooltip and the window's accessible description, where a screen reader finds it, followed by the
// details given for the message, if any (in the tooltip as rich text, so that it wraps).

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(const QString& message);
    void describe(const QString& text, const QString& tip);
    QRect textRect() const;
};

} // namespace lv
