#include "articles/pageshape.h"

#include <QPainter>

#include <algorithm>

namespace qen::pageshape {

void clearMonoPadding(QImage &image) {
    if (image.format() != QImage::Format_Mono || image.width() % 8 == 0)
        return;
    const int last = image.width() / 8;
    const uchar keep = uchar(0xff << (8 - image.width() % 8));
    for (int y = 0; y < image.height(); ++y)
        image.scanLine(y)[last] &= keep;
}

void mirrorHorizontal(QImage &image) {
    if (image.isNull())
        return;
    image = std::move(image).mirrored(true, false);
    clearMonoPadding(image);
}

void flipVertical(QImage &image) {
    if (image.isNull())
        return;
    image = std::move(image).mirrored(false, true);
}

QImage normalized(const QImage &image) {
    if (image.isNull())
        return {};
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    auto blackAndWhite = [&](const QList<QRgb> &table) {
        return !table.isEmpty() && std::all_of(table.begin(), table.end(), [&](QRgb c) {
            return (c | 0xff000000) == white || (c | 0xff000000) == black;
        });
    };
    auto allGray = [](const QList<QRgb> &table) {
        return std::all_of(table.begin(), table.end(),
                           [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
    };
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8: {
        const QList<QRgb> table = image.colorTable();
        if (blackAndWhite(table)) {
            QImage mono = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
            const QList<QRgb> t = mono.colorTable();
            // Index 1 must be black; a table the other way round is turned over bit by bit.
            if (t.size() == 2 && (t[1] | 0xff000000) != black)
                mono.invertPixels();
            mono.setColorTable({white, black});
            clearMonoPadding(mono);
            return mono;
        }
        if (allGray(table))
            return image.convertToFormat(QImage::Format_Grayscale8);
        return image.convertToFormat(QImage::Format_RGB32);
    }
    case QImage::Format_Grayscale8:
        return image;
    case QImage::Format_Grayscale16:
        return image.convertToFormat(QImage::Format_Grayscale8);
    case QImage::Format_RGB32:
        return image;
    default:
        if (image.hasAlphaChannel()) {
            QImage flat(image.size(), QImage::Format_RGB32);
            flat.fill(white);
            flat.setDotsPerMeterX(image.dotsPerMeterX());
            flat.setDotsPerMeterY(image.dotsPerMeterY());
            QPainter painter(&flat);
            painter.drawImage(0, 0, image);
            return flat;
        }
        return image.convertToFormat(QImage::Format_RGB32);
    }
}

QImage reducedToPlainest(const QImage &image) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return image;
    bool blackWhite = true, gray = true;
    for (int y = 0; y < image.height() && gray; ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = p[x] | 0xff000000;
            if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)) {
                gray = false;
                break;
            }
            blackWhite = blackWhite && (qRed(c) == 0 || qRed(c) == 255);
        }
    }
    if (!gray)
        return image;
    if (blackWhite)
        return normalized(image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
    return image.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace qen::pageshape
