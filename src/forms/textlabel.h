// SPDX-License-Identifier: Apache-2.0
#pragma once

// A label whose text starts one pixel in from its left edge. Qt clips a widget to its rectangle
// rounded to the nearest device pixel, while Windows' font engine draws text from its start rounded
// down: at 150 % a label at an odd x (16.5 device pixels) is clipped from 17 and its text drawn from
// 16, so "Device ID" loses the stem of its D. One pixel in, the text starts inside the clip at any
// scale from 100 %, and only moves by that pixel at 100 %.

#include <QLabel>

namespace lv {

inline QLabel* textLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setIndent(1);
    return label;
}

} // namespace lv
