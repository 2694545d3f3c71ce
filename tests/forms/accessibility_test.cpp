// SPDX-License-Identifier: Apache-2.0
// What a screen reader finds in every setup window, read through QAccessible as an assistive
// technology reads it: each editor's name, and the label it is related to.

#include "catalogue.h"
#include "commandchannel.h"
#include "multiportwindow.h"
#include "printers.h"
#include "singleportwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace lv;

std::vector<std::string> windowNames()
{
    std::vector<std::string> names;
    for (const WindowDef& def : windowCatalogue())
        names.push_back(def.name);
    return names;
}

class WindowAccessibility : public ::testing::TestWithParam<std::string> {
protected:
    WindowAccessibility() : def(*findWindow(GetParam())), channel(state)
    {
        if (def.isMultiPort())
            window = std::make_unique<MultiPortWindow>(def, channel);
        else
            window = std::make_unique<SinglePortWindow>(def, channel);
    }

    const WindowDef& def;
    SessionState state;
    CommandChannel channel;
    std::unique_ptr<SetupWindow> window;
};

// A line edit is spoken by its name; a combo box, on free desktops, by its value and the label it is
// related to (Qt's choice there), so that label must say what the name says.
TEST_P(WindowAccessibility, EveryEditorIsNamedOnceAndLabelledByItsName)
{
    QSet<QString> names;
    int editors = 0;
    for (const FieldDef& field : def.fields) {
        if (field.kind != ControlKind::TextBox && field.kind != ControlKind::ComboBox)
            continue;
        ++editors;
        SCOPED_TRACE(field.control);
        QWidget* widget = window->control(field.control);
        ASSERT_NE(widget, nullptr);
        const QString named = widget->accessibleName();
        EXPECT_FALSE(named.trimmed().isEmpty());
        EXPECT_FALSE(names.contains(named)) << "two editors named " << named.toStdString();
        names.insert(named);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(iface, nullptr);
        if (qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(iface->text(QAccessible::Name), named);
        }
        const auto labels = iface->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << "label relations";
        EXPECT_EQ(labels.front().first->text(QAccessible::Name).simplified(), named);
    }
    EXPECT_GT(editors, 0);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, WindowAccessibility, ::testing::ValuesIn(windowNames()),
                         [](const ::testing::TestParamInfo<std::string>& tp) { return tp.param; });

// A port block's controls carry their port and their row's label; those beside another on its row
// say what they hold.
TEST(WindowAccessibilityNames, PortAndRowInTheName)
{
    SessionState state;
    CommandChannel channel(state);
    MultiPortWindow window(*findWindow("frm4PortSetup"), channel);
    const struct {
        const char* control;
        const char* name;
    } cases[] = {
        {"COM2_Baud", "COM2 SIO BaudRate"},
        {"COM2_Parity", "COM2 SIO BaudRate, Parity"},
        {"COM4_TCPMode", "COM4 Local TCP Port, Type, TCP Mode"},
        {"COM1_RemoteHostIP", "COM1 Remote Host IP"},
    };
    for (const auto& c : cases) {
        QWidget* widget = window.control(c.control);
        ASSERT_NE(widget, nullptr) << c.control;
        EXPECT_EQ(widget->accessibleName(), QString::fromLatin1(c.name)) << c.control;
    }
    EXPECT_EQ(windowCatalogue().size(), 18u);
}

} // namespace

namespace {

// Tab in a four-port window goes along the rows across the ports, never stops on the scroll area,
// and reaches Update and Cancel; the buttons answer Alt+U and Alt+C.
TEST(MultiPortKeyboard, TabFollowsTheRowsAcrossThePorts)
{
    SessionState state;
    CommandChannel channel(state);
    MultiPortWindow window(*findWindow("frm4PortSetup"), channel);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget* first = window.control("COM1_RemoteHostIP");
    ASSERT_NE(first, nullptr);
    first->setFocus(Qt::TabFocusReason);
    QStringList visited{first->objectName()};
    for (int i = 0; i < 80 && visited.size() < 80; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_EQ(qobject_cast<QScrollArea*>(focused), nullptr) << "the scroll area took a Tab";
        if (focused == first)
            break;
        visited << focused->objectName();
    }
    ASSERT_GE(visited.size(), 3);
    EXPECT_EQ(visited[1], QStringLiteral("COM2_RemoteHostIP"));
    EXPECT_TRUE(visited.contains(QStringLiteral("cmdUpdate")));
    EXPECT_TRUE(visited.contains(QStringLiteral("cmdCancel")));
    // COM1 and COM2 side by side, then COM3 and COM4.
    EXPECT_LT(visited.indexOf(QStringLiteral("COM2_RemoteHostPort")), visited.indexOf(QStringLiteral("COM1_TCPPort")));
    EXPECT_LT(visited.indexOf(QStringLiteral("COM2_Modbus")), visited.indexOf(QStringLiteral("COM3_RemoteHostIP")));
    EXPECT_LT(visited.indexOf(QStringLiteral("COM4_RemoteHostPort")), visited.indexOf(QStringLiteral("COM3_TCPPort")));
    EXPECT_LT(visited.indexOf(QStringLiteral("COM4_Modbus")), visited.indexOf(QStringLiteral("cmdUpdate")));

    // Alt+C is Cancel (the window closes).
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    // A button's shortcut clicks it after a short press animation.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 1000));
}

} // namespace
