// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window on a simulated LAN, driven through its real widgets: shared by
// the main-window tests and the end-to-end Update tests.

#include "mainwindow.h"
#include "modeltable.h"

#include "devsimprocess.h"
#include "dialogs.h"
#include "printers.h"
#include "setupwindow.h"
#include "windowhost.h"

#include <QDialog>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline std::string latin1(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return {b.constData(), static_cast<std::size_t>(b.size())};
}

class MainWindowFixture : public ::testing::Test {
protected:
    explicit MainWindowFixture(const QStringList& simArgs = {}) : sim(simArgs)
    {
        lv::Dialogs::reset();
        lv::Dialogs::setScripted(true);
        state.broadcast = QHostAddress(QStringLiteral("127.255.255.255"));
        state.gCmdPort = sim.port();
        window = std::make_unique<lv::MainWindow>(state);
        window->show();
        lstDev = window->findChild<QListView*>(QStringLiteral("lstDev"));
        lstDev2 = window->findChild<QListView*>(QStringLiteral("lstDev2"));
    }
    ~MainWindowFixture() override
    {
        lv::WindowHost::setObserver({});
        lv::Dialogs::reset();
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
    void searchFor(int count = 21)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return rows() >= count; }, 5000)) << "only " << rows() << " lines listed";
    }

    void selectRow(int row)
    {
        const QModelIndex index = lstDev->model()->index(row, 0);
        lstDev->scrollTo(index);
        QTest::mouseClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
    }

    // Selects the line and double-clicks it; returns once the request (and any
    // window it opened) has ended.
    void doubleClickRow(int row)
    {
        selectRow(row);
        const QModelIndex index = lstDev->model()->index(row, 0);
        QTest::mouseDClick(lstDev->viewport(), Qt::LeftButton, {}, lstDev->visualRect(index).center());
    }

    // Opens the device at `row` and runs `inWindow` on its window (a Window) once it shows; `inWindow`
    // closes it. Returns the name of the window that showed (empty: none).
    template <typename Window = lv::SetupWindow, typename InWindow>
    QString openAndEdit(int row, InWindow inWindow)
    {
        QString shown;
        lv::WindowHost::setObserver([&shown, inWindow](QDialog* d) {
            shown = d->objectName();
            auto* w = qobject_cast<Window*>(d);
            QTimer::singleShot(0, d, [w, inWindow] { inWindow(w); });
        });
        doubleClickRow(row);
        lv::WindowHost::setObserver({});
        return shown;
    }

    // The row of the device answering with this model: the simulated LAN plays one device of every
    // model in the model table's order, the first with MAC ...-01.
    int rowOfSimulated(const char* model)
    {
        const auto& models = lv::simulatedModels();
        for (std::size_t i = 0; i < models.size(); ++i)
            if (models[i] == model)
                for (int r = 0; r < rows(); ++r)
                    if (line(r).mid(6, 17) ==
                        QStringLiteral("00-50-C2-00-00-%1").arg(i + 1, 2, 16, QLatin1Char('0')).toUpper())
                        return r;
        return -1;
    }

    // The row whose device reports `model`, found by asking the devices one after the other.
    int rowOfModel(const QString& model)
    {
        lv::WindowHost::setObserver([](QDialog* d) { QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection); });
        int found = -1;
        for (int r = 0; r < rows() && found < 0; ++r) {
            doubleClickRow(r);
            if (window->lastAnswered() && QString::fromStdString(window->lastAnswered()->modelVersion.model) == model)
                found = r;
        }
        lv::WindowHost::setObserver({});
        return found;
    }

    // Replaces the text of the window's line edit `name` as a person would.
    static void retype(QWidget* w, const char* name, const QString& text)
    {
        auto* edit = w->findChild<QLineEdit*>(QString::fromLatin1(name));
        ASSERT_NE(edit, nullptr) << name;
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    DevsimProcess sim;
    lv::SessionState state;
    std::unique_ptr<lv::MainWindow> window;
    QListView* lstDev = nullptr;
    QListView* lstDev2 = nullptr;
};
