#pragma once

// Where the ink of a printed sheet lies: the first page of a PDF rendered by poppler's
// pdftoppm (not by the code under test), measured in millimetres.
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QSizeF>
#include <QString>

namespace qen::test {

struct SheetInk {
    bool ok = false;
    QSizeF sheetMm, inkMm;
    QPointF inkAtMm;

    QString describe() const {
        return QStringLiteral("ink %1 x %2 mm at %3, %4 on a sheet of %5 x %6 mm")
            .arg(inkMm.width())
            .arg(inkMm.height())
            .arg(inkAtMm.x())
            .arg(inkAtMm.y())
            .arg(sheetMm.width())
            .arg(sheetMm.height());
    }
    // Within 1 % and a pixel of the render of `expectedMm`.
    bool sizeWithin1Percent(const QSizeF &expectedMm) const {
        return qAbs(inkMm.width() - expectedMm.width()) <= expectedMm.width() * 0.01 + pixelMm &&
               qAbs(inkMm.height() - expectedMm.height()) <= expectedMm.height() * 0.01 + pixelMm;
    }
    bool centred() const {
        return qAbs(inkAtMm.x() - (sheetMm.width() - inkMm.width()) / 2) <= 2 * pixelMm &&
               qAbs(inkAtMm.y() - (sheetMm.height() - inkMm.height()) / 2) <= 2 * pixelMm;
    }

    static constexpr int RenderDpi = 50;
    static constexpr double pixelMm = 25.4 / RenderDpi;
};

// `scratch` is the path pdftoppm writes to, without its ".pgm".
inline SheetInk sheetInk(const QString &pdf, const QString &scratch) {
    SheetInk out;
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(SheetInk::RenderDpi), "-gray", "-singlefile", "-f",
                         "1", "-l", "1", pdf, scratch});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return out;
    const QImage sheet(scratch + ".pgm");
    if (sheet.isNull())
        return out;
    QRect ink;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            if (qGray(sheet.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    const double mm = SheetInk::pixelMm;
    out.ok = true;
    out.sheetMm = QSizeF(sheet.width() * mm, sheet.height() * mm);
    out.inkMm = QSizeF(ink.width() * mm, ink.height() * mm);
    out.inkAtMm = QPointF(ink.x() * mm, ink.y() * mm);
    return out;
}

} // namespace qen::test
