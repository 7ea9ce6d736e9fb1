#pragma once

// What the tests read back from a PDF the writer made, without any PDF tool.
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

namespace qen::test {

// Image widths in the order the file holds its images; the writer puts one image on each
// page, in page order.
inline QList<int> pdfImageWidths(const QString &pdf) {
    QFile f(pdf);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<int> out;
    static const QRegularExpression width(QStringLiteral("/Subtype /Image /Width (\\d+)"));
    for (const auto &m : width.globalMatch(QString::fromLatin1(f.readAll())))
        out << m.captured(1).toInt();
    return out;
}

} // namespace qen::test
