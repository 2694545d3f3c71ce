// SPDX-License-Identifier: Apache-2.0
// The single-port layout: label column, then the row's controls and unit labels.

#include "singleportwindow.h"

#include "latin1.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <vector>

namespace lv {

SinglePortWindow::SinglePortWindow(const WindowDef& window, CommandChannel& channel, LoadedValues* loaded,
                                   QWidget* parent)
    : SetupWindow(window, channel, loaded, parent)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    std::vector<QHBoxLayout*> rows;
    for (const FieldDef& field : windowDef().fields) {
        QWidget* widget = makeControl(field);
        const QString labelName = QStringLiteral("lbl") + fromLatin1(field.control);
        if (!field.sameRow || rows.empty()) {
            const int row = static_cast<int>(rows.size());
            rows.push_back(new QHBoxLayout);
            rows.back()->setSpacing(6);
            if (field.kind == ControlKind::Note) {
                grid->addLayout(rows.back(), row, 0, 1, 2);
            } else {
                QLabel* caption = makeLabel(fromLatin1(field.label), labelName);
                caption->setBuddy(widget);
                caption->setEnabled(field.enabled);
                grid->addWidget(caption, row, 0);
                grid->addLayout(rows.back(), row, 1);
            }
        } else if (!field.label.empty()) {
            QLabel* caption = makeLabel(fromLatin1(field.label), labelName);
            caption->setBuddy(widget);
            caption->setEnabled(field.enabled);
            rows.back()->addWidget(caption);
        }
        rows.back()->addWidget(widget);
        if (!field.unit.empty()) {
            QLabel* unit = makeLabel(fromLatin1(field.unit), labelName + QStringLiteral("Unit"));
            unit->setEnabled(field.enabled);
            rows.back()->addWidget(unit);
        }
    }
    for (QHBoxLayout* row : rows)
        row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttonRow());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    nameControls();
}

} // namespace lv
