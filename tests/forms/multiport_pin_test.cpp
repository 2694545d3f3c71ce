// SPDX-License-Identifier: Apache-2.0
// The multi-port windows' port blocks: the ports of one caption stand side by side, each in its own
// column, in port order; no control of one port lies over a control of another.

#include "catalogue.h"
#include "commandchannel.h"
#include "multiportwindow.h"
#include "printers.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace lv {
namespace {

std::vector<std::string> windowsWithSideBySidePorts()
{
    std::vector<std::string> out;
    for (const WindowDef& def : windowCatalogue())
        for (const PortGroup& group : def.portGroups)
            if (def.isMultiPort() && group.ports.size() >= 2) {
                out.push_back(def.name);
                break;
            }
    return out;
}

class PortBlocksPin : public ::testing::TestWithParam<std::string> {};

TEST_P(PortBlocksPin, PortsOfABlockStandSideBySide)
{
    const WindowDef& def = *findWindow(GetParam());
    SessionState state;
    CommandChannel channel(state);
    MultiPortWindow window(def, channel);
    window.show();
    QApplication::processEvents();
    // Each port's controls, as rectangles in the window.
    const auto rectsOf = [&](int port) {
        std::vector<QRect> rects;
        for (const FieldDef& field : def.fields) {
            if (field.block != port || field.control.empty())
                continue;
            const QWidget* control = window.findChild<QWidget*>(QString::fromStdString(field.control));
            if (!control)
                continue;
            rects.push_back(QRect(control->mapTo(&window, QPoint(0, 0)), control->size()));
        }
        return rects;
    };
    int groups = 0;
    for (const PortGroup& group : def.portGroups) {
        if (group.ports.size() < 2)
            continue;
        ++groups;
        for (std::size_t i = 0; i + 1 < group.ports.size(); ++i) {
            const std::vector<QRect> left = rectsOf(group.ports[i]);
            const std::vector<QRect> right = rectsOf(group.ports[i + 1]);
            ASSERT_FALSE(left.empty()) << "port " << group.ports[i];
            ASSERT_FALSE(right.empty()) << "port " << group.ports[i + 1];
            int leftEnd = 0;
            int rightStart = INT_MAX;
            for (const QRect& r : left)
                leftEnd = std::max(leftEnd, r.right());
            for (const QRect& r : right)
                rightStart = std::min(rightStart, r.left());
            EXPECT_LT(leftEnd, rightStart) << "COM" << group.ports[i] << " reaches into COM" << group.ports[i + 1];
        }
    }
    EXPECT_GT(groups, 0);
}

INSTANTIATE_TEST_SUITE_P(Windows, PortBlocksPin, ::testing::ValuesIn(windowsWithSideBySidePorts()),
                         [](const auto& p) { return p.param; });

} // namespace
} // namespace lv
