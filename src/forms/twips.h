// SPDX-License-Identifier: Apache-2.0
#pragma once

// The windows are laid out in twips, 15 to a pixel; every window converts them here, rounded to the
// nearest pixel.

#include <QRect>

namespace lv {

constexpr int twipsToPixels(int twips)
{
    return (twips + 7) / 15;
}

constexpr QRect twipRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace lv
