#pragma once

// The service windows are laid out in twips, 15 to a pixel, rounded to the nearest pixel.

#include <QRect>
#include <QSize>

namespace lv {

constexpr int twipsToPixels(int twips)
{
    return (twips + 7) / 15;
}

inline QRect twipRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

inline QSize twipSize(int width, int height)
{
    return {twipsToPixels(width), twipsToPixels(height)};
}

} // namespace lv
