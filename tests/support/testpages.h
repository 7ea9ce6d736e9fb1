#pragma once

// Pages the tests draw from a rule for each pixel: bilevel (ink on white, index 1 black, as our
// readers give them), 8-bit gray and colour.
#include <QImage>

#include <functional>

namespace qen::test {

inline QImage bilevelPage(int w, int h, const std::function<bool(int, int)> &ink) {
    QImage image(w, h, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ink(x, y))
                image.setPixel(x, y, 1);
    return image;
}

inline QImage grayPage(int w, int h, const std::function<int(int, int)> &level) {
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = uchar(level(x, y));
    return image;
}

inline QImage colourPage(int w, int h, const std::function<QRgb(int, int)> &colour) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colour(x, y));
    return image;
}

} // namespace qen::test
