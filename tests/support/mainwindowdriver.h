// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window on a loopback LAN, driven through its real widgets: the lists read back through their
// views, a line selected or double-clicked with the mouse. Dialogs are scripted for the test's length.

#include "mainwindow.h"

#include "dialogs.h"
#include "printers.h"
#include "windowhost.h"

#include <QListView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

class MainWindowDriver : public ::testing::Test {
protected:
    MainWindowDriver()
    {
        lv::Dialogs::reset();
        lv::Dialogs::setScripted(true);
    }
    ~MainWindowDriver() override
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

    // Clicks Search Device and waits until `count` lines are listed; whether they were.
    bool searchFor(int count = 21)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
        const bool listed = QTest::qWaitFor([&] { return rows() >= count; }, 5000);
        EXPECT_TRUE(listed) << "only " << rows() << " lines listed";
        return listed;
    }

    void selectRow(int row)
    {
        const QModelIndex index = lstDev->model()->index(row, 0);
        lstDev->scrollTo(index);
        QTest::mouseClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
    }

    // Selects the line and double-clicks it; returns once the request (and any window it opened) has ended.
    void doubleClickRow(int row)
    {
        selectRow(row);
        const QModelIndex index = lstDev->model()->index(row, 0);
        QTest::mouseDClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
    }

    lv::SessionState state;
    std::unique_ptr<lv::MainWindow> window;
    QListView* lstDev = nullptr;
    QListView* lstDev2 = nullptr;
};
