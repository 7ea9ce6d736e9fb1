#include "ocr/ocrtext.h"

#include <QList>
#include <QStringList>
#include <algorithm>

namespace qen::ocr {

namespace {

bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0x3000;
}

bool isAsciiWordChar(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

char32_t fullWidth(char32_t c) {
    switch (c) {
    case U',':
        return U'，';
    case U'.':
        return U'。';
    case U':':
        return U'：';
    case U';':
        return U'；';
    case U'!':
        return U'！';
    case U'?':
        return U'？';
    case U'(':
        return U'（';
    case U')':
        return U'）';
    default:
        return 0;
    }
}

// One line as code points, so that characters outside the BMP count as one.
std::u32string toUtf32(QStringView line) {
    const QList<uint> ucs4 = line.toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

QString fromUtf32(const std::u32string &s) {
    return QString::fromUcs4(s.data(), qsizetype(s.size()));
}

// The nearest character on either side that is not a blank; 0 at the line's ends.
char32_t neighbour(const std::u32string &s, size_t i, int step) {
    for (std::ptrdiff_t j = std::ptrdiff_t(i) + step; j >= 0 && j < std::ptrdiff_t(s.size());
         j += step) {
        if (!isBlank(s[size_t(j)]))
            return s[size_t(j)];
    }
    return 0;
}

bool isDigit(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= 0xFF10 && c <= 0xFF19);
}

// Character for character, so that a glyph keeps its place: ASCII marks beside Chinese text
// become full-width, and "一" between two digits is the dash of a range (2015—2022), which
// the Chinese model reads as the character one.
std::u32string widenPunctuation(const std::u32string &s) {
    std::u32string out = s;
    // Decided on the original line, so one widened mark never drags its neighbour along.
    std::vector<bool> openParens; // whether each open "(" was widened
    for (size_t i = 0; i < s.size(); ++i) {
        const char32_t c = s[i];
        if (c == U'一' && isDigit(neighbour(s, i, -1)) && isDigit(neighbour(s, i, 1))) {
            out[i] = U'—';
            continue;
        }
        const char32_t wide = fullWidth(c);
        if (!wide)
            continue;
        // A run of dots is an ellipsis or a leader, not a sentence end.
        if (c == U'.' && ((i > 0 && s[i - 1] == U'.') || (i + 1 < s.size() && s[i + 1] == U'.')))
            continue;
        const char32_t before = i > 0 ? s[i - 1] : 0;
        const char32_t after = i + 1 < s.size() ? s[i + 1] : 0;
        // Inside a Latin word, a number or an address: 3.14, e-mail, a.b/c?d=1, 1,000.
        const bool inLatin = isAsciiWordChar(before) && isAsciiWordChar(after);
        const bool chinese =
            isChineseText(neighbour(s, i, -1)) || isChineseText(neighbour(s, i, 1));
        if (c == U'(') {
            openParens.push_back(chinese && !inLatin);
            if (chinese && !inLatin)
                out[i] = wide;
            continue;
        }
        if (c == U')') {
            // A pair is either both full-width or both ASCII, as its opening mark decided:
            // f(x) inside Latin text stays ASCII even when Chinese follows.
            if (!openParens.empty()) {
                if (openParens.back())
                    out[i] = wide;
                openParens.pop_back();
                continue;
            }
        }
        if (chinese && !inLatin)
            out[i] = wide;
    }
    return out;
}

std::u32string dropBlanksBetweenChinese(const std::u32string &s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (isBlank(s[i]) && !out.empty() && isChineseText(out.back())) {
            size_t j = i;
            while (j < s.size() && isBlank(s[j]))
                ++j;
            if (j < s.size() && isChineseText(s[j])) {
                i = j - 1;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

} // namespace

void tidyGlyphLine(QList<Glyph> &line) {
    line.removeIf([](const Glyph &g) { return g.text.trimmed().isEmpty(); });
    if (line.isEmpty())
        return;
    // The line as tidyRecognisedText sees it, with where each glyph's characters lie.
    std::u32string s;
    std::vector<std::pair<size_t, size_t>> spans;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (i > 0 && line[i].blankBefore)
            s.push_back(U' ');
        const size_t start = s.size();
        for (const uint c : line[i].text.toUcs4())
            s.push_back(c);
        spans.emplace_back(start, s.size() - start);
    }
    const std::u32string tidy = widenPunctuation(s);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto [start, length] = spans[size_t(i)];
        if (tidy.compare(start, length, s, start, length) != 0)
            line[i].text = fromUtf32(tidy.substr(start, length));
    }
    line[0].blankBefore = false;
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (!line[i].blankBefore)
            continue;
        const std::u32string before = toUtf32(line[i - 1].text);
        const std::u32string after = toUtf32(line[i].text);
        if (isChineseText(before.back()) && isChineseText(after.front()))
            line[i].blankBefore = false;
    }
}

bool isChineseText(char32_t c) {
    return (c >= 0x2E80 && c <= 0x2FDF)    // radicals
           || (c >= 0x3000 && c <= 0x303F) // CJK punctuation
           || (c >= 0x3400 && c <= 0x4DBF) // extension A
           || (c >= 0x4E00 && c <= 0x9FFF) // unified ideographs
           || (c >= 0xF900 && c <= 0xFAFF) // compatibility ideographs
           || (c >= 0xFE30 && c <= 0xFE4F) // compatibility forms
           || (c >= 0xFF01 && c <= 0xFF0F) // full-width punctuation
           || (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
           (c >= 0xFF5B && c <= 0xFF65) ||
           (c >= 0x20000 && c <= 0x3FFFF) // extensions B on
           // Dashes, ellipses and double quotes as Chinese typesetting uses them; single
           // quotes are left out, as an apostrophe they belong to English words.
           || c == 0x2014 || c == 0x2026 || c == 0x201C || c == 0x201D || c == 0x00B7;
}

QString tidyRecognisedText(const QString &raw) {
    QString text = raw;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar(0x0C), QLatin1Char('\n')); // the engine's page separator
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        std::u32string s = toUtf32(line);
        s = dropBlanksBetweenChinese(widenPunctuation(s));
        line = fromUtf32(s).trimmed();
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    if (lines.isEmpty())
        return QString();
    return lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
}

} // namespace qen::ocr
