#include "records/rtfreader.h"

#include "records/rtftables.h"

#include <QColor>
#include <QHash>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <vector>

namespace qen::rtf {

namespace {

// Word processors nest a few dozen groups at most; anything deeper is passed over so that
// hostile input cannot grow the state stack without bound.
constexpr int MaxDepth = 256;
constexpr int DefaultCodePage = 936;

enum class Dest { Text, Skip, FontTable, ColorTable };

struct CharState {
    bool bold = false, italic = false, underline = false, strike = false;
    int halfPoints = 0; // 0: the document's default size
    int color = 0;      // index into the colour table; 0 is "auto"
    int font = -1;      // -1: the default font
};

struct Group {
    Dest dest = Dest::Text;
    CharState ch;
    int uc = 1;
    Qt::Alignment align = Qt::AlignLeft;
    bool starred = false;
};

struct Font {
    QString name;
    int codePage = 0; // 0: the document's code page
};

class Reader {
public:
    Reader(QByteArrayView data, QTextDocument &doc) : m_data(data), m_cursor(&doc) {}

    void run();

private:
    Group &top() { return m_stack.back(); }
    int codePage();
    QString decode(const QByteArray &bytes, int codePage);
    void addByte(char byte);
    void addUnit(char16_t unit);
    void flush(bool final = false);
    void endParagraph();
    void controlWord(std::string_view name, bool hasParam, int param);
    // The control words by what they touch; each answers whether the word was its own.
    bool tableWord(Kw kind, int param);
    bool formatWord(Kw kind, bool on, int param);
    void textWord(const KwInfo &info, int param);
    void controlSymbol(char c);
    void openGroup();
    void closeGroup();
    void readControl();
    void readByte(unsigned char c);
    void finish();
    bool skipping() const;
    bool consumeSkip(); // true when the current input item is an \ucN fallback to drop

    QByteArrayView m_data;
    qsizetype m_pos = 0;
    QTextCursor m_cursor;
    std::vector<Group> m_stack{Group{}};
    int m_overflow = 0;
    int m_ansiCp = DefaultCodePage;
    int m_defaultFont = -1;
    QHash<int, Font> m_fonts;
    int m_fontEntry = -1;
    QByteArray m_fontName;
    QList<QColor> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;
    QHash<int, QStringDecoder *> m_decoders;
    std::vector<std::unique_ptr<QStringDecoder>> m_ownedDecoders;

