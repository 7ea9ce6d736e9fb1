#include "articles/gifcodec.h"

#include <gif_lib.h>

#include <vector>

namespace qen::gif {

namespace {

int appendBytes(GifFileType *file, const GifByteType *data, int length) {
    static_cast<QByteArray *>(file->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

QString giflibError(int code) {
    const char *text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("GIF 编码失败");
}

} // namespace

QByteArray write(const QImage &source, QString *error) {
    if (source.isNull()) {
        *error = QStringLiteral("没有可保存的图像");
        return {};
    }
    if (source.width() > 65535 || source.height() > 65535) {
        *error = QStringLiteral("GIF 格式不能保存 %1×%2 的图像")
                     .arg(source.width())
                     .arg(source.height());
        return {};
    }
    QImage indexed;
    switch (source.format()) {
    case QImage::Format_Mono:
        indexed = source.convertToFormat(QImage::Format_Indexed8, source.colorTable());
        break;
    case QImage::Format_Grayscale8: {
        QList<QRgb> grays;
        for (int v = 0; v < 256; ++v)
            grays << qRgb(v, v, v);
        indexed = source.convertToFormat(QImage::Format_Indexed8, grays);
        break;
    }
    case QImage::Format_Indexed8:
        indexed = source;
        break;
    default:
        indexed = source.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
        break;
    }
    // GIF palettes come in powers of two; the unused entries stay black.
    const QList<QRgb> table = indexed.colorTable();
    int colours = 2;
    while (colours < table.size())
        colours *= 2;
    std::vector<GifColorType> map(size_t(colours), GifColorType{0, 0, 0});
    for (qsizetype i = 0; i < table.size(); ++i)
        map[size_t(i)] = {GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                          GifByteType(qBlue(table[i]))};

    QByteArray out;
    int code = 0;
    GifFileType *file = EGifOpen(&out, appendBytes, &code);
    if (!file) {
        *error = giflibError(code);
        return {};
    }
    ColorMapObject *colourMap = GifMakeMapObject(colours, map.data());
    bool ok =
        colourMap &&
        EGifPutScreenDesc(file, indexed.width(), indexed.height(), 8, 0, colourMap) == GIF_OK &&
        EGifPutImageDesc(file, 0, 0, indexed.width(), indexed.height(), false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(size_t(indexed.width()));
    for (int y = 0; ok && y < indexed.height(); ++y) {
        const uchar *src = indexed.constScanLine(y);
        std::copy(src, src + indexed.width(), line.begin());
        ok = EGifPutLine(file, line.data(), indexed.width()) == GIF_OK;
    }
    if (!ok)
        code = file->Error;
    int closeCode = 0;
    if (EGifCloseFile(file, &closeCode) != GIF_OK && ok) {
        ok = false;
        code = closeCode;
    }
    GifFreeMapObject(colourMap);
    if (!ok) {
        *error = giflibError(code);
        return {};
    }
    return out;
}

} // namespace qen::gif
