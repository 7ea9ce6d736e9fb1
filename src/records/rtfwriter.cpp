#include "records/rtfwriter.h"

#include <QColor>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace qen::rtf {

namespace {

// GBK bytes of one character, or nothing when GBK cannot hold it. The converter substitutes
// silently, so each answer is checked by decoding it again; answers are kept per character.
class GbkChars {
public:
    std::optional<QByteArray> bytes(char32_t ucs) {
        const auto it = m_known.constFind(ucs);
        if (it != m_known.cend())
            return *it;
        std::optional<QByteArray> result;
        if (m_encoder.isValid()) {
            const QString ch = QString::fromUcs4(&ucs, 1);
            const QByteArray encoded = m_encoder.encode(ch);
            const QString back = m_decoder.decode(encoded);
            if (!m_encoder.hasError() && back == ch && !encoded.isEmpty())
                result = encoded;
            m_encoder.resetState();
        }
        m_known.insert(ucs, result);
        return result;
    }

private:
    QStringEncoder m_encoder{"GBK", QStringEncoder::Flag::Stateless};
    QStringDecoder m_decoder{"GBK", QStringDecoder::Flag::Stateless};
    QHash<char32_t, std::optional<QByteArray>> m_known;
};

void appendHex(QByteArray &out, QByteArrayView bytes) {
    static const char digits[] = "0123456789abcdef";
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        out += "\\'";
        out += digits[c >> 4];
        out += digits[c & 15];
    }
}

void appendUnicode(QByteArray &out, char16_t unit) {
    out += "\\u" + QByteArray::number(static_cast<qint16>(unit)) + '?';
}

class Writer {
public:
    explicit Writer(const QTextDocument &doc) : m_doc(doc) {}
    QByteArray run();

private:
    struct Style {
        int font = 0;
        int halfPoints = 0;
        bool bold = false, italic = false, underline = false, strike = false;
        int color = 0;
        bool operator==(const Style &) const = default;
    };

    Style styleOf(const QTextCharFormat &format);
    int fontIndex(const QString &family);
    void text(QByteArray &out, QStringView s);
    void switchStyle(QByteArray &out, const Style &to);

    const QTextDocument &m_doc;
    QStringList m_fonts;
    QList<QColor> m_colors;
    Style m_current;
    GbkChars m_gbk;
};

int Writer::fontIndex(const QString &family) {
    const QString name = family.isEmpty() ? QStringLiteral("宋体") : family;
    qsizetype i = m_fonts.indexOf(name);
    if (i < 0) {
        m_fonts << name;
        i = m_fonts.size() - 1;
    }
    return static_cast<int>(i);
}

Writer::Style Writer::styleOf(const QTextCharFormat &format) {
    const QFont font = format.font().resolve(m_doc.defaultFont());
    Style s;
    const QStringList families = format.fontFamilies().toStringList();
    s.font = fontIndex(families.isEmpty() ? m_doc.defaultFont().family() : families.first());
    const double points = format.hasProperty(QTextFormat::FontPointSize)
                              ? format.fontPointSize()
                              : m_doc.defaultFont().pointSizeF();
    s.halfPoints = points > 0 ? static_cast<int>(std::lround(points * 2)) : 0;
    s.bold = font.weight() >= QFont::DemiBold;
    s.italic = font.italic();
    s.underline = font.underline();
    s.strike = font.strikeOut();
    if (format.hasProperty(QTextFormat::ForegroundBrush) &&
        format.foreground().style() != Qt::NoBrush) {
        const QColor c = format.foreground().color();
        qsizetype i = m_colors.indexOf(c);
        if (i < 0) {
            m_colors << c;
            i = m_colors.size() - 1;
        }
        s.color = static_cast<int>(i) + 1;
    }
    return s;
}

void Writer::switchStyle(QByteArray &out, const Style &to) {
    const Style &from = m_current;
    const qsizetype before = out.size();
    if (to.font != from.font)
        out += "\\f" + QByteArray::number(to.font);
    if (to.halfPoints != from.halfPoints && to.halfPoints > 0)
        out += "\\fs" + QByteArray::number(to.halfPoints);
    if (to.bold != from.bold)
        out += to.bold ? "\\b" : "\\b0";
    if (to.italic != from.italic)
        out += to.italic ? "\\i" : "\\i0";
    if (to.underline != from.underline)
        out += to.underline ? "\\ul" : "\\ulnone";
    if (to.strike != from.strike)
        out += to.strike ? "\\strike" : "\\strike0";
    if (to.color != from.color)
        out += "\\cf" + QByteArray::number(to.color);
    if (out.size() != before)
        out += ' ';
    m_current = to;
}

void Writer::text(QByteArray &out, QStringView s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        switch (c) {
        case u'\\':
            out += "\\\\";
            continue;
        case u'{':
            out += "\\{";
            continue;
        case u'}':
            out += "\\}";
            continue;
        case u'\t':
            out += "\\tab ";
            continue;
        case 0x2028:
        case u'\n':
        case u'\r':
            out += "\\line ";
            continue;
        case 0x00A0:
            out += "\\~";
            continue;
        default:
            break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == QChar::ObjectReplacementCharacter)
            continue; // control characters and embedded objects carry no text
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            appendUnicode(out, c);
            appendUnicode(out, s[++i].unicode());
            continue;
        }
        if (const auto bytes = m_gbk.bytes(c))
            appendHex(out, *bytes);
        else
            appendUnicode(out, c);
    }
}

QByteArray Writer::run() {
    // The body first, so that the tables list every font and colour it uses.
    QByteArray body;
    m_current = Style{};
    m_current.font = fontIndex(m_doc.defaultFont().family());
    m_current.halfPoints = -1;
    for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next()) {
        if (block != m_doc.begin())
            body += "\\par\n";
        body += "\\pard";
        const Qt::Alignment align = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (align & Qt::AlignHCenter)
            body += "\\qc";
        else if (align & Qt::AlignRight)
            body += "\\qr";
        else if (align & Qt::AlignJustify)
            body += "\\qj";
        body += ' ';
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            switchStyle(body, styleOf(fragment.charFormat()));
            text(body, fragment.text());
        }
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1\n{\\fonttbl";
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset134 ";
        text(out, m_fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (const QColor &c : m_colors)
        out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) +
               "\\blue" + QByteArray::number(c.blue()) + ';';
    out += "}\n";
    const int defaultSize =
        static_cast<int>(std::lround(std::max(1.0, m_doc.defaultFont().pointSizeF()) * 2));
    out += "\\viewkind4\\plain\\f0\\fs" + QByteArray::number(defaultSize) + '\n';
    out += body;
    out += "\n}\n";
    return out;
}

} // namespace

QByteArray write(const QTextDocument &document) {
    return Writer(document).run();
}

} // namespace qen::rtf
