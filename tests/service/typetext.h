// SPDX-License-Identifier: Apache-2.0
#pragma once

// Types a text into a widget key by key, also characters that have no key of
// their own on a US keyboard (QTest::keyClicks takes ASCII only).

#include <QTest>

inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
