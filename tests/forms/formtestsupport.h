// SPDX-License-Identifier: Apache-2.0
#pragma once

// Shared by the window tests: standard device values and helpers that drive the real widgets.

#include "catalogue.h"
#include "commandchannel.h"
#include "dialogs.h"
#include "fakedevice.h"
#include "loaders.h"
#include "replybuilder.h"
#include "singleportwindow.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lv::test {

inline constexpr char kSelMac[] = "00-50-C2-01-02-03";
inline constexpr char kVersion[] = "2.07 build 0311";
inline constexpr char kMacAddress[] = "00:50:C2:01:02:03";

// The header every test command starts with, for the standard items.
inline QByteArray header(const char* letter)
{
    return QByteArray(letter) + kMacAddress + "/192.168.1.50/pw";
}

// Builds a window as its loader would: Form_Load, then the loaded values.
inline std::unique_ptr<SinglePortWindow> openWindow(const std::string& name, const Items& items,
                                                    CommandChannel& channel)
{
    const WindowDef* def = findWindow(name);
    if (!def)
        return nullptr;
    auto window = std::make_unique<SinglePortWindow>(*def, channel);
    window->Form_Load(QString::fromLatin1(kSelMac), QString::fromLatin1(kVersion));
    window->apply(loadSinglePort(*def, replyText(items)));
    return window;
}

// A device on loopback that confirms every Update, and the session that talks to it; message boxes
// are scripted.
class LoopbackDeviceTest : public ::testing::Test {
protected:
    LoopbackDeviceTest()
    {
        m_state.broadcast = QHostAddress(QHostAddress::LocalHost);
        m_state.gCmdPort = m_device.port();
        m_device.setAnswering(true);
        Dialogs::setScripted(true);
    }
    ~LoopbackDeviceTest() override { Dialogs::reset(); }

    FakeDevice m_device;
    SessionState m_state;
    CommandChannel m_channel{m_state};
};

template <typename W> W* find(QWidget& window, const char* name);

// Whether a text label keeps the first stem of its text at 125 to 175 %: Qt clips it from its left edge rounded to
// the nearest device pixel, and Windows' font engine draws the text from its start rounded down.
inline bool firstStemShown(const QWidget* widget)
{
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (!label || !label->isVisibleTo(label->window()) || !(label->alignment() & Qt::AlignLeft) ||
        !label->pixmap().isNull())
        return true;
    const int left = label->mapTo(label->window(), QPoint()).x();
    const int text = left + label->contentsRect().left() + label->margin() + std::max(label->indent(), 0);
    return int(text * 1.25) >= qRound(left * 1.25) && int(text * 1.5) >= qRound(left * 1.5) &&
           int(text * 1.75) >= qRound(left * 1.75);
}

// Types `text` into a text box, presses Update and checks that the unanswered Update kept the window
// open with the edit and said so once.
inline void expectUnansweredUpdateKeepsEdit(SetupWindow& window, const char* control, const QString& text);

template <typename W> W* find(QWidget& window, const char* name)
{
    return window.findChild<W*>(QString::fromLatin1(name));
}

// Replaces a text box's text the way an operator does: select all, type.
inline void typeInto(QWidget& window, const std::string& control, const QString& text)
{
    auto* edit = find<QLineEdit>(window, control.c_str());
    ASSERT_NE(edit, nullptr) << control;
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar ch : text) {
        // QTest maps only ASCII characters to keys; others arrive as text alone, as from a keyboard layout.
        if (ch.unicode() < 0x80)
            QTest::keyClick(edit, static_cast<char>(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Picks a list entry with the keyboard: Home, then Down `index` times.
inline void chooseEntry(QWidget& window, const std::string& control, int index)
{
    auto* combo = find<QComboBox>(window, control.c_str());
    ASSERT_NE(combo, nullptr) << control;
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
}

inline void expectUnansweredUpdateKeepsEdit(SetupWindow& window, const char* control, const QString& text)
{
    window.show();
    typeInto(window, control, text);
    QTest::mouseClick(find<QPushButton>(window, "cmdUpdate"), Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(Dialogs::shownMessages().size(), 1);
    EXPECT_EQ(Dialogs::shownMessages()[0].text, SetupWindow::noAnswerMessage());
    EXPECT_EQ(find<QLineEdit>(window, control)->text(), text);
}

} // namespace lv::test
