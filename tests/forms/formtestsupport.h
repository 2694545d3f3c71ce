#pragma once

// Shared by the window tests: standard device values and helpers that drive the real widgets.

#include "catalogue.h"
#include "commandchannel.h"
#include "fakedevice.h"
#include "loaders.h"
#include "replybuilder.h"
#include "singleportwindow.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLineEdit>
#include <QNetworkDatagram>
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

// A plausible configuration of a single-port device: every tag any single-port
// window reads.
inline Items standardItems()
{
    return {{"MacAddress", kMacAddress},
            {"IPAddress", "192.168.1.50"},
            {"SubMask", "255.255.255.0"},
            {"GatewayIP", "192.168.1.1"},
            {"DHCPEnable", "0"},
            {"HostIP", "192.168.1.10"},
            {"HostPort", "4001"},
            {"SIOSocketPort", "4660"},
            {"SIOSocketType", "0"},
            {"DIOSocketPort", "4661"},
            {"DIOSocketType", "0"},
            {"SIOBaud", "5"},
            {"SIOParity", "0"},
            {"SIOBits", "1"},
            {"SIOStops", "0"},
            {"SIOType", "0"},
            {"TCPLinkTimeOut", "60"},
            {"TCPLinkTimeOutMode", "0"},
            {"ChrGap", "10"},
            {"DeviceID", "Line-07"},
            {"ReportIDPort", "4662"},
            {"SetupPassword", "pw"},
            {"AccessPassword", "guest"},
            {"COM1_Modbus", "0"},
            {"PanId", "1A2B"},
            {"RFChan", "11"},
            {"ZNwkAddr", "0x3F21, 0x1A2B"},
            {"ZMac", "00:12:4B:00:01:02:03:04"}};
}

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

} // namespace lv::test
