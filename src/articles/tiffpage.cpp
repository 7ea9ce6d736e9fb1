#include "articles/tiffpage.h"

#include "articles/tiffstored.h"

#include <QColor>

namespace qen::tiff {

QString tooLargeText(const PageLayout &l) {
    return QStringLiteral("图像尺寸 %1×%2 过大，无法显示").arg(l.w).arg(l.h);
}
QString noMemoryText(const PageLayout &l) {
    return QStringLiteral("内存不足，无法打开 %1×%2 的图像").arg(l.w).arg(l.h);
}

bool readLayout(TIFF *t, const ErrorSink &sink, PageLayout &l, QString *error) {
    if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &l.w) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l.h) ||
        l.w == 0 || l.h == 0) {
        *error = failure(sink, QStringLiteral("TIFF 文件没有有效的图像尺寸"));
        return false;
    }
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &l.bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &l.compression);
    TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &l.orientation);
    // A valid file in a form we cannot decode is not a damaged one: say so.
    if (!TIFFIsCODECConfigured(l.compression)) {
        const TIFFCodec *codec = TIFFFindCODEC(l.compression);
        *error = QStringLiteral("本程序不支持这个 TIFF 文件的压缩方式（%1）")
                     .arg(codec ? QString::fromLatin1(codec->name)
                                : QStringLiteral("编号 %1").arg(l.compression));
        return false;
    }
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = PHOTOMETRIC_MINISWHITE;
    l.singleChannel = l.spp == 1 && !TIFFIsTiled(t) && l.grayKind();
    return true;
}

bool withinBudget(const PageLayout &l, qint64 fileBytes) {
    // Checked first: two declared sides of up to 2^32 multiply past any integer type.
    if (l.w > 1000000 || l.h > 1000000)
        return false;
    const qint64 pixels = qint64(l.w) * l.h;
    const qint64 bytes = l.bilevel() ? pixels / 8 : l.gray() ? pixels : pixels * 4;
    const bool grayFromRaster = !l.bilevel() && !l.gray() && l.spp == 1 && l.grayKind();
    const qint64 finalBytes = grayFromRaster ? pixels : bytes;
    const qint64 held = fileBytes + bytes + (grayFromRaster ? pixels : 0) +
                        (l.orientation >= ORIENTATION_LEFTTOP ? finalBytes : 0);
    return held <= MaxImageBytes;
}

QString unsupportedColourText(TIFF *t, const PageLayout &l) {
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    QString kind;
    if (sampleFormat == SAMPLEFORMAT_IEEEFP)
        kind = QStringLiteral("浮点数样本");
    else if (l.bps != 1 && l.bps != 2 && l.bps != 4 && l.bps != 8 && l.bps != 16)
        kind = QStringLiteral("每个样本 %1 位").arg(l.bps);
    else
        kind = QStringLiteral("颜色格式 %1，每像素 %2 个样本").arg(l.photometric).arg(l.spp);
    return QStringLiteral("本程序不支持这种 TIFF 图像（%1）").arg(kind);
}

// Pages have no use for transparency. Nearly every page is opaque, and its pixels only change
// byte order.
void rasterToRgb(uint32_t *raster, qint64 n) {
    for (qint64 i = 0; i < n; ++i) {
        const uint32_t p = raster[i];
        const int a = int(TIFFGetA(p));
        if (a == 255) {
            raster[i] = qRgb(int(TIFFGetR(p)), int(TIFFGetG(p)), int(TIFFGetB(p)));
            continue;
        }
        auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
        raster[i] = qRgb(over(int(TIFFGetR(p))), over(int(TIFFGetG(p))), over(int(TIFFGetB(p))));
    }
}

TiffPtr openDirectory(MemoryIo &io, ErrorSink &sink, int page, PageLayout &l, QString *error) {
    TiffPtr t = open(&io, "r", &sink);
    if (!t) {
        *error = failure(sink, QStringLiteral("不是有效的 TIFF 文件"));
        return {};
    }
    if (page != 0 && (page < 0 || !TIFFSetDirectory(t.get(), tdir_t(page)))) {
        *error = failure(sink, QStringLiteral("TIFF 文件没有第 %1 页").arg(page + 1));
        return {};
    }
    if (!readLayout(t.get(), sink, l, error))
        return {};
    return t;
}

TiffPtr openPage(MemoryIo &io, ErrorSink &sink, int page, PageLayout &l, QString *error) {
    TiffPtr t = openDirectory(io, sink, page, l, error);
    if (t && !withinBudget(l, io.size)) {
        *error = tooLargeText(l);
        return {};
    }
    return t;
}

} // namespace qen::tiff
