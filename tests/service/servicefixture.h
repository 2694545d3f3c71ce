// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window with its MAC service on a loopback LAN, driven through its
// real widgets: the lists read back through their views, a line selected with
// the mouse, the service's shortcut pressed on the keyboard.

#include "mainwindowdriver.h"

#include "latin1.h"
#include "macservice.h"
#include "modalwatcher.h"

#include <QLineEdit>

#include <string>

class ServiceFixture : public MainWindowDriver {
protected:
    // Ctrl+Shift+M on the main window, as the technician presses it.
    void pressServiceShortcut()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    }

    // Types into the named entry of a prompt or dialog and presses the named
    // button, or Enter in the entry when `button` is "Enter".
    static void typeAndPress(QWidget* dialog, const char* entry, const QString& text, const char* button)
    {
        auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(entry));
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, text);
        if (QByteArray(button) == "Enter")
            QTest::keyClick(edit, Qt::Key_Return);
        else
            QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }
};
