// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window with its MAC service on a loopback LAN, driven through its
// real widgets: the lists read back through their views, a line selected with
// the mouse, the service's shortcut pressed on the keyboard.

#include "mainwindow.h"

#include "dialogs.h"
#include "latin1.h"
#include "macservice.h"
#include "modalwatcher.h"
#include "printers.h"
#include "windowhost.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

class ServiceFixture : public ::testing::Test {
protected:
    ServiceFixture()
    {
        lv::Dialogs::reset();
        lv::Dialogs::setScripted(true);
    }
    ~ServiceFixture() override
    {
        lv::WindowHost::setObserver({});
        lv::Dialogs::reset();
    }

    void openWindow(const QHostAddress& broadcast, quint16 port)
    {
        state.broadcast = broadcast;
        state.gCmdPort = port;
        window = std::make_unique<lv::MainWindow>(state);
        window->show();
        lstDev = window->findChild<QListView*>(QStringLiteral("lstDev"));
        lstDev2 = window->findChild<QListView*>(QStringLiteral("lstDev2"));
    }

    int rows() const { return lstDev->model()->rowCount(); }
    QString line(int row) const { return lstDev->model()->index(row, lstDev->modelColumn()).data().toString(); }
    QString raw(int row) const { return lstDev2->model()->index(row, lstDev2->modelColumn()).data().toString(); }
    QStringList lines() const
    {
        QStringList out;
        for (int r = 0; r < rows(); ++r)
            out << line(r);
        return out;
    }
    QStringList raws() const
    {
        QStringList out;
        for (int r = 0; r < rows(); ++r)
            out << raw(r);
        return out;
    }

    // Clicks Search Device and waits until `count` lines are listed.
    bool searchFor(int count)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
        return QTest::qWaitFor([&] { return rows() >= count; }, 5000);
    }

    void selectRow(int row)
    {
        const QModelIndex index = lstDev->model()->index(row, 0);
        lstDev->scrollTo(index);
        QTest::mouseClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
    }

    void doubleClickRow(int row)
    {
        selectRow(row);
        const QModelIndex index = lstDev->model()->index(row, 0);
        QTest::mouseDClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
    }

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

    lv::SessionState state;
    std::unique_ptr<lv::MainWindow> window;
    QListView* lstDev = nullptr;
    QListView* lstDev2 = nullptr;
};
