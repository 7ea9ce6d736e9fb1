#include "export/printlayout.h"

#include "articles/imagedocument.h"
#include "articles/largepage.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/twips.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qen::printlayout {

namespace {
constexpr double BorderMm = 10;
constexpr QRgb Black = 0xff000000, White = 0xffffffff;
// A reduced pixel prints black below this gray, about 37 % ink: a stroke one pixel wide on a
// page twice as fine as the printer covers half a device pixel and must not vanish.
constexpr int InkBelow = 160;

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
    const double room = BorderMm * TwipsPerMm;
    double w = imageWidthTwips, h = imageHeightTwips;
    if (w > 0 && h > 0) {
        const double scale = std::min({1.0, (pw - room) / w, (ph - room) / h});
        w *= scale;
        h *= scale;
    }
    return {(pw - w) / 2, (ph - h) / 2, w, h};
}

bool statesResolution(const QImage &image) {
    const int x = image.dotsPerMeterX(), y = image.dotsPerMeterY();
    return x > 0 && y > 0 && (x != 3780 || y != 3780);
}

QSizeF imageTwips(const QImage &image) {
    const bool stated = statesResolution(image);
    const double dpiX = stated ? image.dotsPerMeterX() * 0.0254 : 300.0;
    const double dpiY = stated ? image.dotsPerMeterY() * 0.0254 : 300.0;
    return {image.width() * twips::PerInch / dpiX, image.height() * twips::PerInch / dpiY};
}

QSize printPixels(const QSize &image, const QRectF &target) {
    const QSize device(std::max(1, int(std::ceil(target.width()))),
                       std::max(1, int(std::ceil(target.height()))));
    if (image.width() <= device.width() && image.height() <= device.height())
        return image;
    return device;
}

namespace {
// Where a page of that size on paper goes, in device pixels from the printable area.
QRectF deviceTarget(const QSizeF &twips, const Sheet &sheet) {
    const QRectF twipsRect = imagePlacement(twips.width(), twips.height(), sheet.paperMm);
    const double s = sheet.dotsPerTwip;
    return QRectF(twipsRect.x() * s, twipsRect.y() * s, twipsRect.width() * s,
                  twipsRect.height() * s)
        .translated(-sheet.printableCorner);
}
} // namespace

PrintImage preparePage(const QImage &page, const Sheet &sheet) {
    const QRectF target = deviceTarget(imageTwips(page), sheet);
    // Detail beyond what the printer resolves only costs memory and time in the job.
    const QSize pixels = printPixels(page.size(), target);
    if (page.depth() == 1)
        return {pixels == page.size() ? printBitmap(page) : reducedBitmap(page, pixels), target};
    if (pixels == page.size())
        return {page, target};
    return {page.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), target};
}

PrintImage preparePageFile(const QString &path, const Sheet &sheet) {
    QString error;
    const std::shared_ptr<const LargePage> large = LargePage::open(path, &error);
    if (!large && error.isEmpty())
        return preparePage(ImageDocument::readFile(path), sheet);
    if (!large)
        throw Error(QStringLiteral("无法读取 %1：%2").arg(path, error));
    // The overview carries the page's own resolution: the full page is placed by it.
    QImage sized(1, 1, QImage::Format_Grayscale8);
    sized.setDotsPerMeterX(large->overview().dotsPerMeterX());
    sized.setDotsPerMeterY(large->overview().dotsPerMeterY());
    const QSizeF perPixel = imageTwips(sized);
    const QSizeF twips(perPixel.width() * large->size().width(),
                       perPixel.height() * large->size().height());
    const QRectF target = deviceTarget(twips, sheet);
    const QSize pixels = printPixels(large->size(), target);
    // The coarsest level that still covers the printer's pixels, within what a region takes.
    int level = 0;
    const auto covers = [&](int l) {
        const QSize s = large->levelSize(l);
        return s.width() >= pixels.width() && s.height() >= pixels.height();
    };
    while (level < large->overviewLevel() && covers(level + 1))
        ++level;
    while (level < large->overviewLevel() &&
           large->bytesFor(large->levelSize(level)) > LargePage::MaxRegionBytes)
        ++level;
    QImage page = level == large->overviewLevel()
                      ? large->overview()
                      : large->region(QRect(QPoint(0, 0), large->levelSize(level)), level, &error);
    if (page.isNull())
        throw Error(QStringLiteral("无法读取 %1：%2").arg(path, error));
    if (page.size() != pixels)
        page = page.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {page, target};
}

QImage printBitmap(const QImage &mono) {
    QImage out =
        mono.format() == QImage::Format_Mono ? mono : mono.convertToFormat(QImage::Format_Mono);
    if (out.colorTable() == QList<QRgb>{White, Black}) {
        out.invertPixels();
        out.setColorTable({Black, White});
    }
    return out;
}

QImage reducedBitmap(const QImage &mono, const QSize &size) {
    const QImage gray = mono.convertToFormat(QImage::Format_Grayscale8)
                            .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage out(gray.size(), QImage::Format_Mono);
    if (out.isNull())
        return out;
    out.setColorTable({Black, White});
    for (int y = 0; y < gray.height(); ++y) {
        const uchar *from = gray.constScanLine(y);
        uchar *to = out.scanLine(y);
        std::memset(to, 0, size_t(out.bytesPerLine()));
        for (int x = 0; x < gray.width(); ++x)
            if (from[x] >= InkBelow)
                to[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    return out;
}

} // namespace qen::printlayout