    QByteArray m_bytes; // pending 8-bit text, decoded together
    int m_bytesCp = 0;
    QString m_text; // pending decoded text in the current format
    char16_t m_highSurrogate = 0;
    int m_skip = 0;
    bool m_endedWithPar = false;
    Qt::Alignment m_lastAlign = Qt::AlignLeft;
};

bool Reader::skipping() const {
    return m_overflow > 0 || m_stack.back().dest != Dest::Text;
}

int Reader::codePage() {
    const int f = top().ch.font >= 0 ? top().ch.font : m_defaultFont;
    const auto it = m_fonts.constFind(f);
    return it != m_fonts.cend() && it->codePage ? it->codePage : m_ansiCp;
}

QString Reader::decode(const QByteArray &bytes, int codePage) {
    QStringDecoder *&decoder = m_decoders[codePage];
    if (!decoder) {
        auto owned = std::make_unique<QStringDecoder>(codecName(codePage).constData(),
                                                      QStringDecoder::Flag::Stateless);
        if (!owned->isValid())
            owned = std::make_unique<QStringDecoder>(QStringDecoder::Latin1,
                                                     QStringDecoder::Flag::Stateless);
        decoder = owned.get();
        m_ownedDecoders.push_back(std::move(owned));
    }
    QString text = decoder->decode(bytes);
    // The converter drops a lead byte that the data cut off; the reader should see that
    // something was there.
    qsizetype i = 0;
    while (i < bytes.size())
        i += isDoubleByteLead(codePage, static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    if (i > bytes.size())
        text += QChar::ReplacementCharacter;
    return text;
}

bool Reader::consumeSkip() {
    if (m_skip <= 0)
        return false;
    --m_skip;
    return true;
}

void Reader::addByte(char byte) {
    if (m_overflow > 0 || consumeSkip())
        return;
    const Dest dest = top().dest;
    if (dest == Dest::FontTable) {
        if (byte == ';') {
            if (m_fontEntry >= 0) {
                Font &font = m_fonts[m_fontEntry];
                font.name = decode(m_fontName, font.codePage ? font.codePage : m_ansiCp).trimmed();
            }
            m_fontName.clear();
        } else {
            m_fontName += byte;
        }
        return;
    }
    if (dest == Dest::ColorTable) {
        if (byte == ';') {
            m_colors << (m_red < 0 && m_green < 0 && m_blue < 0
                             ? QColor()
                             : QColor(qBound(0, m_red, 255), qBound(0, m_green, 255),
                                      qBound(0, m_blue, 255)));
            m_red = m_green = m_blue = -1;
        }
        return;
    }
    if (skipping())
        return;
    const int cp = codePage();
    if (!m_bytes.isEmpty() && cp != m_bytesCp) {
        m_text += decode(m_bytes, m_bytesCp);
        m_bytes.clear();
    }
    if (m_highSurrogate) {
        m_text += QChar::ReplacementCharacter;
        m_highSurrogate = 0;
    }
    m_bytesCp = cp;
    m_bytes += byte;
    m_endedWithPar = false;
}

void Reader::addUnit(char16_t unit) {
    if (skipping())
        return;
    if (!m_bytes.isEmpty()) {
        m_text += decode(m_bytes, m_bytesCp);
        m_bytes.clear();
    }
    // A lone half of a surrogate pair is not text.
    if (QChar::isHighSurrogate(unit)) {
        if (m_highSurrogate)
            m_text += QChar::ReplacementCharacter;
        m_highSurrogate = unit;
        return;
    }
    if (QChar::isLowSurrogate(unit)) {
        if (m_highSurrogate) {
            m_text += QChar(m_highSurrogate);
            m_text += QChar(unit);
        } else {
            m_text += QChar::ReplacementCharacter;
        }
        m_highSurrogate = 0;
        return;
    }
    if (m_highSurrogate) {
        m_text += QChar::ReplacementCharacter;
        m_highSurrogate = 0;
    }
    m_text += QChar(unit);
    m_endedWithPar = false;
}

void Reader::flush(bool final) {
    if (!m_bytes.isEmpty()) {
        m_text += decode(m_bytes, m_bytesCp);
        m_bytes.clear();
    }
    // A high surrogate waits for its low half across control words ("\\uc1" may stand
    // between them); only the end of the data gives it up.
    if (final && m_highSurrogate) {
        m_text += QChar::ReplacementCharacter;
        m_highSurrogate = 0;
    }
    if (m_text.isEmpty())
        return;
    m_lastAlign = top().align;
    const CharState &ch = top().ch;
    QTextCharFormat format;
    if (ch.bold)
        format.setFontWeight(QFont::Bold);
    if (ch.italic)
        format.setFontItalic(true);
    if (ch.underline)
        format.setFontUnderline(true);
    if (ch.strike)
        format.setFontStrikeOut(true);
    if (ch.halfPoints > 0)
        format.setFontPointSize(ch.halfPoints / 2.0);
    if (ch.color > 0 && ch.color < m_colors.size() && m_colors[ch.color].isValid())
        format.setForeground(m_colors[ch.color]);
    if (ch.font >= 0) {
        const QString name = m_fonts.value(ch.font).name;
        if (!name.isEmpty())
            format.setFontFamilies({name});
    }
    m_cursor.insertText(m_text, format);
    m_text.clear();
}

void Reader::endParagraph() {
    if (skipping())
        return;
    flush();
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setAlignment(top().align);
    m_cursor.setBlockFormat(block);
    m_cursor.insertBlock();
    m_endedWithPar = true;
}

void Reader::controlWord(std::string_view name, bool hasParam, int param) {
    const KwInfo info = keyword(name);
    Group &g = top();
    if (g.starred) {
        // An optional destination we do not know: its content is not text.
        g.starred = false;
        if (info.kind != Kw::FontTable && info.kind != Kw::ColorTable) {
            g.dest = Dest::Skip;
            return;
        }
    }
    if (info.kind != Kw::U && consumeSkip())
        return;
    if (info.kind != Kw::U)
        flush();
    const bool on = !hasParam || param != 0;
    if (!tableWord(info.kind, param) && !formatWord(info.kind, on, param))
        textWord(info, param);
}

// Destinations, the font and colour tables and the code pages.
bool Reader::tableWord(Kw kind, int param) {
    Group &g = top();
    switch (kind) {
    case Kw::SkipDest:
        g.dest = Dest::Skip;
        return true;
    case Kw::FontTable:
        if (g.dest != Dest::Skip)
            g.dest = Dest::FontTable;
        return true;
    case Kw::ColorTable:
        if (g.dest != Dest::Skip)
            g.dest = Dest::ColorTable;
        return true;
    case Kw::FontNumber:
        if (g.dest == Dest::FontTable) {
            m_fontEntry = param;
            m_fonts[param];
            m_fontName.clear();
        } else {
            g.ch.font = param;
        }
        return true;
    case Kw::FontCharset:
        if (g.dest == Dest::FontTable && m_fontEntry >= 0 && !m_fonts[m_fontEntry].codePage)
            m_fonts[m_fontEntry].codePage = charsetCodePage(param, m_ansiCp);
        return true;
    case Kw::FontCodePage:
        if (g.dest == Dest::FontTable && m_fontEntry >= 0 && param > 0)
            m_fonts[m_fontEntry].codePage = param;
        return true;
    case Kw::AnsiCpg:
        if (param > 0)
            m_ansiCp = param;
        return true;
    case Kw::Mac:
        m_ansiCp = 10000;
        return true;
    case Kw::Pc:
        m_ansiCp = 437;
        return true;
    case Kw::Pca:
        m_ansiCp = 850;
        return true;
    case Kw::Deff:
        m_defaultFont = param;
        return true;
    case Kw::Red:
        m_red = param;
        return true;
    case Kw::Green:
        m_green = param;
        return true;
    case Kw::Blue:
        m_blue = param;
        return true;
    default:
        return false;
    }
}

// Character and paragraph formatting.
bool Reader::formatWord(Kw kind, bool on, int param) {
    Group &g = top();
    switch (kind) {
    case Kw::Plain:
        g.ch = CharState{};
        return true;
    case Kw::Pard:
    case Kw::Ql:
        g.align = Qt::AlignLeft;
        return true;
    case Kw::Qc:
        g.align = Qt::AlignHCenter;
        return true;
    case Kw::Qr:
        g.align = Qt::AlignRight;
        return true;
    case Kw::Qj:
        g.align = Qt::AlignJustify;
        return true;
    case Kw::Bold:
        g.ch.bold = on;
        return true;
    case Kw::Italic:
        g.ch.italic = on;
        return true;
    case Kw::Underline:
        g.ch.underline = on;
        return true;
    case Kw::UnderlineNone:
        g.ch.underline = false;
        return true;
    case Kw::Strike:
        g.ch.strike = on;
        return true;
    case Kw::FontSize:
        g.ch.halfPoints = qBound(0, param, 3276);
        return true;
    case Kw::Color:
        g.ch.color = param;
        return true;
    case Kw::Uc:
        g.uc = qBound(0, param, 16);
        return true;
    default:
        return false;
    }
}

// Words that stand for text or end a paragraph.
void Reader::textWord(const KwInfo &info, int param) {
    switch (info.kind) {
    case Kw::Par:
    case Kw::Page:
    case Kw::Row:
        endParagraph();
        break;
    case Kw::Line:
        addUnit(0x2028);
        break;
    case Kw::Tab:
    case Kw::Cell:
        addUnit(u'\t');
        break;
    case Kw::U:
        // Signed 16-bit in the file, but writers also put the unsigned value.
        addUnit(static_cast<char16_t>(param < 0 ? param + 65536 : param));
        m_skip = top().uc;
        break;
    case Kw::Char:
        addUnit(info.ch);
        break;
    default:
        break; // \bin is read by the tokenizer; unknown words carry no text
    }
}

void Reader::controlSymbol(char c) {
    if (c == '*') {
        top().starred = true;
        return;
    }
    if (c == '\'') {
        // Two hex digits; fewer when the data is damaged.
        int value = 0, digits = 0;
        while (digits < 2 && m_pos < m_data.size() && std::isxdigit(uchar(m_data[m_pos]))) {
            const char h = static_cast<char>(std::tolower(uchar(m_data[m_pos])));
            value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
            ++m_pos, ++digits;
        }
        // One digit is a damaged escape; control bytes are no text either.
        if (digits == 2 && (value >= 0x20 || top().dest != Dest::Text))
            addByte(static_cast<char>(value));
        return;
    }
    if (consumeSkip())
        return;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        addByte(c);
        return;
    case '~':
        addUnit(0x00A0);
        return;
    case '_':
        addUnit(0x2011);
        return;
    case '-':
        addUnit(0x00AD);
        return;
    case '\n':
    case '\r':
        endParagraph();
        return;
    case '\t':
        addUnit(u'\t');
        return;
    default:
        return; // \: \| and unknown symbols carry no text
    }
}

void Reader::run() {
    while (m_pos < m_data.size())
        readByte(static_cast<unsigned char>(m_data[m_pos++]));
    finish();
}

void Reader::readByte(unsigned char c) {
    switch (c) {
    case '{':
        openGroup();
        return;
    case '}':
        closeGroup();
        return;
    case '\\':
        readControl();
        return;
    case '\r':
    case '\n':
    case 0:
        return;
    case '\t':
        if (!consumeSkip())
            addUnit(u'\t');
        return;
    default:
        break;
    }
    if (top().starred) {
        // "\*" followed by text rather than a keyword: treat as an unknown destination.
        top().starred = false;
        top().dest = Dest::Skip;
    }
    if (c >= 0x80 && !skipping() && top().dest == Dest::Text && m_pos < m_data.size() &&
        isDoubleByteLead(codePage(), c)) {
        // The trail byte of a double-byte character may look like "\", "{" or "}".
        addByte(static_cast<char>(c));
        addByte(m_data[m_pos++]);
        return;
    }
    addByte(static_cast<char>(c));
}

void Reader::openGroup() {
    flush();
    m_skip = 0;
    if (m_overflow > 0 || m_stack.size() >= MaxDepth) {
        ++m_overflow;
        return;
    }
    Group inner = top();
    inner.starred = false;
    m_stack.push_back(inner);
}

void Reader::closeGroup() {
    flush();
    m_skip = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.size() <= 1)
        return;
    if (top().dest == Dest::FontTable && m_fontEntry >= 0 && !m_fontName.isEmpty())
        addByte(';');
    const Dest leaving = top().dest;
    m_stack.pop_back();
    if (leaving == Dest::FontTable && top().dest != Dest::FontTable)
        m_fontEntry = -1;
}

// After a backslash: a control symbol, or a control word with its optional parameter.
void Reader::readControl() {
    const auto *p = reinterpret_cast<const unsigned char *>(m_data.data());
    const qsizetype n = m_data.size();
    if (m_pos >= n)
        return;
    if (!std::isalpha(p[m_pos])) {
        controlSymbol(static_cast<char>(p[m_pos++]));
        return;
    }
    const qsizetype start = m_pos;
    while (m_pos < n && std::isalpha(p[m_pos]))
        ++m_pos;
    const std::string_view name(m_data.data() + start, std::min<qsizetype>(m_pos - start, 32));
    bool negative = false, hasParam = false;
    long long value = 0;
    if (m_pos < n && p[m_pos] == '-' && m_pos + 1 < n && std::isdigit(p[m_pos + 1]))
        negative = true, ++m_pos;
    while (m_pos < n && std::isdigit(p[m_pos])) {
        hasParam = true;
        if (value < 100000000000LL)
            value = value * 10 + (p[m_pos] - '0');
        ++m_pos;
    }
    if (m_pos < n && p[m_pos] == ' ')
        ++m_pos;
    value = std::clamp(negative ? -value : value, -2147483647LL, 2147483647LL);
    const int param = static_cast<int>(value);
    if (name == "bin") {
        // Binary data is never text; its length is bounded by what the file holds.
        const qsizetype len = std::min<qsizetype>(std::max(param, 0), n - m_pos);
        m_pos += len;
        consumeSkip();
        return;
    }
    controlWord(name, hasParam, param);
}

void Reader::finish() {
    flush(true);
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setAlignment(m_cursor.block().text().isEmpty() ? top().align : m_lastAlign);
    m_cursor.setBlockFormat(block);
    // A final paragraph mark ends the last paragraph; it does not open an empty one.
    if (m_endedWithPar && m_cursor.block().text().isEmpty() &&
        m_cursor.document()->blockCount() > 1)
        m_cursor.deletePreviousChar();
}

} // namespace

bool isRtf(QByteArrayView bytes) {
    return bytes.startsWith("{\\rtf");
}

void read(QByteArrayView data, QTextDocument &document) {
    document.clear();
    Reader(data, document).run();
}

} // namespace qen::rtf
