#pragma once
// A focus frame as the panel shows it: the pixels of a widget's outline,
// painted as the widget paints itself, that are not the frame's colour.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <vector>

inline std::vector<QPoint> pixelsOffTheFrame(QWidget* widget, const QColor& frame)
{
    const QImage painted = widget->grab().toImage();
    std::vector<QPoint> off;
    const int w = painted.width(), h = painted.height();
    for (int x = 0; x < w; ++x)
        for (int y : {0, h - 1})
            if (painted.pixelColor(x, y) != frame)
                off.emplace_back(x, y);
    for (int y = 1; y < h - 1; ++y)
        for (int x : {0, w - 1})
            if (painted.pixelColor(x, y) != frame)
                off.emplace_back(x, y);
    return off;
}
