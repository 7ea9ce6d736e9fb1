#include "export/printlayout.h"

#include "platform/filehelpers.h"
#include "platform/twips.h"

#include <cmath>

namespace qen::printlayout {

namespace {
constexpr double OneCm = 567, Height12 = 680.4, Up06 = 340.2, BorderMm = 10;

struct Paper {
    int code;
    QPageSize::PageSizeId id;
};
// A4 small (10) prints on an A4 sheet; only A4 maps back to 9.
constexpr Paper Papers[] = {{8, QPageSize::A3},  {9, QPageSize::A4},  {10, QPageSize::A4},
                            {11, QPageSize::A5}, {12, QPageSize::B4}, {13, QPageSize::B5}};
} // namespace

QPageSize pageSizeForCode(int paperCode) {
    for (const Paper &p : Papers)
        if (p.code == paperCode)
            return QPageSize(p.id);
    return {};
}

int codeForPageSize(const QPageSize &size) {
    if (!size.isValid())
        return 0;
    for (const Paper &p : Papers)
        if (p.id == size.id())
            return p.code;
    return 0;
}

QSizeF paperMillimetres(const QPageSize &size) {
    double w = 0, h = 0;
    GetPaperSize(codeForPageSize(size), w, h);
    if (w > 0 && h > 0)
        return {w, h};
    if (!size.isValid())
        return {};
    const QSizeF mm = size.size(QPageSize::Millimeter);
    return {std::min(mm.width(), mm.height()), std::max(mm.width(), mm.height())};
}

QRectF imagePlacement(double imageWidthTwips, double imageHeightTwips, const QSizeF &paperMm) {
    const double pw = paperMm.width() * TwipsPerMm, ph = paperMm.height() * TwipsPerMm;
    double w = imageWidthTwips / 2 - OneCm;
    double x = (pw - w) / 2 - OneCm;
    double h = imageHeightTwips / 2 - Height12;
    double y = (ph - h) / 2 - Up06;
    if (x < 0) {
        x = 0, y = 0;
        w = (paperMm.width() - BorderMm) * TwipsPerMm;
        h = (paperMm.height() - BorderMm) * TwipsPerMm;
    } else if (y < 0 && h > 0) {
        const double fitH = (paperMm.height() - BorderMm) * TwipsPerMm;
        w = w * fitH / h;
        h = fitH;
        x = std::max(0.0, (pw - w) / 2);
        y = 0;
    }
    return {x, y, w, h};
}

QSizeF imageTwips(const QImage &image) {
    const auto dpi = [](int dpm) { return dpm > 0 ? dpm * 0.0254 : 96.0; };
    return {image.width() * twips::PerInch / dpi(image.dotsPerMeterX()),
            image.height() * twips::PerInch / dpi(image.dotsPerMeterY())};
}

QSize printPixels(const QSize &image, const QRectF &target) {
    const QSize device(std::max(1, int(std::ceil(target.width()))),
                       std::max(1, int(std::ceil(target.height()))));
    if (image.width() <= device.width() && image.height() <= device.height())
        return image;
    return device;
}

} // namespace qen::printlayout
