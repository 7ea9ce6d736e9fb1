#include "view/zoomtext.h"

#include "pageview/viewgeometry.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qen {

namespace {
// ASCII digits only: \d would also take Arabic-Indic and other digits the number parser
// does not read.
const QString Number = QStringLiteral("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?");
} // namespace

double LeadingNumber(const QString &text) {
    static const QRegularExpression number(QStringLiteral("^\\s*") + Number);
    const QRegularExpressionMatch m = number.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}

std::optional<double> TypedPercent(const QString &text) {
    static const QRegularExpression entry(QStringLiteral("^\\s*(") + Number +
                                          QStringLiteral(")\\s*%?$"));
    // A trailing blank after "%" is refused: the "%" must be the last character.
    const QString ascii = text.normalized(QString::NormalizationForm_KC);
    if (ascii.size() > 64)
        return std::nullopt;
    const QRegularExpressionMatch m = entry.match(ascii);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = m.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString PercentText(double percent) {
    if (!std::isfinite(percent))
        return QStringLiteral("0%");
    int decimals = 0;
    if (percent != 0) {
        const int magnitude = int(std::floor(std::log10(std::fabs(percent))));
        decimals = std::max(0, 6 - magnitude);
    }
    QString s = QString::number(percent, 'f', decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s + QLatin1Char('%');
}

std::optional<double> WheelZoom(double factor, double notches) {
    const double next = double(float(double(float(factor)) + 0.2 * notches));
    if (!(next > 0 && next < 100))
        return std::nullopt;
    return next;
}

double PinchZoom(double factor, double delta) {
    return std::clamp(factor * (1 + delta), viewgeom::MinZoom, viewgeom::MaxZoom);
}

} // namespace qen
