// SPDX-License-Identifier: Apache-2.0
// The multi-port layout: caption cells spanning their block, row labels, port columns.

#include "multiportwindow.h"

#include "latin1.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace lv {

namespace {

// The fields of one block, grouped into rows: a field on the row of the one before joins it.
std::vector<std::vector<const FieldDef*>> rowsOfBlock(const WindowDef& window, int block)
{
    std::vector<std::vector<const FieldDef*>> rows;
    for (const FieldDef& field : window.fields) {
        if (field.block != block)
            continue;
        if (!field.sameRow || rows.empty())
            rows.emplace_back();
        rows.back().push_back(&field);
    }
    return rows;
}

} // namespace

MultiPortWindow::MultiPortWindow(const WindowDef& window, CommandChannel& channel, LoadedValues* snapshot,
                                 QWidget* parent)
    : SetupWindow(window, channel, snapshot, parent)
{
    buildForm();
}

int MultiPortWindow::addBlock(QGridLayout* grid, int firstRow, const QString& caption, const std::vector<int>& ports)
{
    const auto labelRows = rowsOfBlock(windowDef(), ports.front());
    const int rowCount = static_cast<int>(labelRows.size());
    QLabel* cell = makeLabel(caption, QStringLiteral("lblBlock%1").arg(ports.front()));
    cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    cell->setAlignment(Qt::AlignCenter);
    cell->setMargin(6);
    QFont bold = cell->font();
    bold.setBold(true);
    cell->setFont(bold);
    grid->addWidget(cell, firstRow, 0, rowCount, 1);

    for (int r = 0; r < rowCount; ++r) {
        const FieldDef& first = *labelRows[static_cast<std::size_t>(r)].front();
        grid->addWidget(makeLabel(fromLatin1(first.label), QStringLiteral("lbl") + fromLatin1(first.control)),
                        firstRow + r, 1);
    }
    int column = 2;
    for (int port : ports) {
        const auto rows = rowsOfBlock(windowDef(), port);
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            auto* line = new QHBoxLayout;
            line->setSpacing(6);
            for (const FieldDef* field : rows[static_cast<std::size_t>(r)])
                line->addWidget(makeControl(*field));
            line->addStretch(1);
            grid->addLayout(line, firstRow + r, column);
        }
        ++column;
    }
    return firstRow + rowCount;
}

void MultiPortWindow::buildForm()
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("grid"));
    auto* grid = new QGridLayout(content);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    int row = addBlock(grid, 0, fromLatin1(kGeneralSettingCaption), {0});
    for (const PortGroup& group : windowDef().portGroups) {
        grid->setRowMinimumHeight(row, 6);
        row = addBlock(grid, row + 1, fromLatin1(group.caption), group.ports);
    }
    grid->setColumnStretch(4, 1);

    // The four-port windows are taller than a small laptop screen: the grid scrolls inside the
    // window when the screen cannot hold it, the buttons stay in sight.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab goes from field to field; the area scrolls to the focused one by itself.
    scroll->setFocusPolicy(Qt::NoFocus);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addSpacing(8);
    layout->addLayout(buttonRow());
    m_content = content;
    setReadingTabOrder();
    nameControls();
    fitToScreen();
}

void MultiPortWindow::setReadingTabOrder()
{
    // The controls were made port by port; Tab follows the rows across the ports, as they read.
    std::vector<QWidget*> order;
    std::vector<std::vector<int>> blocks{{0}};
    for (const PortGroup& group : windowDef().portGroups)
        blocks.push_back(group.ports);
    for (const std::vector<int>& ports : blocks) {
        std::vector<std::vector<std::vector<const FieldDef*>>> rows;
        std::size_t rowCount = 0;
        for (int port : ports) {
            rows.push_back(rowsOfBlock(windowDef(), port));
            rowCount = std::max(rowCount, rows.back().size());
        }
        for (std::size_t r = 0; r < rowCount; ++r)
            for (const auto& portRows : rows)
                if (r < portRows.size())
                    for (const FieldDef* field : portRows[r])
                        if (QWidget* widget = control(field->control); widget && widget->focusPolicy() != Qt::NoFocus)
                            order.push_back(widget);
    }
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MultiPortWindow::fitToScreen()
{
    // Sized from the polished grid, so the combo boxes' widths are those they will have.
    m_content->ensurePolished();
    for (QWidget* child : m_content->findChildren<QWidget*>())
        child->ensurePolished();
    m_content->layout()->activate();
    const QSize wanted = m_content->sizeHint() + QSize(28, 4); // room for a vertical scroll bar
    QSize room(1366 - 40, 768 - 80);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        room = room.boundedTo(screen->availableGeometry().size() - QSize(40, 80));
    const int buttons = layout()->itemAt(2)->sizeHint().height() + 40;
    resize(std::min(wanted.width() + 24, room.width()), std::min(wanted.height() + buttons, room.height()));
}

void MultiPortWindow::showEvent(QShowEvent* event)
{
    if (!m_fitted) {
        m_fitted = true;
        fitToScreen();
    }
    SetupWindow::showEvent(event);
}

} // namespace lv
