#include "ocr/resultwindow.h"

#include <algorithm>
#include <cmath>

namespace qen::ocr {

namespace {
int roundHalfEven(double v) {
    // The default rounding mode of the floating-point environment is to nearest, ties to even.
    return int(std::nearbyint(v));
}
} // namespace

QRect showMeGeometry(double screenWidthTwips, double screenHeightTwips, double clientWidthTwips,
                     double clientHeightTwips) {
    return QRect(roundHalfEven((screenWidthTwips - clientWidthTwips) / 45.36),
                 roundHalfEven((screenHeightTwips - clientHeightTwips) / 45.36),
                 roundHalfEven(clientWidthTwips / 11.34), roundHalfEven(clientHeightTwips / 22.68));
}

QRect keptOnScreen(const QRect &outer, const QRect &available) {
    if (!available.isValid())
        return outer;
    const int width = std::min(outer.width(), available.width());
    const int height = std::min(outer.height(), available.height());
    const int x =
        std::clamp(outer.x(), available.left(), available.left() + available.width() - width);
    const int y =
        std::clamp(outer.y(), available.top(), available.top() + available.height() - height);
    return QRect(x, y, width, height);
}

QString withoutLineBreaks(const QString &text) {
    QString out = text;
    out.remove(QLatin1String("\r\n"));
    return out;
}

QString toTextBox(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            out += QChar(QChar::ParagraphSeparator);
            ++i;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            out += QChar(QChar::LineSeparator);
        } else {
            out += c;
        }
    }
    return out;
}

QString fromTextBox(const QString &raw) {
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    for (const QChar c : raw) {
        if (c == QChar::ParagraphSeparator)
            out += QLatin1String("\r\n");
        else if (c == QChar::LineSeparator)
            out += QLatin1Char('\n');
        else
            out += c;
    }
    return out;
}

} // namespace qen::ocr
