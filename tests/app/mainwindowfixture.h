// SPDX-License-Identifier: Apache-2.0
#pragma once

// The main window on a simulated LAN, driven through its real widgets: shared by
// the main-window tests and the end-to-end Update tests.

#include "mainwindowdriver.h"

#include "devsimprocess.h"
#include "modeltable.h"
#include "setupwindow.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <string>

inline std::string latin1(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return {b.constData(), static_cast<std::size_t>(b.size())};
}

class MainWindowFixture : public MainWindowDriver {
protected:
    explicit MainWindowFixture(const QStringList& simArgs = {}) : sim(simArgs)
    {
        openWindow(QHostAddress(QStringLiteral("127.255.255.255")), sim.port());
    }

    // Opens the device at `row` and runs `inWindow` on its window (a Window) once it shows; `inWindow`
    // closes it. Returns the name of the window that showed (empty: none).
    template <typename Window = lv::SetupWindow, typename InWindow> QString openAndEdit(int row, InWindow inWindow)
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
};
